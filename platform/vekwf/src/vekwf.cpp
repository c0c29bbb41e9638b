// vekwf on libsndfile: RIFF WAVE PCM writer and reader.
// SPDX-License-Identifier: GPL-3.0-or-later
#include "vekwf.h"

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <vector>

namespace {

constexpr std::uint16_t kTagPcm = 1;
constexpr std::uint16_t kTagFloat = 3;
constexpr std::uint16_t kTagExtensible = 0xFFFE;

// ---------------------------------------------------------------- writing

// Linear interpolation of a mono stream from one rate to another as the
// samples come. Output k lies at source position t = k * in / out, kept as
// an exact fraction (j = floor(k * in / out), remainder r): the value is
// s[j] + (s[j + 1] - s[j]) * r / out, rounded to nearest. Output k is made
// once s[j + 1] has arrived; at the end the outputs behind the last sample
// fade toward zero, as the conversion jobs' resampler ends a file.
struct StreamResampler {
    std::int64_t in = 0, out = 0;
    std::int64_t received = 0;  // source samples so far
    std::int64_t next = 0;      // next output index
    short last = 0;             // s[received - 1]

    static short interp(int a, int b, std::int64_t r, std::int64_t den) {
        const double v = std::nearbyint(a + (b - a) * (static_cast<double>(r) / static_cast<double>(den)));
        return static_cast<short>(std::clamp(v, -32768.0, 32767.0));
    }
    // Feeds one sample; appends what it completes to dst, returns the count.
    int push(short s, short* dst) {
        int n = 0;
        ++received;
        if (received >= 2) {
            // Outputs whose j is received - 2 need only last and s.
            while ((next * in) / out == received - 2) {
                dst[n++] = interp(last, s, (next * in) % out, out);
                ++next;
            }
        }
        last = s;
        return n;
    }
    // The outputs behind the last sample (j = received - 1).
    int finish(short* dst, int room) {
        int n = 0;
        while (received > 0 && n < room && (next * in) / out == received - 1) {
            dst[n++] = interp(last, 0, (next * in) % out, out);
            ++next;
        }
        return n;
    }
};

struct Writer {
    SNDFILE* sf = nullptr;
    int bits = 16;
    int channels = 1;
    bool failed = false;
    std::uint64_t written = 0;  // sample bytes so far
    std::uint64_t limit = 0;    // most sample bytes the header can state
    std::unique_ptr<StreamResampler> resampler;  // Opus at a rate it does not code
};

// libsndfile's format word and the rate a kind is written at.
int majorOf(int32_t kind) {
    switch (kind) {
        case kVekAudioFlac: return SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
        case kVekAudioOgg: return SF_FORMAT_OGG | SF_FORMAT_VORBIS;
        case kVekAudioOpus: return SF_FORMAT_OGG | SF_FORMAT_OPUS;
        case kVekAudioMp3: return SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III;
        default: return 0;
    }
}

int32_t rateFor(int32_t kind, int32_t rate) {
    if (kind != kVekAudioOpus) return rate;
    for (const int32_t r : {8000, 12000, 16000, 24000, 48000})
        if (rate <= r) return r;
    return 48000;
}

VekWaveHandle openWriter(const char* path, int32_t bits, int32_t channels, int32_t rate, bool large) {
    if (!path || (bits != 8 && bits != 16) || channels < 1 || channels > 2 || rate <= 0) return 0;
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = (large ? SF_FORMAT_RF64 : SF_FORMAT_WAV) | (bits == 8 ? SF_FORMAT_PCM_U8 : SF_FORMAT_PCM_16);
    SNDFILE* sf = sf_open(path, SFM_WRITE, &info);
    if (!sf) return 0;
    // RF64 only where the sizes need it: a file that stays below 4 GiB is
    // closed as a WAVE file.
    if (large && sf_command(sf, SFC_RF64_AUTO_DOWNGRADE, nullptr, SF_TRUE) != SF_TRUE) {
        sf_close(sf);
        return 0;
    }
    const std::uint64_t limit = large ? std::numeric_limits<std::uint64_t>::max() : std::uint64_t{kVekWaveMaxData};
    auto* w = new (std::nothrow) Writer{sf, bits, channels, false, 0, limit, {}};
    if (!w) {
        sf_close(sf);
        return 0;
    }
    return reinterpret_cast<VekWaveHandle>(w);
}

// ---------------------------------------------------------------- reading

// What the chunk walk found in the file itself, before libsndfile decodes it.
struct RiffFacts {
    bool ok = false;            // a RIFF/RIFX WAVE file with fmt and data chunks
    bool dataOverrun = false;   // the data chunk claims more than the file holds
    std::uint16_t tag = 0;      // format tag of the fmt chunk (subformat for extensible)
    std::uint16_t channels = 0;
    std::uint32_t rate = 0;
    bool bigEndian = false;     // RIFX
    // A data chunk whose size is a placeholder: 0 or 0xFFFFFFFF, as writers
    // leave it that stream or that were stopped before they could go back and
    // fill it in. The data is then everything from the chunk's start to the
    // end of the file.
    bool placeholder = false;
    std::uint64_t dataSizeAt = 0;    // file offset of the data chunk's size field
    std::uint32_t realDataSize = 0;  // what the file really holds after it
};

std::uint32_t get32(const unsigned char* p, bool be) {
    return be ? (std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3])
              : (std::uint32_t(p[3]) << 24 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[1]) << 8 | p[0]);
}
std::uint16_t get16(const unsigned char* p, bool be) {
    return be ? std::uint16_t(p[0] << 8 | p[1]) : std::uint16_t(p[1] << 8 | p[0]);
}

