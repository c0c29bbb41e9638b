// SPDX-License-Identifier: GPL-3.0-or-later
#include "vek/player/decoders.hpp"

namespace vek::player {

bool AdpcmBlockDecoder::decode(const std::uint8_t* in, std::size_t n, std::int16_t* out) {
    const std::size_t frames = n / kAdpcmFrameBytes;
    for (std::size_t i = 0; i < frames; ++i) {
        adpcmDecodeFrame(m_state, in + i * kAdpcmFrameBytes, out + i * kAdpcmFrameSamples);
    }
    return true;
}

}  // namespace vek::player
