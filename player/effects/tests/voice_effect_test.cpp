// Voice effects: impulse responses, the mix rule, and each family against a
// second, independently written model that keeps its history by absolute time
// instead of circular indices.
// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <deque>
#include <vector>

#include "vek/effects/voice_effect.hpp"
#include "vek/testsupport/signals.hpp"

namespace {

using vek::VoiceEffect;

// Speech for the effects: two partials of a gliding pitch under a syllable
// envelope (vek::testsupport::syllables); the peak sets the level.
using vek::testsupport::syllables;

std::vector<std::int16_t> applyBlocks(int effect, int wet, std::vector<std::int16_t> s) {
    VoiceEffect fx;
    fx.initialize(effect);
    for (std::size_t at = 0; at < s.size(); at += vek::kEffectBlockSamples) {
        fx.apply(s.data() + at, std::min(vek::kEffectBlockSamples, s.size() - at), wet);
    }
    return s;
}

std::int16_t mix(std::int64_t x, std::int64_t e, int L, bool reverb) {
    const std::int64_t y = ((128 - L) * x + (reverb ? 12 : 1) * L * e) / 128;
    return static_cast<std::int16_t>(std::clamp<std::int64_t>(y, -32768, 32767));
}

// ---------------------------------------------------------------- mix rule

TEST(VoiceEffectMix, LevelByte127AndEffectZeroLeaveSamplesUnchanged) {
    const auto dry = syllables(12000);
    for (int effect = 0; effect <= 16; ++effect) {
        EXPECT_EQ(applyBlocks(effect, 0, dry), dry) << "effect " << effect;
    }
    for (int effect : {0, -1, 17, 255, 1000}) {
        EXPECT_EQ(applyBlocks(effect, 127, dry), dry) << "effect " << effect;
    }
    VoiceEffect fx;
    fx.initialize(42);
    EXPECT_EQ(fx.effectNumber(), 0);
}

TEST(VoiceEffectMix, WetLevelFromByte) {
    EXPECT_EQ(vek::wetLevelFromByte(0), 127);
    EXPECT_EQ(vek::wetLevelFromByte(80), 47);
    EXPECT_EQ(vek::wetLevelFromByte(127), 0);
    EXPECT_EQ(vek::wetLevelFromByte(200), 0);
    EXPECT_STREQ(vek::effectLabel(13), "Octave Up");
    EXPECT_STREQ(vek::effectLabel(17), "OFF");
}

TEST(VoiceEffectMix, SaturatesAtBothEnds) {
    // Flange (G = 1.8, no feedback) on a full-scale square wave: the wet path
    // alone is 1.8 times full scale, so the mix must clip, not wrap.
    std::vector<std::int16_t> s(8000);
    for (std::size_t i = 0; i < s.size(); ++i) s[i] = (i / 400) % 2 ? -32768 : 32767;
    const auto out = applyBlocks(6, 127, s);
    int hiCount = 0, loCount = 0;
    for (std::size_t i = 0; i < out.size(); ++i) {
        hiCount += out[i] == 32767;
        loCount += out[i] == -32768;
        // Away from the edges of the square the output keeps the input's sign.
        if (i % 400 > 100) {
            EXPECT_EQ(out[i] > 0, s[i] > 0) << i;
        }
    }
    EXPECT_GT(hiCount, 2000);
    EXPECT_GT(loCount, 2000);
    // And the reverberator of the biggest room on full-scale input.
    const auto rv = applyBlocks(4, 127, syllables(24000, 40000.0));
    EXPECT_NE(std::find(rv.begin(), rv.end(), 32767), rv.end());
    EXPECT_NE(std::find(rv.begin(), rv.end(), -32768), rv.end());
}

// ----------------------------------------------------------- reverberator

struct RvPreset {
    int d[7];
    std::int32_t A, B, C, E;
    int M[6];
    int F;
    std::int32_t q;
};
const RvPreset kRv[4] = {
    {{239, 71, 103, 127, 113, 157, 173}, 6656, -24832, 9984, 66, {1117, 1193, 1283, 1327, 1409, 1499}, 63, 3072},
    {{263, 73, 113, 149, 127, 179, 193}, 7168, -26624, 9472, 68, {1231, 1319, 1447, 1499, 1571, 1693}, 63, 4096},
    {{293, 89, 131, 157, 139, 197, 211}, 7680, -29696, 8960, 88, {1381, 1471, 1559, 1653, 1733, 1823}, 63, 10240},
    {{331, 97, 147, 179, 163, 223, 239}, 8192, -31488, 8192, 102, {1511, 1657, 1741, 1847, 1931, 2029}, 63, 12288},
};

std::int32_t wrap(std::int64_t v) { return static_cast<std::int32_t>(static_cast<std::uint32_t>(v)); }

// The reverberator written by lags: every line is a FIFO, and the early taps
// are "so many samples ago" in the input history (4095 for the oldest, then
// d0 - 1, d0 + d1 - 1, ...).
class ReverbModel {
public:
    explicit ReverbModel(const RvPreset& p) : m_p(p), m_hist(4096, 0) {
        m_lags[0] = 4095;
        int sum = -1;
        for (int k = 0; k < 7; ++k) {
            sum += p.d[k];
            m_lags[k + 1] = sum;
        }
        for (int k = 0; k < 6; ++k) {
            m_comb[k].assign(static_cast<std::size_t>(p.M[k]), 0);
            m_gain[k] = static_cast<std::int32_t>(
                (static_cast<std::int64_t>(p.B) * (32767 - p.C) - static_cast<std::int64_t>(k) * p.B * p.E) >> 15);
        }
        m_final.assign(static_cast<std::size_t>(p.F), 0);
    }
    std::int32_t step(std::int32_t u) {
        m_hist.push_front(u);  // m_hist[k] = input k samples ago
        m_hist.pop_back();
        static const std::int32_t w[8] = {5632, 5120, 4864, 4352, 4608, 4096, 1536, 1664};
        std::int64_t acc = 0;
        for (int k = 0; k < 8; ++k) acc += static_cast<std::int64_t>(w[k]) * m_hist[static_cast<std::size_t>(m_lags[k])];
        const std::int32_t er = static_cast<std::int32_t>(acc >> 15);
        std::int64_t S = 0;
        for (int k = 0; k < 6; ++k) {
            const std::int32_t o = m_comb[k].front();  // stored M[k] samples ago
            m_comb[k].pop_front();
            S += o;
            const std::int32_t a = wrap(static_cast<std::int64_t>(m_gain[k]) * o + static_cast<std::int64_t>(p().C) * m_low[k]);
            m_low[k] = a >> 15;
            m_comb[k].push_back(wrap(static_cast<std::int64_t>(p().A) * er + a) >> 15);
        }
        const std::int32_t v = m_final.front();
        m_final.pop_front();
        const std::int32_t t = wrap((S - v) * p().q) >> 15;
        m_final.push_back(wrap(t + S));
        return wrap(static_cast<std::int64_t>(t) + v);
    }

private:
    const RvPreset& p() const { return m_p; }
    RvPreset m_p;
    std::deque<std::int32_t> m_hist;
    int m_lags[8];
    std::deque<std::int32_t> m_comb[6];
    std::int32_t m_gain[6];
    std::int32_t m_low[6] = {};
    std::deque<std::int32_t> m_final;
};

// The nearest early tap lies d0 - 1 samples back, and its contribution
// comes out after the shortest comb: 238 + 1117 = 1355 samples for preset 1.
TEST(Reverberator, FirstOutputFollowsNearestTapAndShortestComb) {
    for (int preset = 1; preset <= 4; ++preset) {
        VoiceEffect fx;
        fx.initialize(preset);
        int first = -1;
        for (int n = 0; n < 4000 && first < 0; ++n) {
            if (fx.reverbSample(n == 0 ? 8000 : 0) != 0) first = n;
        }
        EXPECT_EQ(first, kRv[preset - 1].d[0] - 1 + kRv[preset - 1].M[0]) << "preset " << preset;
        if (preset == 1) {
            EXPECT_EQ(first, 238 + 1117);
        }
    }
}

TEST(Reverberator, MatchesLagModelOnSpeechAndFullScale) {
    for (double peak : {12000.0, 45000.0}) {
        const auto x = syllables(30000, peak);
        for (int preset = 1; preset <= 4; ++preset) {
            VoiceEffect fx;
            fx.initialize(preset);
            ReverbModel model(kRv[preset - 1]);
            std::int64_t energy = 0;
            for (std::size_t n = 0; n < x.size(); ++n) {
                const std::int32_t u = x[n] / 4;
                const std::int32_t got = fx.reverbSample(u);
                ASSERT_EQ(got, model.step(u)) << "preset " << preset << " sample " << n;
                energy += std::abs(static_cast<std::int64_t>(got));
            }
            EXPECT_GT(energy, 0);
        }
    }
}

TEST(Reverberator, MixUsesQuarterInputAndTwelveTimesWet) {
    const auto x = syllables(8000);
    const int L = 47;
    const auto out = applyBlocks(2, L, x);
    ReverbModel model(kRv[1]);
    for (std::size_t n = 0; n < x.size(); ++n) {
        ASSERT_EQ(out[n], mix(x[n], model.step(x[n] / 4), L, true)) << n;
    }
}

// -------------------------------------------------------- float families

// Echo and Robot Voice: fixed delays. A click comes back every 4003 (203)
// samples, each repeat FB times the previous (stored in single precision),
// scaled by G in the wet path.
void checkFixedDelay(int effect, int period, float G, float FB) {
    VoiceEffect fx;
    fx.initialize(effect);
    float stored = 1000.0f;
    std::vector<std::int32_t> expected(static_cast<std::size_t>(period * 4 + 1), 0);
    for (int k = 1; k <= 4; ++k) {
        expected[static_cast<std::size_t>(k * period)] = static_cast<std::int32_t>(static_cast<double>(stored) * G);
        stored = static_cast<float>(static_cast<double>(stored) * FB);
    }
    for (std::size_t n = 0; n < expected.size(); ++n) {
        ASSERT_EQ(fx.delaySample(n == 0 ? 1000 : 0), expected[n]) << "effect " << effect << " sample " << n;
    }
}

TEST(ModulatedDelay, EchoRepeatsEvery4003Samples) { checkFixedDelay(5, 4003, 1.3f, 0.7f); }
TEST(ModulatedDelay, RobotVoiceRepeatsEvery203Samples) { checkFixedDelay(9, 203, 0.8f, 0.75f); }

TEST(ModulatedDelay, EchoThroughTheMixAtFullWet) {
    std::vector<std::int16_t> s(12000, 0);
    s[0] = 10000;
    const auto out = applyBlocks(5, 127, s);
    EXPECT_EQ(out[0], 10000 / 128);
    // 1.3f is a little below 1.3, so the wet value truncates to 12999.
    EXPECT_EQ(out[4003], 127 * static_cast<std::int32_t>(10000 * static_cast<double>(1.3f)) / 128);
    EXPECT_EQ(out[4003], 12897);
    EXPECT_EQ(out[8006], 127 * static_cast<std::int32_t>(static_cast<double>(static_cast<float>(10000 * static_cast<double>(0.7f))) * static_cast<double>(1.3f)) / 128);
    int nonzero = 0;
    for (std::size_t n = 1; n < out.size(); ++n) nonzero += out[n] != 0;
    EXPECT_EQ(nonzero, 2);
}

struct FloatModelPreset {
    float G, FB, S, D1, D2;
};

// The modulated delay kept as a read position behind an ever-growing write
// time: the 16.16 delay word lives in a 64-bit signed integer here.
std::vector<std::int32_t> delayModel(const FloatModelPreset& p, const std::vector<std::int16_t>& x) {
    std::int64_t step = static_cast<std::int64_t>(static_cast<double>(p.S) * 65.536);
    const int P = static_cast<int>(static_cast<double>(p.D1) * 16), Q = static_cast<int>(static_cast<double>(p.D2) * 16);
    const int N = 2 * (P + Q), hi = 2 * P + Q - 2, lo = P + Q - 2;
    std::vector<float> line(static_cast<std::size_t>(N), 0.0f);
    std::int64_t pos = static_cast<std::int64_t>((lo + hi) / 2) * 65536;
    std::size_t a = 0, b = 0;
    std::vector<std::int32_t> out;
    for (std::size_t n = 0; n < x.size(); ++n) {
        const double f = static_cast<double>(pos % 65536);
        const double v = ((65536.0 - f) * line[a] + f * line[b]) / 65536.0;
        line[n % static_cast<std::size_t>(N)] = static_cast<float>(v * p.FB + x[n]);
        out.push_back(static_cast<std::int32_t>(v * p.G));
        pos += step;
        const std::int64_t D = pos / 65536;
        b = static_cast<std::size_t>((D + static_cast<std::int64_t>(n) + 1) % N);
        a = (b + static_cast<std::size_t>(N) - 1) % static_cast<std::size_t>(N);
        if (D > hi || D < lo) step = -step;
    }
    return out;
}

TEST(ModulatedDelay, AllPresetsMatchTimeModel) {
    const FloatModelPreset presets[6] = {
        {1.3f, 0.7f, 0, 0, 250}, {1.8f, 0, 2, 6, 0},   {-1.8f, -0.7f, 2, 6, 0},
        {2, 0, 11, 20, 20},      {0.8f, 0.75f, 0, 0, 12.5f}, {1.85f, 0.3f, 150, 40, 40},
    };
    const auto x = syllables(24000);
    for (int k = 0; k < 6; ++k) {
        const auto expected = delayModel(presets[k], x);
        VoiceEffect fx;
        fx.initialize(5 + k);
        std::size_t differing = 0;
        for (std::size_t n = 0; n < x.size(); ++n) {
            const std::int32_t got = fx.delaySample(x[n]);
            ASSERT_EQ(got, expected[n]) << "effect " << 5 + k << " sample " << n;
            differing += got != 0;
        }
        EXPECT_GT(differing, x.size() / 2);
    }
}

TEST(PitchShifter, OctaveUpOnSteadyInputFadesEveryK0PlusOneCarries) {
    // Octave Up: R = 1, so the position word carries on every sample but the
    // first; with a constant input and no feedback the wet output is G * x
    // except during the 192-sample cross-fades, where the gains are
    // SIN[z] + COS[z] of the quarter-period tables.
    VoiceEffect fx;
    fx.initialize(13);
    const int x = 1000;
    const int N = 2 * 640;
    std::vector<std::int32_t> y;
    for (int n = 0; n < 6000; ++n) y.push_back(fx.pitchSample(x));
    std::vector<int> fadeStarts;
    for (int n = N + 1; n < 6000; ++n) {
        if (y[n] != 1500 && y[n - 1] == 1500) fadeStarts.push_back(n);
    }
    ASSERT_GE(fadeStarts.size(), 5u);
    const int K0 = 640 - 192 - 2;
    for (std::size_t i = 1; i < fadeStarts.size(); ++i) EXPECT_EQ(fadeStarts[i] - fadeStarts[i - 1], K0 + 1);
    // Inside a fade the gains are SIN and COS at the counter's value.
    const int s = fadeStarts[1];
    for (int k = 0; k < 192; ++k) {
        const int z = 191 - k;
        const double g = static_cast<double>(static_cast<float>(std::sin(z * 0.008181230869791667))) +
                         static_cast<double>(static_cast<float>(std::cos(z * 0.008181230869791667)));
        const double v = (g * (65536.0 * x)) / 65536.0;  // f is 0 for an integral line value sum
        EXPECT_NEAR(y[static_cast<std::size_t>(s + k)], v * 1.5, 1.0) << k;
    }
}

// The pitch shifter with its taps as explicit structures.
struct Tap {
    std::size_t a, b;
    const float* table;
};

std::vector<std::int32_t> pitchModel(const FloatModelPreset& p, const std::vector<std::int16_t>& x) {
    const double R = p.S;
    const std::int32_t step = static_cast<std::int32_t>(R * 65535);
    const bool up = R > 0;
    const int P = static_cast<int>(static_cast<double>(p.D1) * 16), Q = static_cast<int>(static_cast<double>(p.D2) * 16);
    const std::size_t N = static_cast<std::size_t>(2 * (P + Q));
    const int hi = 2 * P + Q - 2, lo = P + Q - 2;
    const int K0 = P - static_cast<int>(R * 192) - 2;
    float SIN[192], COS[192];
    for (int j = 0; j < 192; ++j) {
        SIN[j] = static_cast<float>(std::sin(j * M_PI / 384));
        COS[j] = static_cast<float>(std::cos(j * M_PI / 384));
    }
    std::vector<float> line(N, 0.0f);
    std::uint32_t word = 0;
    int K = K0, z = 0, T = 1;
    const std::size_t start = static_cast<std::size_t>(up ? lo : hi);
    Tap t1{start, start, SIN}, t2{0, 0, COS};
    float g1 = 1, g2 = 0;
    std::size_t W = 0;
    std::vector<std::int32_t> out;
    auto read = [&](const Tap& t, double f) { return (65536.0 - f) * line[t.a] + f * line[t.b]; };
    auto adv = [&](Tap& t) { t.a = t.b; t.b = (t.b + 1) % N; };
    for (std::int16_t xn : x) {
        const double f = word & 0xFFFFu;
        const double v = (g1 * read(t1, f) + g2 * read(t2, f)) / 65536.0;
        line[W] = static_cast<float>(v * p.FB + xn);
        out.push_back(static_cast<std::int32_t>(v * p.G));
        if (z > 0) {
            --z;
            g1 = t1.table[z];
            g2 = t2.table[z];
        }
        W = (W + 1) % N;
        word += static_cast<std::uint32_t>(step);
        bool carry = (word >> 16) != 0;
        if (up) {
            adv(t1), adv(t2);
            if (carry) adv(t1), adv(t2);
        } else if (!carry) {
            adv(t1), adv(t2);
        }
        if (carry) {
            word &= 0xFFFFu;
            if (K > 0) {
                --K;
            } else {
                z = 192;
                K = K0;
                const std::size_t J = static_cast<std::size_t>(up ? lo : hi);
                Tap& jumper = T == 1 ? t2 : t1;
                T = 1 - T;
                t1.table = T == 0 ? SIN : COS;
                t2.table = T == 0 ? COS : SIN;
                jumper.b = (J + W) % N;
            }
        }
    }
    return out;
}

TEST(PitchShifter, AllPresetsMatchTapModel) {
    const FloatModelPreset presets[6] = {
        {1.2f, 0, -0.35f, 25, 0},       {1.7f, 0, 0.2599f, 35, 0},  {1.5f, 0, 1.0f, 40, 0},
        {1.0f, 0.4f, 0.3348f, 35, 0},   {1.1f, 0.5f, -0.2f, 35, 120}, {1.0f, 0.4f, 0.2599f, 35, 120},
    };
    const auto x = syllables(24000);
    for (int k = 0; k < 6; ++k) {
        const auto expected = pitchModel(presets[k], x);
        VoiceEffect fx;
        fx.initialize(11 + k);
        for (std::size_t n = 0; n < x.size(); ++n) {
            ASSERT_EQ(fx.pitchSample(x[n]), expected[n]) << "effect " << 11 + k << " sample " << n;
        }
    }
}

TEST(VoiceEffectState, InitializeClearsHistoryAndBlocksAreSeamless) {
    const auto x = syllables(16000);
    for (int effect = 1; effect <= 16; ++effect) {
        // One long call equals 4000-sample blocks.
        VoiceEffect whole;
        whole.initialize(effect);
        auto a = x;
        whole.apply(a.data(), a.size(), 100);
        EXPECT_EQ(a, applyBlocks(effect, 100, x)) << "effect " << effect;
        // Re-initializing after use gives the same result as a fresh object.
        auto b = x;
        whole.initialize(effect);
        whole.apply(b.data(), b.size(), 100);
        EXPECT_EQ(a, b) << "effect " << effect;
        EXPECT_NE(a, x) << "effect " << effect;
    }
}

TEST(VoiceEffectState, ProcessWideCInterface) {
    auto a = syllables(4000);
    auto b = a;
    InitializeVoiceEffect(8);
    ApplyVoiceEffect(a.data(), static_cast<int>(a.size()), 60);
    VoiceEffect fx;
    fx.initialize(8);
    fx.apply(b.data(), b.size(), 60);
    EXPECT_EQ(a, b);
}

}  // namespace
