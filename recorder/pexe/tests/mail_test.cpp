// The send command over a fake window, with the real client store.
// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "fixtures.hpp"
#include "vek/platform/ini.hpp"
#include "vek/recpexe/mail.hpp"

using namespace pexetest;
using namespace vek::recpexe;

namespace {

class FakeMail : public MailHost {
public:
    void show(const std::string& text, const std::string& caption, Icon icon) override {
        shown.push_back({text, caption, icon});
    }
    void setBusy(bool b) override { busy.push_back(b); }
    int shellOpen(const std::string& program, const std::string& params) override {
        calls.push_back("open " + program + " " + params);
        return shellResult;
    }
    int startCommand(const std::string& line) override {
        calls.push_back("exec " + line);
        return execResult;
    }
    std::optional<fs::path> prepareOutgoing(OutgoingKind kind) override {
        calls.push_back(kind == OutgoingKind::Sc4 ? "prepare sc4" : "prepare exe");
        return prepared;
    }
    std::int32_t sendIMail(const std::string& path, const std::string& text) override {
        calls.push_back("send " + path + "|" + text);
        return sendResult;
    }
    void clearStatusText() override { calls.push_back("status"); }

    std::vector<Shown> shown;
    std::vector<bool> busy;
    std::vector<std::string> calls;
    int shellResult = 42, execResult = 33;
    std::int32_t sendResult = 0;
    std::optional<fs::path> prepared = fs::path("/d/Voice.sc4");
};

struct Env {
    Scratch s;
    vek::mailreg::Store store{(s.root / "mailclients.reg").string()};
    Env() { EXPECT_TRUE(store.seedIfMissing()); }
};

}  // namespace

TEST(MailRadios, GetAndSetMailProg) {
    MailRadios r{};
    EXPECT_EQ(getMailProg(r), 4);
    setMailProg(r, 2);
    EXPECT_EQ(getMailProg(r), 2);
    EXPECT_EQ(r, (MailRadios{false, false, true, false, false}));
    setMailProg(r, 5);
    setMailProg(r, -1);
    EXPECT_EQ(getMailProg(r), 2);
    setMailProg(r, 4);
    EXPECT_EQ(getMailProg(r), 4);
    r = {false, true, false, true, true};  // first selected in table order
    EXPECT_EQ(getMailProg(r), 1);
}

TEST(MailClick, DefaultsHandTheFileOverForBothKinds) {
    Env e;
    for (const OutgoingKind kind : {OutgoingKind::Sc4, OutgoingKind::Exe}) {
        FakeMail host;
        host.prepared = kind == OutgoingKind::Sc4 ? fs::path("/d/Voice.sc4") : fs::path("/d/Voice.exe");
        EXPECT_EQ(mailClick(kind, {}, kDefaultMailProg, false, e.store, host), MailOutcome::Sent);
        const std::string prep = kind == OutgoingKind::Sc4 ? "prepare sc4" : "prepare exe";
        EXPECT_EQ(host.calls,
                  (std::vector<std::string>{prep, "send " + host.prepared->string() + "|", "status"}));
        EXPECT_EQ(host.busy, (std::vector<bool>{true, false}));
        EXPECT_TRUE(host.shown.empty());
    }
}

TEST(MailClick, NetscapeStartsTheProgramOnly) {
    Env e;
    FakeMail host;
    EXPECT_EQ(mailClick(OutgoingKind::Exe, "/x/a.sc4", 4, true, e.store, host), MailOutcome::NetscapeStarted);
    EXPECT_EQ(host.calls, (std::vector<std::string>{"open netscape.exe -mail", "status"}));
    host.calls.clear();
    host.shellResult = 32;
    EXPECT_EQ(mailClick(OutgoingKind::Sc4, "/x/a.sc4", 4, false, e.store, host), MailOutcome::Improper);
    ASSERT_EQ(host.shown.size(), 1u);
    EXPECT_EQ(host.shown[0].text,
              "Can not send mail because mail program is improper.\r\rCorrectly select your mail program in [Mail "
              "Program] of [Option] menu.");
    EXPECT_EQ(host.shown[0].icon, Icon::Warning);
    EXPECT_EQ(host.calls, (std::vector<std::string>{"open netscape.exe -mail", "status"}));
}

TEST(MailClick, MissingClientKeyIsImproperAndPreparesNothing) {
    Env e;
    // Remove the Outlook Express key from the store.
    vek::ini::IniFile f;
    ASSERT_TRUE(f.load(e.store.path()));
    f.removeSection("HKEY_LOCAL_MACHINE\\SOFTWARE\\Clients\\Mail\\Outlook Express");
    ASSERT_TRUE(f.save());
    FakeMail host;
    EXPECT_EQ(mailClick(OutgoingKind::Sc4, {}, 3, false, e.store, host), MailOutcome::Improper);
    EXPECT_EQ(host.calls, std::vector<std::string>{"status"});
    EXPECT_EQ(host.busy, (std::vector<bool>{true, false}));
    // Another client is still there.
    FakeMail other;
    EXPECT_EQ(mailClick(OutgoingKind::Sc4, {}, 1, false, e.store, other), MailOutcome::Sent);
}

