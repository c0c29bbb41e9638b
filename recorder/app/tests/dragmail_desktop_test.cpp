// Both Send commands of the recorder window on a private desktop: the
// default mail choice, the seeded client store, the real xdg-email and a
// stand-in mail client registered as the mailto handler, which must be
// handed the outgoing file of each kind.
// SPDX-License-Identifier: GPL-3.0-or-later
#include "dragmail_fixture.hpp"

#include "../../../platform/vekimail/tests/imail_env.hpp"
#include "vek/platform/vekimail.hpp"
#include "vek/testsupport/fixtures.hpp"

#include <gtest/gtest.h>

#include <QToolButton>

using namespace dragmailtest;

TEST(RecorderMailDesktop, BothSendCommandsHandTheFileToTheDesktopsMailClient) {
    if (!vek::imail::findOnPath("xdg-email") || !vek::imail::findOnPath("xdg-open"))
        GTEST_SKIP() << "xdg-utils is not installed";
    Recorder r(true);  // the window's folders first; the desktop's settings then win
    imailtest::Desktop desk;
    desk.registerStandInMailClient();
    const QByteArray work = vek::testsupport::toByteArray(vek::testsupport::spNoiseFile(2, 77));
    r.record(work);
    for (QToolButton* send : {r.form->SBMail, r.form->SBMailP}) {
        SCOPED_TRACE(send->objectName().toStdString());
        std::error_code ec;
        std::filesystem::remove(desk.received(), ec);
        send->click();
        EXPECT_TRUE(r.boxes.seen.empty()) << r.boxes.seen.front().text.toStdString();
        const QString expected = r.data + (send == r.form->SBMail ? "Voice.sc4" : "Voice.exe");
        const std::string got = imailtest::waitForFile(desk.received(), 10000);
        EXPECT_NE(imailtest::percentDecode(got).find("attach=" + expected.toStdString()), std::string::npos) << got;
    }
    EXPECT_EQ(readAll(r.data + "Voice.sc4"), work);
    EXPECT_TRUE(std::filesystem::exists(desk.root / "config" / "voice-lumo" / "mailclients.reg"));
}
