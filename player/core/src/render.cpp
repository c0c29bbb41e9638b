// SPDX-License-Identifier: GPL-3.0-or-later
#include "vek/player/render.hpp"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <deque>

#include "vek/codec/bytestream.hpp"

namespace vek::player {

std::optional<std::vector<std::uint8_t>> readFileBytes(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return std::nullopt;
    std::vector<std::uint8_t> bytes;
    std::uint8_t chunk[65536];
    std::size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) bytes.insert(bytes.end(), chunk, chunk + n);
    const bool failed = std::ferror(f) != 0;
    std::fclose(f);
    if (failed) return std::nullopt;
    return bytes;
}

bool MemoryPlayerFile::seek(std::uint64_t offset) {
    // Like a file: seeking past the end succeeds and later reads return 0.
    m_pos = offset > m_bytes.size() ? m_bytes.size() : static_cast<std::size_t>(offset);
    return true;
}

std::size_t MemoryPlayerFile::read(void* dst, std::size_t n) {
    const std::size_t k = std::min(n, m_bytes.size() - m_pos);
    if (k) std::memcpy(dst, m_bytes.data() + m_pos, k);
    m_pos += k;
    return k;
}

bool StdioPlayerFile::open() {
    close();
    m_file = std::fopen(m_path.c_str(), "rb");
    return m_file != nullptr;
}

void StdioPlayerFile::close() {
    if (m_file) std::fclose(static_cast<std::FILE*>(m_file));
    m_file = nullptr;
}

namespace {

// 64-bit offsets: long is 32 bits on 64-bit Windows and would wrap at 2 GiB.
std::int64_t tell64(std::FILE* f) {
#if defined(_WIN32)
    return _ftelli64(f);
#else
    return static_cast<std::int64_t>(ftello(f));
#endif
}

bool seek64(std::FILE* f, std::int64_t at, int whence) {
#if defined(_WIN32)
    return _fseeki64(f, at, whence) == 0;
#else
    return fseeko(f, static_cast<off_t>(at), whence) == 0;
#endif
}

std::int64_t size64(std::FILE* f) {
    const std::int64_t here = tell64(f);
    if (here < 0 || !seek64(f, 0, SEEK_END)) return -1;
    const std::int64_t end = tell64(f);
    seek64(f, here, SEEK_SET);
    return end;
}

}  // namespace

std::int64_t StdioPlayerFile::size() {
    auto* f = static_cast<std::FILE*>(m_file);
    return f ? size64(f) : -1;
}

bool StdioPlayerFile::seek(std::uint64_t offset) {
    return m_file && offset <= static_cast<std::uint64_t>(INT64_MAX) &&
           seek64(static_cast<std::FILE*>(m_file), static_cast<std::int64_t>(offset), SEEK_SET);
}

bool PrefixedFile::open() {
    close();
    m_file = std::fopen(m_path.c_str(), "rb");
    m_pos = 0;
    m_failed = false;
    m_fileSize = m_file ? size64(m_file) : -1;
    return m_file != nullptr && m_fileSize >= 0;
}

void PrefixedFile::close() {
    if (m_file) std::fclose(m_file);
    m_file = nullptr;
}

std::int64_t PrefixedFile::size() {
    return m_fileSize < 0 ? -1 : static_cast<std::int64_t>(m_prefix.size()) + m_fileSize;
}

bool PrefixedFile::seek(std::uint64_t offset) {
    if (!m_file || offset > static_cast<std::uint64_t>(INT64_MAX)) return false;
    m_pos = offset;
    return true;
}

std::size_t PrefixedFile::read(void* dst, std::size_t n) {
    if (!m_file) return 0;
    auto* out = static_cast<std::uint8_t*>(dst);
    std::size_t done = 0;
    if (m_pos < m_prefix.size()) {
        const std::size_t k = std::min(n, m_prefix.size() - static_cast<std::size_t>(m_pos));
        std::memcpy(out, m_prefix.data() + m_pos, k);
        done = k;
        m_pos += k;
    }
    if (done < n) {
        const std::uint64_t at = m_pos - m_prefix.size();
        if (!seek64(m_file, static_cast<std::int64_t>(at), SEEK_SET)) return done;
        const std::size_t k = std::fread(out + done, 1, n - done, m_file);
        if (std::ferror(m_file)) m_failed = true;
        done += k;
        m_pos += k;
    }
    return done;
}

