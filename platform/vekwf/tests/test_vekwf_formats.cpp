// vekwf's other sound files: WriteAudioHeader against libsndfile reading the
// result, ReadAudioHeader against files libsndfile wrote, the Opus
// resampling arithmetic, and RIFF files staying with the WAV reader.
// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "vek/testsupport/files.hpp"
#include "vek/testsupport/fixtures.hpp"
#include "vek/testsupport/signals.hpp"
#include "vekwf.h"

namespace {

namespace ts = vek::testsupport;
using Samples = std::vector<std::int16_t>;

Samples readWithLibsndfile(const std::string& path, SF_INFO& info) {
    info = SF_INFO{};
    SNDFILE* sf = sf_open(path.c_str(), SFM_READ, &info);
    if (!sf) return {};
    Samples s(static_cast<std::size_t>(info.frames * info.channels));
    s.resize(static_cast<std::size_t>(sf_read_short(sf, s.data(), static_cast<sf_count_t>(s.size()))));
    sf_close(sf);
    return s;
}

bool writeAll(VekWaveHandle h, const Samples& s) {
    const auto b = ts::le16(s);
    return WriteWaveFile(h, b.data(), static_cast<int32_t>(b.size())) == static_cast<int32_t>(b.size());
}

class VekwfFormats : public ::testing::Test {
protected:
    std::string path(const std::string& name) const { return (m_scratch.path() / name).string(); }
    ts::ScratchDir m_scratch{"vekwf-formats"};
};

TEST_F(VekwfFormats, FlacWrittenAndReadBackExactlyBothWays) {
    const Samples speech = ts::speechLike(20000, 4);
    ASSERT_EQ(AudioFormatAvailable(kVekAudioFlac, 8000), 1);
    const VekWaveHandle h = WriteAudioHeader(path("a.flac").c_str(), 16, 1, 8000, kVekAudioFlac);
    ASSERT_NE(h, 0);
    ASSERT_TRUE(writeAll(h, speech));
    ASSERT_EQ(CloseWriteWaveFile(h), 1);
    SF_INFO info;
    EXPECT_EQ(readWithLibsndfile(path("a.flac"), info), speech);
    EXPECT_EQ(info.format, SF_FORMAT_FLAC | SF_FORMAT_PCM_16);
    EXPECT_EQ(info.samplerate, 8000);

    // A stereo AIFF from libsndfile, read by ReadAudioHeader as 16-bit PCM.
    Samples stereo;
    for (std::size_t i = 0; i < 5000; ++i) stereo.push_back(static_cast<std::int16_t>(speech[i] ^ (i & 1 ? 0x55 : 0)));
    SF_INFO w{};
    w.samplerate = 22050;
    w.channels = 2;
    w.format = SF_FORMAT_AIFF | SF_FORMAT_PCM_16;
    SNDFILE* sf = sf_open(path("b.aiff").c_str(), SFM_WRITE, &w);
    ASSERT_NE(sf, nullptr);
    sf_write_short(sf, stereo.data(), static_cast<sf_count_t>(stereo.size()));
    sf_close(sf);
    int16_t bits = 0, ch = 0, tag = 0;
    int32_t rate = 0, bytes = 0;
    const VekWaveHandle r = ReadAudioHeader(path("b.aiff").c_str(), &bits, &ch, &rate, &bytes, &tag);
    ASSERT_NE(r, 0);
    EXPECT_EQ(bits, 16);
    EXPECT_EQ(ch, 2);
    EXPECT_EQ(rate, 22050);
    EXPECT_EQ(tag, 1);
    ASSERT_EQ(bytes, 10000);
    std::vector<std::uint8_t> got(10002, 0xAA);
    // Past the data the buffer is zeroed, as ReadWaveFile does for WAV.
    EXPECT_EQ(ReadWaveFile(r, got.data(), 10002), 10000);
    EXPECT_EQ(got[10000], 0);
    got.resize(10000);
    EXPECT_EQ(ts::samples16(got), stereo);
    CloseReadWaveFile(r);
}

TEST_F(VekwfFormats, RiffFilesKeepTheWaveReadersVerdicts) {
    // An overrunning data chunk is refused by the WAV reader; through
    // ReadAudioHeader too, although libsndfile alone would open it.
    ts::WavLayout layout;
    layout.dataSizeOverride = 100000;
    ASSERT_TRUE(ts::writeFile(path("over.wav"), ts::makeWav(layout, ts::Bytes(800, 1))));
    EXPECT_EQ(ReadAudioHeader(path("over.wav").c_str(), nullptr, nullptr, nullptr, nullptr, nullptr), 0);
    // A compressed WAV keeps its own tag (here 2, MS ADPCM) instead of being
    // decoded.
    layout = ts::WavLayout{};
    layout.tag = 2;
    layout.bits = 4;
    ASSERT_TRUE(ts::writeFile(path("adpcm.wav"), ts::makeWav(layout, ts::Bytes(512, 0))));
    int16_t tag = 0;
    const VekWaveHandle h = ReadAudioHeader(path("adpcm.wav").c_str(), nullptr, nullptr, nullptr, nullptr, &tag);
    if (h) {
        EXPECT_EQ(tag, 2);
    }
    CloseReadWaveFile(h);
    // Garbage and an empty file open as nothing.
    ASSERT_TRUE(ts::writeFile(path("x.flac"), ts::Bytes{'f', 'L', 'a', 'C', 0, 0}));
    ASSERT_TRUE(ts::writeFile(path("e.ogg"), ts::Bytes{}));
    EXPECT_EQ(ReadAudioHeader(path("x.flac").c_str(), nullptr, nullptr, nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(ReadAudioHeader(path("e.ogg").c_str(), nullptr, nullptr, nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(ReadAudioHeader(path("none.mp3").c_str(), nullptr, nullptr, nullptr, nullptr, nullptr), 0);
}

TEST_F(VekwfFormats, OpusRatesAndTheStreamingInterpolation) {
    EXPECT_EQ(AudioFormatRate(kVekAudioOpus, 8000), 8000);
    EXPECT_EQ(AudioFormatRate(kVekAudioOpus, 11025), 12000);
    EXPECT_EQ(AudioFormatRate(kVekAudioOpus, 22050), 24000);
    EXPECT_EQ(AudioFormatRate(kVekAudioOpus, 96000), 48000);
    EXPECT_EQ(AudioFormatRate(kVekAudioFlac, 11025), 11025);
    EXPECT_EQ(AudioFormatRate(kVekAudioMp3, 11025), 11025);
    // Unknown kinds are never available, nor written.
    EXPECT_EQ(AudioFormatAvailable(9, 8000), 0);
    EXPECT_EQ(WriteAudioHeader(path("k.x").c_str(), 16, 1, 8000, 9), 0);
    EXPECT_EQ(WriteAudioHeader(path("k.flac").c_str(), 8, 1, 8000, kVekAudioFlac), 0);
    if (!AudioFormatAvailable(kVekAudioOpus, 11025)) GTEST_SKIP() << "no Opus encoder in this libsndfile";

    // A 350 Hz tone written in uneven pieces: the 12000 Hz file holds the
    // interpolated tone (Opus is lossy, so it is compared loosely) and
    // ceil(n * 12000 / 11025) samples.
    const std::size_t n = 11025 * 2;
    Samples ramp(n);
    for (std::size_t i = 0; i < n; ++i) ramp[i] = static_cast<std::int16_t>(8000.0 * std::sin(i * 0.2));
    const VekWaveHandle h = WriteAudioHeader(path("r.opus").c_str(), 16, 1, 11025, kVekAudioOpus);
    ASSERT_NE(h, 0);
    const auto b = ts::le16(ramp);
    for (std::size_t at = 0; at < b.size();) {
        const std::size_t piece = std::min<std::size_t>(b.size() - at, 2 * (1 + at % 3001));
        ASSERT_EQ(WriteWaveFile(h, b.data() + at, static_cast<int32_t>(piece)), static_cast<int32_t>(piece));
        at += piece;
    }
    ASSERT_EQ(CloseWriteWaveFile(h), 1);
    SF_INFO info;
    const Samples s = readWithLibsndfile(path("r.opus"), info);
    EXPECT_EQ(info.samplerate, 12000);
    EXPECT_EQ(info.format, SF_FORMAT_OGG | SF_FORMAT_OPUS);
    EXPECT_EQ(static_cast<std::size_t>(info.frames), (n * 12000 + 11024) / 11025);
    Samples ref;
    for (std::size_t k = 0; k + 1 < s.size(); ++k) {
        const double t = static_cast<double>(k) * 11025.0 / 12000.0;
        const auto j = static_cast<std::size_t>(t);
        if (j + 1 >= n) break;
        ref.push_back(static_cast<std::int16_t>(std::lround(ramp[j] + (ramp[j + 1] - ramp[j]) * (t - j))));
    }
    EXPECT_GT(ts::segmentalSnr(ref, s), 20.0);
    // Stereo input at a rate Opus lacks is refused rather than resampled.
    EXPECT_EQ(WriteAudioHeader(path("s.opus").c_str(), 16, 2, 11025, kVekAudioOpus), 0);
}

}  // namespace
