// The recorder window's transport controls on a scripted engine: the buttons
// and menu items reach the transport, the engine's messages come back as
// events of the window's thread, and what the transport shows lands in the
// clocks, the meter, the bar, the status panels and the title.
// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "startup.hpp"
#include "statusbar.hpp"
#include "vm0007form.hpp"

#include "fakes.hpp"
#include "vek/crp2/audioengine.hpp"
#include "vek/recwidgets/dbmeter.hpp"
#include "vek/recwidgets/display.hpp"
#include "vek/recwidgets/mousebar.hpp"
#include "vek/transport/transport.hpp"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>

#include <array>
#include <functional>
#include <memory>
#include <vector>

using namespace vekvmail;
namespace crp2 = vek::crp2;

namespace {

using vek::transport::test::FakeEngine;

void spin(int ms = 50) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 5);
}

// Answers the next modal box with `button`.
void answerNextBox(QMessageBox::StandardButton button) {
    QTimer::singleShot(50, [button] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) box->button(button)->click();
    });
}

QString clock(const std::array<TDisplay*, 6>& d) {
    return QString("%1%2:%3%4:%5%6")
        .arg(d[0]->digit()).arg(d[1]->digit()).arg(d[2]->digit()).arg(d[3]->digit()).arg(d[4]->digit()).arg(d[5]->digit());
}

