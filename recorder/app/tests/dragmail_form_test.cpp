// The recorder window's drag handles, files dropped onto it and the two Send
// commands, headless: mouse events on the handles, drop events on the
// window, doubles for the drag itself and the desktop's mail services.
// SPDX-License-Identifier: GPL-3.0-or-later
#include "dragmail_fixture.hpp"

#include "draghandle.hpp"
#include "statusbar.hpp"

#include "vek/recpexe/pexe.hpp"
#include "vek/testsupport/fixtures.hpp"

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QDropEvent>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>
#include <QRadioButton>
#include <QToolButton>
#include <QUrl>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace dragmailtest;
using vek::testsupport::waitFor;
using vek::testsupport::writeBytes;
namespace fs = std::filesystem;

namespace {

QByteArray spRecording(std::size_t sectors, std::uint32_t seed) {
    return vek::testsupport::toByteArray(vek::testsupport::spNoiseFile(sectors, seed));
}

void mouse(QWidget* w, QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons buttons,
           Qt::KeyboardModifiers mods = {}) {
    QMouseEvent e(type, QPointF(at), w->mapToGlobal(QPointF(at)), button, buttons, mods);
    QApplication::sendEvent(w, &e);
}

// Drops `files` onto the window the way a file manager does.
void drop(TVM0007Form& form, const QStringList& files) {
    QMimeData mime;
    QList<QUrl> urls;
    for (const QString& f : files) urls << QUrl::fromLocalFile(f);
    mime.setUrls(urls);
    const QPoint at(100, 100);
    QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, {});
    QApplication::sendEvent(&form, &enter);
    ASSERT_TRUE(enter.isAccepted());
    QDropEvent dropped(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, {});
    QApplication::sendEvent(&form, &dropped);
    EXPECT_TRUE(dropped.isAccepted());
}

// A self-playing executable of `sc4` with the program's stand-in stub.
QString buildExe(const Recorder& r, const QString& sc4, std::uint8_t mode, vek::recpexe::EffectSettings fx) {
    const QString exe = QFileInfo(sc4).path() + "/" + QFileInfo(sc4).completeBaseName() + ".exe";
    const fs::path stub = vek::recpexe::stubPath(r.program.toStdString(), mode);
    EXPECT_TRUE(vek::recpexe::makePExe(stub, sc4.toStdString(), exe.toStdString(), mode, fx, r.data.toStdString()));
    return exe;
}

}  // namespace

// ---------------------------------------------------------------- drag-out

TEST(RecorderDragOut, ThresholdAndShiftStateThroughTheHandles) {
    Recorder r;
    TVM0007Form& f = *r.form;
    const QByteArray work = spRecording(3, 7);
    r.record(work);
    const QPoint down(3, 3);
    auto press = [&](QWidget* h) { mouse(h, QEvent::MouseButtonPress, down, Qt::LeftButton, Qt::LeftButton); };
    auto moveTo = [&](QWidget* h, QPoint p, Qt::MouseButtons b = Qt::LeftButton, Qt::KeyboardModifiers m = {}) {
        mouse(h, QEvent::MouseMove, p, Qt::NoButton, b, m);
    };

    press(f.imgDDC);
    moveTo(f.imgDDC, down + QPoint(9, 9));
    moveTo(f.imgDDC, down + QPoint(-9, -9));
    moveTo(f.imgDDC, down + QPoint(10, 0), Qt::LeftButton, Qt::ShiftModifier);
    moveTo(f.imgDDC, down + QPoint(0, 10), Qt::LeftButton, Qt::ControlModifier);
    moveTo(f.imgDDC, down + QPoint(10, 10), Qt::LeftButton | Qt::RightButton);
    EXPECT_TRUE(r.dragged.empty());
    EXPECT_FALSE(QFileInfo::exists(r.data + "Voice.sc4")) << "nothing is prepared before the drag starts";

    moveTo(f.imgDDC, down + QPoint(-10, 0));
    ASSERT_EQ(r.dragged.size(), 1u);
    EXPECT_EQ(r.dragged[0], (r.data + "Voice.sc4").toStdString());
    EXPECT_EQ(readAll(r.data + "Voice.sc4"), work);
    EXPECT_FALSE(r.acceptDropsDuringDrag);
    EXPECT_TRUE(f.acceptDrops());

    // The other handle hands out the executable: stub, header, recording.
    f.setEffect(9, 100);
    press(f.imgDDE);
    moveTo(f.imgDDE, down + QPoint(0, 10));
    ASSERT_EQ(r.dragged.size(), 2u);
    ASSERT_EQ(r.dragged[1], (r.data + "Voice.exe").toStdString());
    const QByteArray exe = readAll(r.data + "Voice.exe");
    const int s = static_cast<int>(vek::recpexe::kSpStubBytes);
    ASSERT_EQ(exe.size(), s + 12 + work.size());
    EXPECT_EQ(exe.left(s), readAll(r.program + "vekgplay.exe"));
    EXPECT_EQ(exe.mid(s, 12), QByteArray("TARKAVF\0\x04\x1E\x09\x64", 12));
    EXPECT_EQ(exe.mid(s + 12), work);
}

