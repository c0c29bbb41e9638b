// vekconv to-sc4: modes, usage, unsupported input, and real speech through
// every mode and back with its signal-to-noise ratio.
// SPDX-License-Identifier: GPL-3.0-or-later
#include <cmath>

#include "vekconv_test.hpp"

namespace vekconv::testing {
namespace {

bool spAvailable(const fs::path& scratch) {
    writeFile(scratch / "probe.wav", wavImage(16, 1, 8000, toneData(100, 1, 8000)));
    const RunResult r = vekconv("to-sc4 --mode sp --yes '" + (scratch / "probe.wav").string() + "'");
    return r.status == 0;
}

TEST(VekconvToSc4, EachModeWritesItsSignature) {
    ScratchDir s("vekconv");
    const bool sp = spAvailable(s.path());
    struct Mode {
        const char* name;
        Bytes head;
    };
    for (const Mode& m : {Mode{"hq", {0, 0, 1, 0x1B, 0x1D}}, Mode{"shq", {0, 0, 1, 0x1B, 0x1A}},
                          Mode{"sp", {0x64, 0x6D, 0x72, 0x31, 0x64}}}) {
        if (std::string(m.name) == "sp" && !sp) continue;
        writeFile(s.path() / "t.wav", wavImage(16, 2, 22050, toneData(30000, 2, 22050)));
        const RunResult r = vekconv(std::string("to-sc4 --yes --mode ") + m.name + " '" + (s.path() / "t.wav").string() + "'");
        ASSERT_EQ(r.status, 0) << m.name << ": " << r.err;
        const Bytes f = readFile(s.path() / "t.sc4");
        ASSERT_GE(f.size(), 512u);
        EXPECT_EQ(f.size() % 512, 0u);
        EXPECT_EQ(Bytes(f.begin(), f.begin() + 5), m.head) << m.name;
    }
}

// A WAV file without samples: an empty SC4 file in every mode, written and
// counted (status 0, its path printed), with a note that it holds no audio.
TEST(VekconvToSc4, WavWithNoSamplesGivesAnEmptyRecordingAndANote) {
    ScratchDir s("vekconv");
    const bool sp = spAvailable(s.path());
    for (const char* mode : {"sp", "hq", "shq"}) {
        if (std::string(mode) == "sp" && !sp) continue;
        writeFile(s.path() / "e.wav", wavImage(16, 2, 22050, {}));
        const RunResult r = vekconv(std::string("to-sc4 --yes --mode ") + mode + " '" + (s.path() / "e.wav").string() + "'");
        EXPECT_EQ(r.status, 0) << mode << ": " << r.err;
        EXPECT_EQ(r.out, (s.path() / "e.sc4").string() + "\n");
        EXPECT_NE(r.err.find("is empty: its source holds no audio"), std::string::npos) << r.err;
        ASSERT_TRUE(fs::exists(s.path() / "e.sc4")) << mode;
        EXPECT_EQ(fs::file_size(s.path() / "e.sc4"), 0u) << mode;
    }
    // A file with samples gets no note.
    writeFile(s.path() / "t.wav", wavImage(16, 1, 8000, toneData(100, 1, 8000)));
    const RunResult r = vekconv("to-sc4 --yes --mode hq '" + (s.path() / "t.wav").string() + "'");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err.find("note"), std::string::npos) << r.err;
}

TEST(VekconvToSc4, UsageAndUnsupportedInput) {
    ScratchDir s("vekconv");
    EXPECT_EQ(vekconv("to-sc4 x.wav").status, 2);
    EXPECT_EQ(vekconv("to-sc4 --mode xq x.wav").status, 2);
    EXPECT_EQ(vekconv("to-sc4 --mode").status, 2);
    writeFile(s.path() / "quad.wav", wavImage(16, 4, 8000, Bytes(800, 0)));
    RunResult r = vekconv("to-sc4 --mode hq '" + (s.path() / "quad.wav").string() + "'");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("This file format is not supported! (quad.wav)\n(Can convert only PCM wav file.)"), std::string::npos)
        << r.err;
    writeFile(s.path() / "junk.wav", Bytes(300, 1));
    r = vekconv("to-sc4 --mode shq '" + (s.path() / "junk.wav").string() + "'");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Can not open file! (junk.wav)"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(s.path() / "junk.sc4"));
}

