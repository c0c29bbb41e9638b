// Voice effects. The reverberator is exact 32-bit integer arithmetic with
// arithmetic right shifts. The two float families keep presets, tables and
// the delay line in single precision, evaluate every expression in double
// with the floats widened, and round to float only when storing into the
// line; their outputs are truncated toward zero.
// SPDX-License-Identifier: GPL-3.0-or-later
#include "vek/effects/voice_effect.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>

#include "vek/checked.hpp"

namespace vek {
namespace {

struct ReverbTable {
    std::int32_t d[7];
    std::int32_t A, B, C, E;
    std::int32_t M[6];
    std::int32_t F, q;
};

constexpr ReverbTable kReverb[4] = {
    {{239, 71, 103, 127, 113, 157, 173}, 6656, -24832, 9984, 66, {1117, 1193, 1283, 1327, 1409, 1499}, 63, 3072},
    {{263, 73, 113, 149, 127, 179, 193}, 7168, -26624, 9472, 68, {1231, 1319, 1447, 1499, 1571, 1693}, 63, 4096},
    {{293, 89, 131, 157, 139, 197, 211}, 7680, -29696, 8960, 88, {1381, 1471, 1559, 1653, 1733, 1823}, 63, 10240},
    {{331, 97, 147, 179, 163, 223, 239}, 8192, -31488, 8192, 102, {1511, 1657, 1741, 1847, 1931, 2029}, 63, 12288},
};

// Weights of the eight early-reflection taps, oldest first.
constexpr std::int32_t kEarly[8] = {5632, 5120, 4864, 4352, 4608, 4096, 1536, 1664};

struct FloatPreset {
    float G, FB, S, D1, D2;  // for the pitch shifter S is the pitch rate R
};

constexpr FloatPreset kDelay[6] = {
    {1.3f, 0.7f, 0.0f, 0.0f, 250.0f},  {1.8f, 0.0f, 2.0f, 6.0f, 0.0f},
    {-1.8f, -0.7f, 2.0f, 6.0f, 0.0f},  {2.0f, 0.0f, 11.0f, 20.0f, 20.0f},
    {0.8f, 0.75f, 0.0f, 0.0f, 12.5f},  {1.85f, 0.3f, 150.0f, 40.0f, 40.0f},
};

constexpr FloatPreset kPitch[6] = {
    {1.2f, 0.0f, -0.35f, 25.0f, 0.0f},  {1.7f, 0.0f, 0.2599f, 35.0f, 0.0f},
    {1.5f, 0.0f, 1.0f, 40.0f, 0.0f},    {1.0f, 0.4f, 0.3348f, 35.0f, 0.0f},
    {1.1f, 0.5f, -0.2f, 35.0f, 120.0f}, {1.0f, 0.4f, 0.2599f, 35.0f, 120.0f},
};

constexpr const char* kLabels[kEffectCount] = {
    "OFF",        "Reverb Room",     "Reverb Stage",   "Reverb Hall",         "Reverb Stadium",
    "Echo",       "Flange",          "Invert Flange",  "Chorus",              "Robot Voice",
    "Pitch Bend Chorus", "Darth Vader", "Third Up",    "Octave Up",           "Helium Voice",
    "Descending Echo",   "Ascending Echo",
};

// Two's-complement wrap of a wider result into 32 bits, as a 32-bit register
// would hold it (no reliance on signed overflow).
inline std::int32_t wrap32(std::int64_t v) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(v)));
}

// Truncation toward zero of a double into the int32 range (non-finite -> 0).
inline std::int32_t truncToInt(double v) {
    if (!(v == v)) return 0;
    if (v >= 2147483647.0) return 2147483647;
    if (v <= -2147483648.0) return static_cast<std::int32_t>(-2147483647 - 1);
    return static_cast<std::int32_t>(v);
}

inline std::int16_t saturate16(std::int64_t y) {
    return static_cast<std::int16_t>(std::clamp<std::int64_t>(y, -32768, 32767));
}

}  // namespace