TEST(RecorderDragOut, RefusalsHandNothingOut) {
    Recorder r;
    TVM0007Form& f = *r.form;
    r.record(spRecording(1, 3));
    QFile::remove(r.program + "vekgplay.exe");
    auto& boxes = r.boxes.fresh();
    mouse(f.imgDDE, QEvent::MouseButtonPress, {2, 2}, Qt::LeftButton, Qt::LeftButton);
    mouse(f.imgDDE, QEvent::MouseMove, {12, 2}, Qt::NoButton, Qt::LeftButton);
    ASSERT_EQ(boxes.seen.size(), 1u);
    EXPECT_EQ(boxes.seen[0].text, "Player file does not exist.");
    EXPECT_EQ(boxes.seen[0].title, "voice lumo player");
    EXPECT_EQ(boxes.seen[0].icon, QMessageBox::Warning);
    EXPECT_TRUE(r.dragged.empty());
    EXPECT_FALSE(QFileInfo::exists(r.data + "Voice.exe"));
}

// ---------------------------------------------------------------- drop-in

TEST(RecorderDropIn, WrongCountWrongKindBadContentAndWhilePlaying) {
    Recorder r;
    TVM0007Form& f = *r.form;
    const QString a = r.dir.path() + "/a.sc4", wav = r.dir.path() + "/b.wav", bad = r.dir.path() + "/c.exe";
    writeBytes(a, spRecording(2, 1));
    writeBytes(wav, QByteArray(100, 'x'));
    writeBytes(bad, QByteArray(90000, 'M'));
    EXPECT_TRUE(f.acceptDrops());
    {
        auto& boxes = r.boxes.fresh();
        drop(f, {a, a});
        ASSERT_TRUE(waitFor([&] { return boxes.seen.size() == 1; }));
        drop(f, {wav});
        ASSERT_TRUE(waitFor([&] { return boxes.seen.size() == 2; }));
        drop(f, {bad});
        ASSERT_TRUE(waitFor([&] { return boxes.seen.size() == 3; }));
        EXPECT_EQ(boxes.seen[0].text, "You must select one file!");
        EXPECT_EQ(boxes.seen[1].text, "Can not support this file format!");
        EXPECT_EQ(boxes.seen[2].text, "Can not open file!\n(File format is not valid.)");
        for (int i = 0; i < 3; ++i) EXPECT_EQ(boxes.seen[i].title, "Open");
        EXPECT_EQ(boxes.seen[0].icon, QMessageBox::Information);
        EXPECT_EQ(boxes.seen[1].icon, QMessageBox::Information);
        EXPECT_EQ(boxes.seen[2].icon, QMessageBox::Warning);
    }
    EXPECT_EQ(f.windowTitle(), "voice lumo player [New]");
    EXPECT_TRUE(r.engine->started.empty());
    EXPECT_TRUE(f.acceptDrops());

    // While playing nothing is taken, not even a message comes.
    r.engine->autoRequest = false;
    drop(f, {a});
    ASSERT_TRUE(waitFor([&] { return f.transportState() == vekvmail::TransportState::Playing; }));
    EXPECT_FALSE(f.acceptDrops());
    auto& boxes = r.boxes.fresh();
    f.WMDropFiles({wav});
    f.WMDropFiles({a, a});
    QApplication::processEvents();
    EXPECT_TRUE(boxes.seen.empty());
    EXPECT_EQ(r.engine->started.size(), 1u);
}

