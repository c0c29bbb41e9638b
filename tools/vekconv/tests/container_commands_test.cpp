// vekconv info / pack / unpack: round trips, exit codes, and no partial or
// clobbered output on failure.
// SPDX-License-Identifier: GPL-3.0-or-later
#include "vekconv_test.hpp"

#include "vek/codec/bytestream.hpp"
#include "vek/codec/sc4.hpp"

namespace vekconv::testing {
namespace {

using ContainerCommands = CliTest;

TEST_F(ContainerCommands, PackUnpackRoundTripAndInfo) {
    const Bytes frames = randomBytes(29 * 1000, 1);
    write("in.adp", frames);
    auto r = run("pack --mode shq in.adp out.sc4");
    ASSERT_EQ(r.status, 0) << r.err;
    const Bytes sc4 = read("out.sc4");
    vek::MemorySource src(frames.data(), frames.size());
    vek::MemorySink expected;
    ASSERT_TRUE(vek::adpcmToSc4(src, expected, true));
    EXPECT_EQ(sc4, expected.bytes());

    r = run("unpack out.sc4 back.adp");
    ASSERT_EQ(r.status, 0) << r.err;
    const Bytes back = read("back.adp");
    ASSERT_GE(back.size(), frames.size());
    EXPECT_TRUE(std::equal(frames.begin(), frames.end(), back.begin()));

    r = run("info out.sc4");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "out.sc4\tSHQ " + vek::formatDuration(vek::RecordingMode::SHQ, sc4.size()) + "\t" +
                         std::to_string(sc4.size()) + " bytes\n");
    EXPECT_NE(r.out.find("SHQ  [00:00:05]"), std::string::npos) << r.out;  // 58000 samples at 11025 Hz
}

TEST_F(ContainerCommands, InfoReportsEveryModeAndFailsOnBadFiles) {
    const Bytes sp = spFile(130, [](std::size_t, std::size_t) { return std::uint8_t{0}; });
    write("a.sc4", sp);
    write("bad.sc4", Bytes{1, 2, 3});
    write("empty.sc4", {});
    auto r = run("info a.sc4 bad.sc4 empty.sc4 missing.sc4");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "a.sc4\tSP  [00:01:05]\t66560 bytes\n");
    EXPECT_NE(r.err.find("bad.sc4"), std::string::npos);
    EXPECT_NE(r.err.find("empty.sc4"), std::string::npos);
    EXPECT_NE(r.err.find("missing.sc4"), std::string::npos);
}

TEST_F(ContainerCommands, FailuresLeaveNoPartialOutputAndKeepExistingFiles) {
    write("junk.sc4", Bytes(3000, 0x42));  // no start pattern
    write("keep.adp", Bytes{9, 9, 9});
    const auto before = listing();
    auto r = run("unpack junk.sc4 keep.adp");
    EXPECT_NE(r.status, 0);
    EXPECT_FALSE(r.err.empty());
    EXPECT_EQ(read("keep.adp"), (Bytes{9, 9, 9})) << "a failed run must not clobber the target";
    EXPECT_EQ(listing(), before) << "no temporary file may be left behind";

    r = run("unpack missing.sc4 out.adp");
    EXPECT_NE(r.status, 0);
    EXPECT_FALSE(exists("out.adp"));

    write("in.adp", randomBytes(290, 2));
    r = run("pack --mode hq in.adp no/such/folder/out.sc4");
    EXPECT_NE(r.status, 0);
    EXPECT_FALSE(r.err.empty());
}

TEST_F(ContainerCommands, UsageErrorsAndHelp) {
    EXPECT_EQ(run("").status, 2);
    EXPECT_EQ(run("frobnicate").status, 2);
    EXPECT_EQ(run("pack in.adp out.sc4").status, 2);       // no mode
    EXPECT_EQ(run("pack --mode sp in.adp out.sc4").status, 2);
    EXPECT_EQ(run("unpack only-one").status, 2);
    const auto help = run("--help");
    EXPECT_EQ(help.status, 0);
    for (const char* cmd : {"info", "pack", "unpack"}) EXPECT_NE(help.out.find(cmd), std::string::npos) << cmd;
    const auto packHelp = run("pack --help");
    EXPECT_EQ(packHelp.status, 0);
    EXPECT_NE(packHelp.out.find("--mode hq|shq"), std::string::npos);
}

TEST_F(ContainerCommands, UnpackRefusesSpRecordings) {
    const Bytes sp = spFile(1, [](std::size_t, std::size_t) { return std::uint8_t{0}; });
    write("sp.sc4", sp);
    const auto r = run("unpack sp.sc4 out.adp");
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.err.find("SP"), std::string::npos);
    EXPECT_FALSE(exists("out.adp"));
}

}  // namespace
}  // namespace vekconv::testing
