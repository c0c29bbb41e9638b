// The process runner and scratch folders: exit status, both streams, the
// working folder, stdin closed, quoting, programs killed by a signal.
// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <filesystem>

#include "vek/testsupport/files.hpp"
#include "vek/testsupport/process.hpp"

namespace {

using namespace vek::testsupport;
namespace fs = std::filesystem;

TEST(ProcessRunner, StatusAndBothStreams) {
    const RunResult r = runProgram("/bin/sh", "-c 'echo out; echo err >&2; exit 3'");
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.out, "out\n");
    EXPECT_EQ(r.err, "err\n");
    EXPECT_EQ(runProgram("/bin/true", "").status, 0);
    // Killed by a signal: no exit status.
    EXPECT_EQ(runProgram("/bin/sh", "-c 'kill -9 $$'").status, -1);
    // A program that is not there: the shell's 127.
    EXPECT_EQ(runProgram("/nonexistent/prog", "").status, 127);
}

TEST(ProcessRunner, WorkingFolderStdinAndQuoting) {
    ScratchDir dir("vek-runner");
    ASSERT_FALSE(dir.path().empty());
    const RunResult pwd = runProgram("/bin/pwd", "-P", dir.path());
    EXPECT_EQ(pwd.out, fs::canonical(dir.path()).string() + "\n");
    // Nothing of the runner's own is left in the working folder.
    EXPECT_TRUE(listing(dir.path()).empty());
    // Standard input is /dev/null: cat ends at once with nothing.
    const RunResult cat = runProgram("/bin/cat", "");
    EXPECT_EQ(cat.status, 0);
    EXPECT_EQ(cat.out, "");
    const std::string odd = "it's a \"name\" with $HOME and `x`";
    EXPECT_EQ(runProgram("/bin/echo", shellQuote(odd)).out, odd + "\n");
    EXPECT_EQ(runProgram("/bin/echo", "x", {}, "env FOO=1").out, "x\n");
}

TEST(ScratchDirs, FreshSeparateAndRemoved) {
    fs::path kept;
    {
        ScratchDir a("vek-scratch"), b("vek-scratch");
        ASSERT_TRUE(fs::is_directory(a.path()));
        EXPECT_NE(a.path(), b.path());
        EXPECT_TRUE(listing(a.path()).empty());
        ASSERT_TRUE(writeFile(a / "x.bin", {1, 2, 3}));
        fs::create_directories(a / "sub");
        EXPECT_EQ(readFile(a / "x.bin"), (std::vector<std::uint8_t>{1, 2, 3}));
        EXPECT_EQ(listing(a.path()), (std::vector<std::string>{"sub", "x.bin"}));
        kept = a.path();
    }
    EXPECT_FALSE(fs::exists(kept));
    EXPECT_FALSE(writeFile("/nonexistent-folder/x", {1}));
    EXPECT_TRUE(readFile("/nonexistent-folder/x").empty());
}

}  // namespace