TEST(RecorderDropIn, Sc4AndExeLoadAndPlayFromTheStart) {
    Recorder r;
    TVM0007Form& f = *r.form;
    const QString sc4 = r.dir.path() + "/memo one.sc4";
    const QByteArray rec = spRecording(3, 11);
    writeBytes(sc4, rec);
    f.setEffect(4, 20);
    drop(f, {sc4});
    ASSERT_TRUE(waitFor([&] { return r.engine->played.size() >= 3; }));
    ASSERT_EQ(r.engine->started.size(), 1u);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(r.engine->played[0].data()), 512), rec.left(512));
    EXPECT_EQ(f.windowTitle(), "voice lumo player [memo one.sc4]");
    EXPECT_EQ(f.Label4->property("hint").toString(), "memo one.sc4");
    EXPECT_EQ(f.currentFileName(), sc4);
    EXPECT_EQ(f.StatusBar->panelText(2), "SP");
    EXPECT_FALSE(f.Modified());
    EXPECT_TRUE(f.targetCheck());

    // An HQ executable with an effect: the frames come back as the working
    // file, the effect reaches the engine (127 minus the slider).
    const vek::testsupport::Bytes frames = vek::testsupport::adpcmFrames(vek::testsupport::Samples(58 * 80, 1000));
    const QString hq = r.dir.path() + "/hq.sc4";
    writeBytes(hq, vek::testsupport::adpcmSc4(frames, false));
    const QString exe = buildExe(r, hq, 5, {12, 100});
    ASSERT_TRUE(waitFor([&] { return f.transportState() == vekvmail::TransportState::Stopped; }));
    // Changes are asked about first; No drops them.
    f.setModified(true);
    auto& no = r.boxes.fresh(QMessageBox::No);
    drop(f, {exe});
    ASSERT_TRUE(waitFor([&] { return r.engine->started.size() == 2; }));
    ASSERT_EQ(no.seen.size(), 1u);
    EXPECT_EQ(no.seen[0].text, "Save changes to file?");
    EXPECT_EQ(no.seen[0].title, "Confirm");
    EXPECT_EQ(r.engine->started[1].mode, 5);
    EXPECT_EQ(r.engine->started[1].effect, 12);
    EXPECT_EQ(r.engine->started[1].level, 27);
    EXPECT_EQ(f.EffectIndex(), 12);
    EXPECT_EQ(f.EffectSliderPosition(), 100);
    EXPECT_EQ(f.windowTitle(), "voice lumo player [hq.exe]");
    EXPECT_EQ(f.StatusBar->panelText(2), "HQ");
    ASSERT_TRUE(waitFor([&] { return f.transportState() == vekvmail::TransportState::Stopped; }));
    // The payload comes back unchanged: the codec's frame stream of the SC4 file.
    const QByteArray payload = readAll(exe).mid(static_cast<int>(vek::recpexe::kAdpcmStubBytes) + 12);
    EXPECT_TRUE(payload.startsWith(vek::testsupport::toByteArray(frames)));
    EXPECT_EQ(readAll(f.WorkFile()), payload);
    EXPECT_TRUE(f.acceptDrops());
}

TEST(RecorderDropIn, AnExeWhoseModeDoesNotMatchItsOffsetIsRefused) {
    Recorder r;
    TVM0007Form& f = *r.form;
    const QString sc4 = r.dir.path() + "/x.sc4";
    writeBytes(sc4, spRecording(2, 5));
    QByteArray exe = readAll(buildExe(r, sc4, 4, {}));
    // The tag moved to the HQ offset while the mode still says SP.
    exe.replace(51200, 12, QByteArray("TARKAVF\0\x04\x1E\0\x50", 12));
    exe.replace(78848, 7, QByteArray(7, 'z'));
    writeBytes(r.dir.path() + "/x.exe", exe);
    const QByteArray workBefore = readAll(f.WorkFile());
    auto& boxes = r.boxes.fresh();
    f.WMDropFiles({r.dir.path() + "/x.exe"});
    ASSERT_EQ(boxes.seen.size(), 1u);
    EXPECT_EQ(boxes.seen[0].text, "Can not open file!\n(File format is not valid.)");
    EXPECT_EQ(readAll(f.WorkFile()), workBefore);
    EXPECT_TRUE(r.engine->started.empty());
}

