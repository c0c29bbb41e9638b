// The recording as an MP3 file: the player's rendering into libsndfile's
// MPEG layer III writer.
// SPDX-License-Identifier: GPL-3.0-or-later
#include "vek/recpexe/mp3.hpp"

#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <memory>
#include <vector>

#include "tempadpcm.hpp"
#include "vek/codec/bytestream.hpp"
#include "vek/codec/sc4.hpp"
#include "vek/platform/safefile.hpp"
#include "vek/player/decoders.hpp"
#include "vek/player/render.hpp"

namespace vek::recpexe {

namespace {

constexpr int kMp3Format = SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III;

SF_INFO mp3Info(unsigned rate) {
    SF_INFO info{};
    info.samplerate = static_cast<int>(rate);
    info.channels = 1;
    info.format = kMp3Format;
    return info;
}

struct SndFileCloser {
    void operator()(SNDFILE* f) const {
        if (f) sf_close(f);
    }
};

// libsndfile's MPEG writer does not report a failed write of the encoded
// frames (a full disk would give a truncated file and success), so the
// writes go through our own I/O on the temporary file's descriptor, which
// remembers any short write.
struct FdIo {
    int fd = -1;
    bool failed = false;

    static FdIo& of(void* user) { return *static_cast<FdIo*>(user); }
    static sf_count_t length(void* user) {
        struct stat st {};
        return ::fstat(of(user).fd, &st) == 0 ? static_cast<sf_count_t>(st.st_size) : -1;
    }
    static sf_count_t seek(sf_count_t offset, int whence, void* user) {
        return static_cast<sf_count_t>(::lseek(of(user).fd, static_cast<off_t>(offset), whence));
    }
    static sf_count_t read(void* dst, sf_count_t n, void* user) {
        const ssize_t got = ::read(of(user).fd, dst, static_cast<std::size_t>(n));
        return got < 0 ? 0 : static_cast<sf_count_t>(got);
    }
    static sf_count_t write(const void* src, sf_count_t n, void* user) {
        FdIo& io = of(user);
        const auto* p = static_cast<const char*>(src);
        sf_count_t done = 0;
        while (done < n) {
            const ssize_t w = ::write(io.fd, p + done, static_cast<std::size_t>(n - done));
            if (w < 0 && errno == EINTR) continue;
            if (w <= 0) {
                io.failed = true;
                break;
            }
            done += w;
        }
        return done;
    }
    static sf_count_t tell(void* user) { return static_cast<sf_count_t>(::lseek(of(user).fd, 0, SEEK_CUR)); }
};

}  // namespace

unsigned mp3RateOf(std::uint8_t mode) { return mode == 6 ? 11025 : 8000; }

bool mp3Available(unsigned rate) {
    SF_INFO info = mp3Info(rate);
    return sf_format_check(&info) == SF_TRUE;
}

Mp3Result makeMp3(const fs::path& sc4Source, const fs::path& target, std::uint8_t mode, EffectSettings fx,
                  const fs::path& dataDir) {
    namespace vp = vek::player;
    const vp::PlayerLayout& base = vp::layoutForMode(mode);
    if (!mp3Available(base.sampleRate)) return Mp3Result::Unavailable;

    // What the player would read behind its stub: the 12-byte header with the
    // mode and the effect, then the recording (SC4 sectors for SP, the frame
    // stream for HQ and SHQ), read from disk in place.
    vp::PayloadHeader h;
    h.mode = mode;
    h.effect = fx.effect;
    h.level = fx.level;
    std::vector<std::uint8_t> header(vp::kHeaderBytes);
    h.write(header.data());
    std::error_code sizeEc;
    if (fs::file_size(sc4Source, sizeEc) == 0 && !sizeEc) return Mp3Result::Empty;
    fs::path body = sc4Source;
    TempAdpcm adp;
    if (mode != 4) {
        if (!adp.unpack(sc4Source, dataDir)) return Mp3Result::Failed;
        body = adp.path();
    }
    vp::PlayerLayout layout = base;
    layout.stubSize = 0;
    // Every block decoded once from a fresh decoder, as the recorder plays
    // and the conversion to WAV decodes: the player's second decode of the
    // first SP sector starts a real recording with a burst up to full scale.
    layout.decodeFirstBlockTwice = false;
    vp::PrefixedFile file(std::move(header), body.string());
    if (!file.open()) return Mp3Result::Failed;
    file.close();

    safefile::Replacement out;
    if (!out.begin(target.string())) return Mp3Result::Failed;
    SF_INFO info = mp3Info(layout.sampleRate);
    FdIo io{out.fd()};
    SF_VIRTUAL_IO vio{FdIo::length, FdIo::seek, FdIo::read, FdIo::write, FdIo::tell};
    std::unique_ptr<SNDFILE, SndFileCloser> sf(sf_open_virtual(&vio, SFM_WRITE, &info, &io));
    if (!sf) return Mp3Result::Failed;
    // Variable bit rate, set before the first sample (libsndfile fixes the
    // encoder's parameters then).
    int bitrateMode = SF_BITRATE_MODE_VARIABLE;
    double level = kMp3VbrLevel;
    sf_command(sf.get(), SFC_SET_BITRATE_MODE, &bitrateMode, sizeof bitrateMode);
    sf_command(sf.get(), SFC_SET_COMPRESSION_LEVEL, &level, sizeof level);

    vp::AdpcmBlockDecoder adpcm;
    vp::BlockDecoder* decoder = &adpcm;
    if (mode == 4 && !(decoder = vp::spBlockDecoder())) return Mp3Result::Unavailable;
    vek::VoiceEffect effect;
    std::uint64_t samples = 0;
    const bool rendered =
        vp::renderPlaybackTo(layout, file, *decoder, effect, [&](const std::int16_t* s, std::size_t n) {
            samples += n;
            const auto count = static_cast<sf_count_t>(n);
            return sf_write_short(sf.get(), s, count) == count;
        });
    // Closing writes the encoder's last frames and the LAME header.
    const bool closed = sf_close(sf.release()) == 0;
    if (!rendered || !closed || io.failed || file.failed()) return Mp3Result::Failed;
    if (samples == 0) return Mp3Result::Empty;
    return out.commit() ? Mp3Result::Written : Mp3Result::Failed;
}

}  // namespace vek::recpexe
