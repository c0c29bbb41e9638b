// Where a job takes its inputs from: the folder the selection was made in
// (taken once, however the list moves meanwhile), and WAV files whose sizes
// are placeholders, converted from what they really hold.
// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "fakes.hpp"
#include "vek/codec/adpcm.hpp"

namespace {

using namespace vek::jobs;
using namespace vek::jobs::test;
namespace fs = std::filesystem;

class JobInputs : public ::testing::Test, public JobFixture {
protected:
    fs::path list(const std::string& n) const { return dir / "list" / n; }
    fs::path parent(const std::string& n) const { return dir / n; }
    // The list moves to the parent folder the first time the job lets
    // messages through, as the tree does when the recorder is unplugged.
    void moveListMidJob() {
        ui.onProcess = [this](FakeUi&) { main.folder = dir.string() + "/"; };
    }
};

Bytes spFile(std::size_t sectors, int seed) {
    Bytes file;
    for (std::size_t k = 0; k < sectors; ++k) {
        Bytes pcm(8000);
        for (std::size_t i = 0; i < pcm.size(); ++i) pcm[i] = static_cast<std::uint8_t>(i * 5 + k * 17 + seed);
        const Bytes s = fakeSpSector(pcm.data());
        file.insert(file.end(), s.begin(), s.end());
    }
    return file;
}

TEST_F(JobInputs, Sc4ToWavKeepsToTheFolderOfTheSelection) {
    writeFile(list("A.sc4"), spFile(8, 1));
    writeFile(list("B.sc4"), spFile(3, 2));
    // The parent holds a file of the same name, which is no part of the selection.
    writeFile(parent("B.sc4"), spFile(5, 3));
    moveListMidJob();
    runSc4ToWav({"A.sc4", "B.sc4"});
    EXPECT_EQ(state.ConvertedCount, 2);
    EXPECT_TRUE(fs::exists(list("A.wav")));
    ASSERT_TRUE(fs::exists(list("B.wav")));
    EXPECT_EQ(fs::file_size(list("B.wav")), 44u + 3u * 8000u);  // B of the selection: three sectors
    EXPECT_FALSE(fs::exists(parent("B.wav")));
    ASSERT_EQ(main.shown.size(), 2u);
    EXPECT_EQ(main.shown[1], list("B.wav").string());
}

TEST_F(JobInputs, WavToSc4KeepsToTheFolderOfTheSelection) {
    std::vector<std::int16_t> s(8000 * 3);
    for (std::size_t i = 0; i < s.size(); ++i) s[i] = static_cast<std::int16_t>(6000 * std::sin(0.03 * double(i)));
    writeFile(list("one.wav"), wavImage(16, 1, 8000, le16(s)));
    writeFile(list("two.wav"), wavImage(16, 1, 8000, le16(s)));
    writeFile(parent("two.wav"), wavImage(16, 1, 8000, le16(s)));
    moveListMidJob();
    runWavToSc4(kModeSP, {"one.wav", "two.wav"});
    EXPECT_EQ(state.ConvertedCount, 2);
    EXPECT_TRUE(fs::exists(list("one.sc4")));
    EXPECT_TRUE(fs::exists(list("two.sc4")));
    EXPECT_FALSE(fs::exists(parent("two.sc4")));
}

// The same samples in an ordinary file and in files whose data size (and
// RIFF size) is a placeholder: the SC4 files are the same, byte for byte, in
// every mode and on both ways (direct and resampled).
TEST_F(JobInputs, PlaceholderSizedWavesConvertLikeTheirFinishedTwins) {
    std::vector<std::int16_t> s(11025 * 2 + 77);
    for (std::size_t i = 0; i < s.size(); ++i)
        s[i] = static_cast<std::int16_t>(9000 * std::sin(0.021 * double(i)) + 2000 * std::sin(0.37 * double(i)));
    const Bytes plain = wavImage(16, 1, 8000, le16(s));
    auto withSizes = [&](std::uint32_t riff, std::uint32_t data) {
        Bytes b = plain;
        for (int i = 0; i < 4; ++i) {
            b[std::size_t(4 + i)] = static_cast<std::uint8_t>(riff >> (8 * i));
            b[std::size_t(40 + i)] = static_cast<std::uint8_t>(data >> (8 * i));
        }
        return b;
    };
    ASSERT_EQ(std::memcmp(plain.data() + 36, "data", 4), 0);
    const std::pair<std::string, Bytes> files[] = {{"zero", withSizes(0, 0)},
                                                   {"ones", withSizes(0xFFFFFFFF, 0xFFFFFFFF)},
                                                   {"data0", withSizes(std::uint32_t(plain.size() - 8), 0)}};
    for (std::uint8_t mode : {kModeSP, kModeHQ, kModeSHQ}) {
        writeFile(list("plain.wav"), plain);
        for (const auto& [stem, bytes] : files) writeFile(list(stem + ".wav"), bytes);
        state.ConvertedCount = 0;
        runWavToSc4(mode, {"plain.wav", "zero.wav", "ones.wav", "data0.wav"});
        EXPECT_EQ(state.ConvertedCount, 4) << int(mode);
        EXPECT_TRUE(ui.boxes.empty()) << (ui.boxes.empty() ? "" : ui.boxes[0].text);
        const Bytes expected = readFile(list("plain.sc4"));
        ASSERT_GT(expected.size(), 512u) << int(mode);
        for (const auto& [stem, bytes] : files) EXPECT_EQ(readFile(list(stem + ".sc4")), expected) << stem << int(mode);
        for (const auto& n : {"plain", "zero", "ones", "data0"}) fs::remove(list(std::string(n) + ".sc4"));
    }
}

// A WAV file with no samples at all (the data chunk is empty) is an empty
// recording: the SC4 file is empty in every mode (an empty SP recording for
// the recorder), counted and shown like any written file, with no message.
// The direct and the conversion way agree.
TEST_F(JobInputs, WavWithNoSamplesGivesAnEmptyRecording) {
    for (std::uint8_t mode : {kModeSP, kModeHQ, kModeSHQ}) {
        writeFile(list("mono.wav"), wavImage(16, 1, mode == kModeSHQ ? 11025 : 8000, {}));
        writeFile(list("stereo.wav"), wavImage(16, 2, 44100, {}));
        writeFile(list("mono.sc4"), Bytes(512, 7));  // replaced after the question
        state.ConvertedCount = 0;
        main.shown.clear();
        runWavToSc4(mode, {"mono.wav", "stereo.wav"});
        EXPECT_EQ(state.ConvertedCount, 2) << int(mode);
        EXPECT_TRUE(ui.boxes.empty()) << (ui.boxes.empty() ? "" : ui.boxes[0].text);
        EXPECT_EQ(main.shown.size(), 2u);
        for (const char* n : {"mono.sc4", "stereo.sc4"}) {
            ASSERT_TRUE(fs::exists(list(n))) << n << int(mode);
            EXPECT_EQ(fs::file_size(list(n)), 0u) << n << int(mode);
            fs::remove(list(n));
        }
        EXPECT_TRUE(tempDirEmpty());
    }
}

}  // namespace
