// The engine's time stretcher: a tone keeps its pitch at every speed while its
// length scales by 1 / speed, a speed change takes hold from the next block,
// and 1.0 passes the samples through untouched.
// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "timestretch.hpp"

namespace vek::crp2 {
namespace {

std::vector<std::int16_t> tone(std::size_t n, double hz, int rate, std::size_t offset = 0) {
    std::vector<std::int16_t> v(n);
    for (std::size_t i = 0; i < n; ++i)
        v[i] = static_cast<std::int16_t>(9000 * std::sin(2 * M_PI * hz * static_cast<double>(i + offset) / rate));
    return v;
}

// Frequency from the zero crossings between `from` and `to`.
double crossingHz(const std::vector<std::int16_t>& v, std::size_t from, std::size_t to, int rate) {
    int crossings = 0;
    for (std::size_t i = from + 1; i < to; ++i) crossings += (v[i - 1] < 0) != (v[i] < 0);
    return crossings / 2.0 * rate / static_cast<double>(to - from);
}

// First and one past the last sample louder than a quarter of the tone.
std::pair<std::size_t, std::size_t> loudSpan(const std::vector<std::int16_t>& v) {
    std::size_t first = v.size(), last = 0;
    for (std::size_t i = 0; i < v.size(); ++i)
        if (std::abs(v[i]) > 2250) {
            first = std::min(first, i);
            last = i + 1;
        }
    return {first, last};
}

TEST(TimeStretch, NormalSpeedIsTheInputBitForBitAndLimitsHold) {
    TimeStretch s;
    s.begin(8000, 4000);
    EXPECT_TRUE(s.bypass());
    auto in = tone(4000, 1000, 8000);
    in[17] = -32768;
    in[18] = 32767;
    std::vector<std::int16_t> out;
    s.process(in.data(), in.size(), out);
    EXPECT_EQ(out, in);
    if (!TimeStretch::available()) GTEST_SKIP() << "built without librubberband";
    s.setSpeed(1.5);
    EXPECT_FALSE(s.bypass());
    s.process(in.data(), in.size(), out);
    EXPECT_NE(out, in);
    // Back at 1.0 the next block comes untouched after the end the stretcher
    // held, and the one after it is the input alone.
    s.setSpeed(1.0);
    EXPECT_FALSE(s.bypass());
    s.process(in.data(), in.size(), out);
    ASSERT_GT(out.size(), in.size());
    EXPECT_TRUE(std::equal(in.begin(), in.end(), out.end() - static_cast<std::ptrdiff_t>(in.size())));
    EXPECT_TRUE(s.bypass());
    s.process(in.data(), in.size(), out);
    EXPECT_EQ(out, in);
    s.setSpeed(3.0);
    EXPECT_EQ(s.speed(), 2.0);
    s.setSpeed(0.1);
    EXPECT_EQ(s.speed(), 0.5);
    s.setSpeed(std::nan(""));
    EXPECT_EQ(s.speed(), 1.0);
}

TEST(TimeStretch, ToneKeepsItsPitchAndItsLengthScales) {
    if (!TimeStretch::available()) GTEST_SKIP() << "built without librubberband";
    struct Case {
        int rate, block;
        double speed;
    };
    for (Case c : {Case{8000, 4000, 0.5}, Case{8000, 4000, 2.0}, Case{11025, 3944, 1.5}, Case{8000, 3944, 0.7}}) {
        TimeStretch s;
        s.begin(c.rate, c.block);
        s.setSpeed(c.speed);
        const std::size_t blocks = 12, n = static_cast<std::size_t>(c.block);
        std::vector<std::int16_t> all, out;
        // Silence, the tone, then silence until the stretcher has let go of it.
        std::vector<std::int16_t> zero(n, 0);
        s.process(zero.data(), n, out);
        all.insert(all.end(), out.begin(), out.end());
        for (std::size_t b = 0; b < blocks; ++b) {
            auto in = tone(n, 1000, c.rate, b * n);
            s.process(in.data(), n, out);
            all.insert(all.end(), out.begin(), out.end());
        }
        for (int b = 0; b < 4; ++b) {
            s.process(zero.data(), n, out);
            all.insert(all.end(), out.begin(), out.end());
        }
        const auto [first, last] = loudSpan(all);
        ASSERT_LT(first, last) << c.speed;
        const double want = static_cast<double>(blocks * n) / c.speed;
        EXPECT_NEAR(static_cast<double>(last - first), want, want * 0.02) << "speed " << c.speed;
        // The tone starts where one block of silence ends, at this speed.
        EXPECT_NEAR(static_cast<double>(first), static_cast<double>(n) / c.speed, 0.02 * c.rate) << c.speed;
        const std::size_t len = last - first;
        EXPECT_NEAR(crossingHz(all, first + len / 8, last - len / 8, c.rate), 1000.0, 3.0) << "speed " << c.speed;
        // Everything in, in proportion too, less what the stretcher still
        // holds back (a fraction of a second).
        const double total = (blocks + 5) * n / c.speed;
        EXPECT_LE(static_cast<double>(all.size()), total) << c.speed;
        EXPECT_GT(static_cast<double>(all.size()), total - 0.25 * c.rate / c.speed) << c.speed;
    }
}

TEST(TimeStretch, ChangeOfSpeedTakesHoldFromTheNextBlock) {
    if (!TimeStretch::available()) GTEST_SKIP() << "built without librubberband";
    TimeStretch s;
    s.begin(8000, 4000);
    s.setSpeed(1.5);
    std::vector<std::int16_t> out;
    std::size_t b = 0;
    auto run = [&](int blocks) {
        std::size_t got = 0;
        for (int i = 0; i < blocks; ++i, ++b) {
            auto in = tone(4000, 1000, 8000, b * 4000);
            s.process(in.data(), in.size(), out);
            got += out.size();
        }
        return static_cast<double>(got);
    };
    run(4);
    EXPECT_NEAR(run(10), 40000 / 1.5, 1200);
    s.setSpeed(0.8);
    run(1);
    EXPECT_NEAR(run(10), 40000 / 0.8, 1200);
}

// A rising sweep, so that a stretch of output tells which input it came
// from: its frequency at input sample i.
double sweepHz(double i) { return 300 + 0.05 * i; }

TEST(TimeStretch, NothingHeldIsSkippedOnTheWayBackToNormalSpeed) {
    if (!TimeStretch::available()) GTEST_SKIP() << "built without librubberband";
    constexpr std::size_t kBlock = 4000, kBlocks = 10, kSwitch = 6;
    std::vector<std::int16_t> sweep(kBlock * kBlocks);
    double phase = 0;
    for (std::size_t i = 0; i < sweep.size(); ++i) {
        sweep[i] = static_cast<std::int16_t>(9000 * std::sin(phase));
        phase += 2 * M_PI * sweepHz(static_cast<double>(i)) / 8000;
    }
    for (double speed : {1.5, 0.7}) {
        TimeStretch s;
        s.begin(8000, kBlock);
        s.setSpeed(speed);
        std::vector<std::int16_t> out;
        std::size_t total = 0, tail = 0;
        for (std::size_t b = 0; b < kBlocks; ++b) {
            if (b == kSwitch) s.setSpeed(1.0);
            s.process(sweep.data() + b * kBlock, kBlock, out);
            total += out.size();
            if (b != kSwitch) continue;
            // The block itself ends the output, unchanged; before it comes
            // the held end of the stretched part.
            ASSERT_GE(out.size(), kBlock);
            tail = out.size() - kBlock;
            EXPECT_TRUE(std::equal(out.end() - kBlock, out.end(), sweep.begin() + kSwitch * kBlock)) << speed;
            // That end is the sound just before the change: its last 240
            // samples carry the sweep as it was there (240 * speed input
            // samples, centred 120 * speed before the change).
            ASSERT_GE(tail, 240u) << speed;
            const double heard = crossingHz(out, tail - 240, tail, 8000);
            EXPECT_NEAR(heard, sweepHz(kSwitch * kBlock - 120 * speed), 30) << speed;
        }
        // Every input sample is heard once: the stretched blocks at 1 / speed
        // of their length, the rest as they are (within 10 ms).
        const double want = kSwitch * kBlock / speed + (kBlocks - kSwitch) * kBlock;
        EXPECT_NEAR(static_cast<double>(total), want, 80) << speed << ", held end " << tail;
    }
}

}  // namespace
}  // namespace vek::crp2
