// The SC4-to-WAV job: exact output per mode, padding of short last blocks,
// silence for failed blocks, every failure row, replace, cancel, gauge.
// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include <sys/stat.h>

#include "fakes.hpp"
#include "vek/codec/adpcm.hpp"
#include "vek/codec/bytestream.hpp"
#include "vek/codec/sc4.hpp"

namespace vek::jobs::test {
namespace {

namespace fs = std::filesystem;

// An ADPCM-mode SC4 file image holding `frames` frames of an encoded tone.
Bytes adpcmSc4(std::size_t frames, bool shq) {
    const Bytes sc4 = vek::testsupport::adpcmSc4FromPcm(vek::testsupport::warbleTone(frames * 58, shq ? 11025 : 8000), shq);
    EXPECT_FALSE(sc4.empty());
    return sc4;
}

// What the job must write for an ADPCM-mode file: the container's frame
// stream padded with zero frames to whole 68-frame blocks, decoded from a
// fresh codec state.
Bytes expectedAdpcmPcm(const Bytes& sc4) {
    MemorySource src(sc4.data(), sc4.size());
    MemorySink frames;
    EXPECT_TRUE(sc4ToAdpcm(src, frames));
    Bytes stream = frames.bytes();
    stream.resize((stream.size() + 1971) / 1972 * 1972, 0);
    AdpcmCodec codec;
    Bytes pcm;
    for (std::size_t off = 0; off < stream.size(); off += 1972) {
        Bytes out(7888);
        EXPECT_EQ(codec.decode(stream.data() + off, 1972, out.data()), 7888u);
        pcm.insert(pcm.end(), out.begin(), out.end());
    }
    return pcm;
}

Bytes spSc4(std::size_t sectors) {
    Bytes file;
    for (std::size_t k = 0; k < sectors; ++k) {
        Bytes pcm(8000);
        for (std::size_t i = 0; i < pcm.size(); ++i) pcm[i] = static_cast<std::uint8_t>(i * 7 + k * 131);
        const Bytes s = fakeSpSector(pcm.data());
        file.insert(file.end(), s.begin(), s.end());
    }
    return file;
}

struct WavFile {
    std::uint16_t tag = 0, channels = 0, bits = 0;
    std::uint32_t rate = 0, riffSize = 0, dataSize = 0;
    Bytes data;
};

WavFile parseWav(const Bytes& f) {
    WavFile w;
    EXPECT_GE(f.size(), 44u);
    if (f.size() < 44) return w;
    auto u32 = [&](std::size_t o) { return f[o] | f[o + 1] << 8 | f[o + 2] << 16 | std::uint32_t(f[o + 3]) << 24; };
    auto u16 = [&](std::size_t o) { return static_cast<std::uint16_t>(f[o] | f[o + 1] << 8); };
    EXPECT_EQ(std::memcmp(f.data(), "RIFF", 4), 0);
    EXPECT_EQ(std::memcmp(f.data() + 8, "WAVEfmt ", 8), 0);
    EXPECT_EQ(std::memcmp(f.data() + 36, "data", 4), 0);
    w.riffSize = u32(4);
    w.tag = u16(20);
    w.channels = u16(22);
    w.rate = u32(24);
    w.bits = u16(34);
    w.dataSize = u32(40);
    w.data.assign(f.begin() + 44, f.end());
    EXPECT_EQ(w.riffSize, f.size() - 8);
    EXPECT_EQ(w.dataSize, w.data.size());
    return w;
}

class Sc4ToWav : public ::testing::Test, public JobFixture {
protected:
    fs::path list(const std::string& name) const { return dir / "list" / name; }
};

TEST_F(Sc4ToWav, HqAndShqDecodeExactlyWithPaddedLastBlock) {
    struct Case {
        const char* name;
        std::size_t frames;
        bool shq;
        std::uint32_t rate;
    };
    // 68 * 3 frames exactly; 150 frames (a partial last block); SHQ likewise.
    for (const Case c : {Case{"A.SC4", 204, false, 8000}, Case{"b.sc4", 150, false, 8000},
                         Case{"c.sc4", 310, true, 11025}}) {
        const Bytes sc4 = adpcmSc4(c.frames, c.shq);
        writeFile(list(c.name), sc4);
        runSc4ToWav({c.name});
        const std::string stem = std::string(c.name).substr(0, std::strlen(c.name) - 3);
        const WavFile w = parseWav(readFile(list(stem + "wav")));
        EXPECT_EQ(w.tag, 1);
        EXPECT_EQ(w.channels, 1);
        EXPECT_EQ(w.bits, 16);
        EXPECT_EQ(w.rate, c.rate) << c.name;
        EXPECT_EQ(w.data.size() % 7888, 0u);
        EXPECT_EQ(w.data, expectedAdpcmPcm(sc4)) << c.name;
    }
    EXPECT_EQ(state.ConvertedCount, 3);
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_TRUE(tempDirEmpty());
    ASSERT_EQ(main.shown.size(), 3u);
    EXPECT_EQ(main.shown[0], main.folder + "A.wav");  // the stem keeps its case
    EXPECT_EQ(ui.gauge.back(), 100);
}

TEST_F(Sc4ToWav, SpGivesWholeSectorsFromOffsetZeroAndPadsACutLastSector) {
    Bytes sc4 = spSc4(3);
    sc4.resize(2 * 512 + 300);  // third sector cut off
    writeFile(list("sp.sc4"), sc4);
    runSc4ToWav({"sp.sc4"});
    const WavFile w = parseWav(readFile(list("sp.wav")));
    EXPECT_EQ(w.rate, 8000u);
    ASSERT_EQ(w.data.size(), 3u * 8000u);
    ASSERT_EQ(codecs.inputs.size(), 3u);
    Bytes expect;
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(codecs.inputLengths[k], 512u);
        Bytes sector(sc4.begin() + 512 * k, sc4.begin() + std::min<std::size_t>(sc4.size(), 512 * (k + 1)));
        sector.resize(512, 0);
        EXPECT_EQ(codecs.inputs[k], sector);
        const Bytes pcm = fakeSpDecode(sector.data());
        expect.insert(expect.end(), pcm.begin(), pcm.end());
    }
    EXPECT_EQ(std::memcmp(codecs.inputs[0].data(), "dmr1d", 5), 0);
    EXPECT_EQ(w.data, expect);
    EXPECT_EQ(state.ConvertedCount, 1);
}

TEST_F(Sc4ToWav, FailedOrRaisingBlocksBecomeSilenceAndTheFileGoesOn) {
    writeFile(list("sp.sc4"), spSc4(4));
    codecs.failBlocks = {1};
    codecs.throwBlocks = {2};
    runSc4ToWav({"sp.sc4"});
    const WavFile w = parseWav(readFile(list("sp.wav")));
    ASSERT_EQ(w.data.size(), 4u * 8000u);
    const Bytes silence(8000, 0);
    EXPECT_NE(Bytes(w.data.begin(), w.data.begin() + 8000), silence);
    EXPECT_EQ(Bytes(w.data.begin() + 8000, w.data.begin() + 16000), silence);
    EXPECT_EQ(Bytes(w.data.begin() + 16000, w.data.begin() + 24000), silence);
    EXPECT_NE(Bytes(w.data.begin() + 24000, w.data.end()), silence);
    EXPECT_TRUE(ui.boxes.empty());

    // ADPCM: 7888 bytes of silence for the failing block.
    const Bytes sc4 = adpcmSc4(68 * 2, false);
    writeFile(list("hq.sc4"), sc4);
    codecs.failBlocks = {0};
    codecs.throwBlocks = {};
    runSc4ToWav({"hq.sc4"});
    const WavFile h = parseWav(readFile(list("hq.wav")));
    // 136 frames fill two groups of the container (pad frames included).
    ASSERT_EQ(h.data.size(), expectedAdpcmPcm(sc4).size());
    ASSERT_GE(h.data.size(), 2u * 7888u);
    EXPECT_NE(Bytes(h.data.begin() + 7888, h.data.begin() + 2 * 7888), Bytes(7888, 0));
    EXPECT_EQ(Bytes(h.data.begin(), h.data.begin() + 7888), Bytes(7888, 0));
    EXPECT_EQ(state.ConvertedCount, 2);
}

TEST_F(Sc4ToWav, InvalidFilesAreReportedAndOthersSkippedSilently) {
    writeFile(list("empty.sc4"), {});
    writeFile(list("short.sc4"), {0x64, 0x6D, 0x72});
    writeFile(list("junk.sc4"), Bytes(600, 0x41));
    writeFile(list("notes.txt"), Bytes(600, 0x41));
    fs::create_directory(list("folder.sc4"));
    writeFile(list("ok.sc4"), spSc4(1));
    runSc4ToWav({"folder.sc4", "notes.txt", "missing.sc4", "empty.sc4", "short.sc4", "junk.sc4", "ok.sc4"});
    ASSERT_EQ(ui.boxes.size(), 3u);
    EXPECT_EQ(ui.boxes[0].text, "Invalid sc4 file! (empty.sc4)");
    EXPECT_EQ(ui.boxes[1].text, "Invalid sc4 file! (short.sc4)");
    EXPECT_EQ(ui.boxes[2].text, "Invalid sc4 file! (junk.sc4)");
    for (std::size_t i = 0; i < ui.boxes.size(); ++i) {
        EXPECT_EQ(ui.boxes[i].caption, "voice lumo manager");
        EXPECT_EQ(ui.boxes[i].icon, MessageIcon::Warning);
        EXPECT_EQ(ui.boxes[i].fgCallsBefore, static_cast<int>(i) + 1);  // ForceFGWindow before each box
    }
    EXPECT_EQ(state.ConvertedCount, 1);
    EXPECT_TRUE(fs::exists(list("ok.wav")));
    EXPECT_FALSE(fs::exists(list("notes.wav")));
    EXPECT_FALSE(fs::exists(list("folder.wav")));
}

TEST_F(Sc4ToWav, ReplaceQuestionNoKeepsTheFileYesReplacesIt) {
    writeFile(list("A.sc4"), spSc4(1));
    writeFile(list("A.wav"), Bytes{1, 2, 3});
    ui.answers = {false};
    runSc4ToWav({"A.sc4"});
    ASSERT_EQ(ui.questions.size(), 1u);
    EXPECT_EQ(ui.questions[0].caption, "Confirm File Replace");
    EXPECT_EQ(ui.questions[0].text,
              "This folder already contains a file named 'A.wav'.\rWould you like to replace the existing file with this one?");
    EXPECT_EQ(ui.questions[0].fgCallsBefore, 1);
    EXPECT_EQ(readFile(list("A.wav")), (Bytes{1, 2, 3}));
    EXPECT_EQ(state.ConvertedCount, 0);
    EXPECT_TRUE(codecs.inputs.empty());

    ui.answers = {true};
    runSc4ToWav({"A.sc4"});
    EXPECT_EQ(parseWav(readFile(list("A.wav"))).data.size(), 8000u);
    EXPECT_EQ(state.ConvertedCount, 1);
}

TEST_F(Sc4ToWav, ParsingDecoderAndWriteErrorsEachEndOnlyTheirFile) {
    writeFile(list("p.sc4"), adpcmSc4(10, false));
    codecs.sc4ToAdpcmResult = 0;
    runSc4ToWav({"p.sc4"});
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "Parsing error!");
    EXPECT_EQ(ui.boxes[0].icon, MessageIcon::Error);
    EXPECT_TRUE(tempDirEmpty());
    codecs.sc4ToAdpcmResult = -1;

