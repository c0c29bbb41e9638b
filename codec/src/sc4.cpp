// SC4 container: the sector layer, the ADPCM stream of group headers and
// frame slots, and the two conversions to and from plain frame streams.
// SPDX-License-Identifier: GPL-3.0-or-later
#include "vek/codec/sc4.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "vek/codec/adpcm.hpp"
#include "vek/checked.hpp"

namespace vek {

const std::uint8_t kSpSectorTag[kSpTagBytes] = {'d', 'm', 'r', '1', 'd', 'a', 't', 'a', 0xF4, 0x01};

RecordingMode detectMode(const std::uint8_t* head, std::size_t n) {
    if (!head || n < 5) return RecordingMode::Unknown;
    static const std::uint8_t sp[5] = {'d', 'm', 'r', '1', 'd'};
    static const std::uint8_t hq[5] = {0x00, 0x00, 0x01, 0x1B, 0x1D};
    static const std::uint8_t shq[5] = {0x00, 0x00, 0x01, 0x1B, 0x1A};
    if (std::memcmp(head, sp, 5) == 0) return RecordingMode::SP;
    if (std::memcmp(head, hq, 5) == 0) return RecordingMode::HQ;
    if (std::memcmp(head, shq, 5) == 0) return RecordingMode::SHQ;
    return RecordingMode::Unknown;
}

unsigned sampleRateOf(RecordingMode mode) {
    switch (mode) {
        case RecordingMode::SP:
        case RecordingMode::HQ: return 8000;
        case RecordingMode::SHQ: return 11025;
        default: return 0;
    }
}

const char* modeName(RecordingMode mode) {
    switch (mode) {
        case RecordingMode::SP: return "SP";
        case RecordingMode::HQ: return "HQ";
        case RecordingMode::SHQ: return "SHQ";
        default: return "";
    }
}

std::uint64_t durationSeconds(RecordingMode mode, std::uint64_t size) {
    double seconds = 0.0;
    if (mode == RecordingMode::SP) {
        seconds = static_cast<double>(size) / 1024.0;
    } else if (mode == RecordingMode::HQ || mode == RecordingMode::SHQ) {
        std::uint64_t a = size - (size / kSectorBytes) * 2;
        a -= (a / kGroupBytes) * kGroupHeaderBytes;
        a -= a / kFrameSlotBytes;
        seconds = static_cast<double>(a) / (mode == RecordingMode::HQ ? 4000.0 : 5512.5);
    }
    return static_cast<std::uint64_t>(std::nearbyint(seconds));  // default rounding: half to even
}

std::string formatDuration(RecordingMode mode, std::uint64_t size) {
    const std::uint64_t s = durationSeconds(mode, size);
    char buf[48];
    std::snprintf(buf, sizeof buf, " [%02llu:%02llu:%02llu]", static_cast<unsigned long long>(s / 3600),
                  static_cast<unsigned long long>(s / 60 % 60), static_cast<unsigned long long>(s % 60));
    return buf;
}

namespace {

constexpr std::size_t kWriterBatchFrames = 50;  // at most 1450 input bytes per read
constexpr std::size_t kPadFrames = 20;          // enough zero frames to fill any sector
constexpr std::size_t kReaderChunk = kGroupBytes;      // 3005 stream bytes
constexpr std::size_t kSearchBytes = 4096;              // where a start pattern may lie

// Emits group headers, frame bytes and sync bytes into a bounded buffer; the
// slot counter runs on across batches.
class StreamEmitter {
public:
    explicit StreamEmitter(bool shq) : m_header{0x00, 0x00, 0x01, 0x1B, static_cast<std::uint8_t>(shq ? 0x1A : 0x1D)} {}

