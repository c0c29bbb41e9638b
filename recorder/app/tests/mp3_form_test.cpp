// "Send Voice Mail (&MP3)..." in the recorder window: the item sits in
// "&Send" after the two designed ones and follows MMailSend's state; with a
// stand-in xdg-email on PATH, the attachment the window hands over is an MP3
// file in the data folder that libsndfile reads back as the recording.
// SPDX-License-Identifier: GPL-3.0-or-later
#include "maildlg.hpp"
#include "vm0007form.hpp"

#include "vek/testsupport/fixtures.hpp"
#include "vek/testsupport/qt.hpp"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>

#include <memory>

using namespace vekvmail;
namespace ts = vek::testsupport;

namespace {

// A program folder, settings, a data folder and a PATH folder of its own,
// with a stand-in xdg-email that writes its arguments to a file.
struct Desk {
    QTemporaryDir dir;
    QByteArray oldPath = qgetenv("PATH");
    Desk() {
        qputenv("XDG_CONFIG_HOME", (dir.path() + "/config").toUtf8());
        qputenv("XDG_DATA_HOME", (dir.path() + "/data").toUtf8());
        QDir().mkpath(dir.path() + "/bin");
        QDir().mkpath(dir.path() + "/path");
        QDir().mkpath(dir.path() + "/config/voice-lumo");
        EXPECT_TRUE(ts::writeBytes(dir.path() + "/config/voice-lumo/VEKVMAIL.INI", QByteArray("[Main]\r\n")));
        const QString script = dir.path() + "/path/xdg-email";
        EXPECT_TRUE(ts::writeBytes(script, "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + args().toUtf8() + "'\n"));
        QFile::setPermissions(script, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        qputenv("PATH", (dir.path() + "/path:").toUtf8() + oldPath);
    }
    ~Desk() { qputenv("PATH", oldPath); }
    QString args() const { return dir.path() + "/xdg-email.args"; }
};

// Closes any message box that shows up and keeps its text, so that a
// failing send fails the test instead of waiting for a click.
struct BoxCatcher {
    QStringList texts;
    QTimer timer;
    BoxCatcher() {
        QObject::connect(&timer, &QTimer::timeout, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                texts << box->text();
                box->reject();
            }
        });
        timer.start(20);
    }
};

}  // namespace

TEST(RecorderMp3Mail, MenuItemFollowsMMailSendAndHandsOverAnMp3FromTheDataFolder) {
    Desk desk;
    TVM0007Form::Environment env;
    env.programDir = desk.dir.path() + "/bin/";
    env.screenSize = [] { return QSize(1024, 768); };
    auto form = std::make_unique<TVM0007Form>(env);
    TMailDlg mail(form.get());
    form->setDialogs(nullptr, &mail, nullptr);
    bool shown = false;
    QObject::connect(form.get(), &TVM0007Form::shownOnce, [&shown] { shown = true; });
    form->show();
    ASSERT_TRUE(ts::waitFor([&] { return shown; }));
    TVM0007Form& f = *form;

    // Third in "&Send", after the two designed items.
    const QList<QAction*> items = f.Send1->actions();
    ASSERT_EQ(items.size(), 3);
    EXPECT_EQ(items[0], f.MMailSend);
    EXPECT_EQ(items[1], f.MMailSendP);
    EXPECT_EQ(items[2], f.MMailSendMp3);
    EXPECT_EQ(f.MMailSendMp3->text(), "Send Voice Mail (&MP3)...");
    EXPECT_EQ(f.MMailSendMp3->objectName(), "MMailSendMp3");
    // Disabled and enabled with MMailSend (as playing and recording do).
    EXPECT_TRUE(f.MMailSendMp3->isEnabled());
    f.MMailSend->setEnabled(false);
    EXPECT_FALSE(f.MMailSendMp3->isEnabled());
    f.MMailSend->setEnabled(true);
    EXPECT_TRUE(f.MMailSendMp3->isEnabled());

    // An SP recording never saved: 4 sectors in the working file.
    ASSERT_EQ(f.VoiceMode(), 4);
    ASSERT_TRUE(ts::writeBytes(f.WorkFile(), ts::spNoiseFile(4, 11)));
    BoxCatcher boxes;
    f.MMailSendMp3->trigger();
    EXPECT_TRUE(boxes.texts.isEmpty()) << boxes.texts.join(" | ").toStdString();

    QFile argsFile(desk.args());
    ASSERT_TRUE(argsFile.open(QIODevice::ReadOnly)) << "xdg-email was not run";
    const QStringList args = QString::fromUtf8(argsFile.readAll()).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(args.size(), 2) << args.join(' ').toStdString();
    EXPECT_EQ(args[0], "--attach");
    const QString attached = args[1];
    EXPECT_EQ(QFileInfo(attached).absoluteFilePath(), QDir(f.DataDir()).absoluteFilePath("Voice.mp3"));
    EXPECT_FALSE(QFileInfo::exists(QDir(f.DataDir()).absoluteFilePath("Voice.sc4")));

    SF_INFO info{};
    SNDFILE* sf = sf_open(QFile::encodeName(attached).constData(), SFM_READ, &info);
    ASSERT_NE(sf, nullptr) << sf_strerror(nullptr);
    EXPECT_EQ(info.format & SF_FORMAT_TYPEMASK, SF_FORMAT_MPEG);
    EXPECT_EQ(info.samplerate, 8000);
    EXPECT_EQ(info.channels, 1);
    sf_count_t frames = 0;
    short buf[4096];
    for (sf_count_t n; (n = sf_readf_short(sf, buf, 4096)) > 0;) frames += n;
    sf_close(sf);
    EXPECT_NEAR(double(frames), 4 * 4000.0, 1152.0);

    form->setModified(false);
    form->close();
}
