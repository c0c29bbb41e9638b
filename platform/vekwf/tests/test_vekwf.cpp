// vekwf: header layout, sample delivery for every accepted encoding, refusal
// of unsupported and lying headers.
// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "vek/testsupport/fixtures.hpp"
#include "vekwf.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

using vek::testsupport::makeWav;
using vek::testsupport::WavLayout;

void put16(Bytes& b, std::uint32_t v) {
    b.push_back(v & 0xFF);
    b.push_back((v >> 8) & 0xFF);
}
void put32(Bytes& b, std::uint32_t v) {
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
}

class VekwfTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() /
                ("vekwf-test-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(m_dir);
    }
    void TearDown() override { fs::remove_all(m_dir); }

    std::string path(const std::string& name) const { return (m_dir / name).string(); }
    std::string write(const std::string& name, const Bytes& b) const {
        std::ofstream(path(name), std::ios::binary).write(reinterpret_cast<const char*>(b.data()), b.size());
        return path(name);
    }
    static Bytes slurp(const std::string& p) {
        std::ifstream in(p, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), {});
    }

    struct Header {
        VekWaveHandle h = 0;
        int16_t bits = -1, channels = -1, tag = -1;
        int32_t rate = -1, bytes = -1;
    };
    static Header open(const std::string& p) {
        Header r;
        r.h = ReadWaveHeader(p.c_str(), &r.bits, &r.channels, &r.rate, &r.bytes, &r.tag);
        return r;
    }
    static Bytes readAll(Header& hd, int32_t ask) {
        Bytes out(static_cast<std::size_t>(ask), 0xEE);
        const int32_t got = ReadWaveFile(hd.h, out.data(), ask);
        out.resize(static_cast<std::size_t>(got));
        return out;
    }

    fs::path m_dir;
};

TEST_F(VekwfTest, WrittenFileHasStandardPcmHeaderAndCompletedLengths) {
    const std::string p = path("out.wav");
    const VekWaveHandle h = WriteWaveHeader(p.c_str(), 16, 1, 11025);
    ASSERT_NE(h, 0);
    Bytes pcm;
    for (int i = 0; i < 1000; ++i) put16(pcm, static_cast<std::uint16_t>(i * 37 - 20000));
    EXPECT_EQ(WriteWaveFile(h, pcm.data(), 600), 600);
    EXPECT_EQ(WriteWaveFile(h, pcm.data() + 600, 1400), 1400);
    EXPECT_EQ(CloseWriteWaveFile(h), 1);

    const Bytes f = slurp(p);
    ASSERT_EQ(f.size(), 44u + 2000u);
    auto u32 = [&](std::size_t o) { return f[o] | f[o + 1] << 8 | f[o + 2] << 16 | std::uint32_t(f[o + 3]) << 24; };
    auto u16 = [&](std::size_t o) { return f[o] | f[o + 1] << 8; };
    EXPECT_EQ(std::string(f.begin(), f.begin() + 4), "RIFF");
    EXPECT_EQ(u32(4), 36u + 2000u);
    EXPECT_EQ(std::string(f.begin() + 8, f.begin() + 16), "WAVEfmt ");
    EXPECT_EQ(u32(16), 16u);
    EXPECT_EQ(u16(20), 1);      // PCM
    EXPECT_EQ(u16(22), 1);      // mono
    EXPECT_EQ(u32(24), 11025u);
    EXPECT_EQ(u32(28), 22050u);
    EXPECT_EQ(u16(32), 2);
    EXPECT_EQ(u16(34), 16);
    EXPECT_EQ(std::string(f.begin() + 36, f.begin() + 40), "data");
    EXPECT_EQ(u32(40), 2000u);
    EXPECT_TRUE(std::equal(pcm.begin(), pcm.end(), f.begin() + 44));
}

