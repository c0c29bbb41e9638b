// SPDX-License-Identifier: GPL-3.0-or-later
#include "vek/testsupport/fixtures.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "vek/codec/adpcm.hpp"
#include "vek/codec/bytestream.hpp"
#include "vek/codec/sc4.hpp"

namespace vek::testsupport {

const std::uint8_t kSpTag[kSpTagBytes] = {'d', 'm', 'r', '1', 'd', 'a', 't', 'a', 0xF4, 0x01};

Bytes spSector(const std::uint8_t* frames, std::uint8_t trailer0, std::uint8_t trailer1) {
    Bytes s(kSpSectorBytes, 0);
    std::memcpy(s.data(), kSpTag, kSpTagBytes);
    std::memcpy(s.data() + kSpTagBytes, frames, kSpFrameBytes);
    s[kSpSectorBytes - 2] = trailer0;
    s[kSpSectorBytes - 1] = trailer1;
    return s;
}

Bytes spFile(std::size_t sectors, const std::function<std::uint8_t(std::size_t, std::size_t)>& frameByte) {
    Bytes out;
    out.reserve(sectors * kSpSectorBytes);
    std::uint8_t frames[kSpFrameBytes];
    for (std::size_t k = 0; k < sectors; ++k) {
        for (std::size_t i = 0; i < kSpFrameBytes; ++i) frames[i] = frameByte(k, i);
        const Bytes s = spSector(frames);
        out.insert(out.end(), s.begin(), s.end());
    }
    return out;
}

Bytes spNoiseFile(std::size_t sectors, std::uint32_t seed) {
    std::uint32_t rng = seed;
    return spFile(sectors, [&rng](std::size_t, std::size_t) {
        rng = rng * 1664525u + 1013904223u;
        return static_cast<std::uint8_t>(rng >> 24);
    });
}

Bytes adpcmFrames(const Samples& pcm) {
    const std::size_t frames = pcm.size() / 58;
    Bytes stream(frames * 29);
    vek::AdpcmCodec enc;
    enc.encode(reinterpret_cast<const std::uint8_t*>(pcm.data()), frames * 58 * 2, stream.data());
    return stream;
}

Bytes adpcmSc4(const Bytes& frames, bool shq) {
    vek::MemorySource src(frames.data(), frames.size());
    vek::MemorySink sc4;
    if (!vek::adpcmToSc4(src, sc4, shq)) return {};
    return sc4.bytes();
}

Bytes adpcmSc4FromPcm(const Samples& pcm, bool shq, Bytes* frames) {
    const Bytes stream = adpcmFrames(pcm);
    if (frames) *frames = stream;
    return adpcmSc4(stream, shq);
}

Bytes wavImage(int bits, int channels, std::uint32_t rate, const Bytes& data, std::uint16_t tag) {
    Bytes b;
    b.reserve(45 + data.size());
    auto p16 = [&](std::uint32_t v) {
        b.push_back(static_cast<std::uint8_t>(v & 0xFF));
        b.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
    };
    auto p32 = [&](std::uint32_t v) {
        p16(v & 0xFFFF);
        p16(v >> 16);
    };
    auto fourcc = [&](const char* t) {
        for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(t[i]));
    };
    const auto block = static_cast<std::uint32_t>(channels * bits / 8);
    const std::size_t pad = data.size() & 1;  // RIFF chunks have even lengths
    fourcc("RIFF");
    p32(static_cast<std::uint32_t>(36 + data.size() + pad));
    fourcc("WAVE");
    fourcc("fmt ");
    p32(16);
    p16(tag);
    p16(static_cast<std::uint32_t>(channels));
    p32(rate);
    p32(rate * block);
    p16(block);
    p16(static_cast<std::uint32_t>(bits));
    fourcc("data");
    p32(static_cast<std::uint32_t>(data.size()));
    b.insert(b.end(), data.begin(), data.end());
    if (pad) b.push_back(0);
    return b;
}

Bytes wav16(const Samples& samples, std::uint32_t rate, int channels) {
    return wavImage(16, channels, rate, le16(samples));
}

