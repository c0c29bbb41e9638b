// Playback speed on a real sound server (a private PulseAudio daemon with a
// null sink): a 1 kHz tone played through the engine at 0.5x, 1.0x and 2.0x
// reaches the sink's monitor still at 1 kHz, lasting twice, once and half as
// long, and as long as its parts at their speeds when the speed changes
// midway; and the CPU time the engine takes at 1.5x against 1.0x.
// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include "vek/crp2/blockcoder.hpp"
#include "vek/crp2/qtengine.hpp"
#include "vek/crp2/qtmessages.hpp"
#include "vek/testsupport/process.hpp"
#include "vek/testsupport/servers.hpp"

namespace vek::crp2 {
namespace {

constexpr int kRate = 8000;  // HQ
constexpr int kBlocks = 6;   // 2.958 s of tone

double cpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Runs the event loop for `ms` (waiting for events, not polling, so that
// the CPU time measured is the engine's) or until `done` says so.
void runFor(int ms, const std::function<bool()>& done = {}) {
    QEventLoop loop;
    QTimer limit, check;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done && done()) loop.quit();
    });
    limit.start(ms);
    check.start(20);
    loop.exec();
}

class SpeedOnSoundServer : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        for (const char* tool : {"pulseaudio", "pacat", "parecord", "pactl"})
            if (!testsupport::haveTool(tool)) {
                s_skip = std::string(tool) + " missing";
                return;
            }
        s_server = new testsupport::SoundServer();
        if (!s_server->start()) {
            s_skip = "PulseAudio did not start: " + s_server->error();
            return;
        }
        qputenv("PULSE_SERVER", QByteArray::fromStdString(s_server->server()));
        qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(s_server->runtimeDir()));
        // A fresh null sink runs with long latency at first and an idle
        // monitor drops the start of a stream: a silent stream keeps it going.
        s_keepAlive = new QProcess();
        s_keepAlive->setStandardInputFile("/dev/zero");
        s_keepAlive->start("pacat", {"--playback", "--raw", "--format=s16le", "--rate=8000", "--channels=1"});
        QThread::msleep(2500);
        static int argc = 1;
        static char name[] = "crp2_speed_system_test";
        static char* argv[] = {name, nullptr};
        s_app = new QCoreApplication(argc, argv);
    }
    static void TearDownTestSuite() {
        delete s_app;
        if (s_keepAlive) {
            s_keepAlive->kill();
            s_keepAlive->waitForFinished(3000);
            delete s_keepAlive;
        }
        delete s_server;
    }
    void SetUp() override {
        if (!s_skip.empty()) GTEST_SKIP() << s_skip;
        if (QtAudioEngine().setPlaybackSpeed(2.0) != 2.0)
            GTEST_SKIP() << "built without librubberband: every speed plays as 1.0";
        // The tone, coded as the working file holds it.
        std::vector<std::int16_t> pcm(static_cast<std::size_t>(kBlocks * kAdpcmBlockSamples));
        for (std::size_t i = 0; i < pcm.size(); ++i)
            pcm[i] = static_cast<std::int16_t>(12000 * std::sin(2 * M_PI * 1000.0 * static_cast<double>(i) / kRate));
        BlockCoder enc;
        ASSERT_TRUE(enc.beginCapture(kModeHQ));
        m_blocks.resize(static_cast<std::size_t>(kBlocks * kAdpcmBlockBytes));
        for (int b = 0; b < kBlocks; ++b)
            ASSERT_TRUE(enc.encode(pcm.data() + b * kAdpcmBlockSamples, m_blocks.data() + b * kAdpcmBlockBytes));
    }

    // Plays the blocks (then one zero block, as the transport ends) at
    // `speed`, as the transport feeds the engine; returns what the monitor
    // carried. `cpu` gets the process's CPU seconds per second of playback.
    // From block `changeAt` on (if given) the speed is `changeTo`, set
    // between two blocks as the speed keys do.
    std::vector<std::int16_t> play(double speed, double* cpu = nullptr, int changeAt = -1, double changeTo = 1.0) {
        QTemporaryDir dir;
        const QString raw = dir.path() + "/monitor.raw";
        QProcess rec;
        rec.start("parecord", {"--device=nullsink.monitor", "--latency-msec=20", "--raw", "--format=s16le",
                               QStringLiteral("--rate=%1").arg(kRate), "--channels=1", raw});
        rec.waitForStarted(3000);
        QThread::msleep(300);
        QtAudioEngine engine;
        int next = 0;
        bool done = false;
        std::vector<std::uint8_t> zero(kAdpcmBlockBytes, 0);
        QtMessageTarget target([&](std::uint32_t msg, Header h) {
            if (msg != kMmWomDone || done) return;
            if (next > kBlocks) {
                done = true;
                return;
            }
            const std::uint8_t* block = next < kBlocks ? m_blocks.data() + next * kAdpcmBlockBytes : zero.data();
            if (next == changeAt) engine.setPlaybackSpeed(changeTo);
            ++next;
            engine.effect(engine.getOutDataPtr(h, kModeHQ, block, kOutBlockTag));
        });
        engine.setPlaybackSpeed(speed);
        const double cpu0 = cpuSeconds();
        QElapsedTimer wall;
        wall.start();
        EXPECT_EQ(engine.preWaveOut(target, kModeHQ, 0, 0), kOk);
        runFor(20000, [&] { return done; });
        EXPECT_TRUE(done) << "speed " << speed;
        if (cpu) *cpu = (cpuSeconds() - cpu0) / (static_cast<double>(wall.elapsed()) / 1000.0);
        engine.postWaveOut(kModeHQ);
        runFor(700);  // what the device holds plays out
        rec.terminate();
        rec.waitForFinished(3000);
        QFile f(raw);
        f.open(QIODevice::ReadOnly);
        const QByteArray b = f.readAll();
        std::vector<std::int16_t> out(static_cast<std::size_t>(b.size() / 2));
        std::memcpy(out.data(), b.constData(), out.size() * 2);
        return out;
    }

    static inline testsupport::SoundServer* s_server = nullptr;
    static inline QProcess* s_keepAlive = nullptr;
    static inline QCoreApplication* s_app = nullptr;
    static inline std::string s_skip;
    std::vector<std::uint8_t> m_blocks;
};

