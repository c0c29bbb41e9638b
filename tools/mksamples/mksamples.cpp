// vek_mksamples: writes the suite's demonstration recordings, synthesised
// here so that no binary sample has to live in the repository.
//   vek_mksamples OUTDIR  ->  demo-sp.sc4, demo-hq.sc4, demo-shq.sc4, demo-8k.wav, demo-11k.wav
// The voice is a small formant synthesiser: a glottal pulse train whose pitch
// glides, three resonators moving between vowel targets, fricative noise and
// pauses. Deterministic: the same files every time.
// SPDX-License-Identifier: GPL-3.0-or-later
#include <algorithm>
#include <cmath>
#include <cstring>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "vek/codec/adpcm.hpp"
#include "vek/codec/bytestream.hpp"
#include "vek/codec/sc4.hpp"
#include "synth.hpp"
#if defined(VEK_HAVE_SP_ENCODER)
#include "vek/sp/encoder.hpp"
#endif

namespace {

using vek::samples::synthesise;

bool writeWav(const std::string& path, const std::vector<std::int16_t>& pcm, std::uint32_t rate) {
    vek::StdioFile f(path.c_str(), vek::StdioFile::Mode::ReadWriteTruncate);
    if (!f.isOpen()) return false;
    const std::uint32_t data = static_cast<std::uint32_t>(pcm.size() * 2);
    std::uint8_t h[44];
    auto put32 = [&](int at, std::uint32_t v) {
        for (int k = 0; k < 4; ++k) h[at + k] = static_cast<std::uint8_t>(v >> (8 * k));
    };
    auto put16 = [&](int at, std::uint16_t v) {
        h[at] = static_cast<std::uint8_t>(v);
        h[at + 1] = static_cast<std::uint8_t>(v >> 8);
    };
    std::memcpy(h, "RIFF", 4);
    put32(4, 36 + data);
    std::memcpy(h + 8, "WAVEfmt ", 8);
    put32(16, 16);
    put16(20, 1);
    put16(22, 1);
    put32(24, rate);
    put32(28, rate * 2);
    put16(32, 2);
    put16(34, 16);
    std::memcpy(h + 36, "data", 4);
    put32(40, data);
    bool ok = f.write(h, 44) == 44;
    for (auto s : pcm) {
        const std::uint8_t b[2] = {static_cast<std::uint8_t>(s & 0xFF), static_cast<std::uint8_t>((s >> 8) & 0xFF)};
        ok = ok && f.write(b, 2) == 2;
    }
    return f.close() && ok;
}

bool writeAdpcmSc4(const std::string& path, const std::vector<std::int16_t>& pcm, bool shq) {
    vek::AdpcmChannelState st;
    std::vector<std::uint8_t> frames;
    std::uint8_t frame[vek::kAdpcmFrameBytes];
    for (std::size_t i = 0; i + vek::kAdpcmFrameSamples <= pcm.size(); i += vek::kAdpcmFrameSamples) {
        vek::adpcmEncodeFrame(st, &pcm[i], frame);
        frames.insert(frames.end(), frame, frame + sizeof frame);
    }
    vek::MemorySource in(frames.data(), frames.size());
    vek::StdioFile out(path.c_str(), vek::StdioFile::Mode::ReadWriteTruncate);
    return out.isOpen() && vek::adpcmToSc4(in, out, shq) && out.close();
}

#if defined(VEK_HAVE_SP_ENCODER)
// SP: 4000 samples per 512-byte sector, the last sector padded with silence.
bool writeSpSc4(const std::string& path, const std::vector<std::int16_t>& pcm) {
    vek::SpEncoder encoder;
    if (!encoder.initialize()) return false;
    vek::StdioFile out(path.c_str(), vek::StdioFile::Mode::ReadWriteTruncate);
    if (!out.isOpen()) return false;
    std::vector<std::int16_t> block(vek::SpEncoder::kSectorSamples);
    std::uint8_t sector[vek::kSectorBytes];
    for (std::size_t i = 0; i < pcm.size(); i += block.size()) {
        std::fill(block.begin(), block.end(), 0);
        std::copy(pcm.begin() + static_cast<long>(i),
                  pcm.begin() + static_cast<long>(std::min(pcm.size(), i + block.size())), block.begin());
        if (!encoder.encodeSector(block.data(), sector) || out.write(sector, sizeof sector) != sizeof sector)
            return false;
    }
    return out.close();
}
#endif

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: vek_mksamples OUTDIR\n", stderr);
        return 2;
    }
    const std::string dir = argv[1];
    const auto pcm8 = synthesise(8000.0, 7.0);
    const auto pcm11 = synthesise(11025.0, 7.0);
    const bool ok = writeWav(dir + "/demo-8k.wav", pcm8, 8000) && writeWav(dir + "/demo-11k.wav", pcm11, 11025) &&
                    writeAdpcmSc4(dir + "/demo-hq.sc4", pcm8, false) && writeAdpcmSc4(dir + "/demo-shq.sc4", pcm11, true)
#if defined(VEK_HAVE_SP_ENCODER)
                    && writeSpSc4(dir + "/demo-sp.sc4", pcm8)
#endif
        ;
    if (!ok) {
        std::fprintf(stderr, "vek_mksamples: cannot write the samples into '%s'\n", dir.c_str());
        return 1;
    }
    return 0;
}