// 64-bit positions: long is 32 bits on 64-bit Windows and wraps at 2 GiB.
bool seekTo(std::FILE* f, std::uint64_t at, int whence) {
#if defined(_WIN32)
    return _fseeki64(f, static_cast<long long>(at), whence) == 0;
#else
    return fseeko(f, static_cast<off_t>(at), whence) == 0;
#endif
}

std::int64_t tellOf(std::FILE* f) {
#if defined(_WIN32)
    return _ftelli64(f);
#else
    return static_cast<std::int64_t>(ftello(f));
#endif
}

// True when the chunks inside a LIST chunk (a four-byte list type, then
// chunks) each end within it. libsndfile 1.2 walks them by their sizes and,
// for a list of an unknown type holding a size that runs out of the list
// (0xFFBEFFFF, say), never comes back: such a file is refused before it
// gets there.
bool listChunkFits(std::FILE* f, std::uint64_t start, std::uint64_t size, std::uint64_t fileSize, bool be) {
    const std::uint64_t end = start + std::min(size, fileSize - start);
    std::uint64_t pos = start + 4;
    for (int guardCount = 0; guardCount < 4096 && pos + 8 <= end; ++guardCount) {
        unsigned char ch[8];
        if (!seekTo(f, pos, SEEK_SET) || std::fread(ch, 1, 8, f) != 8) return false;
        const std::uint64_t sub = get32(ch + 4, be);
        if (pos + 8 + sub > end) return false;
        pos += 8 + sub + (sub & 1);
    }
    return true;
}

// The top-level chunks from pos to the end of the file: false when a LIST
// chunk among them does not hold its inner chunks (listChunkFits).
bool listsFitAfter(std::FILE* f, std::uint64_t pos, std::uint64_t fileSize, bool be) {
    for (int guardCount = 0; guardCount < 4096 && pos + 8 <= fileSize; ++guardCount) {
        unsigned char ch[8];
        if (!seekTo(f, pos, SEEK_SET) || std::fread(ch, 1, 8, f) != 8) return true;
        const std::uint64_t size = get32(ch + 4, be);
        if (std::memcmp(ch, "LIST", 4) == 0 && !listChunkFits(f, pos + 8, size, fileSize, be)) return false;
        pos += 8 + size + (size & 1);
    }
    return true;
}

