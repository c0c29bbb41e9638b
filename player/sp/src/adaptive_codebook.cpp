// Adaptive codebook: pitch delay decoding and the past excitation
// interpolated at 1/3-sample resolution.
// SPDX-License-Identifier: GPL-3.0-or-later
#include "blocks.hpp"
#include "tables.hpp"

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
    // The delay is t0 - fraction/3 with fraction in -1..1; the interpolator
    // works on the sample at or before that point and a phase of 0..2 thirds.
    const float* x0 = exc - t0;
    int frac = -fraction;
    if (frac < 0) {
        frac += 3;
        --x0;
    }
    const float* c1 = &kInterpolation3[frac];
    const float* c2 = &kInterpolation3[3 - frac];
    for (int j = 0; j < kSubframeSamples; ++j) {
        const float* x1 = x0++;
        const float* x2 = x0;
        float s = 0.0f;
        // Reads samples written earlier in this loop when the delay is
        // shorter than the subframe, as the recursion requires.
        for (int i = 0, k = 0; i < kInterpolationTaps; ++i, k += 3) s += x1[-i] * c1[k] + x2[i] * c2[k];
        exc[j] = s;
    }
}

}  // namespace vek::sp
