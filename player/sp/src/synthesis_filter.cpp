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
    // Outputs are independent: four at a time, each summed in tap order.
    int i = 0;
    for (; i + 4 <= n; i += 4) {
        float s0 = x[i], s1 = x[i + 1], s2 = x[i + 2], s3 = x[i + 3];
        for (int j = 1; j <= kOrder; ++j) {
            s0 += a[j] * x[i - j];
            s1 += a[j] * x[i + 1 - j];
            s2 += a[j] * x[i + 2 - j];
            s3 += a[j] * x[i + 3 - j];
        }
        y[i] = s0;
        y[i + 1] = s1;
        y[i + 2] = s2;
        y[i + 3] = s3;
    }
    for (; i < n; ++i) {
        float s = x[i];
        for (int j = 1; j <= kOrder; ++j) s += a[j] * x[i - j];
        y[i] = s;
    }
}

}  // namespace vek::sp
