// SPDX-License-Identifier: GPL-3.0-or-later
#include "vek/player/wav.hpp"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace vek::player {
namespace {

std::uint32_t le32(const std::uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
std::uint16_t le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }


}  // namespace

std::optional<WavMono16> parseWavMono16(const std::vector<std::uint8_t>& f, std::string& error) {
    if (f.size() < 12 || std::memcmp(f.data(), "RIFF", 4) != 0 || std::memcmp(f.data() + 8, "WAVE", 4) != 0) {
        error = "not a RIFF WAVE file";
        return std::nullopt;
    }
    bool haveFmt = false;
    WavMono16 out;
    std::size_t pos = 12;
    while (pos + 8 <= f.size()) {
        const std::uint8_t* id = f.data() + pos;
        const std::uint64_t len = le32(f.data() + pos + 4);
        const std::size_t body = pos + 8;
        const std::size_t avail = f.size() - body;
        if (std::memcmp(id, "fmt ", 4) == 0) {
            if (len < 16 || avail < 16) {
                error = "damaged format chunk";
                return std::nullopt;
            }
            const std::uint8_t* p = f.data() + body;
            std::uint16_t format = le16(p);
            // WAVE_FORMAT_EXTENSIBLE: the sub-format GUID starts with the tag.
            if (format == 0xFFFE && len >= 40 && avail >= 40) format = le16(p + 24);
            const std::uint16_t channels = le16(p + 2);
            const std::uint32_t rate = le32(p + 4);
            const std::uint16_t bits = le16(p + 14);
            if (format != 1 || channels != 1 || bits != 16) {
                error = "only 16-bit mono PCM is supported";
                return std::nullopt;
            }
            if (rate == 0) {
                error = "sample rate 0";
                return std::nullopt;
            }
            out.sampleRate = rate;
            haveFmt = true;
        } else if (std::memcmp(id, "data", 4) == 0) {
            if (!haveFmt) {
                error = "data chunk before the format chunk";
                return std::nullopt;
            }
            const std::size_t bytes = static_cast<std::size_t>(std::min<std::uint64_t>(len, avail)) & ~std::size_t{1};
            out.samples.resize(bytes / 2);
            for (std::size_t i = 0; i < out.samples.size(); ++i) {
                out.samples[i] = static_cast<std::int16_t>(le16(f.data() + body + 2 * i));
            }
            return out;
        }
        if (len > avail) break;
        pos = body + static_cast<std::size_t>(len) + (len & 1);  // chunks are word-aligned
    }
    error = haveFmt ? "no data chunk" : "no format chunk";
    return std::nullopt;
}

std::vector<std::uint8_t> makeWavMono16(const std::int16_t* samples, std::size_t count, unsigned rate) {
    // The RIFF length (36 + data bytes) is a 32-bit field: more samples than
    // it can state would wrap it, and the buffer sized from the wrapped value
    // would be overrun.
    if (count > kWavMono16MaxSamples) throw std::length_error("more audio than a WAV file's 32-bit lengths can hold");
    const auto dataBytes = static_cast<std::uint32_t>(count * 2);
    std::vector<std::uint8_t> v(44 + static_cast<std::size_t>(dataBytes));
    std::uint8_t* p = v.data();
    auto tag = [&p](const char* t) {
        std::memcpy(p, t, 4);
        p += 4;
    };
    auto u32 = [&p](std::uint32_t x) {
        for (int i = 0; i < 4; ++i) *p++ = static_cast<std::uint8_t>(x >> (8 * i));
    };
    auto u16 = [&p](std::uint16_t x) {
        *p++ = static_cast<std::uint8_t>(x);
        *p++ = static_cast<std::uint8_t>(x >> 8);
    };
    tag("RIFF");
    u32(36 + dataBytes);
    tag("WAVE");
    tag("fmt ");
    u32(16);
    u16(1);         // PCM
    u16(1);         // mono
    u32(rate);
    u32(rate * 2);  // bytes per second
    u16(2);         // block alignment
    u16(16);        // bits per sample
    tag("data");
    u32(dataBytes);
    for (std::size_t i = 0; i < count; ++i) u16(static_cast<std::uint16_t>(samples[i]));
    return v;
}

}  // namespace vek::player
