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

// The screen asked for; a window manager on the display, the session's
// runtime folder private, the window manager gone with the display. No
// display: no window manager.
TEST(XServerHelper, ScreenSizeAndOneWindowManager) {
    if (!haveTool("Xvfb") || !haveTool("xwininfo") || !haveTool("openbox"))
        GTEST_SKIP() << "Xvfb, xwininfo or openbox missing";
    XServer x;
    EXPECT_FALSE(x.startWindowManager());
    EXPECT_FALSE(x.error().empty());
    ASSERT_TRUE(x.start(10000, "800x600x24")) << x.error();
    const RunResult root = runProgram("xwininfo", "-root -display " + shellQuote(x.display()));
    EXPECT_NE(root.out.find("Width: 800"), std::string::npos) << root.out;
    EXPECT_NE(root.out.find("Height: 600"), std::string::npos) << root.out;
    EXPECT_FALSE(x.windowManagerRunning());
    const std::string home = std::filesystem::temp_directory_path() / "vek-servers-test-home";
    ASSERT_TRUE(x.startWindowManager(sessionEnvironment(home))) << x.error();
    EXPECT_TRUE(x.windowManagerRunning());
    EXPECT_EQ(std::filesystem::status(home + "/run").permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_all);
    x.stop();
    EXPECT_FALSE(x.windowManagerRunning());
    std::filesystem::remove_all(home);
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