EffectFamily effectFamily(int n) {
    if (n >= 1 && n <= 4) return EffectFamily::Reverb;
    if (n >= 5 && n <= 10) return EffectFamily::ModulatedDelay;
    if (n >= 11 && n <= 16) return EffectFamily::PitchShifter;
    return EffectFamily::None;
}

const char* effectLabel(int n) { return (n >= 0 && n < kEffectCount) ? kLabels[n] : kLabels[0]; }

int wetLevelFromByte(int levelByte) { return 127 - std::clamp(levelByte, 0, 127); }

VoiceEffect::VoiceEffect() {
    // The cross-fade tables run over a quarter period in steps of pi/384;
    // computed in double and stored in single precision.
    for (int j = 0; j < 192; ++j) {
        m_cos[j] = static_cast<float>(std::cos(j * 0.008181230869791667));
        m_sin[j] = static_cast<float>(std::sin(j * 0.008181230869791667));
    }
    initialize(0);
}

void VoiceEffect::initialize(int effectNumber) {
    m_family = effectFamily(effectNumber);
    m_effect = m_family == EffectFamily::None ? 0 : effectNumber;
    switch (m_family) {
        case EffectFamily::Reverb: initReverb(effectNumber - 1); break;
        case EffectFamily::ModulatedDelay: initDelay(effectNumber - 5); break;
        case EffectFamily::PitchShifter: initPitch(effectNumber - 11); break;
        case EffectFamily::None:
            initReverb(0);  // any defined state; apply() leaves the samples alone
            initDelay(0);
            break;
    }
}

// ---------------------------------------------------------------- reverberator

void VoiceEffect::initReverb(int preset) {
    const ReverbTable& t = kReverb[preset];
    std::memcpy(m_rv.d, t.d, sizeof t.d);
    m_rv.A = t.A;
    m_rv.B = t.B;
    m_rv.C = t.C;
    m_rv.E = t.E;
    std::memcpy(m_rv.M, t.M, sizeof t.M);
    m_rv.F = t.F;
    m_rv.q = t.q;
    std::memset(m_tap, 0, sizeof m_tap);
    std::memset(m_comb, 0, sizeof m_comb);
    std::memset(m_final, 0, sizeof m_final);
    m_tapIndex = 0;
    m_finalIndex = 0;
    for (int k = 0; k < 6; ++k) {
        m_combIndex[k] = 0;
        m_low[k] = 0;
        // Comb gains fall by B*E/32768 per comb; every product fits 32 bits.
        m_gain[k] = (m_rv.B * (32767 - m_rv.C) - k * m_rv.B * m_rv.E) >> 15;
    }
}

std::int32_t VoiceEffect::reverbSample(std::int32_t u) {
    // Tap line: store, then step the write index down; the taps are read from
    // the new index, p0 being the oldest sample (4095 samples back).
    m_tap[m_tapIndex] = u;
    m_tapIndex = (m_tapIndex - 1) & 4095;
    std::int32_t p = m_tapIndex;
    std::int32_t acc = kEarly[0] * m_tap[p];
    for (int k = 0; k < 7; ++k) {
        p = (p + m_rv.d[k]) & 4095;
        acc += kEarly[k + 1] * m_tap[p];
    }
    const std::int32_t er = acc >> 15;

    // Six low-passed feedback combs, summed.
    std::int32_t S = 0;
    for (int k = 0; k < 6; ++k) {
        std::int32_t& ik = m_combIndex[k];
        VEK_CHECK_INDEX(ik, m_rv.M[k]);
        VEK_CHECK_INDEX(m_rv.M[k], std::size(m_comb[k]) + 1);
        const std::int32_t o = m_comb[k][ik];
        S = wrap32(static_cast<std::int64_t>(S) + o);
        const std::int32_t a = wrap32(static_cast<std::int64_t>(m_gain[k]) * o +
                                      static_cast<std::int64_t>(m_rv.C) * m_low[k]);
        m_low[k] = a >> 15;
        m_comb[k][ik] = wrap32(static_cast<std::int64_t>(m_rv.A) * er + a) >> 15;
        ik = (ik == 0) ? m_rv.M[k] - 1 : ik - 1;
    }

    // Final all-pass-like stage over F samples. (S - v) * q may pass 32 bits
    // for the larger presets at full scale: wrap it as a 32-bit register does.
    VEK_CHECK_INDEX(m_finalIndex, m_rv.F);
    VEK_CHECK_INDEX(m_rv.F, std::size(m_final) + 1);
    const std::int32_t v = m_final[m_finalIndex];
    const std::int32_t t = wrap32((static_cast<std::int64_t>(S) - v) * m_rv.q) >> 15;
    m_final[m_finalIndex] = wrap32(static_cast<std::int64_t>(t) + S);
    if (++m_finalIndex == m_rv.F) m_finalIndex = 0;
    return wrap32(static_cast<std::int64_t>(t) + v);
}