TEST(RecorderDropIn, APipeNamedLikeAVoiceFileIsRefusedAtOnce) {
    // Reading a pipe waits for a writer: opened, it would hold the window
    // (the test would not end).
    Recorder r;
    TVM0007Form& f = *r.form;
    const QByteArray workBefore = readAll(f.WorkFile());
    for (const char* name : {"/p.sc4", "/p.exe"}) {
        const QString pipe = r.dir.path() + name;
        ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0) << name;
        auto& boxes = r.boxes.fresh();
        f.WMDropFiles({pipe});
        ASSERT_EQ(boxes.seen.size(), 1u) << name;
        EXPECT_EQ(boxes.seen[0].text, "Can not open file!\n(File format is not valid.)") << name;
    }
    EXPECT_EQ(readAll(f.WorkFile()), workBefore);
    EXPECT_EQ(f.windowTitle(), "voice lumo player [New]");
    EXPECT_TRUE(r.engine->started.empty());
}

// ---------------------------------------------------------------- voice mail

TEST(RecorderMail, NetscapeIsStartedAndNothingIsPrepared) {
    Recorder r;
    TVM0007Form& f = *r.form;
    r.record(spRecording(1, 2));
    r.mail->SetMailProg(4);
    f.StatusBar->setPanelText(0, "busy");
    f.SBMail->click();
    ASSERT_EQ(r.shellOpens.size(), 1u);
    EXPECT_EQ(r.shellOpens[0], (std::pair<std::string, std::string>{"netscape.exe", "-mail"}));
    EXPECT_TRUE(r.sent.empty());
    EXPECT_FALSE(QFileInfo::exists(r.data + "Voice.sc4"));
    EXPECT_FALSE(QFileInfo::exists(r.mailStorePath())) << "the client keys are not looked at";
    EXPECT_EQ(f.StatusBar->panelText(0), "");
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    // The MP3 command goes the same way.
    f.MMailSendMp3->trigger();
    ASSERT_EQ(r.shellOpens.size(), 2u);
    EXPECT_EQ(r.shellOpens[1], r.shellOpens[0]);
    EXPECT_TRUE(r.sent.empty());
    EXPECT_FALSE(QFileInfo::exists(r.data + "Voice.mp3"));
    EXPECT_FALSE(QFileInfo::exists(r.mailStorePath()));

    r.shellResult = 2;  // not found
    auto& boxes = r.boxes.fresh();
    f.MMailSendP->trigger();
    ASSERT_EQ(boxes.seen.size(), 1u);
    EXPECT_EQ(boxes.seen[0].text,
              "Can not send mail because mail program is improper.\n\nCorrectly select your mail "
              "program in [Mail Program] of [Option] menu.");
    EXPECT_EQ(boxes.seen[0].icon, QMessageBox::Warning);
    EXPECT_FALSE(QFileInfo::exists(r.data + "Voice.exe"));
}

