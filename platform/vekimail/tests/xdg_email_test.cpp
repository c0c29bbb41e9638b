// The real xdg-email hands the attachment to the mailto handler of a private
// desktop: a stand-in mail client registered through a .desktop file.
// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <fstream>

#include "imail_env.hpp"
#include "vek/platform/vekimail.hpp"

using namespace vek::imail;
using namespace imailtest;

TEST(XdgEmail, StandInMailClientReceivesTheAttachment) {
    if (!findOnPath("xdg-email") || !findOnPath("xdg-open")) GTEST_SKIP() << "xdg-utils is not installed";
    Desktop d;
    d.registerStandInMailClient();
    const fs::path file = d.root / "Voice 1.exe";
    std::ofstream(file) << "payload";
    ASSERT_EQ(sendIMail(file.c_str(), ""), 0);
    const std::string got = waitForFile(d.received(), 10000);
    ASSERT_FALSE(got.empty()) << "the stand-in mail client was not started";
    EXPECT_EQ(got.rfind("mailto:", 0), 0u) << got;
    EXPECT_NE(percentDecode(got).find("attach=" + file.string()), std::string::npos) << got;
}

TEST(XdgEmail, NoMailHandlerIsAFailure) {
    if (!findOnPath("xdg-email") || !findOnPath("xdg-open")) GTEST_SKIP() << "xdg-utils is not installed";
    Desktop d;  // no handler registered, no browser on PATH
    d.setPath(d.bin.string() + ":/usr/bin:/bin");
    for (const char* b : {"www-browser", "links2", "elinks", "links", "lynx", "w3m", "x-www-browser", "firefox"})
        if (findOnPath(b)) GTEST_SKIP() << "a browser would take the mailto link here";
    const fs::path file = d.root / "Voice.sc4";
    std::ofstream(file) << "x";
    EXPECT_NE(sendIMail(file.c_str(), ""), 0);
}