TEST(VekconvToSc4, ReadOnlyFolderGivesAWriteErrorAndNoFile) {
    ScratchDir s("vekconv");
    const auto prefix = unprivilegedPrefix();
    if (!prefix) GTEST_SKIP() << "cannot run as an unprivileged user here";
    fs::create_directories(s.path() / "ro");
    writeFile(s.path() / "ro" / "w.wav", wavImage(16, 1, 8000, toneData(9000, 1, 8000)));
    fs::permissions(s.path() / "ro", fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                       fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
    for (const char* mode : {"hq", "shq"}) {
        const RunResult r =
            vekconv(std::string("to-sc4 --mode ") + mode + " '" + (s.path() / "ro" / "w.wav").string() + "'", {}, *prefix);
        EXPECT_EQ(r.status, 1) << mode;
        EXPECT_NE(r.err.find("Write error! (w.sc4)"), std::string::npos) << r.err;
    }
    fs::permissions(s.path() / "ro", fs::perms::owner_all);
    EXPECT_FALSE(fs::exists(s.path() / "ro" / "w.sc4"));
}

TEST(VekconvToSc4, AReadOnlyTargetThatCannotBeReplacedStays) {
    ScratchDir s("vekconv");
    const auto prefix = unprivilegedPrefix();
    if (!prefix) GTEST_SKIP() << "cannot run as an unprivileged user here";
    // The folder lets anyone create and remove files; the old SC4 file in it
    // is read-only, so "replace" cannot open it.
    fs::create_directories(s.path() / "rw");
    fs::permissions(s.path() / "rw", fs::perms::all);
    writeFile(s.path() / "rw" / "w.wav", wavImage(16, 1, 8000, toneData(9000, 1, 8000)));
    const Bytes old = {1, 2, 3, 4};
    writeFile(s.path() / "rw" / "w.sc4", old);
    fs::permissions(s.path() / "rw" / "w.sc4", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    for (const char* mode : {"hq", "shq"}) {
        const RunResult r = vekconv(std::string("to-sc4 --yes --mode ") + mode + " '" + (s.path() / "rw" / "w.wav").string() + "'", {}, *prefix);
        EXPECT_EQ(r.status, 1) << mode;
        EXPECT_NE(r.err.find("Write error! (w.sc4)"), std::string::npos) << mode << ": " << r.err;
        EXPECT_EQ(readFile(s.path() / "rw" / "w.sc4"), old) << mode;
    }
}

// Linear interpolation to the codec rate: the reference the decoded speech
// is compared with, so the figure measures the codec round trip.
std::vector<double> resampleLinear(const std::vector<std::int16_t>& x, double ratio) {
    std::vector<double> y;
    for (std::size_t k = 0;; ++k) {
        const double t = static_cast<double>(k) * ratio;
        const auto j = static_cast<std::size_t>(t);
        if (j + 1 >= x.size()) break;
        y.push_back(x[j] + (x[j + 1] - x[j]) * (t - static_cast<double>(j)));
    }
    return y;
}

// Best SNR in dB over small lags of the decoded signal.
double snrDb(const std::vector<double>& ref, const std::vector<std::int16_t>& out, int maxLag) {
    double best = -1e9;
    for (int lag = 0; lag <= maxLag; ++lag) {
        double sig = 0, noise = 0;
        for (std::size_t i = 0; i < ref.size() && i + static_cast<std::size_t>(lag) < out.size(); ++i) {
            const double e = ref[i] - out[i + static_cast<std::size_t>(lag)];
            sig += ref[i] * ref[i];
            noise += e * e;
        }
        if (noise > 0) best = std::max(best, 10 * std::log10(sig / noise));
    }
    return best;
}

TEST(VekconvToSc4, RealSpeechThroughEveryModeAndBack) {
    if (std::system("command -v espeak-ng >/dev/null 2>&1") != 0) GTEST_SKIP() << "espeak-ng is not installed";
    ScratchDir s("vekconv");
    const fs::path orig = s.path() / "orig.wav";
    const std::string say = "espeak-ng -w '" + orig.string() +
                            "' 'The recorder keeps speech in its own voice file. Seven, eight, nine. "
                            "Please call me back tomorrow morning.' >/dev/null 2>&1";
    ASSERT_EQ(std::system(say.c_str()), 0);
    const Wav speech = readWav(orig);
    ASSERT_TRUE(speech.ok);
    ASSERT_EQ(speech.channels, 1);
    const bool sp = spAvailable(s.path());
    struct Mode {
        const char* name;
        double rate, minSnr;
        int lag;
    };
    for (const Mode& m : {Mode{"hq", 8000, 17.0, 0}, Mode{"shq", 11025, 19.0, 0}, Mode{"sp", 8000, 3.0, 80}}) {
        if (std::string(m.name) == "sp" && !sp) {
            std::cout << "[ SKIPPED ] sp: this build has no SP codec\n";
            continue;
        }
        const fs::path in = s.path() / (std::string(m.name) + ".wav");
        fs::copy_file(orig, in, fs::copy_options::overwrite_existing);
        RunResult r = vekconv(std::string("to-sc4 --yes --mode ") + m.name + " '" + in.string() + "'");
        ASSERT_EQ(r.status, 0) << r.err;
        r = vekconv("to-wav --yes '" + (s.path() / (std::string(m.name) + ".sc4")).string() + "'");
        ASSERT_EQ(r.status, 0) << r.err;
        const Wav back = readWav(in);
        ASSERT_TRUE(back.ok);
        EXPECT_EQ(back.rate, static_cast<std::uint32_t>(m.rate));
        const auto ref = resampleLinear(speech.samples, speech.rate / m.rate);
        ASSERT_GE(back.samples.size(), ref.size());
        const double snr = snrDb(ref, back.samples, m.lag);
        std::cout << "[ SNR     ] " << m.name << ": " << snr << " dB\n";
        EXPECT_GT(snr, m.minSnr) << m.name;
    }
}

}  // namespace
}  // namespace vekconv::testing
