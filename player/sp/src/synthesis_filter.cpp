// LP synthesis filter 1/A(z) and the residual (analysis) filter A(z).
// SPDX-License-Identifier: GPL-3.0-or-later
#include "blocks.hpp"

namespace vek::sp {

void synthesisFilter(const float a[kOrder + 1], const float* x, float* y, int n, float memory[kOrder]) {
    // The ten past outputs live in registers (p1 the newest): the recursion
    // then never waits for a store to be read back. Each output is summed
    // in tap order 1..10. x and y may be the same buffer.
    const float a1 = a[1], a2 = a[2], a3 = a[3], a4 = a[4], a5 = a[5];
    const float a6 = a[6], a7 = a[7], a8 = a[8], a9 = a[9], a10 = a[10];
    float p1 = memory[9], p2 = memory[8], p3 = memory[7], p4 = memory[6], p5 = memory[5];
    float p6 = memory[4], p7 = memory[3], p8 = memory[2], p9 = memory[1], p10 = memory[0];
    for (int i = 0; i < n; ++i) {
        float s = x[i];
        s -= a1 * p1;
        s -= a2 * p2;
        s -= a3 * p3;
        s -= a4 * p4;
        s -= a5 * p5;
        s -= a6 * p6;
        s -= a7 * p7;
        s -= a8 * p8;
        s -= a9 * p9;
        s -= a10 * p10;
        p10 = p9, p9 = p8, p8 = p7, p7 = p6, p6 = p5, p5 = p4, p4 = p3, p3 = p2, p2 = p1, p1 = s;
        y[i] = s;
    }
    memory[0] = p10, memory[1] = p9, memory[2] = p8, memory[3] = p7, memory[4] = p6;
    memory[5] = p5, memory[6] = p4, memory[7] = p3, memory[8] = p2, memory[9] = p1;
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
