// Self-playing executables: exact layouts for the three modes, agreement
// with vekconv make-exe, recognition order, loading back, the temporary and
// outgoing name searches and what is left behind when a step fails.
// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include "fixtures.hpp"
#include "vek/player/render.hpp"
#include "vek/recpexe/pexe.hpp"

using namespace pexetest;
using namespace vek::recpexe;

namespace {

Bytes header(std::uint8_t mode, std::uint8_t effect, std::uint8_t level) {
    return {'T', 'A', 'R', 'K', 'A', 'V', 'F', 0, mode, 30, effect, level};
}

// Checks stub, header and payload of a built file.
void expectLayout(const Bytes& exe, const Bytes& stub, const Bytes& hdr, const Bytes& payload) {
    ASSERT_EQ(exe.size(), stub.size() + 12 + payload.size());
    EXPECT_TRUE(std::equal(stub.begin(), stub.end(), exe.begin()));
    EXPECT_EQ(Bytes(exe.begin() + static_cast<long>(stub.size()), exe.begin() + static_cast<long>(stub.size()) + 12),
              hdr);
    EXPECT_TRUE(std::equal(payload.begin(), payload.end(), exe.begin() + static_cast<long>(stub.size()) + 12));
}

struct ChildLock {
    pid_t pid = -1;
    // A child process takes a POSIX write lock on `p` and keeps it until killed.
    explicit ChildLock(const fs::path& p) {
        int ready[2];
        if (::pipe(ready) != 0) return;
        pid = ::fork();
        if (pid == 0) {
            const int fd = ::open(p.c_str(), O_RDWR);
            struct flock fl{};
            fl.l_type = F_WRLCK;
            fl.l_whence = SEEK_SET;
            const char ok = (fd >= 0 && ::fcntl(fd, F_SETLK, &fl) == 0) ? '1' : '0';
            (void)!::write(ready[1], &ok, 1);
            ::pause();
            ::_exit(0);
        }
        char c = 0;
        (void)!::read(ready[0], &c, 1);
        ::close(ready[0]);
        ::close(ready[1]);
        if (c != '1') stop();
    }
    ~ChildLock() { stop(); }
    void stop() {
        if (pid > 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
        pid = -1;
    }
};

}  // namespace

TEST(PExeLayout, SpAt78848IsStubHeaderAndTheSc4File) {
    Scratch s;
    installStubs(s);
    const Bytes sc4 = spSc4(5, 10);
    writeFile(s.root / "rec.sc4", sc4);
    const fs::path out = s.root / "rec.exe";
    ASSERT_TRUE(makePExe(stubPath(s.program, 4), s.root / "rec.sc4", out, 4, {7, 33}, s.data));
    const Bytes exe = readFile(out);
    expectLayout(exe, readFile(s.program / "vekgplay.exe"), header(4, 7, 33), sc4);
    EXPECT_EQ(exe[78856], 4);
    EXPECT_EQ(exe[78857], 30);
    EXPECT_TRUE(namesIn(s.data).empty());
    // The player core reads the same layout.
    auto in = vek::player::selfPlayingInput(exe);
    ASSERT_TRUE(in);
    EXPECT_EQ(in->mode, vek::RecordingMode::SP);
    EXPECT_EQ(in->layout.stubSize, 78848u);
}

TEST(PExeLayout, HqAndShqAt51200CarryTheFrameStreamAndLeaveNoAdp) {
    for (const bool shq : {false, true}) {
        SCOPED_TRACE(shq ? "SHQ" : "HQ");
        Scratch s;
        installStubs(s);
        const Bytes sc4 = adpcmSc4(frames(250, shq ? 21 : 20), shq);
        writeFile(s.root / "rec.sc4", sc4);
        const std::uint8_t mode = shq ? 6 : 5;
        const fs::path out = s.root / "rec.exe";
        ASSERT_TRUE(makePExe(stubPath(s.program, mode), s.root / "rec.sc4", out, mode, {16, 127}, s.data));
        const Bytes exe = readFile(out);
        const Bytes stream = streamOf(sc4);
        ASSERT_FALSE(stream.empty());
        expectLayout(exe, readFile(s.program / "vekaplay.exe"), header(mode, 16, 127), stream);
        EXPECT_TRUE(namesIn(s.data).empty()) << "temporary frame stream left in the data folder";
        EXPECT_EQ(namesIn(s.root), (std::vector<std::string>{"DATA", "bin", "rec.exe", "rec.sc4"}));
    }
}

TEST(PExeLayout, SameBytesAsVekconvMakeExe) {
    Scratch s;
    installStubs(s);
    struct Case {
        Bytes sc4;
        std::uint8_t mode;
    };
    const Case cases[] = {{spSc4(3, 40), 4}, {adpcmSc4(frames(120, 41), false), 5}, {adpcmSc4(frames(77, 42), true), 6}};
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.mode));
        writeFile(s.root / "in.sc4", c.sc4);
        ASSERT_TRUE(makePExe(stubPath(s.program, c.mode), s.root / "in.sc4", s.root / "ours.exe", c.mode, {3, 90},
                             s.data));
        const std::string cmd = std::string("'") + VEKCONV_PATH + "' make-exe --effect 3 --level 90 --stub '" +
                                stubPath(s.program, c.mode).string() + "' '" + (s.root / "in.sc4").string() + "' '" +
                                (s.root / "theirs.exe").string() + "' >/dev/null 2>&1";
        ASSERT_EQ(std::system(cmd.c_str()), 0);
        EXPECT_EQ(readFile(s.root / "ours.exe"), readFile(s.root / "theirs.exe"));
    }
}

