// Entries that would not read back as one line of the file: a folder name
// with a line break must not add sections or keys of its own.
// SPDX-License-Identifier: GPL-3.0-or-later
#include "vek/platform/ini.hpp"

#include <gtest/gtest.h>

#include "vek/testsupport/files.hpp"

#include <filesystem>
#include <fstream>
#include <string>


using vek::ini::IniFile;
using vek::testsupport::readText;
using vek::testsupport::ScratchDir;
namespace fs = std::filesystem;

namespace {

const std::string kStored = "[Main]\r\nFlags=0\r\nShellListView_Path=/media/rec/\r\n";

}  // namespace

// The profile function refuses and leaves the file byte for byte as it was.
TEST(ProfileIniLines, ALineBreakInAValueInjectsNothing) {
    ScratchDir t("vekinilines");
    const fs::path p = t.path() / "VekShell.ini";
    std::ofstream(p, std::ios::binary) << kStored;
    const std::string hostile[] = {
        std::string("/media/rec/odd\r\n[Evil]\r\nFlags=9"),
        std::string("/media/rec/odd\nFlags=9"),
        std::string("/media/rec/odd\rFlags=9"),
        std::string("/media/rec/odd\0Flags=9", 22),
    };
    for (const auto& v : hostile) {
        EXPECT_FALSE(vek::ini::writePrivateProfileString("Main", "ShellListView_Path", v, p.string()));
        EXPECT_EQ(readText(p), kStored);
    }
    EXPECT_EQ(vek::ini::getPrivateProfileInt("Main", "Flags", 5, p.string()), 0);
    EXPECT_EQ(vek::ini::getPrivateProfileString("Main", "ShellListView_Path", "", p.string()), "/media/rec/");
    EXPECT_EQ(std::distance(fs::directory_iterator(t.path()), fs::directory_iterator()), 1);  // no temporary left
}

// Keys and section names that would be read as another line's kind or cut
// at a different place are refused too; the profile in memory is unchanged.
TEST(ProfileIniLines, KeysAndSectionsThatWouldNotReadBack) {
    IniFile f;
    f.parse(kStored);
    const struct { std::string section, key; } bad[] = {
        {"Main", "Evil\r\nFlags"}, {"Main", "a\nb"},      {"Main", "Flags=9"}, {"Main", "[Evil]"},
        {"Main", " ;comment"},     {"Main]\r\n[X", "k"},   {"a]b", "k"},        {"Ma\rin", "k"},
        {"Main", std::string("k\0x", 3)},
    };
    for (const auto& b : bad) {
        EXPECT_FALSE(f.setString(b.section, b.key, "1")) << b.section << " / " << b.key;
        EXPECT_EQ(f.text(), kStored);
    }
    EXPECT_EQ(f.sections(), std::vector<std::string>{"Main"});
}

// Everything else a Windows path or a user's mask may hold is stored as
// given and reads back unchanged from the file: brackets, "=", ";", the
// backslash, percent signs and blanks inside.
TEST(ProfileIniLines, OtherCharactersRoundTripAsOneLine) {
    ScratchDir t("vekinilines");
    const fs::path p = t.path() / "VekShell.ini";
    std::ofstream(p, std::ios::binary) << kStored;
    const std::string values[] = {"E:\\VOICE\\[old]=1;2\\", "100%0A done", "*.sc4;*.WAV", "a \t b", "\\n\\r"};
    for (const auto& v : values) {
        ASSERT_TRUE(vek::ini::writePrivateProfileString("Main", "ShellListView_Path", v, p.string())) << v;
        EXPECT_EQ(vek::ini::getPrivateProfileString("Main", "ShellListView_Path", "", p.string()), v);
        EXPECT_EQ(readText(p), "[Main]\r\nFlags=0\r\nShellListView_Path=" + v + "\r\n");
    }
    IniFile f;
    ASSERT_TRUE(f.load(p.string()));
    EXPECT_TRUE(f.setString("New [1", "Key (1024x768)", "x"));  // an opening bracket inside is plain text
    EXPECT_FALSE(f.setString("New [1", "Key", "x\ny"));
    IniFile back;
    back.parse(f.text());
    EXPECT_EQ(back.getString("new [1", "KEY (1024X768)"), "x");
    EXPECT_EQ(back.sections(), (std::vector<std::string>{"Main", "New [1"}));
}
