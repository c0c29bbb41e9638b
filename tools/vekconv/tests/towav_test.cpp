// vekconv to-wav: files in any folder, the replace options, messages and
// exit status, Ctrl+C as Cancel.
// SPDX-License-Identifier: GPL-3.0-or-later
#include <csignal>
#include <fcntl.h>

#include "vekconv_test.hpp"

namespace vekconv::testing {
namespace {

// An HQ file made by to-sc4 from a tone.
void makeHq(const fs::path& wav, std::size_t samples) {
    writeFile(wav, wavImage(16, 1, 8000, toneData(samples, 1, 8000)));
    const RunResult r = vekconv("to-sc4 --mode hq --yes '" + wav.string() + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    fs::remove(wav);
}

TEST(VekconvToWav, ConvertsEachFileBesideItselfInAnyFolder) {
    ScratchDir s("vekconv");
    fs::create_directories(s.path() / "a");
    fs::create_directories(s.path() / "b");
    makeHq(s.path() / "a" / "one.wav", 10000);
    makeHq(s.path() / "b" / "TWO.wav", 3944);
    fs::rename(s.path() / "b" / "TWO.sc4", s.path() / "b" / "TWO.SC4");
    const RunResult r = vekconv("to-wav '" + (s.path() / "a" / "one.sc4").string() + "' '" + (s.path() / "b" / "TWO.SC4").string() + "'");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find((s.path() / "a" / "one.wav").string()), std::string::npos);
    EXPECT_NE(r.out.find((s.path() / "b" / "TWO.wav").string()), std::string::npos);
    const Wav one = readWav(s.path() / "a" / "one.wav");
    ASSERT_TRUE(one.ok);
    EXPECT_EQ(one.rate, 8000u);
    EXPECT_EQ(one.channels, 1);
    EXPECT_EQ(one.bits, 16);
    EXPECT_EQ(one.samples.size() % 3944, 0u);
    EXPECT_GE(one.samples.size(), 10000u);
    EXPECT_TRUE(readWav(s.path() / "b" / "TWO.wav").ok);
}

TEST(VekconvToWav, ReplaceIsAnsweredByOptionsAndRefusedWithoutATerminal) {
    ScratchDir s("vekconv");
    makeHq(s.path() / "m.wav", 4000);
    const std::string src = "'" + (s.path() / "m.sc4").string() + "'";
    writeFile(s.path() / "m.wav", Bytes{7, 7, 7});

    RunResult r = vekconv("to-wav --no " + src);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(readFile(s.path() / "m.wav"), (Bytes{7, 7, 7}));

    r = vekconv("to-wav " + src);  // stdin is not a terminal
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("This folder already contains a file named 'm.wav'."), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("--yes"), std::string::npos);
    EXPECT_EQ(readFile(s.path() / "m.wav"), (Bytes{7, 7, 7}));

    r = vekconv("to-wav --yes " + src);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(readWav(s.path() / "m.wav").ok);
}

TEST(VekconvToWav, BadFilesAndUsageGiveMessagesAndStatus) {
    ScratchDir s("vekconv");
    writeFile(s.path() / "bad.sc4", Bytes(64, 0x20));
    writeFile(s.path() / "x.txt", Bytes(64, 0x20));
    RunResult r = vekconv("to-wav '" + (s.path() / "bad.sc4").string() + "'");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Invalid sc4 file! (bad.sc4)"), std::string::npos) << r.err;
    r = vekconv("to-wav '" + (s.path() / "x.txt").string() + "' '" + (s.path() / "none.sc4").string() + "'");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("not a .sc4 file"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("no such file"), std::string::npos) << r.err;
    EXPECT_EQ(vekconv("to-wav").status, 2);
    EXPECT_EQ(vekconv("to-wav --bogus a.sc4").status, 2);
    r = vekconv("to-wav --help");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("Usage: vekconv to-wav"), std::string::npos);
}

TEST(VekconvToWav, ReadOnlyFolderGivesAWriteErrorPerFile) {
    ScratchDir s("vekconv");
    const auto prefix = unprivilegedPrefix();
    if (!prefix) GTEST_SKIP() << "cannot run as an unprivileged user here";
    fs::create_directories(s.path() / "ro");
    makeHq(s.path() / "ro" / "x.wav", 4000);
    makeHq(s.path() / "ro" / "y.wav", 4000);
    fs::permissions(s.path() / "ro", fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                       fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
    const RunResult r = vekconv("to-wav '" + (s.path() / "ro" / "x.sc4").string() + "' '" +
                                        (s.path() / "ro" / "y.sc4").string() + "'", {}, *prefix);
    fs::permissions(s.path() / "ro", fs::perms::owner_all);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Write error! (x.wav)"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("Write error! (y.wav)"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(s.path() / "ro" / "x.wav"));
}

TEST(VekconvToWav, InterruptFinishesTheFileShorterAndValid) {
    ScratchDir s("vekconv");
    // 40 minutes of HQ audio, so the conversion outlasts the signal.
    const std::size_t samples = 8000u * 60u * 40u;
    makeHq(s.path() / "long.wav", samples);
    makeHq(s.path() / "next.wav", 4000);
    const fs::path target = s.path() / "long.wav";
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        const int null = ::open("/dev/null", O_RDWR);
        dup2(null, 0);
        dup2(null, 1);
        dup2(null, 2);
        const std::string a = (s.path() / "long.sc4").string(), b = (s.path() / "next.sc4").string();
        execl(VEKCONV_PATH, "vekconv", "to-wav", a.c_str(), b.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    bool signalled = false;
    // The WAV grows under a temporary name beside the target and takes the
    // target's name when complete.
    auto partial = [&] {
        std::error_code ec;
        for (const auto& e : fs::directory_iterator(s.path(), ec))
            if (e.path().filename().string().rfind(".long.wav.vek-", 0) == 0) return e.path();
        return fs::path();
    };
    for (int i = 0; i < 20000; ++i) {
        std::error_code ec;
        const fs::path growing = partial();
        if (!growing.empty() && fs::file_size(growing, ec) > 1000000 && !ec) {
            kill(pid, SIGINT);
            signalled = true;
            break;
        }
        int st;
        if (waitpid(pid, &st, WNOHANG) == pid) break;
        usleep(500);
    }
    int st = 0;
    waitpid(pid, &st, 0);
    if (!signalled) GTEST_SKIP() << "the conversion finished before it could be interrupted";
    ASSERT_TRUE(WIFEXITED(st));
    EXPECT_EQ(WEXITSTATUS(st), 130);
    const Wav w = readWav(target);
    EXPECT_TRUE(w.ok);  // the header's lengths match the data written
    EXPECT_LT(w.samples.size(), samples);
    EXPECT_EQ(w.samples.size() % 3944, 0u);
    EXPECT_FALSE(fs::exists(s.path() / "next.wav"));
    EXPECT_TRUE(partial().empty());
}

}  // namespace
}  // namespace vekconv::testing