// Walks the top-level chunks (a bounded number of them) to learn the format
// tag, the channel count and the rate as the file states them, and whether
// the data chunk fits in the file. libsndfile silently shortens a data chunk
// that overruns the file; we refuse such a header instead.
RiffFacts walkRiff(const char* path) {
    RiffFacts facts;
    std::FILE* f = std::fopen(path, "rb");
    if (!f) return facts;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> guard(f, &std::fclose);
    if (!seekTo(f, 0, SEEK_END)) return facts;
    const std::int64_t endPos = tellOf(f);
    if (endPos < 12 || !seekTo(f, 0, SEEK_SET)) return facts;
    const auto fileSize = static_cast<std::uint64_t>(endPos);
    unsigned char head[12];
    if (std::fread(head, 1, 12, f) != 12) return facts;
    bool be;
    if (std::memcmp(head, "RIFF", 4) == 0)
        be = false;
    else if (std::memcmp(head, "RIFX", 4) == 0)
        be = true;
    else
        return facts;
    if (std::memcmp(head + 8, "WAVE", 4) != 0) return facts;

    std::uint64_t pos = 12;
    bool haveFmt = false;
    for (int guardCount = 0; guardCount < 4096 && pos + 8 <= fileSize; ++guardCount) {
        unsigned char ch[8];
        if (!seekTo(f, pos, SEEK_SET) || std::fread(ch, 1, 8, f) != 8) return facts;
        const std::uint64_t size = get32(ch + 4, be);
        if (std::memcmp(ch, "fmt ", 4) == 0) {
            unsigned char fmt[40] = {};
            const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(size, sizeof fmt));
            if (size < 16 || std::fread(fmt, 1, want, f) != want) return facts;
            facts.tag = get16(fmt, be);
            facts.channels = get16(fmt + 2, be);
            facts.rate = get32(fmt + 4, be);
            // WAVE_FORMAT_EXTENSIBLE: the real tag opens the subformat GUID.
            if (facts.tag == kTagExtensible && size >= 40) {
                const std::uint16_t sub = get16(fmt + 24, be);
                if (sub != 0) facts.tag = sub;
            }
            haveFmt = true;
        } else if (std::memcmp(ch, "data", 4) == 0) {
            facts.bigEndian = be;
            if (size == 0 || size == 0xFFFFFFFFu) {
                facts.placeholder = true;
                facts.dataSizeAt = pos + 4;
                // Capped below the placeholder value itself, a size a 32-bit
                // field can state.
                facts.realDataSize =
                    static_cast<std::uint32_t>(std::min<std::uint64_t>(fileSize - (pos + 8), 0xFFFFFFFEu));
            } else {
                facts.dataOverrun = pos + 8 + size > fileSize;
            }
            facts.ok = haveFmt;
            // libsndfile reads the chunks after a data chunk of known size
            // too: a LIST chunk there must fit as well (listsFitAfter).
            if (facts.ok && !facts.placeholder && !facts.dataOverrun)
                facts.ok = listsFitAfter(f, pos + 8 + size + (size & 1), fileSize, be);
            return facts;
        } else if (std::memcmp(ch, "LIST", 4) == 0 && !listChunkFits(f, pos + 8, size, fileSize, be)) {
            return facts;
        }
        pos += 8 + size + (size & 1);
    }
    return facts;
}

// The file as libsndfile is shown it when the data size is a placeholder:
// the bytes on disk with the size field replaced by the real length (libsndfile
// takes a size of 0 at its word and would deliver nothing).
struct PatchedFile {
    std::FILE* f = nullptr;
    sf_count_t length = 0;
    sf_count_t pos = 0;
    sf_count_t patchAt = 0;
    unsigned char patch[4] = {};
    ~PatchedFile() {
        if (f) std::fclose(f);
    }
};

sf_count_t pfLength(void* u) { return static_cast<PatchedFile*>(u)->length; }
sf_count_t pfTell(void* u) { return static_cast<PatchedFile*>(u)->pos; }
sf_count_t pfSeek(sf_count_t offset, int whence, void* u) {
    auto* p = static_cast<PatchedFile*>(u);
    const sf_count_t base = whence == SEEK_CUR ? p->pos : whence == SEEK_END ? p->length : 0;
    const sf_count_t to = base + offset;
    if (to < 0) return -1;
    p->pos = to;
    return to;
}
sf_count_t pfRead(void* buf, sf_count_t count, void* u) {
    auto* p = static_cast<PatchedFile*>(u);
    if (count <= 0 || p->pos >= p->length) return 0;
    if (!seekTo(p->f, static_cast<std::uint64_t>(p->pos), SEEK_SET)) return 0;
    const auto got = static_cast<sf_count_t>(std::fread(buf, 1, static_cast<std::size_t>(count), p->f));
    auto* out = static_cast<unsigned char*>(buf);
    for (int i = 0; i < 4; ++i) {
        const sf_count_t at = p->patchAt + i - p->pos;
        if (at >= 0 && at < got) out[at] = p->patch[i];
    }
    p->pos += got;
    return got;
}
sf_count_t pfWrite(const void*, sf_count_t, void*) { return 0; }

