// A recording's whole way as a person takes it: the real recorder on a
// virtual X display under a window manager, recording a 700 Hz tone from a
// private PulseAudio server in SP with the keyboard, a voice effect chosen
// in its dialog, File > Save As through the program's file dialog with the
// self-playing filter and a typed name; the file opened again (File > New,
// then File > Open with the name typed) gives back the same working file and
// the same effect; and the self-playing file under Wine plays the tone on a
// null sink. Skipped where Xvfb, openbox, xdotool, PulseAudio or Wine is
// missing.
// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "vek/platform/winreg.hpp"
#include "vek/player/wav.hpp"
#include "vek/testsupport/qt.hpp"
#include "x11_session.hpp"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <sys/wait.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

namespace {

using vek::testsupport::waitFor;
using vekvmail_x11::X11Session;

constexpr double kToneHz = 700;
// SP: one bit a sample at 8000 Hz (16:1), 500 data bytes in each 512-byte
// sector, so a second takes 1024 bytes.
constexpr qint64 kSpBytesPerSecond = 1024;
// The SP player stub's size; the 12-byte header follows it.
constexpr int kSpStub = 78848;
// The effect the dialog is set to below: the sixth item ("Echo", number 5),
// and the level slider three steps up from its default 80.
constexpr int kEffect = 5, kLevel = 77;

QByteArray readAll(const QString& p) {
    QFile f(p);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString appState() {
    for (const char* t : {"Recording: voice lumo player", "Playing: voice lumo player", "voice lumo player"})
        if (vek::winreg::findWindow("TApplication", QString::fromLatin1(t))) return QString::fromLatin1(t);
    return {};
}

bool becomes(const char* title, int ms = 10000) {
    return waitFor([&] { return appState() == QLatin1String(title); }, ms);
}

int shell(const QString& cmd) {
    const int st = std::system(cmd.toLocal8Bit().constData());
    return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
}

// The strongest frequency (5 Hz steps, 100..3900 Hz) of the loudest second
// of `s`, and the share of that second's energy within 20 Hz of it.
std::pair<double, double> dominantTone(const std::vector<std::int16_t>& s, unsigned rate) {
    const std::size_t n = rate;
    if (s.size() < n) return {0, 0};
    std::size_t best = 0;
    double bestEnergy = -1;
    for (std::size_t from = 0; from + n <= s.size(); from += n / 4) {
        double e = 0;
        for (std::size_t i = from; i < from + n; ++i) e += double(s[i]) * s[i];
        if (e > bestEnergy) bestEnergy = e, best = from;
    }
    if (bestEnergy <= 0) return {0, 0};
    // |DFT|^2 at f over n samples; Parseval: the bins of one second are 1 Hz
    // apart, each holding 2|X(f)|^2 / n of the energy (both signs of f).
    auto power = [&](double f) {
        double re = 0, im = 0;
        for (std::size_t i = 0; i < n; ++i) {
            const double a = 2 * M_PI * f * double(i) / rate;
            re += s[best + i] * std::cos(a);
            im += s[best + i] * std::sin(a);
        }
        return (re * re + im * im) * 2 / double(n);
    };
    double peak = 0, peakPower = -1;
    for (double f = 100; f < 3900; f += 5)
        if (const double p = power(f); p > peakPower) peakPower = p, peak = f;
    double near = 0;
    for (double f = peak - 20; f <= peak + 20; f += 1) near += power(f);
    return {peak, near / bestEnergy};
}

}  // namespace

TEST(RecorderRoundTrip, RecordChooseEffectSaveAsPlayerPlayUnderWineAndOpenAgain) {
    QString missing;
    if (!vekvmail_x11::haveTools({"Xvfb", "openbox", "xdotool", "xwininfo", "pulseaudio", "pactl", "bash"}, missing))
        GTEST_SKIP() << missing.toStdString() << " is not installed";
    const QString stubs = QFileInfo(QString::fromUtf8(VEKVMAIL_EXE)).path();
    if (!QFileInfo::exists(stubs + "/vekgplay.exe")) GTEST_SKIP() << "the SP player stub was not built";
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    X11Session x(home.path());
    if (!x.ok()) GTEST_SKIP() << "no virtual display or window manager could be started";
    vek::testsupport::SoundServer sound;
    if (!sound.start()) GTEST_SKIP() << "no sound server: " << sound.error();
    x.setEnv("PULSE_SERVER", QString::fromStdString(sound.server()));
    // Something to record: a tone source as the default input.
    x.run("pactl", {"load-module", "module-sine-source", "source_name=tone", "rate=48000",
                    "frequency=" + QString::number(kToneHz)});
    x.run("pactl", {"set-default-source", "tone"});
    // The recorder's window registry, where its application title is read.
    vek::winreg::WindowRegistry::setDirectory(home.path() + "/run/voice-lumo-windows");
    struct ResetRegistry {
        ~ResetRegistry() { vek::winreg::WindowRegistry::setDirectory(QString()); }
    } resetRegistry;

    QDir().mkpath(home.path() + "/config/voice-lumo");
    ASSERT_TRUE(vek::testsupport::writeBytes(home.path() + "/config/voice-lumo/VEKVMAIL.INI",
                                             QByteArray("[Main]\r\nMailProg=3\r\nMailRun=0\r\n")));
    const QString files = home.path() + "/files/", work = home.path() + "/data/voice-lumo/DATA/vdata1.tmp",
                  tail = home.path() + "/data/voice-lumo/DATA/rec1.tmp";
    ASSERT_TRUE(QDir().mkpath(files));
    const QString shots = QCoreApplication::applicationDirPath() + "/../Testing/";

    QProcess app;
    app.setProcessEnvironment(x.env());
    app.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    app.start(VEKVMAIL_EXE, {});
    ASSERT_TRUE(app.waitForStarted(5000));
    struct EndApp {
        QProcess& p;
        ~EndApp() {
            if (p.state() == QProcess::NotRunning) return;
            p.kill();
            p.waitForFinished(3000);
        }
    } endApp{app};
    const QString main = x.window("^voice lumo player \\[New\\]$", 20000);
    ASSERT_FALSE(main.isEmpty());

    // 1. Three seconds in SP: F6 records, F5 stops. The recording grows in
    // the working file or its tail file, whichever the engine writes.
    x.keys(main, {"F6"});
    ASSERT_TRUE(becomes("Recording: voice lumo player")) << "F6 started no recording: " << appState().toStdString();
    EXPECT_TRUE(waitFor(
        [&] { return std::max(QFileInfo(work).size(), QFileInfo(tail).size()) >= 3 * kSpBytesPerSecond; }, 20000))
        << "the recording did not grow";
    x.keys(main, {"F5"});
    ASSERT_TRUE(becomes("voice lumo player")) << "F5 did not stop the recording";
    ASSERT_TRUE(waitFor([&] { return !QFileInfo::exists(tail) || QFileInfo(tail).size() == 0; }, 5000));
    const QByteArray recorded = readAll(work);
    ASSERT_GE(recorded.size(), 3 * kSpBytesPerSecond);
    ASSERT_EQ(recorded.size() % 512, 0) << "not whole SP sectors";

    // 2. The voice effect: Down moves the dialog's choice from "OFF" five
    // items on, Tab goes to the level slider, Up moves it towards "High".
    x.keys(main, {"ctrl+e"});
    const QString fx = x.window("^Voice Effect$");
    ASSERT_FALSE(fx.isEmpty()) << "Ctrl+E showed no Voice Effect dialog";
    x.keys(fx, {"Down", "Down", "Down", "Down", "Down", "Tab", "Up", "Up", "Up"});
    x.screenshot(shots + "vekvmail-roundtrip-effect.png");
    x.keys(fx, {"Return"});
    ASSERT_TRUE(x.gone("^Voice Effect$"));

    // 3. Save As with the second filter and a typed name without extension.
    auto saveAsPlayer = [&](const QString& name) {
        x.keys(main, {"alt+f", "a"});
        const QString dlg = x.window("^Save As$");
        ASSERT_FALSE(dlg.isEmpty()) << "File > Save As showed no dialog";
        x.keys(dlg, {"Tab", "Down", "shift+Tab", "ctrl+a"});
        x.type(dlg, files + name);
        x.keys(dlg, {"Return"});
        ASSERT_TRUE(x.gone("^Save As$"));
        ASSERT_FALSE(x.window("^voice lumo player \\[" + name + "\\.exe\\]$").isEmpty())
            << "not saved as " << name.toStdString() << ".exe";
    };
    saveAsPlayer("roundtrip");
    if (HasFatalFailure()) return;
    const QByteArray exe = readAll(files + "roundtrip.exe");
    ASSERT_EQ(exe.size(), kSpStub + 12 + recorded.size());
    EXPECT_EQ(exe.left(kSpStub), readAll(stubs + "/vekgplay.exe"));
    EXPECT_EQ(exe.mid(kSpStub, 12), QByteArray("TARKAVF\0\x04\x1E", 10) + char(kEffect) + char(kLevel))
        << "the header does not carry SP and the chosen effect";
    EXPECT_TRUE(exe.mid(kSpStub + 12) == recorded) << "the file does not carry the recording";

    // 5. File > New forgets recording and effect; File > Open brings both back.
    x.keys(main, {"alt+f", "n"});
    ASSERT_FALSE(x.window("^voice lumo player \\[New\\]$").isEmpty());
    EXPECT_TRUE(readAll(work).isEmpty());
    x.keys(main, {"ctrl+o"});
    const QString open = x.window("^Open$");
    ASSERT_FALSE(open.isEmpty()) << "Ctrl+O showed no Open dialog";
    x.keys(open, {"ctrl+a"});
    x.type(open, files + "roundtrip.exe");
    x.keys(open, {"Return"});
    ASSERT_FALSE(x.window("^voice lumo player \\[roundtrip\\.exe\\]$").isEmpty()) << "the file was not opened";
    EXPECT_TRUE(readAll(work) == recorded) << "the working file is not what was recorded";
    // The dialog shows the effect (a picture to look at); Escape leaves it
    // as it is, and a second self-playing file made from what it holds is
    // the first one byte for byte.
    x.keys(main, {"ctrl+e"});
    const QString fxAgain = x.window("^Voice Effect$");
    ASSERT_FALSE(fxAgain.isEmpty());
    x.screenshot(shots + "vekvmail-roundtrip-reopened.png");
    x.keys(fxAgain, {"Escape"});
    ASSERT_TRUE(x.gone("^Voice Effect$"));
    saveAsPlayer("again");
    if (HasFatalFailure()) return;
    EXPECT_TRUE(readAll(files + "again.exe") == exe) << "the effect or the recording did not come back";
    x.keys(main, {"alt+f", "x"});
    EXPECT_TRUE(app.waitForFinished(10000)) << "File > Exit did not close the program";

    // The file as vekconv renders it (decoder and effect offline) holds the tone.
    const QString wav = files + "render.wav";
    ASSERT_EQ(
        shell(
            QStringLiteral("'%1' render '%2' '%3'").arg(QString::fromUtf8(VEKCONV_PATH), files + "roundtrip.exe", wav)),
        0);
    const QByteArray wavBytes = readAll(wav);
    std::string why;
    const auto rendered = vek::player::parseWavMono16(std::vector<std::uint8_t>(wavBytes.begin(), wavBytes.end()), why);
    ASSERT_TRUE(rendered) << why;
    EXPECT_NEAR(dominantTone(rendered->samples, rendered->sampleRate).first, kToneHz, 10);

    // 4. The self-playing file under Wine on a null sink of its own; what
    // the sink heard is the tone (the echo keeps its pitch).
    const QString rec = files + "sink.raw", log = files + "wine.log";
    const int rc = shell(QStringLiteral("VEK_WINE_PREFIX='%1' '%2' '%3' 6 8000 '%4' '%5' 2>'%6'")
                             .arg(QString::fromUtf8(VEK_WINE_PREFIX), QString::fromUtf8(VEK_WINE_SCRIPT),
                                  files + "roundtrip.exe", rec, files + "titles.txt", log));
    if (rc == 77) GTEST_SKIP() << "Wine, Xvfb or PulseAudio missing for the player";
    ASSERT_EQ(rc, 0) << readAll(log).right(3000).toStdString();
    const QByteArray raw = readAll(rec);
    std::vector<std::int16_t> heard(static_cast<std::size_t>(raw.size() / 2));
    std::memcpy(heard.data(), raw.constData(), heard.size() * 2);
    const auto [hz, share] = dominantTone(heard, 8000);
    std::printf("sink: %.0f Hz carries %.0f%% of the loudest second\n", hz, share * 100);
    EXPECT_NEAR(hz, kToneHz, 10);
    EXPECT_GT(share, 0.5);
}
