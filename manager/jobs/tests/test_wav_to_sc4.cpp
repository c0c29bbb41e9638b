// The WAV-to-SC4 job: exact output bytes against a straightforward model of
// widening, mixing, resampling, encoding and packing; every failure row;
// replace, cancel and empty data.
// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

#include <sys/stat.h>

#include "fakes.hpp"
#include "vek/codec/adpcm.hpp"
#include "vek/codec/bytestream.hpp"
#include "vek/codec/sc4.hpp"

namespace vek::jobs::test {
namespace {

namespace fs = std::filesystem;

struct Input {
    int bits, channels;
    std::uint32_t rate;
    Bytes data;
};

double halfEven(double v) {
    const double r = std::floor(v);
    const double d = v - r;
    if (d > 0.5) return r + 1;
    if (d < 0.5) return r;
    return std::fmod(r, 2.0) == 0 ? r : r + 1;
}

// The PCM stream the encoder must receive, block after block, computed the
// plain way: the whole file as a vector of ints, each step a separate pass.
std::vector<std::int16_t> modelCodecInput(const Input& in, std::uint8_t mode) {
    const std::size_t n = mode == kModeSP ? 4000 : 3944;
    const std::uint32_t codecRate = mode == kModeSHQ ? 11025 : 8000;
    std::vector<std::int16_t> out;
    if (in.bits == 16 && in.channels == 1 && in.rate == codecRate) {
        out = samples16(in.data);
        if (in.data.size() % 2) out.push_back(static_cast<std::int16_t>(in.data.back()));  // low byte, high byte 0
        out.resize((out.size() + n - 1) / n * n, 0);
        return out;
    }
    std::vector<int> s;
    if (in.bits == 8)
        for (std::uint8_t b : in.data) s.push_back((b - 128) * 256);
    else
        for (std::int16_t v : samples16(in.data)) s.push_back(v);
    if (in.channels == 2) {
        std::vector<int> mono;
        for (std::size_t i = 0; i + 1 < s.size(); i += 2) mono.push_back((s[i] + s[i + 1]) >> 1);
        s = mono;
    }
    const std::size_t N = s.size();
    const double r = static_cast<double>(in.rate) / codecRate;
    const std::uint64_t len = 2 * N;
    std::uint64_t position = 0;
    std::uint64_t k = 0;
    while (position < len) {
        std::uint64_t lastJ = 0;
        bool ended = false;
        for (std::size_t i = 0; i < n; ++i, ++k) {
            if (ended) {
                out.push_back(0);
                continue;
            }
            const double t = static_cast<double>(k) * r;
            const auto j = static_cast<std::uint64_t>(t);
            const double f = t - static_cast<double>(j);
            if (j + 1 < N) {
                out.push_back(static_cast<std::int16_t>(halfEven(s[j] + (s[j + 1] - s[j]) * f)));
                lastJ = j;
            } else {
                const double a = j < N ? s[j] : 0;
                out.push_back(static_cast<std::int16_t>(halfEven(a - a * f)));
                ended = true;
            }
        }
        position = ended ? len : (lastJ + 1) * 2;
    }
    return out;
}

Bytes modelSc4(const Input& in, std::uint8_t mode) {
    const auto pcm = le16(modelCodecInput(in, mode));
    if (mode == kModeSP) {
        Bytes file;
        for (std::size_t off = 0; off < pcm.size(); off += 8000) {
            const Bytes s = fakeSpSector(pcm.data() + off);
            file.insert(file.end(), s.begin(), s.end());
        }
        return file;
    }
    AdpcmCodec codec;
    Bytes frames(pcm.size() / 4);
    for (std::size_t off = 0; off < pcm.size(); off += 7888) codec.encode(pcm.data() + off, 7888, frames.data() + off / 4);
    MemorySource src(frames.data(), frames.size());
    MemorySink sink;
    EXPECT_TRUE(adpcmToSc4(src, sink, mode == kModeSHQ));
    return sink.bytes();
}

Bytes tone(std::size_t samples, int channels, int bits, double rate) {
    Bytes b;
    for (std::size_t i = 0; i < samples; ++i)
        for (int c = 0; c < channels; ++c) {
            const double t = static_cast<double>(i) / rate;
            const double v = 0.6 * std::sin(2 * M_PI * (300 + 200 * c) * t) + 0.3 * std::sin(2 * M_PI * 2900 * t);
            if (bits == 8) {
                b.push_back(static_cast<std::uint8_t>(std::lround(128 + 127 * v)));
            } else {
                const auto s = static_cast<std::int16_t>(std::lround(32000 * v));
                b.push_back(static_cast<std::uint8_t>(static_cast<std::uint16_t>(s) & 0xFF));
                b.push_back(static_cast<std::uint8_t>(static_cast<std::uint16_t>(s) >> 8));
            }
        }
    return b;
}

class WavToSc4 : public ::testing::Test, public JobFixture {
protected:
    fs::path list(const std::string& name) const { return dir / "list" / name; }
    void put(const std::string& name, const Input& in) { writeFile(list(name), wavImage(in.bits, in.channels, in.rate, in.data)); }
};

TEST_F(WavToSc4, EveryWayAndModeMatchesTheModelByteForByte) {
    struct Case {
        const char* name;
        std::uint8_t mode;
        Input in;
        bool direct;
    };
    Bytes eight = tone(5000, 1, 8, 8000);
    eight[0] = 0x80;
    eight[1] = 0x00;
    eight[2] = 0xFF;
    const Case cases[] = {
        {"d_whole.wav", kModeHQ, {16, 1, 8000, tone(3944 * 2, 1, 16, 8000)}, true},
        {"d_part.wav", kModeHQ, {16, 1, 8000, tone(10000, 1, 16, 8000)}, true},
        {"d_shq.wav", kModeSHQ, {16, 1, 11025, tone(9000, 1, 16, 11025)}, true},
        {"d_sp.wav", kModeSP, {16, 1, 8000, tone(9000, 1, 16, 8000)}, true},
        {"up.wav", kModeSHQ, {16, 1, 8000, tone(6000, 1, 16, 8000)}, false},
        {"st44.wav", kModeHQ, {16, 2, 44100, tone(30000, 2, 16, 44100)}, false},
        {"st44sp.wav", kModeSP, {16, 2, 44100, tone(30000, 2, 16, 44100)}, false},
        {"e8.wav", kModeHQ, {8, 1, 8000, eight}, false},
        {"e8st.wav", kModeSHQ, {8, 2, 22050, tone(12001, 2, 8, 22050)}, false},
        {"m16shq.wav", kModeSHQ, {16, 1, 16000, tone(7777, 1, 16, 16000)}, false},
    };
    for (const Case& c : cases) {
        put(c.name, c.in);
        ui.busy.clear();
        codecs.inputLengths.clear();
        runWavToSc4(c.mode, {c.name});
        const std::string target = std::string(c.name).substr(0, std::strlen(c.name) - 3) + "sc4";
        EXPECT_EQ(readFile(list(target)), modelSc4(c.in, c.mode)) << c.name;
        const std::vector<bool> busyExpected = c.direct ? std::vector<bool>() : std::vector<bool>({true, false});
        EXPECT_EQ(ui.busy, busyExpected) << c.name;
        for (auto l : codecs.inputLengths) EXPECT_EQ(l, c.mode == kModeSP ? 8000u : 7888u) << c.name;
        EXPECT_EQ(ui.gauge.back(), 100) << c.name;
    }
    EXPECT_EQ(state.ConvertedCount, static_cast<int>(std::size(cases)));
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_TRUE(tempDirEmpty());
}

TEST_F(WavToSc4, WideningMixingAndTheFadeGiveTheDocumentedSamples) {
    put("w8.wav", {8, 1, 8000, {0x80, 0x00, 0xFF}});
    runWavToSc4(kModeSP, {"w8.wav"});
    ASSERT_EQ(codecs.inputs.size(), 1u);
    auto s = samples16(codecs.inputs[0]);
    ASSERT_EQ(s.size(), 4000u);
    // 0x80 -> 0, 0x00 -> -32768, 0xFF -> 32512 (the last sample fades with
    // f = 0, so it stays), then zeros.
    EXPECT_EQ(std::vector<std::int16_t>(s.begin(), s.begin() + 4), (std::vector<std::int16_t>{0, -32768, 32512, 0}));
    EXPECT_TRUE(std::all_of(s.begin() + 3, s.end(), [](std::int16_t v) { return v == 0; }));

    codecs.inputs.clear();
    put("st.wav", {16, 2, 8000, le16({-3, 0, 3, 0, 100, 101, 7, 7})});
    runWavToSc4(kModeSP, {"st.wav"});
    ASSERT_EQ(codecs.inputs.size(), 1u);
    s = samples16(codecs.inputs[0]);
    EXPECT_EQ(std::vector<std::int16_t>(s.begin(), s.begin() + 5), (std::vector<std::int16_t>{-2, 1, 100, 7, 0}));
}

TEST_F(WavToSc4, EmptyDataCallsNoEncoderAndStillWritesTheContainer) {
    put("z.wav", {16, 1, 8000, {}});
    runWavToSc4(kModeSP, {"z.wav"});
    EXPECT_TRUE(fs::exists(list("z.sc4")));
    EXPECT_EQ(fs::file_size(list("z.sc4")), 0u);
    runWavToSc4(kModeSHQ, {"z.wav"});
    Bytes none;
    MemorySource src(none.data(), 0);
    MemorySink sink;
    adpcmToSc4(src, sink, true);
    EXPECT_EQ(readFile(list("z.sc4")), sink.bytes());
    EXPECT_TRUE(codecs.inputs.empty());
    EXPECT_EQ(state.ConvertedCount, 2);
    EXPECT_TRUE(tempDirEmpty());
}

TEST_F(WavToSc4, HeaderFailuresGiveTheirMessagesAndSkipOthersSilently) {
    writeFile(list("garbage.wav"), Bytes(100, 0x33));
    writeFile(list("ulaw.wav"), wavImage(8, 1, 8000, Bytes(100, 0xFF), 7));
    put("quad.wav", {16, 4, 8000, Bytes(800, 1)});
    writeFile(list("x.txt"), {});
    fs::create_directory(list("dir.wav"));
    runWavToSc4(kModeHQ, {"x.txt", "dir.wav", "missing.wav", "garbage.wav", "ulaw.wav", "quad.wav"});
    ASSERT_EQ(ui.boxes.size(), 3u);
    EXPECT_EQ(ui.boxes[0].text, "Can not open file! (garbage.wav)");
    EXPECT_EQ(ui.boxes[1].text, "This file format is not supported! (ulaw.wav)\r(Can convert only PCM wav file.)");
    EXPECT_EQ(ui.boxes[2].text, "This file format is not supported! (quad.wav)\r(Can convert only PCM wav file.)");
    for (const auto& b : ui.boxes) {
        EXPECT_EQ(b.icon, MessageIcon::Warning);
        EXPECT_EQ(b.caption, "voice lumo manager");
    }
    EXPECT_EQ(main.fgCalls, 3);
    EXPECT_EQ(state.ConvertedCount, 0);
    EXPECT_FALSE(fs::exists(list("ulaw.sc4")));
}

TEST_F(WavToSc4, NegativeLengthIsSkippedSilentlyAndZeroRateRefused) {
    ScriptedWave scripted;
    wave = &scripted;
    writeFile(list("n.wav"), {});
    scripted.header = {16, 1, 8000, -4, 1};
    runWavToSc4(kModeHQ, {"n.wav"});
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_EQ(scripted.closes, 1);
    EXPECT_FALSE(fs::exists(list("n.sc4")));

    scripted.header = {16, 1, 0, 1000, 1};
    runWavToSc4(kModeHQ, {"n.wav"});
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "Can not open file! (n.wav)");
    EXPECT_EQ(scripted.closes, 2);
    EXPECT_TRUE(codecs.inputs.empty());

