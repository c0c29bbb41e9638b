// Voice and sound file images for the tests: SP sectors, HQ/SHQ recordings
// made by the codec, WAV files of any layout, and a reader that walks a WAV
// file's chunks the way a strict reader does.
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "vek/testsupport/signals.hpp"

namespace vek::testsupport {

using Bytes = std::vector<std::uint8_t>;

// An SP sector: the 10-byte tag "dmr1data" F4 01, 500 bytes of fifty 10-byte
// frames, 2 trailing bytes; 0.5 s of speech.
constexpr std::size_t kSpSectorBytes = 512;
constexpr std::size_t kSpTagBytes = 10;
constexpr std::size_t kSpFrameBytes = 500;
extern const std::uint8_t kSpTag[kSpTagBytes];

// One sector around 500 frame bytes.
Bytes spSector(const std::uint8_t* frames500, std::uint8_t trailer0 = 0, std::uint8_t trailer1 = 0);
// `sectors` whole sectors whose frame byte i of sector s is frameByte(s, i)
// and whose trailing bytes are zero.
Bytes spFile(std::size_t sectors, const std::function<std::uint8_t(std::size_t sector, std::size_t i)>& frameByte);
// `sectors` whole sectors of pseudo-random frame bytes (any bits are frames
// the decoder plays).
Bytes spNoiseFile(std::size_t sectors, std::uint32_t seed);

// Plain 29-byte ADPCM frames of `pcm` (58 samples a frame, a fresh coder;
// a last partial frame is dropped).
Bytes adpcmFrames(const Samples& pcm);
// An HQ (shq false, 8000 Hz) or SHQ (11025 Hz) recording of `frames` plain
// ADPCM frames, made by the codec's container writer. An empty result means
// the writer refused.
Bytes adpcmSc4(const Bytes& frames, bool shq);
// The same for `pcm`, coded first; *frames, when given, receives the plain
// frame stream.
Bytes adpcmSc4FromPcm(const Samples& pcm, bool shq, Bytes* frames = nullptr);

// A canonical 44-byte-header WAV image: RIFF, a 16-byte "fmt " chunk with
// format `tag` (1 = PCM), "data" with `data` as it is (an odd length padded
// with a zero byte that the RIFF size counts and the data size does not).
Bytes wavImage(int bits, int channels, std::uint32_t rate, const Bytes& data, std::uint16_t tag = 1);
// A 16-bit WAV image of interleaved samples.
Bytes wav16(const Samples& samples, std::uint32_t rate, int channels = 1);
// `frames` frames of a 440 Hz tone (110 Hz higher on each further channel),
// 16-bit little-endian interleaved.
Bytes toneData(std::size_t frames, int channels, double rate);

// Any WAV layout a reader meets: PCM or another format tag, the extensible
// format (the tag then goes into the subformat GUID), a chunk before the
// data, and declared sizes that lie, as streaming and interrupted recorders
// leave them (0 or 0xFFFFFFFF).
struct WavLayout {
    std::uint16_t tag = 1;
    std::uint16_t channels = 1;
    std::uint32_t rate = 8000;
    std::uint16_t bits = 16;
    bool extensible = false;
    std::int64_t dataSizeOverride = -1;  // the data chunk's declared size (-1: the true one)
    std::int64_t riffSizeOverride = -1;  // the RIFF chunk's declared size (-1: the true one)
    bool junkChunk = false;              // a LIST chunk of odd size before the data
};
// The image: fmt is 16 bytes for PCM, 18 for other tags, 40 when extensible;
// odd data is padded to an even chunk.
Bytes makeWav(const WavLayout& layout, const Bytes& data);

// What a strict reader sees in a WAV image.
struct WavInfo {
    bool ok = false;  // RIFF/WAVE with fmt and a data chunk that fits the file
    std::uint16_t tag = 0, channels = 0, bits = 0;
    std::uint32_t rate = 0;
    std::uint32_t riffSize = 0;  // the RIFF chunk's declared size
    std::uint32_t dataSize = 0;  // the data chunk's declared size
    Bytes data;                  // the data bytes present (at most dataSize)
    Samples samples;             // data as 16-bit samples (16-bit files)
};
WavInfo parseWav(const Bytes& image);

}  // namespace vek::testsupport
