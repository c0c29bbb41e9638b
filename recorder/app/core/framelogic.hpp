// The recorder window's decisions that need no window system: where its
// files live, which working-file number a run takes, where the window may
// open, what the settings file holds, what closing with unsaved changes does,
// the application title of each transport state and how an SC4 voice file
// tells its recording mode.
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace vekvmail {

// ---- titles
inline constexpr const char* kAppTitle = "voice lumo player";
inline constexpr const char* kMainClass = "TVM0007Form";
inline constexpr const char* kAppClass = "TApplication";
// The registry message that carries a file name from a second instance.
inline constexpr std::uint32_t kWmCopyData = 0x4A;
// A request to close the window the normal way (settings written).
inline constexpr std::uint32_t kWmClose = 0x0010;

enum class TransportState : std::uint8_t { Stopped = 0, Playing = 1, Recording = 2 };

// "voice lumo player", "Playing: voice lumo player", "Recording: voice lumo player".
std::string applicationTitleFor(TransportState s);

// ---- files
// The settings file: "VEKVMAIL.INI" beside the program when a file of that
// name is already there (a portable install, or files carried over), else in
// the user's configuration folder. A file beside a program that cannot be
// written there (a read-only install) is only the starting point of the
// user's own copy: the user's file is used. Folders end in '/'.
std::string chooseIniPath(const std::string& programDir, const std::string& configHome,
                          bool besideExists, bool besideWritable = true);
// The data folder: "DATA/" beside the program when a writable folder of that
// name is already there, else "voice-lumo/DATA/" in the user's data folder.
std::string chooseDataDir(const std::string& programDir, const std::string& dataHome,
                          bool besideWritableFolder);

struct WorkNames {
    int number = 1;
    std::string workFile;   // dataDir + "vdata" N ".tmp"
    std::string tailFile;   // dataDir + "rec" N ".tmp"
};
// N is the smallest number from 1 whose "vdata" file does not exist; the
// search stops at 999, which is then taken whether it exists or not, so a
// folder full of stale files still gives a name.
inline constexpr int kMaxFileNumber = 999;
WorkNames chooseWorkNames(const std::string& dataDir,
                          const std::function<bool(const std::string&)>& exists);

// ---- window position
struct ScreenPos {
    int left = 0;
    int top = 0;
    bool operator==(const ScreenPos&) const = default;
};
// Keeps a stored position on the screen: negative coordinates become 0, and
// at least 60 pixels of the window stay inside the right and bottom edges.
ScreenPos clampToScreen(ScreenPos p, int screenWidth, int screenHeight);

// ---- settings, section "Main" of the settings file
struct MainSettings {
    int mainLeft = 0;
    int mainTop = 0;
    bool stayOnTop = false;
    int mailProg = 3;
    bool mailRun = false;
    bool operator==(const MainSettings&) const = default;
};
inline constexpr const char* kSection = "Main";
// Missing keys give the defaults above; a boolean is any non-zero number.
MainSettings readMainSettings(const std::string& iniPath);
// What closing writes: "MainLeft", "MainTop", "StayOnTop" ("1"/"0"); the
// other lines of the file stay as they were. False when it cannot be written.
bool writeWindowSettings(const std::string& iniPath, int left, int top, bool stayOnTop);
// What confirming the mail-program dialog writes: "MailProg", "MailRun".
bool writeMailSettings(const std::string& iniPath, int mailProg, bool mailRun);

// ---- closing
enum class SaveAnswer { Yes, No, Cancel };
struct CloseOutcome {
    bool ask = false;     // the save-changes question is shown
    bool save = false;    // SaveClick runs before closing
    bool closes = true;   // the window closes (settings written, working files deleted)
    bool operator==(const CloseOutcome&) const = default;
};
// `answer` is what the user would answer the question; it is used only when
// there are unsaved changes.
CloseOutcome closeOutcome(bool modified, SaveAnswer answer);

// ---- voice files
// The recording mode code (4 SP, 5 HQ, 6 SHQ) of an SC4 voice file from its
// length and its first bytes (`n` of them are present; missing bytes count
// as 0). nullopt: not a voice file.
std::optional<std::uint8_t> recogniseVoiceFile(std::uint64_t fileSize, const unsigned char* head,
                                                std::size_t n);
// The status-bar name of a mode: "SP", "HQ", "SHQ" for 4, 5, other.
const char* modeName(std::uint8_t mode);

}  // namespace vekvmail