    // Widths the check lets through are taken as 16-bit, other channel
    // counts as mono; the job must stay within its buffers whatever the
    // header says.
    scripted.header = {24, 3, 12000, 999, 1};
    runWavToSc4(kModeSP, {"n.wav"});
    EXPECT_EQ(state.ConvertedCount, 1);
    EXPECT_EQ(fs::file_size(list("n.sc4")), 512u);
}

TEST_F(WavToSc4, EncoderFailuresFollowTheirRows) {
    put("a.wav", {16, 1, 8000, tone(20000, 1, 16, 8000)});
    codecs.spInitResult = 0;
    runWavToSc4(kModeSP, {"a.wav"});
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "Encoding error!");
    EXPECT_EQ(ui.boxes[0].icon, MessageIcon::Error);
    EXPECT_FALSE(fs::exists(list("a.sc4")));
    codecs.spInitResult = 1;

    // A call returning 0: message, the file ends with what was encoded and
    // counts.
    codecs.failBlocks = {2};
    runWavToSc4(kModeSP, {"a.wav"});
    ASSERT_EQ(ui.boxes.size(), 2u);
    EXPECT_EQ(ui.boxes[1].text, "Encoding error! (a.sc4)");
    EXPECT_EQ(ui.boxes[1].icon, MessageIcon::Error);
    EXPECT_EQ(fs::file_size(list("a.sc4")), 2u * 512u);
    EXPECT_EQ(state.ConvertedCount, 1);

