// The audio engine on Qt Multimedia: capture and playback at the mode's rate
// (8000 or 11025 Hz, mono, 16-bit) on the sound server's default devices.
// It lives on the window's thread; device notifications arrive there and the
// engine posts its messages to the target from there.
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

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
class QTimer;

namespace vek::crp2 {

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

    // Output buffer of the sound server in milliseconds (the latency of Play).
    static constexpr int kSinkBufferMs = 120;
    // Capture buffer of the sound server in milliseconds.
    static constexpr int kSourceBufferMs = 100;
    // Captured blocks kept for the window: a window that falls up to this
    // many blocks behind still gets every one.
    static constexpr int kInSlots = 64;
    // Output blocks in flight: one being played, one waiting.
    static constexpr int kOutSlots = 2;

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
    void startSilence();
    void feedOutput();
    void retireSink();

    // Headers carry the session number above the slot index, so that a
    // header of an earlier session never reaches a slot of this one.
    Header makeHeader(int slot) const { return (static_cast<Header>(m_session) << 8) | static_cast<Header>(slot); }
    bool current(Header h) const { return (h >> 8) == m_session; }

    BlockCoder m_inCoder, m_outCoder;
    MessageTarget* m_inTarget = nullptr;
    MessageTarget* m_outTarget = nullptr;
    std::uint8_t m_inMode = kModeSP, m_outMode = kModeSP;
    std::uint32_t m_session = 1;

    QAudioSource* m_source = nullptr;
    QIODevice* m_sourceIo = nullptr;
    std::vector<std::int16_t> m_pending;  // samples of the block being filled
    std::size_t m_pendingBytes = 0;
    std::unique_ptr<InSlot[]> m_in;
    int m_inNext = 0;
    std::uint64_t m_capturedBlocks = 0;
    QTimer* m_silenceTimer = nullptr;

    QAudioSink* m_sink = nullptr;
    QIODevice* m_sinkIo = nullptr;
    QTimer* m_feedTimer = nullptr;
    std::unique_ptr<OutSlot[]> m_out;
    std::deque<int> m_ready;        // decoded blocks waiting for the device, in order
    std::size_t m_frontOffset = 0;  // bytes of m_ready.front() already written
    OutSlot m_scratch;              // for a header of an earlier session
    bool m_started = false;
    bool m_sinkFailed = false;
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
