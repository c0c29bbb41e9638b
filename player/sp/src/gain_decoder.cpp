// Gain decoding: conjugate-structure gain codebook with the MA-predicted
// fixed-codebook energy.
// SPDX-License-Identifier: GPL-3.0-or-later
#include <cmath>

#include "blocks.hpp"
#include "tables.hpp"
#include "vek/checked.hpp"

namespace vek::sp {

namespace {
constexpr float kMeanEnergy = 36.0f;  // dB
}

void gainDecoderReset(float pastEnergy[4]) {
    for (int i = 0; i < 4; ++i) pastEnergy[i] = -14.0f;
}

void decodeGains(unsigned index, const float code[kSubframeSamples], float pastEnergy[4], float& pitchGain,
                 float& codeGain) {
    // 3 bits (GA) for the first codebook, 4 bits (GB) for the second; each
    // transmitted code is mapped to its codebook row first.
    const int row1 = at(kGainIndexMap1, (index >> 4) & 7u);
    const int row2 = at(kGainIndexMap2, index & 15u);
    pitchGain = at(kGainCodebook1, row1)[0] + at(kGainCodebook2, row2)[0];

    // Predicted gain: mean energy minus the innovation's own energy plus the
    // MA prediction from the past quantised energies, all in dB.
    float energy = 0.01f;
    for (int i = 0; i < kSubframeSamples; ++i) energy += code[i] * code[i];
    energy = 10.0f * static_cast<float>(std::log10(static_cast<double>(energy / kSubframeSamples)));
    float predicted = kMeanEnergy - energy;
    for (int i = 0; i < 4; ++i) predicted += kGainPredictor[i] * pastEnergy[i];
    const float gcode0 = static_cast<float>(std::pow(10.0, static_cast<double>(predicted) / 20.0));

    const float factor = kGainCodebook1[row1][1] + kGainCodebook2[row2][1];
    codeGain = factor * gcode0;

    for (int i = 3; i > 0; --i) pastEnergy[i] = pastEnergy[i - 1];
    pastEnergy[0] = 20.0f * static_cast<float>(std::log10(static_cast<double>(factor)));
}

}  // namespace vek::sp
