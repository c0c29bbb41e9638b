// SPDX-License-Identifier: GPL-3.0-or-later
#include "vek/crp2/qtengine.hpp"

#include "timestretch.hpp"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QAudioSource>
#include <QMediaDevices>
#include <QProcess>
#include <QTimer>

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

#ifdef __linux__
#include <csignal>
#include <sys/prctl.h>
#endif

namespace vek::crp2 {

namespace {

QString askServer(const char* what) {
    QProcess p;
    p.start(QStringLiteral("pactl"), {QString::fromLatin1(what)});
    if (!p.waitForFinished(2000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        p.kill();
        p.waitForFinished(500);
        return {};
    }
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

QAudioFormat formatOf(std::uint8_t mode) {
    QAudioFormat f;
    f.setSampleRate(sampleRateOf(mode));
    f.setChannelCount(1);
    f.setSampleFormat(QAudioFormat::Int16);
    return f;
}

// The server's default device when it is listed; Qt's own choice otherwise.
QAudioDevice pick(const QList<QAudioDevice>& devices, const QString& defaultName, const QAudioDevice& fallback) {
    const QByteArray id = defaultName.toUtf8();
    if (!id.isEmpty())
        for (const QAudioDevice& d : devices)
            if (d.id() == id)
                return d;
    return fallback;
}

}  // namespace

QString defaultSourceName() { return askServer("get-default-source"); }
QString defaultSinkName() { return askServer("get-default-sink"); }

// ---------------------------------------------------------------- default devices

ServerDefaults::ServerDefaults(QObject* parent) : QObject(parent) {
    m_ask[0].what = "get-default-sink";
    m_ask[1].what = "get-default-source";
    refresh();
    // The server says when its default devices change ("Event 'change' on
    // server"); the names are then asked again. When the watcher cannot run
    // (no tool, no server yet) each Play and Record asks again afterwards.
    m_watch = new QProcess(this);
    m_watch->setProcessChannelMode(QProcess::SeparateChannels);
    m_watch->setStandardErrorFile(QProcess::nullDevice());
#ifdef __linux__
    // It would otherwise outlive a program that crashed, until the next event.
    m_watch->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
#endif
    connect(m_watch, &QProcess::readyReadStandardOutput, this, [this] {
        bool serverChanged = false;
        while (m_watch->canReadLine())
            serverChanged |= m_watch->readLine().contains("on server");
        if (serverChanged)
            refresh();
    });
    watch();
}

void ServerDefaults::watch() { m_watch->start(QStringLiteral("pactl"), {QStringLiteral("subscribe")}); }

ServerDefaults::~ServerDefaults() {
    for (QProcess* p : {m_watch, m_ask[0].process, m_ask[1].process})
        if (p) {
            p->disconnect(this);
            p->kill();
            p->waitForFinished(500);
        }
}

bool ServerDefaults::watching() const { return m_watch && m_watch->state() != QProcess::NotRunning; }

void ServerDefaults::refresh() {
    for (Ask& a : m_ask) {
        if (a.process) {
            a.again = true;  // the answer on the way may be from before the change
            continue;
        }
        auto* p = new QProcess(this);
        p->setStandardErrorFile(QProcess::nullDevice());
        a.process = p;
        connect(p, &QProcess::finished, this, [this, &a, p](int code, QProcess::ExitStatus status) {
            if (a.process != p)
                return;
            a.name = status == QProcess::NormalExit && code == 0
                         ? QString::fromUtf8(p->readAllStandardOutput()).trimmed()
                         : QString();
            a.known = true;
            a.process = nullptr;
            p->deleteLater();
            if (std::exchange(a.again, false))
                refresh();
        });
        connect(p, &QProcess::errorOccurred, this, [&a, p](QProcess::ProcessError e) {
            if (e != QProcess::FailedToStart || a.process != p)
                return;
            a.name.clear();
            a.known = true;
            a.process = nullptr;
            p->deleteLater();
        });
        p->start(QStringLiteral("pactl"), {QString::fromLatin1(a.what)});
    }
}

QString ServerDefaults::name(Ask& a) {
    // Only the very first Play or Record may find no answer yet: it waits for
    // the one under way, as long as asking directly would take.
    if (!a.known && a.process)
        a.process->waitForFinished(2000);
    if (!a.known) {
        if (a.process) {
            a.process->disconnect(this);
            a.process->kill();
            a.process->deleteLater();
            a.process = nullptr;
        }
        a.name = askServer(a.what);
        a.known = true;
    }
    const QString n = a.name;
    if (!watching()) {
        watch();
        refresh();
    }
    return n;
}

QString ServerDefaults::sink() { return name(m_ask[0]); }
QString ServerDefaults::source() { return name(m_ask[1]); }

// ---------------------------------------------------------------- engine

QtAudioEngine::QtAudioEngine(QObject* parent)
    : QObject(parent), m_defaults(new ServerDefaults(this)), m_stretch(std::make_unique<TimeStretch>()) {}

QtAudioEngine::~QtAudioEngine() {
    // Devices go before the application object does (the sound server's
    // client library must not outlive its main loop with streams open).
    // Their destructors process events: the engine is left with nothing to
    // act on first.
    for (QTimer* t : {m_watchdog, m_feedTimer})
        if (t)
            t->stop();
    m_source = nullptr;
    m_sourceIo = nullptr;
    m_sink = nullptr;
    m_sinkIo = nullptr;
    m_inTarget = m_outTarget = nullptr;
    for (QAudioSource* s : findChildren<QAudioSource*>()) {
        disconnect(s, nullptr, this, nullptr);
        s->stop();
        delete s;
    }
    for (QAudioSink* s : findChildren<QAudioSink*>()) {
        disconnect(s, nullptr, this, nullptr);
        s->stop();
        delete s;
    }
}

// ---------------------------------------------------------------- capture

int QtAudioEngine::preWaveIn(MessageTarget& target, std::uint8_t mode) {
    if (m_source)
        return kDeviceBusy;
    if (!m_in) {
        m_in.reset(new (std::nothrow) InSlot[kInSlots]);
        if (!m_in)
            return kNoMemory;
    }
    if (!m_inCoder.beginCapture(mode))
        return kNoMemory;
    const QAudioDevice dev =
        pick(QMediaDevices::audioInputs(), m_defaults->source(), QMediaDevices::defaultAudioInput());
    const QAudioFormat fmt = formatOf(mode);
    if (dev.isNull() || !dev.isFormatSupported(fmt))
        return kDeviceBusy;
    auto* src = new QAudioSource(dev, fmt, this);
    // Small fragments: blocks arrive as they are captured, not in bursts.
    src->setBufferSize(sampleRateOf(mode) * 2 * kSourceBufferMs / 1000);
    QIODevice* io = src->start();
    if (!io || src->error() != QAudio::NoError) {
        src->stop();
        delete src;
        return kDeviceBusy;
    }
    m_source = src;
    m_sourceIo = io;
    m_inTarget = &target;
    m_inMode = mode;
    m_pending.assign(static_cast<std::size_t>(blockSamplesOf(mode)), 0);
    m_pendingBytes = 0;
    m_inFailed = false;
    m_inClock.start();
    connect(io, &QIODevice::readyRead, this, &QtAudioEngine::onCaptureReady);
    // A device that goes away mid-recording (unplugged, server gone) sends
    // nothing more: the block being filled goes out as the last one.
    connect(src, &QAudioSource::stateChanged, this, [this, src](QAudio::State st) {
        if (src == m_source && st == QAudio::StoppedState && src->error() != QAudio::NoError)
            captureFailed();
    });
    startWatchdog();
    return kOk;
}

void QtAudioEngine::onCaptureReady() {
    if (!m_sourceIo)
        return;
    const std::size_t n = m_pending.size();
    char* base = reinterpret_cast<char*>(m_pending.data());
    // The device's own byte count is not reliable here: read until it has
    // nothing more. A block fills byte by byte, so an odd read just waits.
    for (;;) {
        const qint64 want = static_cast<qint64>(n * 2 - m_pendingBytes);
        const qint64 got = m_sourceIo->read(base + m_pendingBytes, want);
        if (got <= 0)
            break;
        m_inClock.start();
        m_pendingBytes += static_cast<std::size_t>(got);
        if (m_pendingBytes < n * 2)
            continue;
        deliverBlock();
    }
}

void QtAudioEngine::captureFailed() {
    if (!m_source || m_inFailed)
        return;
    m_inFailed = true;
    if (m_sourceIo)
        disconnect(m_sourceIo, nullptr, this, nullptr);
    // The rest of the block being filled is silence; the window learns of the
    // failure with this block, and a Stop pressed before gets it as its last.
    std::fill(m_pending.begin() + static_cast<std::ptrdiff_t>(m_pendingBytes / 2), m_pending.end(), std::int16_t{0});
    m_pendingBytes = m_pending.size() * 2;
    deliverBlock();
}

void QtAudioEngine::startWatchdog() {
    if (!m_watchdog) {
        m_watchdog = new QTimer(this);
        m_watchdog->setInterval(250);
        connect(m_watchdog, &QTimer::timeout, this, &QtAudioEngine::checkDevices);
    }
    m_watchdog->start();
}

void QtAudioEngine::checkDevices() {
    // A device can also fall silent without a word (a server that hangs).
    // What it holds is taken first, so that a window that was busy for a
    // while is not taken for a dead device.
    if (m_source && !m_inFailed) {
        onCaptureReady();
        if (m_inClock.elapsed() > kStallMs)
            captureFailed();
    }
    if (m_sink && !m_sinkFailed) {
        feedOutput();
        if (!m_ready.empty() && m_outClock.elapsed() > kStallMs)
            playbackFailed();
    }
    if (!m_source && !m_sink)
        m_watchdog->stop();
}

void QtAudioEngine::playbackFailed() {
    if (!m_sink || m_sinkFailed)
        return;
    m_sinkFailed = true;
    feedOutput();
}

void QtAudioEngine::deliverBlock() {
    InSlot& s = m_in[m_inNext];
    std::copy(m_pending.begin(), m_pending.end(), s.pcm.begin());
    if (!m_inCoder.encode(m_pending.data(), s.data.data()))
        std::fill(s.data.begin(), s.data.end(), std::uint8_t{0});
    m_pendingBytes = 0;
    ++m_capturedBlocks;
    const Header h = makeHeader(m_inNext);
    m_inNext = (m_inNext + 1) % kInSlots;
    m_inTarget->post(kMmWimData, h);
}

const std::uint8_t* QtAudioEngine::getInDataPtr(Header header, std::uint8_t, int) {
    if (!m_in)
        return nullptr;
    return m_in[static_cast<int>(header & 0xFF) % kInSlots].data.data();
}

const std::int16_t* QtAudioEngine::getInDataPtrOnly(Header header) {
    if (!m_in)
        return nullptr;
    return m_in[static_cast<int>(header & 0xFF) % kInSlots].pcm.data();
}

void QtAudioEngine::postWaveIn(std::uint8_t) {
    if (!m_source)
        return;
    // The device's destructor processes events (Qt's sound-server source
    // does): a block it reads meanwhile, or a second postWaveIn from a
    // handler run in there, must find the capture already over.
    QAudioSource* src = m_source;
    if (m_sourceIo)
        disconnect(m_sourceIo, nullptr, this, nullptr);
    disconnect(src, nullptr, this, nullptr);
    m_source = nullptr;
    m_sourceIo = nullptr;
    m_inTarget = nullptr;
    src->stop();
    delete src;
}

// ---------------------------------------------------------------- playback

int QtAudioEngine::preWaveOut(MessageTarget& target, std::uint8_t mode, int effectIndex, int level) {
    if (m_sink)
        return kDeviceBusy;
    if (!m_out) {
        m_out.reset(new (std::nothrow) OutSlot[kOutSlots]);
        if (!m_out)
            return kNoMemory;
    }
    const QAudioDevice dev =
        pick(QMediaDevices::audioOutputs(), m_defaults->sink(), QMediaDevices::defaultAudioOutput());
    const QAudioFormat fmt = formatOf(mode);
    if (dev.isNull() || !dev.isFormatSupported(fmt))
        return kDeviceBusy;
    auto* sink = new QAudioSink(dev, fmt, this);
    sink->setBufferSize(sampleRateOf(mode) * 2 * kSinkBufferMs / 1000);
    QIODevice* io = sink->start();
    if (!io || sink->error() != QAudio::NoError) {
        sink->stop();
        delete sink;
        return kDeviceBusy;
    }
    ++m_session;
    m_outCoder.beginPlayback(mode, effectIndex, level);
    m_stretch->begin(sampleRateOf(mode), blockSamplesOf(mode));
    m_stretch->setSpeed(m_speed);
    for (int i = 0; i < kOutSlots; ++i)  // room for a block at 0.5, reserved once
        m_out[i].stretched.reserve(static_cast<std::size_t>(3 * kSpBlockSamples));
    m_sink = sink;
    m_sinkIo = io;
    m_outTarget = &target;
    m_outMode = mode;
    m_ready.clear();
    m_frontOffset = 0;
    m_started = false;
    m_sinkFailed = false;
    m_outClock.start();
    connect(sink, &QAudioSink::stateChanged, this, [this, sink](QAudio::State st) {
        if (sink != m_sink)
            return;
        if (m_started && st == QAudio::IdleState && sink->error() == QAudio::UnderrunError)
            ++m_underruns;
        // A device that goes away mid-playback takes no more data: the blocks
        // in flight are asked for at once and the window learns of it.
        if (st == QAudio::StoppedState && sink->error() != QAudio::NoError)
            playbackFailed();
    });
    if (!m_feedTimer) {
        m_feedTimer = new QTimer(this);
        m_feedTimer->setInterval(10);
        connect(m_feedTimer, &QTimer::timeout, this, &QtAudioEngine::feedOutput);
    }
    m_feedTimer->start();
    startWatchdog();
    // Every buffer is empty: ask for all of them.
    for (int i = 0; i < kOutSlots; ++i)
        m_outTarget->post(kMmWomDone, makeHeader(i));
    return kOk;
}

std::int16_t* QtAudioEngine::getOutDataPtr(Header header, std::uint8_t, const std::uint8_t* block, int) {
    OutSlot* s = &m_scratch;
    if (m_sink && m_out && current(header) && static_cast<int>(header & 0xFF) < kOutSlots)
        s = &m_out[static_cast<int>(header & 0xFF)];
    m_outCoder.decode(block, s->pcm.data());  // throws DecodeError
    const std::size_t n = static_cast<std::size_t>(blockBytesOf(m_outMode));
    s->endOfData = std::all_of(block, block + n, [](std::uint8_t b) { return b == 0; });
    return s->pcm.data();
}

void QtAudioEngine::effect(std::int16_t* samples) {
    if (!m_sink || !m_out)
        return;
    for (int i = 0; i < kOutSlots; ++i) {
        if (m_out[i].pcm.data() != samples)
            continue;
        m_outCoder.applyEffect(samples);
        OutSlot& s = m_out[i];
        s.play = samples;
        s.playSamples = static_cast<std::size_t>(blockSamplesOf(m_outMode));
        if (!m_stretch->bypass()) {
            m_stretch->process(samples, s.playSamples, s.stretched);
            // The zero block that ends the data pushes the end of the
            // recording out of the stretcher, but the transport stops at the
            // request for the block before it. That end (up to the last
            // sound) joins the block still waiting, so it is played too.
            if (s.endOfData && !m_ready.empty()) {
                OutSlot& w = m_out[m_ready.back()];
                if (w.play == w.stretched.data()) {
                    auto end = s.stretched.begin();
                    for (auto it = s.stretched.begin(); it != s.stretched.end(); ++it)
                        if (*it != 0)
                            end = it + 1;
                    w.stretched.insert(w.stretched.end(), s.stretched.begin(), end);
                    w.play = w.stretched.data();
                    w.playSamples = w.stretched.size();
                    s.stretched.erase(s.stretched.begin(), end);
                }
            }
            s.play = s.stretched.data();
            s.playSamples = s.stretched.size();
        }
        m_ready.push_back(i);
        feedOutput();
        return;
    }
}

void QtAudioEngine::feedOutput() {
    if (!m_sink)
        return;
    if (m_sinkFailed) {
        while (!m_ready.empty()) {
            const int slot = m_ready.front();
            m_ready.pop_front();
            m_frontOffset = 0;
            if (m_outTarget)
                m_outTarget->post(kMmWomDone, makeHeader(slot));
        }
        return;
    }
    if (!m_sinkIo)
        return;  // gone with a failed device; the watchdog notices
    qint64 room = m_sink->bytesFree();
    while (room > 0 && !m_ready.empty()) {
        const int slot = m_ready.front();
        const std::size_t blockBytes = m_out[slot].playSamples * 2;
        const char* p = reinterpret_cast<const char*>(m_out[slot].play) + m_frontOffset;
        const qint64 n = std::min<qint64>(room, static_cast<qint64>(blockBytes - m_frontOffset));
        // A block the stretcher gave nothing for yet (its start) is done at once.
        const qint64 put = n > 0 ? m_sinkIo->write(p, n) : 0;
        if (put < 0 || (put == 0 && n > 0))
            break;
        m_outClock.start();
        m_started = true;
        room -= put;
        m_frontOffset += static_cast<std::size_t>(put);
        if (m_frontOffset < blockBytes)
            continue;
        // The whole block is with the device: its buffer wants the next one.
        m_ready.pop_front();
        m_frontOffset = 0;
        if (m_outTarget)
            m_outTarget->post(kMmWomDone, makeHeader(slot));
    }
}

void QtAudioEngine::postWaveOut(std::uint8_t) {
    if (!m_sink)
        return;
    if (m_feedTimer)
        m_feedTimer->stop();
    m_outTarget = nullptr;
    m_ready.clear();
    m_frontOffset = 0;
    ++m_session;
    retireSink();
}

double QtAudioEngine::setPlaybackSpeed(double speed) {
    m_stretch->setSpeed(speed);
    m_speed = m_stretch->speed();
    return m_speed;
}

void QtAudioEngine::retireSink() {
    // What the device already holds plays out (at most one buffer), then the
    // stream is closed; a new playback may open its own stream meanwhile.
    QAudioSink* sink = m_sink;
    m_sink = nullptr;
    m_sinkIo = nullptr;
    disconnect(sink, nullptr, this, nullptr);
    QTimer::singleShot(kSinkBufferMs + 80, sink, [sink] {
        sink->stop();
        sink->deleteLater();
    });
}

}  // namespace vek::crp2
