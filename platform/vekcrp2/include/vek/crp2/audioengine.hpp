// The recorder's audio engine as the transport sees it: capture in one of the
// three voice modes with every block already encoded, and playback fed one
// encoded block per request, decoded and given the voice effect inside the
// engine. The engine reports each captured block (MM_WIM_DATA) and each
// request for the next output block (MM_WOM_DONE) by posting a message to the
// window that started it; the window's thread handles the message.
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <stdexcept>

namespace vek::crp2 {

// Voice mode codes: the values passed to the engine and stored in files.
inline constexpr std::uint8_t kModeSP = 4;
inline constexpr std::uint8_t kModeHQ = 5;
inline constexpr std::uint8_t kModeSHQ = 6;

// Engine messages.
inline constexpr std::uint32_t kMmWomDone = 0x3BD;  // the next output block is wanted
inline constexpr std::uint32_t kMmWimData = 0x3C0;  // one captured block is ready

// Results of PreWaveIn and PreWaveOut.
inline constexpr int kOk = 0;
inline constexpr int kDeviceBusy = 5;  // the device cannot be opened
inline constexpr int kNoMemory = 6;    // not enough memory

// Block sizes: one SP sector (0.5 s) or 68 ADPCM frames of 29 bytes.
inline constexpr int kSpBlockBytes = 512;
inline constexpr int kAdpcmBlockBytes = 1972;
inline constexpr int kSpBlockSamples = 4000;
inline constexpr int kAdpcmBlockSamples = 3944;
// The constant passed with every output block; the same value stands in
// every self-playing file's header.
inline constexpr int kOutBlockTag = 30;

inline constexpr int blockBytesOf(std::uint8_t mode) { return mode == kModeSP ? kSpBlockBytes : kAdpcmBlockBytes; }
inline constexpr int blockSamplesOf(std::uint8_t mode) {
    return mode == kModeSP ? kSpBlockSamples : kAdpcmBlockSamples;
}
inline constexpr int sampleRateOf(std::uint8_t mode) { return mode == kModeSHQ ? 11025 : 8000; }

// The opaque handle of one engine buffer (a message's lParam); the program
// only hands it back.
using Header = std::uintptr_t;

// Where the engine's messages go: the window that started the engine. post()
// queues the message for the window's thread and returns at once.
class MessageTarget {
public:
    virtual ~MessageTarget() = default;
    virtual void post(std::uint32_t message, Header header) = 0;
};

// Raised by getOutDataPtr for a block that cannot be decoded.
class DecodeError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class AudioEngine {
public:
    virtual ~AudioEngine() = default;

    // Capture in `mode` and post kMmWimData once per captured block until
    // postWaveIn. Result kOk, kDeviceBusy, kNoMemory or another failure.
    virtual int preWaveIn(MessageTarget& target, std::uint8_t mode) = 0;
    // The block of that message encoded, exactly blockBytesOf(mode) bytes.
    virtual const std::uint8_t* getInDataPtr(Header header, std::uint8_t mode, int zero) = 0;
    // The same block's 16-bit PCM (blockSamplesOf(mode) samples), or null.
    virtual const std::int16_t* getInDataPtrOnly(Header header) = 0;
    virtual void postWaveIn(std::uint8_t mode) = 0;

    // Play in `mode` with voice effect `effect` (0..16) at wet weight `level`
    // (0..127); post kMmWomDone each time the next block is wanted, beginning
    // without being fed first, until postWaveOut.
    virtual int preWaveOut(MessageTarget& target, std::uint8_t mode, int effect, int level) = 0;
    // Decodes blockBytesOf(mode) bytes at `block` into the buffer of
    // `header` and returns its PCM; throws DecodeError for data that cannot
    // be decoded. A block of zero bytes plays as silence.
    virtual std::int16_t* getOutDataPtr(Header header, std::uint8_t mode, const std::uint8_t* block, int tag) = 0;
    // Applies the effect chosen at preWaveOut to a block returned by
    // getOutDataPtr, in place; the block is then the engine's to play.
    virtual void effect(std::int16_t* samples) = 0;
    virtual void postWaveOut(std::uint8_t mode) = 0;

    // Playback speed without a change of pitch, 0.5..2.0 (1.0: as recorded).
    // Applies from the next block, also to a playback under way, and stays
    // for later ones. The result is the speed the engine plays at: 1.0 for
    // an engine without a time stretcher.
    virtual double setPlaybackSpeed(double speed) {
        (void)speed;
        return 1.0;
    }
    // The device of the running capture or playback went away (unplugged, the
    // sound server gone, or silent for too long). Capture then posts the block
    // it was filling, padded with silence, as its last; playback asks for its
    // blocks at once without playing them. The program learns of it when it
    // handles that message, and ends the recording or the playback.
    virtual bool inputFailed() const { return false; }
    virtual bool outputFailed() const { return false; }
};

}  // namespace vek::crp2
