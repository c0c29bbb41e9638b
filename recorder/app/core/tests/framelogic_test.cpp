// The recorder frame's window-free decisions: file placement and numbering,
// the on-screen clamp, the settings keys, the close question and voice-file
// recognition.
// SPDX-License-Identifier: GPL-3.0-or-later
#include "framelogic.hpp"

#include <gtest/gtest.h>

#include "vek/testsupport/files.hpp"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>

using namespace vekvmail;
using vek::testsupport::readText;
namespace fs = std::filesystem;

namespace {

// A scratch folder; file() names an entry of it.
struct TempDir : vek::testsupport::ScratchDir {
    TempDir() : ScratchDir("vekvmail-core") {}
    std::string file(const char* name) const { return (path() / name).string(); }
};

}  // namespace

TEST(FrameTitles, EachTransportStateHasItsTitle) {
    EXPECT_EQ(applicationTitleFor(TransportState::Stopped), "voice lumo player");
    EXPECT_EQ(applicationTitleFor(TransportState::Playing), "Playing: voice lumo player");
    EXPECT_EQ(applicationTitleFor(TransportState::Recording), "Recording: voice lumo player");
}

TEST(FramePlacement, BesideTheProgramOnlyWhenAlreadyThere) {
    EXPECT_EQ(chooseIniPath("/opt/vl/bin/", "/home/u/.config", true), "/opt/vl/bin/VEKVMAIL.INI");
    EXPECT_EQ(chooseIniPath("/opt/vl/bin", "/home/u/.config", false),
              "/home/u/.config/voice-lumo/VEKVMAIL.INI");
    // A file beside a read-only install: the user's copy is written instead.
    EXPECT_EQ(chooseIniPath("/opt/vl/bin", "/home/u/.config", true, false),
              "/home/u/.config/voice-lumo/VEKVMAIL.INI");
    EXPECT_EQ(chooseDataDir("/opt/vl/bin", "/home/u/.local/share", true), "/opt/vl/bin/DATA/");
    EXPECT_EQ(chooseDataDir("/opt/vl/bin/", "/home/u/.local/share/", false),
              "/home/u/.local/share/voice-lumo/DATA/");
}

TEST(FrameWorkNames, StaleFilesAreSkippedAndTheSearchEndsAt999) {
    std::set<std::string> present;
    auto exists = [&](const std::string& p) { return present.count(p) > 0; };
    WorkNames w = chooseWorkNames("/d", exists);
    EXPECT_EQ(w.number, 1);
    EXPECT_EQ(w.workFile, "/d/vdata1.tmp");
    EXPECT_EQ(w.tailFile, "/d/rec1.tmp");

    for (int i = 1; i <= 4; ++i) present.insert("/d/vdata" + std::to_string(i) + ".tmp");
    present.insert("/d/rec5.tmp");  // a tail file does not hold the number
    w = chooseWorkNames("/d/", exists);
    EXPECT_EQ(w.workFile, "/d/vdata5.tmp");
    EXPECT_EQ(w.tailFile, "/d/rec5.tmp");

    // A gap is used before higher numbers.
    present.erase("/d/vdata2.tmp");
    EXPECT_EQ(chooseWorkNames("/d", exists).number, 2);

    // Every number taken: 999 all the same, never 1000.
    int asked = 0;
    w = chooseWorkNames("/d", [&](const std::string&) { ++asked; return true; });
    EXPECT_EQ(w.number, 999);
    EXPECT_EQ(w.workFile, "/d/vdata999.tmp");
    EXPECT_EQ(w.tailFile, "/d/rec999.tmp");
    EXPECT_EQ(asked, 998);
}

TEST(FrameClamp, StoredPositionsStayOnTheScreen) {
    EXPECT_EQ(clampToScreen({-50, 5000}, 1024, 768), (ScreenPos{0, 708}));
    EXPECT_EQ(clampToScreen({5000, -1}, 1024, 768), (ScreenPos{964, 0}));
    EXPECT_EQ(clampToScreen({964, 708}, 1024, 768), (ScreenPos{964, 708}));
    EXPECT_EQ(clampToScreen({965, 709}, 1024, 768), (ScreenPos{964, 708}));
    EXPECT_EQ(clampToScreen({100, 200}, 1920, 1080), (ScreenPos{100, 200}));
    // A screen smaller than the margin: the upper limit wins, as designed.
    EXPECT_EQ(clampToScreen({10, 10}, 40, 50), (ScreenPos{-20, -10}));
}

