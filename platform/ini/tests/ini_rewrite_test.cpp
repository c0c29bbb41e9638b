// Text written back reads as the same profile and is written back unchanged:
// loading and saving a file twice must not change it the second time.
// SPDX-License-Identifier: GPL-3.0-or-later
#include "vek/platform/ini.hpp"

#include <gtest/gtest.h>

#include <string>

using vek::ini::IniFile;

namespace {

std::string rewritten(const std::string& text) {
    IniFile f;
    f.parse(text);
    return f.text();
}

}  // namespace

TEST(ProfileIniRewrite, StableAfterOneRewrite) {
    const char* const inputs[] = {
        // An LF file whose last line ends in stray CRs without a line end:
        // the CR kept on the line turned the next save into a CRLF file.
        "[Main]\nA=1\nB=2\r\r",
        // CRs before a line end.
        "[Main]\nA=1\r\r\nB=2\n",
        // Two byte order marks: the text written back started with one.
        "\xEF\xBB\xBF\xEF\xBB\xBF[Main]\r\nA=1\r\n",
        "; plain\r\n[Main]\r\nA=1\r\n\r\n[Other]\r\nB = \"x\" \r\n",
        "no line end at all",
    };
    for (const char* in : inputs) {
        const std::string once = rewritten(in);
        EXPECT_EQ(rewritten(once), once) << in;
    }
}

TEST(ProfileIniRewrite, StrayCarriageReturnsAreLineEnds) {
    IniFile f;
    f.parse("[Main]\nA=1\nB=2\r\r");
    EXPECT_EQ(f.getString("Main", "A"), "1");
    EXPECT_EQ(f.getString("Main", "B"), "2");
    // No line ends in CRLF: the file is an LF file and stays one.
    EXPECT_EQ(f.text(), "[Main]\nA=1\nB=2\n");
    IniFile bom;
    bom.parse("\xEF\xBB\xBF\xEF\xBB\xBF[Main]\nA=1\n");
    EXPECT_EQ(bom.sections(), std::vector<std::string>{"Main"});
    EXPECT_EQ(bom.text(), "[Main]\nA=1\n");
}