// ------------------------------------------------------------- modulated delay

void VoiceEffect::initDelay(int preset) {
    const FloatPreset& p = kDelay[preset];
    m_G = p.G;
    m_FB = p.FB;
    m_step = truncToInt(static_cast<double>(p.S) * 65.536);
    const std::int32_t P = truncToInt(static_cast<double>(p.D1) * 16);
    const std::int32_t Q = truncToInt(static_cast<double>(p.D2) * 16);
    m_N = 2 * (P + Q);
    VEK_CHECK_INDEX(m_N - 1, std::size(m_line));
    std::fill(m_line, m_line + m_N, 0.0f);
    m_hi = 2 * P + Q - 2;
    m_lo = P + Q - 2;
    m_pos = static_cast<std::uint32_t>((m_lo + m_hi) / 2) << 16;
    m_W = 0;
    m_a1 = m_b1 = 0;
}

std::int32_t VoiceEffect::delaySample(std::int32_t x) {
    // Every tap and the write index stay within the line's N samples.
    VEK_CHECK_INDEX(m_a1, m_N);
    VEK_CHECK_INDEX(m_b1, m_N);
    VEK_CHECK_INDEX(m_W, m_N);
    const double f = static_cast<double>(m_pos & 0xFFFF);
    const double v = ((65536.0 - f) * m_line[m_a1] + f * m_line[m_b1]) / 65536.0;
    m_line[m_W] = static_cast<float>(v * m_FB + x);
    const double y = v * m_G;
    m_pos += static_cast<std::uint32_t>(m_step);  // carries pass from f into D
    const std::int32_t D = static_cast<std::int32_t>(m_pos >> 16);
    m_W = (m_W + 1) % m_N;
    m_b1 = (D + m_W) % m_N;
    m_a1 = (m_b1 == 0) ? m_N - 1 : m_b1 - 1;
    if (D > m_hi || D < m_lo) m_step = -m_step;  // the sweep turns round
    return truncToInt(y);
}

// --------------------------------------------------------------- pitch shifter

void VoiceEffect::initPitch(int preset) {
    const FloatPreset& p = kPitch[preset];
    const double R = p.S;
    m_G = p.G;
    m_FB = p.FB;
    m_step = truncToInt(R * 65535);
    m_up = R > 0;
    const std::int32_t P = truncToInt(static_cast<double>(p.D1) * 16);
    const std::int32_t Q = truncToInt(static_cast<double>(p.D2) * 16);
    m_N = 2 * (P + Q);
    VEK_CHECK_INDEX(m_N - 1, std::size(m_line));
    std::fill(m_line, m_line + m_N, 0.0f);
    m_hi = 2 * P + Q - 2;
    m_lo = P + Q - 2;
    m_reload = P - truncToInt(R * 192) - 2;
    m_countdown = m_reload;
    m_pos = 0;
    m_W = 0;
    m_a1 = m_b1 = m_up ? m_lo : m_hi;
    m_a2 = m_b2 = 0;
    m_g1 = 1.0f;
    m_g2 = 0.0f;
    m_table1 = m_sin;
    m_table2 = m_cos;
    m_fade = 0;
    m_toggle = 1;
}

