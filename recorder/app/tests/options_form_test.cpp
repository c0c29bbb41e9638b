// The recorder window's options headless: the voice-effect dialog and what
// reaches the engine when playback starts, the modified rule of the two file
// kinds, the global hot keys on a register that records them, the
// stay-on-top switch around them, and the volume, guide and about commands
// through a launcher that starts nothing.
// SPDX-License-Identifier: GPL-3.0-or-later
#include "../../options/tests/fakelauncher.hpp"
#include "fakes.hpp"

#include "maildlg.hpp"
#include "vm0007form.hpp"

#include "vek/platform/fakekeys.hpp"
#include "vek/recoptions/aboutbox.hpp"
#include "vek/recoptions/vopdlg.hpp"
#include "vek/recwidgets/hotkeys.hpp"
#include "vek/recwidgets/mousebar.hpp"
#include "vek/testsupport/qt.hpp"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>

#include <memory>

using namespace vekvmail;
using vek::testsupport::waitFor;
using vek::testsupport::writeBytes;

namespace {

constexpr unsigned kCtrlShift = vek::hotkeys::kModControl | vek::hotkeys::kModShift;
constexpr unsigned kF2 = 0x71, kF3 = 0x72, kF4 = 0x73, kF5 = 0x74, kF6 = 0x75, kF7 = 0x76, kF8 = 0x77;

QByteArray spSectors(int n) {
    QByteArray b;
    for (int s = 0; s < n; ++s) {
        b += QByteArray("dmr1data\xF4\x01", 10);
        b += QByteArray(500, char(s + 1));
        b += QByteArray(2, '\0');
    }
    return b;
}

// Runs `act` on the next modal window once it shows.
void onNextModal(std::function<void(QWidget*)> act) {
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        if (QWidget* w = QApplication::activeModalWidget()) {
            timer->stop();
            timer->deleteLater();
            act(w);
        }
    });
    timer->start(20);
}

// The window with all three dialogs, on a fake engine, a fake key register
// and a fake launcher, in a sandbox of its own.
struct Recorder {
    QTemporaryDir dir;
    vek::hotkeys::FakeGlobalKeys keys;
    FakeLauncher launcher;
    vek::transport::test::FakeEngine* engine = nullptr;
    std::unique_ptr<TVM0007Form> form;
    std::unique_ptr<TVOPDlg> voice;
    std::unique_ptr<TMailDlg> mail;
    std::unique_ptr<TAboutBox> about;

    // `sessionKeys`: the session's own register instead of the fake one.
    explicit Recorder(const std::function<void(vek::hotkeys::FakeGlobalKeys&)>& before = {}, bool sessionKeys = false) {
        qputenv("XDG_CONFIG_HOME", (dir.path() + "/config").toUtf8());
        qputenv("XDG_DATA_HOME", (dir.path() + "/data").toUtf8());
        QDir().mkpath(QFileInfo(iniPath()).path());
        EXPECT_TRUE(writeBytes(iniPath(), QByteArray("[Main]\r\n")));  // no first-run dialog
        QDir().mkpath(programDir());
        if (before) before(keys);
        vek::hotkeys::setSystemKeys(sessionKeys ? nullptr : &keys);
        setSystemLauncher(&launcher);
        TVM0007Form::Environment env;
        env.programDir = programDir();
        env.screenSize = [] { return QSize(1024, 768); };
        env.audioEngine = [this] {
            auto e = std::make_unique<vek::transport::test::FakeEngine>();
            engine = e.get();
            return std::unique_ptr<vek::crp2::AudioEngine>(std::move(e));
        };
        form = std::make_unique<TVM0007Form>(env);
        voice = std::make_unique<TVOPDlg>(form.get());
        mail = std::make_unique<TMailDlg>(form.get());
        about = std::make_unique<TAboutBox>(QIcon(), nullptr, form.get());
        form->setDialogs(voice.get(), mail.get(), about.get());
        bool shown = false;
        QObject::connect(form.get(), &TVM0007Form::shownOnce, [&shown] { shown = true; });
        form->show();
        EXPECT_TRUE(waitFor([&] { return shown; }));
    }
    ~Recorder() {
        if (form && form->isVisible()) {
            form->setModified(false);
            form->close();
        }
        destroy();
        vek::hotkeys::setSystemKeys(nullptr);
        setSystemLauncher(nullptr);
    }
    // The dialogs are the window's children: they go first.
    void destroy() {
        about.reset();
        mail.reset();
        voice.reset();
        form.reset();
    }
    QString programDir() const { return dir.path() + "/bin/"; }
    QString iniPath() const { return dir.path() + "/config/voice-lumo/VEKVMAIL.INI"; }
    // Opens `name` (an SP recording of `sectors` sectors) as a hand-over
    // does: it opens and starts playing.
    // An SC4 file is handed over as a second instance does; a self-playing
    // one (the SP stub's length of filler, the header, the sectors) comes
    // in as a drop, which is how such a file reaches a running window.
    void open(const QString& name, int sectors = 40) {
        const QString p = dir.path() + "/" + name;
        if (name.endsWith(".exe", Qt::CaseInsensitive)) {
            const QByteArray header("TARKAVF\0\x04\x1E\x00\x50", 12);
            ASSERT_TRUE(writeBytes(p, QByteArray(78848, 'G') + header + spSectors(sectors)));
            form->WMDropFiles({p});
        } else {
            ASSERT_TRUE(writeBytes(p, spSectors(sectors)));
            form->openHandedOverFile(p);
        }
        ASSERT_EQ(form->currentFileName(), p);
    }
    // Runs the Voice Effect command; `inDialog` works the dialog and answers it.
    void voiceEffect(const std::function<void(TVOPDlg&)>& inDialog) {
        onNextModal([this, inDialog](QWidget* w) {
            EXPECT_EQ(w, voice.get());
            inDialog(*voice);
        });
        form->SBVoice->click();
    }
    bool press(unsigned vk) {
        const bool held = keys.press(kCtrlShift, vk);
        QApplication::processEvents();
        return held;
    }
    int components() const { return int(form->findChildren<TAMHotKeys*>().size()); }
};