    // A raising call: a zeroed output block, and the file goes on.
    codecs.failBlocks = {};
    codecs.throwBlocks = {1};
    runWavToSc4(kModeHQ, {"a.wav"});
    EXPECT_EQ(ui.boxes.size(), 2u);
    EXPECT_EQ(state.ConvertedCount, 2);
    const Bytes sc4 = readFile(list("a.sc4"));
    MemorySource in(sc4.data(), sc4.size());
    MemorySink frames;
    ASSERT_TRUE(sc4ToAdpcm(in, frames));
    ASSERT_GE(frames.bytes().size(), 3u * 1972u);
    EXPECT_EQ(Bytes(frames.bytes().begin() + 1972, frames.bytes().begin() + 2 * 1972), Bytes(1972, 0));
    EXPECT_NE(Bytes(frames.bytes().begin() + 2 * 1972, frames.bytes().begin() + 3 * 1972), Bytes(1972, 0));
    EXPECT_TRUE(tempDirEmpty());
}

TEST_F(WavToSc4, ReplaceQuestionAndEarlyTruncationOfAnSpTarget) {
    put("r.wav", {16, 1, 8000, tone(8000, 1, 16, 8000)});
    writeFile(list("r.sc4"), Bytes{9, 9, 9});
    ui.answers = {false};
    runWavToSc4(kModeSP, {"r.wav"});
    ASSERT_EQ(ui.questions.size(), 1u);
    EXPECT_EQ(ui.questions[0].text,
              "This folder already contains a file named 'r.sc4'.\rWould you like to replace the existing file with this one?");
    EXPECT_EQ(ui.questions[0].caption, "Confirm File Replace");
    EXPECT_EQ(readFile(list("r.sc4")), (Bytes{9, 9, 9}));
    EXPECT_EQ(state.ConvertedCount, 0);

    // Yes, and the first block fails: the target was already truncated.
    codecs.failBlocks = {0};
    runWavToSc4(kModeSP, {"r.wav"});
    EXPECT_EQ(fs::file_size(list("r.sc4")), 0u);
    codecs.failBlocks = {};
    runWavToSc4(kModeSP, {"r.wav"});
    EXPECT_EQ(readFile(list("r.sc4")), modelSc4({16, 1, 8000, tone(8000, 1, 16, 8000)}, kModeSP));
}

