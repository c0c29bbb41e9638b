// The recorder's global hot keys with the real program on a virtual X
// display under a window manager, with sound through a private PulseAudio
// server: while another X client has the keyboard focus, Ctrl+Shift+F2
// starts playback only when Play is enabled and does nothing while
// recording, Ctrl+Shift+F5 pauses; after the stay-on-top switch has been
// toggled (which makes the window anew) the keys still work. The transport
// state is read from the application title in the window registry. Keys are
// pressed with XTest by xdotool. Skipped where a tool is missing.
// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "x11_session.hpp"

#include "vek/platform/winreg.hpp"
#include "vek/testsupport/fixtures.hpp"
#include "vek/testsupport/qt.hpp"
#include "vek/testsupport/qtsession.hpp"
#include "vek/testsupport/servers.hpp"
#include "vek/testsupport/signals.hpp"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <cmath>

namespace {

using vek::winreg::findWindow;

const QString kIdle = "voice lumo player", kPlaying = "Playing: voice lumo player",
              kRecording = "Recording: voice lumo player";

// The shared X11 session with a sound server added, and a tone source as
// the default input.
class Desktop {
public:
    explicit Desktop(const QString& home) : m_session(home) {
        if (!m_session.ok() || !m_sound.start()) return;
        m_session.setEnv("PULSE_SERVER", QString::fromStdString(m_sound.server()));
        run("pactl", {"load-module", "module-sine-source", "source_name=sine700", "rate=48000", "frequency=700"});
        run("pactl", {"set-default-source", "sine700"});
        // The recorder's window registry, where its application title is read.
        vek::winreg::WindowRegistry::setDirectory(home + "/run/voice-lumo-windows");
        m_ok = true;
    }
    ~Desktop() { vek::winreg::WindowRegistry::setDirectory(QString()); }
    bool ok() const { return m_ok; }
    std::string why() const { return m_session.error() + " " + m_sound.error(); }
    const QProcessEnvironment& env() const { return m_session.env(); }

    QString run(const QString& tool, const QStringList& args) const { return m_session.run(tool, args).trimmed(); }
    QString window(const QString& nameRegex, int ms = 20000) const { return m_session.window(nameRegex, ms); }
    // A picture of the screen into $VEK_SCREENSHOT_DIR, when that is set.
    void screenshot(const QString& name) const {
        if (const QByteArray dir = qgetenv("VEK_SCREENSHOT_DIR"); !dir.isEmpty())
            m_session.screenshot(QString::fromLocal8Bit(dir) + "/" + name + ".png");
    }
    void activate(const QString& w) const { run("xdotool", {"windowactivate", "--sync", w}); }
    QString focused() const { return run("xdotool", {"getwindowfocus"}); }
    // A key pressed on the keyboard (XTest), whichever window has the focus.
    void key(const QString& k) const {
        run("xdotool", {"key", k});
        QThread::msleep(150);
    }

private:
    vekvmail_x11::X11Session m_session;
    vek::testsupport::SoundServer m_sound;
    bool m_ok = false;
};

// The recorder's application title, as its registry entry carries it.
QString stateOf() {
    for (const QString& t : {kIdle, kPlaying, kRecording})
        if (findWindow("TApplication", t)) return t;
    return {};
}

bool becomes(const QString& title, int ms = 8000) {
    return vek::testsupport::waitFor([&] { return stateOf() == title; }, ms);
}

// The title does not leave `title` for `ms`.
bool stays(const QString& title, int ms = 1500) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        if (stateOf() != title) return false;
        QThread::msleep(50);
    }
    return true;
}

}  // namespace

