// The shared test signals: deterministic, of the character their names
// promise, and measured right by the SNR and correlation helpers.
// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "vek/testsupport/signals.hpp"

namespace {

using namespace vek::testsupport;

double rms(const Samples& s, std::size_t from, std::size_t n) {
    double e = 0;
    for (std::size_t i = from; i < from + n; ++i) e += double(s[i]) * s[i];
    return std::sqrt(e / double(n));
}

TEST(TestSignals, SameSeedSameSamplesOtherSeedOtherSamples) {
    EXPECT_EQ(speechLike(8000, 3), speechLike(8000, 3));
    EXPECT_NE(speechLike(8000, 3), speechLike(8000, 4));
    EXPECT_EQ(speechWithClicks(8000, 9), speechWithClicks(8000, 9));
    EXPECT_NE(speechWithClicks(8000, 9), speechWithClicks(8000, 10));
    EXPECT_EQ(syllables(100, 12000.0), syllables(100, 12000.0));
    // A longer signal starts with the shorter one.
    const auto longer = glidingVoice(4000, 11025), shorter = glidingVoice(1000, 11025);
    EXPECT_TRUE(std::equal(shorter.begin(), shorter.end(), longer.begin()));
}

TEST(TestSignals, SpeechLikeHasLoudSyllablesAndPauses) {
    const auto s = speechLike(2400 * 12, 1);
    int loud = 0, silent = 0;
    for (std::size_t k = 0; k < 12; ++k) {
        const double r = rms(s, k * 2400, 2400);
        if (r > 300) ++loud;
        if (r < 1) ++silent;
    }
    EXPECT_GE(loud, 6);
    EXPECT_GE(silent, 1);
}

TEST(TestSignals, ClicksReachFullScaleBothWays) {
    const auto s = speechWithClicks(7919 * 3, 1);
    EXPECT_EQ(s[0], -32768);
    EXPECT_EQ(s[7919], 32767);
    EXPECT_EQ(s[2 * 7919], -32768);
}

TEST(TestSignals, SyllablesClipAboveFullScaleOnly) {
    const auto quiet = syllables(16000, 12000.0), loud = syllables(16000, 45000.0);
    const auto [qmin, qmax] = std::minmax_element(quiet.begin(), quiet.end());
    EXPECT_LT(*qmax, 32767);
    EXPECT_GT(*qmin, -32768);
    EXPECT_EQ(*std::max_element(loud.begin(), loud.end()), 32767);
}

TEST(TestSignals, WarbleToneIsExactAtKnownPoints) {
    const auto s = warbleTone(8000, 8000.0);
    EXPECT_EQ(s[0], 0);
    // t = 1/4000 s: 9000 sin(2pi 0.055) sin(2pi 0.00075) + 3000 sin(2pi 0.3125)
    const double t = 2.0 / 8000.0;
    const double v =
        9000 * std::sin(2 * M_PI * 220 * t) * std::sin(2 * M_PI * 3 * t) + 3000 * std::sin(2 * M_PI * 1250 * t);
    EXPECT_EQ(s[2], std::lround(v));
}

TEST(TestSignals, Le16RoundTripKeepsSignAndOrder) {
    const Samples s = {0, 1, -1, 32767, -32768, 0x1234};
    const auto b = le16(s);
    ASSERT_EQ(b.size(), 12u);
    EXPECT_EQ(b[2], 0x01);
    EXPECT_EQ(b[3], 0x00);
    EXPECT_EQ(b[4], 0xFF);
    EXPECT_EQ(b[5], 0xFF);
    EXPECT_EQ(b[10], 0x34);
    EXPECT_EQ(b[11], 0x12);
    EXPECT_EQ(samples16(b), s);
    // An odd last byte is no sample.
    auto odd = b;
    odd.push_back(7);
    EXPECT_EQ(samples16(odd), s);
}

TEST(TestSignals, SnrAndCorrelationMeasureWhatTheySay) {
    const auto ref = speechLike(16000, 2);
    EXPECT_DOUBLE_EQ(segmentalSnr(ref, ref), 80.0);
    EXPECT_NEAR(correlation(ref, ref), 1.0, 1e-12);
    Samples neg(ref.size());
    std::transform(ref.begin(), ref.end(), neg.begin(),
                   [](std::int16_t v) { return std::int16_t(-std::max<int>(v, -32767)); });
    EXPECT_NEAR(correlation(ref, neg), -1.0, 1e-6);
    // Half the amplitude: error = half the signal, 6.02 dB in every segment.
    Samples half(ref.size());
    for (std::size_t i = 0; i < ref.size(); ++i) half[i] = std::int16_t(ref[i] / 2);
    EXPECT_NEAR(segmentalSnr(ref, half), 6.02, 0.2);
    // A copy delayed by 40 samples is found at delay 40 only.
    Samples late(40, 0);
    late.insert(late.end(), ref.begin(), ref.end());
    EXPECT_DOUBLE_EQ(segmentalSnr(ref, late, 40), 80.0);
    EXPECT_LT(segmentalSnr(ref, late, 0), 10.0);
    EXPECT_NEAR(correlation(ref, late, 40), 1.0, 1e-12);
    // Nothing to compare: no segment, no correlation.
    EXPECT_EQ(segmentalSnr(Samples(1000, 0), Samples(1000, 0)), -100.0);
    EXPECT_EQ(correlation({}, {}), 0.0);
}

}  // namespace
