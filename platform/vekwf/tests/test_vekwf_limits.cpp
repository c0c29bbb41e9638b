// The writer's 32-bit limit: a WAVE file states at most kVekWaveMaxData
// bytes of samples. Written to /dev/null, which takes the gigabytes (and the
// header rewrite at close) without storing them.
// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "vekwf.h"

namespace {

// Writes `total` bytes of 16-bit mono samples in blocks; returns the bytes
// the writer took.
std::uint64_t pour(VekWaveHandle h, std::uint64_t total) {
    static const std::vector<std::uint8_t> block(1 << 20, 0x11);
    std::uint64_t taken = 0;
    while (taken < total) {
        const auto n = static_cast<int32_t>(std::min<std::uint64_t>(block.size(), total - taken));
        const int32_t k = WriteWaveFile(h, block.data(), n);
        taken += static_cast<std::uint64_t>(k);
        if (k != n) break;
    }
    return taken;
}

TEST(VekwfLimits, PlainWaveRefusesDataPastItsThirtyTwoBitLengths) {
    static_assert(kVekWaveMaxData == 0xFFFFFFFFu - 36u - 3u);  // whole 4-byte frames
    const VekWaveHandle h = WriteWaveHeader("/dev/null", 16, 1, 8000);
    if (!h) GTEST_SKIP() << "libsndfile does not write to /dev/null here";
    EXPECT_EQ(pour(h, kVekWaveMaxData), std::uint64_t{kVekWaveMaxData});
    // One sample more would wrap the lengths: refused, and the close says so.
    const std::uint8_t two[2] = {1, 2};
    EXPECT_EQ(WriteWaveFile(h, two, 2), 0);
    EXPECT_EQ(CloseWriteWaveFile(h), 0);
}

TEST(VekwfLimits, Rf64WriterTakesDataPastFourGibibytes) {
    const VekWaveHandle h = WriteWaveHeader64("/dev/null", 16, 1, 8000);
    if (!h) GTEST_SKIP() << "libsndfile does not write to /dev/null here";
    const std::uint64_t want = 0x100000000ull + 8000;
    EXPECT_EQ(pour(h, want), want);
    EXPECT_EQ(CloseWriteWaveFile(h), 1);
}

}  // namespace

namespace {

// Below 4 GiB the 64-bit writer closes a WAVE file that the reader takes
// back sample for sample.
TEST(VekwfLimits, Rf64WriterBelowFourGibibytesMakesAWaveFileThatReadsBack) {
    const std::string path = ::testing::TempDir() + "vekwf-rf64-small.wav";
    const VekWaveHandle h = WriteWaveHeader64(path.c_str(), 16, 1, 11025);
    ASSERT_NE(h, 0);
    std::vector<std::uint8_t> pcm(7888);
    for (std::size_t i = 0; i < pcm.size(); ++i) pcm[i] = static_cast<std::uint8_t>(i * 37 + 11);
    ASSERT_EQ(WriteWaveFile(h, pcm.data(), static_cast<int32_t>(pcm.size())), 7888);
    ASSERT_EQ(CloseWriteWaveFile(h), 1);
    FILE* f = std::fopen(path.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    char riff[4] = {};
    ASSERT_EQ(std::fread(riff, 1, 4, f), 4u);
    std::fclose(f);
    EXPECT_EQ(std::string(riff, 4), "RIFF");
    int16_t bits = 0, channels = 0, tag = 0;
    int32_t rate = 0, bytes = 0;
    const VekWaveHandle r = ReadWaveHeader(path.c_str(), &bits, &channels, &rate, &bytes, &tag);
    ASSERT_NE(r, 0);
    EXPECT_EQ(tag, 1);
    EXPECT_EQ(bits, 16);
    EXPECT_EQ(channels, 1);
    EXPECT_EQ(rate, 11025);
    ASSERT_EQ(bytes, 7888);
    std::vector<std::uint8_t> back(7888);
    EXPECT_EQ(ReadWaveFile(r, back.data(), 7888), 7888);
    EXPECT_EQ(back, pcm);
    CloseReadWaveFile(r);
    std::remove(path.c_str());
}

}  // namespace