TEST(RecorderOptionsOnX11, GlobalKeysWhileAnotherWindowHasTheFocus) {
    for (const char* t : {"Xvfb", "openbox", "xdotool", "xprop", "xmessage", "pulseaudio", "pactl"})
        if (QStandardPaths::findExecutable(t).isEmpty()) GTEST_SKIP() << t << " is not installed";
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    Desktop d(home.path());
    if (!d.ok()) GTEST_SKIP() << "no display, window manager or sound server: " << d.why();

    // Settings (no first-run question) and a minute of HQ speech-band tone.
    QDir().mkpath(home.path() + "/config/voice-lumo");
    ASSERT_TRUE(vek::testsupport::writeBytes(home.path() + "/config/voice-lumo/VEKVMAIL.INI",
                                             QByteArray("[Main]\r\nMailProg=3\r\n")));
    vek::testsupport::Samples tone(8000 * 60);
    for (std::size_t i = 0; i < tone.size(); ++i)
        tone[i] = static_cast<std::int16_t>(6000 * std::sin(2 * M_PI * 440.0 * double(i) / 8000.0));
    const QString talk = home.path() + "/talk.sc4";
    ASSERT_TRUE(vek::testsupport::writeBytes(talk, vek::testsupport::adpcmSc4FromPcm(tone, false)));

    // The other client, with the focus for the rest of the test.
    QProcess other;
    other.setProcessEnvironment(d.env());
    other.start("xmessage", {"-name", "other", "-title", "other client", "the other window"});
    const QString otherWin = d.window("^other client$");
    ASSERT_FALSE(otherWin.isEmpty());

    // Started with the file, the recorder opens it and plays.
    QProcess app;
    app.setProcessEnvironment(d.env());
    app.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    app.start(VEKVMAIL_EXE, {talk});
    ASSERT_TRUE(app.waitForStarted(5000));
    const QString main = d.window("^voice lumo player \\[talk.sc4\\]$");
    ASSERT_FALSE(main.isEmpty());
    ASSERT_TRUE(becomes(kPlaying)) << "the command-line file did not play: " << stateOf().toStdString();

    d.activate(otherWin);
    ASSERT_EQ(d.focused(), otherWin);
    d.key("ctrl+shift+F5");  // pause
    EXPECT_TRUE(becomes(kIdle));
    d.key("ctrl+shift+F2");
    EXPECT_TRUE(becomes(kPlaying));
    d.key("ctrl+shift+F5");
    EXPECT_TRUE(becomes(kIdle));
    EXPECT_EQ(d.focused(), otherWin) << "a hot key took the focus";

    // Stay on top (Ctrl+T in the window) while playing: playback stops, the
    // window comes back above the others, and the keys still work.
    d.activate(main);
    d.key("F2");
    ASSERT_TRUE(becomes(kPlaying));
    d.key("ctrl+t");
    EXPECT_TRUE(becomes(kIdle)) << "the switch did not stop playback";
    const QString mainAgain = d.window("^voice lumo player \\[talk.sc4\\]$", 5000);
    ASSERT_FALSE(mainAgain.isEmpty()) << "the window did not come back";
    EXPECT_TRUE(d.run("xprop", {"-id", mainAgain, "_NET_WM_STATE"}).contains("_NET_WM_STATE_ABOVE"));
    d.activate(otherWin);
    ASSERT_EQ(d.focused(), otherWin);
    d.key("ctrl+shift+F2");
    EXPECT_TRUE(becomes(kPlaying)) << "the keys were lost with the old window";
    d.key("ctrl+shift+F5");
    EXPECT_TRUE(becomes(kIdle));

    // Recording (F7 in the window, HQ like the file): Play is disabled, so
    // its key does nothing; Pause/Stop ends the recording.
    d.activate(mainAgain);
    d.key("F7");
    if (!becomes(kRecording)) d.screenshot("options_x11_record");
    ASSERT_EQ(stateOf(), kRecording) << "no recording started: " << stateOf().toStdString();
    d.activate(otherWin);
    d.key("ctrl+shift+F2");
    EXPECT_TRUE(stays(kRecording)) << "Ctrl+Shift+F2 interrupted the recording";
    d.key("ctrl+shift+F5");
    EXPECT_TRUE(becomes(kIdle));
    d.key("ctrl+shift+F2");
    EXPECT_TRUE(becomes(kPlaying));

    d.screenshot("options_x11");

    d.key("ctrl+shift+F5");
    app.terminate();
    if (!app.waitForFinished(10000)) {
        app.kill();
        app.waitForFinished(3000);
    }
    other.kill();
    other.waitForFinished(3000);
}
