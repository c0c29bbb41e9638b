// The recording as an MP3 file, for recipients who have neither the suite
// nor a Windows PC: decoded by the player core (SP sectors through our SP
// decoder, HQ/SHQ frames through the ADPCM decoder, each block once, as the
// recorder plays them), with the current voice effect applied as the
// self-playing file applies it, at the mode's rate (8000 Hz, or 11025 Hz for
// SHQ), and encoded as MPEG layer III through libsndfile.
//
// Speech at 8 or 11 kHz is coded in variable bit rate at LAME's quality 4
// (libsndfile's compression level 0.4): 20 to 26 kbit/s for a voice, less
// than an HQ recording's 32, with the waveform kept close to the decoded
// recording (correlation above 0.99). libsndfile writes the
// LAME header, so decoders that read it (libsndfile, ffmpeg) trim the
// encoder's delay and padding and give back exactly the rendered length.
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <filesystem>

#include "vek/recpexe/pexe.hpp"

namespace vek::recpexe {

inline constexpr double kMp3VbrLevel = 0.4;

// Our own messages of the MP3 path (the window translates them).
inline constexpr const char* kMsgMp3Empty = "The recording is empty: there is nothing to send as MP3.";
inline constexpr const char* kMsgMp3Unavailable = "MP3 files can not be written here (libsndfile has no MP3 encoder).";
inline constexpr const char* kMsgMp3Failed = "Can not make the MP3 file.";

// FindMP3: dataDir/"Voice.mp3" when it is absent or not locked, else the
// first "Voice" N ".mp3" that is (N = 999 in any case), as FindEXE.
inline fs::path findMP3(const fs::path& dataDir) { return findOutgoing(dataDir, ".mp3"); }

// The rate a mode's recording plays at: 8000 Hz for SP and HQ, 11025 Hz for SHQ.
unsigned mp3RateOf(std::uint8_t mode);
// True when libsndfile can write MP3 at that rate.
bool mp3Available(unsigned rate);

enum class Mp3Result { Written, Empty, Unavailable, Failed };

// MakeMP3: the SC4 file `sc4Source` of recording mode `mode` (4 SP, 5 HQ,
// 6 SHQ) with effect `fx` as an MP3 file `target`. HQ/SHQ sources are
// unpacked through a temporary "temp" N ".adp" in `dataDir`, removed before
// the call returns. The file is written beside the target under a hidden
// name and renamed into place only when complete: on any result but Written
// the target is as it was. A recording with no samples is Empty (an MP3 of
// nothing is no file a player opens).
Mp3Result makeMp3(const fs::path& sc4Source, const fs::path& target, std::uint8_t mode, EffectSettings fx,
                  const fs::path& dataDir);

}  // namespace vek::recpexe
