// Both conversion jobs under the faults a user meets: a full disk, a failing
// medium, a link under the target name, a killed job. Nothing already on
// the disk is lost, and nothing broken is counted as converted.
// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fstream>
#include <memory>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "fakes.hpp"
#include "vek/testsupport/tmpfs.hpp"
#include "vek/codec/adpcm.hpp"
#include "vek/codec/bytestream.hpp"
#include "vek/codec/sc4.hpp"
#include "vek/platform/safefile.hpp"

namespace vek::jobs::test {
namespace {

namespace fs = std::filesystem;

Bytes spRecording(std::size_t sectors) {
    Bytes file;
    for (std::size_t k = 0; k < sectors; ++k) {
        Bytes pcm(8000);
        for (std::size_t i = 0; i < pcm.size(); ++i) pcm[i] = static_cast<std::uint8_t>(i * 5 + k * 17);
        const Bytes s = fakeSpSector(pcm.data());
        file.insert(file.end(), s.begin(), s.end());
    }
    return file;
}

Bytes hqRecording(std::size_t frames) {
    std::vector<std::int16_t> s(frames * 58);
    for (std::size_t i = 0; i < s.size(); ++i) s[i] = static_cast<std::int16_t>((i * 977) % 20000 - 10000);
    const Bytes pcm = le16(s);
    AdpcmCodec codec;
    Bytes stream(frames * 29);
    codec.encode(pcm.data(), pcm.size(), stream.data());
    MemorySource src(stream.data(), stream.size());
    MemorySink sink;
    EXPECT_TRUE(adpcmToSc4(src, sink, false));
    return sink.bytes();
}

Bytes toneWav(std::size_t frames, int channels, std::uint32_t rate) {
    std::vector<std::int16_t> s(frames * static_cast<std::size_t>(channels));
    for (std::size_t i = 0; i < s.size(); ++i) s[i] = static_cast<std::int16_t>((i * 331) % 16000 - 8000);
    return wavImage(16, channels, rate, le16(s));
}

unsigned modeOf(const fs::path& p) {
    struct stat st {};
    EXPECT_EQ(::lstat(p.c_str(), &st), 0) << p;
    return st.st_mode & 0777;
}

bool isWav(const Bytes& b) { return b.size() >= 44 && std::memcmp(b.data(), "RIFF", 4) == 0; }

class JobFaults : public ::testing::Test, public JobFixture {
protected:
    fs::path list(const std::string& name) const { return fs::path(main.folder) / name; }
    std::vector<std::string> listing() const { return vek::testsupport::listing(main.folder); }
};

// ------------------------------------------------------------- full disk

// The list folder on a small tmpfs that the test then fills up.
class FullDisk : public JobFaults {
protected:
    void SetUp() override {
        small = std::make_unique<vek::testsupport::TmpfsMount>(dir / "small", "512k");
        if (!small->mounted()) GTEST_SKIP() << small->skipReason();
        mnt = small->path();
        main.folder = mnt.string() + "/";
    }
    void TearDown() override { small.reset(); }
    // Takes all the space left but `keep` bytes.
    void fill(std::size_t keep) {
        std::ofstream f(mnt / "filler", std::ios::binary);
        const std::string chunk(4096, 'f');
        while (f.write(chunk.data(), static_cast<std::streamsize>(chunk.size()))) {
            f.flush();
            if (!f) break;
        }
        f.close();
        // Give back what was asked for.
        const auto size = fs::file_size(mnt / "filler");
        fs::resize_file(mnt / "filler", size > keep ? size - keep : 0);
    }
    std::unique_ptr<vek::testsupport::TmpfsMount> small;
    fs::path mnt;
};

TEST_F(FullDisk, Sc4ToWavKeepsTheOldTargetAndCountsNothing) {
    writeFile(list("s.sc4"), spRecording(30));        // 240 KB of WAV
    writeFile(list("h.sc4"), hqRecording(4000));      // 464 KB of WAV
    writeFile(list("s.wav"), Bytes{1, 2, 3});
    writeFile(list("h.wav"), Bytes{4, 5, 6});
    fill(64 * 1024);
    runSc4ToWav({"s.sc4", "h.sc4"});
    ASSERT_EQ(ui.questions.size(), 2u);  // both replaced after Yes
    ASSERT_EQ(ui.boxes.size(), 2u);
    EXPECT_EQ(ui.boxes[0].text, "Write error! (s.wav)");
    EXPECT_EQ(ui.boxes[1].text, "Write error! (h.wav)");
    EXPECT_EQ(readFile(list("s.wav")), (Bytes{1, 2, 3}));
    EXPECT_EQ(readFile(list("h.wav")), (Bytes{4, 5, 6}));
    EXPECT_EQ(state.ConvertedCount, 0);
    EXPECT_TRUE(main.shown.empty());
    EXPECT_EQ(listing(), (std::vector<std::string>{"filler", "h.sc4", "h.wav", "s.sc4", "s.wav"}));
    EXPECT_TRUE(tempDirEmpty());
}

TEST_F(FullDisk, WavToSc4KeepsTheOldTargetInEveryMode) {
    writeFile(list("d.wav"), toneWav(60000, 1, 8000));   // the direct way
    writeFile(list("c.wav"), toneWav(30000, 2, 22050));  // the conversion way
    writeFile(list("d.sc4"), Bytes{1, 2, 3});
    writeFile(list("c.sc4"), Bytes{4, 5, 6});
    fill(2048);
    for (std::uint8_t mode : {kModeSP, kModeHQ}) {
        ui.boxes.clear();
        runWavToSc4(mode, {"d.wav", "c.wav"});
        ASSERT_EQ(ui.boxes.size(), 2u) << int(mode);
        EXPECT_EQ(ui.boxes[0].text, "Write error! (d.sc4)");
        EXPECT_EQ(ui.boxes[1].text, "Write error! (c.sc4)");
        EXPECT_EQ(readFile(list("d.sc4")), (Bytes{1, 2, 3}));
        EXPECT_EQ(readFile(list("c.sc4")), (Bytes{4, 5, 6}));
        EXPECT_EQ(state.ConvertedCount, 0);
        EXPECT_EQ(listing(), (std::vector<std::string>{"c.sc4", "c.wav", "d.sc4", "d.wav", "filler"}));
    }
    EXPECT_TRUE(tempDirEmpty());
}

// ------------------------------------------------------------ read errors

// Files whose reads fail with an error after `failAfter` bytes, as a bad
// sector or an unplugged drive makes them.
struct FailingFiles final : FileAccess {
    std::int64_t failAfter = 0;
    std::string failing;  // only paths ending so
    struct Stream final : InputStream {
        std::FILE* f;
        std::int64_t left;
        bool err = false;
        Stream(std::FILE* file, std::int64_t l) : f(file), left(l) {}
        ~Stream() override { std::fclose(f); }
        std::int64_t size() override {
            const long here = std::ftell(f);
            std::fseek(f, 0, SEEK_END);
            const long end = std::ftell(f);
            std::fseek(f, here, SEEK_SET);
            return end;
        }
        bool seek(std::uint64_t o) override { return std::fseek(f, static_cast<long>(o), SEEK_SET) == 0; }
        std::size_t read(void* d, std::size_t n) override {
            if (left >= 0 && static_cast<std::int64_t>(n) > left) {
                const std::size_t k = std::fread(d, 1, static_cast<std::size_t>(left), f);
                left = 0;
                err = true;
                return k;
            }
            const std::size_t k = std::fread(d, 1, n, f);
            if (left >= 0) left -= static_cast<std::int64_t>(k);
            return k;
        }
        bool failed() const override { return err; }
    };
    std::unique_ptr<InputStream> openRead(const std::string& path) override {
        std::FILE* f = std::fopen(path.c_str(), "rb");
        if (!f) return nullptr;
        const bool fails = path.size() >= failing.size() && path.compare(path.size() - failing.size(), failing.size(), failing) == 0;
        return std::make_unique<Stream>(f, fails ? failAfter : -1);
    }
};

TEST_F(JobFaults, Sc4ToWavReadErrorIsNamedNotCountedAndKeepsTheOldTarget) {
    FailingFiles files;
    state.Files = &files;
    writeFile(list("bad.sc4"), spRecording(10));
    writeFile(list("good.sc4"), spRecording(2));
    writeFile(list("bad.wav"), Bytes{9, 9});
    files.failing = "bad.sc4";
    files.failAfter = 5 * 512 + 100;  // the sixth sector cannot be read
    runSc4ToWav({"bad.sc4", "good.sc4"});
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "Read error! (bad.sc4)");
    EXPECT_EQ(ui.boxes[0].icon, MessageIcon::Warning);
    EXPECT_EQ(ui.boxes[0].caption, "voice lumo manager");
    EXPECT_GT(ui.boxes[0].fgCallsBefore, 0);
    EXPECT_EQ(readFile(list("bad.wav")), (Bytes{9, 9}));
    EXPECT_EQ(state.ConvertedCount, 1);  // good.sc4 only
    EXPECT_EQ(main.shown, (std::vector<std::string>{list("good.wav").string()}));
    EXPECT_EQ(listing(), (std::vector<std::string>{"bad.sc4", "bad.wav", "good.sc4", "good.wav"}));

