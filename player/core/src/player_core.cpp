// Player core: the self-playing player's behaviour, free of OS calls.
// SPDX-License-Identifier: GPL-3.0-or-later
#include "vek/player/player_core.hpp"

#include <cstring>
#include <iterator>

#include "vek/checked.hpp"

namespace vek::player {

void PayloadHeader::write(std::uint8_t out[kHeaderBytes]) const {
    std::memcpy(out, kHeaderTag, sizeof kHeaderTag);
    out[8] = mode;
    out[9] = kHeaderConstant;
    out[10] = effect;
    out[11] = level;
}

PayloadHeader PayloadHeader::read(const std::uint8_t in[kHeaderBytes]) {
    PayloadHeader h;
    h.mode = in[8];
    h.effect = in[10];
    h.level = in[11];
    return h;
}

bool PayloadHeader::hasTag(const std::uint8_t in[kHeaderBytes]) { return std::memcmp(in, kHeaderTag, 7) == 0; }

char* formatClock(char* out, std::uint32_t seconds) {
    const std::uint32_t parts[3] = {seconds / 3600, seconds / 60 % 60, seconds % 60};
    for (int i = 0; i < 3; ++i) {
        if (i) *out++ = ':';
        char digits[12];
        int n = 0;
        std::uint32_t v = parts[i];
        do {
            digits[n++] = static_cast<char>('0' + v % 10);
            v /= 10;
        } while (v);
        if (n < 2) digits[n++] = '0';
        while (n) *out++ = digits[--n];
    }
    return out;
}

PlayerCore::PlayerCore(const PlayerLayout& layout, PlayerFile& file, SoundDevice& device, BlockDecoder& decoder,
                       VoiceEffect& effect)
    : m_layout(layout), m_file(file), m_device(device), m_decoder(decoder), m_fx(effect) {
    setLayout(layout);
    std::memset(m_buffers, 0, sizeof m_buffers);
}

void PlayerCore::setLayout(const PlayerLayout& layout) {
    if (m_playing) return;
    m_layout = layout;
    // A layout must fit the fixed buffers; clamp rather than overrun.
    if (m_layout.blockBytes > kMaxBlockBytes || m_layout.blockBytes == 0) m_layout.blockBytes = kMaxBlockBytes;
    if (m_layout.blockSamples > kMaxBlockSamples || m_layout.blockSamples == 0) {
        m_layout.blockSamples = kMaxBlockSamples;
    }
    if (m_layout.sampleRate == 0) m_layout.sampleRate = 8000;
    if (!(m_layout.storedBytesPerSecond > 0)) m_layout.storedBytesPerSecond = 1024.0;
}

PlayerCore::~PlayerCore() {
    if (m_playing) stop();
}

void PlayerCore::loadHeader() {
    std::uint8_t raw[kHeaderBytes] = {};
    std::int64_t size = -1;
    if (m_file.open()) {
        size = m_file.size();
        if (m_file.seek(m_layout.stubSize)) m_file.read(raw, sizeof raw);
        m_file.close();
    }
    m_header = PayloadHeader::read(raw);
    m_effect = m_header.effect;
    m_level = m_header.level;
    // Total time from the stored bytes behind the header, rounded half up. A
    // file shorter than stub and header has no recording: zero, not negative.
    const double stored = static_cast<double>(size) - static_cast<double>(m_layout.stubSize + kHeaderBytes);
    const double seconds = stored / m_layout.storedBytesPerSecond + 0.5;
    // A size beyond any real file (over 4 TB of SP data) saturates rather
    // than converting an out-of-range double.
    m_total = !(seconds > 0) ? 0 : seconds >= 4294967295.0 ? 4294967295u : static_cast<std::uint32_t>(seconds);
    m_shownElapsed = 0;
}

void PlayerCore::setEffect(int effect, int levelByte) {
    m_effect = effect;
    m_level = levelByte;
}

std::uint32_t PlayerCore::elapsedFor(std::uint32_t blocks) const {
    // blocks x blockSamples / rate + 0.5, truncated; for SP (counter + 1) / 2.
    const std::uint64_t rate = m_layout.sampleRate;
    return static_cast<std::uint32_t>((2 * static_cast<std::uint64_t>(blocks) * m_layout.blockSamples + rate) /
                                      (2 * rate));
}

std::size_t PlayerCore::title(char* out) const {
    static const char head[] = "Player [";
    char* p = out;
    std::memcpy(p, head, sizeof head - 1);
    p += sizeof head - 1;
    p = formatClock(p, m_shownElapsed);
    std::memcpy(p, "]-[", 3);
    p = formatClock(p + 3, m_total);
    *p++ = ']';
    *p = 0;
    return static_cast<std::size_t>(p - out);
}

PlayerCore::StartResult PlayerCore::play() {
    if (m_playing) return StartResult::AlreadyPlaying;
    m_wet = wetLevelFromByte(m_level);
    if (!m_device.open(m_layout.sampleRate)) return StartResult::DeviceFailed;
    m_decoder.reset();
    m_firstBlock = m_layout.decodeFirstBlockTwice;
    std::memset(m_buffers, 0, sizeof m_buffers);
    m_fx.initialize(m_effect);  // numbers outside 1..16 select "off"
    m_playing = true;
    m_device.queue(0, m_buffers[0], m_layout.blockSamples);
    m_device.queue(1, m_buffers[1], m_layout.blockSamples);
    // The recording starts behind two silent buffers, one block before the
    // point where reading stopped.
    m_fileOpen = m_file.open();
    if (m_counter > 0) --m_counter;
    m_reading = m_fileOpen &&
                m_file.seek(m_layout.stubSize + kHeaderBytes + static_cast<std::uint64_t>(m_layout.blockBytes) * m_counter);
    return StartResult::Started;
}

void PlayerCore::stop() {
    if (!m_playing) return;
    m_device.reset();
    m_device.close();
    if (m_fileOpen) m_file.close();
    m_fileOpen = false;
    m_playing = false;
    m_reading = false;
}

void PlayerCore::stopButton() {
    if (m_playing) {
        stop();
    } else {
        m_counter = 0;
        m_shownElapsed = 0;
    }
}

void PlayerCore::bufferDone(int index) {
    // A notice that arrives after a stop (the device returns its buffers on
    // reset) belongs to no running playback.
    if (!m_playing || index < 0 || index > 1) return;
    if (!m_reading) {
        stop();
        return;
    }
    // The block and its samples fit the buffers (which lie side by side in
    // this object), and the file gave no more than was asked.
    VEK_CHECK_INDEX(m_layout.blockBytes, std::size(m_read) + 1);
    VEK_CHECK_INDEX(m_layout.blockSamples, std::size(m_buffers[0]) + 1);
    const std::size_t n = m_file.read(m_read, m_layout.blockBytes);
    VEK_CHECK_INDEX(n, m_layout.blockBytes + 1);
    if (n == 0) {
        // End of data: the other buffer plays out and its notice stops us.
        m_reading = false;
        m_counter = 0;
        return;
    }
    // A short last block: pad with zeros rather than replay stale bytes.
    if (n < m_layout.blockBytes) std::memset(m_read + n, 0, m_layout.blockBytes - n);
    std::int16_t* buf = m_buffers[index];
    std::memset(buf, 0, m_layout.blockSamples * sizeof *buf);
    if (m_firstBlock) {
        m_decoder.decode(m_read, n, buf);
        std::memset(buf, 0, m_layout.blockSamples * sizeof *buf);
        m_firstBlock = false;
    }
    if (!m_decoder.decode(m_read, n, buf)) std::memset(buf, 0, m_layout.blockSamples * sizeof *buf);
    m_fx.apply(buf, m_layout.blockSamples, m_wet);
    m_device.queue(index, buf, m_layout.blockSamples);
    ++m_counter;
    m_shownElapsed = elapsedFor(m_counter);
}

}  // namespace vek::player
