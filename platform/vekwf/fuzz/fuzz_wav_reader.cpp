// Fuzz target: any bytes as a WAV file, read the way the conversion jobs read
// it: ReadWaveHeader, then ReadWaveFile in the jobs' 8000-byte blocks until
// the data ends. The header must describe what is delivered (a PCM header
// says 8 or 16 bits and one or two channels, a positive rate, a length the
// file can hold), no read may give more than asked or more than the data
// holds, the rest of a buffer past the data must be zero, and a second
// reading in blocks of another length (whole frames) must deliver the same
// bytes.
// SPDX-License-Identifier: GPL-3.0-or-later
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "scratch.hpp"
#include "vekwf.h"

namespace {

struct Header {
    std::int16_t bits = -1, channels = -1, tag = -1;
    std::int32_t rate = -1, dataBytes = -1;
};

// Reads everything in blocks of `block` bytes; aborts on a broken promise.
std::vector<std::uint8_t> readAll(const std::string& path, std::int32_t block, Header& h, bool& opened) {
    std::vector<std::uint8_t> out;
    VekWaveHandle w = ReadWaveHeader(path.c_str(), &h.bits, &h.channels, &h.rate, &h.dataBytes, &h.tag);
    opened = w != 0;
    if (!w) return out;
    std::vector<std::uint8_t> buf(static_cast<std::size_t>(block));
    for (int guard = 0; guard < 1 << 20; ++guard) {
        std::fill(buf.begin(), buf.end(), 0xA5);
        const std::int32_t n = ReadWaveFile(w, buf.data(), block);
        if (n < 0 || n > block) std::abort();
        for (std::int32_t i = n; i < block; ++i)
            if (buf[static_cast<std::size_t>(i)] != 0) std::abort();
        out.insert(out.end(), buf.begin(), buf.begin() + n);
        if (out.size() > static_cast<std::size_t>(h.dataBytes)) std::abort();
        if (n < block) break;
    }
    CloseReadWaveFile(w);
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = vek::fuzz::writeScratchFile("input.wav", data, size);
    Header h;
    bool opened = false;
    const auto first = readAll(path, 8000, h, opened);
    if (!opened) return 0;
    if (h.rate <= 0 || h.dataBytes < 0) std::abort();
    if (static_cast<std::uint64_t>(h.dataBytes) > 2 * static_cast<std::uint64_t>(size)) std::abort();
    if (h.tag == 1) {
        if (h.bits != 8 && h.bits != 16) std::abort();
        if (h.channels != 1 && h.channels != 2) std::abort();
    }
    Header again;
    // Whole frames of any delivered format (at most two 16-bit channels).
    const auto second = readAll(path, 4 * (1 + static_cast<std::int32_t>(size % 997)), again, opened);
    if (!opened || again.dataBytes != h.dataBytes || again.tag != h.tag || second != first) std::abort();
    // The null handle is accepted everywhere and does nothing.
    std::uint8_t b[4] = {1, 2, 3, 4};
    if (ReadWaveFile(0, b, 4) != 0) std::abort();
    CloseReadWaveFile(0);
    return 0;
}