    // HQ: the frame file unpacked from the recording fails to read back.
    ui.boxes.clear();
    writeFile(list("h.sc4"), hqRecording(400));
    files.failing = ".tmp";
    files.failAfter = 3000;
    runSc4ToWav({"h.sc4"});
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "Read error! (h.sc4)");
    EXPECT_FALSE(fs::exists(list("h.wav")));
    EXPECT_EQ(state.ConvertedCount, 1);
    EXPECT_TRUE(tempDirEmpty());
}

// The real WAV library, whose reads stop delivering after `budget` bytes.
struct ShortReadWave final : WaveLibrary {
    WaveLibrary& real = defaultWave();
    std::int64_t budget = 0;
    Handle writeHeader(const char* p, int32_t b, int32_t c, int32_t r) override { return real.writeHeader(p, b, c, r); }
    int32_t write(Handle h, const void* d, int32_t n) override { return real.write(h, d, n); }
    int32_t closeWrite(Handle h) override { return real.closeWrite(h); }
    Handle readHeader(const char* p, Header& hd) override { return real.readHeader(p, hd); }
    int32_t read(Handle h, void* b, int32_t n) override {
        const auto k = static_cast<int32_t>(std::min<std::int64_t>(n, budget));
        budget -= k;
        std::memset(b, 0, static_cast<std::size_t>(n));
        return k > 0 ? real.read(h, b, k) : 0;
    }
    void closeRead(Handle h) override { real.closeRead(h); }
};