TEST_F(VekwfTest, WriterTruncatesExistingFileAndRefusesBadArguments) {
    const std::string p = write("old.wav", Bytes(10000, 0x42));
    const VekWaveHandle h = WriteWaveHeader(p.c_str(), 16, 1, 8000);
    ASSERT_NE(h, 0);
    EXPECT_EQ(CloseWriteWaveFile(h), 1);
    EXPECT_EQ(fs::file_size(p), 44u);

    EXPECT_EQ(WriteWaveHeader(path("x.wav").c_str(), 24, 1, 8000), 0);
    EXPECT_EQ(WriteWaveHeader(path("x.wav").c_str(), 16, 3, 8000), 0);
    EXPECT_EQ(WriteWaveHeader(path("x.wav").c_str(), 16, 1, 0), 0);
    EXPECT_EQ(WriteWaveHeader(path("no/such/dir/x.wav").c_str(), 16, 1, 8000), 0);
    EXPECT_EQ(CloseWriteWaveFile(0), 0);
    EXPECT_EQ(WriteWaveFile(0, "ab", 2), 0);
}

TEST_F(VekwfTest, SixteenAndEightBitRoundTripThroughWriterAndReader) {
    for (int bits : {8, 16}) {
        for (int ch : {1, 2}) {
            const std::string p = path("rt" + std::to_string(bits) + std::to_string(ch) + ".wav");
            Bytes data;
            for (int i = 0; i < 4000; ++i) data.push_back(static_cast<std::uint8_t>(i * 7 + (i >> 8)));
            const VekWaveHandle w = WriteWaveHeader(p.c_str(), bits, ch, 22050);
            ASSERT_NE(w, 0);
            WriteWaveFile(w, data.data(), static_cast<int32_t>(data.size()));
            ASSERT_EQ(CloseWriteWaveFile(w), 1);

            Header hd = open(p);
            ASSERT_NE(hd.h, 0);
            EXPECT_EQ(hd.bits, bits);
            EXPECT_EQ(hd.channels, ch);
            EXPECT_EQ(hd.rate, 22050);
            EXPECT_EQ(hd.tag, 1);
            EXPECT_EQ(hd.bytes, 4000);
            // Read in uneven pieces: the reader must carry partial frames.
            Bytes got = readAll(hd, 1002);
            Bytes rest = readAll(hd, 3000);
            got.insert(got.end(), rest.begin(), rest.end());
            EXPECT_EQ(got, data) << bits << "-bit " << ch << " ch";
            CloseReadWaveFile(hd.h);
        }
    }
}