SNDFILE* openPatched(const char* path, const RiffFacts& facts, SF_INFO& info, std::unique_ptr<PatchedFile>& out) {
    auto p = std::make_unique<PatchedFile>();
    p->f = std::fopen(path, "rb");
    // 64-bit positions here too (seekTo, tellOf): a placeholder-sized file
    // past 2 GiB is read whole on 64-bit Windows as well.
    if (!p->f || !seekTo(p->f, 0, SEEK_END)) return nullptr;
    p->length = tellOf(p->f);
    if (p->length < 0) return nullptr;
    p->patchAt = static_cast<sf_count_t>(facts.dataSizeAt);
    const std::uint32_t v = facts.realDataSize;
    for (int i = 0; i < 4; ++i)
        p->patch[facts.bigEndian ? 3 - i : i] = static_cast<unsigned char>(v >> (8 * i));
    static SF_VIRTUAL_IO io{&pfLength, &pfSeek, &pfRead, &pfWrite, &pfTell};
    SNDFILE* sf = sf_open_virtual(&io, SFM_READ, &info, p.get());
    if (sf) out = std::move(p);
    return sf;
}

struct Reader {
    std::unique_ptr<PatchedFile> patched;  // the source behind sf, when patched
    SNDFILE* sf = nullptr;
    int channels = 1;
    bool eightBit = false;
    bool isFloat = false;           // float samples: scaled here, not by libsndfile
    std::int64_t remaining = 0;     // data bytes still to deliver
    static constexpr int kFrames = 2048;
    short scratch[kFrames * 2] = {};
    double floats[kFrames * 2] = {};
    int have = 0;                   // decoded items waiting in scratch
    int next = 0;                   // index of the next waiting item
};

// Next decoded sample, or false at the end of the data.
bool nextItem(Reader& r, short& out) {
    if (r.next == r.have) {
        r.next = r.have = 0;
        if (!r.sf) return false;
        if (r.isFloat) {
            // Full scale 1.0 is 32768; beyond it the sample clips instead of
            // wrapping around. A NaN in the file has no value to convert and
            // becomes silence.
            const sf_count_t frames = sf_readf_double(r.sf, r.floats, Reader::kFrames);
            if (frames <= 0) return false;
            r.have = static_cast<int>(frames) * r.channels;
            for (int i = 0; i < r.have; ++i) {
                const double v = std::nearbyint(r.floats[i] * 32768.0);
                r.scratch[i] = std::isnan(v)       ? short{0}
                               : v >= 32767.0  ? short{32767}
                               : v <= -32768.0 ? short{-32768}
                                               : static_cast<short>(v);
            }
        } else {
            // Wider integers keep their top 16 bits.
            const sf_count_t frames = sf_readf_short(r.sf, r.scratch, Reader::kFrames);
            if (frames <= 0) return false;
            r.have = static_cast<int>(frames) * r.channels;
        }
    }
    out = r.scratch[r.next++];
    return true;
}

}  // namespace

