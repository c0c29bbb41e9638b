// The jobs with sound files other than WAV, on the real vekwf: which names
// the WAV-to-SC4 job takes and how it opens them, the targets' names, and
// the SC4-to-WAV job writing FLAC, including when the library cannot.
// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fakes.hpp"
#include "vek/testsupport/files.hpp"
#include "vek/testsupport/fixtures.hpp"
#include "vek/testsupport/signals.hpp"
#include "vekwf.h"

namespace vek::jobs::test {
namespace {

namespace fs = std::filesystem;
using vek::testsupport::Samples;

// The real library, recording which reader each file went through.
struct RecordingWave final : WaveLibrary {
    WaveLibrary& real = defaultWave();
    std::vector<std::string> wavReads, anyReads;
    bool refuseOthers = false;  // a library that writes WAV only
    Handle writeHeader(const char* p, int32_t b, int32_t c, int32_t r) override { return real.writeHeader(p, b, c, r); }
    Handle writeHeaderAs(const char* p, int32_t b, int32_t c, int32_t r, int32_t kind) override {
        return refuseOthers && kind != 0 ? 0 : real.writeHeaderAs(p, b, c, r, kind);
    }
    int32_t write(Handle h, const void* d, int32_t n) override { return real.write(h, d, n); }
    int32_t closeWrite(Handle h) override { return real.closeWrite(h); }
    Handle readHeader(const char* p, Header& hd) override {
        wavReads.push_back(fs::path(p).filename().string());
        return real.readHeader(p, hd);
    }
    Handle readHeaderAny(const char* p, Header& hd) override {
        anyReads.push_back(fs::path(p).filename().string());
        return real.readHeaderAny(p, hd);
    }
    int32_t read(Handle h, void* b, int32_t n) override { return real.read(h, b, n); }
    void closeRead(Handle h) override { real.closeRead(h); }
};

void writeFlac(const fs::path& p, const Samples& s, int rate) {
    const VekWaveHandle h = WriteAudioHeader(p.c_str(), 16, 1, rate, kVekAudioFlac);
    ASSERT_NE(h, 0);
    const Bytes b = le16(s);
    ASSERT_EQ(WriteWaveFile(h, b.data(), static_cast<int32_t>(b.size())), static_cast<int32_t>(b.size()));
    ASSERT_EQ(CloseWriteWaveFile(h), 1);
}

class SoundFormats : public ::testing::Test, public JobFixture {
protected:
    fs::path list() const { return dir / "list"; }
    RecordingWave rec;
};

TEST_F(SoundFormats, NamesReadersAndTargets) {
    EXPECT_TRUE(isSoundFileName("a.WAV"));
    EXPECT_TRUE(isSoundFileName("b.Flac"));
    EXPECT_TRUE(isSoundFileName("x.y.opus"));
    EXPECT_FALSE(isSoundFileName("a.sc4"));
    EXPECT_FALSE(isSoundFileName("flac"));
    EXPECT_FALSE(isSoundFileName("dir.mp3/x"));

    const Samples s = vek::testsupport::speechLike(9000, 2);
    ASSERT_TRUE(writeFile(list() / "a.WAV", vek::testsupport::wav16(s, 16000)));
    writeFlac(list() / "b.Flac", s, 16000);
    ASSERT_TRUE(writeFile(list() / "notes.txt", Bytes{'x'}));
    wave = &rec;
    runWavToSc4(kModeSHQ, {"a.WAV", "b.Flac", "notes.txt"});
    // WAV keeps its reader; the others go through the general one; the
    // text file is skipped without a message.
    EXPECT_EQ(rec.wavReads, std::vector<std::string>{"a.WAV"});
    EXPECT_EQ(rec.anyReads, std::vector<std::string>{"b.Flac"});
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_EQ(state.ConvertedCount, 2);
    EXPECT_EQ(main.shown, (std::vector<std::string>{(list() / "a.sc4").string(), (list() / "b.sc4").string()}));
    EXPECT_EQ(readFile(list() / "b.sc4"), readFile(list() / "a.sc4"));
    EXPECT_TRUE(tempDirEmpty());
}

TEST_F(SoundFormats, Sc4ToFlacAndALibraryWithoutIt) {
    const Samples s = vek::testsupport::speechLike(8000, 3);
    ASSERT_TRUE(writeFile(list() / "MEMO.SC4", vek::testsupport::adpcmSc4FromPcm(s, false)));
    runSc4ToWav({"MEMO.SC4"});
    ASSERT_EQ(state.ConvertedCount, 1);
    const Bytes wav = readFile(list() / "MEMO.wav");
    ASSERT_GT(wav.size(), 44u);

    state.OutputFormat = SoundFormat::Flac;
    state.ConvertedCount = 0;
    runSc4ToWav({"MEMO.SC4"});
    ASSERT_EQ(state.ConvertedCount, 1);
    EXPECT_EQ(main.shown.back(), (list() / "MEMO.flac").string());
    int16_t bits = 0, ch = 0, tag = 0;
    int32_t rate = 0, bytes = 0;
    const VekWaveHandle h = ReadAudioHeader((list() / "MEMO.flac").c_str(), &bits, &ch, &rate, &bytes, &tag);
    ASSERT_NE(h, 0);
    EXPECT_EQ(rate, 8000);
    ASSERT_EQ(static_cast<std::size_t>(bytes), wav.size() - 44);
    Bytes flac(static_cast<std::size_t>(bytes));
    EXPECT_EQ(ReadWaveFile(h, flac.data(), bytes), bytes);
    CloseReadWaveFile(h);
    EXPECT_EQ(flac, Bytes(wav.begin() + 44, wav.end()));

    // A library that writes WAV only: the designed write error, no file, and
    // the FLAC file already there stays as it was.
    const Bytes before = readFile(list() / "MEMO.flac");
    rec.refuseOthers = true;
    wave = &rec;
    state.ConvertedCount = 0;
    runSc4ToWav({"MEMO.SC4"});
    EXPECT_EQ(state.ConvertedCount, 0);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "Write error! (MEMO.flac)");
    EXPECT_EQ(readFile(list() / "MEMO.flac"), before);
    EXPECT_EQ(vek::testsupport::listing(list()), (std::vector<std::string>{"MEMO.SC4", "MEMO.flac", "MEMO.wav"}));
}

}  // namespace
}  // namespace vek::jobs::test
