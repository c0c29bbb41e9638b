// Bit-stream unpacking: the 80 bits of a frame to the eleven parameters.
// SPDX-License-Identifier: GPL-3.0-or-later
#include "blocks.hpp"

namespace vek::sp {

namespace {

// Widths of the parameters in stream order; they add up to 80.
constexpr int kWidths[kParameterCount] = {8, 10, 8, 1, 13, 4, 7, 5, 13, 4, 7};

}  // namespace

FrameParameters unpackFrame(const uint8_t* bits) {
    FrameParameters p{};
    // A 64-bit window is refilled byte by byte; the widest parameter has 13
    // bits, so 8 more bits always fit before a read.
    uint64_t window = 0;
    int available = 0;
    int next = 0;
    for (int i = 0; i < kParameterCount; ++i) {
        const int w = kWidths[i];
        while (available < w) {
            window = (window << 8) | bits[next++];
            available += 8;
        }
        available -= w;
        p.value[i] = static_cast<uint16_t>((window >> available) & ((1u << w) - 1u));
    }
    return p;
}

void packFrame(const FrameParameters& params, uint8_t* bits) {
    uint64_t window = 0;
    int pending = 0;
    int next = 0;
    for (int i = 0; i < kParameterCount; ++i) {
        const int w = kWidths[i];
        window = (window << w) | (params.value[i] & ((1u << w) - 1u));
        pending += w;
        while (pending >= 8) {
            pending -= 8;
            bits[next++] = static_cast<uint8_t>(window >> pending);
        }
    }
}

bool pitchParityError(unsigned pitchIndex, unsigned parityBit) {
    // Odd parity over bits 7..2 of the first subframe's pitch index: the
    // count of ones there plus the parity bit plus one must be even.
    unsigned sum = 1 + (parityBit & 1u);
    for (unsigned b = 2; b <= 7; ++b) sum += (pitchIndex >> b) & 1u;
    return (sum & 1u) != 0;
}

}  // namespace vek::sp
