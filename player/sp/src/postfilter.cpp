// Adaptive post-filter of Annex A: long-term (pitch) post-filter on the
// residual of A(z/0.55), tilt compensation, short-term synthesis through
// 1/A(z/0.7) and automatic gain control.
// SPDX-License-Identifier: GPL-3.0-or-later
#include <cmath>
#include <cstring>
#include <iterator>

#include "blocks.hpp"
#include "vek/checked.hpp"

namespace vek::sp {

namespace {

constexpr float kGammaNumerator = 0.55f;    // A(z/g) of the residual
constexpr float kGammaDenominator = 0.70f;  // 1/A(z/g) of the synthesis
constexpr float kPitchGain = 0.5f;          // gamma_p of the pitch post-filter
constexpr float kTiltFactor = 0.8f;         // mu
constexpr float kAgcFactor = 0.9f;

void weightLpc(const float a[kOrder + 1], float gamma, float out[kOrder + 1]) {
    out[0] = a[0];
    float f = gamma;
    for (int i = 1; i <= kOrder; ++i) {
        out[i] = a[i] * f;
        f *= gamma;
    }
}

// Long-term post-filter: the integer delay within t0min..t0min+6 that best
// correlates the residual with its past, then
// out = (res + g*gamma_p*res[-t]) / (1 + g*gamma_p) with the optimal gain g
// limited to 1; switched off when the prediction gain is under 3 dB.
void pitchPostfilter(const float* res, int t0min, float* out) {
    // The seven correlations are summed side by side, each in sample order.
    constexpr int kLags = 7;
    float corr[kLags] = {};
    const float* past = res - t0min;
    for (int j = 0; j < kSubframeSamples; ++j) {
        const float r = res[j];
        for (int k = 0; k < kLags; ++k) corr[k] += r * past[j - k];
    }
    float corMax = -1.0e38f;
    int t0 = t0min;
    for (int k = 0; k < kLags; ++k) {
        if (corr[k] > corMax) {
            corMax = corr[k];
            t0 = t0min + k;
        }
    }
    float energyPast = 0.5f;
    float energy = 0.5f;
    for (int i = 0; i < kSubframeSamples; ++i) {
        energyPast += res[i - t0] * res[i - t0];
        energy += res[i] * res[i];
    }
    if (corMax < 0.0f) corMax = 0.0f;

    if (corMax * corMax < energyPast * energy * 0.5f) {
        std::memcpy(out, res, kSubframeSamples * sizeof(float));
        return;
    }
    float g0;
    float gain;
    if (corMax > energyPast) {  // optimal gain above 1: use 1
        g0 = 1.0f / (1.0f + kPitchGain);
        gain = kPitchGain / (1.0f + kPitchGain);
    } else {
        // gain = gp c / (gp c + e), formed as the reciprocal times gp c: a
        // plain quotient rounds differently now and then.
        corMax *= kPitchGain;
        const float inverse = 1.0f / (corMax + energyPast);
        gain = inverse * corMax;
        g0 = 1.0f - gain;
    }
    for (int i = 0; i < kSubframeSamples; ++i) out[i] = g0 * res[i] + gain * res[i - t0];
}

// First-order tilt compensation 1 - g z^-1 in place; memory carries the last
// input sample across subframes.
void preemphasis(float* signal, float g, float& memory) {
    const float last = signal[kSubframeSamples - 1];
    for (int i = kSubframeSamples - 1; i > 0; --i) signal[i] -= g * signal[i - 1];
    signal[0] -= g * memory;
    memory = last;
}

// Scales the post-filtered subframe towards the energy of the unfiltered
// one with a gain smoothed sample by sample: g(n) = 0.9 g(n-1) + 0.1 sqrt(Ein/Eout).
void gainControl(const float* in, float* out, float& pastGain) {
    float energyOut = 0.0f;
    float energyIn = 0.0f;
    for (int i = 0; i < kSubframeSamples; ++i) {
        energyOut += out[i] * out[i];
        energyIn += in[i] * in[i];
    }
    if (energyOut == 0.0f) {
        pastGain = 0.0f;
        return;
    }
    float g0 = 0.0f;
    if (energyIn != 0.0f) g0 = std::sqrt(energyIn / energyOut) * (1.0f - kAgcFactor);
    float gain = pastGain;
    for (int i = 0; i < kSubframeSamples; ++i) {
        gain = gain * kAgcFactor + g0;
        out[i] *= gain;
    }
    pastGain = gain;
}

}  // namespace

void postfilterReset(PostfilterState& state) {
    std::memset(state.residual, 0, sizeof state.residual);
    std::memset(state.synthesisMemory, 0, sizeof state.synthesisMemory);
    state.preemphasisMemory = 0.0f;
    state.pastGain = 1.0f;
}

void postfilter(PostfilterState& state, const float* syn, const float a[2][kOrder + 1], const int pitch[2],
                float out[kFrameSamples]) {
    float num[2][kOrder + 1];
    float den[2][kOrder + 1];
    for (int sub = 0; sub < 2; ++sub) {
        weightLpc(a[sub], kGammaNumerator, num[sub]);
        weightLpc(a[sub], kGammaDenominator, den[sub]);
    }

    // Tilt of each subframe: the first two autocorrelation terms of the
    // truncated impulse response h of A(z/0.55)/A(z/0.7). The two responses
    // are independent recursions, computed side by side (each sum in tap
    // order) so that neither waits for the other.
    float h[2][kPostfilterResponse];
    std::memcpy(h[0], num[0], sizeof num[0]);
    std::memcpy(h[1], num[1], sizeof num[1]);
    for (int i = 1; i <= kOrder; ++i) {
        float s0 = h[0][i];
        float s1 = h[1][i];
        for (int j = 1; j <= i; ++j) {
            s0 -= den[0][j] * h[0][i - j];
            s1 -= den[1][j] * h[1][i - j];
        }
        h[0][i] = s0;
        h[1][i] = s1;
    }
    for (int i = kOrder + 1; i < kPostfilterResponse; ++i) {
        float s0 = 0.0f;
        float s1 = 0.0f;
        for (int j = 1; j <= kOrder; ++j) {
            s0 -= den[0][j] * h[0][i - j];
            s1 -= den[1][j] * h[1][i - j];
        }
        h[0][i] = s0;
        h[1][i] = s1;
    }
    float tilt[2];
    for (int sub = 0; sub < 2; ++sub) {
        const float* g = h[sub];
        float r0 = g[0] * g[0];
        float r1 = g[0] * g[1];
        for (int i = 1; i < kPostfilterResponse - 1; ++i) {
            r0 += g[i] * g[i];
            r1 += g[i] * g[i + 1];
        }
        r0 += g[kPostfilterResponse - 1] * g[kPostfilterResponse - 1];
        tilt[sub] = r1 <= 0.0f ? 0.0f : r1 * kTiltFactor / r0;
    }

    float* res = state.residual + kPitchMax;  // current subframe; kPitchMax past samples before it
    for (int sub = 0; sub < 2; ++sub) {
        const int offset = sub * kSubframeSamples;
        // Delays within 3 of the decoded one, none beyond the longest.
        int t0min = pitch[sub] - 3;
        if (t0min + 6 > kPitchMax) t0min = kPitchMax - 6;

        // The lag search reads the residual up to t0min + 6 samples back.
        VEK_CHECK_RANGE(res - (t0min + 6), kSubframeSamples + t0min + 6, state.residual,
                        std::size(state.residual));
        residualFilter(num[sub], syn + offset, res, kSubframeSamples);
        float filtered[kSubframeSamples];
        pitchPostfilter(res, t0min, filtered);
        preemphasis(filtered, tilt[sub], state.preemphasisMemory);

        synthesisFilter(den[sub], filtered, out + offset, kSubframeSamples, state.synthesisMemory);
        gainControl(syn + offset, out + offset, state.pastGain);

        std::memmove(state.residual, state.residual + kSubframeSamples, kPitchMax * sizeof(float));
    }
}

}  // namespace vek::sp
