// The engine and the transport on a real sound server: a private PulseAudio
// daemon with a null sink and a sine source. Recordings in each mode must
// decode to the source's tone; playback must reach the sink's monitor as the
// command-line renderer says it sounds, with and without an effect; an insert
// into a real file keeps its head and tail; devices that go away end what
// runs on them.
// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "vek/codec/bytestream.hpp"
#include "vek/codec/sc4.hpp"
#include "vek/crp2/blockcoder.hpp"
#include "vek/crp2/qtengine.hpp"
#include "vek/crp2/qtmessages.hpp"
#include "vek/transport/transport.hpp"

#include "quietview.hpp"

namespace vek::crp2 {
namespace {

using transport::Group;
using transport::Icon;
using transport::Pair;
using transport::State;

constexpr int kToneHz = 700;


// One sound server for the whole suite.
class SoundServer : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (QStandardPaths::findExecutable("pulseaudio").isEmpty() || QStandardPaths::findExecutable("pactl").isEmpty() ||
            QStandardPaths::findExecutable("parecord").isEmpty() || QStandardPaths::findExecutable("pacat").isEmpty())
            return;
        s_dir = new QTemporaryDir();
        const QString d = s_dir->path();
        QFile::setPermissions(d, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QFile pa(d + "/pa.pa");
        pa.open(QIODevice::WriteOnly);
        pa.write(QStringLiteral("load-module module-native-protocol-unix auth-anonymous=1 socket=%1/pulse.sock\n"
                                "load-module module-null-sink sink_name=nullsink rate=48000 channels=2\n"
                                "set-default-sink nullsink\n"
                                "load-module module-sine-source source_name=sine700 rate=48000 frequency=%2\n"
                                "set-default-source sine700\n")
                     .arg(d)
                     .arg(kToneHz)
                     .toUtf8());
        pa.close();
        qputenv("XDG_RUNTIME_DIR", d.toUtf8());
        qputenv("PULSE_SERVER", ("unix:" + d + "/pulse.sock").toUtf8());
        qputenv("HOME", d.toUtf8());
        s_daemon = new QProcess();
        s_daemon->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        s_daemon->setStandardErrorFile(d + "/pa.log");
        s_daemon->start("pulseaudio", {"--daemonize=no", "--exit-idle-time=-1", "--system=false", "--realtime=no",
                                       "--high-priority=no", "-n", "-F", d + "/pa.pa", "--log-target=stderr"});
        for (int i = 0; i < 50 && !QFile::exists(d + "/pulse.sock"); ++i)
            QThread::msleep(100);
        if (!QFile::exists(d + "/pulse.sock"))
            return;
        // A fresh null sink starts with long latency and an idle monitor drops
        // the start of a stream: keep a silent stream running.
        s_keepAlive = new QProcess();
        s_keepAlive->setStandardInputFile("/dev/zero");
        s_keepAlive->start("pacat", {"--playback", "--raw", "--format=s16le", "--rate=8000", "--channels=1"});
        QThread::msleep(2500);
        static int argc = 1;
        static char name[] = "crp2_system_test";
        static char* argv[] = {name, nullptr};
        s_app = new QCoreApplication(argc, argv);
        s_ready = true;
    }
    static void TearDownTestSuite() {
        delete s_app;
        for (QProcess* p : {s_keepAlive, s_daemon})
            if (p) {
                p->kill();
                p->waitForFinished(3000);
                delete p;
            }
        delete s_dir;
    }
    void SetUp() override {
        if (!s_ready)
            GTEST_SKIP() << "no PulseAudio daemon (pulseaudio, pactl, pacat and parecord are needed)";
        ASSERT_TRUE(m_dir.isValid());
        m_work = (m_dir.path() + "/vdata1.tmp").toStdString();
        m_tail = (m_dir.path() + "/rec1.tmp").toStdString();
        m_engine = std::make_unique<QtAudioEngine>();
        m_target = std::make_unique<QtMessageTarget>(
            [this](std::uint32_t m, Header h) { m_transport->handleMessage(m, h); });
        m_transport =
            std::make_unique<transport::Transport>(*m_engine, *m_target, m_files, m_view, m_work, m_tail);
    }
    void TearDown() override {
        if (m_transport)
            m_transport->closeDown();
        spin(400);  // let the streams close before the engine goes
        m_transport.reset();
        m_target.reset();
        m_engine.reset();
    }

