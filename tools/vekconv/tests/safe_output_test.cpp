// vekconv's outputs under the faults a user meets: a replaced file keeps its
// mode, links under an output name are replaced (never written through, and
// never created by --no), a full disk keeps the old file, a pipe under an
// input or output name is neither read (which would wait for a writer) nor
// replaced.
// SPDX-License-Identifier: GPL-3.0-or-later
#include <cerrno>
#include <cstring>

#include "vek/testsupport/tmpfs.hpp"
#include <sys/stat.h>
#include <sys/types.h>

#include "vekconv_test.hpp"

namespace convtest {
namespace {

using namespace vekconv::testing;

RunResult run(const std::string& args, const fs::path& cwd) { return vekconv::testing::vekconv(args, cwd); }
RunResult runPrefixed(const std::string& prefix, const std::string& args, const fs::path& cwd) {
    return vekconv::testing::vekconv(args, cwd, prefix);
}

unsigned modeOf(const fs::path& p) {
    struct stat st {};
    EXPECT_EQ(::lstat(p.c_str(), &st), 0) << p;
    return st.st_mode & 0777;
}

// An HQ recording made by to-sc4 from a tone; the WAV it came from removed.
fs::path hqFile(const ScratchDir& s, const std::string& stem, std::size_t samples) {
    const fs::path wav = s.path() / (stem + ".wav");
    writeFile(wav, wavImage(16, 1, 8000, toneData(samples, 1, 8000)));
    const RunResult r = run("to-sc4 --mode hq --yes '" + wav.string() + "'", s.path());
    EXPECT_EQ(r.status, 0) << r.err;
    fs::remove(wav);
    return s.path() / (stem + ".sc4");
}

TEST(VekconvSafeOutput, ReplacedOutputsKeepTheirMode) {
    ScratchDir s;
    const fs::path sc4 = hqFile(s, "m", 9000);
    writeFile(s.path() / "in.wav", wavImage(16, 1, 8000, toneData(4000, 1, 8000)));
    for (unsigned mode : {0600u, 0640u}) {
        for (const char* name : {"fx.wav", "m.wav", "r.wav", "m.adp"}) {
            writeFile(s.path() / name, Bytes{1, 2});
            ::chmod((s.path() / name).c_str(), mode);
        }
        const std::string dir = "'" + s.path().string() + "/";
        ASSERT_EQ(run("effect --effect 5 " + dir + "in.wav' " + dir + "fx.wav'", s.path()).status, 0);
        ASSERT_EQ(run("render " + dir + "m.sc4' " + dir + "r.wav'", s.path()).status, 0);
        ASSERT_EQ(run("unpack " + dir + "m.sc4' " + dir + "m.adp'", s.path()).status, 0);
        ASSERT_EQ(run("to-wav --yes " + dir + "m.sc4'", s.path()).status, 0);
        for (const char* name : {"fx.wav", "m.wav", "r.wav", "m.adp"}) {
            EXPECT_GT(fs::file_size(s.path() / name), 2u) << name;
            EXPECT_EQ(modeOf(s.path() / name), mode) << name;
        }
    }
    EXPECT_EQ(listing(s.path()), (std::vector<std::string>{"fx.wav", "in.wav", "m.adp", "m.sc4", "m.wav", "r.wav"}));
}

TEST(VekconvSafeOutput, PipesAreNeitherReadNorReplaced) {
    ScratchDir s;
    hqFile(s, "m", 9000);
    writeFile(s.path() / "in.wav", wavImage(16, 1, 8000, toneData(4000, 1, 8000)));
    for (const char* name : {"p.sc4", "p.wav", "out.wav", "out.adp", "out.exe", "m.wav"})
        ASSERT_EQ(::mkfifo((s.path() / name).c_str(), 0600), 0) << name << ": " << std::strerror(errno);
    // A command that opened one of them would wait for ever: `timeout` ends
    // it, and its status 124 fails the test.
    struct Case {
        std::string args, says;
    };
    const std::vector<Case> cases{
        {"info p.sc4", "'p.sc4': not a regular file"},
        {"to-wav --yes p.sc4", "'p.sc4': not a regular file"},
        {"to-sc4 --mode hq --yes p.wav", "'p.wav': not a regular file"},
        {"unpack p.sc4 x.adp", "'p.sc4': not a regular file"},
        {"render p.sc4 x.wav", "'p.sc4': not a regular file"},
        {"make-exe p.sc4 x.exe", "'p.sc4': not a regular file"},
        {"effect p.wav x.wav", "'p.wav': not a regular file"},
        {"effect in.wav out.wav", "'out.wav' is not a regular file: it is not replaced"},
        {"render m.sc4 out.wav", "'out.wav' is not a regular file: it is not replaced"},
        {"unpack m.sc4 out.adp", "out.adp"},
        {"to-wav --yes m.sc4", "m.wav"},
    };
    for (const Case& c : cases) {
        const RunResult r = runPrefixed("timeout 20", c.args, s.path());
        EXPECT_EQ(r.status, 1) << c.args << ": " << r.err;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << c.args << ": " << r.err;
    }
    for (const char* name : {"p.sc4", "p.wav", "out.wav", "out.adp", "out.exe", "m.wav"}) {
        struct stat st {};
        ASSERT_EQ(::lstat((s.path() / name).c_str(), &st), 0) << name;
        EXPECT_TRUE(S_ISFIFO(st.st_mode)) << name;
    }
    for (const char* name : {"x.adp", "x.wav", "x.exe"}) EXPECT_FALSE(fs::exists(s.path() / name)) << name;
}

TEST(VekconvSafeOutput, ToWavNeverWritesThroughALinkAndNoCreatesNothing) {
    ScratchDir s;
    const fs::path sc4 = hqFile(s, "m", 9000);
    fs::create_directories(s.path() / "elsewhere");
    const fs::path nowhere = s.path() / "elsewhere" / "nowhere.wav";
    fs::create_symlink(nowhere, s.path() / "m.wav");
    const std::string src = "'" + sc4.string() + "'";

    RunResult r = run("to-wav --no " + src, s.path());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::is_symlink(s.path() / "m.wav"));
    EXPECT_FALSE(fs::exists(nowhere));

