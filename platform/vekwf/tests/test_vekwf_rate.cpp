// Sample rates that do not fit the reader's 32-bit signed rate: refused like
// a rate of 0, whatever the format, so that no caller sees a negative rate.
// SPDX-License-Identifier: GPL-3.0-or-later
#include "vekwf.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

void le(Bytes& b, std::uint32_t v, int n) {
    for (int i = 0; i < n; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

// A mono RIFF WAVE file with the given format tag and rate, and 64 data bytes.
Bytes wav(std::uint16_t tag, std::uint32_t rate) {
    Bytes b{'R', 'I', 'F', 'F'};
    le(b, 4 + 8 + 18 + 8 + 64, 4);
    b.insert(b.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    le(b, 18, 4);
    le(b, tag, 2);
    le(b, 1, 2);
    le(b, rate, 4);
    le(b, rate * 2, 4);
    le(b, 2, 2);
    le(b, tag == 1 ? 16 : 4, 2);
    le(b, 0, 2);
    b.insert(b.end(), {'d', 'a', 't', 'a'});
    le(b, 64, 4);
    b.insert(b.end(), 64, 0x11);
    return b;
}

struct Opened {
    VekWaveHandle h = 0;
    std::int32_t rate = 0;
    std::int16_t tag = 0;
};

Opened open(const Bytes& bytes, const std::string& name) {
    const auto path = (std::filesystem::temp_directory_path() / name).string();
    std::FILE* f = std::fopen(path.c_str(), "wb");
    EXPECT_NE(f, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    Opened o;
    o.h = ReadWaveHeader(path.c_str(), nullptr, nullptr, &o.rate, nullptr, &o.tag);
    std::filesystem::remove(path);
    return o;
}

}  // namespace

TEST(VekwfRate, RatesPastTheSignedRangeAreRefused) {
    const std::string base = "vekwf-rate-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed());
    // 0xFCFFE0BF came from the fuzzer in an IMA ADPCM header: it was
    // reported as -50339649.
    for (std::uint16_t tag : {std::uint16_t{1}, std::uint16_t{0x11}, std::uint16_t{0x55}}) {
        for (std::uint32_t rate : {0x80000000u, 0xFCFFE0BFu, 0xFFFFFFFFu}) {
            const Opened o = open(wav(tag, rate), base + ".wav");
            EXPECT_EQ(o.h, 0) << "tag " << tag << " rate " << rate << " read as " << o.rate;
            CloseReadWaveFile(o.h);
        }
    }
    // The largest rate that fits is still taken as it stands.
    const Opened top = open(wav(0x55, 0x7FFFFFFFu), base + ".wav");
    ASSERT_NE(top.h, 0);
    EXPECT_EQ(top.rate, 0x7FFFFFFF);
    CloseReadWaveFile(top.h);
    const Opened plain = open(wav(0x55, 8000), base + ".wav");
    ASSERT_NE(plain.h, 0);
    EXPECT_EQ(plain.rate, 8000);
    EXPECT_EQ(plain.tag, 0x55);
    CloseReadWaveFile(plain.h);
}