std::size_t StdioPlayerFile::read(void* dst, std::size_t n) {
    return m_file ? std::fread(dst, 1, n, static_cast<std::FILE*>(m_file)) : 0;
}

const PlayerLayout& layoutForMode(std::uint8_t mode) {
    if (mode == 4) return kSpLayout;
    return mode == 6 ? kShqLayout : kHqLayout;
}

namespace {

class CollectingDevice final : public SoundDevice {
public:
    struct Buffer {
        int index;
        std::vector<std::int16_t> samples;
    };
    bool open(unsigned) override { return true; }
    void queue(int index, const std::int16_t* s, std::size_t n) override {
        queued.push_back({index, std::vector<std::int16_t>(s, s + n)});
    }
    void reset() override { queued.clear(); }
    void close() override {}
    std::deque<Buffer> queued;
};

}  // namespace

bool renderPlaybackTo(const PlayerLayout& layout, PlayerFile& file, BlockDecoder& decoder, VoiceEffect& effect,
                      const SampleSink& sink, std::optional<EffectSetting> override) {
    CollectingDevice device;
    PlayerCore core(layout, file, device, decoder, effect);
    core.loadHeader();
    if (override) core.setEffect(override->effect, override->levelByte);
    if (core.play() != PlayerCore::StartResult::Started) return true;
    int silent = 2;
    // The device plays its queue in order; each finished buffer goes back to
    // the core, which refills and queues it, until the end of the data. The
    // queue never holds more than the core's two buffers.
    while (core.playing() && !device.queued.empty()) {
        CollectingDevice::Buffer done = std::move(device.queued.front());
        device.queued.pop_front();
        if (silent > 0) {
            --silent;
        } else if (!sink(done.samples.data(), done.samples.size())) {
            core.stop();
            return false;
        }
        core.bufferDone(done.index);
    }
    return true;
}

std::vector<std::int16_t> renderPlayback(const PlayerLayout& layout, PlayerFile& file, BlockDecoder& decoder,
                                         VoiceEffect& effect, std::optional<EffectSetting> override) {
    std::vector<std::int16_t> out;
    renderPlaybackTo(
        layout, file, decoder, effect,
        [&out](const std::int16_t* s, std::size_t n) {
            out.insert(out.end(), s, s + n);
            return true;
        },
        override);
    return out;
}

std::optional<RenderInput> selfPlayingInput(std::vector<std::uint8_t> exe) {
    for (std::uint64_t at : {kAdpcmStubSize, kSpStubSize}) {
        if (exe.size() >= at + kHeaderBytes && PayloadHeader::hasTag(exe.data() + at)) {
            const std::uint8_t mode = exe[at + 8];
            RenderInput in;
            // The SP player plays whatever follows its header as SP sectors;
            // the ADPCM player picks the rate from the mode byte.
            in.layout = at == kSpStubSize ? kSpLayout : layoutForMode(mode == 6 ? 6 : 5);
            in.mode = at == kSpStubSize ? RecordingMode::SP : (mode == 6 ? RecordingMode::SHQ : RecordingMode::HQ);
            in.file = std::move(exe);
            return in;
        }
    }
    return std::nullopt;
}

std::optional<RenderInput> sc4Input(const std::vector<std::uint8_t>& sc4, std::uint8_t effect, std::uint8_t level) {
    const RecordingMode mode = detectMode(sc4.data(), sc4.size());
    if (mode == RecordingMode::Unknown) return std::nullopt;
    RenderInput in;
    in.mode = mode;
    PayloadHeader h;
    h.mode = static_cast<std::uint8_t>(mode);
    h.effect = effect;
    h.level = level;
    // The virtual file is the header and the recording, with no stub in front.
    in.file.resize(kHeaderBytes);
    h.write(in.file.data());
    if (mode == RecordingMode::SP) {
        in.layout = kSpLayout;
        in.file.insert(in.file.end(), sc4.begin(), sc4.end());
    } else {
        MemorySource src(sc4.data(), sc4.size());
        MemorySink frames;
        if (!sc4ToAdpcm(src, frames)) return std::nullopt;
        in.layout = layoutForMode(static_cast<std::uint8_t>(mode));
        in.file.insert(in.file.end(), frames.bytes().begin(), frames.bytes().end());
    }
    in.layout.stubSize = 0;
    return in;
}

}  // namespace vek::player
