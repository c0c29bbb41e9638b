// The self-playing player without its window: the 12-byte payload header
// behind the stub, the elapsed/total time and the title text, the block
// counter with its rewind and resume rules, the double decode of the first SP
// sector, buffer completion, stop and rewind. It reaches the sound device, its
// own file and the decoder through small interfaces, so the Windows stubs,
// the offline renderer and the tests drive the same code.
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>

#include "vek/effects/voice_effect.hpp"

namespace vek::player {

inline constexpr std::uint64_t kSpStubSize = 78848;     // vekgplay.exe
inline constexpr std::uint64_t kAdpcmStubSize = 51200;  // vekaplay.exe
inline constexpr std::size_t kHeaderBytes = 12;
inline constexpr std::uint8_t kHeaderTag[8] = {'T', 'A', 'R', 'K', 'A', 'V', 'F', 0};
inline constexpr std::uint8_t kHeaderConstant = 30;
inline constexpr std::size_t kMaxBlockBytes = 1972;    // 68 ADPCM frames
inline constexpr std::size_t kMaxBlockSamples = 4000;  // one SP sector

// The 12 bytes behind the stub: tag, mode, 30, effect number, level byte.
struct PayloadHeader {
    std::uint8_t mode = 0;
    std::uint8_t effect = 0;
    std::uint8_t level = kDefaultEffectLevelByte;

    void write(std::uint8_t out[kHeaderBytes]) const;
    // Takes the three fields without checking tag or constant (the player
    // trusts its own layout).
    static PayloadHeader read(const std::uint8_t in[kHeaderBytes]);
    // True when the first seven bytes are "TARKAVF" (what a reader that must
    // tell a self-playing file's kind compares).
    static bool hasTag(const std::uint8_t in[kHeaderBytes]);
};

// How a stub reads and plays its recording.
struct PlayerLayout {
    std::uint64_t stubSize;
    std::size_t blockBytes;    // bytes read per buffer
    std::size_t blockSamples;  // samples per buffer
    unsigned sampleRate;
    double storedBytesPerSecond;  // for the total time
    bool decodeFirstBlockTwice;   // the SP player's first-sector double decode
};

inline constexpr PlayerLayout kSpLayout{kSpStubSize, 512, 4000, 8000, 1024.0, true};
// 68 frames of 29 bytes: 1972 bytes -> 3944 samples per buffer.
inline constexpr PlayerLayout kHqLayout{kAdpcmStubSize, 1972, 3944, 8000, 4000.0, false};
inline constexpr PlayerLayout kShqLayout{kAdpcmStubSize, 1972, 3944, 11025, 5512.5, false};

// The recording's decoder.
class BlockDecoder {
public:
    virtual ~BlockDecoder() = default;
    virtual void reset() = 0;
    // Decodes the `n` bytes at `in` (n <= blockBytes; a short last block has
    // been zero-padded to blockBytes) into blockSamples samples at `out`,
    // which arrives cleared. False when the block is not valid data: the
    // caller then plays silence.
    virtual bool decode(const std::uint8_t* in, std::size_t n, std::int16_t* out) = 0;
};

// The sound device: two buffers circulate; the host tells the core about
// each finished buffer (on the UI thread) through PlayerCore::bufferDone.
class SoundDevice {
public:
    virtual ~SoundDevice() = default;
    virtual bool open(unsigned sampleRate) = 0;
    // Hands buffer `index` (0 or 1) over for playing. The samples stay owned
    // by the core and are not touched until the buffer comes back.
    virtual void queue(int index, const std::int16_t* samples, std::size_t count) = 0;
    // Stops output and returns all buffers; then closes.
    virtual void reset() = 0;
    virtual void close() = 0;
};

// The player's own file.
class PlayerFile {
public:
    virtual ~PlayerFile() = default;
    virtual bool open() = 0;
    virtual void close() = 0;
    virtual std::int64_t size() = 0;  // -1 when unknown
    virtual bool seek(std::uint64_t offset) = 0;
    virtual std::size_t read(void* dst, std::size_t n) = 0;
};

class PlayerCore {
public:
    enum class StartResult { Started, AlreadyPlaying, DeviceFailed };

    PlayerCore(const PlayerLayout& layout, PlayerFile& file, SoundDevice& device, BlockDecoder& decoder,
               VoiceEffect& effect);
    ~PlayerCore();
    PlayerCore(const PlayerCore&) = delete;
    PlayerCore& operator=(const PlayerCore&) = delete;

    // Dialog start: reads the header at the stub size, keeps effect and level
    // and computes the total time. A file without header reads as effect 0,
    // level 0 ... the zeros a short read leaves.
    void loadHeader();
    // Switches to another layout while stopped (the ADPCM stub learns the
    // rate of its recording from the header); ignored while playing.
    void setLayout(const PlayerLayout& layout);
    // Overrides the header's effect settings (vekconv render --effect).
    void setEffect(int effect, int levelByte);

    StartResult play();
    // The Stop button: stops while playing, rewinds to the start otherwise.
    void stopButton();
    // Stop playback (also at destruction while playing). The counter is kept.
    void stop();
    // A queued buffer came back from the device.
    void bufferDone(int index);

    bool playing() const { return m_playing; }
    bool reading() const { return m_reading; }
    std::uint32_t blockCounter() const { return m_counter; }
    std::uint32_t totalSeconds() const { return m_total; }
    std::uint32_t shownElapsedSeconds() const { return m_shownElapsed; }
    int effect() const { return m_effect; }
    int levelByte() const { return m_level; }
    const PayloadHeader& header() const { return m_header; }

    // "Player [HH:MM:SS]-[HH:MM:SS]" into `out` (at least 40 bytes: the hours
    // of a 32-bit second count take up to 7 digits), without
    // the printf family so the stubs stay small. Returns the length.
    std::size_t title(char* out) const;
    // Elapsed seconds after `blocks` buffers read, rounded half up.
    std::uint32_t elapsedFor(std::uint32_t blocks) const;

private:
    PlayerLayout m_layout;
    PlayerFile& m_file;
    SoundDevice& m_device;
    BlockDecoder& m_decoder;
    VoiceEffect& m_fx;

    PayloadHeader m_header;
    int m_effect = 0;
    int m_level = 0;
    std::uint32_t m_total = 0;
    std::uint32_t m_counter = 0;
    std::uint32_t m_shownElapsed = 0;
    bool m_playing = false;
    bool m_reading = false;
    bool m_firstBlock = false;
    bool m_fileOpen = false;
    int m_wet = 0;
    std::uint8_t m_read[kMaxBlockBytes];
    std::int16_t m_buffers[2][kMaxBlockSamples];
};

// Appends "HH:MM:SS" (two digits at least each) to `out`; returns the new end.
char* formatClock(char* out, std::uint32_t seconds);

}  // namespace vek::player
