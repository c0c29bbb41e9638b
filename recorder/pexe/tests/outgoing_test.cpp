// The outgoing file for drag-out and mail: saved and unsaved recordings,
// SC4 and EXE kinds, the target-check flag and the refusals.
// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "fixtures.hpp"
#include "vek/recpexe/dropin.hpp"
#include "vek/recpexe/outgoing.hpp"

using namespace pexetest;
using namespace vek::recpexe;

namespace {

class FakeHost : public OutgoingHost {
public:
    FakeHost(fs::path work, std::uint8_t mode) : m_work(std::move(work)), m_mode(mode) {}
    void show(const std::string& text, const std::string& caption, Icon icon) override {
        shown.push_back({text, caption, icon});
    }
    bool save() override {
        ++saves;
        return saveOk && writeWorkingAsSc4(savePath);
    }
    bool writeWorkingAsSc4(const fs::path& p) override {
        written.push_back(p);
        return vek::recpexe::writeWorkingAsSc4(m_work, m_mode, p);
    }
    std::vector<Shown> shown;
    std::vector<fs::path> written;
    fs::path savePath;
    int saves = 0;
    bool saveOk = true;

private:
    fs::path m_work;
    std::uint8_t m_mode;
};

struct Recording {
    Scratch s;
    RecorderFiles st;
    Bytes rec;
    explicit Recording(std::uint8_t mode) {
        installStubs(s);
        st.programDir = s.program;
        st.dataDir = s.data;
        st.mode = mode;
        st.fx = {5, 60};
        rec = mode == 4 ? spSc4(3, 80) : frames(100, 81);
        writeFile(s.data / "work.tmp", rec);
    }
    fs::path work() const { return s.data / "work.tmp"; }
};

}  // namespace

TEST(Outgoing, UnsavedRecordingGoesOutAsVoiceSc4AndVoiceExe) {
    Recording u(5);
    FakeHost host(u.work(), 5);
    auto sc4 = prepareOutgoing(OutgoingKind::Sc4, u.st, host);
    ASSERT_TRUE(sc4);
    EXPECT_EQ(*sc4, u.s.data / "Voice.sc4");
    const Bytes sc4Bytes = readFile(*sc4);
    EXPECT_EQ(sc4Bytes, adpcmSc4(u.rec, false));

    auto exe = prepareOutgoing(OutgoingKind::Exe, u.st, host);
    ASSERT_TRUE(exe);
    EXPECT_EQ(*exe, u.s.data / "Voice.exe");
    const Bytes e = readFile(*exe);
    ASSERT_GT(e.size(), kAdpcmStubBytes + 12);
    EXPECT_EQ(e[kAdpcmStubBytes + 8], 5);
    EXPECT_EQ(e[kAdpcmStubBytes + 10], 5);
    EXPECT_EQ(e[kAdpcmStubBytes + 11], 60);
    EXPECT_EQ(Bytes(e.begin() + kAdpcmStubBytes + 12, e.end()), streamOf(sc4Bytes));
    EXPECT_EQ(host.saves, 0);
    EXPECT_TRUE(host.shown.empty());
    EXPECT_EQ(namesIn(u.s.data), (std::vector<std::string>{"Voice.exe", "Voice.sc4", "work.tmp"}));
}

TEST(Outgoing, LockedVoiceSc4GivesVoice1) {
    Recording u(4);
    FakeHost host(u.work(), 4);
    writeFile(u.s.data / "Voice.sc4", {1});
    const int fd = ::open((u.s.data / "Voice.sc4").c_str(), O_RDONLY);
    ASSERT_EQ(::flock(fd, LOCK_SH), 0);
    auto out = prepareOutgoing(OutgoingKind::Sc4, u.st, host);
    ::close(fd);
    ASSERT_TRUE(out);
    EXPECT_EQ(*out, u.s.data / "Voice1.sc4");
    EXPECT_EQ(readFile(u.s.data / "Voice.sc4"), Bytes{1});
    EXPECT_EQ(readFile(*out), u.rec);
}

