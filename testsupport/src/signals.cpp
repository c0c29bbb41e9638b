// SPDX-License-Identifier: GPL-3.0-or-later
#include "vek/testsupport/signals.hpp"

#include <algorithm>
#include <cmath>
#include <random>

namespace vek::testsupport {

namespace {

// Two-pole resonator at 8000 Hz with unity gain near its centre.
class Resonator {
public:
    void set(double freq, double bandwidth) {
        const double r = std::exp(-M_PI * bandwidth / 8000.0);
        m_a1 = 2 * r * std::cos(2 * M_PI * freq / 8000.0);
        m_a2 = -r * r;
        m_g = 1 - r;
    }
    double step(double x) {
        const double y = m_g * x + m_a1 * m_y1 + m_a2 * m_y2;
        m_y2 = m_y1;
        m_y1 = y;
        return y;
    }

private:
    double m_a1 = 0, m_a2 = 0, m_g = 0, m_y1 = 0, m_y2 = 0;
};

}  // namespace

Samples speechLike(std::size_t samples, std::uint32_t seed) {
    Samples out(samples);
    std::uint32_t rng = seed * 2654435761u + 12345u;
    auto noise = [&rng] {
        rng = rng * 1664525u + 1013904223u;
        return static_cast<double>(static_cast<std::int32_t>(rng)) / 2147483648.0;
    };
    Resonator f1, f2, f3;
    const double formants[5][3] = {
        {730, 1090, 2440}, {270, 2290, 3010}, {530, 1840, 2480}, {570, 840, 2410}, {440, 1020, 2240}};
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
        out[i] = static_cast<std::int16_t>(std::clamp(y * env * 6.0, -32768.0, 32767.0));
    }
    return out;
}

Samples speechWithClicks(std::size_t n, std::uint32_t seed) {
    std::mt19937 rng(seed);
    std::normal_distribution<double> noise(0.0, 1.0);
    Samples out(n);
    double phase = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        const double t = static_cast<double>(i) / 8000.0;
        const int segment = static_cast<int>(t * 5.0) % 4;
        const double f0 = 110.0 + 40.0 * std::sin(2.0 * M_PI * 0.7 * t);
        phase += 2.0 * M_PI * f0 / 8000.0;
        double v = 0.0;
        if (segment == 0 || segment == 2) {
            for (int h = 1; h <= 12; ++h) v += std::sin(h * phase) * 6000.0 / h;
        } else if (segment == 1) {
            v = noise(rng) * 2500.0;
        } else {
            v = noise(rng) * 20.0;
        }
        if (i % 7919 == 0) v = (i / 7919) % 2 ? 32767.0 : -32768.0;
        out[i] = static_cast<std::int16_t>(std::clamp(v, -32768.0, 32767.0));
    }
    return out;
}

Samples syllables(std::size_t n, double peak) {
    Samples s(n);
    std::uint32_t rng = 12345;
    double phase = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const double t = static_cast<double>(i) / 8000.0;
        const double f0 = 110.0 + 40.0 * std::sin(2 * M_PI * 0.7 * t);
        phase += 2 * M_PI * f0 / 8000.0;
        const double env = 0.5 + 0.5 * std::sin(2 * M_PI * 4.0 * t);
        rng = rng * 1664525u + 1013904223u;
        const double noise = (static_cast<double>(rng >> 8) / 16777216.0 - 0.5) * 0.2;
        const double v = env * (0.6 * std::sin(phase) + 0.3 * std::sin(5.3 * phase) + noise);
        s[i] = static_cast<std::int16_t>(std::clamp(v * peak, -32768.0, 32767.0));
    }
    return s;
}

Samples glidingVoice(std::size_t n, unsigned rate) {
    Samples s(n);
    double ph = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const double t = static_cast<double>(i) / rate;
        ph += 2 * M_PI * (140 + 60 * std::sin(2 * M_PI * 0.8 * t)) / rate;
        const double env = 0.55 + 0.45 * std::sin(2 * M_PI * 3.0 * t);
        s[i] = static_cast<std::int16_t>(9000 * env * (0.7 * std::sin(ph) + 0.3 * std::sin(3.7 * ph)));
    }
    return s;
}

Samples warbleTone(std::size_t n, double rate) {
    Samples s(n);
    for (std::size_t i = 0; i < n; ++i) {
        const double t = static_cast<double>(i) / rate;
        s[i] = static_cast<std::int16_t>(std::lround(9000 * std::sin(2 * M_PI * 220 * t) * std::sin(2 * M_PI * 3 * t) +
                                                     3000 * std::sin(2 * M_PI * 1250 * t)));
    }
    return s;
}

Samples twoTones(std::size_t n) {
    Samples s(n);
    for (std::size_t i = 0; i < n; ++i) {
        const double x = static_cast<double>(i);
        s[i] = static_cast<std::int16_t>(7000 * std::sin(x * 0.06) + 2000 * std::sin(x * 0.31));
    }
    return s;
}

std::vector<std::uint8_t> le16(const Samples& samples) {
    std::vector<std::uint8_t> b(samples.size() * 2);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const auto u = static_cast<std::uint16_t>(samples[i]);
        b[2 * i] = static_cast<std::uint8_t>(u & 0xFF);
        b[2 * i + 1] = static_cast<std::uint8_t>(u >> 8);
    }
    return b;
}

Samples samples16(const std::vector<std::uint8_t>& b) {
    Samples s(b.size() / 2);
    for (std::size_t i = 0; i < s.size(); ++i) s[i] = static_cast<std::int16_t>(b[2 * i] | b[2 * i + 1] << 8);
    return s;
}

double segmentalSnr(const Samples& ref, const Samples& test, std::size_t delay) {
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
        const double snr = ee == 0 ? 80 : 10 * std::log10(es / ee);
        sum += std::fmax(-10.0, std::fmin(80.0, snr));
        ++count;
    }
    return count ? sum / count : -100.0;
}

double correlation(const Samples& ref, const Samples& test, std::size_t delay) {
    double sr = 0, st = 0, srr = 0, stt = 0, srt = 0;
    std::size_t n = 0;
    for (std::size_t i = 0; i < ref.size() && i + delay < test.size(); ++i, ++n) {
        const double r = ref[i], t = test[i + delay];
        sr += r, st += t, srr += r * r, stt += t * t, srt += r * t;
    }
    if (n == 0) return 0.0;
    const double cov = srt - sr * st / n, vr = srr - sr * sr / n, vt = stt - st * st / n;
    return (vr > 0 && vt > 0) ? cov / std::sqrt(vr * vt) : 0.0;
}

}  // namespace vek::testsupport