TEST(RecorderMail, MissingClientKeyAndEmptyCommandWithTheRunFlag) {
    Recorder r;
    TVM0007Form& f = *r.form;
    const QByteArray work = spRecording(2, 4);
    r.record(work);
    // Outlook Express (the default choice) is not installed.
    const QString mailKey = "\\SOFTWARE\\Clients\\Mail", oe = mailKey + "\\Outlook Express";
    r.writeMailStore({{mailKey, "Exchange"}, {mailKey + "\\Exchange", "Exchange"}});
    {
        auto& boxes = r.boxes.fresh();
        f.SBMail->click();
        ASSERT_EQ(boxes.seen.size(), 1u);
        EXPECT_TRUE(boxes.seen[0].text.startsWith("Can not send mail because mail program is improper."));
    }
    EXPECT_TRUE(r.sent.empty());
    EXPECT_FALSE(QFileInfo::exists(r.data + "Voice.sc4"));

    // Installed, with an empty start command: nothing is started, the mail goes.
    r.writeMailStore({{mailKey, "Outlook Express"}, {oe, "Outlook Express"}, {oe + "\\shell\\open\\command", ""}});
    r.mail->setRunMailProgram(true);
    f.MMailSend->trigger();
    EXPECT_TRUE(r.commands.empty());
    ASSERT_EQ(r.sent.size(), 1u);
    EXPECT_EQ(r.sent[0], (r.data + "Voice.sc4").toStdString());
    EXPECT_EQ(readAll(r.data + "Voice.sc4"), work);

    // With a command, it is started unchanged before the file is handed over.
    r.writeMailStore({{mailKey, "Outlook Express"},
                      {oe, "Outlook Express"},
                      {oe + "\\shell\\open\\command", "\"/opt/my mail/mailer\" -compose"}});
    f.SBMailP->click();
    ASSERT_EQ(r.commands.size(), 1u);
    EXPECT_EQ(r.commands[0], "\"/opt/my mail/mailer\" -compose");
    ASSERT_EQ(r.sent.size(), 2u);
    EXPECT_EQ(r.sent[1], (r.data + "Voice.exe").toStdString());
    EXPECT_EQ(readAll(r.data + "Voice.exe").mid(static_cast<int>(vek::recpexe::kSpStubBytes) + 12), work);

    // A refused hand-over is the improper program too.
    r.sendResult = 0x101;
    auto& boxes = r.boxes.fresh();
    f.SBMail->click();
    ASSERT_EQ(boxes.seen.size(), 1u);
    EXPECT_TRUE(boxes.seen[0].text.startsWith("Can not send mail"));
}

TEST(RecorderMail, TheDialogCancelledRestoresBothAndConfirmedSelectsTheClient) {
    Recorder r;
    TVM0007Form& f = *r.form;
    r.mail->SetMailProg(1);
    r.mail->setRunMailProgram(false);
    QTimer::singleShot(50, [&] {
        r.mail->radNetscape->setChecked(true);
        r.mail->cbxMRun->setChecked(true);
        r.mail->reject();
    });
    f.mnuMailProg->trigger();
    EXPECT_EQ(r.mail->GetMailProg(), 1);
    EXPECT_FALSE(r.mail->runMailProgram());
    EXPECT_FALSE(readAll(f.IniPath()).contains("MailProg"));

    QTimer::singleShot(50, [&] {
        r.mail->radOutlook->setChecked(true);
        r.mail->cbxMRun->setChecked(true);
        r.mail->accept();
    });
    f.mnuMailProg->trigger();
    const QByteArray ini = readAll(f.IniPath());
    EXPECT_TRUE(ini.contains("MailProg=2")) << ini.toStdString();
    EXPECT_TRUE(ini.contains("MailRun=1")) << ini.toStdString();
    std::string command;
    EXPECT_TRUE(f.FindMailClient(command, 2, true));
    EXPECT_TRUE(readAll(r.mailStorePath()).contains("@=Microsoft Outlook"));
}

TEST(RecorderMail, SavedRecordingsAndAnOpenExecutable) {
    Recorder r;
    TVM0007Form& f = *r.form;
    const QString sc4 = r.dir.path() + "/saved.sc4";
    const QByteArray rec = spRecording(2, 21);
    writeBytes(sc4, rec);
    f.WMDropFiles({sc4});
    ASSERT_TRUE(waitFor([&] { return f.transportState() == vekvmail::TransportState::Stopped; }));
    ASSERT_TRUE(f.targetCheck());

    // Unchanged: the file itself goes, and with player an executable of it
    // named after it in the data folder.
    f.SBMail->click();
    f.SBMailP->click();
    ASSERT_EQ(r.sent.size(), 2u);
    EXPECT_EQ(r.sent[0], sc4.toStdString());
    EXPECT_EQ(r.sent[1], (r.data + "saved.exe").toStdString());
    EXPECT_EQ(readAll(r.data + "saved.exe").mid(static_cast<int>(vek::recpexe::kSpStubBytes) + 12), rec);
    EXPECT_FALSE(f.targetCheck());

    // An open self-playing executable is not sent.
    const QString exe = buildExe(r, sc4, 4, {});
    f.WMDropFiles({exe});
    ASSERT_TRUE(waitFor([&] { return f.transportState() == vekvmail::TransportState::Stopped; }));
    auto& boxes = r.boxes.fresh();
    f.SBMail->click();
    ASSERT_EQ(boxes.seen.size(), 1u);
    EXPECT_EQ(boxes.seen[0].text, "Try again after save to 'sc4' file by [Save As] of [File] menu.");
    EXPECT_EQ(boxes.seen[0].icon, QMessageBox::Information);
    EXPECT_EQ(r.sent.size(), 2u);
}