Bytes toneData(std::size_t frames, int channels, double rate) {
    Samples s;
    s.reserve(frames * static_cast<std::size_t>(channels));
    for (std::size_t i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c) {
            const double t = static_cast<double>(i) / rate;
            s.push_back(static_cast<std::int16_t>(12000 * std::sin(2 * M_PI * (440 + 110 * c) * t)));
        }
    return le16(s);
}

Bytes makeWav(const WavLayout& s, const Bytes& data) {
    Bytes b;
    auto put16 = [&b](std::uint32_t v) {
        b.push_back(static_cast<std::uint8_t>(v & 0xFF));
        b.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
    };
    auto put32 = [&](std::uint32_t v) {
        put16(v & 0xFFFF);
        put16(v >> 16);
    };
    auto fourcc = [&b](const char* t) {
        for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(t[i]));
    };
    fourcc("RIFF");
    put32(0);  // filled in below
    fourcc("WAVE");
    fourcc("fmt ");
    const auto blockAlign = static_cast<std::uint16_t>(s.channels * s.bits / 8);
    put32(s.extensible ? 40 : (s.tag == 1 ? 16 : 18));
    put16(s.extensible ? 0xFFFE : s.tag);
    put16(s.channels);
    put32(s.rate);
    put32(s.rate * blockAlign);
    put16(blockAlign);
    put16(s.bits);
    if (s.extensible) {
        put16(22);
        put16(s.bits);
        put32(s.channels == 1 ? 0x4 : 0x3);
        // KSDATAFORMAT_SUBTYPE_*: the tag, then 0000-0010-8000-00AA00389B71.
        put16(s.tag);
        const std::uint8_t rest[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                       0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
        b.insert(b.end(), rest, rest + 14);
    } else if (s.tag != 1) {
        put16(0);
    }
    if (s.junkChunk) {
        fourcc("LIST");
        put32(3);
        b.insert(b.end(), {'a', 'b', 'c', 0});
    }
    fourcc("data");
    put32(s.dataSizeOverride >= 0 ? static_cast<std::uint32_t>(s.dataSizeOverride)
                                  : static_cast<std::uint32_t>(data.size()));
    b.insert(b.end(), data.begin(), data.end());
    if (data.size() & 1) b.push_back(0);
    const auto riff = s.riffSizeOverride >= 0 ? static_cast<std::uint32_t>(s.riffSizeOverride)
                                              : static_cast<std::uint32_t>(b.size() - 8);
    for (int i = 0; i < 4; ++i) b[4 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(riff >> (8 * i));
    return b;
}

WavInfo parseWav(const Bytes& f) {
    WavInfo w;
    if (f.size() < 12 || std::memcmp(f.data(), "RIFF", 4) != 0 || std::memcmp(f.data() + 8, "WAVE", 4) != 0) return w;
    auto u32 = [&](std::size_t o) {
        return f[o] | f[o + 1] << 8 | f[o + 2] << 16 | static_cast<std::uint32_t>(f[o + 3]) << 24;
    };
    auto u16 = [&](std::size_t o) { return static_cast<std::uint16_t>(f[o] | f[o + 1] << 8); };
    w.riffSize = u32(4);
    bool haveFmt = false;
    std::size_t pos = 12;
    while (pos + 8 <= f.size()) {
        const std::uint32_t size = u32(pos + 4);
        if (std::memcmp(f.data() + pos, "fmt ", 4) == 0 && pos + 24 <= f.size()) {
            w.tag = u16(pos + 8);
            w.channels = u16(pos + 10);
            w.rate = u32(pos + 12);
            w.bits = u16(pos + 22);
            haveFmt = true;
        } else if (std::memcmp(f.data() + pos, "data", 4) == 0) {
            w.dataSize = size;
            const std::size_t n = std::min<std::size_t>(size, f.size() - pos - 8);
            w.data.assign(f.begin() + static_cast<std::ptrdiff_t>(pos + 8),
                          f.begin() + static_cast<std::ptrdiff_t>(pos + 8 + n));
            if (w.bits == 16) w.samples = samples16(w.data);
            w.ok = haveFmt && w.dataSize == n;
            return w;
        }
        pos += 8 + static_cast<std::size_t>(size) + (size & 1);
    }
    return w;
}

}  // namespace vek::testsupport
