// Resampler arithmetic: rounding, the fade at the end of the data, positions
// beyond the data, and no drift from block to block.
// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "vek/jobs/resampler.hpp"

namespace vek::jobs {
namespace {

std::vector<std::int16_t> run(const std::vector<std::int16_t>& src, double ratio, std::size_t n, bool* more = nullptr) {
    Resampler r(src.data(), src.size(), ratio);
    std::vector<std::int16_t> out(n, 12345);
    const bool m = r.fill(out.data(), n);
    if (more) *more = m;
    return out;
}

TEST(RoundHalfEven, TiesGoToTheEvenNeighbour) {
    EXPECT_EQ(roundHalfEven16(0.5), 0);
    EXPECT_EQ(roundHalfEven16(1.5), 2);
    EXPECT_EQ(roundHalfEven16(2.5), 2);
    EXPECT_EQ(roundHalfEven16(-0.5), 0);
    EXPECT_EQ(roundHalfEven16(-1.5), -2);
    EXPECT_EQ(roundHalfEven16(-2.5), -2);
    EXPECT_EQ(roundHalfEven16(2.4999), 2);
    EXPECT_EQ(roundHalfEven16(-2.5001), -3);
    EXPECT_EQ(roundHalfEven16(32767.0), 32767);
    EXPECT_EQ(roundHalfEven16(-32768.0), -32768);
}

TEST(Resampler, InterpolatesHalfwayWithTiesToEven) {
    // Ratio 0.5: every odd output lies halfway between two source samples.
    const auto out = run({0, 5, 10, 7, -5, -10, 0, 0}, 0.5, 8);
    EXPECT_EQ(out, (std::vector<std::int16_t>{0, 2, 5, 8, 10, 8, 7, 1}));
    // 0 -> 5 gives 2.5 -> 2; 5 -> 10 gives 7.5 -> 8; 10 -> 7 gives 8.5 -> 8;
    // 7 -> -5 gives 1 exactly.
}

TEST(Resampler, NegativeHalvesRoundToEven) {
    const auto out = run({0, -5, -7, 0}, 0.5, 4);
    EXPECT_EQ(out, (std::vector<std::int16_t>{0, -2, -5, -6}));
}

TEST(Resampler, LastSampleFadesTowardZeroThenZeros) {
    bool more = true;
    // Ratio 0.75 over {100, 200}: t = 0, 0.75, 1.5 -> the third output is
    // 200 faded halfway to zero, then zeros.
    const auto out = run({100, 200}, 0.75, 6, &more);
    EXPECT_FALSE(more);
    EXPECT_EQ(out, (std::vector<std::int16_t>{100, 175, 100, 0, 0, 0}));
}

TEST(Resampler, PositionBeyondTheDataGivesZeroAndReadsNothingBeyond) {
    // Ratio 2.5 over four samples, one output per block: the third block
    // starts at t = 5, beyond the last sample. The source vector is exactly
    // four long, so the sanitizers would catch a read beyond it.
    std::vector<std::int16_t> src{1000, 2000, 3000, 4000};
    Resampler r(src.data(), src.size(), 2.5);
    std::int16_t out = 0;
    ASSERT_TRUE(r.fill(&out, 1));
    EXPECT_EQ(out, 1000);
    EXPECT_EQ(r.positionBytes(), 2u);
    ASSERT_TRUE(r.fill(&out, 1));
    EXPECT_EQ(out, 3500);  // t = 2.5 between 3000 and 4000
    EXPECT_EQ(r.positionBytes(), 6u);
    EXPECT_FALSE(r.fill(&out, 1));
    EXPECT_EQ(out, 0);
}

TEST(Resampler, PositionFollowsTheLastSampleUsed) {
    std::vector<std::int16_t> src(100, 7);
    Resampler r(src.data(), src.size(), 5.5125);
    std::vector<std::int16_t> out(4);
    ASSERT_TRUE(r.fill(out.data(), 4));
    // Last t = 3 * 5.5125 = 16.5375 -> j = 16 -> position (16 + 1) * 2.
    EXPECT_EQ(r.positionBytes(), 34u);
    EXPECT_EQ(r.outputIndex(), 4u);
}

TEST(Resampler, BlocksDoNotDriftAgainstOneLongRun) {
    // 44.1 kHz -> 8 kHz over 10 s of a varied signal: block-wise output must
    // equal both one long run and the direct formula at t = k * r.
    std::vector<std::int16_t> src(441000);
    for (std::size_t i = 0; i < src.size(); ++i)
        src[i] = static_cast<std::int16_t>(std::lround(12000.0 * std::sin(i * 0.0123) + 7000.0 * std::sin(i * 0.71)));
    const double ratio = 44100.0 / 8000.0;
    Resampler blocks(src.data(), src.size(), ratio);
    std::vector<std::int16_t> joined;
    std::vector<std::int16_t> b(3944);
    while (blocks.fill(b.data(), b.size())) joined.insert(joined.end(), b.begin(), b.end());
    joined.insert(joined.end(), b.begin(), b.end());
    const auto once = run(src, ratio, joined.size());
    ASSERT_EQ(joined, once);
    for (std::size_t k : {0ul, 1ul, 3943ul, 3944ul, 50000ul, 79999ul}) {
        const double t = static_cast<double>(k) * ratio;
        const auto j = static_cast<std::size_t>(t);
        const double expect = src[j] + (src[j + 1] - src[j]) * (t - static_cast<double>(j));
        EXPECT_EQ(joined[k], roundHalfEven16(expect)) << k;
    }
}

}  // namespace
}  // namespace vek::jobs
