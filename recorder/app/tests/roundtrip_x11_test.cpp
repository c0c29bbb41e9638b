// A recording's whole way as a person takes it: the real recorder on a
// virtual X display under a window manager, recording a 700 Hz tone from a
// private PulseAudio server in SP with the keyboard and in HQ and SHQ with
// the mouse, a voice effect chosen in its dialog, File > Save As through the
// program's file dialog with the self-playing filter and a typed name; the file opened again (File > New,
// then File > Open with the name typed) gives back the same working file and
// the same effect; and the self-playing files under Wine play the tone on a
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
#include <functional>
#include <utility>
#include <vector>

namespace {

using vek::testsupport::waitFor;
using vekvmail_x11::X11Session;

constexpr double kToneHz = 700;
// SP: one bit a sample at 8000 Hz (16:1), 500 data bytes in each 512-byte
// sector, so a second takes 1024 bytes.
constexpr qint64 kSpBytesPerSecond = 1024;
// The sizes of the SP and the HQ player stub; the 12-byte header follows.
constexpr int kSpStub = 78848, kHqStub = 51200;

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
    if (!QFileInfo::exists(stubs + "/vekgplay.exe") || !QFileInfo::exists(stubs + "/vekaplay.exe"))
        GTEST_SKIP() << "the player stubs were not built";
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    // A failed run leaves its files (recordings, self-playing files, logs) for a look.
    struct KeepOnFailure {
        QTemporaryDir& dir;
        ~KeepOnFailure() {
            if (!::testing::Test::HasFailure()) return;
            dir.setAutoRemove(false);
            std::printf("files kept in %s\n", qPrintable(dir.path()));
        }
    } keepOnFailure{home};
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

    // One pass per mode; `start` and `stop` are what a person does.
    struct Pass {
        const char* name;
        std::function<void()> start, stop;
        char code;         // the mode byte of the header
        const char* stub;  // the player stub the file starts with
        int stubBytes;
        qint64 bytesPerSecond;
        QStringList effectKeys;  // in the Voice Effect dialog, from "OFF" at 80
        int effect, level;       // what they choose
    };
    // The buttons of the transport row, in the window's own coordinates:
    // Pause/Stop, then the three record buttons (SP, HQ, SHQ).
    auto click = [&](int bx, int by) {
        x.run("xdotool", {"mousemove", "--window", main, QString::number(bx), QString::number(by), "click", "1"});
    };
    const Pass passes[] = {
        // F6 records in SP and F5 stops; "Echo" (the sixth item), the level
        // three steps towards "High".
        {"sp",
         [&] { x.keys(main, {"F6"}); },
         [&] { x.keys(main, {"F5"}); },
         4,
         "vekgplay.exe",
         kSpStub,
         kSpBytesPerSecond,
         {"Down", "Down", "Down", "Down", "Down", "Tab", "Up", "Up", "Up"},
         5,
         77},
        // HQ with the mouse on the record button and on Pause/Stop: four
        // bits a sample at 8000 Hz; "Reverb Room", two steps towards "Low".
        {"hq",
         [&] { click(187, 77); },
         [&] { click(130, 77); },
         5,
         "vekaplay.exe",
         kHqStub,
         4000,
         {"Down", "Tab", "Down", "Down"},
         1,
         82},
        // SHQ with the mouse too: four bits a sample at 11025 Hz, in the
        // same container and stub as HQ; "Reverb Hall", one step towards
        // "High".
        {"shq",
         [&] { click(212, 77); },
         [&] { click(130, 77); },
         6,
         "vekaplay.exe",
         kHqStub,
         5512,
         {"Down", "Down", "Down", "Tab", "Up"},
         3,
         79},
    };

    auto saveAsPlayer = [&](const QString& name) {
        x.keys(main, {"alt+f", "a"});
        const QString dlg = x.window("^Save As$");
        ASSERT_FALSE(dlg.isEmpty()) << "File > Save As showed no dialog";
        // The second filter ("Voice File+Player (*.exe)"), then the name
        // typed without extension.
        x.keys(dlg, {"Tab", "Down", "shift+Tab", "ctrl+a"});
        x.type(dlg, files + name);
        x.keys(dlg, {"Return"});
        ASSERT_TRUE(x.gone("^Save As$"));
        ASSERT_FALSE(x.window("^voice lumo player \\[" + name + "\\.exe\\]$").isEmpty())
            << "not saved as " << name.toStdString() << ".exe";
    };