TEST(PExeLayout, RealStubsWhenBuilt) {
    const fs::path bin = VEK_BIN_DIR;
    if (!fs::exists(bin / "vekgplay.exe") || !fs::exists(bin / "vekaplay.exe"))
        GTEST_SKIP() << "the Windows player stubs are not built here";
    EXPECT_EQ(fs::file_size(bin / "vekgplay.exe"), kSpStubBytes);
    EXPECT_EQ(fs::file_size(bin / "vekaplay.exe"), kAdpcmStubBytes);
    Scratch s;
    writeFile(s.root / "hq.sc4", adpcmSc4(frames(60, 5), false));
    ASSERT_TRUE(makePExe(stubPath(bin, 5), s.root / "hq.sc4", s.root / "hq.exe", 5, {1, 80}, s.data));
    EXPECT_EQ(checkPExe(s.root / "hq.exe"), std::optional<std::uint8_t>(5));
}

TEST(PExeFailures, TargetKeptAndNothingLeftWhenAStepFails) {
    Scratch s;
    installStubs(s);
    const fs::path target = s.root / "keep.exe";
    const Bytes old{'o', 'l', 'd'};
    writeFile(target, old);
    // Missing stub.
    writeFile(s.root / "sp.sc4", spSc4(1, 3));
    EXPECT_FALSE(makePExe(s.program / "nothing.exe", s.root / "sp.sc4", target, 4, {}, s.data));
    EXPECT_EQ(readFile(target), old);
    // An HQ source that is not an SC4 file.
    writeFile(s.root / "bad.sc4", noise(3000, 9));
    EXPECT_FALSE(makePExe(stubPath(s.program, 5), s.root / "bad.sc4", target, 5, {}, s.data));
    EXPECT_EQ(readFile(target), old);
    // Missing source.
    EXPECT_FALSE(makePExe(stubPath(s.program, 4), s.root / "gone.sc4", target, 4, {}, s.data));
    EXPECT_EQ(readFile(target), old);
    EXPECT_TRUE(namesIn(s.data).empty());
    EXPECT_EQ(namesIn(s.root), (std::vector<std::string>{"DATA", "bad.sc4", "bin", "keep.exe", "sp.sc4"}));
    // A target folder that cannot take files.
    EXPECT_FALSE(makePExe(stubPath(s.program, 4), s.root / "sp.sc4", s.root / "no" / "x.exe", 4, {}, s.data));
}