    r = run("to-wav " + src, s.path());  // asked, and no terminal to answer
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("already contains a file named 'm.wav'"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(nowhere));

    r = run("to-wav --yes " + src, s.path());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(fs::is_symlink(s.path() / "m.wav"));
    EXPECT_TRUE(readWav(s.path() / "m.wav").ok);
    EXPECT_FALSE(fs::exists(nowhere));
    EXPECT_TRUE(fs::is_empty(s.path() / "elsewhere"));

    // The same for to-sc4, onto a link to someone else's file.
    writeFile(s.path() / "elsewhere" / "theirs.sc4", Bytes{4, 4});
    writeFile(s.path() / "w.wav", wavImage(16, 1, 8000, toneData(9000, 1, 8000)));
    fs::create_symlink(s.path() / "elsewhere" / "theirs.sc4", s.path() / "w.sc4");
    r = run("to-sc4 --mode hq --yes '" + (s.path() / "w.wav").string() + "'", s.path());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(fs::is_symlink(s.path() / "w.sc4"));
    EXPECT_EQ(readFile(s.path() / "elsewhere" / "theirs.sc4"), (Bytes{4, 4}));
}

TEST(VekconvSafeOutput, FullDiskKeepsTheOldWav) {
    ScratchDir s;
    const TmpfsMount small(s.path() / "small", "300k");
    if (!small.mounted()) GTEST_SKIP() << small.skipReason();
    const fs::path mnt = small.path();
    const fs::path sc4 = hqFile(s, "m", 8000 * 30);  // 30 s: 480 KB of WAV
    fs::copy_file(sc4, mnt / "m.sc4");
    writeFile(mnt / "m.wav", Bytes{9, 8, 7});
    const RunResult r = run("to-wav --yes '" + (mnt / "m.sc4").string() + "'", s.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Write error! (m.wav)"), std::string::npos) << r.err;
    EXPECT_EQ(readFile(mnt / "m.wav"), (Bytes{9, 8, 7}));
    EXPECT_EQ(listing(mnt), (std::vector<std::string>{"m.sc4", "m.wav"}));
    // render and effect: the same.
    writeFile(mnt / "r.wav", Bytes{6});
    EXPECT_EQ(run("render '" + (mnt / "m.sc4").string() + "' '" + (mnt / "r.wav").string() + "'", s.path()).status, 1);
    EXPECT_EQ(readFile(mnt / "r.wav"), (Bytes{6}));
    EXPECT_EQ(listing(mnt), (std::vector<std::string>{"m.sc4", "m.wav", "r.wav"}));
}

// Each start sweeps the temporary folder: the frame file a killed run left
// goes, one of a process still running (this test) stays, and the run's own
// frame file is gone when it ends.
TEST(VekconvSafeOutput, StartSweepsFrameFilesOfEndedRunsOnly) {
    ScratchDir s;
    const fs::path tmp = s.path() / "tmp";
    fs::create_directories(tmp);
    const std::string dead = "vekconv.vek-" + std::to_string(endedProcessId()) + "-0123456789abcdef.tmp";
    const std::string live = "vekconv.vek-" + std::to_string(::getpid()) + "-fedcba9876543210.tmp";
    writeFile(tmp / dead, Bytes{1});
    writeFile(tmp / live, Bytes{2});
    const fs::path sc4 = hqFile(s, "m", 9000);
    const std::string env = "env TMPDIR=" + shellQuote(tmp.string());
    const RunResult r = runPrefixed(env, "render '" + sc4.string() + "' '" + (s.path() / "r.wav").string() + "'",
                                    s.path());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(listing(tmp), std::vector<std::string>{live});
    // Any command sweeps, even one that fails.
    writeFile(tmp / dead, Bytes{1});
    EXPECT_NE(runPrefixed(env, "info missing.sc4", s.path()).status, 0);
    EXPECT_EQ(listing(tmp), std::vector<std::string>{live});
}

}  // namespace
}  // namespace convtest