    codecs.adpcmInitResult = 0;
    runSc4ToWav({"p.sc4"});
    ASSERT_EQ(ui.boxes.size(), 2u);
    EXPECT_EQ(ui.boxes[1].text, "Decoding error!");
    EXPECT_EQ(ui.boxes[1].icon, MessageIcon::Error);
    EXPECT_TRUE(tempDirEmpty());
    codecs.adpcmInitResult = 1;

    writeFile(list("s.sc4"), spSc4(1));
    codecs.spInitResult = 0;
    runSc4ToWav({"s.sc4"});
    EXPECT_EQ(ui.boxes.back().text, "Decoding error!");
    codecs.spInitResult = 1;

    // The target name is taken by a folder: it is not asked about (it is no
    // file) and the WAV cannot be created.
    fs::create_directory(list("p.wav"));
    runSc4ToWav({"p.sc4", "s.sc4"});
    EXPECT_EQ(ui.boxes.back().text, "Write error! (p.wav)");
    EXPECT_EQ(ui.boxes.back().icon, MessageIcon::Warning);
    EXPECT_TRUE(ui.questions.empty());
    EXPECT_TRUE(tempDirEmpty());
    EXPECT_EQ(state.ConvertedCount, 1);  // s.sc4 went on
    EXPECT_FALSE(fs::exists(list("p.wav/x")));
}

