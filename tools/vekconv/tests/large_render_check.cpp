// vekconv render of an SP recording of 536,871 sectors (a sparse file):
// 4,294,968,000 bytes of audio and more, past a WAVE file's 32-bit lengths.
// The output is an RF64 file whose 64-bit lengths are right, and the run
// stays within a small address space (the whole output is never held in
// memory). About 30 s: label "large".
// SPDX-License-Identifier: GPL-3.0-or-later
#include <cerrno>
#include <cstring>

#include "vek/testsupport/tmpfs.hpp"

#include <fstream>

#include "vekconv_test.hpp"

namespace convtest {
namespace {

using namespace vekconv::testing;

[[maybe_unused]] RunResult run(const std::string& args, const fs::path& cwd) { return vekconv::testing::vekconv(args, cwd); }
[[maybe_unused]] RunResult runPrefixed(const std::string& prefix, const std::string& args, const fs::path& cwd) {
    return vekconv::testing::vekconv(args, cwd, prefix);
}

std::uint64_t le64(const std::uint8_t* p) {
    std::uint64_t v = 0;
    for (int i = 7; i >= 0; --i) v = v << 8 | p[i];
    return v;
}
std::uint32_t le32(const std::uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | std::uint32_t(p[3]) << 24; }

TEST(VekconvLarge, RenderPastFourGibibytesWritesRf64InBoundedMemory) {
    ScratchDir s;
    // In memory, so that flushing 4 GB before the rename costs nothing.
    const TmpfsMount memory(s.path() / "mem", "4600m");
    if (!memory.mounted()) GTEST_SKIP() << memory.skipReason();
    const fs::path mnt = memory.path();
    if (std::system("command -v prlimit >/dev/null 2>&1") != 0) GTEST_SKIP() << "prlimit is missing";
    const fs::path sc4 = mnt / "long.sc4";
    {
        std::ofstream f(sc4, std::ios::binary);
        f.write("dmr1data", 8);
    }
    const std::uint64_t sectors = 536871;
    fs::resize_file(sc4, sectors * 512);
    const fs::path wav = mnt / "long.wav";
    // 1 GB of address space: the whole output (8.5 GB of samples) cannot be
    // held.
    const RunResult r = runPrefixed("prlimit --as=1000000000 -- ",
                                    "render '" + sc4.string() + "' '" + wav.string() + "'", s.path());
    ASSERT_EQ(r.status, 0) << r.err;
    const std::uint64_t size = fs::file_size(wav);
    std::vector<std::uint8_t> head(512);
    std::ifstream(wav, std::ios::binary).read(reinterpret_cast<char*>(head.data()), 512);
    ASSERT_EQ(std::memcmp(head.data(), "RF64", 4), 0);
    ASSERT_EQ(std::memcmp(head.data() + 8, "WAVEds64", 8), 0);
    const std::uint64_t riff = le64(head.data() + 20), data = le64(head.data() + 28);
    EXPECT_EQ(riff, size - 8);
    // At least a buffer of 4000 samples for every sector.
    EXPECT_GE(data, sectors * 8000);
    std::size_t pos = 12;
    while (pos + 8 <= head.size() && std::memcmp(head.data() + pos, "data", 4) != 0)
        pos += 8 + le32(head.data() + pos + 4);
    ASSERT_LT(pos + 8, head.size());
    EXPECT_EQ(size, pos + 8 + data);
    fs::remove(wav);
}

}  // namespace
}  // namespace convtest
