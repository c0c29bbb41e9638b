// A deterministic speech-like test signal at 8000 Hz: voiced stretches (a
// glottal pulse train with gliding pitch through three formant resonators),
// unvoiced stretches (shaped noise) and pauses, with syllable envelopes.
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef VEK_SP_TESTS_SPEECHLIKE_HPP
#define VEK_SP_TESTS_SPEECHLIKE_HPP

#include <cmath>
#include <cstdint>
#include <vector>

namespace vek::sptest {

class Resonator {
public:
    void set(double freq, double bandwidth) {
        const double r = std::exp(-M_PI * bandwidth / 8000.0);
        a1_ = 2 * r * std::cos(2 * M_PI * freq / 8000.0);
        a2_ = -r * r;
        g_ = 1 - r;
    }
    double step(double x) {
        const double y = g_ * x + a1_ * y1_ + a2_ * y2_;
        y2_ = y1_;
        y1_ = y;
        return y;
    }

private:
    double a1_ = 0, a2_ = 0, g_ = 0, y1_ = 0, y2_ = 0;
};

inline std::vector<int16_t> speechLike(std::size_t samples, uint32_t seed = 1) {
    std::vector<int16_t> out(samples);
    uint32_t rng = seed * 2654435761u + 12345u;
    auto noise = [&rng] {
        rng = rng * 1664525u + 1013904223u;
        return static_cast<double>(static_cast<int32_t>(rng)) / 2147483648.0;
    };
    Resonator f1, f2, f3;
    const double formants[5][3] = {{730, 1090, 2440}, {270, 2290, 3010}, {530, 1840, 2480},
                                   {570, 840, 2410}, {440, 1020, 2240}};
    double phase = 0;
    const std::size_t syllable = 2400;  // 0.3 s
    for (std::size_t i = 0; i < samples; ++i) {
        const std::size_t s = i / syllable;
        const double t = static_cast<double>(i % syllable) / syllable;
        const int kind = static_cast<int>((s * 7 + seed) % 6);  // 0..3 voiced, 4 unvoiced, 5 pause
        const double* f = formants[(s * 3 + seed) % 5];
        const double* g = formants[(s * 3 + seed + 1) % 5];
        f1.set(f[0] + (g[0] - f[0]) * t, 90);
        f2.set(f[1] + (g[1] - f[1]) * t, 110);
        f3.set(f[2] + (g[2] - f[2]) * t, 170);
        const double env = std::sin(M_PI * t);
        double x = 0;
        if (kind <= 3) {
            const double pitch = 110 + 60 * std::sin(2 * M_PI * (0.7 * static_cast<double>(i) / 8000.0 + s));
            phase += pitch / 8000.0;
            if (phase >= 1) {
                phase -= 1;
                x = 1.0;
            }
            x = x * 9000 + noise() * 150;
        } else if (kind == 4) {
            x = noise() * 2500;
        }
        const double y = kind == 4 ? f3.step(x) * 3 + x * 0.3 : f1.step(x) + 0.6 * f2.step(x) + 0.3 * f3.step(x);
        double v = y * env * 6.0;
        if (v > 32767) v = 32767;
        if (v < -32768) v = -32768;
        out[i] = static_cast<int16_t>(v);
    }
    return out;
}

// Segmental SNR (dB) of test against ref over 20 ms segments whose reference
// RMS is at least 100, each clamped to -10..80 dB.
inline double segmentalSnr(const std::vector<int16_t>& ref, const std::vector<int16_t>& test, std::size_t delay = 0) {
    double sum = 0;
    int count = 0;
    for (std::size_t s = 0; s + 160 + delay <= test.size() && s + 160 <= ref.size(); s += 160) {
        double es = 0, ee = 0;
        for (std::size_t i = s; i < s + 160; ++i) {
            const double r = ref[i], d = r - test[i + delay];
            es += r * r;
            ee += d * d;
        }
        if (es / 160 < 100.0 * 100.0) continue;
        double snr = ee == 0 ? 80 : 10 * std::log10(es / ee);
        sum += std::fmax(-10.0, std::fmin(80.0, snr));
        ++count;
    }
    return count ? sum / count : -100.0;
}

inline double correlation(const std::vector<int16_t>& ref, const std::vector<int16_t>& test, std::size_t delay = 0) {
    double sr = 0, st = 0, srr = 0, stt = 0, srt = 0;
    std::size_t n = 0;
    for (std::size_t i = 0; i < ref.size() && i + delay < test.size(); ++i, ++n) {
        const double r = ref[i], t = test[i + delay];
        sr += r, st += t, srr += r * r, stt += t * t, srt += r * t;
    }
    const double cov = srt - sr * st / n, vr = srr - sr * sr / n, vt = stt - st * st / n;
    return (vr > 0 && vt > 0) ? cov / std::sqrt(vr * vt) : 0.0;
}

}  // namespace vek::sptest

#endif