// The real WAV library, except that closing reports that not everything
// reached the disk (as a full disk would).
struct WaveWithFailingClose final : WaveLibrary {
    WaveLibrary& real = defaultWave();
    Handle writeHeader(const char* p, int32_t b, int32_t c, int32_t r) override { return real.writeHeader(p, b, c, r); }
    int32_t write(Handle h, const void* d, int32_t n) override { return real.write(h, d, n); }
    int32_t closeWrite(Handle h) override {
        real.closeWrite(h);
        return 0;
    }
    Handle readHeader(const char* p, Header& hd) override { return real.readHeader(p, hd); }
    int32_t read(Handle h, void* b, int32_t n) override { return real.read(h, b, n); }
    void closeRead(Handle h) override { real.closeRead(h); }
};

TEST_F(Sc4ToWav, AWavThatDidNotReachTheDiskIsReportedRemovedAndNotCounted) {
    WaveWithFailingClose failing;
    wave = &failing;
    writeFile(list("s.sc4"), spSc4(2));
    writeFile(list("h.sc4"), adpcmSc4(100, false));
    runSc4ToWav({"s.sc4", "h.sc4"});
    ASSERT_EQ(ui.boxes.size(), 2u);
    EXPECT_EQ(ui.boxes[0].text, "Write error! (s.wav)");
    EXPECT_EQ(ui.boxes[1].text, "Write error! (h.wav)");
    EXPECT_EQ(ui.boxes[1].icon, MessageIcon::Warning);
    EXPECT_EQ(ui.boxes[1].caption, "voice lumo manager");
    EXPECT_FALSE(fs::exists(list("s.wav")));
    EXPECT_FALSE(fs::exists(list("h.wav")));
    EXPECT_EQ(state.ConvertedCount, 0);
    EXPECT_TRUE(main.shown.empty());
    EXPECT_TRUE(tempDirEmpty());

    // Cancelled in the first file: the walk still stops there.
    writeFile(list("long.sc4"), spSc4(40));
    ui.boxes.clear();
    ui.onProcess = [](FakeUi& u) {
        if (u.gauge.back() >= 25) u.ContinueFlag = false;
    };
    runSc4ToWav({"long.sc4", "s.sc4"});
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "Write error! (long.wav)");
    EXPECT_FALSE(fs::exists(list("s.wav")));
}

