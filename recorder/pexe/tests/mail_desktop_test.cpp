// The whole send path on a private desktop: the default mail choice, the
// seeded client store, the real outgoing files, the real xdg-email and a
// stand-in mail client registered as the mailto handler, which must receive
// the attachment's path for both kinds.
// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "../../../platform/vekimail/tests/imail_env.hpp"
#include "fixtures.hpp"
#include "vek/platform/vekimail.hpp"
#include "vek/recpexe/mail.hpp"

using namespace pexetest;
using namespace vek::recpexe;

namespace {

class DesktopMail : public MailHost {
public:
    DesktopMail(RecorderFiles& st, fs::path work) : m_st(st), m_work(std::move(work)) {}
    void show(const std::string& text, const std::string&, Icon) override { shown.push_back(text); }
    void setBusy(bool) override {}
    int shellOpen(const std::string& program, const std::string& params) override {
        return vek::imail::shellOpenProgram(program, params);
    }
    int startCommand(const std::string& line) override { return vek::imail::startCommandLine(line); }
    std::optional<fs::path> prepareOutgoing(OutgoingKind kind) override {
        struct Files : OutgoingHost {
            DesktopMail& m;
            explicit Files(DesktopMail& mail) : m(mail) {}
            void show(const std::string& t, const std::string&, Icon) override { m.shown.push_back(t); }
            bool save() override { return false; }
            bool writeWorkingAsSc4(const fs::path& p) override {
                return vek::recpexe::writeWorkingAsSc4(m.m_work, m.m_st.mode, p);
            }
        } files(*this);
        return vek::recpexe::prepareOutgoing(kind, m_st, files);
    }
    std::int32_t sendIMail(const std::string& path, const std::string& text) override {
        return vek::imail::sendIMail(path.c_str(), text.c_str());
    }
    void clearStatusText() override {}
    std::vector<std::string> shown;

private:
    RecorderFiles& m_st;
    fs::path m_work;
};

}  // namespace

TEST(MailDesktop, DefaultChoiceSendsBothKindsToTheMailtoHandler) {
    if (!vek::imail::findOnPath("xdg-email") || !vek::imail::findOnPath("xdg-open"))
        GTEST_SKIP() << "xdg-utils is not installed";
    imailtest::Desktop desk;
    desk.registerStandInMailClient();
    Scratch s;
    installStubs(s);
    RecorderFiles st;
    st.programDir = s.program;
    st.dataDir = s.data;
    st.mode = 4;
    writeFile(s.data / "work.tmp", spSc4(2, 90));
    const vek::mailreg::Store store(vek::mailreg::Store::defaultPath());
    ASSERT_TRUE(store.seedIfMissing());
    EXPECT_EQ(store.path(), (desk.root / "config" / "voice-lumo" / "mailclients.reg").string());

    for (const OutgoingKind kind : {OutgoingKind::Sc4, OutgoingKind::Exe}) {
        SCOPED_TRACE(kind == OutgoingKind::Sc4 ? "sc4" : "exe");
        std::error_code ec;
        fs::remove(desk.received(), ec);
        DesktopMail host(st, s.data / "work.tmp");
        ASSERT_EQ(mailClick(kind, {}, kDefaultMailProg, false, store, host), MailOutcome::Sent);
        EXPECT_TRUE(host.shown.empty());
        const fs::path expected = s.data / (kind == OutgoingKind::Sc4 ? "Voice.sc4" : "Voice.exe");
        EXPECT_TRUE(fs::exists(expected));
        const std::string got = imailtest::waitForFile(desk.received(), 10000);
        EXPECT_NE(imailtest::percentDecode(got).find("attach=" + expected.string()), std::string::npos) << got;
    }
}