TEST(Outgoing, SavedRecordingWithChangesIsSavedFirst) {
    Recording u(4);
    FakeHost host(u.work(), 4);
    u.st.currentFile = u.s.root / "Memo.sc4";
    host.savePath = u.st.currentFile;
    u.st.modified = true;
    u.st.targetCheck = false;
    auto sc4 = prepareOutgoing(OutgoingKind::Sc4, u.st, host);
    ASSERT_TRUE(sc4);
    EXPECT_EQ(*sc4, u.st.currentFile);
    EXPECT_EQ(host.saves, 1);
    EXPECT_FALSE(u.st.modified);
    EXPECT_TRUE(u.st.targetCheck);
    EXPECT_EQ(readFile(*sc4), u.rec);
    // No changes: no second save.
    ASSERT_TRUE(prepareOutgoing(OutgoingKind::Sc4, u.st, host));
    EXPECT_EQ(host.saves, 1);

    // EXE of a saved recording: DATA/<name>.exe, and the flag is cleared.
    u.st.modified = true;
    auto exe = prepareOutgoing(OutgoingKind::Exe, u.st, host);
    ASSERT_TRUE(exe);
    EXPECT_EQ(*exe, u.s.data / "Memo.exe");
    EXPECT_EQ(host.saves, 2);
    EXPECT_FALSE(u.st.targetCheck);
    const Bytes e = readFile(*exe);
    EXPECT_EQ(Bytes(e.begin() + kSpStubBytes + 12, e.end()), u.rec);

    // With the flag cleared a locked old executable is not tested again;
    // it is replaced by a new file under its name.
    const int oldFd = ::open(exe->c_str(), O_RDONLY);
    ASSERT_EQ(::flock(oldFd, LOCK_SH), 0);
    EXPECT_TRUE(prepareOutgoing(OutgoingKind::Exe, u.st, host));
    ::close(oldFd);
    // With the flag set it is refused with the "Can not make file" message.
    const int fd = ::open(exe->c_str(), O_RDONLY);
    ASSERT_EQ(::flock(fd, LOCK_SH), 0);
    u.st.targetCheck = true;
    EXPECT_FALSE(prepareOutgoing(OutgoingKind::Exe, u.st, host));
    ::close(fd);
    ASSERT_EQ(host.shown.size(), 1u);
    EXPECT_EQ(host.shown[0].text, kMsgCanNotMakeFile);
    EXPECT_TRUE(u.st.targetCheck);
}

TEST(Outgoing, Refusals) {
    Recording u(6);
    FakeHost host(u.work(), 6);
    u.st.currentFile = u.s.root / "Sent.EXE";
    EXPECT_FALSE(prepareOutgoing(OutgoingKind::Sc4, u.st, host));
    EXPECT_FALSE(prepareOutgoing(OutgoingKind::Exe, u.st, host));
    ASSERT_EQ(host.shown.size(), 2u);
    EXPECT_EQ(host.shown[0].text, "Try again after save to 'sc4' file by [Save As] of [File] menu.");
    EXPECT_EQ(host.shown[0].icon, Icon::Information);

    // No stub for the mode: nothing is written.
    u.st.currentFile.clear();
    fs::remove(u.s.program / "vekaplay.exe");
    EXPECT_FALSE(prepareOutgoing(OutgoingKind::Exe, u.st, host));
    EXPECT_EQ(host.shown.back().text, "Player file does not exist.");
    EXPECT_TRUE(host.written.empty());

    // A failed save stops before anything goes out.
    u.st.currentFile = u.s.root / "M.sc4";
    u.st.modified = true;
    host.saveOk = false;
    EXPECT_FALSE(prepareOutgoing(OutgoingKind::Sc4, u.st, host));
    EXPECT_TRUE(u.st.modified);
    EXPECT_EQ(namesIn(u.s.data), std::vector<std::string>{"work.tmp"});
}

TEST(DropIn, CountExtensionAndTransportRules) {
    EXPECT_EQ(classifyDrop(true, {"/a/b.sc4", "/a/c.sc4"}), DropIn::WrongCount);
    EXPECT_EQ(classifyDrop(true, {}), DropIn::WrongCount);
    EXPECT_EQ(classifyDrop(true, {"/a/talk.wav"}), DropIn::Unsupported);
    EXPECT_EQ(classifyDrop(true, {"/a/sc4"}), DropIn::Unsupported);  // a name, not an extension
    EXPECT_EQ(classifyDrop(true, {"/a/Memo.SC4"}), DropIn::OpenSc4);
    EXPECT_EQ(classifyDrop(true, {"/a/Memo.Exe"}), DropIn::OpenExe);
    EXPECT_EQ(classifyDrop(false, {"/a/Memo.sc4"}), DropIn::Ignore);
    EXPECT_EQ(classifyDrop(false, {"/a/b.sc4", "/a/c.wav"}), DropIn::Ignore);

    FakeHost host({}, 4);
    showDropMessage(DropIn::WrongCount, host);
    showDropMessage(DropIn::Unsupported, host);
    showDropMessage(DropIn::OpenSc4, host);
    showDropMessage(DropIn::Ignore, host);
    ASSERT_EQ(host.shown.size(), 2u);
    EXPECT_EQ(host.shown[0].text, "You must select one file!");
    EXPECT_EQ(host.shown[1].text, "Can not support this file format!");
    EXPECT_EQ(host.shown[1].caption, "Open");
    EXPECT_EQ(host.shown[1].icon, Icon::Information);
}
