// vekconv with sound files other than WAV: to-wav --format and to-sc4 from
// FLAC, Ogg Vorbis, Opus and MP3. The compressed files are made and decoded
// through vekwf (libsndfile); the lossy kinds are judged by the same
// segmental SNR as the WAV path.
// SPDX-License-Identifier: GPL-3.0-or-later
#include <algorithm>
#include <cmath>
#include <map>

#include "vekconv_test.hpp"
#include "vekwf.h"

namespace vekconv::testing {
namespace {

// How many dB of segmental SNR a kind may lose against WAV on the speech
// signal. Vorbis at its best quality stays within 1 dB. MP3 (constant
// bit rate, the most MPEG 2/2.5 allows) and Opus (about 250 kbit/s, coding
// 8 kHz input in its narrow band) keep the sound but not the waveform as
// closely: they lose about 1.2 and 1.8 dB.
struct Kind {
    const char* ext;
    int32_t code;
    bool lossless;
    double tolerance;
};
const Kind kKinds[] = {{"flac", kVekAudioFlac, true, 0.0},
                       {"ogg", kVekAudioOgg, false, 1.0},
                       {"opus", kVekAudioOpus, false, 2.5},
                       {"mp3", kVekAudioMp3, false, 1.5}};

bool writeSound(const fs::path& p, const Samples& s, int32_t rate, int32_t kind, int channels = 1) {
    const VekWaveHandle h = WriteAudioHeader(p.c_str(), 16, channels, rate, kind);
    if (!h) return false;
    const Bytes b = le16(s);
    const bool wrote = WriteWaveFile(h, b.data(), static_cast<int32_t>(b.size())) == static_cast<int32_t>(b.size());
    return CloseWriteWaveFile(h) == 1 && wrote;
}

// The mono samples of any sound file; *rate its rate. Empty when unreadable.
Samples decodeSound(const fs::path& p, int32_t* rate = nullptr) {
    int16_t bits = 0, channels = 0, tag = 0;
    int32_t r = 0, bytes = 0;
    const VekWaveHandle h = ReadAudioHeader(p.c_str(), &bits, &channels, &r, &bytes, &tag);
    if (!h) return {};
    Bytes b(static_cast<std::size_t>(bytes));
    const int32_t got = bytes > 0 ? ReadWaveFile(h, b.data(), bytes) : 0;
    CloseReadWaveFile(h);
    EXPECT_EQ(tag, 1);
    EXPECT_EQ(channels, 1);
    b.resize(static_cast<std::size_t>(std::max(got, 0)));
    if (rate) *rate = r;
    return samples16(b);
}

// The lag (0 .. 4000 samples) at which test best matches ref: MP3 encoders
// put a delay of their own in front of the audio.
std::size_t bestLag(const Samples& ref, const Samples& test) {
    std::size_t best = 0;
    double top = -2;
    for (std::size_t d = 0; d <= 4000 && d + 1000 < test.size(); d += 1) {
        const double c = correlation(ref, test, d);
        if (c > top) top = c, best = d;
    }
    return best;
}

double snrOf(const Samples& ref, const Samples& test) { return segmentalSnr(ref, test, bestLag(ref, test)); }

// Linear interpolation from one rate to another, written here from the
// formula (s[j] + (s[j+1] - s[j]) * f at t = k * from / to) as a reference.
Samples interpolate(const Samples& s, int from, int to) {
    Samples out;
    for (std::int64_t k = 0;; ++k) {
        const std::int64_t j = k * from / to;
        if (j + 1 >= static_cast<std::int64_t>(s.size())) break;
        const double f = static_cast<double>(k * from % to) / to;
        out.push_back(static_cast<std::int16_t>(std::lround(s[j] + (s[j + 1] - s[j]) * f)));
    }
    return out;
}

class Formats : public CliTest {
protected:
    void SetUp() override {
        CliTest::SetUp();
        for (const Kind& k : kKinds)
            if (!AudioFormatAvailable(k.code, 8000) || !AudioFormatAvailable(k.code, 11025))
                GTEST_SKIP() << "this libsndfile cannot write " << k.ext;
    }
    Samples sc4Samples(const std::string& sc4) {
        const RunResult r = run("to-wav -y " + sc4);
        EXPECT_EQ(r.status, 0) << r.err;
        const std::string wav = sc4.substr(0, sc4.size() - 3) + "wav";
        return wavSamples(read(wav));
    }
};

TEST_F(Formats, EveryKindConvertsToSc4AsWellAsWav) {
    const Samples speech = speechLike(8000 * 4, 7);
    for (const char* mode : {"hq", "sp"}) {
        write("in_wav.wav", wav16(speech, 8000));
        for (const Kind& k : kKinds)
            ASSERT_TRUE(writeSound(m_dir / (std::string("in_") + k.ext + "." + k.ext), speech, 8000, k.code)) << k.ext;
        const RunResult r = run(std::string("to-sc4 -y --mode ") + mode +
                                " in_wav.wav in_flac.flac in_ogg.ogg in_opus.opus in_mp3.mp3");
        if (r.status != 0 && r.err.find("no SP codec") != std::string::npos) continue;
        ASSERT_EQ(r.status, 0) << mode << ": " << r.err;
        const Bytes wavSc4 = read("in_wav.sc4");
        ASSERT_GT(wavSc4.size(), 1000u);
        // The target keeps the stem: in_flac.flac -> in_flac.sc4.
        EXPECT_EQ(read("in_flac.sc4"), wavSc4) << mode << ": lossless input, other bytes";
        // The SP codec delays its output: every kind is judged at its best lag.
        const double wavSnr = snrOf(speech, sc4Samples("in_wav.sc4"));
        // The SP codec models the voice rather than the waveform.
        EXPECT_GT(wavSnr, std::string(mode) == "sp" ? 3.0 : 10.0) << mode;
        for (const Kind& k : kKinds) {
            if (k.lossless) continue;
            const double snr = snrOf(speech, sc4Samples(std::string("in_") + k.ext + ".sc4"));
            EXPECT_NEAR(snr, wavSnr, k.tolerance) << mode << " " << k.ext;
        }
    }
}

TEST_F(Formats, ToWavWritesEveryKindAsCloseAsWav) {
    for (const bool shq : {false, true}) {
        const int rate = shq ? 11025 : 8000;
        const Samples speech = speechLike(static_cast<std::size_t>(rate) * 4, 3);
        write("m.sc4", adpcmSc4FromPcm(speech, shq));
        RunResult r = run("to-wav -y m.sc4");
        ASSERT_EQ(r.status, 0) << r.err;
        const Bytes wavBytes = read("m.wav");
        // The default is WAV: --format wav writes the same bytes.
        r = run("to-wav -y --format=wav m.sc4");
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(read("m.wav"), wavBytes);
        const Samples wav = wavSamples(wavBytes);
        const double wavSnr = segmentalSnr(speech, wav);
        EXPECT_GT(wavSnr, 10.0);
        for (const Kind& k : kKinds) {
            r = run(std::string("to-wav -y --format ") + k.ext + " m.sc4");
            ASSERT_EQ(r.status, 0) << k.ext << ": " << r.err;
            EXPECT_EQ(r.out, std::string("./m.") + k.ext + "\n");
            int32_t got = 0;
            const Samples s = decodeSound(m_dir / (std::string("m.") + k.ext), &got);
            if (k.lossless) {
                EXPECT_EQ(got, rate);
                EXPECT_EQ(s, wav) << "FLAC is lossless";
            } else if (k.code == kVekAudioOpus && shq) {
                // Opus has no 11025 Hz: written at 12000 Hz, so it is judged
                // against the original and the WAV both taken to 12000 Hz.
                ASSERT_EQ(got, 12000);
                EXPECT_NEAR(static_cast<double>(s.size()), wav.size() * 12000.0 / 11025.0, 1000.0);
                const Samples ref = interpolate(speech, 11025, 12000);
                EXPECT_NEAR(snrOf(ref, s), segmentalSnr(ref, interpolate(wav, 11025, 12000)), k.tolerance);
            } else {
                EXPECT_EQ(got, rate) << k.ext;
                EXPECT_NEAR(snrOf(speech, s), wavSnr, k.tolerance) << k.ext << (shq ? " shq" : " hq");
            }
        }
        // Nothing but the targets beside the source.
        EXPECT_EQ(listing(), (std::vector<std::string>{"m.flac", "m.mp3", "m.ogg", "m.opus", "m.sc4", "m.wav"}));
        for (const char* e : {"m.flac", "m.mp3", "m.ogg", "m.opus", "m.wav"}) fs::remove(m_dir / e);
    }
}

TEST_F(Formats, WavKindsAndTheirFlacGiveTheSameSc4Bytes) {
    // Each WAV layout the conversion way knows (and the direct way), against
    // a FLAC file of the same 16-bit samples: the decoded input takes the
    // unchanged path, so the bytes agree.
    const Samples mono = speechLike(30000, 11);
    Samples stereo;
    for (std::size_t i = 0; i < mono.size(); ++i) {
        stereo.push_back(mono[i]);
        stereo.push_back(static_cast<std::int16_t>(-mono[i] / 3 + 1));
    }
    Bytes eight;
    Samples widened;
    for (std::size_t i = 0; i < mono.size(); ++i) {
        eight.push_back(static_cast<std::uint8_t>((mono[i] >> 8) + 128));
        widened.push_back(static_cast<std::int16_t>((eight.back() - 128) * 256));
    }
    struct Case {
        const char* name;
        Bytes wav;
        Samples flac;
        int32_t rate;
        int channels;
        const char* mode;
    };
    const Case cases[] = {
        {"direct", wav16(mono, 8000), mono, 8000, 1, "hq"},
        {"shqdirect", wav16(mono, 11025), mono, 11025, 1, "shq"},
        {"stereo44", wav16(stereo, 44100, 2), stereo, 44100, 2, "hq"},
        {"stereo16k", wav16(stereo, 16000, 2), stereo, 16000, 2, "shq"},
        {"eightbit", wavImage(8, 1, 22050, eight), widened, 22050, 1, "hq"},
    };
    for (const Case& c : cases) {
        write(std::string(c.name) + ".wav", c.wav);
        ASSERT_TRUE(writeSound(m_dir / (std::string(c.name) + "_f.flac"), c.flac, c.rate, kVekAudioFlac, c.channels));
        const RunResult r =
            run(std::string("to-sc4 -y --mode ") + c.mode + " " + c.name + ".wav " + c.name + "_f.flac");
        ASSERT_EQ(r.status, 0) << c.name << ": " << r.err;
        const Bytes fromWav = read(std::string(c.name) + ".sc4");
        EXPECT_GT(fromWav.size(), 512u) << c.name;
        EXPECT_EQ(read(std::string(c.name) + "_f.sc4"), fromWav) << c.name;
    }
}

TEST_F(Formats, BrokenCompressedFilesFailCleanly) {
    const Samples speech = speechLike(8000 * 3, 5);
    std::map<std::string, Bytes> whole;
    for (const Kind& k : kKinds) {
        const fs::path p = m_dir / (std::string("w.") + k.ext);
        ASSERT_TRUE(writeSound(p, speech, 8000, k.code));
        whole[k.ext] = read(p.filename().string());
        fs::remove(p);
    }
    auto cut = [&](const char* ext) {
        const Bytes& b = whole[ext];
        return Bytes(b.begin(), b.begin() + static_cast<long>(b.size() / 2));
    };
    write("cut.flac", cut("flac"));  // states its length, holds half
    write("cut.mp3", cut("mp3"));    // Xing header claims the whole
    write("head.ogg", Bytes(whole["ogg"].begin(), whole["ogg"].begin() + 60));
    write("junk.opus", randomBytes(5000, 2));
    write("empty.flac", {});
    write("text.mp3", Bytes{'h', 'e', 'l', 'l', 'o'});
    const auto before = listing();
    const RunResult r = run("to-sc4 -y --mode hq cut.flac cut.mp3 head.ogg junk.opus empty.flac text.mp3");
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find("Read error! (cut.flac)"), std::string::npos) << r.err;
    for (const char* n : {"head.ogg", "junk.opus", "empty.flac", "text.mp3"})
        EXPECT_NE(r.err.find(std::string("Can not open file! (") + n + ")"), std::string::npos) << n << "\n" << r.err;
    // An MP3 file's length is what decodes: a cut one converts what is left
    // (as a player plays it); nothing else is left behind.
    EXPECT_EQ(r.out, "./cut.sc4\n");
    auto after = listing();
    after.erase(std::remove(after.begin(), after.end(), "cut.sc4"), after.end());
    EXPECT_EQ(after, before);
}

TEST_F(Formats, Mp3WithoutALengthHeaderConvertsWhole) {
    // A constant-bit-rate MP3 without a Xing header, as ffmpeg writes it with
    // -write_xing 0 (behind an ID3 tag): the length libsndfile estimates for
    // it is longer than what decodes, which must not read as a read error.
    if (!fs::exists("/usr/bin/ffmpeg")) GTEST_SKIP() << "ffmpeg is missing";
    const Samples speech = speechLike(8000 * 3, 9);
    write("w.wav", wav16(speech, 8000));
    const RunResult ff = runProgram(
        "/usr/bin/ffmpeg", "-v error -nostdin -y -i w.wav -c:a libmp3lame -b:a 32k -write_xing 0 bare.mp3", m_dir);
    if (ff.status != 0) GTEST_SKIP() << "ffmpeg cannot write MP3: " << ff.err;
    const RunResult r = run("to-sc4 -y --mode hq bare.mp3");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "./bare.sc4\n");
    // About the whole recording: within a few frames of the WAV's length.
    const Samples s = sc4Samples("bare.sc4");
    EXPECT_NEAR(static_cast<double>(s.size()), static_cast<double>(speech.size()), 3 * 3944.0);
}

TEST_F(Formats, OptionErrorsAndMoreThanTwoChannels) {
    write("m.sc4", adpcmSc4FromPcm(speechLike(4000, 1), false));
    RunResult r = run("to-wav --format aac m.sc4");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("unknown format 'aac'"), std::string::npos) << r.err;
    r = run("to-wav m.sc4 --format");
    EXPECT_EQ(r.status, 2);
    EXPECT_FALSE(exists("m.wav"));
    // to-sc4 has no --format.
    r = run("to-sc4 --mode hq --format flac m.sc4");
    EXPECT_EQ(r.status, 2);
    // Four channels: the file opens, but the job converts mono and stereo only.
    const Samples quad(4 * 8000, 100);
    ASSERT_TRUE(writeSound(m_dir / "quad.flac", quad, 8000, kVekAudioFlac, 4));
    write("notes.txt", Bytes{'x'});
    r = run("to-sc4 --mode hq quad.flac notes.txt");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(
        r.err.find("This file format is not supported! (quad.flac)\n(Can convert only mono or stereo sound files.)"),
        std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("not a .wav or other sound file"), std::string::npos) << r.err;
    EXPECT_FALSE(exists("quad.sc4"));
}

}  // namespace
}  // namespace vekconv::testing