// A pipe is never opened: as a source it is skipped like a folder, as a
// target it is a write error (opening it would wait for a reader for ever).
TEST_F(Sc4ToWav, PipesAreNeitherReadNorWritten) {
    ASSERT_EQ(::mkfifo(list("pipe.sc4").c_str(), 0600), 0);
    writeFile(list("q.sc4"), spSc4(1));
    ASSERT_EQ(::mkfifo(list("q.wav").c_str(), 0600), 0);
    writeFile(list("ok.sc4"), spSc4(1));
    runSc4ToWav({"pipe.sc4", "q.sc4", "ok.sc4"});
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "Write error! (q.wav)");
    EXPECT_EQ(ui.boxes[0].icon, MessageIcon::Warning);
    EXPECT_TRUE(ui.questions.empty());
    EXPECT_TRUE(fs::is_fifo(list("q.wav")));
    EXPECT_FALSE(fs::exists(list("pipe.wav")));
    EXPECT_EQ(state.ConvertedCount, 1);
    EXPECT_EQ(main.shown, std::vector<std::string>{main.folder + "ok.wav"});
}

TEST_F(Sc4ToWav, CancelFinishesTheFileShorterCountsItAndStops) {
    writeFile(list("long.sc4"), spSc4(40));
    writeFile(list("next.sc4"), spSc4(2));
    ui.onProcess = [](FakeUi& u) {
        if (u.gauge.back() >= 25) u.ContinueFlag = false;
    };
    runSc4ToWav({"long.sc4", "next.sc4"});
    const WavFile w = parseWav(readFile(list("long.wav")));
    EXPECT_EQ(w.data.size(), 10u * 8000u);  // 10 of 40 sectors = 25 %
    EXPECT_EQ(state.ConvertedCount, 1);
    EXPECT_FALSE(fs::exists(list("next.wav")));
    ASSERT_EQ(main.shown.size(), 1u);
}

TEST_F(Sc4ToWav, GaugeMovesOnlyOnWholePercentChangesAndStatusNamesTheFiles) {
    writeFile(list("g.sc4"), spSc4(300));
    runSc4ToWav({"g.sc4"});
    ASSERT_FALSE(ui.gauge.empty());
    EXPECT_EQ(ui.gauge.front(), 0);
    EXPECT_EQ(ui.gauge.back(), 100);
    for (std::size_t i = 2; i < ui.gauge.size(); ++i) EXPECT_GT(ui.gauge[i], ui.gauge[i - 1]);
    EXPECT_EQ(ui.processed, static_cast<int>(ui.gauge.size()) - 1);
    EXPECT_EQ(ui.statuses.front(), "Converting 'g.sc4' to 'g.wav'...");
    EXPECT_EQ(ui.statuses.size(), ui.gauge.size());
}

}  // namespace
}  // namespace vek::jobs::test
