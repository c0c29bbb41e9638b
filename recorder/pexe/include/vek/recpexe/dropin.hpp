// Files dropped onto the recorder's window: which drops are taken and how.
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <vector>

#include "vek/recpexe/pexe.hpp"

namespace vek::recpexe {

inline constexpr const char* kMsgSelectOneFile = "You must select one file!";
inline constexpr const char* kMsgUnsupportedFormat = "Can not support this file format!";
inline constexpr const char* kMsgSaveChanges = "Save changes to file?";
inline constexpr const char* kCaptionConfirm = "Confirm";

enum class DropIn {
    Ignore,       // playing or recording: the drop is only released
    WrongCount,   // "You must select one file!" (caption "Open", information)
    Unsupported,  // "Can not support this file format!" (caption "Open", information)
    OpenSc4,      // recognise and load as an SC4 file
    OpenExe,      // CheckPExe, then LoadPExe
};

// The decision for a drop of `files` while the transport is (not) idle.
DropIn classifyDrop(bool transportIdle, const std::vector<fs::path>& files);

// The message box of a refused drop (WrongCount, Unsupported); nothing for
// the other decisions.
void showDropMessage(DropIn d, MessageSink& msg);

}  // namespace vek::recpexe
