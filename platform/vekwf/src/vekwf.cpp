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
};

// ---------------------------------------------------------------- reading

// What the chunk walk found in the file itself, before libsndfile decodes it.
struct RiffFacts {
    bool ok = false;            // a RIFF/RIFX WAVE file with fmt and data chunks
    bool dataOverrun = false;   // the data chunk claims more than the file holds
    std::uint16_t tag = 0;      // format tag of the fmt chunk (subformat for extensible)
    std::uint16_t channels = 0;
    std::uint32_t rate = 0;
};

std::uint32_t get32(const unsigned char* p, bool be) {
    return be ? (std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3])
              : (std::uint32_t(p[3]) << 24 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[1]) << 8 | p[0]);
}
std::uint16_t get16(const unsigned char* p, bool be) {
    return be ? std::uint16_t(p[0] << 8 | p[1]) : std::uint16_t(p[1] << 8 | p[0]);
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
    if (std::fseek(f, 0, SEEK_END) != 0) return facts;
    const long endPos = std::ftell(f);
    if (endPos < 12 || std::fseek(f, 0, SEEK_SET) != 0) return facts;
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
        if (std::fseek(f, static_cast<long>(pos), SEEK_SET) != 0 || std::fread(ch, 1, 8, f) != 8) return facts;
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
            facts.dataOverrun = pos + 8 + size > fileSize;
            facts.ok = haveFmt;
            return facts;
        }
        pos += 8 + size + (size & 1);
    }
    return facts;
}

struct Reader {
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
    if (!path || (bits != 8 && bits != 16) || channels < 1 || channels > 2 || rate <= 0) return 0;
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = SF_FORMAT_WAV | (bits == 8 ? SF_FORMAT_PCM_U8 : SF_FORMAT_PCM_16);
    SNDFILE* sf = sf_open(path, SFM_WRITE, &info);
    if (!sf) return 0;
    auto* w = new (std::nothrow) Writer{sf, bits, channels, false};
    if (!w) {
        sf_close(sf);
        return 0;
    }
    return reinterpret_cast<VekWaveHandle>(w);
}

int32_t WriteWaveFile(VekWaveHandle h, const void* data, int32_t bytes) {
    auto* w = reinterpret_cast<Writer*>(h);
    if (!w || !data || bytes <= 0) return 0;
    const auto* p = static_cast<const unsigned char*>(data);
    const int width = w->bits / 8;
    std::int64_t items = bytes / width;
    items -= items % w->channels;  // whole frames only
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
    // A rate past 2^31 - 1 would reach the caller as a negative number.
    if (!facts.ok || facts.dataOverrun || facts.rate == 0 || facts.rate > 0x7FFFFFFFu) return 0;

    SF_INFO info{};
    SNDFILE* sf = sf_open(path, SFM_READ, &info);
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