TEST(PExeRecognition, TagAt51200FirstThen78848AndNeitherRefused) {
    Scratch s;
    Bytes both = noise(90000, 4);
    const Bytes h5 = header(5, 0, 0), h4 = header(4, 0, 0);
    std::copy(h5.begin(), h5.end(), both.begin() + 51200);
    std::copy(h4.begin(), h4.end(), both.begin() + 78848);
    writeFile(s.root / "both.exe", both);
    EXPECT_EQ(checkPExe(s.root / "both.exe"), std::optional<std::uint8_t>(5));

    Bytes sp = noise(80000, 5);
    std::copy(h4.begin(), h4.end(), sp.begin() + 78848);
    sp[51200] = 'T';  // a near miss at the first offset
    sp[51201] = 'A';
    writeFile(s.root / "sp.exe", sp);
    EXPECT_EQ(checkPExe(s.root / "sp.exe"), std::optional<std::uint8_t>(4));

    // Only seven bytes are compared; the mode byte is taken as it is.
    Bytes odd = noise(60000, 6);
    const char tag[] = "TARKAVFx";
    std::memcpy(odd.data() + 51200, tag, 8);
    odd[51208] = 9;
    writeFile(s.root / "odd.exe", odd);
    EXPECT_EQ(checkPExe(s.root / "odd.exe"), std::optional<std::uint8_t>(9));

    writeFile(s.root / "none.exe", noise(100000, 7));
    EXPECT_FALSE(checkPExe(s.root / "none.exe"));
    writeFile(s.root / "short.exe", noise(100, 8));
    EXPECT_FALSE(checkPExe(s.root / "short.exe"));
    EXPECT_FALSE(checkPExe(s.root / "missing.exe"));
    // The tag ends the file: no mode byte.
    Bytes cut(51208, 0);
    std::copy(h5.begin(), h5.begin() + 8, cut.begin() + 51200);
    writeFile(s.root / "cut.exe", cut);
    EXPECT_FALSE(checkPExe(s.root / "cut.exe"));
}

TEST(PExeLoad, RoundTripRestoresEffectAndPayload) {
    Scratch s;
    installStubs(s);
    const Bytes spRec = spSc4(4, 60);
    writeFile(s.root / "sp.sc4", spRec);
    ASSERT_TRUE(makePExe(stubPath(s.program, 4), s.root / "sp.sc4", s.root / "sp.exe", 4, {12, 5}, s.data));
    auto mode = checkPExe(s.root / "sp.exe");
    ASSERT_EQ(mode, std::optional<std::uint8_t>(4));
    const fs::path work = s.data / "work1.tmp";
    LoadResult r = loadPExe(s.root / "sp.exe", *mode, work);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.fx, (EffectSettings{12, 5}));
    EXPECT_EQ(readFile(work), spRec);

    const Bytes stream = frames(90, 61);
    const Bytes shqSc4 = adpcmSc4(stream, true);
    writeFile(s.root / "shq.sc4", shqSc4);
    ASSERT_TRUE(makePExe(stubPath(s.program, 6), s.root / "shq.sc4", s.root / "shq.exe", 6, {2, 127}, s.data));
    mode = checkPExe(s.root / "shq.exe");
    ASSERT_EQ(mode, std::optional<std::uint8_t>(6));
    r = loadPExe(s.root / "shq.exe", *mode, work);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.fx, (EffectSettings{2, 127}));
    EXPECT_EQ(readFile(work), streamOf(shqSc4));
    // The working file turns back into the same SC4 file.
    ASSERT_TRUE(writeWorkingAsSc4(work, 6, s.root / "again.sc4"));
    EXPECT_EQ(readFile(s.root / "again.sc4"), shqSc4);
}

TEST(PExeLoad, ShortFileKeepsDefaultsAndTheWorkingFile) {
    Scratch s;
    writeFile(s.root / "short.exe", noise(78850, 3));
    const fs::path work = s.data / "work.tmp";
    writeFile(work, {1, 2, 3});
    const LoadResult r = loadPExe(s.root / "short.exe", 4, work);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.fx, (EffectSettings{0, 80}));
    EXPECT_EQ(readFile(work), (Bytes{1, 2, 3}));
    EXPECT_FALSE(loadPExe(s.root / "missing.exe", 5, work).ok);
    EXPECT_EQ(namesIn(s.data), std::vector<std::string>{"work.tmp"});
}

TEST(PExeNames, TemporaryNameSearchStopsAt999) {
    Scratch s;
    EXPECT_EQ(firstFreeName(s.data, "temp", ".tmp"), s.data / "temp1.tmp");
    for (int n = 1; n <= 998; ++n) writeFile(s.data / ("temp" + std::to_string(n) + ".tmp"), {});
    EXPECT_EQ(firstFreeName(s.data, "temp", ".tmp"), s.data / "temp999.tmp");
    EXPECT_EQ(firstFreeName(s.data, "temp", ".adp"), s.data / "temp1.adp");
    writeFile(s.data / "temp999.tmp", {});
    EXPECT_EQ(firstFreeName(s.data, "temp", ".tmp"), s.data / "temp999.tmp");  // taken in any case
    fs::remove(s.data / "temp5.tmp");
    EXPECT_EQ(firstFreeName(s.data, "temp", ".tmp"), s.data / "temp5.tmp");
}

