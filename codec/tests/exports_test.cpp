// The C exports of vekcdc5 as a program sees them: files on disk, the shared
// codec state, and bad arguments that must fail without crashing.
// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include "vekcdc5.h"

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<std::uint8_t>;

class Exports : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() / ("vekcdc5-test-" + std::to_string(::getpid()));
        fs::create_directories(m_dir);
    }
    void TearDown() override {
        std::error_code ec;
        fs::permissions(m_dir, fs::perms::owner_all, ec);
        fs::remove_all(m_dir, ec);
    }
    std::string path(const std::string& name) const { return (m_dir / name).string(); }
    static void write(const std::string& p, const Bytes& b) {
        std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
    }
    static Bytes read(const std::string& p) {
        std::ifstream f(p, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(f), {});
    }
    fs::path m_dir;
};

Bytes randomFrames(std::size_t n, std::uint32_t seed) {
    std::mt19937 rng(seed);
    Bytes b(n * 29);
    for (auto& x : b) x = static_cast<std::uint8_t>(rng());
    return b;
}

TEST_F(Exports, FileRoundTripThroughBothFunctions) {
    const Bytes frames = randomFrames(321, 1);
    write(path("in.adp"), frames);
    ASSERT_EQ(ADPCMToSC4(path("in.adp").c_str(), path("out.sc4").c_str(), -1), 1);
    const Bytes sc4 = read(path("out.sc4"));
    ASSERT_EQ(sc4.size() % 512, 0u);
    EXPECT_EQ(sc4[4], 0x1A);  // SHQ group header
    ASSERT_EQ(SC4ToADPCM(path("out.sc4").c_str(), path("back.adp").c_str()), 1);
    const Bytes back = read(path("back.adp"));
    ASSERT_GE(back.size(), frames.size());
    EXPECT_TRUE(std::equal(frames.begin(), frames.end(), back.begin()));
}

TEST_F(Exports, MissingInputsAndUnwritableOutputsFail) {
    write(path("in.adp"), randomFrames(10, 2));
    EXPECT_EQ(ADPCMToSC4(path("missing.adp").c_str(), path("x.sc4").c_str(), 0), 0);
    EXPECT_EQ(SC4ToADPCM(path("missing.sc4").c_str(), path("x.adp").c_str()), 0);
    EXPECT_EQ(ADPCMToSC4(path("in.adp").c_str(), path("no/such/dir/x.sc4").c_str(), 0), 0);
    EXPECT_EQ(ADPCMToSC4(nullptr, path("x.sc4").c_str(), 0), 0);
    EXPECT_EQ(ADPCMToSC4(path("in.adp").c_str(), nullptr, 0), 0);
    EXPECT_EQ(SC4ToADPCM(nullptr, nullptr), 0);
    // A device that is always full: the write (or its final flush) fails.
    if (fs::exists("/dev/full")) {
        EXPECT_EQ(ADPCMToSC4(path("in.adp").c_str(), "/dev/full", 0), 0);
    }
    // A folder as input.
    EXPECT_EQ(SC4ToADPCM(m_dir.c_str(), path("x.adp").c_str()), 0);
    // A file without a start pattern: failure, output left empty.
    write(path("junk.sc4"), Bytes(2000, 0x42));
    EXPECT_EQ(SC4ToADPCM(path("junk.sc4").c_str(), path("junk.adp").c_str()), 0);
    EXPECT_TRUE(read(path("junk.adp")).empty());
    // Unwritable folder (meaningless as root, who may write anyway).
    if (::geteuid() != 0) {
        fs::create_directories(m_dir / "ro");
        fs::permissions(m_dir / "ro", fs::perms::owner_read | fs::perms::owner_exec);
        EXPECT_EQ(ADPCMToSC4(path("in.adp").c_str(), path("ro/x.sc4").c_str(), 0), 0);
    }
}

TEST_F(Exports, CodecCallsAndBadBlocks) {
    EXPECT_EQ(InitializeAudioEncoder_A(), 1);
    std::vector<std::uint8_t> pcm(7888 + 100, 0), frames(4000, 0);
    int32_t count = -1;
    AudioCodecBlock b{pcm.data(), 7888 + 100, 0, frames.data(), &count};
    EXPECT_EQ(AudioEncoding_A(&b), 1);
    EXPECT_EQ(count, 1972);
    EXPECT_EQ(frames[0], 0x1F);
    EXPECT_EQ(b.spare, 0u);

    EXPECT_EQ(InitializeAudioDecoder_A(), 1);
    std::vector<std::uint8_t> out(8000, 0);
    AudioCodecBlock d{frames.data(), 1972, 0, out.data(), &count};
    EXPECT_EQ(AudioDecoding_A(&d), 1);
    EXPECT_EQ(count, 7888);

    d.inputLength = 28;
    EXPECT_EQ(AudioDecoding_A(&d), 1);
    EXPECT_EQ(count, 0);
    d.inputLength = 0;
    d.input = nullptr;
    EXPECT_EQ(AudioDecoding_A(&d), 1);
    EXPECT_EQ(count, 0);

    // Null block, null count pointer, null buffers with a length: refused.
    EXPECT_EQ(AudioEncoding_A(nullptr), 0);
    EXPECT_EQ(AudioDecoding_A(nullptr), 0);
    AudioCodecBlock bad{pcm.data(), 116, 0, frames.data(), nullptr};
    EXPECT_EQ(AudioEncoding_A(&bad), 0);
    bad = {nullptr, 116, 0, frames.data(), &count};
    EXPECT_EQ(AudioEncoding_A(&bad), 0);
    bad = {pcm.data(), 116, 0, nullptr, &count};
    EXPECT_EQ(AudioDecoding_A(&bad), 0);

    EXPECT_EQ(FreeAudioEncoder_A(), 1);
    EXPECT_EQ(FreeAudioDecoder_A(), 1);
    EXPECT_EQ(SetAudioEncoderQuality_A(3), 1);
    EXPECT_EQ(SetAudioEncoderRate_A(8000), 1);
    EXPECT_EQ(SetAudioEncoderVAD_A(1), 1);
}

}  // namespace