TEST(MailClick, RunFlagStartsTheCommandUnlessItIsEmpty) {
    Env e;
    FakeMail host;
    EXPECT_EQ(mailClick(OutgoingKind::Sc4, {}, 1, true, e.store, host), MailOutcome::Sent);
    EXPECT_EQ(host.calls.front(), "exec thunderbird");

    // An empty command with the run flag set: nothing started, sending goes on.
    ASSERT_TRUE(e.store.setDefaultValue("\\SOFTWARE\\Clients\\Mail\\Exchange\\shell\\open\\command", ""));
    FakeMail empty;
    EXPECT_EQ(mailClick(OutgoingKind::Exe, {}, 0, true, e.store, empty), MailOutcome::Sent);
    EXPECT_EQ(empty.calls.front(), "prepare exe");

    // A command that does not start.
    FakeMail fails;
    fails.execResult = 31;
    EXPECT_EQ(mailClick(OutgoingKind::Sc4, {}, 2, true, e.store, fails), MailOutcome::Improper);
    EXPECT_EQ(fails.calls, (std::vector<std::string>{"exec evolution --component=mail", "status"}));
}

TEST(MailClick, RefusalsAndFailures) {
    Env e;
    FakeMail exe;
    EXPECT_EQ(mailClick(OutgoingKind::Sc4, "/x/Sent.exe", 3, false, e.store, exe), MailOutcome::RefusedExe);
    EXPECT_TRUE(exe.calls.empty());
    EXPECT_TRUE(exe.busy.empty());
    EXPECT_EQ(exe.shown.at(0).text, kMsgSaveAsSc4First);

    FakeMail notPrepared;
    notPrepared.prepared.reset();
    EXPECT_EQ(mailClick(OutgoingKind::Exe, {}, 3, false, e.store, notPrepared), MailOutcome::NotPrepared);
    EXPECT_TRUE(notPrepared.shown.empty());
    EXPECT_EQ(notPrepared.calls.back(), "status");

    FakeMail sendFails;
    sendFails.sendResult = 1;
    EXPECT_EQ(mailClick(OutgoingKind::Sc4, {}, 3, false, e.store, sendFails), MailOutcome::Improper);
    EXPECT_EQ(sendFails.shown.size(), 1u);

    // No store at all: every client is improper.
    vek::mailreg::Store none((e.s.root / "absent.reg").string());
    FakeMail noStore;
    EXPECT_EQ(mailClick(OutgoingKind::Sc4, {}, 3, false, none, noStore), MailOutcome::Improper);
}

namespace {

class FakeDialog : public MailProgDialog {
public:
    MailRadios radios() const override { return m_radios; }
    void setRadios(const MailRadios& r) override { m_radios = r; }
    bool runFlag() const override { return m_run; }
    void setRunFlag(bool run) override { m_run = run; }
    bool exec() override {
        setMailProg(m_radios, userIndex);  // what the user clicks
        m_run = userRun;
        return userOk;
    }
    MailRadios m_radios{false, false, false, true, false};
    bool m_run = false;
    int userIndex = 1;
    bool userRun = true;
    bool userOk = true;
};

}  // namespace

TEST(MailProgram, CancelRestoresBothChoicesAndOkSavesAndSelects) {
    Env e;
    RecordingMessages msg;
    std::vector<std::pair<int, bool>> written;
    auto write = [&](int i, bool r) { written.emplace_back(i, r); };

    FakeDialog cancelled;
    cancelled.userOk = false;
    EXPECT_EQ(mailProgClick(cancelled, write, e.store, msg), MailProgOutcome::Cancelled);
    EXPECT_EQ(getMailProg(cancelled.radios()), 3);
    EXPECT_FALSE(cancelled.runFlag());
    EXPECT_TRUE(written.empty());
    EXPECT_EQ(e.store.defaultValue(vek::mailreg::kMailKey), std::optional<std::string>("Outlook Express"));

    FakeDialog ok;
    EXPECT_EQ(mailProgClick(ok, write, e.store, msg), MailProgOutcome::Saved);
    EXPECT_EQ(written, (std::vector<std::pair<int, bool>>{{1, true}}));
    EXPECT_EQ(e.store.defaultValue(vek::mailreg::kMailKey), std::optional<std::string>("Internet Mail and News"));

    // Netscape: saved, the store is left alone.
    FakeDialog netscape;
    netscape.userIndex = 4;
    EXPECT_EQ(mailProgClick(netscape, write, e.store, msg), MailProgOutcome::Saved);
    EXPECT_EQ(written.back(), (std::pair<int, bool>{4, true}));
    EXPECT_EQ(e.store.defaultValue(vek::mailreg::kMailKey), std::optional<std::string>("Internet Mail and News"));
    EXPECT_TRUE(msg.shown.empty());

    // A store that cannot be written: the settings are written first, then
    // the error message. Root writes through permissions, so this part
    // runs in a child that has given up root.
    ::chmod(e.s.root.c_str(), 0755);
    ::chmod(e.store.path().c_str(), 0444);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(10);
        RecordingMessages childMsg;
        bool wrote = false;
        FakeDialog fails;
        fails.userIndex = 0;
        const auto r = mailProgClick(fails, [&](int i, bool) { wrote = i == 0; }, e.store, childMsg);
        if (r != MailProgOutcome::SelectFailed || !wrote) ::_exit(11);
        if (childMsg.shown.size() != 1 || childMsg.shown[0].text != "Failed to set data for ''") ::_exit(12);
        if (childMsg.shown[0].icon != Icon::Error) ::_exit(13);
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 10) GTEST_SKIP() << "cannot drop root here";
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(e.store.defaultValue(vek::mailreg::kMailKey), std::optional<std::string>("Internet Mail and News"));
}