TEST(PExeNames, OutgoingNameSkipsLockedFiles) {
    Scratch s;
    EXPECT_EQ(findCVF(s.data), s.data / "Voice.sc4");
    writeFile(s.data / "Voice.sc4", {1});
    EXPECT_EQ(findCVF(s.data), s.data / "Voice.sc4");  // present but free: overwritten
    {
        // Held with flock by another open file (a mail program that has it attached).
        const int fd = ::open((s.data / "Voice.sc4").c_str(), O_RDONLY);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::flock(fd, LOCK_SH), 0);
        EXPECT_TRUE(isLocked(s.data / "Voice.sc4"));
        EXPECT_EQ(findCVF(s.data), s.data / "Voice1.sc4");
        writeFile(s.data / "Voice1.sc4", {1});
        const int fd1 = ::open((s.data / "Voice1.sc4").c_str(), O_RDONLY);
        ASSERT_EQ(::flock(fd1, LOCK_EX), 0);
        EXPECT_EQ(findCVF(s.data), s.data / "Voice2.sc4");
        ::close(fd1);
        ::close(fd);
    }
    EXPECT_FALSE(isLocked(s.data / "Voice.sc4"));
    {
        // A record lock of another process.
        ChildLock lock(s.data / "Voice.sc4");
        ASSERT_GT(lock.pid, 0);
        EXPECT_EQ(findCVF(s.data), s.data / "Voice1.sc4");
    }
    EXPECT_EQ(findCVF(s.data), s.data / "Voice.sc4");
    // A folder of that name cannot be written as a file.
    fs::create_directory(s.data / "Voice.exe");
    EXPECT_EQ(findEXE(s.data), s.data / "Voice1.exe");
    EXPECT_FALSE(isLocked(s.data / "nothing.exe"));
}

TEST(PExeSave, UsesTemp999AndRemovesIt) {
    Scratch s;
    installStubs(s);
    for (int n = 1; n <= 998; ++n) writeFile(s.data / ("temp" + std::to_string(n) + ".tmp"), {});
    const Bytes rec = spSc4(2, 70);
    fs::path used;
    RecordingMessages msg;
    const fs::path target = s.root / "out.exe";
    ASSERT_TRUE(savePExe(
        [&](const fs::path& p) {
            used = p;
            writeFile(p, rec);
            return true;
        },
        target, 4, {4, 44}, s.program, s.data, msg));
    EXPECT_EQ(used, s.data / "temp999.tmp");
    EXPECT_FALSE(fs::exists(used));
    EXPECT_EQ(namesIn(s.data).size(), 998u);
    expectLayout(readFile(target), readFile(s.program / "vekgplay.exe"), header(4, 4, 44), rec);
    EXPECT_TRUE(msg.shown.empty());
}

TEST(PExeSave, MissingStubLockedTargetAndFailedWriter) {
    Scratch s;
    RecordingMessages msg;
    auto writer = [](const fs::path& p) {
        writeFile(p, spSc4(1, 1));
        return true;
    };
    EXPECT_FALSE(savePExe(writer, s.root / "a.exe", 4, {}, s.program, s.data, msg));
    ASSERT_EQ(msg.shown.size(), 1u);
    EXPECT_EQ(msg.shown[0].text, "Player file does not exist.");
    EXPECT_EQ(msg.shown[0].caption, "voice lumo player");
    EXPECT_EQ(msg.shown[0].icon, Icon::Warning);
    EXPECT_FALSE(fs::exists(s.root / "a.exe"));

    installStubs(s);
    writeFile(s.root / "locked.exe", {9});
    const int fd = ::open((s.root / "locked.exe").c_str(), O_RDONLY);
    ASSERT_EQ(::flock(fd, LOCK_EX), 0);
    EXPECT_FALSE(savePExe(writer, s.root / "locked.exe", 4, {}, s.program, s.data, msg));
    ::close(fd);
    ASSERT_EQ(msg.shown.size(), 2u);
    EXPECT_EQ(msg.shown[1].text,
              "Can not make file. (ReadOnly file?)\r(Send mail or close your mail window because this file is linked.)");
    EXPECT_EQ(readFile(s.root / "locked.exe"), Bytes{9});

    // The working file cannot be written: false, and the half-written
    // temporary file is gone.
    EXPECT_FALSE(savePExe(
        [](const fs::path& p) {
            writeFile(p, {1, 2});
            return false;
        },
        s.root / "b.exe", 5, {}, s.program, s.data, msg));
    EXPECT_TRUE(namesIn(s.data).empty());
    EXPECT_FALSE(fs::exists(s.root / "b.exe"));
}
