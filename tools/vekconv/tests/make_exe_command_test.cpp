// vekconv make-exe: the layout of self-playing files for each mode, checked
// with the codec library, and refusals that leave no output.
// SPDX-License-Identifier: GPL-3.0-or-later
#include "vekconv_test.hpp"

#include <cmath>
#include <cstring>
#include <filesystem>

#include "vek/codec/adpcm.hpp"
#include "vek/codec/bytestream.hpp"
#include "vek/codec/sc4.hpp"

namespace vekconv::testing {
namespace {

using MakeExeCommand = CliTest;

TEST_F(MakeExeCommand, MakeExeLayoutsForEachMode) {
    Bytes gstub = randomBytes(78848, 5), astub = randomBytes(51200, 6);
    write("g.exe", gstub);
    write("a.exe", astub);
    // SP: the SC4 file itself behind the header at 78848.
    const Bytes sp = spFile(3, [](std::size_t, std::size_t) { return std::uint8_t{0x33}; });
    write("sp.sc4", sp);
    auto r = run("make-exe --stub g.exe --effect 7 --level 33 sp.sc4 sp.exe");
    ASSERT_EQ(r.status, 0) << r.err;
    Bytes exe = read("sp.exe");
    ASSERT_EQ(exe.size(), 78848u + 12 + sp.size());
    EXPECT_TRUE(std::equal(gstub.begin(), gstub.end(), exe.begin()));
    EXPECT_EQ(std::memcmp(exe.data() + 78848, "TARKAVF\0", 8), 0);
    EXPECT_EQ(exe[78856], 4);
    EXPECT_EQ(exe[78857], 30);
    EXPECT_EQ(exe[78858], 7);
    EXPECT_EQ(exe[78859], 33);
    EXPECT_TRUE(std::equal(sp.begin(), sp.end(), exe.begin() + 78860));
    // HQ and SHQ: the frame stream sc4ToAdpcm makes, at 51200; default level 80.
    for (bool shq : {false, true}) {
        Bytes stream;
        const Bytes sc4 = hqRecording(120, &stream, shq);
        write("hq.sc4", sc4);
        r = run("make-exe --stub a.exe hq.sc4 hq.exe");
        ASSERT_EQ(r.status, 0) << r.err;
        exe = read("hq.exe");
        vek::MemorySource src(sc4.data(), sc4.size());
        vek::MemorySink frames;
        ASSERT_TRUE(vek::sc4ToAdpcm(src, frames));
        ASSERT_EQ(exe.size(), 51200u + 12 + frames.bytes().size());
        EXPECT_TRUE(std::equal(astub.begin(), astub.end(), exe.begin()));
        EXPECT_EQ(std::memcmp(exe.data() + 51200, "TARKAVF\0", 8), 0);
        EXPECT_EQ(exe[51208], shq ? 6 : 5);
        EXPECT_EQ(exe[51209], 30);
        EXPECT_EQ(exe[51210], 0);
        EXPECT_EQ(exe[51211], 80);
        EXPECT_TRUE(std::equal(frames.bytes().begin(), frames.bytes().end(), exe.begin() + 51212));
    }
}

TEST_F(MakeExeCommand, MakeExeRefusesWrongStubsAndBadRecordings) {
    write("short.exe", randomBytes(50000, 7));
    write("bad.sc4", randomBytes(2048, 8));
    Bytes stream;
    write("hq.sc4", hqRecording(10, &stream));
    EXPECT_EQ(run("make-exe --stub short.exe hq.sc4 o.exe").status, 1);
    EXPECT_EQ(run("make-exe --stub short.exe bad.sc4 o.exe").status, 1);
    EXPECT_EQ(run("make-exe --stub nothere.exe hq.sc4 o.exe").status, 1);
    EXPECT_EQ(run("make-exe --effect 99 hq.sc4 o.exe").status, 2);
    EXPECT_FALSE(exists("o.exe"));
}

TEST_F(MakeExeCommand, MakeExeFindsTheStubsBesideTheTool) {
    const std::string stub = std::string(VEK_BIN_DIR) + "/vekaplay.exe";
    if (!std::filesystem::exists(stub)) GTEST_SKIP() << "no vekaplay.exe in this build (mingw-w64 missing)";
    Bytes stream;
    write("hq.sc4", hqRecording(30, &stream));
    auto r = run("make-exe hq.sc4 o.exe");
    ASSERT_EQ(r.status, 0) << r.err;
    const Bytes exe = read("o.exe");
    EXPECT_EQ(std::filesystem::file_size(stub), 51200u);
    EXPECT_EQ(std::memcmp(exe.data() + 51200, "TARKAVF\0", 8), 0);
}

}  // namespace
}  // namespace vekconv::testing
