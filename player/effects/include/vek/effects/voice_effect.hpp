// The sixteen voice effects applied to decoded 8000 Hz speech: a fixed-point
// reverberator (effects 1-4), a modulated delay line (5-10) and a two-tap
// pitch shifter with cross-fading (11-16), all mixed with the dry signal by
// one rule.
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>

namespace vek {

inline constexpr std::size_t kEffectBlockSamples = 4000;  // half a second at 8000 Hz
inline constexpr int kEffectCount = 17;                   // 0 = off, 1..16
inline constexpr int kDefaultEffectLevelByte = 80;

enum class EffectFamily { None, Reverb, ModulatedDelay, PitchShifter };

// Family of an effect number; numbers outside 0..16 count as 0 (off).
EffectFamily effectFamily(int effectNumber);
// The label the recorder shows ("OFF", "Reverb Room", ...); "OFF" when out of range.
const char* effectLabel(int effectNumber);
// Wet weight L from the stored level byte b: 127 - b, the byte limited to 0..127.
int wetLevelFromByte(int levelByte);

// One voice effect with all of its history. Fixed-size lines, no allocation.
class VoiceEffect {
public:
    VoiceEffect();

    // Selects the family and preset of `effectNumber` and clears all history.
    // Out-of-range numbers select "off".
    void initialize(int effectNumber);
    int effectNumber() const { return m_effect; }

    // Replaces each sample x by the mix of x and the family's output; `wet` is
    // L = 127 - level byte (limited to 0..127). Nothing happens for effect 0.
    // The player calls it on blocks of kEffectBlockSamples; any length works.
    void apply(std::int16_t* samples, std::size_t count, int wet);

    // The family's raw output for one input sample (before the mix). For the
    // reverberator the input is already the quartered sample. Exposed so the
    // impulse responses can be examined; advances the state like apply().
    std::int32_t reverbSample(std::int32_t u);
    std::int32_t delaySample(std::int32_t x);
    std::int32_t pitchSample(std::int32_t x);

private:
    void initReverb(int preset);
    void initDelay(int preset);
    void initPitch(int preset);

    int m_effect = 0;
    EffectFamily m_family = EffectFamily::None;

    // Reverberator.
    struct ReverbPreset {
        std::int32_t d[7];
        std::int32_t A, B, C, E;
        std::int32_t M[6];
        std::int32_t F, q;
    };
    ReverbPreset m_rv{};
    std::int32_t m_tap[4096];
    std::int32_t m_tapIndex = 0;
    std::int32_t m_comb[6][2048];
    std::int32_t m_combIndex[6] = {};
    std::int32_t m_low[6] = {};
    std::int32_t m_gain[6] = {};
    std::int32_t m_final[64];
    std::int32_t m_finalIndex = 0;

    // Modulated delay and pitch shifter (one shared set; one effect is active).
    float m_G = 0, m_FB = 0;
    float m_line[8000];
    std::int32_t m_N = 0;
    std::int32_t m_W = 0;
    std::uint32_t m_pos = 0;  // 16.16: upper half D, lower half f
    std::int32_t m_step = 0;
    std::int32_t m_hi = 0, m_lo = 0;
    std::int32_t m_a1 = 0, m_b1 = 0, m_a2 = 0, m_b2 = 0;
    bool m_up = false;
    float m_g1 = 1, m_g2 = 0;
    const float* m_table1 = nullptr;
    const float* m_table2 = nullptr;
    std::int32_t m_fade = 0;  // z
    std::int32_t m_reload = 0, m_countdown = 0;  // K0, K
    int m_toggle = 1;  // T
    float m_cos[192];
    float m_sin[192];
};

}  // namespace vek

extern "C" {
// The player's process-wide effect, in the shape the player dialog calls it.
void InitializeVoiceEffect(int effectNumber);
// Applies the process-wide effect to `count` samples with wet weight `wet`.
void ApplyVoiceEffect(std::int16_t* samples, int count, int wet);
}
