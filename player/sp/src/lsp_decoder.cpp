// LSP decoding: the two-stage vector quantiser with switched MA prediction,
// back to the LSP vector (cosine domain) of the frame.
// SPDX-License-Identifier: GPL-3.0-or-later
#include <cmath>
#include <cstdio>
#include <cstring>

#include "blocks.hpp"
#include "tables.hpp"
#include "vek/checked.hpp"

namespace vek::sp {

namespace {

constexpr float kLowLimit = 0.005f;   // lowest LSF, radians
constexpr float kHighLimit = 3.135f;  // highest LSF
constexpr float kMinDistance = 0.0392f;
constexpr float kGap1 = 0.0012f;  // spacing of the codebook sum, first pass
constexpr float kGap2 = 0.0006f;  // second pass

// Pushes neighbours apart so that buf[j] - buf[j-1] >= gap, moving both by
// half the shortfall.
void expand(float buf[kOrder], float gap) {
    for (int j = 1; j < kOrder; ++j) {
        const float diff = buf[j - 1] - buf[j];
        const float tmp = (diff + gap) * 0.5f;
        if (tmp > 0.0f) {
            buf[j - 1] -= tmp;
            buf[j] += tmp;
        }
    }
}

// The warnings go to standard output with fputs only: the decoder is also
// linked into a small Windows program that must not pull in a printf.
void warn(const char* text) { std::fputs(text, stdout); }

}  // namespace

void lspDecoderReset(LspDecoderState& state) {
    for (auto& row : state.lsfPredictorMemory) std::memcpy(row, kLsfPredictorReset, sizeof row);
    std::memcpy(state.previousLsp, kLspReset, sizeof state.previousLsp);
}

void lsfStability(float lsf[kOrder]) {
    // One ordering pass, the low limit, the minimum distance upwards, then
    // the high limit.
    for (int j = 0; j < kOrder - 1; ++j) {
        if (lsf[j + 1] - lsf[j] < 0.0f) {
            const float t = lsf[j + 1];
            lsf[j + 1] = lsf[j];
            lsf[j] = t;
        }
    }
    if (lsf[0] < kLowLimit) {
        lsf[0] = kLowLimit;
        warn("warning LSP Low \n");
    }
    for (int j = 0; j < kOrder - 1; ++j) {
        if (lsf[j + 1] - lsf[j] < kMinDistance) lsf[j + 1] = lsf[j] + kMinDistance;
    }
    if (lsf[kOrder - 1] > kHighLimit) {
        lsf[kOrder - 1] = kHighLimit;
        warn("warning LSP High \n");
    }
}

void decodeLsp(LspDecoderState& state, unsigned l0l1, unsigned l2l3, float lsp[kOrder]) {
    // L0 (1 bit) selects the MA predictor, L1 (7 bits) the first-stage
    // vector, L2 and L3 (5 bits each) the second-stage lower and upper halves.
    const unsigned mode = (l0l1 >> 7) & 1u;
    const unsigned code0 = l0l1 & 0x7Fu;
    const unsigned code1 = (l2l3 >> 5) & 0x1Fu;
    const unsigned code2 = l2l3 & 0x1Fu;

    float buf[kOrder];
    for (int j = 0; j < kOrder / 2; ++j) buf[j] = at(kLspCodebook1, code0)[j] + at(kLspCodebook2, code1)[j];
    for (int j = kOrder / 2; j < kOrder; ++j) buf[j] = at(kLspCodebook1, code0)[j] + at(kLspCodebook2, code2)[j];
    expand(buf, kGap1);
    expand(buf, kGap2);

    // Prediction: this frame's quantiser output weighted by 1 - sum(fg),
    // plus the four past outputs weighted by the predictor of the mode.
    float lsf[kOrder];
    const float(*fg)[kOrder] = at(kLspPredictor, mode);
    for (int j = 0; j < kOrder; ++j) {
        float v = buf[j] * kLspPredictorSum[mode][j];
        for (int k = 0; k < 4; ++k) v += state.lsfPredictorMemory[k][j] * fg[k][j];
        lsf[j] = v;
    }

    std::memmove(state.lsfPredictorMemory[1], state.lsfPredictorMemory[0], 3 * sizeof state.lsfPredictorMemory[0]);
    std::memcpy(state.lsfPredictorMemory[0], buf, sizeof buf);

    lsfStability(lsf);
    for (int j = 0; j < kOrder; ++j) lsp[j] = static_cast<float>(std::cos(static_cast<double>(lsf[j])));
}

}  // namespace vek::sp
