// Linear-interpolation resampler of the WAV-to-SC4 conversion way.
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>

namespace vek::jobs {

// Source: N 16-bit samples; ratio = source rate / codec rate. Each call fills
// one block of output samples. The source position is computed from the
// running output index every time (t = k * ratio), so rounding never drifts
// from block to block.
class Resampler {
public:
    Resampler(const std::int16_t* source, std::size_t count, double ratio)
        : m_src(source), m_count(count), m_ratio(ratio) {}

    // Fills out[0..n). Returns false when the data ran out in this block: the
    // last interpolated sample fades toward zero and the rest are zeros.
    // Otherwise the read position moves to the sample after the last one used.
    bool fill(std::int16_t* out, std::size_t n);

    // Byte offset into the source after the last completed block.
    std::uint64_t positionBytes() const { return m_positionBytes; }
    std::uint64_t outputIndex() const { return m_k0; }

private:
    const std::int16_t* m_src;
    std::size_t m_count;
    double m_ratio;
    std::uint64_t m_k0 = 0;
    std::uint64_t m_positionBytes = 0;
};

// Round to nearest, ties to even, as the job stores interpolated samples.
std::int16_t roundHalfEven16(double v);

}  // namespace vek::jobs