void pick(TVOPDlg& d, int effect, int position) {
    d.RGEffModeItems->button(effect)->click();
    d.SLEffLevel->setValue(position);
}

}  // namespace

TEST(RecorderOptions, TheEffectDialogAndTheEngineStayInStep) {
    Recorder r;
    TVM0007Form& f = *r.form;
    r.engine->autoRequest = false;
    r.open("talk.sc4");
    // The default effect: "OFF" at slider 80, handed on as level 127 - 80.
    EXPECT_EQ(f.transportState(), TransportState::Playing);
    EXPECT_EQ(r.engine->effectIndex, 0);
    EXPECT_EQ(r.engine->effectLevel, 47);
    f.StopClick();
    EXPECT_TRUE(f.SBVoice->isEnabled());

    // Cancel after moving both controls puts both back.
    r.voiceEffect([](TVOPDlg& d) {
        pick(d, 11, 20);
        d.CancelBtn->click();
    });
    EXPECT_EQ(r.voice->EffectMode(), 0);
    EXPECT_EQ(r.voice->LevelPosition(), 80);
    EXPECT_EQ(f.EffectIndex(), 0);
    EXPECT_EQ(f.EffectSliderPosition(), 80);
    // OK keeps them, and the next playback starts with them.
    r.voiceEffect([](TVOPDlg& d) {
        pick(d, 11, 20);
        d.OKBtn->click();
    });
    EXPECT_EQ(f.EffectIndex(), 11);
    EXPECT_EQ(f.EffectSliderPosition(), 20);
    EXPECT_FALSE(f.Modified()) << "an SC4 file does not carry the effect";
    f.PlayClick();
    EXPECT_EQ(r.engine->effectIndex, 11);
    EXPECT_EQ(r.engine->effectLevel, 107);
    f.StopClick();

    // The window's setEffect moves the dialog (what opening a file does).
    f.setEffect(3, 0);
    EXPECT_EQ(r.voice->EffectMode(), 3);
    EXPECT_EQ(r.voice->LevelPosition(), 0);
    f.PlayClick();
    EXPECT_EQ(r.engine->effectIndex, 3);
    EXPECT_EQ(r.engine->effectLevel, 127);
    f.StopClick();
    // Values of a damaged self-playing file: "OFF", and the slider at its end.
    f.setEffect(40, 200);
    EXPECT_EQ(f.EffectIndex(), 0);
    EXPECT_EQ(f.EffectSliderPosition(), 127);
    f.PlayClick();
    EXPECT_EQ(r.engine->effectLevel, 0);
    f.StopClick();
    f.setEffect(0, 80);
    EXPECT_EQ(r.voice->EffectMode(), 0);
    EXPECT_EQ(r.voice->LevelPosition(), 80);
}

