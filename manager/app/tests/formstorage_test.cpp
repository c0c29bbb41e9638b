// SPDX-License-Identifier: GPL-3.0-or-later
#include "formstorage.hpp"
#include "statusformat.hpp"

#include <gtest/gtest.h>

#include "vek/testsupport/files.hpp"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

using namespace vekshell;
using vek::testsupport::readText;
namespace fs = std::filesystem;

namespace {
void spit(const fs::path& p, const std::string& s) {
    std::ofstream out(p, std::ios::binary);
    out << s;
}
// VekShell.ini in a scratch folder of its own.
struct TempIni {
    vek::testsupport::ScratchDir scratch{"vekshellini"};
    fs::path dir = scratch.path(), ini = dir / "VekShell.ini";
};
}  // namespace

TEST(ShellFormStorage, RectsAndSizedKeys) {
    EXPECT_EQ(formatRect({-1, -1, 1280, -32000}), "-1,-1,1280,-32000");
    auto r = parseRect(" 10, 20 ,630,490");
    ASSERT_TRUE(r.has_value());
    EXPECT_EQ(r->a, 10);
    EXPECT_EQ(r->d, 490);
    EXPECT_FALSE(parseRect("10,20,630").has_value());
    EXPECT_FALSE(parseRect("10;20;630;490").has_value());
    EXPECT_FALSE(parseRect("").has_value());
    EXPECT_EQ(sizedKey("MinMaxPos", 1024, 768), "MinMaxPos(1024x768)");
}

TEST(ShellFormStorage, WritesExactlyTheKeysInOrder) {
    TempIni t;
    FormSettings s;
    s.flags = 0;
    s.showCmd = 1;
    s.pixelsPerInch = 96;
    s.minMaxPos = {-1, -1, -1, -1};
    s.normPos = {100, 50, 730, 520};
    s.viewStyle = "vsList";
    s.maskText = "*.sc4;*.wav";
    s.listPath = "/media/rec/VOICE/";
    s.treeWidth = 170;
    ASSERT_TRUE(writeFormSettings(t.ini.string(), s, 1024, 768));
    EXPECT_EQ(readText(t.ini),
              "[Main]\r\nFlags=0\r\nShowCmd=1\r\nPixelsPerInch=96\r\n"
              "MinMaxPos(1024x768)=-1,-1,-1,-1\r\nMinMaxPos=-1,-1,-1,-1\r\n"
              "NormPos(1024x768)=100,50,730,520\r\nNormPos=100,50,730,520\r\n"
              "ShellListView_ViewStyle=vsList\r\ncmbMask_Text=*.sc4;*.wav\r\n"
              "ShellListView_Path=/media/rec/VOICE/\r\nShellTree_Width=170\r\n");
    // On another screen size the sized keys of both sizes are kept side by side.
    s.normPos = {0, 0, 640, 480};
    ASSERT_TRUE(writeFormSettings(t.ini.string(), s, 800, 600));
    const auto back1024 = readFormSettings(t.ini.string(), 1024, 768);
    const auto back800 = readFormSettings(t.ini.string(), 800, 600);
    const auto backOther = readFormSettings(t.ini.string(), 1920, 1080);
    ASSERT_TRUE(back1024.normPos && back800.normPos && backOther.normPos);
    EXPECT_EQ(back1024.normPos->c, 730);  // its own sized key wins
    EXPECT_EQ(back800.normPos->c, 640);
    EXPECT_EQ(backOther.normPos->c, 640);  // no sized key: the plain one, written last
    EXPECT_EQ(back800.maskText, std::optional<std::string>("*.sc4;*.wav"));
    EXPECT_EQ(back800.treeWidth, std::optional<int>(170));
}

TEST(ShellFormStorage, ReadsAFileWrittenOnWindows) {
    TempIni t;
    spit(t.ini, "[Main]\r\nFlags=0\r\nShowCmd=3\r\nPixelsPerInch=120\r\n"
                "NormPos=1,2,3,4\r\nnormpos(1280x1024)=10,20,650,490\r\n"
                "ShellListView_ViewStyle=vsReport\r\ncmbMask_Text=*\r\n"
                "ShellListView_Path=E:\\VOICE\\\r\nShellTree_Width=abc\r\n");
    const auto s = readFormSettings(t.ini.string(), 1280, 1024);
    EXPECT_EQ(s.showCmd, std::optional<int>(3));
    ASSERT_TRUE(s.normPos.has_value());
    EXPECT_EQ(s.normPos->a, 10);  // key names compare without case
    EXPECT_EQ(s.listPath, std::optional<std::string>("E:\\VOICE\\"));
    EXPECT_FALSE(s.treeWidth.has_value());
    EXPECT_FALSE(s.minMaxPos.has_value());
    EXPECT_TRUE(positionApplies(s, 120));
    EXPECT_FALSE(positionApplies(s, 96));  // another resolution: centred instead
    StoredSettings inverted = s;
    inverted.normPos = Rect4{650, 20, 10, 490};
    EXPECT_FALSE(positionApplies(inverted, 120));
    inverted.normPos = Rect4{10, 20, 10, 490};  // left edge not left of the right edge
    EXPECT_FALSE(positionApplies(inverted, 120));
    EXPECT_FALSE(positionApplies(StoredSettings{}, 96));
}