TEST_F(WavToSc4, CancelLeavesAShorterCountedFileAndStops) {
    put("long.wav", {16, 2, 44100, tone(441000, 2, 16, 44100)});
    put("next.wav", {16, 1, 8000, tone(100, 1, 16, 8000)});
    ui.onProcess = [](FakeUi& u) {
        if (u.gauge.back() >= 30) u.ContinueFlag = false;
    };
    runWavToSc4(kModeHQ, {"long.wav", "next.wav"});
    EXPECT_EQ(state.ConvertedCount, 1);
    EXPECT_FALSE(fs::exists(list("next.sc4")));
    // The shorter file is a valid container with whole blocks of frames.
    const Bytes sc4 = readFile(list("long.sc4"));
    MemorySource in(sc4.data(), sc4.size());
    MemorySink frames;
    ASSERT_TRUE(sc4ToAdpcm(in, frames));
    const std::size_t blocks = codecs.inputs.size();
    EXPECT_GT(blocks, 5u);
    EXPECT_LT(blocks, 12u);  // 10 s of speech is 21 blocks
    EXPECT_GE(frames.bytes().size(), blocks * 1972);
    EXPECT_TRUE(tempDirEmpty());
}

TEST_F(WavToSc4, UnwritableTargetsAreReportedNotCounted) {
    put("t.wav", {16, 1, 8000, tone(8000, 1, 16, 8000)});
    fs::create_directory(list("t.sc4"));  // a folder holds the target name
    runWavToSc4(kModeSP, {"t.wav"});
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "Write error! (t.sc4)");
    runWavToSc4(kModeHQ, {"t.wav"});
    ASSERT_EQ(ui.boxes.size(), 2u);
    EXPECT_EQ(ui.boxes[1].text, "Write error! (t.sc4)");
    EXPECT_TRUE(fs::is_directory(list("t.sc4")));  // what could not be written is not removed either
    EXPECT_EQ(state.ConvertedCount, 0);
    EXPECT_TRUE(main.shown.empty());
    EXPECT_TRUE(tempDirEmpty());
    fs::remove(list("t.sc4"));

    codecs.adpcmToSc4Result = 0;
    runWavToSc4(kModeHQ, {"t.wav"});
    EXPECT_EQ(ui.boxes.back().text, "Write error! (t.sc4)");
    EXPECT_FALSE(fs::exists(list("t.sc4")));
    EXPECT_EQ(state.ConvertedCount, 0);
    EXPECT_TRUE(tempDirEmpty());
}

