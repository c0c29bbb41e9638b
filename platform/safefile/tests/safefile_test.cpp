// SPDX-License-Identifier: GPL-3.0-or-later
#include "vek/platform/safefile.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "vek/testsupport/process.hpp"
#include "vek/testsupport/tmpfs.hpp"
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace vek::safefile;

namespace {

struct Folder {
    fs::path dir;
    Folder() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir = fs::temp_directory_path() / ("vek-safefile-" + std::to_string(::getpid()) + "-" + info->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    ~Folder() {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
    std::string operator/(const std::string& name) const { return (dir / name).string(); }
    std::vector<std::string> names() const {
        std::vector<std::string> out;
        for (const auto& e : fs::directory_iterator(dir)) out.push_back(e.path().filename().string());
        return out;
    }
};

std::string slurp(const std::string& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void put(const std::string& p, const std::string& text, unsigned mode) {
    std::ofstream(p, std::ios::binary) << text;
    ::chmod(p.c_str(), mode);
}

unsigned modeOf(const std::string& p) {
    struct stat st {};
    EXPECT_EQ(::stat(p.c_str(), &st), 0) << p;
    return st.st_mode & 0777;
}

}  // namespace

TEST(SafeFileNames, OwnerIsReadBackFromOurNamesOnly) {
    const std::string mine = tempName(".MEMO.wav");
    EXPECT_EQ(mine.rfind(".MEMO.wav.vek-", 0), 0u) << mine;
    EXPECT_EQ(ownerOf(mine), static_cast<long>(::getpid()));
    EXPECT_NE(tempName("x"), tempName("x"));  // unique per call
    EXPECT_EQ(ownerOf("a.vek-4242-0123456789abcdef.tmp"), 4242);
    EXPECT_EQ(ownerOf(".vek-7-ffffffffffffffff.tmp"), 7);
    // Not ours: wrong digit count, upper-case hex, no marker, no pid, pid 0,
    // other suffix, the user's own files.
    for (const char* n : {"a.vek-4242-0123456789abcde.tmp", "a.vek-4242-0123456789ABCDEF.tmp",
                          "a-4242-0123456789abcdef.tmp", "a.vek--0123456789abcdef.tmp", "a.vek-0-0123456789abcdef.tmp",
                          "a.vek-4242-0123456789abcdef.wav", "MEMO.wav", ".tmp", "", "vek-1-0123456789abcdef.tmp"})
        EXPECT_EQ(ownerOf(n), -1) << n;
    // A very long target name is cut in the temporary name so that the name
    // stays a valid folder entry.
    EXPECT_LE(tempName(std::string(300, 'n')).size(), 255u);
}

TEST(SafeFileReplace, ContentAndModeOfTheReplacedFileAreKept) {
    Folder f;
    const std::string t = f / "secret.wav";
    for (unsigned mode : {0600u, 0640u, 0444u}) {
        put(t, "old", mode);
        int err = -1;
        ASSERT_TRUE(replaceContents(t, "new content", 11, LinkPolicy::ReplaceLink, &err)) << err;
        EXPECT_EQ(err, 0);
        EXPECT_EQ(slurp(t), "new content");
        EXPECT_EQ(modeOf(t), mode) << std::oct << mode;
    }
    EXPECT_EQ(f.names(), std::vector<std::string>{"secret.wav"});
    // A new file gets what a plain create gives, or the mode asked for.
    const std::string fresh = f / "fresh.wav";
    ASSERT_TRUE(replaceContents(fresh, "x", 1));
    EXPECT_EQ(modeOf(fresh), defaultFileMode());
    const std::string priv = f / "private.ini";
    ASSERT_TRUE(replaceContents(priv, "x", 1, LinkPolicy::Follow, nullptr, 0600));
    EXPECT_EQ(modeOf(priv), 0600u);
}

TEST(SafeFileReplace, TemporaryFileIsPrivateBesideTheTargetAndTheOldFileStaysUntilCommit) {
    Folder f;
    const std::string t = f / "MEMO.wav";
    put(t, "old", 0644);
    {
        Replacement r;
        ASSERT_TRUE(r.begin(t));
        EXPECT_EQ(fs::path(r.tempPath()).parent_path(), f.dir);
        EXPECT_EQ(ownerOf(fs::path(r.tempPath()).filename().string()), static_cast<long>(::getpid()));
        EXPECT_EQ(modeOf(r.tempPath()), 0600u);
        ASSERT_TRUE(r.write("partial", 7));
        EXPECT_EQ(slurp(t), "old");
        // Gone without commit: the old file stays, the temporary goes.
    }
    EXPECT_EQ(slurp(t), "old");
    EXPECT_EQ(f.names(), std::vector<std::string>{"MEMO.wav"});

    // Written by name (as a library that opens paths does): the descriptor
    // the replacement holds still reaches the data.
    Replacement r;
    ASSERT_TRUE(r.begin(t));
    std::ofstream(r.tempPath(), std::ios::binary | std::ios::trunc) << "by name";
    ASSERT_TRUE(r.commit());
    EXPECT_EQ(slurp(t), "by name");
    EXPECT_EQ(modeOf(t), 0644u);
    EXPECT_FALSE(r.commit());  // once only
}

TEST(SafeFileReplace, LinksAreReplacedOrFollowedNeverWrittenThrough) {
    Folder f;
    fs::create_directory(f.dir / "elsewhere");
    const std::string real = f / "elsewhere/real.wav";
    put(real, "theirs", 0600);

    // ReplaceLink: the link becomes a file of its own; the file it named is
    // untouched.
    const std::string link = f / "link.wav";
    fs::create_symlink(real, link);
    ASSERT_TRUE(replaceContents(link, "ours", 4));
    EXPECT_FALSE(fs::is_symlink(link));
    EXPECT_EQ(slurp(link), "ours");
    EXPECT_EQ(slurp(real), "theirs");
    EXPECT_EQ(modeOf(link), 0600u);  // what was seen under the name

    // A dangling link: replaced, and nothing is created where it pointed.
    const std::string dangling = f / "dangling.wav";
    const std::string nowhere = f / "elsewhere/nowhere.wav";
    fs::create_symlink(nowhere, dangling);
    ASSERT_TRUE(replaceContents(dangling, "ours", 4));
    EXPECT_FALSE(fs::is_symlink(dangling));
    EXPECT_FALSE(fs::exists(nowhere));

    // Follow: the link stays and the file it names is replaced beside itself.
    const std::string kept = f / "kept.ini";
    fs::create_symlink(real, kept);
    ASSERT_TRUE(replaceContents(kept, "followed", 8, LinkPolicy::Follow));
    EXPECT_TRUE(fs::is_symlink(kept));
    EXPECT_EQ(slurp(real), "followed");
    EXPECT_EQ(modeOf(real), 0600u);

    // Nothing but a file is replaced: a folder, or a link to one, is refused.
    fs::create_directory(f.dir / "folder.wav");
    fs::create_symlink(f.dir / "elsewhere", f.dir / "dirlink.wav");
    Replacement r;
    EXPECT_FALSE(r.begin(f / "folder.wav"));
    EXPECT_EQ(r.error(), EISDIR);
    EXPECT_FALSE(r.begin(f / "dirlink.wav"));
    EXPECT_TRUE(fs::is_directory(f.dir / "folder.wav"));
    EXPECT_TRUE(fs::is_symlink(f.dir / "dirlink.wav"));
    EXPECT_EQ(std::distance(fs::directory_iterator(f.dir / "elsewhere"), fs::directory_iterator()), 1);
}

// A full disk: a small tmpfs. The replacement fails, the old file is intact
// and no temporary file is left.
TEST(SafeFileReplace, FullDiskKeepsTheOldFile) {
    Folder f;
    const vek::testsupport::TmpfsMount small(f.dir / "small", "64k");
    if (!small.mounted()) GTEST_SKIP() << small.skipReason();
    const fs::path mnt = small.path();
    const std::string t = (mnt / "MEMO.wav").string();
    put(t, "the old recording", 0600);
    const std::string big(1 << 20, 'x');
    int err = 0;
    EXPECT_FALSE(replaceContents(t, big.data(), big.size(), LinkPolicy::ReplaceLink, &err));
    EXPECT_EQ(err, ENOSPC);
    EXPECT_EQ(slurp(t), "the old recording");
    EXPECT_EQ(std::distance(fs::directory_iterator(mnt), fs::directory_iterator()), 1);
}

// A process killed in the middle leaves the old target and its temporary
// file; the next sweep removes the file of the dead process and nothing of a
// live one.
TEST(SafeFileSweep, KilledWriterLeavesOldTargetAndItsTempIsSwept) {
    Folder f;
    const std::string t = f / "MEMO.wav";
    put(t, "old", 0644);
    auto writer = [&](int ready) {
        Replacement r;
        if (!r.begin(t)) ::_exit(2);
        const std::string chunk(4096, 'n');
        for (int i = 0; i < 16; ++i) (void)r.write(chunk.data(), chunk.size());
        (void)!::write(ready, "r", 1);
        for (;;) ::pause();
    };
    auto start = [&](pid_t& pid) {
        int p[2];
        EXPECT_EQ(::pipe(p), 0);
        pid = ::fork();
        if (pid == 0) {
            ::close(p[0]);
            writer(p[1]);
        }
        ::close(p[1]);
        char c = 0;
        EXPECT_EQ(::read(p[0], &c, 1), 1);
        ::close(p[0]);
    };
    pid_t dead = 0, alive = 0;
    start(dead);
    start(alive);
    ASSERT_EQ(::kill(dead, SIGKILL), 0);
    int status = 0;
    ASSERT_EQ(::waitpid(dead, &status, 0), dead);
    ASSERT_TRUE(WIFSIGNALED(status));

    EXPECT_EQ(slurp(t), "old");
    EXPECT_EQ(f.names().size(), 3u);  // the target and two temporary files
    // A link with our name is not ours to remove, nor is a folder.
    const std::string bait = f / ("x.vek-" + std::to_string(dead) + "-0123456789abcdef.tmp");
    fs::create_symlink(t, bait);
    EXPECT_EQ(sweepStale(f.dir.string()), 1);
    EXPECT_TRUE(fs::is_symlink(bait));
    bool aliveKept = false;
    for (const auto& n : f.names()) aliveKept |= ownerOf(n) == alive;
    EXPECT_TRUE(aliveKept);

    ::kill(alive, SIGKILL);
    ::waitpid(alive, &status, 0);
    EXPECT_EQ(sweepStale(f.dir.string()), 1);
    fs::remove(bait);
    EXPECT_EQ(f.names(), std::vector<std::string>{"MEMO.wav"});
    EXPECT_EQ(slurp(t), "old");
}

// The start-up sweep of the temporary folder: a frame file of an ended run
// goes, one of a running process stays, and so does a file of another user
// even when its process has ended.
TEST(SafeFileSweep, TempFolderSweepKeepsLiveAndForeignFiles) {
    Folder f;
    const long dead = vek::testsupport::endedProcessId();
    ASSERT_GT(dead, 0);
    const std::string deadFile = f / ("vekshell.vek-" + std::to_string(dead) + "-0123456789abcdef.tmp");
    const std::string liveFile = f / ("vekconv.vek-" + std::to_string(::getppid()) + "-fedcba9876543210.tmp");
    const std::string foreign = f / ("vekshell.vek-" + std::to_string(dead) + "-00000000000000ff.tmp");
    put(deadFile, "frames", 0600);
    put(liveFile, "frames", 0600);
    put(foreign, "frames", 0600);
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown(foreign.c_str(), 65534, 65534), 0);
    }

