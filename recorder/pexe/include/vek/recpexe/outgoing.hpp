// The file a recording leaves the recorder as, by drag-out or by mail: the
// SC4 file (the saved file itself, or "Voice.sc4" in the data folder for a
// recording never saved), a self-playing executable built in the data
// folder, or an MP3 file built there (vek/recpexe/mp3.hpp).
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "vek/recpexe/pexe.hpp"

namespace vek::recpexe {

enum class OutgoingKind { Sc4, Exe, Mp3 };

// What the preparation reads from and keeps in the main window.
struct RecorderFiles {
    fs::path programDir;      // where the player stubs lie
    fs::path dataDir;         // the data folder
    fs::path currentFile;     // empty for a recording never saved
    std::uint8_t mode = 4;    // 4 SP, 5 HQ, 6 SHQ
    EffectSettings fx;
    bool modified = false;    // cleared by a successful save
    bool targetCheck = true;  // see prepareOutgoing
    // The same flag for the outgoing MP3 file of a saved recording: set
    // where targetCheck is set, cleared once that MP3 file has been built.
    bool mp3TargetCheck = true;
};

// The window's side: its message boxes and the voice-file operations.
class OutgoingHost : public MessageSink {
public:
    // Save of the current file (it exists and passed CanMakeFile); true
    // when it was written.
    virtual bool save() = 0;
    // Writes the working file as an SC4 file to `path`.
    virtual bool writeWorkingAsSc4(const fs::path& path) = 0;
};

// True when `p`'s extension in lower case is `ext` (".exe", ".sc4").
bool hasExtension(const fs::path& p, const std::string& ext);

// Prepares the outgoing file; nullopt when it was refused (the message has
// been shown) or could not be written.
//  - An open ".exe" is refused with the "Try again after save to 'sc4' file"
//    message.
//  - Sc4: the current file, saved first when modified; without one,
//    FindCVF and the working file written there.
//  - Exe: the stub of the mode must exist (MsgNotPExe). With a current file:
//    saved first when modified (which sets the target-check flag), then
//    dataDir/<its name>.exe built from it; while the target-check flag is
//    set that name must pass CanMakeFile; the flag is cleared once built.
//    Without one: FindCVF, the working file written there, FindEXE, built
//    from that SC4 file.
//  - Mp3: as Exe without a stub, with mp3TargetCheck, dataDir/<its name>.mp3
//    and FindMP3; a recording never saved goes through a temporary
//    "temp" N ".tmp" SC4 file in the data folder, removed afterwards (no
//    Voice.sc4 is left behind). An empty recording, a libsndfile without MP3
//    and a failed write each show their message; no file is handed out.
// A failed save or write stops the preparation (nothing stale goes out).
std::optional<fs::path> prepareOutgoing(OutgoingKind kind, RecorderFiles& st, OutgoingHost& host);

}  // namespace vek::recpexe
