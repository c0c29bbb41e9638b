// "PlaySpeed" and "PauseRewind" in the recorder's settings file: parsing
// without regard to the locale, limits, and the keys as they are written.
// SPDX-License-Identifier: GPL-3.0-or-later
#include "playsettings.hpp"

#include <gtest/gtest.h>

#include "vek/testsupport/files.hpp"

#include <fstream>

using namespace vekvmail;
using vek::testsupport::readText;

namespace {

TEST(PlaySettings, SpeedTextToTenths) {
    EXPECT_EQ(parsePlaySpeed("1.5"), 15);
    EXPECT_EQ(parsePlaySpeed("0.5"), 5);
    EXPECT_EQ(parsePlaySpeed("2.0"), 20);
    EXPECT_EQ(parsePlaySpeed("1"), 10);
    EXPECT_EQ(parsePlaySpeed(" 1.30 "), 13);
    EXPECT_EQ(parsePlaySpeed(".8"), 8);
    EXPECT_EQ(parsePlaySpeed("1.25"), 12);  // ties to even
    EXPECT_EQ(parsePlaySpeed("1.26"), 13);
    // Out of range: the nearest end.
    EXPECT_EQ(parsePlaySpeed("3.0"), 20);
    EXPECT_EQ(parsePlaySpeed("0"), 5);
    for (const char* bad : {"abc", "", " ", ".", "1,5", "1.5x", "-1.5", "+1.5", "1.2.3", "nan", "inf", "1e0", "0x1"})
        EXPECT_EQ(parsePlaySpeed(bad), std::nullopt) << bad;
    EXPECT_EQ(formatPlaySpeed(15), "1.5");
    EXPECT_EQ(formatPlaySpeed(5), "0.5");
    EXPECT_EQ(formatPlaySpeed(20), "2.0");
    for (int t = kSpeedMinTenths; t <= kSpeedMaxTenths; ++t) EXPECT_EQ(parsePlaySpeed(formatPlaySpeed(t)), t);
}

TEST(PlaySettings, ReadAndWrittenInSectionMain) {
    vek::testsupport::ScratchDir d("vekvmail-play");
    const std::string ini = (d.path() / "VEKVMAIL.INI").string();
    EXPECT_EQ(readPlaybackSettings(ini), PlaybackSettings{});
    {
        std::ofstream f(ini, std::ios::binary);
        f << "[main]\r\nMainLeft=5\r\nplayspeed=1.5\r\nPauseRewind=9\r\n";
    }
    EXPECT_EQ(readPlaybackSettings(ini), (PlaybackSettings{15, 5}));
    ASSERT_TRUE(writePlaySpeed(ini, 7));
    ASSERT_TRUE(writePauseRewind(ini, 2));
    EXPECT_EQ(readText(ini), "[main]\r\nMainLeft=5\r\nPlaySpeed=0.7\r\nPauseRewind=2\r\n");
    EXPECT_EQ(readPlaybackSettings(ini), (PlaybackSettings{7, 2}));
    {
        std::ofstream f(ini, std::ios::binary);
        f << "[Main]\nPlaySpeed=abc\nPauseRewind=x\n";
    }
    EXPECT_EQ(readPlaybackSettings(ini), PlaybackSettings{});
    {
        std::ofstream f(ini, std::ios::binary);
        f << "[Main]\nPlaySpeed=3.0\nPauseRewind=-2\n";
    }
    EXPECT_EQ(readPlaybackSettings(ini), (PlaybackSettings{20, 0}));
    EXPECT_FALSE(writePlaySpeed((d.path() / "missing/VEKVMAIL.INI").string(), 15));
}

}  // namespace