TEST_F(JobFaults, WavToSc4ReadErrorIsNamedNotCountedAndKeepsTheOldTarget) {
    ShortReadWave shortReads;
    wave = &shortReads;
    writeFile(list("d.wav"), toneWav(40000, 1, 8000));
    writeFile(list("c.wav"), toneWav(20000, 2, 44100));
    writeFile(list("d.sc4"), Bytes{1});
    writeFile(list("c.sc4"), Bytes{2});
    for (std::uint8_t mode : {kModeSP, kModeHQ, kModeSHQ}) {
        ui.boxes.clear();
        shortReads.budget = 20000;
        runWavToSc4(mode, {"d.wav"});
        shortReads.budget = 20000;
        runWavToSc4(mode, {"c.wav"});
        ASSERT_EQ(ui.boxes.size(), 2u) << int(mode);
        EXPECT_EQ(ui.boxes[0].text, "Read error! (d.wav)");
        EXPECT_EQ(ui.boxes[1].text, "Read error! (c.wav)");
        EXPECT_EQ(ui.boxes[1].icon, MessageIcon::Warning);
        EXPECT_EQ(readFile(list("d.sc4")), (Bytes{1}));
        EXPECT_EQ(readFile(list("c.sc4")), (Bytes{2}));
        EXPECT_EQ(state.ConvertedCount, 0);
        EXPECT_TRUE(main.shown.empty());
        EXPECT_EQ(listing(), (std::vector<std::string>{"c.sc4", "c.wav", "d.sc4", "d.wav"}));
        EXPECT_TRUE(tempDirEmpty());
    }
    // With reads that deliver, the same files convert.
    shortReads.budget = 1 << 30;
    runWavToSc4(kModeHQ, {"d.wav", "c.wav"});
    EXPECT_EQ(state.ConvertedCount, 2);
}