    static void spin(int ms) {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < ms)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    bool waitStopped(int ms) {
        QElapsedTimer t;
        t.start();
        while (m_transport->state() != State::Stopped && t.elapsed() < ms)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        return m_transport->state() == State::Stopped;
    }
    std::vector<std::uint8_t> readAll(const std::string& path) {
        QFile f(QString::fromStdString(path));
        if (!f.open(QIODevice::ReadOnly))
            return {};
        QByteArray b = f.readAll();
        return {b.begin(), b.end()};
    }
    void writeAll(const std::string& path, const std::vector<std::uint8_t>& d) {
        QFile f(QString::fromStdString(path));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(reinterpret_cast<const char*>(d.data()), static_cast<qint64>(d.size()));
    }
    void load(std::uint8_t mode, const std::vector<std::uint8_t>& d) {
        writeAll(m_work, d);
        m_transport->setVoiceMode(mode);
        m_transport->dspSize(m_transport->showTotalTime(m_work, false));
    }

    static inline QTemporaryDir* s_dir = nullptr;
    static inline QProcess* s_daemon = nullptr;
    static inline QProcess* s_keepAlive = nullptr;
    static inline QCoreApplication* s_app = nullptr;
    static inline bool s_ready = false;

    QTemporaryDir m_dir;
    std::string m_work, m_tail;
    transport::StdFileSystem m_files;
    QuietView m_view;
    std::unique_ptr<QtAudioEngine> m_engine;
    std::unique_ptr<QtMessageTarget> m_target;
    std::unique_ptr<transport::Transport> m_transport;
};

std::vector<std::int16_t> decodeWork(std::uint8_t mode, const std::vector<std::uint8_t>& file) {
    BlockCoder c;
    c.beginPlayback(mode, 0, 0);
    const std::size_t bb = static_cast<std::size_t>(blockBytesOf(mode));
    std::vector<std::int16_t> pcm;
    std::vector<std::int16_t> block(static_cast<std::size_t>(blockSamplesOf(mode)));
    for (std::size_t at = 0; at + bb <= file.size(); at += bb) {
        c.decode(file.data() + at, block.data());
        pcm.insert(pcm.end(), block.begin(), block.end());
    }
    return pcm;
}

double zeroCrossingHz(const std::vector<std::int16_t>& pcm, std::size_t from, std::size_t to, int rate) {
    int crossings = 0;
    for (std::size_t i = from + 1; i < to; ++i)
        crossings += (pcm[i - 1] < 0) != (pcm[i] < 0);
    return crossings / 2.0 * rate / static_cast<double>(to - from);
}

// Largest normalised correlation of `ref` against `got` over all lags.
double bestCorrelation(const std::vector<std::int16_t>& ref, const std::vector<std::int16_t>& got) {
    double best = 0;
    double rr = 0;
    for (std::int16_t v : ref)
        rr += double(v) * v;
    if (got.size() < ref.size() || rr == 0)
        return 0;
    for (std::size_t lag = 0; lag + ref.size() <= got.size(); lag += 1) {
        double rg = 0, gg = 0;
        for (std::size_t i = 0; i < ref.size(); i += 1) {
            double g = got[lag + i];
            rg += ref[i] * g;
            gg += g * g;
        }
        if (gg > 0)
            best = std::max(best, rg / std::sqrt(rr * gg));
    }
    return best;
}

TEST_F(SoundServer, RecordingInEachModeDecodesToTheSourceTone) {
    for (std::uint8_t mode : {kModeSP, kModeHQ, kModeSHQ}) {
        QFile::remove(QString::fromStdString(m_work));
        m_transport->recClick(mode);
        ASSERT_EQ(m_transport->state(), State::Recording) << int(mode);
        spin(4500);
        m_transport->stopClick();
        // The sine source delivers in bursts of about two seconds.
        ASSERT_TRUE(waitStopped(5000));
        EXPECT_TRUE(m_view.messages.empty());
        auto file = readAll(m_work);
        const int bb = blockBytesOf(mode);
        ASSERT_EQ(file.size() % static_cast<std::size_t>(bb), 0u);
        ASSERT_GE(file.size(), 4u * bb) << int(mode);
        auto pcm = decodeWork(mode, file);
        ASSERT_GT(pcm.size(), static_cast<std::size_t>(sampleRateOf(mode)));
        const double hz = zeroCrossingHz(pcm, pcm.size() / 4, pcm.size(), sampleRateOf(mode));
        EXPECT_NEAR(hz, kToneHz, 15) << "mode " << int(mode);
        EXPECT_GT(m_view.maxMeter, 5) << "the meter follows the tone";
        // Nothing dropped: the tone's phase moves on by exactly one block's
        // worth from each block to the next.
        if (mode != kModeSP) {
            const int n = blockSamplesOf(mode), rate = sampleRateOf(mode);
            const double step = 2 * M_PI * kToneHz * n / rate;
            double previous = 0;
            for (std::size_t k = 1; (k + 1) * n <= pcm.size(); ++k) {
                double re = 0, im = 0;
                for (int i = 0; i < n; ++i) {
                    re += pcm[k * n + i] * std::cos(2 * M_PI * kToneHz * i / rate);
                    im -= pcm[k * n + i] * std::sin(2 * M_PI * kToneHz * i / rate);
                }
                const double phase = std::atan2(im, re);
                if (k > 1) {
                    const double jump = std::remainder(phase - previous - step, 2 * M_PI);
                    EXPECT_LT(std::fabs(jump), 0.3) << "mode " << int(mode) << " block " << k;
                }
                previous = phase;
            }
        }
    }
}

// Plays `work` (mode, effect, slider) and returns what the sink's monitor carried.
std::vector<std::int16_t> playAndListen(SoundServer* self, transport::Transport& t, int rate,
                                        const std::string& rawPath, double seconds, bool& stopped,
                                        std::function<bool(int)> waitStopped) {
    (void)self;
    QProcess rec;
    rec.start("parecord", {"--device=nullsink.monitor", "--latency-msec=20", "--raw", "--format=s16le",
                           QStringLiteral("--rate=%1").arg(rate), "--channels=1", QString::fromStdString(rawPath)});
    rec.waitForStarted(3000);
    QThread::msleep(300);
    t.playClick();
    stopped = waitStopped(static_cast<int>(seconds * 1000) + 4000);
    QElapsedTimer e;
    e.start();
    while (e.elapsed() < 500)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    rec.terminate();
    rec.waitForFinished(3000);
    QFile f(QString::fromStdString(rawPath));
    f.open(QIODevice::ReadOnly);
    QByteArray b = f.readAll();
    std::vector<std::int16_t> out(static_cast<std::size_t>(b.size() / 2));
    std::memcpy(out.data(), b.constData(), out.size() * 2);
    return out;
}

std::vector<std::int16_t> renderWithTool(const std::string& sc4, const std::string& wav, int effect, int level) {
    QProcess p;
    QStringList args{"render"};
    if (effect) 
        args << "--effect" << QString::number(effect) << "--level" << QString::number(level);
    args << QString::fromStdString(sc4) << QString::fromStdString(wav);
    p.start(QStringLiteral(VEKCONV_PATH), args);
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        return {};
    QFile f(QString::fromStdString(wav));
    f.open(QIODevice::ReadOnly);
    QByteArray b = f.readAll();
    int at = b.indexOf("data");
    if (at < 0)
        return {};
    std::vector<std::int16_t> out(static_cast<std::size_t>((b.size() - at - 8) / 2));
    std::memcpy(out.data(), b.constData() + at + 8, out.size() * 2);
    return out;
}

// A speech-like test signal: a few harmonics under a moving envelope.
std::vector<std::int16_t> testSignal(int n, int rate) {
    std::vector<std::int16_t> v(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        double t = double(i) / rate;
        double f0 = 140 + 40 * std::sin(2 * M_PI * 0.7 * t);
        double env = 0.55 + 0.45 * std::sin(2 * M_PI * 2.3 * t);
        double s = std::sin(2 * M_PI * f0 * t) + 0.5 * std::sin(2 * M_PI * 3 * f0 * t) + 0.3 * std::sin(2 * M_PI * 7 * f0 * t);
        v[i] = static_cast<std::int16_t>(7000 * env * s);
    }
    return v;
}

TEST_F(SoundServer, PlaybackReachesTheSinkAsTheRendererSaysWithAndWithoutEffect) {
    struct Case {
        std::uint8_t mode;
        int effect;
        int slider;
    };
    for (Case c : {Case{kModeSP, 0, 80}, Case{kModeHQ, 6, 40}}) {
        const int rate = sampleRateOf(c.mode);
        const int blocks = 5;
        auto sig = testSignal(blocks * blockSamplesOf(c.mode), rate);
        BlockCoder enc;
        enc.beginCapture(c.mode);
        std::vector<std::uint8_t> work(static_cast<std::size_t>(blocks * blockBytesOf(c.mode)));
        for (int b = 0; b < blocks; ++b)
            ASSERT_TRUE(enc.encode(sig.data() + b * blockSamplesOf(c.mode), work.data() + b * blockBytesOf(c.mode)));
        load(c.mode, work);
        std::string sc4 = (m_dir.path() + "/rec.sc4").toStdString();
        if (c.mode == kModeSP) {
            writeAll(sc4, work);
        } else {
            MemorySource in(work.data(), work.size());
            MemorySink out;
            ASSERT_TRUE(adpcmToSc4(in, out, c.mode == kModeSHQ));
            writeAll(sc4, out.bytes());
        }
        auto ref = renderWithTool(sc4, (m_dir.path() + "/ref.wav").toStdString(), c.effect, c.slider);
        ASSERT_GE(ref.size(), static_cast<std::size_t>(rate * 2)) << "vekconv render failed";
        m_view.effect = c.effect;
        m_view.slider = c.slider;
        bool stopped = false;
        auto got = playAndListen(this, *m_transport, rate, (m_dir.path() + "/mon.raw").toStdString(), 2.5, stopped,
                                 [this](int ms) { return waitStopped(ms); });
        EXPECT_TRUE(stopped) << "playback ends by itself at the end of the data";
        EXPECT_TRUE(m_view.messages.empty());
        // One second from the middle of the recording, found in the monitor.
        std::vector<std::int16_t> mid(ref.begin() + rate / 2, ref.begin() + rate / 2 + rate);
        const double corr = bestCorrelation(mid, got);
        EXPECT_GT(corr, 0.9) << "mode " << int(c.mode) << " effect " << c.effect;
        // And the renderer's output without the effect differs where an effect is on.
        if (c.effect != 0) {
            auto dry = renderWithTool(sc4, (m_dir.path() + "/dry.wav").toStdString(), 0, 0);
            std::vector<std::int16_t> dryMid(dry.begin() + rate / 2, dry.begin() + rate / 2 + rate);
            EXPECT_LT(bestCorrelation(dryMid, got), corr);
        }
        EXPECT_EQ(readAll(m_work), work) << "playback leaves the working file as it was";
    }
}

TEST_F(SoundServer, InsertIntoARealFileKeepsHeadAndTail) {
    std::vector<std::uint8_t> work;
    BlockCoder enc;
    enc.beginCapture(kModeSP);
    auto sig = testSignal(8 * kSpBlockSamples, 8000);
    work.resize(8 * kSpBlockBytes);
    for (int b = 0; b < 8; ++b)
        enc.encode(sig.data() + b * kSpBlockSamples, work.data() + b * kSpBlockBytes);
    load(kModeSP, work);
    m_transport->setTrackPosition(m_transport->getTrackPosFromTCount(3));
    m_transport->recClick(kModeSP);
    ASSERT_EQ(m_transport->state(), State::Recording);
    spin(2500);
    m_transport->stopClick();
    ASSERT_TRUE(waitStopped(5000));
    auto after = readAll(m_work);
    ASSERT_GT(after.size(), work.size());
    ASSERT_EQ((after.size() - work.size()) % kSpBlockBytes, 0u);
    EXPECT_TRUE(std::equal(work.begin(), work.begin() + 3 * kSpBlockBytes, after.begin()));
    EXPECT_TRUE(std::equal(work.begin() + 3 * kSpBlockBytes, work.end(), after.end() - 5 * kSpBlockBytes));
    const std::size_t inserted = (after.size() - work.size()) / kSpBlockBytes;
    EXPECT_GE(inserted, 1u);
    EXPECT_EQ(m_transport->recEndTCount(), static_cast<std::int32_t>(3 + inserted));
}

QString pactl(const QStringList& args) {
    QProcess p;
    p.start("pactl", args);
    p.waitForFinished(5000);
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

// The server's defaults changed while the program runs: the next Play and
// Record use the new ones (the names are kept between commands, so they must
// follow the server's change reports).
TEST_F(SoundServer, ChangedDefaultDevicesAreUsedByTheNextCommands) {
    m_transport->recClick(kModeSP);  // the names are known before the change
    spin(800);
    m_transport->stopClick();
    ASSERT_TRUE(waitStopped(3000));
    std::remove(m_work.c_str());

    const QString sinkModule = pactl({"load-module", "module-null-sink", "sink_name=other", "rate=48000"});
    const QString sourceModule =
        pactl({"load-module", "module-sine-source", "source_name=othersrc", "rate=48000", "frequency=500"});
    ASSERT_FALSE(sinkModule.isEmpty());
    ASSERT_FALSE(sourceModule.isEmpty());
    pactl({"set-default-sink", "other"});
    pactl({"set-default-source", "othersrc"});
    spin(500);

    m_transport->dspSize(m_transport->showTotalTime(m_work, false));
    m_transport->recClick(kModeHQ);
    ASSERT_EQ(m_transport->state(), State::Recording);
    spin(1500);
    m_transport->stopClick();
    EXPECT_TRUE(waitStopped(3000));
    const auto pcm = decodeWork(kModeHQ, readAll(m_work));
    ASSERT_GE(pcm.size(), 2u * kAdpcmBlockSamples);
    EXPECT_NEAR(zeroCrossingHz(pcm, kAdpcmBlockSamples, 2 * kAdpcmBlockSamples, 8000), 500, 25)
        << "recorded from the new default source";

    QProcess rec;
    const std::string raw = (m_dir.path() + "/other.raw").toStdString();
    rec.start("parecord", {"--device=other.monitor", "--latency-msec=20", "--raw", "--format=s16le", "--rate=8000",
                           "--channels=1", QString::fromStdString(raw)});
    rec.waitForStarted(3000);
    spin(300);
    m_transport->setTrackPosition(0);
    m_transport->playClick();
    EXPECT_TRUE(waitStopped(5000));
    spin(400);
    rec.terminate();
    rec.waitForFinished(3000);
    const auto bytes = readAll(raw);
    int loud = 0;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
        loud += std::abs(static_cast<std::int16_t>(bytes[i] | bytes[i + 1] << 8)) > 1000;
    EXPECT_GT(loud, 4000) << "played on the new default sink";
    EXPECT_TRUE(m_view.messages.empty());

    pactl({"set-default-sink", "nullsink"});
    pactl({"set-default-source", "sine700"});
    pactl({"unload-module", sinkModule});
    pactl({"unload-module", sourceModule});
    spin(300);
}

}  // namespace
}  // namespace vek::crp2