    for (const Pass& m : passes) {
        SCOPED_TRACE(m.name);
        const QString name = QString::fromLatin1(m.name);
        // 1. A few seconds of the tone. The recording grows in the working
        // file or its tail file, whichever the engine writes.
        m.start();
        ASSERT_TRUE(becomes("Recording: voice lumo player")) << "no recording started: " << appState().toStdString();
        EXPECT_TRUE(waitFor(
            [&] { return std::max(QFileInfo(work).size(), QFileInfo(tail).size()) >= 3 * m.bytesPerSecond; }, 20000))
            << "the recording did not grow";
        m.stop();
        ASSERT_TRUE(becomes("voice lumo player")) << "the recording did not stop";
        ASSERT_TRUE(waitFor([&] { return !QFileInfo::exists(tail) || QFileInfo(tail).size() == 0; }, 5000));
        const QByteArray recorded = readAll(work);
        ASSERT_GE(recorded.size(), 3 * m.bytesPerSecond);

        // 2. The voice effect, chosen with the keyboard.
        x.keys(main, {"ctrl+e"});
        const QString fx = x.window("^Voice Effect$");
        ASSERT_FALSE(fx.isEmpty()) << "Ctrl+E showed no Voice Effect dialog";
        x.keys(fx, m.effectKeys);
        x.screenshot(shots + "vekvmail-roundtrip-" + name + "-effect.png");
        x.keys(fx, {"Return"});
        ASSERT_TRUE(x.gone("^Voice Effect$"));

        // 3. Save As a self-playing file: the stub, the header with the mode
        // and the effect, the recording.
        saveAsPlayer(name);
        if (HasFatalFailure()) return;
        const QByteArray exe = readAll(files + name + ".exe");
        // HQ frames travel through the SC4 container, whose last sector is
        // filled up with zero frames: those come along, whole 29-byte frames,
        // fewer than a sector's 17 slots.
        const QByteArray carried = exe.mid(m.stubBytes + 12);
        const qsizetype pad = carried.size() - recorded.size();
        if (m.code == 4) {
            EXPECT_EQ(pad, 0);
        } else {
            EXPECT_TRUE(pad >= 0 && pad % 29 == 0 && pad < 18 * 29) << pad << " bytes of padding";
            EXPECT_EQ(carried.mid(recorded.size()), QByteArray(std::max<qsizetype>(pad, 0), '\0'));
        }
        EXPECT_TRUE(exe.left(m.stubBytes) == readAll(stubs + "/" + m.stub));
        EXPECT_EQ(exe.mid(m.stubBytes, 12),
                  QByteArray("TARKAVF\0", 8) + m.code + char(30) + char(m.effect) + char(m.level))
            << "the header does not carry the mode and the chosen effect";
        EXPECT_TRUE(carried.left(recorded.size()) == recorded) << "the file does not carry the recording";

        // 5. File > New forgets recording and effect; File > Open with the
        // name typed brings both back.
        x.keys(main, {"alt+f", "n"});
        ASSERT_FALSE(x.window("^voice lumo player \\[New\\]$").isEmpty());
        EXPECT_TRUE(readAll(work).isEmpty());
        x.keys(main, {"ctrl+o"});
        const QString open = x.window("^Open$");
        ASSERT_FALSE(open.isEmpty()) << "Ctrl+O showed no Open dialog";
        x.keys(open, {"ctrl+a"});
        x.type(open, files + name + ".exe");
        x.keys(open, {"Return"});
        ASSERT_FALSE(x.window("^voice lumo player \\[" + name + "\\.exe\\]$").isEmpty()) << "the file was not opened";
        EXPECT_TRUE(readAll(work) == carried) << "the working file is not what was recorded";
        // The dialog shows the effect (a picture to look at); Escape leaves
        // it as it is, and a second self-playing file made from what the
        // program holds is the first one byte for byte.
        x.keys(main, {"ctrl+e"});
        const QString fxAgain = x.window("^Voice Effect$");
        ASSERT_FALSE(fxAgain.isEmpty());
        x.screenshot(shots + "vekvmail-roundtrip-" + name + "-reopened.png");
        x.keys(fxAgain, {"Escape"});
        ASSERT_TRUE(x.gone("^Voice Effect$"));
        saveAsPlayer(name + "-again");
        if (HasFatalFailure()) return;
        EXPECT_TRUE(readAll(files + name + "-again.exe") == exe) << "the effect or the recording did not come back";

        // The file as vekconv renders it (decoder and effect offline) holds
        // the tone; neither effect moves its pitch.
        const QString wav = files + name + ".wav";
        ASSERT_EQ(shell(QStringLiteral("'%1' render '%2' '%3'")
                            .arg(QString::fromUtf8(VEKCONV_PATH), files + name + ".exe", wav)),
                  0);
        const QByteArray wavBytes = readAll(wav);
        std::string why;
        const auto rendered =
            vek::player::parseWavMono16(std::vector<std::uint8_t>(wavBytes.begin(), wavBytes.end()), why);
        ASSERT_TRUE(rendered) << why;
        EXPECT_NEAR(dominantTone(rendered->samples, rendered->sampleRate).first, kToneHz, 10);

        // The next pass starts from nothing.
        x.keys(main, {"alt+f", "n"});
        ASSERT_FALSE(x.window("^voice lumo player \\[New\\]$").isEmpty());
    }
    x.keys(main, {"alt+f", "x"});
    EXPECT_TRUE(app.waitForFinished(10000)) << "File > Exit did not close the program";

    // 4. The self-playing files under Wine, each on a null sink of its own:
    // what the sink heard is the tone.
    for (const Pass& m : passes) {
        SCOPED_TRACE(m.name);
        const QString name = QString::fromLatin1(m.name);
        const QString rec = files + name + ".raw", log = files + name + "-wine.log";
        const int rc = shell(QStringLiteral("VEK_WINE_PREFIX='%1' '%2' '%3' 4 8000 '%4' '%5' 2>'%6'")
                                 .arg(QString::fromUtf8(VEK_WINE_PREFIX), QString::fromUtf8(VEK_WINE_SCRIPT),
                                      files + name + ".exe", rec, files + name + "-titles.txt", log));
        if (rc == 77) GTEST_SKIP() << "Wine, Xvfb or PulseAudio missing for the player";
        ASSERT_EQ(rc, 0) << readAll(log).right(3000).toStdString();
        const QByteArray raw = readAll(rec);
        std::vector<std::int16_t> heard(static_cast<std::size_t>(raw.size() / 2));
        std::memcpy(heard.data(), raw.constData(), heard.size() * 2);
        const auto [hz, share] = dominantTone(heard, 8000);
        std::printf("%s under Wine: the sink's strongest tone %.0f Hz holds %.0f%% of its loudest second\n", m.name, hz,
                    share * 100);
        EXPECT_NEAR(hz, kToneHz, 10);
        EXPECT_GT(share, 0.5);
    }
}