TEST(RecorderOptions, AnEffectChangeModifiesOnlyASelfPlayingFile) {
    Recorder r;
    TVM0007Form& f = *r.form;
    r.engine->autoRequest = false;
    auto change = [&](int effect) {
        r.voiceEffect([effect](TVOPDlg& d) {
            pick(d, effect, 60);
            d.OKBtn->click();
        });
    };
    // A new recording: never modified by the effect.
    change(5);
    EXPECT_FALSE(f.Modified());

    r.open("Talk.sc4");
    f.StopClick();
    change(6);
    EXPECT_FALSE(f.Modified());

    // A self-playing file (the extension in any case) carries the effect.
    r.open("Talk.EXE");
    f.StopClick();
    ASSERT_FALSE(f.Modified());
    r.voiceEffect([](TVOPDlg& d) { d.OKBtn->click(); });
    EXPECT_FALSE(f.Modified()) << "OK without a change";
    r.voiceEffect([](TVOPDlg& d) {
        pick(d, 9, 10);
        d.CancelBtn->click();
    });
    EXPECT_FALSE(f.Modified()) << "a cancelled change";
    change(7);
    EXPECT_TRUE(f.Modified());
}

TEST(RecorderOptions, TheFourGlobalKeysDriveTheTransport) {
    // Another program holds Ctrl+Shift+F3: the other three still work.
    Recorder r([](vek::hotkeys::FakeGlobalKeys& k) { k.takeByOtherProgram(kCtrlShift, kF3); });
    TVM0007Form& f = *r.form;
    ASSERT_EQ(r.components(), 1);
    EXPECT_EQ(f.MHotKeys->SaveLoadFrom(), slIniFile);
    // The transport's four keys, then the three speed commands on F6..F8.
    ASSERT_EQ(f.MHotKeys->HotKeys()->Count(), 7);
    for (unsigned vk : {kF2, kF4, kF5, kF6, kF7, kF8})
        EXPECT_TRUE(r.keys.isRegistered(kCtrlShift, vk)) << vk;
    EXPECT_FALSE(f.MHotKeys->HotKeys()->Items(1)->Registered());
    for (int i = 0; i < 7; ++i) EXPECT_TRUE(f.MHotKeys->HotKeys()->Items(i)->Enabled());
    // The window never makes a second component; one made on purpose is refused.
    EXPECT_THROW(TAMHotKeys extra(&f), EHotKeysError);

    // Nothing to play yet: Play is disabled and its key does nothing.
    EXPECT_TRUE(r.press(kF2));
    EXPECT_EQ(f.transportState(), TransportState::Stopped);
    EXPECT_FALSE(r.engine->playing);

    r.engine->autoRequest = false;
    r.open("talk.sc4", 200);
    ASSERT_EQ(f.transportState(), TransportState::Playing);
    r.press(kF5);  // pause
    EXPECT_EQ(f.transportState(), TransportState::Stopped);
    const int paused = f.TrackBar->position();
    r.press(kF4);
    EXPECT_GT(f.TrackBar->position(), paused);
    EXPECT_FALSE(r.press(kF3)) << "a refused key is never heard";
    r.press(kF2);
    EXPECT_EQ(f.transportState(), TransportState::Playing);
    EXPECT_TRUE(r.engine->playing);
    r.press(kF5);
    r.press(kF5);  // stopped already: back to the start
    EXPECT_EQ(f.TrackBar->position(), 0);
    // The speed keys: faster twice, slower once, then normal again.
    r.press(kF7);
    r.press(kF7);
    r.press(kF6);
    EXPECT_EQ(f.PlaySpeedTenths(), 11);
    r.press(kF8);
    EXPECT_EQ(f.PlaySpeedTenths(), 10);

    // While recording Play is disabled: its key does nothing.
    f.SBRec->click();
    ASSERT_EQ(f.transportState(), TransportState::Recording);
    const int outCalls = r.engine->postWaveOutCalls;
    r.press(kF2);
    r.press(kF4);
    EXPECT_EQ(f.transportState(), TransportState::Recording);
    EXPECT_FALSE(r.engine->playing);
    EXPECT_EQ(r.engine->postWaveOutCalls, outCalls);
    r.press(kF5);  // Stop is enabled while recording
    r.engine->capture(0xA0);
    EXPECT_TRUE(waitFor([&] { return f.transportState() == TransportState::Stopped; }));
}

TEST(RecorderOptions, ASessionWithoutGlobalKeysRefusesThemQuietly) {
    // Offscreen, as on Wayland: every key is refused, the window works on.
    if (QGuiApplication::platformName() == "xcb") GTEST_SKIP() << "this session has global keys";
    Recorder r({}, true);
    TVM0007Form& f = *r.form;
    ASSERT_NE(f.MHotKeys, nullptr);
    ASSERT_EQ(f.MHotKeys->HotKeys()->Count(), 7);
    for (int i = 0; i < 7; ++i) {
        EXPECT_TRUE(f.MHotKeys->HotKeys()->Items(i)->Enabled());
        EXPECT_FALSE(f.MHotKeys->HotKeys()->Items(i)->Registered());
    }
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    f.MTopClick();
    EXPECT_TRUE(f.MTop->isChecked());
    EXPECT_EQ(r.components(), 1);
    f.MTopClick();
    EXPECT_FALSE(f.MTop->isChecked());
}

