// LSP to LP coefficients, and the per-subframe interpolation.
// SPDX-License-Identifier: GPL-3.0-or-later
#include "blocks.hpp"

namespace vek::sp {

namespace {

constexpr int kHalf = kOrder / 2;

// Coefficients f[0..5] of the product over i of (1 - 2 q_i z^-1 + z^-2) for
// the five LSPs q = lsp[0], lsp[2], ... (lsp points at the first of them).
void lspPolynomial(const float* lsp, float f[kHalf + 1]) {
    f[0] = 1.0f;
    f[1] = -2.0f * lsp[0];
    for (int i = 2; i <= kHalf; ++i) {
        const float b = -2.0f * lsp[2 * i - 2];
        f[i] = b * f[i - 1] + 2.0f * f[i - 2];
        for (int j = i - 1; j > 1; --j) f[j] += b * f[j - 1] + f[j - 2];
        f[1] += b;
    }
}

}  // namespace

void lspToLpc(const float lsp[kOrder], float a[kOrder + 1]) {
    // A(z) = (F1(z) + F2(z)) / 2 with F1 = P(z)(1 + z^-1), F2 = Q(z)(1 - z^-1);
    // the symmetric and antisymmetric halves give a[i] and a[11 - i].
    float f1[kHalf + 1];
    float f2[kHalf + 1];
    lspPolynomial(lsp, f1);
    lspPolynomial(lsp + 1, f2);
    for (int i = kHalf; i > 0; --i) {
        f1[i] += f1[i - 1];
        f2[i] -= f2[i - 1];
    }
    a[0] = 1.0f;
    for (int i = 1, j = kOrder; i <= kHalf; ++i, --j) {
        a[i] = 0.5f * (f1[i] + f2[i]);
        a[j] = 0.5f * (f1[i] - f2[i]);
    }
}

void interpolateLpc(const float previousLsp[kOrder], const float lsp[kOrder], float a[2][kOrder + 1]) {
    // First subframe: the mean of the previous and the current LSPs; second
    // subframe: the current ones.
    float mid[kOrder];
    for (int i = 0; i < kOrder; ++i) mid[i] = previousLsp[i] * 0.5f + lsp[i] * 0.5f;
    lspToLpc(mid, a[0]);
    lspToLpc(lsp, a[1]);
}

}  // namespace vek::sp
