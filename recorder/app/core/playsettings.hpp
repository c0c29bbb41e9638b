// The recorder's transcription settings in section "Main" of its settings
// file: "PlaySpeed", the playback speed as a decimal with a point ("1.5",
// whatever the locale), and "PauseRewind", the whole seconds (0..5) that a
// pause steps back. Files without them play as designed: 1.0 and 0.
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vekvmail {

// Speeds are kept in tenths: 5 (0.5x) to 20 (2.0x) in steps of 1.
inline constexpr int kSpeedMinTenths = 5;
inline constexpr int kSpeedMaxTenths = 20;
inline constexpr int kSpeedNormalTenths = 10;
inline constexpr int kPauseRewindMax = 5;

// A decimal number ("1.5", "2", " 0.75 ") rounded to tenths and limited to
// 0.5..2.0 ("3.0" plays at 2.0, "0.1" at 0.5); nullopt for anything else
// ("abc", "1,5", "1.5x", "", "nan", "1e0").
std::optional<int> parsePlaySpeed(std::string_view text);
// "0.5" .. "2.0".
std::string formatPlaySpeed(int tenths);

struct PlaybackSettings {
    int speedTenths = kSpeedNormalTenths;
    int pauseRewind = 0;
    bool operator==(const PlaybackSettings&) const = default;
};
// Missing or unreadable values give the defaults; "PauseRewind" is read as
// the other whole numbers of the file are and limited to 0..5.
PlaybackSettings readPlaybackSettings(const std::string& iniPath);
// Each writes its one key; the rest of the file stays. False when the file
// cannot be written.
bool writePlaySpeed(const std::string& iniPath, int tenths);
bool writePauseRewind(const std::string& iniPath, int seconds);

}  // namespace vekvmail
