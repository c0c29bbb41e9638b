// SPDX-License-Identifier: GPL-3.0-or-later
#include "formstorage.hpp"

#include "vek/platform/ini.hpp"

#include <cstdio>
#include <cstdlib>

namespace vekshell {
namespace {
const char* const kSection = "Main";

std::optional<int> parseInt(const std::optional<std::string>& v) {
    if (!v) return std::nullopt;
    const char* p = v->c_str();
    while (*p == ' ') ++p;
    char* end = nullptr;
    long n = std::strtol(p, &end, 10);
    if (end == p) return std::nullopt;
    return static_cast<int>(n);
}
}  // namespace

std::string formatRect(const Rect4& r) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%d,%d,%d,%d", r.a, r.b, r.c, r.d);
    return buf;
}

std::optional<Rect4> parseRect(const std::string& s) {
    int v[4];
    const char* p = s.c_str();
    for (int i = 0; i < 4; ++i) {
        while (*p == ' ') ++p;
        char* end = nullptr;
        long n = std::strtol(p, &end, 10);
        if (end == p) return std::nullopt;
        v[i] = static_cast<int>(n);
        p = end;
        while (*p == ' ') ++p;
        if (i < 3) {
            if (*p != ',') return std::nullopt;
            ++p;
        }
    }
    return Rect4{v[0], v[1], v[2], v[3]};
}

std::string sizedKey(const std::string& key, int screenW, int screenH) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "(%dx%d)", screenW, screenH);
    return key + buf;
}

bool writeFormSettings(const std::string& iniPath, const FormSettings& s, int screenW, int screenH) {
    vek::ini::IniFile f;
    if (!f.load(iniPath)) return false;  // an unreadable file is not overwritten
    f.setString(kSection, "Flags", std::to_string(s.flags));
    f.setString(kSection, "ShowCmd", std::to_string(s.showCmd));
    f.setString(kSection, "PixelsPerInch", std::to_string(s.pixelsPerInch));
    f.setString(kSection, sizedKey("MinMaxPos", screenW, screenH), formatRect(s.minMaxPos));
    f.setString(kSection, "MinMaxPos", formatRect(s.minMaxPos));
    f.setString(kSection, sizedKey("NormPos", screenW, screenH), formatRect(s.normPos));
    f.setString(kSection, "NormPos", formatRect(s.normPos));
    f.setString(kSection, "ShellListView_ViewStyle", s.viewStyle);
    f.setString(kSection, "cmbMask_Text", s.maskText);
    f.setString(kSection, "ShellListView_Path", s.listPath);
    f.setString(kSection, "ShellTree_Width", std::to_string(s.treeWidth));
    return f.save(iniPath);
}

StoredSettings readFormSettings(const std::string& iniPath, int screenW, int screenH) {
    vek::ini::IniFile f;
    StoredSettings s;
    if (!f.load(iniPath)) return s;
    s.flags = parseInt(f.value(kSection, "Flags"));
    s.showCmd = parseInt(f.value(kSection, "ShowCmd"));
    s.pixelsPerInch = parseInt(f.value(kSection, "PixelsPerInch"));
    auto rect = [&](const std::string& key) -> std::optional<Rect4> {
        if (auto v = f.value(kSection, sizedKey(key, screenW, screenH)))
            if (auto r = parseRect(*v)) return r;
        if (auto v = f.value(kSection, key)) return parseRect(*v);
        return std::nullopt;
    };
    s.minMaxPos = rect("MinMaxPos");
    s.normPos = rect("NormPos");
    s.viewStyle = f.value(kSection, "ShellListView_ViewStyle");
    s.maskText = f.value(kSection, "cmbMask_Text");
    s.listPath = f.value(kSection, "ShellListView_Path");
    s.treeWidth = parseInt(f.value(kSection, "ShellTree_Width"));
    return s;
}

bool positionApplies(const StoredSettings& s, int currentPixelsPerInch) {
    return s.pixelsPerInch && *s.pixelsPerInch == currentPixelsPerInch && s.normPos && s.normPos->a < s.normPos->c;
}

bool isUsableLocalPath(const std::string& path) {
    if (path.empty() || path[0] != '/') return false;        // relative, "C:\", "\\server"
    if (path.size() > 1 && path[1] == '/') return false;     // "//server/share"
    return true;
}

}  // namespace vekshell
