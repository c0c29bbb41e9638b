// SPDX-License-Identifier: GPL-3.0-or-later
#include "framelogic.hpp"

#include "vek/platform/ini.hpp"

#include <algorithm>

namespace vekvmail {

std::string applicationTitleFor(TransportState s) {
    switch (s) {
    case TransportState::Playing: return std::string("Playing: ") + kAppTitle;
    case TransportState::Recording: return std::string("Recording: ") + kAppTitle;
    case TransportState::Stopped: break;
    }
    return kAppTitle;
}

namespace {
std::string withSlash(std::string d) {
    if (d.empty() || d.back() != '/') d += '/';
    return d;
}
}  // namespace

std::string chooseIniPath(const std::string& programDir, const std::string& configHome,
                          bool besideExists, bool besideWritable) {
    if (besideExists && besideWritable) return withSlash(programDir) + "VEKVMAIL.INI";
    return withSlash(configHome) + "voice-lumo/VEKVMAIL.INI";
}

std::string chooseDataDir(const std::string& programDir, const std::string& dataHome,
                          bool besideWritableFolder) {
    if (besideWritableFolder) return withSlash(programDir) + "DATA/";
    return withSlash(dataHome) + "voice-lumo/DATA/";
}

WorkNames chooseWorkNames(const std::string& dataDir,
                          const std::function<bool(const std::string&)>& exists) {
    const std::string dir = withSlash(dataDir);
    WorkNames w;
    for (int n = 1;; ++n) {
        w.number = n;
        w.workFile = dir + "vdata" + std::to_string(n) + ".tmp";
        if (n >= kMaxFileNumber || !exists(w.workFile)) break;
    }
    w.tailFile = dir + "rec" + std::to_string(w.number) + ".tmp";
    return w;
}

ScreenPos clampToScreen(ScreenPos p, int screenWidth, int screenHeight) {
    // The order matters on a screen narrower than 60 pixels: the upper limit
    // is applied last, as the window would otherwise start off the screen.
    if (p.top < 0) p.top = 0;
    if (p.top > screenHeight - 60) p.top = screenHeight - 60;
    if (p.left < 0) p.left = 0;
    if (p.left > screenWidth - 60) p.left = screenWidth - 60;
    return p;
}

namespace {
int toInt(long v) {
    return static_cast<int>(std::clamp<long>(v, INT32_MIN, INT32_MAX));
}
}  // namespace

MainSettings readMainSettings(const std::string& iniPath) {
    vek::ini::IniFile f;
    MainSettings s;
    f.load(iniPath);  // a missing or unreadable file gives the defaults
    s.mainLeft = toInt(f.getInt(kSection, "MainLeft", s.mainLeft));
    s.mainTop = toInt(f.getInt(kSection, "MainTop", s.mainTop));
    s.stayOnTop = f.getInt(kSection, "StayOnTop", s.stayOnTop ? 1 : 0) != 0;
    s.mailProg = toInt(f.getInt(kSection, "MailProg", s.mailProg));
    s.mailRun = f.getInt(kSection, "MailRun", s.mailRun ? 1 : 0) != 0;
    return s;
}

bool writeWindowSettings(const std::string& iniPath, int left, int top, bool stayOnTop) {
    vek::ini::IniFile f;
    if (!f.load(iniPath)) return false;  // an unreadable file is not replaced
    f.setString(kSection, "MainLeft", std::to_string(left));
    f.setString(kSection, "MainTop", std::to_string(top));
    f.setString(kSection, "StayOnTop", stayOnTop ? "1" : "0");
    return f.save(iniPath);
}

bool writeMailSettings(const std::string& iniPath, int mailProg, bool mailRun) {
    vek::ini::IniFile f;
    if (!f.load(iniPath)) return false;
    f.setString(kSection, "MailProg", std::to_string(mailProg));
    f.setString(kSection, "MailRun", mailRun ? "1" : "0");
    return f.save(iniPath);
}

CloseOutcome closeOutcome(bool modified, SaveAnswer answer) {
    if (!modified) return {false, false, true};
    switch (answer) {
    case SaveAnswer::Yes: return {true, true, true};
    case SaveAnswer::No: return {true, false, true};
    case SaveAnswer::Cancel: break;
    }
    return {true, false, false};
}

std::optional<std::uint8_t> recogniseVoiceFile(std::uint64_t fileSize, const unsigned char* head,
                                                std::size_t n) {
    if (fileSize == 0) return 4;
    unsigned char b[5] = {0, 0, 0, 0, 0};
    for (std::size_t i = 0; i < 5 && i < n && head; ++i) b[i] = head[i];
    // "dmr1d": the start of the "dmr1data" tag of an SP sector.
    if (b[0] == 0x64 && b[1] == 0x6D && b[2] == 0x72 && b[3] == 0x31 && b[4] == 0x64) return 4;
    // The group header 00 00 01 1B followed by the stream's mode byte.
    if (b[0] == 0x00 && b[1] == 0x00 && b[2] == 0x01 && b[3] == 0x1B) {
        if (b[4] == 0x1D) return 5;
        if (b[4] == 0x1A) return 6;
    }
    return std::nullopt;
}

const char* modeName(std::uint8_t mode) {
    if (mode == 4) return "SP";
    if (mode == 5) return "HQ";
    return "SHQ";
}

}  // namespace vekvmail
