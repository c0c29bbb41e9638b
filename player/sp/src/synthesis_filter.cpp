// LP synthesis filter 1/A(z) and the residual (analysis) filter A(z).
// SPDX-License-Identifier: GPL-3.0-or-later
#include <cstring>

#include "blocks.hpp"

namespace vek::sp {

void synthesisFilter(const float a[kOrder + 1], const float* x, float* y, int n, float memory[kOrder]) {
    // Work buffer: kOrder past outputs then the new ones; x and y may alias.
    float buf[kOrder + kFrameSamples];
    std::memcpy(buf, memory, kOrder * sizeof(float));
    float* out = buf + kOrder;
    for (int i = 0; i < n; ++i) {
        float s = x[i];
        for (int j = 1; j <= kOrder; ++j) s -= a[j] * out[i - j];
        out[i] = s;
    }
    std::memcpy(y, out, static_cast<std::size_t>(n) * sizeof(float));
    std::memcpy(memory, out + n - kOrder, kOrder * sizeof(float));
}

void residualFilter(const float a[kOrder + 1], const float* x, float* y, int n) {
    for (int i = 0; i < n; ++i) {
        float s = x[i];
        for (int j = 1; j <= kOrder; ++j) s += a[j] * x[i - j];
        y[i] = s;
    }
}

}  // namespace vek::sp