TEST_F(VekwfTest, ReadsPastTheDataAsZerosAndReportsShortCount) {
    Bytes data{1, 2, 3, 4};
    const std::string p = write("s.wav", makeWav({}, data));
    Header hd = open(p);
    ASSERT_NE(hd.h, 0);
    Bytes buf(10, 0xEE);
    EXPECT_EQ(ReadWaveFile(hd.h, buf.data(), 10), 4);
    EXPECT_EQ(buf, (Bytes{1, 2, 3, 4, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(ReadWaveFile(hd.h, buf.data(), 10), 0);
    EXPECT_EQ(buf, Bytes(10, 0));
    CloseReadWaveFile(hd.h);
}

TEST_F(VekwfTest, WideIntegerAndFloatFilesArriveAsSixteenBitPcm) {
    // Samples chosen so that the top 16 bits are the expected values.
    const std::vector<int16_t> expect{0, 1000, -1000, 32767, -32768, 12345};
    struct Case {
        const char* name;
        std::uint16_t tag, bits;
        bool ext;
    };
    for (const Case c : {Case{"i24", 1, 24, false}, Case{"i32", 1, 32, false}, Case{"x24", 1, 24, true},
                         Case{"f32", 3, 32, false}, Case{"f64", 3, 64, false}, Case{"xf32", 3, 32, true}}) {
        Bytes data;
        for (int16_t s : expect) {
            if (c.tag == 1) {
                const std::int32_t v = std::int32_t(s) * 65536;
                const int width = c.bits / 8;
                for (int k = 4 - width; k < 4; ++k) data.push_back(static_cast<std::uint8_t>(std::uint32_t(v) >> (8 * k)));
            } else {
                const double x = s / 32768.0;
                if (c.bits == 32) {
                    const float fx = static_cast<float>(x);
                    std::uint32_t u;
                    std::memcpy(&u, &fx, 4);
                    put32(data, u);
                } else {
                    std::uint64_t u;
                    std::memcpy(&u, &x, 8);
                    put32(data, u & 0xFFFFFFFF);
                    put32(data, u >> 32);
                }
            }
        }
        WavLayout s;
        s.tag = c.tag;
        s.bits = c.bits;
        s.extensible = c.ext;
        s.rate = 44100;
        Header hd = open(write(std::string(c.name) + ".wav", makeWav(s, data)));
        ASSERT_NE(hd.h, 0) << c.name;
        EXPECT_EQ(hd.tag, 1) << c.name;
        EXPECT_EQ(hd.bits, 16) << c.name;
        EXPECT_EQ(hd.channels, 1) << c.name;
        EXPECT_EQ(hd.rate, 44100) << c.name;
        ASSERT_EQ(hd.bytes, static_cast<int32_t>(expect.size() * 2)) << c.name;
        const Bytes got = readAll(hd, hd.bytes);
        ASSERT_EQ(got.size(), expect.size() * 2);
        for (std::size_t i = 0; i < expect.size(); ++i) {
            const auto v = static_cast<int16_t>(got[2 * i] | got[2 * i + 1] << 8);
            EXPECT_EQ(v, expect[i]) << c.name << " sample " << i;
        }
        CloseReadWaveFile(hd.h);
    }
}

TEST_F(VekwfTest, FloatBeyondFullScaleClipsInsteadOfWrapping) {
    Bytes data;
    // A NaN (no number at all) and infinities: silence and the clip values.
    for (float fx : {1.5f, -2.0f, std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                     -std::numeric_limits<float>::infinity()}) {
        std::uint32_t u;
        std::memcpy(&u, &fx, 4);
        put32(data, u);
    }
    WavLayout s;
    s.tag = 3;
    s.bits = 32;
    Header hd = open(write("clip.wav", makeWav(s, data)));
    ASSERT_NE(hd.h, 0);
    const Bytes got = readAll(hd, 10);
    ASSERT_EQ(got.size(), 10u);
    EXPECT_EQ(static_cast<int16_t>(got[0] | got[1] << 8), 32767);
    EXPECT_EQ(static_cast<int16_t>(got[2] | got[3] << 8), -32768);
    EXPECT_EQ(static_cast<int16_t>(got[4] | got[5] << 8), 0);
    EXPECT_EQ(static_cast<int16_t>(got[6] | got[7] << 8), 32767);
    EXPECT_EQ(static_cast<int16_t>(got[8] | got[9] << 8), -32768);
    CloseReadWaveFile(hd.h);
}

TEST_F(VekwfTest, CompressedAndMultichannelFilesReportANonPcmTag) {
    {
        WavLayout s;
        s.tag = 7;  // mu-law
        s.bits = 8;
        Header hd = open(write("ulaw.wav", makeWav(s, Bytes(100, 0xFF))));
        ASSERT_NE(hd.h, 0);
        EXPECT_EQ(hd.tag, 7);
        CloseReadWaveFile(hd.h);
    }
    {
        WavLayout s;
        s.tag = 0x55;  // MPEG layer 3: a tag we cannot decode
        s.bits = 0;
        Header hd = open(write("mp3.wav", makeWav(s, Bytes(100, 0x11))));
        ASSERT_NE(hd.h, 0);
        EXPECT_EQ(hd.tag, 0x55);
        CloseReadWaveFile(hd.h);
    }
    for (bool ext : {false, true}) {
        WavLayout s;
        s.channels = 4;
        s.extensible = ext;
        Header hd = open(write(ext ? "quadx.wav" : "quad.wav", makeWav(s, Bytes(800, 0))));
        ASSERT_NE(hd.h, 0);
        EXPECT_NE(hd.tag, 1);
        EXPECT_EQ(hd.bytes, 0);
        CloseReadWaveFile(hd.h);
    }
}

TEST_F(VekwfTest, RefusesLyingOrForeignHeaders) {
    WavLayout zeroRate;
    zeroRate.rate = 0;
    EXPECT_EQ(open(write("r0.wav", makeWav(zeroRate, Bytes(100, 0)))).h, 0);

    WavLayout overrun;
    overrun.dataSizeOverride = 1000000;
    EXPECT_EQ(open(write("big.wav", makeWav(overrun, Bytes(100, 0)))).h, 0);
    overrun.dataSizeOverride = 0xFFFFFFF0;
    EXPECT_EQ(open(write("huge.wav", makeWav(overrun, Bytes(100, 0)))).h, 0);

    EXPECT_EQ(open(write("text.wav", Bytes{'h', 'e', 'l', 'l', 'o'})).h, 0);
    EXPECT_EQ(open(write("empty.wav", Bytes{})).h, 0);
    EXPECT_EQ(open(path("missing.wav")).h, 0);
    Bytes nodata = makeWav({}, Bytes(10, 0));
    nodata.resize(36);  // header cut before the data chunk
    EXPECT_EQ(open(write("nodata.wav", nodata)).h, 0);
}

// A LIST chunk whose inner chunk claims more than the list holds (found by
// fuzzing: libsndfile walked such a list for ever) is refused at once; a
// well-formed list before the format is read past.
TEST_F(VekwfTest, RefusesAListWhoseInnerChunkOverrunsIt) {
    auto withList = [](const Bytes& list) {
        const Bytes plain = makeWav({}, Bytes{5, 0, 6, 0});
        Bytes b(plain.begin(), plain.begin() + 12);  // RIFF, size, WAVE
        b.insert(b.end(), {'L', 'I', 'S', 'T'});
        put32(b, static_cast<std::uint32_t>(list.size()));
        b.insert(b.end(), list.begin(), list.end());
        b.insert(b.end(), plain.begin() + 12, plain.end());
        const std::uint32_t riff = static_cast<std::uint32_t>(b.size() - 8);
        for (int i = 0; i < 4; ++i) b[std::size_t(4 + i)] = static_cast<std::uint8_t>(riff >> (8 * i));
        return b;
    };
    for (const Bytes& type : {Bytes{3, 0, 1, 1}, Bytes{'I', 'N', 'F', 'O'}}) {
        Bytes bad = type;
        bad.insert(bad.end(), {0xF7, 0xFF, 0xFF, 0xFF});
        put32(bad, 0xFFBEFFFF);
        bad.insert(bad.end(), {4, 0, 32, 0});
        EXPECT_EQ(open(write("bad.wav", withList(bad))).h, 0);
    }
    // After the data chunk (libsndfile reads trailing chunks too).
    Bytes trailing = makeWav({}, Bytes{5, 0, 6, 0});
    const Bytes badList{'L', 'I', 'S', 'T', 16, 0, 0, 0, 3, 0, 1, 1, 0xF7, 0xFF, 0xFF, 0xFF,
                        0xFF, 0xFF, 0xBE, 0xFF, 4, 0, 32, 0};
    trailing.insert(trailing.end(), badList.begin(), badList.end());
    const std::uint32_t riff = static_cast<std::uint32_t>(trailing.size() - 8);
    for (int i = 0; i < 4; ++i) trailing[std::size_t(4 + i)] = static_cast<std::uint8_t>(riff >> (8 * i));
    EXPECT_EQ(open(write("trailing.wav", trailing)).h, 0);

    Bytes good{'I', 'N', 'F', 'O', 'I', 'N', 'A', 'M'};
    put32(good, 3);
    good.insert(good.end(), {'a', 'b', 0, 0});  // padded to even
    Header hd = open(write("good.wav", withList(good)));
    ASSERT_NE(hd.h, 0);
    EXPECT_EQ(readAll(hd, 4), (Bytes{5, 0, 6, 0}));
    CloseReadWaveFile(hd.h);
}

TEST_F(VekwfTest, AcceptsEmptyDataAndChunksBeforeData) {
    Header hd = open(write("zero.wav", makeWav({}, Bytes{})));
    ASSERT_NE(hd.h, 0);
    EXPECT_EQ(hd.bytes, 0);
    EXPECT_EQ(hd.tag, 1);
    CloseReadWaveFile(hd.h);

    WavLayout s;
    s.junkChunk = true;
    s.channels = 2;
    Header hj = open(write("junk.wav", makeWav(s, Bytes{1, 0, 2, 0, 3, 0, 4, 0})));
    ASSERT_NE(hj.h, 0);
    EXPECT_EQ(readAll(hj, 8), (Bytes{1, 0, 2, 0, 3, 0, 4, 0}));
    CloseReadWaveFile(hj.h);
}

// Streaming writers and interrupted recordings leave 0 or 0xFFFFFFFF in the
// data size (and often in the RIFF size): the samples are what the file holds,
// delivered exactly as from the same file with its sizes filled in.
TEST_F(VekwfTest, PlaceholderDataSizesDeliverWhatTheFileHolds) {
    struct Case {
        WavLayout layout;
        std::size_t bytes;
    };
    WavLayout mono16;
    WavLayout stereo8;
    stereo8.bits = 8;
    stereo8.channels = 2;
    WavLayout float32;
    float32.tag = 3;
    float32.bits = 32;
    const Case cases[] = {{mono16, 2000}, {stereo8, 1202}, {float32, 800}};
    int n = 0;
    for (const Case& c : cases) {
        Bytes data(c.bytes);
        for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>((i * 37 + 5) & 0x7F);
        if (c.layout.tag == 3)  // floats within full scale: 0.25 * k / 200
            for (std::size_t i = 0; i < c.bytes / 4; ++i) {
                const float v = 0.25f * static_cast<float>(static_cast<int>(i % 400) - 200) / 200.0f;
                std::memcpy(data.data() + 4 * i, &v, 4);
            }
        Header plain = open(write("plain" + std::to_string(n) + ".wav", makeWav(c.layout, data)));
        ASSERT_NE(plain.h, 0);
        const Bytes expected = readAll(plain, plain.bytes);
        ASSERT_GT(expected.size(), 0u);
        CloseReadWaveFile(plain.h);
        for (std::uint32_t placeholder : {0u, 0xFFFFFFFFu}) {
            for (bool riffToo : {false, true}) {
                WavLayout s = c.layout;
                s.dataSizeOverride = placeholder;
                Bytes image = makeWav(s, data);
                if (riffToo)
                    for (int i = 4; i < 8; ++i) image[std::size_t(i)] = static_cast<std::uint8_t>(placeholder & 0xFF);
                const std::string name = "ph" + std::to_string(n) + "-" + std::to_string(placeholder & 1) +
                                         (riffToo ? "r" : "") + ".wav";
                Header hd = open(write(name, image));
                ASSERT_NE(hd.h, 0) << name;
                EXPECT_EQ(hd.bits, plain.bits) << name;
                EXPECT_EQ(hd.channels, plain.channels) << name;
                EXPECT_EQ(hd.rate, plain.rate) << name;
                EXPECT_EQ(hd.tag, 1) << name;
                EXPECT_EQ(hd.bytes, plain.bytes) << name;
                EXPECT_EQ(readAll(hd, hd.bytes + 64), expected) << name;
                CloseReadWaveFile(hd.h);
            }
        }
        ++n;
    }
    // A stream cut inside a sample frame delivers the whole frames only.
    WavLayout cut;
    cut.dataSizeOverride = 0;
    Bytes odd(2001, 0x11);
    Bytes image = makeWav(cut, odd);
    image.pop_back();  // no pad byte: the file ends on the odd byte
    Header hd = open(write("cut.wav", image));
    ASSERT_NE(hd.h, 0);
    EXPECT_EQ(hd.bytes, 2000);
    CloseReadWaveFile(hd.h);
}

// Random damage to a valid header: whatever opens must report a data length
// the file can back, and reading it must stay within the buffer.
TEST_F(VekwfTest, FuzzedHeadersNeverOverstateTheData) {
    std::mt19937 rng(1234);
    WavLayout s;
    s.channels = 2;
    const Bytes base = makeWav(s, Bytes(400, 0x33));
    for (int round = 0; round < 1500; ++round) {
        Bytes b = base;
        const int edits = 1 + static_cast<int>(rng() % 4);
        for (int e = 0; e < edits; ++e) b[rng() % 48] = static_cast<std::uint8_t>(rng());
        if (rng() % 4 == 0) b.resize(rng() % b.size());
        const std::string p = write("fz.wav", b);
        Header hd = open(p);
        if (!hd.h) continue;
        EXPECT_GE(hd.bytes, 0);
        EXPECT_LE(hd.bytes, 2 * static_cast<int64_t>(b.size()));
        if (hd.bytes > 0) {
            Bytes buf(static_cast<std::size_t>(hd.bytes) + 16);
            EXPECT_LE(ReadWaveFile(hd.h, buf.data(), static_cast<int32_t>(buf.size())), hd.bytes);
        }
        CloseReadWaveFile(hd.h);
    }
}

}  // namespace