std::int32_t VoiceEffect::pitchSample(std::int32_t x) {
    VEK_CHECK_INDEX(m_a1, m_N);
    VEK_CHECK_INDEX(m_b1, m_N);
    VEK_CHECK_INDEX(m_a2, m_N);
    VEK_CHECK_INDEX(m_b2, m_N);
    VEK_CHECK_INDEX(m_W, m_N);
    const double f = static_cast<double>(m_pos & 0xFFFF);
    const double v = (static_cast<double>(m_g1) * ((65536.0 - f) * m_line[m_a1] + f * m_line[m_b1]) +
                      static_cast<double>(m_g2) * ((65536.0 - f) * m_line[m_a2] + f * m_line[m_b2])) /
                     65536.0;
    m_line[m_W] = static_cast<float>(v * m_FB + x);
    const double y = v * m_G;
    if (m_fade > 0) {
        --m_fade;
        VEK_CHECK_INDEX(m_fade, std::size(m_cos));
        m_g1 = m_table1[m_fade];
        m_g2 = m_table2[m_fade];
    }
    m_W = (m_W + 1) % m_N;
    m_pos += static_cast<std::uint32_t>(m_step);
    auto advance = [this] {
        m_a1 = m_b1;
        m_b1 = (m_b1 + 1) % m_N;
        m_a2 = m_b2;
        m_b2 = (m_b2 + 1) % m_N;
    };
    bool countDown = false;
    if (m_up) {
        advance();
        if ((m_pos >> 16) != 0) {
            advance();
            m_pos &= 0xFFFF;  // D = 0, f kept
            countDown = true;
        }
    } else if ((m_pos >> 16) == 0) {
        advance();
    } else {
        m_pos &= 0xFFFF;
        countDown = true;
    }
    if (countDown) {
        if (m_countdown != 0) {
            --m_countdown;
        } else {
            // The idle tap jumps to the far end of the line and fades in.
            m_fade = 192;
            m_countdown = m_reload;
            const std::int32_t J = m_up ? m_lo : m_hi;
            if (m_toggle == 1) {
                m_toggle = 0;
                m_table1 = m_sin;
                m_table2 = m_cos;
                m_b2 = (J + m_W) % m_N;
            } else {
                m_toggle = 1;
                m_table1 = m_cos;
                m_table2 = m_sin;
                m_b1 = (J + m_W) % m_N;
            }
        }
    }
    return truncToInt(y);
}

// ------------------------------------------------------------------------ mix

void VoiceEffect::apply(std::int16_t* samples, std::size_t count, int wet) {
    if (m_family == EffectFamily::None || samples == nullptr) return;
    const std::int64_t L = std::clamp(wet, 0, 127);
    const std::int64_t dry = 128 - L;
    switch (m_family) {
        case EffectFamily::Reverb:
            for (std::size_t n = 0; n < count; ++n) {
                const std::int32_t x = samples[n];
                const std::int64_t e = reverbSample(x / 4);
                samples[n] = saturate16((dry * x + 12 * L * e) / 128);
            }
            break;
        case EffectFamily::ModulatedDelay:
            for (std::size_t n = 0; n < count; ++n) {
                const std::int32_t x = samples[n];
                const std::int64_t e = delaySample(x);
                samples[n] = saturate16((dry * x + L * e) / 128);
            }
            break;
        case EffectFamily::PitchShifter:
            for (std::size_t n = 0; n < count; ++n) {
                const std::int32_t x = samples[n];
                const std::int64_t e = pitchSample(x);
                samples[n] = saturate16((dry * x + L * e) / 128);
            }
            break;
        case EffectFamily::None: break;
    }
}

}  // namespace vek

namespace {
vek::VoiceEffect& processEffect() {
    static vek::VoiceEffect effect;
    return effect;
}
}  // namespace

extern "C" void InitializeVoiceEffect(int effectNumber) { processEffect().initialize(effectNumber); }

extern "C" void ApplyVoiceEffect(std::int16_t* samples, int count, int wet) {
    if (count > 0) processEffect().apply(samples, static_cast<std::size_t>(count), wet);
}