extern "C" {

int32_t AudioFormatRate(int32_t kind, int32_t rate) { return rate > 0 ? rateFor(kind, rate) : 0; }

int32_t AudioFormatAvailable(int32_t kind, int32_t rate) {
    if (kind == kVekAudioWav) return 1;
    const int format = majorOf(kind);
    if (!format || rate <= 0) return 0;
    // The library knows the format at all (a build without an encoder library
    // leaves the major format out of its list) ...
    int count = 0;
    sf_command(nullptr, SFC_GET_FORMAT_MAJOR_COUNT, &count, sizeof count);
    bool listed = false;
    for (int i = 0; i < count && !listed; ++i) {
        SF_FORMAT_INFO fi{};
        fi.format = i;
        if (sf_command(nullptr, SFC_GET_FORMAT_MAJOR, &fi, sizeof fi) == 0)
            listed = (fi.format & SF_FORMAT_TYPEMASK) == (format & SF_FORMAT_TYPEMASK);
    }
    if (!listed) return 0;
    // ... and takes this subformat at this rate.
    SF_INFO info{};
    info.samplerate = rateFor(kind, rate);
    info.channels = 1;
    info.format = format;
    return sf_format_check(&info) ? 1 : 0;
}

VekWaveHandle WriteAudioHeader(const char* path, int32_t bits, int32_t channels, int32_t rate, int32_t kind) {
    if (kind == kVekAudioWav) return openWriter(path, bits, channels, rate, false);
    const int format = majorOf(kind);
    if (!path || !format || bits != 16 || channels < 1 || channels > 8 || rate <= 0) return 0;
    const int32_t outRate = rateFor(kind, rate);
    // The jobs write mono; the streaming resampler makes at most two outputs
    // per input sample.
    if (outRate != rate && (channels != 1 || outRate > 2 * rate)) return 0;
    SF_INFO info{};
    info.samplerate = outRate;
    info.channels = channels;
    info.format = format;
    if (!sf_format_check(&info)) return 0;
    SNDFILE* sf = sf_open(path, SFM_WRITE, &info);
    if (!sf) return 0;
    // Speech at 8 or 11 kHz: the best the lossy encoders offer costs little
    // (about 100 kbit/s at most) and keeps the waveform close to the
    // recording's; FLAC's level only trades time for size.
    double level = kind == kVekAudioFlac ? 0.5 : 0.0;
    if (kind == kVekAudioMp3 || kind == kVekAudioOpus) {
        int mode = SF_BITRATE_MODE_CONSTANT;
        sf_command(sf, SFC_SET_BITRATE_MODE, &mode, sizeof mode);
    }
    sf_command(sf, SFC_SET_COMPRESSION_LEVEL, &level, sizeof level);
    auto* w = new (std::nothrow) Writer{sf, 16, channels, false, 0, std::numeric_limits<std::uint64_t>::max(), {}};
    if (!w) {
        sf_close(sf);
        return 0;
    }
    if (outRate != rate) {
        w->resampler.reset(new (std::nothrow) StreamResampler{rate, outRate});
        if (!w->resampler) {
            sf_close(sf);
            delete w;
            return 0;
        }
    }
    return reinterpret_cast<VekWaveHandle>(w);
}

VekWaveHandle ReadAudioHeader(const char* path, int16_t* bits, int16_t* channels, int32_t* rate, int32_t* dataBytes,
                              int16_t* formatTag) {
    if (!path) return 0;
    {
        std::FILE* f = std::fopen(path, "rb");
        if (!f) return 0;
        unsigned char head[4] = {};
        const std::size_t got = std::fread(head, 1, 4, f);
        std::fclose(f);
        // Everything that calls itself RIFF is judged as a WAVE file, so its
        // refusals (overrunning data, a zero rate) stay what they were.
        if (got == 4 && (std::memcmp(head, "RIFF", 4) == 0 || std::memcmp(head, "RIFX", 4) == 0))
            return ReadWaveHeader(path, bits, channels, rate, dataBytes, formatTag);
    }
    SF_INFO info{};
    SNDFILE* sf = sf_open(path, SFM_READ, &info);
    if (!sf) return 0;
    if ((info.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_MPEG) {
        // An MP3 file without a Xing/LAME header states no length: the one
        // libsndfile gives is estimated from the size and the first frame's
        // bit rate, and decoding then ends short of it, which would read as a
        // failing medium. The samples are counted by decoding the file once.
        sf_count_t frames = 0;
        std::vector<short> scratch(4096 * static_cast<std::size_t>(std::max(info.channels, 1)));
        for (sf_count_t got; (got = sf_readf_short(sf, scratch.data(), 4096)) > 0;) frames += got;
        sf_close(sf);
        SF_INFO again{};
        sf = sf_open(path, SFM_READ, &again);
        if (!sf) return 0;
        again.frames = frames;
        info = again;
    }
    const int sub = info.format & SF_FORMAT_SUBMASK;
    const std::int64_t bytes = static_cast<std::int64_t>(info.frames) * std::max(info.channels, 1) * 2;
    if (info.samplerate <= 0 || info.frames < 0 || info.frames == SF_COUNT_MAX ||
        bytes > std::numeric_limits<int32_t>::max()) {
        sf_close(sf);
        return 0;
    }
    auto* r = new (std::nothrow) Reader;
    if (!r) {
        sf_close(sf);
        return 0;
    }
    const bool deliverable = info.channels >= 1 && info.channels <= 2;
    if (deliverable) {
        r->sf = sf;
        r->channels = info.channels;
        // Decoders that work in floating point (Vorbis, Opus, MP3, float
        // files) go through the clipping float path; integers keep their top
        // 16 bits.
        r->isFloat =
            !(sub == SF_FORMAT_PCM_S8 || sub == SF_FORMAT_PCM_U8 || sub == SF_FORMAT_PCM_16 ||
              sub == SF_FORMAT_PCM_24 || sub == SF_FORMAT_PCM_32 || sub == SF_FORMAT_ALAW || sub == SF_FORMAT_ULAW ||
              sub == SF_FORMAT_DWVW_12 || sub == SF_FORMAT_DWVW_16 || sub == SF_FORMAT_DWVW_24 ||
              sub == SF_FORMAT_DPCM_8 || sub == SF_FORMAT_DPCM_16 || sub == SF_FORMAT_ALAC_16 ||
              sub == SF_FORMAT_ALAC_20 || sub == SF_FORMAT_ALAC_24 || sub == SF_FORMAT_ALAC_32);
        r->remaining = bytes;
    } else {
        sf_close(sf);
    }
    if (bits) *bits = 16;
    if (channels) *channels = static_cast<int16_t>(info.channels);
    if (rate) *rate = info.samplerate;
    if (dataBytes) *dataBytes = deliverable ? static_cast<int32_t>(bytes) : 0;
    if (formatTag) *formatTag = static_cast<int16_t>(deliverable ? kTagPcm : kTagExtensible);
    return reinterpret_cast<VekWaveHandle>(r);
}

VekWaveHandle WriteWaveHeader(const char* path, int32_t bits, int32_t channels, int32_t rate) {
    return openWriter(path, bits, channels, rate, false);
}

VekWaveHandle WriteWaveHeader64(const char* path, int32_t bits, int32_t channels, int32_t rate) {
    return openWriter(path, bits, channels, rate, true);
}

int32_t WriteWaveFile(VekWaveHandle h, const void* data, int32_t bytes) {
    auto* w = reinterpret_cast<Writer*>(h);
    if (!w || !data || bytes <= 0) return 0;
    const auto* p = static_cast<const unsigned char*>(data);
    const int width = w->bits / 8;
    std::int64_t items = bytes / width;
    items -= items % w->channels;  // whole frames only
    // Past what the header's 32-bit lengths can state nothing more is
    // written: the file would claim a wrapped length.
    const std::uint64_t room = (w->limit - w->written) / static_cast<std::uint64_t>(width * w->channels) *
                               static_cast<std::uint64_t>(w->channels);
    if (static_cast<std::uint64_t>(items) > room) {
        items = static_cast<std::int64_t>(room);
        w->failed = true;
    }
    short chunk[4096];
    std::int64_t done = 0;
    while (done < items) {
        const int n = static_cast<int>(std::min<std::int64_t>(items - done, 4096 - 4096 % w->channels));
        for (int i = 0; i < n; ++i) {
            const unsigned char* q = p + (done + i) * width;
            // 8-bit samples are unsigned around 128; libsndfile takes shorts.
            chunk[i] = width == 1 ? static_cast<short>((q[0] - 128) * 256)
                                  : static_cast<short>(static_cast<std::uint16_t>(q[0] | q[1] << 8));
        }
        if (w->resampler) {
            // Each source sample completes at most two outputs (the ratio
            // stays below 2): the resampled block fits twice the chunk.
            short resampled[8192 + 2];
            int m = 0;
            for (int i = 0; i < n; ++i) m += w->resampler->push(chunk[i], resampled + m);
            if (m > 0 && sf_write_short(w->sf, resampled, m) != m) {
                w->failed = true;
                break;
            }
            done += n;
            continue;
        }
        const sf_count_t wrote = sf_write_short(w->sf, chunk, n);
        if (wrote != n) {
            w->failed = true;
            done += wrote > 0 ? wrote : 0;
            break;
        }
        done += n;
    }
    w->written += static_cast<std::uint64_t>(done * width);
    return static_cast<int32_t>(done * width);
}

int32_t CloseWriteWaveFile(VekWaveHandle h) {
    auto* w = reinterpret_cast<Writer*>(h);
    if (!w) return 0;
    if (w->resampler) {
        short tail[64];
        int m;
        while ((m = w->resampler->finish(tail, 64)) > 0)
            if (sf_write_short(w->sf, tail, m) != m) w->failed = true;
    }
    const bool ok = sf_close(w->sf) == 0 && !w->failed;
    delete w;
    return ok ? 1 : 0;
}

VekWaveHandle ReadWaveHeader(const char* path, int16_t* bits, int16_t* channels, int32_t* rate, int32_t* dataBytes,
                             int16_t* formatTag) {
    if (!path) return 0;
    const RiffFacts facts = walkRiff(path);
    // A rate past 2^31 - 1 would reach the caller as a negative number.
    if (!facts.ok || facts.dataOverrun || facts.rate == 0 || facts.rate > 0x7FFFFFFFu) return 0;

    SF_INFO info{};
    std::unique_ptr<PatchedFile> patched;
    SNDFILE* sf = facts.placeholder ? openPatched(path, facts, info, patched) : sf_open(path, SFM_READ, &info);
    const int major = info.format & SF_FORMAT_TYPEMASK;
    if (sf && major != SF_FORMAT_WAV && major != SF_FORMAT_WAVEX) {
        sf_close(sf);
        return 0;
    }
    const int sub = info.format & SF_FORMAT_SUBMASK;
    const bool pcmLike = sf && (sub == SF_FORMAT_PCM_U8 || sub == SF_FORMAT_PCM_16 || sub == SF_FORMAT_PCM_24 ||
                                sub == SF_FORMAT_PCM_32 || sub == SF_FORMAT_FLOAT || sub == SF_FORMAT_DOUBLE);
    const int ch = sf ? info.channels : facts.channels;

    auto* r = new (std::nothrow) Reader;
    if (!r) {
        if (sf) sf_close(sf);
        return 0;
    }
    r->sf = sf;
    r->patched = std::move(patched);
    std::uint16_t tag = kTagPcm;
    std::int64_t bytes = 0;
    int outBits = 16;
    if (!pcmLike || ch < 1 || ch > 2) {
        // Not deliverable: say which format it is and deliver nothing. A
        // compressed file keeps its own tag; PCM or float with too many
        // channels is reported as extensible.
        tag = (facts.tag == kTagPcm || facts.tag == kTagFloat || facts.tag == 0) ? kTagExtensible : facts.tag;
        if (!sf && facts.tag == kTagPcm) {  // PCM that libsndfile cannot read (12-bit and the like)
            delete r;
            return 0;
        }
        if (r->sf) sf_close(r->sf);
        r->sf = nullptr;
    } else {
        r->channels = ch;
        r->eightBit = sub == SF_FORMAT_PCM_U8;
        outBits = r->eightBit ? 8 : 16;
        if (sub == SF_FORMAT_FLOAT || sub == SF_FORMAT_DOUBLE) {
            r->isFloat = true;
        }
        bytes = static_cast<std::int64_t>(info.frames) * ch * (outBits / 8);
        if (info.frames < 0 || bytes > std::numeric_limits<int32_t>::max()) {
            sf_close(sf);
            delete r;
            return 0;
        }
    }
    r->remaining = bytes;
    if (bits) *bits = static_cast<int16_t>(outBits);
    if (channels) *channels = static_cast<int16_t>(ch);
    if (rate) *rate = static_cast<int32_t>(sf ? info.samplerate : static_cast<int>(facts.rate));
    if (dataBytes) *dataBytes = static_cast<int32_t>(bytes);
    if (formatTag) *formatTag = static_cast<int16_t>(tag);
    return reinterpret_cast<VekWaveHandle>(r);
}

int32_t ReadWaveFile(VekWaveHandle h, void* buf, int32_t bytes) {
    auto* r = reinterpret_cast<Reader*>(h);
    if (!buf || bytes <= 0) return 0;
    auto* out = static_cast<unsigned char*>(buf);
    std::int64_t delivered = 0;
    if (r) {
        const int width = r->eightBit ? 1 : 2;
        const std::int64_t want = std::min<std::int64_t>(bytes, r->remaining) / width;
        short s = 0;
        for (std::int64_t i = 0; i < want && nextItem(*r, s); ++i) {
            if (width == 1) {
                out[delivered++] = static_cast<unsigned char>((s >> 8) + 128);
            } else {
                const auto u = static_cast<std::uint16_t>(s);
                out[delivered++] = static_cast<unsigned char>(u & 0xFF);
                out[delivered++] = static_cast<unsigned char>(u >> 8);
            }
        }
        r->remaining -= delivered;
    }
    std::memset(out + delivered, 0, static_cast<std::size_t>(bytes - delivered));
    return static_cast<int32_t>(delivered);
}

void CloseReadWaveFile(VekWaveHandle h) {
    auto* r = reinterpret_cast<Reader*>(h);
    if (!r) return;
    if (r->sf) sf_close(r->sf);
    delete r;
}

}  // extern "C"
