// The audio engine on Qt Multimedia: capture and playback at the mode's rate
// (8000 or 11025 Hz, mono, 16-bit) on the sound server's default devices.
// It lives on the window's thread; device notifications arrive there and the
// engine posts its messages to the target from there.
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>

#include <array>
#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

#include "vek/crp2/audioengine.hpp"
#include "vek/crp2/blockcoder.hpp"

namespace vek::crp2 {
class TimeStretch;
}

class QAudioSource;
class QAudioSink;
class QIODevice;
class QProcess;
class QTimer;

namespace vek::crp2 {

// The sound server's default sink and source names, kept at hand: asking the
// server ("pactl get-default-sink") costs a process start, which Play must
// not wait for. They are asked once at start and again whenever the server
// reports a change of its defaults.
class ServerDefaults : public QObject {
    Q_OBJECT
public:
    explicit ServerDefaults(QObject* parent = nullptr);
    ~ServerDefaults() override;
    QString sink();
    QString source();
    // Asks the server again; the answers replace the names when they come.
    void refresh();
    // The server's change reports are being followed.
    bool watching() const;

private:
    struct Ask {
        const char* what = "";
        QString name;
        bool known = false;
        bool again = false;           // ask once more when the answer comes
        QProcess* process = nullptr;  // the question under way
    };
    QString name(Ask& a);
    void watch();
    Ask m_ask[2];
    QProcess* m_watch = nullptr;
};

class QtAudioEngine : public QObject, public AudioEngine {
    Q_OBJECT
public:
    explicit QtAudioEngine(QObject* parent = nullptr);
    ~QtAudioEngine() override;

    int preWaveIn(MessageTarget& target, std::uint8_t mode) override;
    const std::uint8_t* getInDataPtr(Header header, std::uint8_t mode, int zero) override;
    const std::int16_t* getInDataPtrOnly(Header header) override;
    void postWaveIn(std::uint8_t mode) override;
    int preWaveOut(MessageTarget& target, std::uint8_t mode, int effect, int level) override;
    std::int16_t* getOutDataPtr(Header header, std::uint8_t mode, const std::uint8_t* block, int tag) override;
    void effect(std::int16_t* samples) override;
    void postWaveOut(std::uint8_t mode) override;
    double setPlaybackSpeed(double speed) override;
    bool inputFailed() const override { return m_inFailed; }
    bool outputFailed() const override { return m_sinkFailed; }

    // Output buffer of the sound server in milliseconds (the latency of Play).
    static constexpr int kSinkBufferMs = 120;
    // Capture buffer of the sound server in milliseconds.
    static constexpr int kSourceBufferMs = 100;
    // Captured blocks kept for the window: a window that falls up to this
    // many blocks behind still gets every one.
    static constexpr int kInSlots = 64;
    // Output blocks in flight: one being played, one waiting.
    static constexpr int kOutSlots = 2;
    // A device that takes or gives nothing for this long has failed.
    static constexpr int kStallMs = 2000;

    // Counts for measurements: output found nothing queued while playing.
    int underruns() const { return m_underruns; }
    std::uint64_t capturedBlocks() const { return m_capturedBlocks; }

private:
    struct InSlot {
        std::array<std::uint8_t, kAdpcmBlockBytes> data{};
        std::array<std::int16_t, kSpBlockSamples> pcm{};
    };
    struct OutSlot {
        std::array<std::int16_t, kSpBlockSamples> pcm{};
        // What goes to the device: pcm itself at speed 1.0, else the
        // stretcher's output for this block.
        std::vector<std::int16_t> stretched;
        const std::int16_t* play = nullptr;
        std::size_t playSamples = 0;
        // The block was all zero bytes: the transport's end of the data.
        bool endOfData = false;
    };

    void onCaptureReady();
    void deliverBlock();
    void captureFailed();
    void playbackFailed();
    void startWatchdog();
    void checkDevices();
    void feedOutput();
    void retireSink();

    // Headers carry the playback's session number above the slot index, so
    // that a header of an earlier playback never reaches a slot of this one.
    // Capture headers carry it too, but only their slot counts: a recording
    // started or ended meanwhile leaves the playback's headers valid.
    Header makeHeader(int slot) const { return (static_cast<Header>(m_session) << 8) | static_cast<Header>(slot); }
    bool current(Header h) const { return (h >> 8) == m_session; }

    ServerDefaults* m_defaults;
    BlockCoder m_inCoder, m_outCoder;
    MessageTarget* m_inTarget = nullptr;
    MessageTarget* m_outTarget = nullptr;
    std::uint8_t m_inMode = kModeSP, m_outMode = kModeSP;
    std::uint32_t m_session = 1;

    QAudioSource* m_source = nullptr;
    QPointer<QIODevice> m_sourceIo;  // Qt deletes it when the device fails
    std::vector<std::int16_t> m_pending;  // samples of the block being filled
    std::size_t m_pendingBytes = 0;
    std::unique_ptr<InSlot[]> m_in;
    int m_inNext = 0;
    std::uint64_t m_capturedBlocks = 0;
    bool m_inFailed = false;
    QElapsedTimer m_inClock;  // since the source last gave data
    QTimer* m_watchdog = nullptr;

    QAudioSink* m_sink = nullptr;
    QPointer<QIODevice> m_sinkIo;
    QTimer* m_feedTimer = nullptr;
    std::unique_ptr<OutSlot[]> m_out;
    std::deque<int> m_ready;        // decoded blocks waiting for the device, in order
    std::size_t m_frontOffset = 0;  // bytes of m_ready.front() already written
    OutSlot m_scratch;              // for a header of an earlier session
    bool m_started = false;
    bool m_sinkFailed = false;
    QElapsedTimer m_outClock;  // since the sink last took data
    int m_underruns = 0;
    // Playback speed: the stretcher between the effect and the device.
    std::unique_ptr<TimeStretch> m_stretch;
    double m_speed = 1.0;
};

// The server's default device names ("pactl get-default-source" and
// "get-default-sink"); empty when there is no such tool or server.
QString defaultSourceName();
QString defaultSinkName();

}  // namespace vek::crp2