TEST(RecorderMail, ChangesToASavedRecordingAreSavedBeforeSending) {
    Recorder r;
    TVM0007Form& f = *r.form;
    const QString sc4 = r.dir.path() + "/memo.sc4";
    writeBytes(sc4, spRecording(2, 31));
    f.WMDropFiles({sc4});
    ASSERT_TRUE(waitFor([&] { return f.transportState() == vekvmail::TransportState::Stopped; }));
    f.setModified(true);
    f.SaveClick();
    if (f.Modified()) GTEST_SKIP() << "Save of the current file is not in this build";

    const QByteArray changed = spRecording(3, 32);
    r.record(changed);
    f.SBMail->click();
    ASSERT_EQ(r.sent.size(), 1u);
    EXPECT_EQ(r.sent[0], sc4.toStdString());
    EXPECT_EQ(readAll(sc4), changed);
    EXPECT_FALSE(f.Modified());
}

// The executable's and the MP3 file's target checks are armed at the same
// moments (a drop-in, also of the file already open; a save of changes)
// and each is cleared by its own build, whichever command made it.
TEST(RecorderMail, BothTargetChecksAreArmedByADropInAndBySavingChanges) {
    Recorder r;
    TVM0007Form& f = *r.form;
    const QString sc4 = r.dir.path() + "/saved.sc4";
    writeBytes(sc4, spRecording(2, 41));
    auto dropIn = [&] {
        f.WMDropFiles({sc4});
        ASSERT_TRUE(waitFor([&] { return f.transportState() == vekvmail::TransportState::Stopped; }));
    };
    dropIn();
    const QString exe = r.data + "saved.exe", mp3 = r.data + "saved.mp3";
    f.SBMailP->click();
    f.MMailSendMp3->trigger();
    ASSERT_EQ(r.sent, (std::vector<std::string>{exe.toStdString(), mp3.toStdString()}));
    EXPECT_FALSE(f.targetCheck());
    EXPECT_FALSE(f.mp3TargetCheck());

    // The same file dropped again: a mail program may hold the MP3 file
    // built before, which is then not overwritten.
    dropIn();
    EXPECT_TRUE(f.targetCheck());
    EXPECT_TRUE(f.mp3TargetCheck());
    const QByteArray built = readAll(mp3);
    const int fd = ::open(QFile::encodeName(mp3).constData(), O_RDONLY);
    ASSERT_EQ(::flock(fd, LOCK_SH), 0);
    {
        auto& boxes = r.boxes.fresh();
        f.MMailSendMp3->trigger();
        ASSERT_EQ(boxes.seen.size(), 1u);
        EXPECT_TRUE(boxes.seen[0].text.startsWith("Can not make file. (ReadOnly file?)"));
    }
    ::close(fd);
    EXPECT_EQ(r.sent.size(), 2u);
    EXPECT_EQ(readAll(mp3), built);
    EXPECT_TRUE(f.mp3TargetCheck());
    f.MMailSendMp3->trigger();
    EXPECT_EQ(r.sent.size(), 3u);
    EXPECT_FALSE(f.mp3TargetCheck());
    EXPECT_TRUE(f.targetCheck()) << "the executable has not been built since";

    // A save of changes by the window's Save arms both.
    f.SBMailP->click();
    ASSERT_FALSE(f.targetCheck());
    f.setModified(true);
    f.SaveClick();
    ASSERT_FALSE(f.Modified());
    EXPECT_TRUE(f.targetCheck());
    EXPECT_TRUE(f.mp3TargetCheck());

    // A save made by a Send command arms both as well; the executable
    // built then clears its own flag only.
    f.MMailSendMp3->trigger();
    ASSERT_FALSE(f.mp3TargetCheck());
    r.record(spRecording(3, 42));
    f.SBMailP->click();
    EXPECT_FALSE(f.Modified());
    EXPECT_FALSE(f.targetCheck());
    EXPECT_TRUE(f.mp3TargetCheck());
}