// ------------------------------------------------------------------ links

TEST_F(JobFaults, LinksUnderTheTargetNameAreAskedAboutAndReplacedNeverWrittenThrough) {
    fs::create_directories(dir / "elsewhere");
    const fs::path theirs = dir / "elsewhere" / "theirs.wav";
    const fs::path nowhere = dir / "elsewhere" / "nowhere.wav";
    writeFile(theirs, Bytes{7, 7, 7});
    writeFile(list("a.sc4"), spRecording(1));
    writeFile(list("b.sc4"), spRecording(1));
    writeFile(list("f.sc4"), spRecording(1));
    fs::create_symlink(nowhere, list("a.wav"));        // dangling
    fs::create_symlink(theirs, list("b.wav"));         // to a file elsewhere
    fs::create_symlink(dir / "elsewhere", list("f.wav"));  // to a folder

    // No: nothing is created, not even where the dangling link points.
    ui.answers = {false, false};
    runSc4ToWav({"a.sc4", "b.sc4"});
    ASSERT_EQ(ui.questions.size(), 2u);
    EXPECT_NE(ui.questions[0].text.find("a file named 'a.wav'"), std::string::npos);
    EXPECT_EQ(ui.questions[0].caption, "Confirm File Replace");
    EXPECT_TRUE(fs::is_symlink(list("a.wav")));
    EXPECT_FALSE(fs::exists(nowhere));
    EXPECT_EQ(readFile(theirs), (Bytes{7, 7, 7}));
    EXPECT_EQ(state.ConvertedCount, 0);

    // Yes: the links themselves become the new files.
    ui.questions.clear();
    runSc4ToWav({"a.sc4", "b.sc4"});
    EXPECT_EQ(ui.questions.size(), 2u);
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_FALSE(fs::is_symlink(list("a.wav")));
    EXPECT_FALSE(fs::is_symlink(list("b.wav")));
    EXPECT_TRUE(isWav(readFile(list("a.wav"))));
    EXPECT_TRUE(isWav(readFile(list("b.wav"))));
    EXPECT_FALSE(fs::exists(nowhere));
    EXPECT_EQ(readFile(theirs), (Bytes{7, 7, 7}));
    EXPECT_EQ(state.ConvertedCount, 2);

    // A link to a folder is no file to replace: a write error, no question.
    ui.questions.clear();
    runSc4ToWav({"f.sc4"});
    EXPECT_TRUE(ui.questions.empty());
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "Write error! (f.wav)");
    EXPECT_TRUE(fs::is_symlink(list("f.wav")));
    EXPECT_EQ(vek::testsupport::listing(dir / "elsewhere"), (std::vector<std::string>{"theirs.wav"}));

    // The other direction, every mode.
    writeFile(list("w.wav"), toneWav(9000, 1, 8000));
    const fs::path theirsSc4 = dir / "elsewhere" / "theirs.sc4";
    for (std::uint8_t mode : {kModeSP, kModeHQ}) {
        fs::remove(list("w.sc4"));
        fs::create_symlink(dir / "elsewhere" / "none.sc4", list("w.sc4"));
        ui.answers = {false};
        ui.questions.clear();
        runWavToSc4(mode, {"w.wav"});
        EXPECT_EQ(ui.questions.size(), 1u);
        EXPECT_TRUE(fs::is_symlink(list("w.sc4")));
        EXPECT_FALSE(fs::exists(dir / "elsewhere" / "none.sc4"));
        fs::remove(list("w.sc4"));
        writeFile(theirsSc4, Bytes{5});
        fs::create_symlink(theirsSc4, list("w.sc4"));
        runWavToSc4(mode, {"w.wav"});
        EXPECT_FALSE(fs::is_symlink(list("w.sc4")));
        EXPECT_GT(fs::file_size(list("w.sc4")), 512u);
        EXPECT_EQ(readFile(theirsSc4), (Bytes{5}));
    }
}

// ---------------------------------------------------------------- modes