struct Recorder {
    QTemporaryDir dir;
    FakeEngine* engine = nullptr;
    std::unique_ptr<TVM0007Form> form;
    explicit Recorder(const QByteArray& iniText = "[Main]\r\n", const QString& commandLineFile = {}) {
        qputenv("XDG_CONFIG_HOME", (dir.path() + "/config").toUtf8());
        qputenv("XDG_DATA_HOME", (dir.path() + "/data").toUtf8());
        QDir().mkpath(dir.path() + "/bin");
        QFile ini(dir.path() + "/config/voice-lumo/VEKVMAIL.INI");
        QDir().mkpath(QFileInfo(ini).path());
        ini.open(QIODevice::WriteOnly);
        ini.write(iniText);
        ini.close();
        TVM0007Form::Environment env;
        env.programDir = dir.path() + "/bin/";
        env.screenSize = [] { return QSize(1024, 768); };
        env.commandLineFile = commandLineFile;
        env.audioEngine = [this] {
            auto e = std::make_unique<FakeEngine>();
            engine = e.get();
            return std::unique_ptr<crp2::AudioEngine>(std::move(e));
        };
        form = std::make_unique<TVM0007Form>(env);
        form->show();
        spin(100);
    }
    ~Recorder() {
        if (form->isVisible()) {
            form->setModified(false);
            form->close();
        }
    }
    QString running() const { return clock({form->dspT6, form->dspT5, form->dspT4, form->dspT3, form->dspT2, form->dspT1}); }
    QString total() const {
        return clock({form->dsptT6, form->dsptT5, form->dsptT4, form->dsptT3, form->dsptT2, form->dsptT1});
    }
    QByteArray ini() const {
        QFile f(form->IniPath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    QByteArray work() const {
        QFile f(form->WorkFile());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};

TEST(RecorderTransport, RecordStopPlayThroughTheControls) {
    Recorder r;
    TVM0007Form& f = *r.form;
    f.SBRec2->click();  // HQ
    spin();
    EXPECT_EQ(f.transportState(), TransportState::Recording);
    EXPECT_EQ(f.StatusBar->panelText(0), "Recording...");
    EXPECT_EQ(f.StatusBar->panelText(2), "HQ");
    EXPECT_TRUE(f.Modified());
    for (QWidget* w : std::initializer_list<QWidget*>{f.SBPlay, f.SBRec, f.SBRec2, f.SBNew, f.SBFF, f.TrackBar, f.SBDelA})
        EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
    EXPECT_TRUE(f.SBStop->isEnabled());
    EXPECT_EQ(f.dsptT1->onColor(), 0xC0C0C0u);
    for (int i = 0; i < 3; ++i) r.engine->capture(std::uint8_t(0xA0 + i), 32767, true);
    spin();
    EXPECT_EQ(f.DBMeter->position(), 99);
    EXPECT_EQ(r.running(), "00:00:01");  // 3 * 0.493 = 1.479
    f.MStop->trigger();
    EXPECT_TRUE(f.SBPlay->isEnabled());  // commands are back at once
    r.engine->capture(0xA3, 0, true);
    spin();
    EXPECT_EQ(f.transportState(), TransportState::Stopped);
    EXPECT_FALSE(r.engine->capturing);
    EXPECT_EQ(r.work().size(), 4 * 1972);
    EXPECT_EQ(r.work().at(3 * 1972), char(0xA3));
    EXPECT_EQ(f.StatusBar->panelText(1), "File Size 9KB");  // 7888 -> 8160 -> 8170 -> 8202 bytes
    EXPECT_EQ(r.total(), "00:00:02");                        // 7888 * 0.00025 = 1.972
    EXPECT_EQ(f.dsptT1->onColor(), 0xFFFFFFu);
    EXPECT_EQ(f.DBMeter->position(), 0);
    EXPECT_TRUE(f.TrackBar->isEnabled());
    EXPECT_EQ(f.TrackBar->position(), 32760);
    EXPECT_TRUE(f.SBRec2->isEnabled());
    EXPECT_FALSE(f.SBRec->isEnabled());
    EXPECT_FALSE(f.SBRecP->isEnabled());
    EXPECT_EQ(f.VoiceMode(), 5);

    // The bar at the end: Play starts at the beginning and runs to the end.
    f.SBPlay->click();
    EXPECT_EQ(f.transportState(), TransportState::Playing);
    spin(200);
    EXPECT_EQ(f.transportState(), TransportState::Stopped);
    ASSERT_EQ(r.engine->played.size(), 5u);
    EXPECT_EQ(r.engine->played[0][0], 0xA0);
    EXPECT_EQ(r.engine->played[4], std::vector<std::uint8_t>(1972, 0));
    EXPECT_EQ(r.running(), "00:00:02");
}

TEST(RecorderTransport, BarClicksSeekAndCutsAskFirst) {
    Recorder r;
    TVM0007Form& f = *r.form;
    f.SBRec->click();
    for (int i = 0; i < 19; ++i) r.engine->capture(std::uint8_t(i), 100, true);
    spin();
    f.SBStop->click();
    r.engine->capture(19, 100, true);
    spin();
    ASSERT_EQ(r.work().size(), 20 * 512);
    // A click in the middle of the bar: (122 - 5) * 140 = 16380, block 10.
    f.TrackBarMouseUp(Qt::LeftButton, {}, QPoint(122, 5));
    EXPECT_EQ(f.TrackBar->position(), 16380);
    EXPECT_EQ(r.running(), "00:00:05");
    f.SBFF->click();
    EXPECT_EQ(r.running(), "00:00:10");
    f.SBFB->click();
    f.SBFB->click();
    EXPECT_EQ(r.running(), "00:00:00");
    f.TrackBarMouseUp(Qt::LeftButton, {}, QPoint(122, 5));
    answerNextBox(QMessageBox::Yes);
    f.SBDelB->click();
    EXPECT_EQ(r.work().size(), 10 * 512);
    EXPECT_EQ(r.work().at(0), char(10));
    EXPECT_EQ(f.TrackBar->position(), 0);
    EXPECT_EQ(r.total(), "00:00:05");
    answerNextBox(QMessageBox::No);
    f.MDelA->trigger();
    EXPECT_EQ(r.work().size(), 10 * 512);
}

TEST(RecorderTransport, ClosingDuringARecordingFinishesItBeforeTheFileGoes) {
    Recorder r;
    TVM0007Form& f = *r.form;
    f.SBRec->click();
    r.engine->capture(1, 100, true);
    spin();
    const QString work = f.WorkFile();
    int closings = 0;
    bool workFileAtClose = false;
    r.engine->whileClosing = [&] {
        if (closings++ == 0) workFileAtClose = QFileInfo::exists(work);
    };
    answerNextBox(QMessageBox::No);  // "Save changes to file?"
    f.close();
    spin();
    EXPECT_FALSE(r.engine->capturing);
    EXPECT_GE(closings, 1);
    EXPECT_TRUE(workFileAtClose) << "the engine was closed before the working file was deleted";
    EXPECT_FALSE(QFileInfo::exists(work));
    EXPECT_FALSE(f.isVisible());
}

TEST(RecorderTransport, ARecordingThatCannotBeFinishedOnCloseIsReportedBeforeTheWindowGoes) {
    Recorder r;
    TVM0007Form& f = *r.form;
    f.SBRec->click();
    r.engine->capture(1, 100, true);
    spin();
    f.SBStop->click();
    r.engine->capture(2, 100, true);
    spin();
    // A recording inserted at the start; its saved tail is then made unreadable.
    f.SBStop->click();
    f.SBRec->click();
    r.engine->capture(3, 100, true);
    spin();
    ASSERT_EQ(f.transportState(), TransportState::Recording);
    ASSERT_TRUE(QFile::remove(f.TailFile()));
    ASSERT_TRUE(QDir().mkdir(f.TailFile()));
    // Each box is answered in turn; the save question must not come while the
    // report is still up (it would go with the window unread).
    std::vector<std::string> seen;
    bool reportUpAtQuestion = false;
    std::function<void()> answer = [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        seen.push_back(box->objectName().toStdString());
        if (box->objectName() == "TransportMessage") {
            box->button(QMessageBox::Ok)->click();
        } else {
            for (auto* b : f.findChildren<QMessageBox*>("TransportMessage")) reportUpAtQuestion |= b->isVisible();
            box->button(QMessageBox::No)->click();
        }
        QTimer::singleShot(50, answer);
    };
    QTimer::singleShot(50, answer);
    f.close();
    spin(200);
    ASSERT_GE(seen.size(), 2u);
    EXPECT_EQ(seen[0], "TransportMessage");
    EXPECT_FALSE(reportUpAtQuestion);
    EXPECT_FALSE(f.isVisible());
    QDir().rmdir(f.TailFile());
}

TEST(RecorderTransport, EveryPlayTakesTheFormsEffectAsItIsThen) {
    Recorder r;
    TVM0007Form& f = *r.form;
    f.SBRec->click();
    spin();
    f.SBStop->click();
    r.engine->capture(0xA0, 0, true);
    spin();
    ASSERT_TRUE(f.SBPlay->isEnabled());
    // The level the engine gets is the wet weight, 127 minus the slider.
    for (auto [effect, slider] : {std::pair{6, 40}, std::pair{0, 80}, std::pair{16, 0}, std::pair{1, 127}}) {
        f.setEffect(effect, slider);
        f.MPlay->trigger();
        spin(100);
        ASSERT_EQ(f.transportState(), TransportState::Stopped);
        ASSERT_FALSE(r.engine->started.empty());
        EXPECT_EQ(r.engine->started.back().effect, effect);
        EXPECT_EQ(r.engine->started.back().level, 127 - slider);
    }
    EXPECT_EQ(r.engine->started.size(), 4u);
}

TEST(RecorderTransport, RefusedDeviceShowsItsMessageAndKeepsTheWindowStopped) {
    Recorder r;
    TVM0007Form& f = *r.form;
    r.engine->inResult = crp2::kDeviceBusy;
    f.SBRecP->click();
    spin();
    EXPECT_EQ(f.transportState(), TransportState::Stopped);
    auto* box = f.findChild<QMessageBox*>("TransportMessage");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), "Can not open sound device.");
    EXPECT_EQ(box->windowTitle(), "voice lumo player");
    EXPECT_EQ(box->icon(), QMessageBox::Information);
    box->button(QMessageBox::Ok)->click();
    EXPECT_TRUE(f.SBRec->isEnabled());
}

// ---------------------------------------------------------------- transcription playback

TEST(RecorderSpeed, CommandsStepTheSpeedShowItAndKeepIt) {
    Recorder r;
    TVM0007Form& f = *r.form;
    EXPECT_EQ(f.PlaySpeedTenths(), 10);
    EXPECT_FALSE(f.lblSpeed->isVisible());
    f.MSlower->trigger();
    EXPECT_EQ(r.engine->speed, 0.9);
    EXPECT_TRUE(f.lblSpeed->isVisible());
    EXPECT_EQ(f.lblSpeed->text(), "Speed 0.9x");
    EXPECT_TRUE(r.ini().contains("PlaySpeed=0.9\r\n")) << r.ini().toStdString();
    for (int i = 0; i < 10; ++i) f.MSlowerClick();
    EXPECT_EQ(f.PlaySpeedTenths(), 5);
    EXPECT_EQ(r.engine->speed, 0.5);
    EXPECT_FALSE(f.MSlower->isEnabled());
    for (int i = 0; i < 20; ++i) f.MFasterClick();
    EXPECT_EQ(r.engine->speed, 2.0);
    EXPECT_EQ(f.lblSpeed->text(), "Speed 2.0x");
    EXPECT_FALSE(f.MFaster->isEnabled());
    EXPECT_TRUE(f.MSlower->isEnabled());

    // Changed during a playback: the transport text stays, the position in blocks.
    f.SBRec->click();
    for (int i = 0; i < 7; ++i) r.engine->capture(std::uint8_t(i + 1), 100, true);
    spin();
    f.SBStop->click();
    r.engine->capture(8, 100, true);
    spin();
    f.TrackBar->setPosition(0);
    f.SBPlay->click();
    EXPECT_EQ(f.StatusBar->panelText(0), "Playing...");
    f.MNormalSpeed->trigger();
    EXPECT_EQ(r.engine->speed, 1.0);
    EXPECT_FALSE(f.lblSpeed->isVisible());
    spin(200);
    EXPECT_EQ(r.engine->played.size(), 9u);
    EXPECT_EQ(r.running(), "00:00:04");
    EXPECT_TRUE(r.ini().contains("PlaySpeed=1.0\r\n"));
}

TEST(RecorderSpeed, SettingsAtStartPlayTheCommandLineFileAtThatSpeed) {
    QTemporaryDir files;
    const QString sc4 = files.path() + "/memo.sc4";
    {
        QByteArray sectors;
        for (int i = 0; i < 4; ++i) sectors += QByteArray("dmr1data") + QByteArray(504, char(i + 1));
        QFile out(sc4);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(sectors);
    }
    Recorder r("[Main]\r\nPlaySpeed=1.5\r\nPauseRewind=2\r\n", sc4);
    TVM0007Form& f = *r.form;
    spin(100);
    EXPECT_EQ(r.engine->speed, 1.5);
    EXPECT_EQ(f.PlaySpeedTenths(), 15);
    EXPECT_TRUE(f.lblSpeed->isVisible());
    EXPECT_EQ(f.lblSpeed->text(), "Speed 1.5x");
    ASSERT_FALSE(r.engine->played.empty()) << "the command-line file played";
    EXPECT_EQ(r.engine->played[0][8], 1);
    EXPECT_EQ(f.transport().pauseRewind(), 2);
    QAction* two = f.findChild<QAction*>("mnuPauseRewind2");
    ASSERT_NE(two, nullptr);
    EXPECT_TRUE(two->isChecked());

    f.findChild<QAction*>("mnuPauseRewind4")->trigger();
    EXPECT_EQ(f.transport().pauseRewind(), 4);
    EXPECT_FALSE(two->isChecked());
    EXPECT_TRUE(r.ini().contains("PauseRewind=4\r\n")) << r.ini().toStdString();
    EXPECT_TRUE(r.ini().contains("PlaySpeed=1.5\r\n"));
}

}  // namespace
