// Fuzz target: any bytes as the frame data of SP sectors (after a correct
// tag, so that the decoder proper runs), and the whole input once more as a
// block of its own (tag check, lengths). The decoder must stay in bounds,
// produce exactly 160 bytes per whole frame, and be deterministic: a second
// decoder fed the same sectors gives the same samples.
// SPDX-License-Identifier: GPL-3.0-or-later
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cstdio>

#include "vek/sp/decoder.hpp"

namespace {
vek::SpDecoder a;
vek::SpDecoder b;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static bool quiet = [] { return std::freopen("/dev/null", "w", stdout) != nullptr; }();
    (void)quiet;  // the LSP warnings of random frames would flood the log
    // Five sectors carry the decoder's state across sector ends often enough;
    // a longer input only costs time (the fuzzer is run with -max_len 2510).
    if (size > 5 * 502) return -1;
    a.initialize();
    b.initialize();
    static std::uint8_t sector[vek::sp::kTagBytes + vek::sp::kMaxDataBytes];
    static std::int16_t outA[vek::sp::kMaxDataBytes / 10 * 80];
    static std::int16_t outB[vek::sp::kMaxDataBytes / 10 * 80];
    std::memcpy(sector, vek::sp::kSectorTag, vek::sp::kTagBytes);
    for (std::size_t off = 0; off < size; off += 502) {
        const std::size_t n = size - off < 502 ? size - off : 502;
        std::memcpy(sector + vek::sp::kTagBytes, data + off, n);
        std::int32_t countA = -1, countB = -1;
        AudioCodecBlock ba{sector, static_cast<std::uint32_t>(vek::sp::kTagBytes + n), 0, outA, &countA};
        AudioCodecBlock bb{sector, static_cast<std::uint32_t>(vek::sp::kTagBytes + n), 0, outB, &countB};
        if (a.decodeSector(ba) != 1 || b.decodeSector(bb) != 1) std::abort();
        if (countA != static_cast<std::int32_t>(n / 10 * 160) || countA != countB) std::abort();
        if (std::memcmp(outA, outB, static_cast<std::size_t>(countA)) != 0) std::abort();
    }
    // The raw input as one block: a result of 1 only with the tag (or a
    // length under 10) and at most 1000 data bytes.
    std::int32_t count = -1;
    static std::int16_t big[vek::sp::kMaxDataBytes / 10 * 80 + 80];
    AudioCodecBlock raw{data, static_cast<std::uint32_t>(size), 0, big, &count};
    const std::int32_t r = a.decodeSector(raw);
    const bool tagged = size >= 10 && std::memcmp(data, vek::sp::kSectorTag, 10) == 0;
    const bool expectOk = size < 10 || (tagged && size - 10 <= vek::sp::kMaxDataBytes);
    if (r != (expectOk ? 1 : 0)) std::abort();
    if (r == 0 && count != 0) std::abort();
    return 0;
}
