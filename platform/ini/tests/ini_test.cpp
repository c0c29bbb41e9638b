// SPDX-License-Identifier: GPL-3.0-or-later
#include "vek/platform/ini.hpp"

#include <gtest/gtest.h>

#include "vek/testsupport/files.hpp"

#include <cstdio>
#include <fstream>
#include <filesystem>

using vek::ini::IniFile;
using vek::testsupport::readText;
using vek::testsupport::ScratchDir;
namespace fs = std::filesystem;

// A file as Windows writes it: CRLF, mixed case, blanks, comments, quotes.
TEST(ProfileIniRead, WindowsWrittenFile) {
    IniFile f;
    f.parse("; settings\r\n[Main]\r\nFlags=0\r\n  NormPos(1024x768) = 10,20,640,490 \r\n"
            "ShellListView_Path=\"E:\\VOICE\\\"\r\nEmpty=\r\n\r\n[Other]\r\nflags=7\r\n");
    EXPECT_EQ(f.getString("main", "normpos(1024X768)"), "10,20,640,490");
    EXPECT_EQ(f.getString("MAIN", "ShellListView_Path"), "E:\\VOICE\\");
    EXPECT_EQ(f.getInt("Main", "FLAGS", 5), 0);
    EXPECT_EQ(f.getInt("Other", "Flags", 5), 7);
    EXPECT_EQ(f.getString("Main", "Empty", "dflt"), "");  // present but empty: not the default
    EXPECT_EQ(f.getString("Main", "Missing", "dflt"), "dflt");
    EXPECT_EQ(f.getString("Nowhere", "Flags", "d"), "d");
    EXPECT_EQ(f.sections(), (std::vector<std::string>{"Main", "Other"}));
    EXPECT_EQ(f.keys("main"), (std::vector<std::string>{"Flags", "NormPos(1024x768)", "ShellListView_Path", "Empty"}));
}

TEST(ProfileIniRead, IntegersAndOddLines) {
    IniFile f;
    f.parse("[S]\nA=-12abc\nB=abc\nC=+7\nD=4294967295\nno equals sign here\n;E=1\nE=2\nE=3\n");
    EXPECT_EQ(f.getInt("S", "A", 9), -12);
    EXPECT_EQ(f.getInt("S", "B", 9), 0);
    EXPECT_EQ(f.getInt("S", "C", 9), 7);
    EXPECT_EQ(f.getInt("S", "D", 9), -1);  // 32-bit result
    EXPECT_EQ(f.getInt("S", "E", 9), 2);   // comment skipped; the first of equal keys wins
    EXPECT_EQ(f.getInt("S", "X", 9), 9);
}

TEST(ProfileIniWrite, KeepsLayoutAndLineEnds) {
    IniFile f;
    f.parse("; head\r\n[Main]\r\nA=1\r\n\r\n[Next]\r\nB=2\r\n");
    f.setString("main", "a", "changed");   // replaced in place, new spelling of the name
    f.setString("Main", "New", "x y ");    // value stored as given
    f.setString("Third", "K", "v");
    EXPECT_EQ(f.text(), "; head\r\n[Main]\r\na=changed\r\nNew=x y \r\n\r\n[Next]\r\nB=2\r\n\r\n[Third]\r\nK=v\r\n");
    f.removeKey("MAIN", "new");
    f.removeSection("next");
    EXPECT_EQ(f.text(), "; head\r\n[Main]\r\na=changed\r\n\r\n[Third]\r\nK=v\r\n");
}

TEST(ProfileIniWrite, UnixLineEndsStayUnix) {
    IniFile f;
    f.parse("[A]\nk=1\n");
    f.setString("A", "j", "2");
    EXPECT_EQ(f.text(), "[A]\nk=1\nj=2\n");
}

TEST(ProfileIniFile, ProfileFunctionsRoundTrip) {
    ScratchDir t("vekini");
    const std::string p = (t.path() / "VekShell.ini").string();
    EXPECT_EQ(vek::ini::getPrivateProfileString("Main", "X", "none", p), "none");  // no file yet
    ASSERT_TRUE(vek::ini::writePrivateProfileString("Main", "NormPos", "1,2,3,4", p));
    ASSERT_TRUE(vek::ini::writePrivateProfileString("Main", "Flags", "0", p));
    ASSERT_TRUE(vek::ini::writePrivateProfileString("Main", "NormPos", "5,6,7,8", p));
    EXPECT_EQ(readText(p), "[Main]\r\nNormPos=5,6,7,8\r\nFlags=0\r\n");
    EXPECT_EQ(vek::ini::getPrivateProfileString("main", "normpos", "", p), "5,6,7,8");
    EXPECT_EQ(vek::ini::getPrivateProfileInt("Main", "Flags", 3, p), 0);
    ASSERT_TRUE(vek::ini::writePrivateProfileString("Main", "Flags", std::nullopt, p));
    EXPECT_EQ(readText(p), "[Main]\r\nNormPos=5,6,7,8\r\n");
    // Nothing but the profile is left in the folder (no temporary files).
    EXPECT_EQ(std::distance(fs::directory_iterator(t.path()), fs::directory_iterator()), 1);
}

TEST(ProfileIniFile, UnwritableFolderFailsAndKeepsOldFile) {
    if (::geteuid() == 0) GTEST_SKIP() << "permissions do not bind root";
    ScratchDir t("vekini");
    const std::string p = (t.path() / "a.ini").string();
    ASSERT_TRUE(vek::ini::writePrivateProfileString("S", "K", "old", p));
    fs::permissions(t.path(), fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_FALSE(vek::ini::writePrivateProfileString("S", "K", "new", p));
    fs::permissions(t.path(), fs::perms::owner_all);
    EXPECT_EQ(vek::ini::getPrivateProfileString("S", "K", "", p), "old");
}

TEST(ProfileIniFile, MissingFolderFails) {
    EXPECT_FALSE(vek::ini::writePrivateProfileString("S", "K", "v", "/nonexistent-dir-vek/x.ini"));
    IniFile f;
    EXPECT_FALSE(f.save(""));
}

// Rewriting keeps what the file was: a link to a file elsewhere stays a link
// (the file it points to gets the new text), and the permissions stay.
TEST(ProfileIniFile, RewriteKeepsLinksAndPermissions) {
    ScratchDir t("vekini");
    fs::create_directory(t.path() / "real");
    const fs::path real = t.path() / "real" / "VekShell.ini";
    const fs::path link = t.path() / "VekShell.ini";
    ASSERT_TRUE(vek::ini::writePrivateProfileString("Main", "Flags", "0", real.string()));
    fs::permissions(real, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                              fs::perms::others_read);
    fs::create_symlink(real, link);
    ASSERT_TRUE(vek::ini::writePrivateProfileString("Main", "ShowCmd", "1", link.string()));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(readText(real), "[Main]\r\nFlags=0\r\nShowCmd=1\r\n");
    EXPECT_EQ(fs::status(real).permissions(), fs::perms::owner_read | fs::perms::owner_write |
                                                  fs::perms::group_read | fs::perms::others_read);
    // No temporary file left beside either.
    EXPECT_EQ(std::distance(fs::directory_iterator(t.path() / "real"), fs::directory_iterator()), 1);
    EXPECT_EQ(std::distance(fs::directory_iterator(t.path()), fs::directory_iterator()), 2);
}