TEST(ShellFormStorage, StartPaths) {
    EXPECT_TRUE(isUsableLocalPath("/home/u/VOICE/"));
    EXPECT_TRUE(isUsableLocalPath("/"));
    EXPECT_FALSE(isUsableLocalPath(""));
    EXPECT_FALSE(isUsableLocalPath("\\\\server\\share\\"));  // network path from Windows
    EXPECT_FALSE(isUsableLocalPath("//server/share/"));
    EXPECT_FALSE(isUsableLocalPath("C:\\"));
    EXPECT_FALSE(isUsableLocalPath("relative/dir/"));
}

TEST(ShellFormStorage, MissingOrUnwritableFiles) {
    const auto s = readFormSettings("/nonexistent-vek/VekShell.ini", 1024, 768);
    EXPECT_FALSE(s.flags.has_value());
    EXPECT_FALSE(s.normPos.has_value());
    EXPECT_FALSE(writeFormSettings("/nonexistent-vek/VekShell.ini", FormSettings{}, 1024, 768));
}

TEST(ShellStatusFormat, SizesWithTheLocaleSeparators) {
    const QLocale en(QLocale::English, QLocale::UnitedStates);
    const QLocale de(QLocale::German, QLocale::Germany);
    EXPECT_EQ(selectedSizeText(0, en), "");
    EXPECT_EQ(selectedSizeText(1, en), "0.00KB");       // K > 0 but rounds to 0.00
    EXPECT_EQ(selectedSizeText(2048, en), "2.00KB");
    EXPECT_EQ(selectedSizeText(1048000, en), "1,023.44KB");
    EXPECT_EQ(selectedSizeText(1048000, de), "1.023,44KB");
    EXPECT_EQ(selectedSizeText(1048576, en), "1.00MB");  // K = 1024 switches to MB
    EXPECT_EQ(selectedSizeText(1548288, en), "1.48MB");
    EXPECT_EQ(selectedSizeText(4000000000u, en), "3,814.70MB");
    EXPECT_EQ(selectedSizeText(4000000000u, de), "3.814,70MB");
}

TEST(ShellStatusFormat, TotalAndFreeSpace) {
    const QLocale en(QLocale::English, QLocale::UnitedStates);
    const QLocale de(QLocale::German, QLocale::Germany);
    EXPECT_EQ(totalSizeText(123456, 0, en), "");  // no free space figure: nothing at all
    EXPECT_EQ(totalSizeText(0, 5000000, en), "0.00KB (Disk free space: 4,883MB)");
    EXPECT_EQ(totalSizeText(1548288, 5000000, de), "1,48MB (Disk free space: 4.883MB)");
    EXPECT_EQ(totalSizeText(2048, 1536, en), "2.00KB (Disk free space: 2MB)");  // 1.5 rounds to even
    EXPECT_EQ(totalSizeText(2048, 2560, en), "2.00KB (Disk free space: 2MB)");  // 2.5 rounds to even
    EXPECT_EQ(totalSizeText(2048, 300, en), "2.00KB (Disk free space: MB)");    // "###,###" prints no 0
}

TEST(ShellStatusFormat, OnlyTheSeparatorsComeFromTheLocale) {
    // Groups of three and ASCII digits whatever the locale's own rules; the
    // thousands and decimal separators are the locale's.
    const QLocale es(QLocale::Spanish, QLocale::Spain);
    const QLocale pl(QLocale::Polish, QLocale::Poland);
    const QLocale in(QLocale::English, QLocale::India);
    const QLocale ar(QLocale::Arabic, QLocale::Egypt);
    EXPECT_EQ(selectedSizeText(1048000, es), "1.023,44KB");
    EXPECT_EQ(totalSizeText(0, 5000000, es), "0,00KB (Disk free space: 4.883MB)");
    EXPECT_EQ(totalSizeText(1548288, 5000000, pl), "1,48MB (Disk free space: 4" + pl.groupSeparator() + "883MB)");
    EXPECT_EQ(totalSizeText(0, 0xFFFFFFFFu, in), "0.00KB (Disk free space: 4,194,304MB)");
    EXPECT_EQ(formatFixed2(1234567.125, in), "1,234,567.13");
    EXPECT_EQ(selectedSizeText(1048000, ar),
              "1" + ar.groupSeparator() + "023" + ar.decimalPoint() + "44KB");
    EXPECT_EQ(formatGroupedInt(4883.0, ar), "4" + ar.groupSeparator() + "883");
}
