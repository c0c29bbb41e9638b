// SPDX-License-Identifier: GPL-3.0-or-later
#include "vek/jobs/resampler.hpp"

#include <cmath>

namespace vek::jobs {

std::int16_t roundHalfEven16(double v) {
    // nearbyint rounds in the current mode, which is to-nearest-even unless
    // someone changed it; do not depend on that.
    double r = std::floor(v);
    const double diff = v - r;
    if (diff > 0.5 || (diff == 0.5 && std::fmod(r, 2.0) != 0.0)) r += 1.0;
    if (r > 32767.0) r = 32767.0;
    if (r < -32768.0) r = -32768.0;
    return static_cast<std::int16_t>(r);
}

bool Resampler::fill(std::int16_t* out, std::size_t n) {
    std::uint64_t lastJ = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const double t = static_cast<double>(m_k0 + i) * m_ratio;
        const auto j = static_cast<std::uint64_t>(t);  // t >= 0: truncation toward zero
        const double f = t - static_cast<double>(j);
        if (j + 1 < m_count) {
            const double a = m_src[j];
            const double b = m_src[j + 1];
            out[i] = roundHalfEven16(a + (b - a) * f);
            lastJ = j;
            continue;
        }
        // Out of data: fade the last sample toward zero. Beyond the last
        // sample nothing is read and 0 stands in for it.
        const double a = j < m_count ? m_src[j] : 0.0;
        out[i] = roundHalfEven16(a + (0.0 - a) * f);
        for (std::size_t k = i + 1; k < n; ++k) out[k] = 0;
        return false;
    }
    m_positionBytes = (lastJ + 1) * 2;
    m_k0 += n;
    return true;
}

}  // namespace vek::jobs