    void frame(const std::uint8_t* bytes) {
        if (m_slot % kSlotsPerGroup == 0) put(m_header.data(), m_header.size());
        if (bytes) {
            put(bytes, kAdpcmFrameBytes);
        } else {
            VEK_CHECK_RANGE(m_buf.data() + m_len, kAdpcmFrameBytes, m_buf.data(), m_buf.size());
            std::memset(m_buf.data() + m_len, 0, kAdpcmFrameBytes);
            m_len += kAdpcmFrameBytes;
        }
        const std::uint8_t sync = 0x55;
        put(&sync, 1);
        ++m_slot;
    }
    const std::uint8_t* data() const { return m_buf.data(); }
    std::size_t size() const { return m_len; }
    void clear() { m_len = 0; }

private:
    void put(const std::uint8_t* p, std::size_t n) {
        VEK_CHECK_RANGE(m_buf.data() + m_len, n, m_buf.data(), m_buf.size());
        std::memcpy(m_buf.data() + m_len, p, n);
        m_len += n;
    }
    std::array<std::uint8_t, 5> m_header;
    // 50 slots plus one group header (a batch crosses at most one multiple of 100).
    std::array<std::uint8_t, kWriterBatchFrames * kFrameSlotBytes + 2 * kGroupHeaderBytes> m_buf{};
    std::size_t m_len = 0;
    std::uint64_t m_slot = 0;
};

// Copies stream bytes into sectors, adding the 0x55 0xAA trailer whenever a
// payload is full, and writes the result with one call.
class SectorWriter {
public:
    explicit SectorWriter(ByteSink& out) : m_out(out) {}

    bool write(const std::uint8_t* p, std::size_t n) {
        std::size_t len = 0;
        std::uint64_t q = m_pos;
        while (n > 0) {
            const std::size_t room = kSectorPayload - static_cast<std::size_t>(q % kSectorBytes);
            const std::size_t k = std::min(room, n);
            VEK_CHECK_RANGE(m_buf.data() + len, k + (k == room ? 2 : 0), m_buf.data(), m_buf.size());
            std::memcpy(m_buf.data() + len, p, k);
            len += k;
            q += k;
            p += k;
            n -= k;
            if (k == room) {
                m_buf[len++] = 0x55;
                m_buf[len++] = 0xAA;
                q += 2;
            }
        }
        if (len == 0) return true;
        if (m_out.write(m_buf.data(), len) != len) return false;
        m_pos = q;
        return true;
    }
    std::uint64_t position() const { return m_pos; }

private:
    ByteSink& m_out;
    std::uint64_t m_pos = 0;
    // A batch of 1510 stream bytes crosses at most four trailers.
    std::array<std::uint8_t, 1510 + 2 * 4 + 16> m_buf{};
};

// Reads stream bytes from an ADPCM-mode file, dropping the trailers by
// position. The position is a file offset whose offset mod 512 stays below 510.
class SectorReader {
public:
    SectorReader(ByteSource& in, std::uint64_t fileSize) : m_in(in), m_size(fileSize) {}

    void setPosition(std::uint64_t q) { m_pos = q; }

