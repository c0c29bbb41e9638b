// Fixed (algebraic) codebook: four signed unit pulses on interleaved tracks.
// SPDX-License-Identifier: GPL-3.0-or-later
#include <cstring>

#include "blocks.hpp"
#include "vek/checked.hpp"

namespace vek::sp {

void fixedCodebookVector(unsigned positions, unsigned signs, float code[kSubframeSamples]) {
    // 13 bits: three bits each for tracks 0, 1, 2 (positions 5m + track),
    // then one bit choosing track 3 or 4 and three bits for its position.
    int pos[4];
    pos[0] = static_cast<int>(positions & 7u) * 5;
    positions >>= 3;
    pos[1] = static_cast<int>(positions & 7u) * 5 + 1;
    positions >>= 3;
    pos[2] = static_cast<int>(positions & 7u) * 5 + 2;
    positions >>= 3;
    const int jitter = static_cast<int>(positions & 1u);
    positions >>= 1;
    pos[3] = static_cast<int>(positions & 7u) * 5 + 3 + jitter;

    std::memset(code, 0, kSubframeSamples * sizeof(float));
    for (int j = 0; j < 4; ++j) {
        VEK_CHECK_INDEX(pos[j], kSubframeSamples);
        code[pos[j]] = (signs & 1u) ? 1.0f : -1.0f;
        signs >>= 1;
    }
}

}  // namespace vek::sp
