// A small RIFF WAVE reader and writer for 16-bit mono PCM, enough for the
// effect and render commands of vekconv.
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vek::player {

struct WavMono16 {
    std::vector<std::int16_t> samples;
    unsigned sampleRate = 0;
};

// Parses the file image: "RIFF" ... "WAVE", a "fmt " chunk of PCM (format 1,
// or the extensible format with the PCM sub-format), one channel, 16 bits,
// and a "data" chunk; other chunks are skipped. A data chunk that claims more
// than the file holds yields the whole samples present. On failure returns
// nullopt and sets `error`.
std::optional<WavMono16> parseWavMono16(const std::vector<std::uint8_t>& file, std::string& error);

// The most samples a 16-bit mono WAV file can hold: 36 + 2 * count must fit
// the 32-bit RIFF length.
inline constexpr std::size_t kWavMono16MaxSamples = (0xFFFFFFFFu - 36u) / 2u;

// The 44-byte canonical header followed by the samples, little-endian.
// Throws std::length_error for more than kWavMono16MaxSamples samples.
std::vector<std::uint8_t> makeWavMono16(const std::int16_t* samples, std::size_t count, unsigned sampleRate);

}  // namespace vek::player