TEST(FrameSettings, DefaultsRoundTripAndExactKeys) {
    TempDir d;
    const std::string ini = d.file("VEKVMAIL.INI");
    EXPECT_EQ(readMainSettings(ini), MainSettings{});
    EXPECT_EQ(readMainSettings(ini).mailProg, 3);

    ASSERT_TRUE(writeWindowSettings(ini, -12, 345, true));
    EXPECT_EQ(readText(ini), "[Main]\r\nMainLeft=-12\r\nMainTop=345\r\nStayOnTop=1\r\n");
    ASSERT_TRUE(writeMailSettings(ini, 1, true));
    EXPECT_EQ(readText(ini),
              "[Main]\r\nMainLeft=-12\r\nMainTop=345\r\nStayOnTop=1\r\nMailProg=1\r\nMailRun=1\r\n");
    EXPECT_EQ(readMainSettings(ini), (MainSettings{-12, 345, true, 1, true}));

    // Rewriting keeps the other lines and changes the values in place.
    ASSERT_TRUE(writeWindowSettings(ini, 7, 8, false));
    EXPECT_EQ(readText(ini),
              "[Main]\r\nMainLeft=7\r\nMainTop=8\r\nStayOnTop=0\r\nMailProg=1\r\nMailRun=1\r\n");
    EXPECT_EQ(readMainSettings(ini), (MainSettings{7, 8, false, 1, true}));
}

TEST(FrameSettings, FilesWrittenElsewhereRead) {
    TempDir d;
    const std::string ini = d.file("VEKVMAIL.INI");
    {
        std::ofstream f(ini, std::ios::binary);
        f << "; kept\n[other]\nMainLeft=99\n[MAIN]\nmainleft = 40\nMAINTOP=x\nStayOnTop=-1\nMailRun=0\n";
    }
    const MainSettings s = readMainSettings(ini);
    EXPECT_EQ(s.mainLeft, 40);   // keys and sections without regard to case
    EXPECT_EQ(s.mainTop, 0);     // not a number
    EXPECT_TRUE(s.stayOnTop);    // any non-zero number
    EXPECT_EQ(s.mailProg, 3);    // missing
    EXPECT_FALSE(s.mailRun);
    ASSERT_TRUE(writeWindowSettings(ini, 1, 2, false));
    const std::string text = readText(ini);
    EXPECT_EQ(text.rfind("; kept\n[other]\nMainLeft=99\n", 0), 0u) << text;
    EXPECT_NE(text.find("MainLeft=1\n"), std::string::npos) << text;
    EXPECT_EQ(readMainSettings(ini).mainTop, 2);
}

TEST(FrameSettings, UnwritablePlaceIsReportedNotCreated) {
    TempDir d;
    const std::string ini = d.file("missing-folder/VEKVMAIL.INI");
    EXPECT_FALSE(writeWindowSettings(ini, 1, 2, false));
    EXPECT_FALSE(fs::exists(ini));
}

TEST(FrameClose, TheQuestionDecides) {
    for (SaveAnswer a : {SaveAnswer::Yes, SaveAnswer::No, SaveAnswer::Cancel})
        EXPECT_EQ(closeOutcome(false, a), (CloseOutcome{false, false, true}));
    EXPECT_EQ(closeOutcome(true, SaveAnswer::Yes), (CloseOutcome{true, true, true}));
    EXPECT_EQ(closeOutcome(true, SaveAnswer::No), (CloseOutcome{true, false, true}));
    EXPECT_EQ(closeOutcome(true, SaveAnswer::Cancel), (CloseOutcome{true, false, false}));
}

TEST(FrameVoiceFiles, ModeFromTheFirstFiveBytes) {
    const unsigned char sp[] = {'d', 'm', 'r', '1', 'd', 'a'};
    const unsigned char hq[] = {0, 0, 1, 0x1B, 0x1D};
    const unsigned char shq[] = {0, 0, 1, 0x1B, 0x1A};
    const unsigned char other[] = {0, 0, 1, 0x1B, 0x1E};
    EXPECT_EQ(recogniseVoiceFile(0, nullptr, 0), std::optional<std::uint8_t>(4));
    EXPECT_EQ(recogniseVoiceFile(512, sp, 6), std::optional<std::uint8_t>(4));
    EXPECT_EQ(recogniseVoiceFile(512, hq, 5), std::optional<std::uint8_t>(5));
    EXPECT_EQ(recogniseVoiceFile(512, shq, 5), std::optional<std::uint8_t>(6));
    EXPECT_EQ(recogniseVoiceFile(512, other, 5), std::nullopt);
    EXPECT_EQ(recogniseVoiceFile(4, sp, 4), std::nullopt);   // "dmr1" alone is not enough
    EXPECT_EQ(recogniseVoiceFile(4, hq, 4), std::nullopt);   // the fifth byte counts as 0
    EXPECT_STREQ(modeName(4), "SP");
    EXPECT_STREQ(modeName(5), "HQ");
    EXPECT_STREQ(modeName(6), "SHQ");
}
