// The private X and sound servers: each answers its clients while it runs,
// on a display or socket of its own, and is gone after stop(). Skipped where
// Xvfb, PulseAudio or their client tools are missing.
// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <filesystem>

#include "vek/testsupport/process.hpp"
#include "vek/testsupport/servers.hpp"

namespace {

using namespace vek::testsupport;

TEST(XServerHelper, TwoServersOnTwoDisplaysGoneAfterStop) {
    if (!haveTool("Xvfb") || !haveTool("xwininfo")) GTEST_SKIP() << "Xvfb or xwininfo missing";
    XServer a, b;
    ASSERT_TRUE(a.start()) << a.error();
    ASSERT_TRUE(b.start()) << b.error();
    ASSERT_EQ(a.display().front(), ':');
    EXPECT_NE(a.display(), b.display());
    EXPECT_EQ(runProgram("xwininfo", "-root -display " + shellQuote(a.display())).status, 0);
    const std::string display = a.display();
    a.stop();
    EXPECT_TRUE(a.display().empty());
    EXPECT_NE(runProgram("xwininfo", "-root -display " + shellQuote(display)).status, 0);
    EXPECT_EQ(runProgram("xwininfo", "-root -display " + shellQuote(b.display())).status, 0);
}

TEST(SoundServerHelper, NullSinkAnswersAndFolderGoes) {
    if (!haveTool("pulseaudio") || !haveTool("pactl")) GTEST_SKIP() << "pulseaudio or pactl missing";
    SoundServer s;
    ASSERT_TRUE(s.start()) << s.error();
    const std::string server = s.server(), runtime = s.runtimeDir();
    ASSERT_EQ(server.rfind("unix:/", 0), 0u);
    EXPECT_EQ(std::filesystem::status(runtime).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_all);
    const RunResult sinks = runProgram("pactl", "--server=" + shellQuote(server) + " list short sinks");
    EXPECT_EQ(sinks.status, 0) << sinks.err;
    EXPECT_NE(sinks.out.find(SoundServer::sinkName()), std::string::npos) << sinks.out;
    s.stop();
    EXPECT_FALSE(std::filesystem::exists(runtime));
    EXPECT_NE(runProgram("pactl", "--server=" + shellQuote(server) + " info").status, 0);
}

}  // namespace