// Seconds during which the monitor carried the tone (first to last loud
// sample) and its frequency over the middle of that span.
struct Heard {
    double seconds = 0, hz = 0;
};
Heard listen(const std::vector<std::int16_t>& v) {
    std::size_t first = v.size(), last = 0;
    for (std::size_t i = 0; i < v.size(); ++i)
        if (std::abs(v[i]) > 3000) {
            first = std::min(first, i);
            last = i + 1;
        }
    Heard h;
    if (first >= last) return h;
    h.seconds = static_cast<double>(last - first) / kRate;
    const std::size_t from = first + (last - first) / 8, to = last - (last - first) / 8;
    int crossings = 0;
    for (std::size_t i = from + 1; i < to; ++i) crossings += (v[i - 1] < 0) != (v[i] < 0);
    h.hz = crossings / 2.0 * kRate / static_cast<double>(to - from);
    return h;
}

TEST_F(SpeedOnSoundServer, ToneKeepsItsPitchAndItsDurationScales) {
    const Heard normal = listen(play(1.0));
    const Heard slow = listen(play(0.5));
    const Heard fast = listen(play(2.0));
    const double tone = kBlocks * kAdpcmBlockSamples / double(kRate);
    EXPECT_NEAR(normal.seconds, tone, 0.06);
    EXPECT_NEAR(normal.hz, 1000, 10);
    EXPECT_NEAR(slow.hz, 1000, 10);
    EXPECT_NEAR(fast.hz, 1000, 10);
    EXPECT_NEAR(slow.seconds, 2 * tone, 0.12);
    EXPECT_NEAR(fast.seconds, tone / 2, 0.06);
    std::printf("tone %.3f s: heard %.3f s at 1.0x (%.1f Hz), %.3f s at 0.5x (%.1f Hz), %.3f s at 2.0x (%.1f Hz)\n",
                tone, normal.seconds, normal.hz, slow.seconds, slow.hz, fast.seconds, fast.hz);
}

TEST_F(SpeedOnSoundServer, ChangesMidwayLeaveNothingOut) {
    // Half the tone at one speed, the rest at the other: what the stretcher
    // held at the change is heard too (on the way back to 1.0x it is pushed
    // out of it), so the whole lasts as long as its parts.
    const double half = kBlocks / 2 * kAdpcmBlockSamples / double(kRate);
    for (auto [first, then] : {std::pair{1.5, 1.0}, std::pair{1.0, 1.5}}) {
        const Heard h = listen(play(first, nullptr, kBlocks / 2, then));
        const double want = half / first + half / then;
        EXPECT_NEAR(h.seconds, want, 0.06) << first << "x then " << then << "x";
        EXPECT_NEAR(h.hz, 1000, 10) << first << "x then " << then << "x";
        std::printf("half the tone at %.1fx, half at %.1fx: heard %.3f s of %.3f s\n", first, then, h.seconds, want);
    }
}

TEST_F(SpeedOnSoundServer, CpuShareAtOneAndAHalf) {
    double atNormal = 0, atFast = 0;
    play(1.0, &atNormal);
    const Heard h = listen(play(1.5, &atFast));
    EXPECT_NEAR(h.hz, 1000, 10);
    // Informative: the machine is shared, so only a gross fault fails here.
    std::printf("CPU share of one core while playing: %.2f %% at 1.0x, %.2f %% at 1.5x\n", 100 * atNormal,
                100 * atFast);
    EXPECT_LT(atFast, 0.5);
}

}  // namespace
}  // namespace vek::crp2