TEST(RecorderOptions, StayOnTopStopsPlaybackAndKeepsTheKeys) {
    Recorder r;
    TVM0007Form& f = *r.form;
    r.engine->autoRequest = false;
    r.open("talk.sc4", 200);
    ASSERT_EQ(f.transportState(), TransportState::Playing);
    TAMHotKeys* before = f.MHotKeys;
    r.keys.clearCalls();

    // The menu item inverts its own mark once.
    f.MTop->trigger();
    EXPECT_TRUE(f.MTop->isChecked());
    EXPECT_TRUE(f.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(f.isVisible());
    EXPECT_EQ(f.transportState(), TransportState::Stopped);
    EXPECT_FALSE(r.engine->playing);
    // The old keys are given back before the new ones are asked for, and
    // only one component is left on the window.
    const auto& calls = r.keys.calls();
    constexpr unsigned kKeys = 7;  // F2..F5 and the speed keys F6..F8
    ASSERT_EQ(calls.size(), 2 * kKeys);
    for (unsigned i = 0; i < kKeys; ++i) {
        EXPECT_FALSE(calls[i].isRegister);
        EXPECT_TRUE(calls[kKeys + i].isRegister);
        EXPECT_EQ(calls[kKeys + i].virtualKey, kF2 + i);
        EXPECT_TRUE(calls[kKeys + i].result);
    }
    EXPECT_EQ(r.components(), 1);
    EXPECT_NE(f.MHotKeys, before);
    EXPECT_EQ(r.keys.registrations().size(), kKeys);
    r.press(kF2);
    EXPECT_EQ(f.transportState(), TransportState::Playing);

    // The handler called directly inverts the mark itself.
    f.MTopClick();
    EXPECT_FALSE(f.MTop->isChecked());
    EXPECT_FALSE(f.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(f.transportState(), TransportState::Stopped);
    EXPECT_EQ(r.components(), 1);
    r.press(kF2);
    EXPECT_EQ(f.transportState(), TransportState::Playing);
    f.StopClick();

    // The mark is the setting written at close.
    f.MTop->trigger();
    f.close();
    QFile ini(r.iniPath());
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    EXPECT_TRUE(ini.readAll().contains("StayOnTop=1")) << "the switch was not stored";
    // The window gave its keys back when it went.
    r.destroy();
    EXPECT_TRUE(r.keys.registrations().empty());
}

TEST(RecorderOptions, VolumeGuidesAndAboutGoThroughTheLauncher) {
    Recorder r;
    TVM0007Form& f = *r.form;
    // No mixer installed: nothing is started and nothing is said.
    f.SBVol->click();
    EXPECT_TRUE(r.launcher.started.empty());
    r.launcher.installed = {"pavucontrol"};
    f.V1->trigger();
    ASSERT_EQ(r.launcher.started.size(), 1u);
    EXPECT_EQ(r.launcher.started[0].program, "/usr/bin/pavucontrol");

    // A missing guide opens nothing; present ones open in the browser with
    // the hourglass meanwhile.
    f.mnuUserGuideE->trigger();
    EXPECT_TRUE(r.launcher.opened.empty());
    QDir().mkpath(r.programDir() + "help");
    for (const char* page : {"voice_lumo_02_e.html", "voice_lumo_02.html"})
        ASSERT_TRUE(writeBytes(r.programDir() + "help/" + page, QByteArray("<html></html>")));
    f.mnuUserGuideE->trigger();
    f.mnuUserGuideK->trigger();
    ASSERT_EQ(r.launcher.opened.size(), 2u);
    EXPECT_EQ(r.launcher.opened[0], QUrl::fromLocalFile(r.programDir() + "help/voice_lumo_02_e.html"));
    EXPECT_EQ(r.launcher.opened[1], QUrl::fromLocalFile(r.programDir() + "help/voice_lumo_02.html"));
    EXPECT_EQ(r.launcher.cursorsWhileOpening[0], Qt::WaitCursor);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    // The about box, modal; its links go to the same launcher.
    bool seen = false;
    onNextModal([&](QWidget* w) {
        seen = w == r.about.get() && w->windowTitle() == "About voice lumo player";
        r.about->linkClick(r.about->link7());
        r.about->OKButton->click();
    });
    f.A1->trigger();
    EXPECT_TRUE(seen);
    ASSERT_EQ(r.launcher.opened.size(), 3u);
    EXPECT_EQ(r.launcher.opened[2], r.about->link7());
}
