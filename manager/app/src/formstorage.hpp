// The main window's settings store: section "Main" of "VekShell.ini".
//
// Window placement as the Windows placement record holds it, under these keys:
//   Flags, ShowCmd, PixelsPerInch        integers
//   MinMaxPos(WxH), MinMaxPos            "%d,%d,%d,%d"  minimised x,y, maximised x,y
//   NormPos(WxH), NormPos                "%d,%d,%d,%d"  left, top, right, bottom
// WxH is the screen size when written; each of the two positions is written
// under the sized key first, then under the plain one. Reading prefers the
// sized key and falls back to the plain one. Then four properties, each named
// component "_" property: ShellListView_ViewStyle, cmbMask_Text,
// ShellListView_Path, ShellTree_Width.
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>

namespace vekshell {

struct Rect4 {
    int a = 0, b = 0, c = 0, d = 0;
};

struct FormSettings {
    int flags = 0;
    int showCmd = 1;        // SW_SHOWNORMAL
    int pixelsPerInch = 96;
    Rect4 minMaxPos{-1, -1, -1, -1};
    Rect4 normPos{};        // left, top, right, bottom
    std::string viewStyle = "vsReport";
    std::string maskText = "*";
    std::string listPath;
    int treeWidth = 170;
};

// What a file held; members are empty when the key was missing or malformed.
struct StoredSettings {
    std::optional<int> flags, showCmd, pixelsPerInch;
    std::optional<Rect4> minMaxPos, normPos;
    std::optional<std::string> viewStyle, maskText, listPath;
    std::optional<int> treeWidth;
};

// "%d,%d,%d,%d" both ways (blanks around numbers tolerated when reading).
std::string formatRect(const Rect4& r);
std::optional<Rect4> parseRect(const std::string& s);

// The sized key: "NormPos" + "(1024x768)".
std::string sizedKey(const std::string& key, int screenW, int screenH);

bool writeFormSettings(const std::string& iniPath, const FormSettings& s, int screenW, int screenH);
StoredSettings readFormSettings(const std::string& iniPath, int screenW, int screenH);

// Whether the stored position is to be applied: the resolution matches and
// the left edge lies left of the right edge.
bool positionApplies(const StoredSettings& s, int currentPixelsPerInch);

// A stored list path the window may start at: a local absolute path. Empty,
// network ("\\server", "//server") and drive-letter paths from another
// system are refused (the window then starts at the home folder).
bool isUsableLocalPath(const std::string& path);

}  // namespace vekshell
