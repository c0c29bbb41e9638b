// The shared file images: SP sectors laid out byte for byte, ADPCM
// recordings the codec reads back, WAV images a strict reader accepts, and
// the reader itself on truncated and chunk-padded files.
// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "vek/codec/bytestream.hpp"
#include "vek/codec/sc4.hpp"
#include "vek/testsupport/fixtures.hpp"

namespace {

using namespace vek::testsupport;

TEST(SpFixtures, SectorLayout) {
    std::uint8_t frames[kSpFrameBytes];
    for (std::size_t i = 0; i < kSpFrameBytes; ++i) frames[i] = std::uint8_t(i * 3);
    const Bytes s = spSector(frames, 0xAB, 0xCD);
    ASSERT_EQ(s.size(), 512u);
    EXPECT_EQ(std::memcmp(s.data(), "dmr1data\xF4\x01", 10), 0);
    EXPECT_EQ(std::memcmp(s.data() + 10, frames, 500), 0);
    EXPECT_EQ(s[510], 0xAB);
    EXPECT_EQ(s[511], 0xCD);
}

TEST(SpFixtures, FilesOfWholeSectors) {
    const Bytes f = spFile(3, [](std::size_t k, std::size_t i) { return std::uint8_t(k * 31 + i * 7); });
    ASSERT_EQ(f.size(), 3u * 512);
    for (std::size_t k = 0; k < 3; ++k) {
        EXPECT_EQ(std::memcmp(&f[k * 512], kSpTag, kSpTagBytes), 0) << k;
        EXPECT_EQ(f[k * 512 + 10 + 5], std::uint8_t(k * 31 + 35)) << k;
        EXPECT_EQ(f[k * 512 + 510], 0);
        EXPECT_EQ(f[k * 512 + 511], 0);
    }
    const Bytes a = spNoiseFile(2, 4711), b = spNoiseFile(2, 4711), c = spNoiseFile(2, 4712);
    EXPECT_EQ(a, b);
    EXPECT_NE(a, c);
    EXPECT_EQ(std::memcmp(&a[512], kSpTag, kSpTagBytes), 0);
    EXPECT_NE(std::memcmp(&a[10], &a[522], 500), 0);  // sectors differ
}

TEST(AdpcmFixtures, RecordingsReadBackToTheirFrames) {
    for (bool shq : {false, true}) {
        Bytes frames;
        const Bytes sc4 = adpcmSc4FromPcm(twoTones(58 * 150 + 20), shq, &frames);
        ASSERT_EQ(frames.size(), 150u * 29) << shq;  // the partial frame is dropped
        ASSERT_FALSE(sc4.empty());
        vek::MemorySource src(sc4.data(), sc4.size());
        vek::MemorySink back;
        ASSERT_TRUE(vek::sc4ToAdpcm(src, back));
        ASSERT_GE(back.bytes().size(), frames.size());
        EXPECT_TRUE(std::equal(frames.begin(), frames.end(), back.bytes().begin())) << shq;
    }
    // HQ and SHQ files of the same frames differ (their signatures).
    const Bytes frames = adpcmFrames(twoTones(58 * 10));
    EXPECT_NE(adpcmSc4(frames, false), adpcmSc4(frames, true));
}

TEST(WavFixtures, ImagesParseBackFieldByField) {
    const Samples s = {1, -2, 300, -32768, 32767, 0};
    const Bytes img = wav16(s, 11025, 2);
    ASSERT_EQ(img.size(), 44u + 12);
    EXPECT_EQ(std::memcmp(img.data(), "RIFF", 4), 0);
    EXPECT_EQ(img[4], 36 + 12);
    EXPECT_EQ(std::memcmp(img.data() + 8, "WAVEfmt ", 8), 0);
    EXPECT_EQ(img[28] | img[29] << 8 | img[30] << 16, 11025 * 4);  // bytes per second
    EXPECT_EQ(img[32], 4);                                         // block align
    const WavInfo w = parseWav(img);
    EXPECT_TRUE(w.ok);
    EXPECT_EQ(w.tag, 1);
    EXPECT_EQ(w.channels, 2);
    EXPECT_EQ(w.rate, 11025u);
    EXPECT_EQ(w.bits, 16);
    EXPECT_EQ(w.riffSize, 48u);
    EXPECT_EQ(w.dataSize, 12u);
    EXPECT_EQ(w.samples, s);
    // Other formats keep their tag and bytes; no 16-bit samples of them.
    const Bytes odd = wavImage(8, 1, 8000, Bytes{0x80, 0x81, 0x7F}, 3);
    ASSERT_EQ(odd.size(), 44u + 4);  // padded to an even chunk
    EXPECT_EQ(odd[4], 36 + 4);
    EXPECT_EQ(odd[40], 3);
    EXPECT_EQ(odd[47], 0);
    const WavInfo f = parseWav(odd);
    EXPECT_TRUE(f.ok);
    EXPECT_EQ(f.riffSize, 40u);
    EXPECT_EQ(f.tag, 3);
    EXPECT_EQ(f.data, (Bytes{0x80, 0x81, 0x7F}));
    EXPECT_TRUE(f.samples.empty());
}

TEST(WavFixtures, ReaderWalksChunksAndSpotsCutFiles) {
    Bytes img = wav16(Samples(10, 5), 8000);
    // A LIST chunk of odd size (padded to even) between fmt and data.
    Bytes list = {'L', 'I', 'S', 'T', 3, 0, 0, 0, 'a', 'b', 'c', 0};
    img.insert(img.begin() + 36, list.begin(), list.end());
    const WavInfo w = parseWav(img);
    EXPECT_TRUE(w.ok);
    EXPECT_EQ(w.samples, Samples(10, 5));
    // Cut inside the data: what is there is read, the file is not whole.
    img.resize(img.size() - 5);
    const WavInfo cut = parseWav(img);
    EXPECT_FALSE(cut.ok);
    EXPECT_EQ(cut.dataSize, 20u);
    EXPECT_EQ(cut.data.size(), 15u);
    EXPECT_EQ(cut.samples.size(), 7u);
    // Not a WAV file, and a WAV file without a data chunk.
    EXPECT_FALSE(parseWav(Bytes{'R', 'I', 'F', 'X', 0, 0, 0, 0, 'W', 'A', 'V', 'E'}).ok);
    Bytes noData = wav16(Samples(4, 1), 8000);
    noData.resize(36);
    EXPECT_FALSE(parseWav(noData).ok);
    // A data chunk before any fmt chunk is no readable file.
    const Bytes dataFirst = {'R', 'I', 'F', 'F', 14, 0, 0, 0, 'W', 'A', 'V', 'E', 'd', 'a', 't', 'a', 2, 0, 0, 0, 1, 2};
    EXPECT_FALSE(parseWav(dataFirst).ok);
}

TEST(WavFixtures, AnyLayoutWithLyingSizes) {
    const Bytes data = {1, 2, 3, 4, 5};
    // Plain PCM: the same bytes as the canonical image.
    EXPECT_EQ(makeWav({}, data), wavImage(16, 1, 8000, data));
    // Another tag: an 18-byte fmt chunk.
    WavLayout alaw;
    alaw.tag = 6;
    alaw.bits = 8;
    const Bytes a = makeWav(alaw, data);
    EXPECT_EQ(a[16], 18);
    EXPECT_EQ(a[20], 6);
    EXPECT_EQ(std::memcmp(a.data() + 38, "data", 4), 0);
    // Extensible: tag 0xFFFE, the real tag at the start of the GUID.
    WavLayout ext;
    ext.extensible = true;
    ext.tag = 3;
    ext.bits = 32;
    ext.channels = 2;
    const Bytes e = makeWav(ext, Bytes(16, 0));
    EXPECT_EQ(e[16], 40);
    EXPECT_EQ(e[20] | e[21] << 8, 0xFFFE);
    EXPECT_EQ(e[44], 3);
    EXPECT_EQ(e[32], 8);  // block align
    const WavInfo ei = parseWav(e);
    EXPECT_TRUE(ei.ok);
    EXPECT_EQ(ei.tag, 0xFFFE);
    // Placeholder sizes as streaming recorders write them.
    WavLayout streaming;
    streaming.dataSizeOverride = 0xFFFFFFFF;
    streaming.riffSizeOverride = 0;
    const Bytes st = makeWav(streaming, Bytes(8, 7));
    const WavInfo si = parseWav(st);
    EXPECT_EQ(si.riffSize, 0u);
    EXPECT_EQ(si.dataSize, 0xFFFFFFFFu);
    EXPECT_EQ(si.data, Bytes(8, 7));  // what the file really holds
    EXPECT_FALSE(si.ok);
    WavLayout junk;
    junk.junkChunk = true;
    const WavInfo ji = parseWav(makeWav(junk, data));
    EXPECT_TRUE(ji.ok);
    EXPECT_EQ(ji.data, data);
}

TEST(WavFixtures, ToneDataPerChannel) {
    const Bytes d = toneData(100, 2, 8000.0);
    ASSERT_EQ(d.size(), 400u);
    const Samples s = samples16(d);
    EXPECT_EQ(s[0], 0);
    EXPECT_EQ(s[1], 0);
    // Frame 1: 12000 sin(2pi 440/8000) and 12000 sin(2pi 550/8000).
    EXPECT_EQ(s[2], std::int16_t(12000 * std::sin(2 * M_PI * 440 / 8000.0)));
    EXPECT_EQ(s[3], std::int16_t(12000 * std::sin(2 * M_PI * 550 / 8000.0)));
}

}  // namespace