    const char* before = std::getenv("TMPDIR");
    const std::string saved = before ? before : "";
    ASSERT_EQ(::setenv("TMPDIR", f.dir.c_str(), 1), 0);
    EXPECT_EQ(userTempFolder(), f.dir.string());
    const int removed = sweepUserTempFolder();
    if (before)
        ::setenv("TMPDIR", saved.c_str(), 1);
    else
        ::unsetenv("TMPDIR");
    EXPECT_FALSE(fs::exists(deadFile));
    EXPECT_TRUE(fs::exists(liveFile));
    if (root) {
        EXPECT_EQ(removed, 1);
        EXPECT_TRUE(fs::exists(foreign));
    } else {
        EXPECT_EQ(removed, 2);  // both ours: no other user to give a file to
    }
}

TEST(SafeFileTemp, PrivateTempFileIsOursAndGoesAway) {
    Folder f;
    std::string path;
    {
        PrivateTempFile tmp;
        ASSERT_TRUE(tmp.create(f.dir.string(), "vekshell"));
        path = tmp.path();
        EXPECT_EQ(modeOf(path), 0600u);
        EXPECT_EQ(ownerOf(fs::path(path).filename().string()), static_cast<long>(::getpid()));
        EXPECT_EQ(sweepStale(f.dir.string()), 0);  // our own, alive
        EXPECT_TRUE(fs::exists(path));
    }
    EXPECT_FALSE(fs::exists(path));
    PrivateTempFile none;
    EXPECT_FALSE(none.create((f.dir / "missing").string(), "vekshell"));
}
