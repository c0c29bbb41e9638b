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

namespace {

constexpr std::uint16_t kTagPcm = 1;
constexpr std::uint16_t kTagFloat = 3;
constexpr std::uint16_t kTagExtensible = 0xFFFE;

// ---------------------------------------------------------------- writing

struct Writer {
    SNDFILE* sf = nullptr;
    int bits = 16;
    int channels = 1;
    bool failed = false;
    std::uint64_t written = 0;  // sample bytes so far
    std::uint64_t limit = 0;    // most sample bytes the header can state
};

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
    auto* w = new (std::nothrow) Writer{sf, bits, channels, false, 0, limit};
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
    if (std::fseek(p->f, static_cast<long>(p->pos), SEEK_SET) != 0) return 0;
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
    if (!p->f || std::fseek(p->f, 0, SEEK_END) != 0) return nullptr;
    p->length = std::ftell(p->f);
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
    const bool ok = sf_close(w->sf) == 0 && !w->failed;
    delete w;
    return ok ? 1 : 0;
}

VekWaveHandle ReadWaveHeader(const char* path, int16_t* bits, int16_t* channels, int32_t* rate, int32_t* dataBytes,
                             int16_t* formatTag) {
    if (!path) return 0;
    const RiffFacts facts = walkRiff(path);
    if (!facts.ok || facts.dataOverrun || facts.rate == 0) return 0;

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