TEST_F(WavToSc4, AWriteErrorAfterCancelStillStopsTheWalk) {
    put("long.wav", {16, 1, 8000, tone(80000, 1, 16, 8000)});
    put("next.wav", {16, 1, 8000, tone(100, 1, 16, 8000)});
    writeFile(list("next.sc4"), Bytes{7, 7});
    codecs.adpcmToSc4Result = 0;  // packing the cancelled file fails
    ui.onProcess = [](FakeUi& u) {
        if (u.gauge.back() >= 30) u.ContinueFlag = false;
    };
    runWavToSc4(kModeHQ, {"long.wav", "next.wav"});
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "Write error! (long.sc4)");
    EXPECT_TRUE(ui.questions.empty());  // next.wav is not looked at
    EXPECT_EQ(readFile(list("next.sc4")), (Bytes{7, 7}));
    EXPECT_EQ(state.ConvertedCount, 0);
    EXPECT_TRUE(tempDirEmpty());
}

TEST_F(WavToSc4, PipesAreNeitherReadNorWritten) {
    ASSERT_EQ(::mkfifo(list("pipe.wav").c_str(), 0600), 0);
    put("q.wav", {16, 1, 8000, tone(8000, 1, 16, 8000)});
    ASSERT_EQ(::mkfifo(list("q.sc4").c_str(), 0600), 0);
    for (std::uint8_t mode : {kModeSP, kModeHQ}) {
        ui.boxes.clear();
        runWavToSc4(mode, {"pipe.wav", "q.wav"});
        ASSERT_EQ(ui.boxes.size(), 1u);
        EXPECT_EQ(ui.boxes[0].text, "Write error! (q.sc4)");
        EXPECT_TRUE(ui.questions.empty());
        EXPECT_TRUE(fs::is_fifo(list("q.sc4")));
        EXPECT_FALSE(fs::exists(list("pipe.sc4")));
        EXPECT_EQ(state.ConvertedCount, 0);
        EXPECT_TRUE(codecs.inputs.empty());
    }
    EXPECT_TRUE(tempDirEmpty());
}

TEST_F(WavToSc4, OutOfMemoryLeavesNoFileAndGoesOn) {
    put("big.wav", {16, 2, 44100, tone(4000, 2, 16, 44100)});
    put("ok.wav", {16, 1, 8000, tone(100, 1, 16, 8000)});
    state.WholeFileLimit = 1000;  // big.wav needs 16000 bytes, ok.wav goes the direct way
    for (std::uint8_t mode : {kModeSP, kModeHQ}) {
        ui.boxes.clear();
        ui.busy.clear();
        state.ConvertedCount = 0;
        runWavToSc4(mode, {"big.wav", "ok.wav"});
        ASSERT_EQ(ui.boxes.size(), 1u);
        EXPECT_EQ(ui.boxes[0].text, "Out of memory");
        EXPECT_EQ(ui.boxes[0].icon, MessageIcon::Error);
        EXPECT_EQ(ui.busy, (std::vector<bool>{true, false}));  // cursor back before the box
        EXPECT_FALSE(fs::exists(list("big.sc4")));
        EXPECT_TRUE(fs::exists(list("ok.sc4")));
        EXPECT_EQ(state.ConvertedCount, 1);
        EXPECT_TRUE(tempDirEmpty());
        fs::remove(list("ok.sc4"));
    }
}

TEST_F(WavToSc4, MissingListFolderSkipsEverythingSilently) {
    main.folder = (dir / "gone").string() + "/";
    runWavToSc4(kModeHQ, {"a.wav"});
    state.SelectedNames = {"a.sc4"};
    JobContext ctx{state, main, ui, codecs, *wave};
    runSc4ToWavJob(ctx);
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_EQ(state.ConvertedCount, 0);
}

// Damaged WAV files through the whole job with the real WAV library: a
// message or a conversion, never a crash or a read beyond the buffers
// (run under the sanitizers in CI).
TEST_F(WavToSc4, DamagedFilesNeverBreakTheJob) {
    std::mt19937 rng(99);
    const Bytes base = wavImage(8, 2, 22050, tone(3000, 2, 8, 22050));
    for (int round = 0; round < 300; ++round) {
        Bytes b = base;
        for (int e = 0; e < 3; ++e) b[rng() % 44] = static_cast<std::uint8_t>(rng());
        if (rng() % 3 == 0) b.resize(rng() % b.size());
        writeFile(list("f.wav"), b);
        runWavToSc4(round % 2 ? kModeHQ : kModeSHQ, {"f.wav"});
    }
    EXPECT_TRUE(tempDirEmpty());
    EXPECT_GT(state.ConvertedCount, 0);
}

}  // namespace
}  // namespace vek::jobs::test
