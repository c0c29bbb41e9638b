// Self-playing executables as the recorder writes and reads them, and the
// names of the files it hands out.
//
// Layout: the player stub byte for byte (S bytes: 78848 for vekgplay.exe,
// the SP player, 51200 for vekaplay.exe, the HQ/SHQ player), then the 12-byte
// header "TARKAVF" 0, mode code, 30, effect number, effect level byte, then
// the recording: the SC4 file itself for SP, its plain ADPCM frame stream for
// HQ and SHQ. Readers look for the tag at 51200 first, then at 78848.
//
// Every file this code writes is first written under a hidden name beside
// its target and renamed over it only when complete, so a failure half-way
// never leaves a truncated file where the user's file was. Temporary files
// ("temp" N ".tmp" / ".adp" in the data folder) are removed before the call
// that made them returns, on every path.
//
// "Locked" on Linux: a file counts as locked when it exists and cannot be
// opened for reading and writing (permissions, a folder of that name), or
// when another open file holds a lock on it, either a flock() lock or a
// POSIX (fcntl) record lock of another process. Mail programs and file
// managers that keep an attachment open take one of these; a file merely
// open for reading elsewhere is not locked.
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace vek::recpexe {

namespace fs = std::filesystem;

inline constexpr const char* kCaption = "voice lumo player";
inline constexpr const char* kMsgNotPExe = "Player file does not exist.";
inline constexpr const char* kMsgCanNotMakeFile =
    "Can not make file. (ReadOnly file?)\r(Send mail or close your mail window because this file is linked.)";
inline constexpr const char* kMsgSaveAsSc4First = "Try again after save to 'sc4' file by [Save As] of [File] menu.";
inline constexpr const char* kMsgErrorOpen = "Can not open file!\r(File format is not valid.)";
inline constexpr const char* kCaptionOpen = "Open";

inline constexpr std::uint64_t kSpStubBytes = 78848;     // vekgplay.exe
inline constexpr std::uint64_t kAdpcmStubBytes = 51200;  // vekaplay.exe
inline constexpr int kLastNameNumber = 999;
inline constexpr std::size_t kCopyBlockBytes = 4096;

enum class Icon { Information, Warning, Question, Error };

// Where the recorder's message boxes go (the main window in the program, a
// recorder in the tests).
class MessageSink {
public:
    virtual ~MessageSink() = default;
    virtual void show(const std::string& text, const std::string& caption, Icon icon) = 0;
};

// The effect controls: item index 0..16 of the effect list and the position
// 0..127 of the level slider (stored as is; players use 127 minus it).
struct EffectSettings {
    std::uint8_t effect = 0;
    std::uint8_t level = 80;
    bool operator==(const EffectSettings&) const = default;
};

// The stub of a mode: programDir/"vekgplay.exe" for SP (4), else
// programDir/"vekaplay.exe".
fs::path stubPath(const fs::path& programDir, std::uint8_t mode);
// Header offset of a mode's stub: 78848 for SP, 51200 otherwise.
std::uint64_t stubBytes(std::uint8_t mode);

// True when `p` exists and is locked (see above).
bool isLocked(const fs::path& p);
// CanMakeFile: true when `target` does not exist or is not locked; otherwise
// shows the "Can not make file" warning and answers false.
bool canMakeFile(const fs::path& target, MessageSink& msg);
// The "Player file does not exist." warning.
void msgNotPExe(MessageSink& msg);

// dir/stem N ext for the first N from 1 that does not exist; N = 999 is
// taken whether it exists or not.
fs::path firstFreeName(const fs::path& dir, const std::string& stem, const std::string& ext);
// FindCVF / FindEXE: dir/"Voice.sc4" (".exe") when it is absent or not
// locked, else the first dir/"Voice" N ext, N = 1.., that is absent or not
// locked; N = 999 in any case.
fs::path findOutgoing(const fs::path& dir, const std::string& ext);
inline fs::path findCVF(const fs::path& dataDir) { return findOutgoing(dataDir, ".sc4"); }
inline fs::path findEXE(const fs::path& dataDir) { return findOutgoing(dataDir, ".exe"); }

// MakePExe: stub + header (mode, 30, effect, level) + recording into
// `target`. For modes other than 4 the SC4 source goes through a temporary
// "temp" N ".adp" in `dataDir` (the ADPCM frame stream). False, with the
// target left as it was, when a file cannot be read or written or an ADPCM
// source is not a valid SC4 file.
bool makePExe(const fs::path& stub, const fs::path& sc4Source, const fs::path& target, std::uint8_t mode,
              EffectSettings fx, const fs::path& dataDir);

// Writes the working file as an SC4 file to the given path (the voice-file
// code provides it); false on failure.
using WriteSc4 = std::function<bool(const fs::path&)>;

// SavePExe: CanMakeFile(target), the stub of the mode (MsgNotPExe when it is
// missing), the working file as SC4 to "temp" N ".tmp" in `dataDir`, then
// MakePExe. True when the executable was written.
bool savePExe(const WriteSc4& writeWorkingAsSc4, const fs::path& target, std::uint8_t mode, EffectSettings fx,
              const fs::path& programDir, const fs::path& dataDir, MessageSink& msg);

// CheckPExe: the mode byte behind the tag at 51200, else at 78848; nullopt
// when neither offset holds "TARKAVF". The mode is not validated.
std::optional<std::uint8_t> checkPExe(const fs::path& exe);

struct LoadResult {
    bool ok = false;
    // 0 and 80 unless the header was read; then bytes S+10 and S+11.
    EffectSettings fx;
};
// LoadPExe: the header at the offset of `mode` (78848 for 4, else 51200)
// and everything behind it into `workingFile` (replaced only when complete).
LoadResult loadPExe(const fs::path& exe, std::uint8_t mode, const fs::path& workingFile);

// Copies `src` to a hidden file beside `target`, then renames it into place.
// `src` may be empty (nothing but the prefix is written). Used by the
// working-file writers.
bool copyFileInto(const fs::path& src, const fs::path& target, std::uint64_t srcOffset = 0);

// The working file as an SC4 file: SP working files are SC4 sectors already
// and are copied; HQ/SHQ frame streams are wrapped by the container code.
bool writeWorkingAsSc4(const fs::path& workingFile, std::uint8_t mode, const fs::path& target);

}  // namespace vek::recpexe
