// Rendering with bounded memory: the streamed render against the collected
// one, a header in memory before a file read in place, offsets past 4 GiB,
// and the WAV image's 32-bit limit.
// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include <unistd.h>

#include "vek/codec/adpcm.hpp"
#include "vek/codec/bytestream.hpp"
#include "vek/codec/sc4.hpp"
#include "vek/player/decoders.hpp"
#include "vek/player/render.hpp"
#include "vek/player/wav.hpp"

namespace {

namespace fs = std::filesystem;
using namespace vek::player;

std::vector<std::uint8_t> hqSc4(std::size_t frames) {
    std::vector<std::uint8_t> pcm(frames * 116);
    for (std::size_t i = 0; i < frames * 58; ++i) {
        const auto v = static_cast<std::int16_t>(8000 * std::sin(static_cast<double>(i) * 0.05) +
                                                 2000 * std::sin(static_cast<double>(i) * 0.31));
        pcm[2 * i] = static_cast<std::uint8_t>(static_cast<std::uint16_t>(v) & 0xFF);
        pcm[2 * i + 1] = static_cast<std::uint8_t>(static_cast<std::uint16_t>(v) >> 8);
    }
    vek::AdpcmCodec codec;
    std::vector<std::uint8_t> stream(frames * 29);
    codec.encode(pcm.data(), pcm.size(), stream.data());
    vek::MemorySource src(stream.data(), stream.size());
    vek::MemorySink sink;
    EXPECT_TRUE(vek::adpcmToSc4(src, sink, false));
    return sink.bytes();
}

std::string scratch(const std::string& name) {
    return (fs::temp_directory_path() / ("vek-render-" + std::to_string(::getpid()) + "-" + name)).string();
}

TEST(RenderStream, StreamedSamplesEqualTheCollectedRenderAndComeInBuffers) {
    const auto in = sc4Input(hqSc4(2000), 9, 20);  // an effect, so the state runs across buffers
    ASSERT_TRUE(in);
    MemoryPlayerFile whole(in->file);
    AdpcmBlockDecoder dec;
    vek::VoiceEffect fx;
    const auto collected = renderPlayback(in->layout, whole, dec, fx);
    ASSERT_GT(collected.size(), 20u * 3944u);

    MemoryPlayerFile again(in->file);
    AdpcmBlockDecoder dec2;
    vek::VoiceEffect fx2;
    std::vector<std::int16_t> streamed;
    std::size_t calls = 0, largest = 0;
    ASSERT_TRUE(renderPlaybackTo(in->layout, again, dec2, fx2, [&](const std::int16_t* s, std::size_t n) {
        ++calls;
        largest = std::max(largest, n);
        streamed.insert(streamed.end(), s, s + n);
        return true;
    }));
    EXPECT_EQ(streamed, collected);
    EXPECT_GT(calls, 20u);
    EXPECT_LE(largest, 3944u);  // one player buffer at a time

    // A sink that refuses stops the rendering there.
    MemoryPlayerFile third(in->file);
    AdpcmBlockDecoder dec3;
    vek::VoiceEffect fx3;
    std::size_t seen = 0;
    EXPECT_FALSE(renderPlaybackTo(in->layout, third, dec3, fx3, [&](const std::int16_t*, std::size_t) {
        return ++seen < 3;
    }));
    EXPECT_EQ(seen, 3u);
}

TEST(RenderStream, PrefixedFileReadsLikeTheBytesInMemory) {
    const auto in = sc4Input(hqSc4(700), 0, 80);
    ASSERT_TRUE(in);
    // The same virtual file: its first 16 bytes in memory, the rest on disk.
    const std::string path = scratch("prefixed");
    {
        std::ofstream f(path, std::ios::binary);
        f.write(reinterpret_cast<const char*>(in->file.data() + 16), static_cast<std::streamsize>(in->file.size() - 16));
    }
    PrefixedFile split({in->file.begin(), in->file.begin() + 16}, path);
    MemoryPlayerFile whole(in->file);
    ASSERT_TRUE(split.open());
    ASSERT_TRUE(whole.open());
    EXPECT_EQ(split.size(), whole.size());
    for (std::uint64_t at : std::vector<std::uint64_t>{0, 10, 15, 16, 17, 5000, in->file.size() - 3}) {
        std::uint8_t a[40] = {}, b[40] = {};
        ASSERT_TRUE(split.seek(at));
        ASSERT_TRUE(whole.seek(at));
        EXPECT_EQ(split.read(a, sizeof a), whole.read(b, sizeof b)) << at;
        EXPECT_EQ(std::memcmp(a, b, sizeof a), 0) << at;
    }
    AdpcmBlockDecoder d1, d2;
    vek::VoiceEffect f1, f2;
    EXPECT_EQ(renderPlayback(in->layout, split, d1, f1), renderPlayback(in->layout, whole, d2, f2));
    EXPECT_FALSE(split.failed());
    PrefixedFile missing({}, path + ".none");
    EXPECT_FALSE(missing.open());
    std::remove(path.c_str());
}

// A sparse file of 5 GiB: sizes and positions past 32 bits (a 32-bit long
// would wrap them) read the byte that is really there.
TEST(RenderStream, OffsetsPastFourGibibytes) {
    const std::string path = scratch("sparse");
    const std::uint64_t at = 4'600'000'123ull;
    {
        std::ofstream f(path, std::ios::binary);
        f.put('a');
    }
    fs::resize_file(path, 5ull << 30);
    {
        std::fstream f(path, std::ios::binary | std::ios::in | std::ios::out);
        f.seekp(static_cast<std::streamoff>(at));
        f.put('Z');
    }
    PrefixedFile file({1, 2, 3}, path);
    ASSERT_TRUE(file.open());
    EXPECT_EQ(file.size(), static_cast<std::int64_t>((5ull << 30) + 3));
    ASSERT_TRUE(file.seek(at + 3));
    char c = 0;
    ASSERT_EQ(file.read(&c, 1), 1u);
    EXPECT_EQ(c, 'Z');
    StdioPlayerFile plain(path);
    ASSERT_TRUE(plain.open());
    EXPECT_EQ(plain.size(), static_cast<std::int64_t>(5ull << 30));
    ASSERT_TRUE(plain.seek(at));
    ASSERT_EQ(plain.read(&c, 1), 1u);
    EXPECT_EQ(c, 'Z');
    plain.close();
    file.close();
    std::remove(path.c_str());
}

TEST(RenderStream, WavImageRefusesMoreThanItsLengthsCanState) {
    // 36 + 2 * count must fit 32 bits.
    EXPECT_LE(36ull + 2ull * kWavMono16MaxSamples, 0xFFFFFFFFull);
    EXPECT_GT(36ull + 2ull * (kWavMono16MaxSamples + 1), 0xFFFFFFFFull);
    // The samples are never touched: the size is refused first (a wrapped
    // size would allocate a small buffer and write far past it).
    const std::int16_t one = 0;
    EXPECT_THROW(makeWavMono16(&one, kWavMono16MaxSamples + 1, 8000), std::length_error);
    EXPECT_THROW(makeWavMono16(&one, std::size_t{2147483648u} + 16, 8000), std::length_error);
    EXPECT_EQ(makeWavMono16(&one, 1, 8000).size(), 46u);
}

}  // namespace
