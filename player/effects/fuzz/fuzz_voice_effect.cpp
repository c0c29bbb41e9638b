// Fuzz target: the voice effects on any samples. Byte 0 is the effect number
// (taken modulo 20, so that out-of-range numbers are tried too), byte 1 the
// level byte, byte 2 the block length (the player uses 4000-sample blocks;
// any length must work), the rest 16-bit little-endian samples.
// Two effects fed the same blocks must agree sample for sample, and with the
// level byte 127 (no wet signal) the samples must come out unchanged.
// SPDX-License-Identifier: GPL-3.0-or-later
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "vek/effects/voice_effect.hpp"

namespace {
vek::VoiceEffect a;
vek::VoiceEffect b;
vek::VoiceEffect dry;
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) return 0;
    const int effect = data[0] % 20;
    const int levelByte = data[1];
    const std::size_t block = 1 + static_cast<std::size_t>(data[2]) * 37;
    std::vector<std::int16_t> in((size - 3) / 2);
    for (std::size_t i = 0; i < in.size(); ++i)
        in[i] = static_cast<std::int16_t>(static_cast<std::uint16_t>(data[3 + 2 * i] | data[4 + 2 * i] << 8));

    a.initialize(effect);
    b.initialize(effect);
    dry.initialize(effect);
    if (a.effectNumber() != (effect < vek::kEffectCount ? effect : 0)) std::abort();
    const int wet = vek::wetLevelFromByte(levelByte);
    std::vector<std::int16_t> x = in, y = in, z = in;
    for (std::size_t off = 0; off < in.size(); off += block) {
        const std::size_t n = in.size() - off < block ? in.size() - off : block;
        a.apply(x.data() + off, n, wet);
        b.apply(y.data() + off, n, wet);
        dry.apply(z.data() + off, n, 0);
    }
    if (x != y) std::abort();
    if (z != in) std::abort();
    if (effect == 0 && x != in) std::abort();
    return 0;
}
