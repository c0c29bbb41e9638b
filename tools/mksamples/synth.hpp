// The demonstration voice: a small formant synthesiser (a glottal pulse
// train whose pitch glides, three resonators moving between vowel targets,
// fricative noise and pauses). Deterministic: the same samples every time.
// Shared by vek_mksamples and the fuzz seed generator.
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace vek::samples {

struct Resonator {
    double a1 = 0, a2 = 0, gain = 0, y1 = 0, y2 = 0;
    void tune(double freq, double bandwidth, double rate) {
        const double r = std::exp(-M_PI * bandwidth / rate);
        a1 = 2.0 * r * std::cos(2.0 * M_PI * freq / rate);
        a2 = -r * r;
        gain = 1.0 - r;
    }
    double step(double x) {
        const double y = gain * x + a1 * y1 + a2 * y2;
        y2 = y1;
        y1 = y;
        return y;
    }
};

inline std::vector<std::int16_t> synthesise(double rate, double seconds) {
    static const double vowels[5][3] = {
        {730, 1090, 2440}, {270, 2290, 3010}, {530, 1840, 2480}, {570, 840, 2410}, {300, 870, 2240}};
    const std::size_t n = static_cast<std::size_t>(rate * seconds);
    std::vector<std::int16_t> out(n);
    Resonator f[3];
    std::uint32_t noise = 12345;
    double phase = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        const double t = static_cast<double>(i) / rate;
        const double syll = t * 3.2;  // about three syllables a second
        const int v = static_cast<int>(syll) % 5, w = (v + 1) % 5;
        const double frac = syll - std::floor(syll);
        const double mix = frac < 0.7 ? 0.0 : (frac - 0.7) / 0.3;
        for (int k = 0; k < 3; ++k)
            f[k].tune(vowels[v][k] * (1 - mix) + vowels[w][k] * mix, 80.0 + 40.0 * k, rate);
        const double f0 = 120.0 + 25.0 * std::sin(2.0 * M_PI * 0.4 * t) + 10.0 * std::sin(2.0 * M_PI * 3.1 * t);
        phase += f0 / rate;
        double excitation = 0.0;
        if (phase >= 1.0) {
            phase -= 1.0;
            excitation = 1.0;
        }
        noise = noise * 1664525u + 1013904223u;
        const double hiss = (static_cast<double>(noise >> 8) / 8388608.0 - 1.0);
        const bool pause = std::fmod(t, 2.5) > 2.2;          // breath between phrases
        const bool fricative = frac > 0.85 && v % 2 == 0;    // an "s" at some syllable ends
        double s = 0.0;
        if (!pause) {
            const double voiced = f[0].step(excitation * 60.0) + 0.6 * f[1].step(excitation * 60.0) +
                                  0.3 * f[2].step(excitation * 60.0);
            s = fricative ? hiss * 0.08 : voiced * std::sin(M_PI / 2 * std::min(1.0, frac / 0.15));
        }
        out[i] = static_cast<std::int16_t>(std::lround(std::clamp(s * 2500.0, -32768.0, 32767.0)));
    }
    return out;
}

}  // namespace vek::samples
