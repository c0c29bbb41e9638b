// Output post-processing: second-order high-pass filter, cut-off 100 Hz.
// SPDX-License-Identifier: GPL-3.0-or-later
#include "blocks.hpp"

namespace vek::sp {

void highPassReset(HighPassState& state) { state = HighPassState{}; }

void highPass(HighPassState& state, float* signal, int n) {
    // y[n] = b0 x[n] + b1 x[n-1] + b2 x[n-2] + a1 y[n-1] + a2 y[n-2] in
    // single precision, summed as the standard's floating-point decoder sums
    // it: the two feedback terms first, then the feed-forward ones (another
    // order changes the last bit, and now and then a rounded sample).
    constexpr float b0 = 0.93980581f;
    constexpr float b1 = -1.8795834f;
    constexpr float b2 = 0.93980581f;
    constexpr float a1 = 1.9330735f;
    constexpr float a2 = -0.93589199f;
    float x1 = state.x1, x2 = state.x2, y1 = state.y1, y2 = state.y2;
    for (int i = 0; i < n; ++i) {
        const float x0 = signal[i];
        const float y0 = y1 * a1 + y2 * a2 + x0 * b0 + x1 * b1 + x2 * b2;
        signal[i] = y0;
        x2 = x1;
        x1 = x0;
        y2 = y1;
        y1 = y0;
    }
    state.x1 = x1;
    state.x2 = x2;
    state.y1 = y1;
    state.y2 = y2;
}

}  // namespace vek::sp