    // Reads enough file bytes to cover `want` stream bytes (bounded by the end
    // of the file); returns the number of stream bytes kept, or -1 on a short read.
    long read(std::size_t want, std::uint8_t* dst) {
        const std::size_t r = static_cast<std::size_t>(m_pos % kSectorBytes);
        std::uint64_t n = want + 2 * ((r + want) / kSectorPayload);
        const std::uint64_t left = m_pos < m_size ? m_size - m_pos : 0;
        if (n > left) n = left;
        if (n > m_buf.size()) return -1;  // cannot happen for the sizes used here
        if (n && m_in.read(m_buf.data(), static_cast<std::size_t>(n)) != n) return -1;
        // Keep the payload runs, drop the bytes at sector offsets 510 and 511.
        std::size_t kept = 0;
        for (std::size_t i = 0; i < n;) {
            const std::size_t off = static_cast<std::size_t>((m_pos + i) % kSectorBytes);
            if (off >= kSectorPayload) {
                i += kSectorBytes - off;
                continue;
            }
            const std::size_t run = std::min<std::size_t>(kSectorPayload - off, static_cast<std::size_t>(n) - i);
            VEK_CHECK_RANGE(m_buf.data() + i, run, m_buf.data(), n);
            VEK_CHECK_INDEX(kept + run, want + 1);
            std::memcpy(dst + kept, m_buf.data() + i, run);
            kept += run;
            i += run;
        }
        m_pos += n;
        return static_cast<long>(kept);
    }

private:
    ByteSource& m_in;
    std::uint64_t m_size;
    std::uint64_t m_pos = 0;
    std::array<std::uint8_t, kSearchBytes + 2 * (kSearchBytes / kSectorPayload + 1)> m_buf{};
};

constexpr std::uint8_t kStartPatterns[7][3] = {
    {0x01, 0x1B, 0x1E}, {0x01, 0x1B, 0x1D}, {0x01, 0x1B, 0x1B}, {0x01, 0x1B, 0x1A},
    {0x02, 0xB2, 0x2B}, {0x02, 0xB2, 0x2C}, {0x02, 0xB2, 0x2E},
};

}  // namespace

bool adpcmToSc4(ByteSource& in, ByteSink& out, bool shq) {
    const std::int64_t length = in.size();
    if (length < 0) return false;
    StreamEmitter emit(shq);
    SectorWriter writer(out);
    std::uint64_t remaining = static_cast<std::uint64_t>(length);
    std::array<std::uint8_t, kWriterBatchFrames * kAdpcmFrameBytes> batch{};

    while (remaining >= kAdpcmFrameBytes) {
        const std::size_t frames = static_cast<std::size_t>(std::min<std::uint64_t>(remaining / kAdpcmFrameBytes, kWriterBatchFrames));
        const std::size_t want = frames * kAdpcmFrameBytes;
        if (in.read(batch.data(), want) != want) return false;
        remaining -= want;
        emit.clear();
        for (std::size_t f = 0; f < frames; ++f) emit.frame(batch.data() + f * kAdpcmFrameBytes);
        if (!writer.write(emit.data(), emit.size())) return false;
    }

    // Fill the last sector with the continuation of the stream: zero frames
    // with their sync bytes and group headers, cut at the sector's end.
    const std::size_t used = static_cast<std::size_t>(writer.position() % kSectorBytes);
    if (used == 0) return true;
    emit.clear();
    for (std::size_t f = 0; f < kPadFrames; ++f) emit.frame(nullptr);
    return writer.write(emit.data(), kSectorPayload - used);
}

bool sc4ToAdpcm(ByteSource& in, ByteSink& out) {
    const std::int64_t length = in.size();
    if (length < 0 || !in.seek(0)) return false;
    SectorReader reader(in, static_cast<std::uint64_t>(length));

    std::array<std::uint8_t, kSearchBytes> head{};
    const long got = reader.read(kSearchBytes, head.data());
    if (got < 3) return false;
    long hit = -1;
    for (long p = 0; p + 3 <= got && hit < 0; ++p) {
        for (const auto& pat : kStartPatterns) {
            if (head[p] == pat[0] && head[p + 1] == pat[1] && head[p + 2] == pat[2]) {
                hit = p;
                break;
            }
        }
    }
    if (hit < 0) return false;

    const std::uint64_t start = streamToFileOffset(static_cast<std::uint64_t>(hit));
    if (!in.seek(start)) return false;
    reader.setPosition(start);

    // One group per read: the three pattern bytes of its header, 100 slots
    // and the first two bytes of the next header.
    std::array<std::uint8_t, kReaderChunk> chunk{};
    std::array<std::uint8_t, kSlotsPerGroup * kAdpcmFrameBytes> frames{};
    for (;;) {
        const long count = reader.read(kReaderChunk, chunk.data());
        if (count < 0) return false;
        if (count < 3) return true;
        const std::size_t k = static_cast<std::size_t>(count - 3) / kFrameSlotBytes;
        for (std::size_t i = 0; i < k; ++i) {
            // Only bytes this read delivered, never stale ones of the last group.
            VEK_CHECK_RANGE(chunk.data() + 3 + i * kFrameSlotBytes, kAdpcmFrameBytes, chunk.data(), count);
            VEK_CHECK_RANGE(frames.data() + i * kAdpcmFrameBytes, kAdpcmFrameBytes, frames.data(), frames.size());
            std::memcpy(frames.data() + i * kAdpcmFrameBytes, chunk.data() + 3 + i * kFrameSlotBytes, kAdpcmFrameBytes);
        }
        const std::size_t bytes = k * kAdpcmFrameBytes;
        if (bytes && out.write(frames.data(), bytes) != bytes) return false;
        if (k != kSlotsPerGroup) return true;
    }
}

}  // namespace vek
