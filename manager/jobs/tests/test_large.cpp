// Output past 4 GiB: an SP recording of 536,871 sectors (a sparse file, so
// it costs no disk) gives 4,294,968,000 bytes of audio, more than a WAVE
// file's 32-bit lengths can state. The job writes an RF64 file whose 64-bit
// lengths are right. The decoder is a fast stand-in: what is tested is the
// job's arithmetic and the WAV library, not the codec.
// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <fstream>

#include <sys/statvfs.h>

#include "fakes.hpp"
#include "vek/testsupport/tmpfs.hpp"

namespace vek::jobs::test {
namespace {

namespace fs = std::filesystem;

// SP decoding in a few nanoseconds a block: each block's samples carry the
// block number, so a lost or repeated block shows in the data.
struct FastSp final : CodecLibrary {
    std::uint32_t blocks = 0;
    int32_t spInitEncoder() override { return 0; }
    int32_t spEncode(AudioCodecBlock*) override { return 0; }
    int32_t spInitDecoder() override {
        blocks = 0;
        return 1;
    }
    int32_t spDecode(AudioCodecBlock* b) override {
        auto* out = static_cast<std::uint8_t*>(b->output);
        std::memset(out, 0, 8000);
        std::memcpy(out, &blocks, sizeof blocks);
        ++blocks;
        *b->outputCount = 8000;
        return 1;
    }
    int32_t adpcmInitEncoder() override { return 0; }
    int32_t adpcmEncode(AudioCodecBlock*) override { return 0; }
    int32_t adpcmInitDecoder() override { return 0; }
    int32_t adpcmDecode(AudioCodecBlock*) override { return 0; }
    int32_t sc4ToAdpcm(const char*, const char*) override { return 0; }
    int32_t adpcmToSc4(const char*, const char*, int32_t) override { return 0; }
};

std::uint64_t le64(const std::uint8_t* p) {
    std::uint64_t v = 0;
    for (int i = 7; i >= 0; --i) v = v << 8 | p[i];
    return v;
}
std::uint32_t le32(const std::uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | std::uint32_t(p[3]) << 24; }

// The list folder in memory where a tmpfs can be mounted (as root): the
// file's flush to disk before the rename then costs nothing, and the run
// takes seconds instead of most of a minute.
struct MemoryFolder : vek::testsupport::TmpfsMount {
    explicit MemoryFolder(const fs::path& p) : TmpfsMount(p, "4400m") {}
};

TEST(Sc4ToWavLarge, AudioPastFourGibibytesIsWrittenAsRf64WithTrueLengths) {
    JobFixture fx;
    FastSp codecs;
    const std::uint64_t sectors = 536871;
    const std::uint64_t pcmBytes = sectors * 8000;  // 4,294,968,000
    ASSERT_GT(pcmBytes, 0xFFFFFFFFull);
    MemoryFolder memory(fx.dir / "list");
    struct statvfs vfs {};
    ASSERT_EQ(::statvfs((fx.dir / "list").c_str(), &vfs), 0);
    if (static_cast<std::uint64_t>(vfs.f_bavail) * vfs.f_frsize < pcmBytes + (16ull << 20))
        GTEST_SKIP() << "needs 4.3 GB free for the output";

    const fs::path sc4 = fx.dir / "list" / "long.sc4";
    {
        std::ofstream f(sc4, std::ios::binary);
        f.write("dmr1data", 8);
    }
    fs::resize_file(sc4, sectors * 512);  // sparse: the rest reads as zeros
    fx.state.SelectedNames = {"long.sc4"};
    fx.ui.ContinueFlag = true;
    JobContext ctx{fx.state, fx.main, fx.ui, codecs, *fx.wave};
    const auto t0 = std::chrono::steady_clock::now();
    runSc4ToWavJob(ctx);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    RecordProperty("seconds", std::to_string(seconds));

    EXPECT_TRUE(fx.ui.boxes.empty()) << fx.ui.boxes[0].text;
    EXPECT_EQ(fx.state.ConvertedCount, 1);
    EXPECT_EQ(codecs.blocks, sectors);
    const fs::path wav = fx.dir / "list" / "long.wav";
    ASSERT_TRUE(fs::exists(wav));
    const std::uint64_t fileSize = fs::file_size(wav);

    // The head: "RF64", the ds64 chunk with the 64-bit lengths, then the
    // format and the data chunk with 0xFFFFFFFF in its 32-bit length.
    std::vector<std::uint8_t> head(4096);
    std::ifstream in(wav, std::ios::binary);
    in.read(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(head.size()));
    ASSERT_EQ(std::memcmp(head.data(), "RF64", 4), 0);
    EXPECT_EQ(le32(head.data() + 4), 0xFFFFFFFFu);
    ASSERT_EQ(std::memcmp(head.data() + 8, "WAVEds64", 8), 0);
    EXPECT_EQ(le64(head.data() + 20), fileSize - 8);  // RIFF size
    EXPECT_EQ(le64(head.data() + 28), pcmBytes);      // data size
    std::size_t pos = 12;
    std::size_t dataAt = 0;
    while (pos + 8 <= head.size()) {
        const std::uint32_t len = le32(head.data() + pos + 4);
        if (std::memcmp(head.data() + pos, "data", 4) == 0) {
            dataAt = pos + 8;
            EXPECT_EQ(len, 0xFFFFFFFFu);
            break;
        }
        if (std::memcmp(head.data() + pos, "fmt ", 4) == 0) {
            EXPECT_EQ(le32(head.data() + pos + 12), 8000u);  // rate
        }
        pos += 8 + len + (len & 1);
    }
    ASSERT_GT(dataAt, 0u);
    EXPECT_EQ(fileSize, dataAt + pcmBytes);
    // The last block is the last one decoded.
    std::uint8_t last[4] = {};
    in.seekg(static_cast<std::streamoff>(dataAt + pcmBytes - 8000));
    in.read(reinterpret_cast<char*>(last), 4);
    EXPECT_EQ(le32(last), sectors - 1);
    fs::remove(wav);
}

}  // namespace
}  // namespace vek::jobs::test