TEST_F(JobFaults, ReplacedTargetsKeepTheirModeAndNewOnesGetTheUsualOne) {
    writeFile(list("s.sc4"), spRecording(2));
    writeFile(list("w.wav"), toneWav(9000, 1, 8000));
    for (unsigned mode : {0600u, 0640u}) {
        writeFile(list("s.wav"), Bytes{1});
        writeFile(list("w.sc4"), Bytes{1});
        ::chmod(list("s.wav").c_str(), mode);
        ::chmod(list("w.sc4").c_str(), mode);
        runSc4ToWav({"s.sc4"});
        runWavToSc4(kModeHQ, {"w.wav"});
        EXPECT_TRUE(isWav(readFile(list("s.wav"))));
        EXPECT_EQ(modeOf(list("s.wav")), mode);
        EXPECT_EQ(modeOf(list("w.sc4")), mode);
    }
    fs::remove(list("s.wav"));
    runSc4ToWav({"s.sc4"});
    EXPECT_EQ(modeOf(list("s.wav")), safefile::defaultFileMode());
    EXPECT_TRUE(ui.boxes.empty());
}

// ------------------------------------------------------------ killed job

// The job runs in a child process that is killed with SIGKILL in the middle
// of a file: the old target is intact, the half-written file is private and
// the next job's start sweeps it (and the frame file) away.
TEST_F(JobFaults, AKilledJobLeavesTheOldTargetAndItsLeftoversAreSweptLater) {
    struct Case {
        const char* source;
        const char* target;
        bool toWav;
        std::uint8_t mode;
    };
    writeFile(list("s.sc4"), spRecording(60));
    writeFile(list("h.sc4"), hqRecording(6000));
    writeFile(list("w.wav"), toneWav(200000, 1, 8000));
    for (const Case c : {Case{"s.sc4", "s.wav", true, 0}, Case{"h.sc4", "h.wav", true, 0},
                         Case{"w.wav", "w.sc4", false, kModeSP}, Case{"w.wav", "w.sc4", false, kModeSHQ}}) {
        SCOPED_TRACE(c.source);
        writeFile(list(c.target), Bytes{'o', 'l', 'd'});
        int ready[2];
        ASSERT_EQ(::pipe(ready), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(ready[0]);
            ui.onProcess = [&](FakeUi& u) {
                if (u.gauge.back() >= 40) {
                    (void)!::write(ready[1], "r", 1);
                    for (;;) ::pause();
                }
            };
            if (c.toWav)
                runSc4ToWav({c.source});
            else
                runWavToSc4(c.mode, {c.source});
            ::_exit(3);  // never here: the job is killed first
        }
        ::close(ready[1]);
        char b = 0;
        ASSERT_EQ(::read(ready[0], &b, 1), 1);
        ::close(ready[0]);

        // Mid-file: the child's file beside the target is private.
        std::string partial;
        for (const auto& n : listing())
            if (safefile::ownerOf(n) == child) partial = n;
        ASSERT_FALSE(partial.empty());
        EXPECT_EQ(modeOf(list(partial)), 0600u);
        const bool frames = !c.toWav ? c.mode != kModeSP : std::string(c.source) == "h.sc4";
        // The SC4 file of an ADPCM mode is packed from the frames at the end.
        if (c.toWav || !frames) {
            EXPECT_GT(fs::file_size(list(partial)), 0u);
        }
        if (frames) {
            ASSERT_EQ(vek::testsupport::listing(tempDir).size(), 1u);
            EXPECT_EQ(safefile::ownerOf(vek::testsupport::listing(tempDir)[0]), child);
            EXPECT_EQ(modeOf(tempDir / vek::testsupport::listing(tempDir)[0]), 0600u);
        }

        ASSERT_EQ(::kill(child, SIGKILL), 0);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status));
        EXPECT_EQ(readFile(list(c.target)), (Bytes{'o', 'l', 'd'}));

        // The next start (a job with nothing to do) sweeps what the dead
        // process left.
        runSc4ToWav({});
        EXPECT_FALSE(fs::exists(list(partial)));
        EXPECT_TRUE(tempDirEmpty());
        EXPECT_EQ(readFile(list(c.target)), (Bytes{'o', 'l', 'd'}));
    }
    EXPECT_EQ(listing(), (std::vector<std::string>{"h.sc4", "h.wav", "s.sc4", "s.wav", "w.sc4", "w.wav"}));
}

}  // namespace
}  // namespace vek::jobs::test
