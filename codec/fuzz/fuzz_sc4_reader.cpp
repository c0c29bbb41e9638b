// Fuzz target: any bytes as an SC4 file. The reader must stay within its
// bounded buffers, never read past the input, and give back only whole frames;
// packing what it gave must be readable again with the same frames in front.
// SPDX-License-Identifier: GPL-3.0-or-later
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <algorithm>

#include "vek/codec/adpcm.hpp"
#include "vek/codec/sc4.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    vek::MemorySource in(data, size);
    vek::MemorySink frames;
    if (!vek::sc4ToAdpcm(in, frames)) return 0;
    const auto& f = frames.bytes();
    if (f.size() % vek::kAdpcmFrameBytes != 0) std::abort();
    // Whatever came out must be a plain frame stream that survives a round trip.
    vek::MemorySource again(f.data(), f.size());
    vek::MemorySink sc4;
    if (!vek::adpcmToSc4(again, sc4, size % 2)) std::abort();
    vek::MemorySource back(sc4.bytes().data(), sc4.bytes().size());
    vek::MemorySink round;
    if (!f.empty() && !vek::sc4ToAdpcm(back, round)) std::abort();
    if (round.bytes().size() < f.size()) std::abort();
    if (!f.empty() && std::memcmp(round.bytes().data(), f.data(), f.size()) != 0) std::abort();
    // And the decoder takes any frames.
    vek::AdpcmCodec codec;
    std::uint8_t pcm[vek::kAdpcmFramePcmBytes * 8];
    for (std::size_t off = 0; off < f.size(); off += vek::kAdpcmFrameBytes * 8) {
        const std::size_t n = std::min<std::size_t>(vek::kAdpcmFrameBytes * 8, f.size() - off);
        codec.decode(f.data() + off, n, pcm);
    }
    return 0;
}
