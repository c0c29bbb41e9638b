// SPDX-License-Identifier: GPL-3.0-or-later
#include "playsettings.hpp"

#include "framelogic.hpp"
#include "vek/platform/ini.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace vekvmail {

std::optional<int> parsePlaySpeed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    // Digits, at most one point, nothing else: from_chars alone would also
    // take "inf", "nan" and a leading minus.
    if (text.empty() || std::count(text.begin(), text.end(), '.') > 1 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c == '.' || (c >= '0' && c <= '9'); }) ||
        text == ".")
        return std::nullopt;
    double v = 0;
    // from_chars reads the C locale's format, whatever the program's locale.
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v, std::chars_format::fixed);
    if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(v)) return std::nullopt;
    v = std::clamp(v, kSpeedMinTenths / 10.0, kSpeedMaxTenths / 10.0);
    // Ties to even, as the program rounds everywhere ("1.25" gives 1.2).
    return static_cast<int>(std::nearbyint(v * 10));
}

std::string formatPlaySpeed(int tenths) {
    tenths = std::clamp(tenths, kSpeedMinTenths, kSpeedMaxTenths);
    return std::to_string(tenths / 10) + '.' + std::to_string(tenths % 10);
}

PlaybackSettings readPlaybackSettings(const std::string& iniPath) {
    vek::ini::IniFile f;
    PlaybackSettings s;
    f.load(iniPath);
    if (auto v = f.value(kSection, "PlaySpeed")) s.speedTenths = parsePlaySpeed(*v).value_or(kSpeedNormalTenths);
    s.pauseRewind = static_cast<int>(std::clamp<long>(f.getInt(kSection, "PauseRewind", 0), 0, kPauseRewindMax));
    return s;
}

namespace {
bool writeKey(const std::string& iniPath, const char* key, const std::string& value) {
    vek::ini::IniFile f;
    if (!f.load(iniPath)) return false;  // an unreadable file is not replaced
    return f.setString(kSection, key, value) && f.save(iniPath);
}
}  // namespace

bool writePlaySpeed(const std::string& iniPath, int tenths) {
    return writeKey(iniPath, "PlaySpeed", formatPlaySpeed(tenths));
}

bool writePauseRewind(const std::string& iniPath, int seconds) {
    return writeKey(iniPath, "PauseRewind", std::to_string(std::clamp(seconds, 0, kPauseRewindMax)));
}

}  // namespace vekvmail
