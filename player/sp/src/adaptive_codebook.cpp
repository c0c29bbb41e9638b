// Adaptive codebook: pitch delay decoding and the past excitation
// interpolated at 1/3-sample resolution.
// SPDX-License-Identifier: GPL-3.0-or-later
#include "blocks.hpp"
#include "tables.hpp"
#include "vek/checked.hpp"

#include <iterator>

namespace vek::sp {

void decodePitchDelay(unsigned index, bool firstSubframe, int& t0, int& fraction) {
    const int idx = static_cast<int>(index);
    if (firstSubframe) {
        // 8 bits: delays 19 1/3 .. 84 2/3 in thirds (indices 0..196), then
        // whole delays 85..143.
        if (idx < 197) {
            t0 = (idx + 2) / 3 + 19;
            fraction = idx - t0 * 3 + 58;
        } else {
            t0 = idx - 112;
            fraction = 0;
        }
        return;
    }
    // 5 bits: a window of delays around the first subframe's, t0 on entry.
    int tMin = t0 - 5;
    if (tMin < kPitchMin) tMin = kPitchMin;
    int tMax = tMin + 9;
    if (tMax > kPitchMax) {
        tMax = kPitchMax;
        tMin = tMax - 9;
    }
    const int i = (idx + 2) / 3 - 1;
    t0 = i + tMin;
    fraction = idx - 2 - i * 3;
}

void adaptiveCodebookVector(float* exc, int t0, int fraction) {
    // The delay is t0 + fraction/3 with fraction in -1..1; the interpolator
    // starts from the whole sample at or beyond that delay with a phase of
    // 0..2 thirds towards the present.
    const float* x0 = exc - t0;
    int frac = -fraction;
    if (frac < 0) {
        frac += 3;
        --x0;
    }
    const float* c1 = &kInterpolation3[frac];
    const float* c2 = &kInterpolation3[3 - frac];
    VEK_CHECK_RANGE(c1, 3 * (kInterpolationTaps - 1) + 1, kInterpolation3, std::size(kInterpolation3));
    VEK_CHECK_RANGE(c2, 3 * (kInterpolationTaps - 1) + 1, kInterpolation3, std::size(kInterpolation3));
    // Each output is one sum over 20 taps in a fixed order; four outputs are
    // computed side by side only to keep the arithmetic units busy. When the
    // delay is shorter than the subframe the sums read outputs of this loop:
    // the newest sample output j+3 reads is j+3+10-t0, finished already
    // because t0 >= 19.
    for (int j = 0; j < kSubframeSamples; j += 4) {
        const float* x1 = x0 + j;
        const float* x2 = x1 + 1;
        float s0 = 0.0f, s1 = 0.0f, s2 = 0.0f, s3 = 0.0f;
        for (int i = 0, k = 0; i < kInterpolationTaps; ++i, k += 3) {
            const float a = c1[k];
            const float b = c2[k];
            s0 += x1[-i] * a + x2[i] * b;
            s1 += x1[1 - i] * a + x2[i + 1] * b;
            s2 += x1[2 - i] * a + x2[i + 2] * b;
            s3 += x1[3 - i] * a + x2[i + 3] * b;
        }
        exc[j] = s0;
        exc[j + 1] = s1;
        exc[j + 2] = s2;
        exc[j + 3] = s3;
    }
}

}  // namespace vek::sp
