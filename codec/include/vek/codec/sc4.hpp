// The SC4 voice container: 512-byte sectors, SP sectors tagged "dmr1data",
// ADPCM sectors of 510 stream bytes and the trailer 0x55 0xAA.
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "vek/codec/bytestream.hpp"

namespace vek {

// Recording mode codes, as stored in bytes everywhere in the suite.
enum class RecordingMode : std::uint8_t { Unknown = 0, SP = 4, HQ = 5, SHQ = 6 };

inline constexpr std::size_t kSectorBytes = 512;
inline constexpr std::size_t kSectorPayload = 510;      // ADPCM stream bytes per sector
inline constexpr std::size_t kGroupHeaderBytes = 5;     // 00 00 01 1B mode
inline constexpr std::size_t kFrameSlotBytes = 30;      // 29 frame bytes + sync 0x55
inline constexpr std::size_t kSlotsPerGroup = 100;
inline constexpr std::size_t kGroupBytes = kGroupHeaderBytes + kSlotsPerGroup * kFrameSlotBytes;  // 3005
inline constexpr std::size_t kSpTagBytes = 10;          // "dmr1data" F4 01
inline constexpr std::size_t kSpFrameBytes = 10;
inline constexpr std::size_t kSpFramesPerSector = 50;
inline constexpr std::size_t kSpSamplesPerSector = 4000;
extern const std::uint8_t kSpSectorTag[kSpTagBytes];

// The mode announced by the first five bytes of a file (fewer than five
// bytes: Unknown).
RecordingMode detectMode(const std::uint8_t* head, std::size_t n);
// Sample rate of the PCM of a mode (0 for Unknown).
unsigned sampleRateOf(RecordingMode mode);
// "SP", "HQ", "SHQ" or "" for Unknown.
const char* modeName(RecordingMode mode);

// Playing length of an SC4 file of `size` bytes, in whole seconds rounded
// half to even: SP stores 1024 bytes a second; for HQ and SHQ the sector
// trailers, group headers and sync bytes are taken off first.
std::uint64_t durationSeconds(RecordingMode mode, std::uint64_t size);
// " [HH:MM:SS]": at least two digits each, hours keep all their digits.
std::string formatDuration(RecordingMode mode, std::uint64_t size);

// Plain frame stream -> SC4 container (HQ when shq is false). Reads at most 50
// frames at a time and writes each batch with one call. False on a short read
// or write.
bool adpcmToSc4(ByteSource& in, ByteSink& out, bool shq);

// SC4 container -> plain frame stream, pad frames included. False when no
// start pattern lies in the first 4096 stream bytes, or on a short read, seek
// or write. A truncated file is not an error: its whole frames come out.
bool sc4ToAdpcm(ByteSource& in, ByteSink& out);

// Stream position <-> file offset in an ADPCM-mode file.
constexpr std::uint64_t streamToFileOffset(std::uint64_t p) { return p + 2 * (p / kSectorPayload); }

}  // namespace vek
