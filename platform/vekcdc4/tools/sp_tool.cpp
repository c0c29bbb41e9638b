// sp-tool: command-line access to the SP encoder layer, our SP decoder and
// the libbcg729 decoder, for peer comparisons and whole-run timing.
//   sp-tool encode IN.pcm OUT.sc4          16-bit mono 8000 Hz raw PCM to SP sectors
//   sp-tool encode-bcg729 IN.pcm OUT.g729  libbcg729's encoder directly, plain frames
//   sp-tool decode IN.sc4 OUT.pcm          our decoder
//   sp-tool decode-bcg729 IN.sc4 OUT.pcm   libbcg729's decoder, same frames
//   sp-tool to-g729 IN.sc4 OUT.g729        plain 10-byte frames in transmission order
//   sp-tool compare REF.pcm TEST.pcm [--align]  segmental SNR, SNR and correlation
// SPDX-License-Identifier: GPL-3.0-or-later
// libbcg729 declares its functions without C linkage markers.
extern "C" {
#include <bcg729/decoder.h>
#include <bcg729/encoder.h>
}

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "vek/sp/decoder.hpp"
#include "vek/sp/encoder.hpp"

namespace {

std::vector<uint8_t> readFile(const char* path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error(std::string("cannot read ") + path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const char* path, const void* data, std::size_t n) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(static_cast<const char*>(data), static_cast<std::streamsize>(n));
    if (!out) throw std::runtime_error(std::string("cannot write ") + path);
}

std::vector<int16_t> toSamples(const std::vector<uint8_t>& bytes) {
    std::vector<int16_t> s(bytes.size() / 2);
    std::memcpy(s.data(), bytes.data(), s.size() * 2);
    return s;
}

// Frames of the sectors in transmission order (tag checked, pairs swapped).
std::vector<uint8_t> sectorFrames(const std::vector<uint8_t>& sc4) {
    std::vector<uint8_t> frames;
    for (std::size_t off = 0; off + vek::sp::kSectorBytes <= sc4.size(); off += vek::sp::kSectorBytes) {
        const uint8_t* s = sc4.data() + off;
        if (std::memcmp(s, vek::sp::kSectorTag, vek::sp::kTagBytes) != 0)
            throw std::runtime_error("sector without SP tag at offset " + std::to_string(off));
        for (int f = 0; f < 50; ++f) {
            const uint8_t* src = s + vek::sp::kTagBytes + f * 10;
            for (int i = 0; i < 10; i += 2) {
                frames.push_back(src[i + 1]);
                frames.push_back(src[i]);
            }
        }
    }
    return frames;
}

int encode(const char* in, const char* out) {
    std::vector<int16_t> pcm = toSamples(readFile(in));
    pcm.resize((pcm.size() + 3999) / 4000 * 4000, 0);
    vek::SpEncoder enc;
    std::vector<uint8_t> sc4(pcm.size() / 4000 * 512);
    for (std::size_t i = 0; i < pcm.size() / 4000; ++i) {
        if (!enc.encodeSector(pcm.data() + i * 4000, sc4.data() + i * 512)) throw std::runtime_error("encoder failed");
    }
    writeFile(out, sc4.data(), sc4.size());
    return 0;
}

// libbcg729's encoder called directly, plain frames out (the reference for
// the cost of our sector layer).
int encodeBcg729(const char* in, const char* out) {
    std::vector<int16_t> pcm = toSamples(readFile(in));
    pcm.resize((pcm.size() + 3999) / 4000 * 4000, 0);
    bcg729EncoderChannelContextStruct* ch = initBcg729EncoderChannel(0);
    std::vector<uint8_t> frames(pcm.size() / 80 * 10);
    for (std::size_t f = 0; f < pcm.size() / 80; ++f) {
        uint8_t len = 0;
        bcg729Encoder(ch, &pcm[f * 80], &frames[f * 10], &len);
    }
    closeBcg729EncoderChannel(ch);
    writeFile(out, frames.data(), frames.size());
    return 0;
}

int decodeOurs(const char* in, const char* out) {
    const std::vector<uint8_t> sc4 = readFile(in);
    vek::SpDecoder dec;
    std::vector<int16_t> pcm;
    std::vector<int16_t> block(4000);
    for (std::size_t off = 0; off + 512 <= sc4.size(); off += 512) {
        int32_t count = 0;
        AudioCodecBlock b{sc4.data() + off, 512, 0, block.data(), &count};
        if (dec.decodeSector(b) != 1) std::fill(block.begin(), block.end(), 0), count = 8000;
        pcm.insert(pcm.end(), block.begin(), block.begin() + count / 2);
    }
    writeFile(out, pcm.data(), pcm.size() * 2);
    return 0;
}

int decodeBcg729(const char* in, const char* out) {
    const std::vector<uint8_t> frames = sectorFrames(readFile(in));
    bcg729DecoderChannelContextStruct* ch = initBcg729DecoderChannel();
    std::vector<int16_t> pcm(frames.size() / 10 * 80);
    for (std::size_t f = 0; f < frames.size() / 10; ++f) bcg729Decoder(ch, &frames[f * 10], 10, 0, 0, 0, &pcm[f * 80]);
    closeBcg729DecoderChannel(ch);
    writeFile(out, pcm.data(), pcm.size() * 2);
    return 0;
}

int toG729(const char* in, const char* out) {
    const std::vector<uint8_t> frames = sectorFrames(readFile(in));
    writeFile(out, frames.data(), frames.size());
    return 0;
}

double correlationAt(const std::vector<int16_t>& ref, const std::vector<int16_t>& test, std::size_t lag) {
    const std::size_t n = std::min(ref.size(), test.size() - std::min(test.size(), lag));
    double sr = 0, st = 0, srr = 0, stt = 0, srt = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const double r = ref[i], t = test[i + lag];
        sr += r, st += t, srr += r * r, stt += t * t, srt += r * t;
    }
    const double cov = srt - sr * st / n, vr = srr - sr * sr / n, vt = stt - st * st / n;
    return (n > 0 && vr > 0 && vt > 0) ? cov / std::sqrt(vr * vt) : 0.0;
}

int compare(const char* refPath, const char* testPath, bool align) {
    const std::vector<int16_t> ref = toSamples(readFile(refPath));
    std::vector<int16_t> test = toSamples(readFile(testPath));
    // With --align the test signal is first moved back by the delay (0..400
    // samples) that correlates best: an encoder/decoder chain delays its
    // input by its look-ahead and filters.
    std::size_t lag = 0;
    if (align) {
        double best = -2;
        for (std::size_t l = 0; l <= 400; ++l) {
            const double c = correlationAt(ref, test, l);
            if (c > best) best = c, lag = l;
        }
        test.erase(test.begin(), test.begin() + static_cast<std::ptrdiff_t>(std::min(lag, test.size())));
    }
    const std::size_t n = std::min(ref.size(), test.size());
    // Segmental SNR over 20 ms segments that are not near-silent in the
    // reference, each clamped to -10..80 dB; SNR and Pearson correlation
    // over the whole signal.
    constexpr std::size_t kSeg = 160;
    double segSum = 0;
    int segs = 0;
    double sig = 0, err = 0, sr = 0, st = 0, srr = 0, stt = 0, srt = 0;
    for (std::size_t s = 0; s + kSeg <= n; s += kSeg) {
        double es = 0, ee = 0;
        for (std::size_t i = s; i < s + kSeg; ++i) {
            const double r = ref[i], t = test[i];
            es += r * r;
            ee += (r - t) * (r - t);
        }
        if (es / kSeg < 100.0 * 100.0) continue;
        double snr = ee == 0 ? 80.0 : 10.0 * std::log10(es / ee);
        snr = std::max(-10.0, std::min(80.0, snr));
        segSum += snr;
        ++segs;
    }
    for (std::size_t i = 0; i < n; ++i) {
        const double r = ref[i], t = test[i];
        sig += r * r;
        err += (r - t) * (r - t);
        sr += r;
        st += t;
        srr += r * r;
        stt += t * t;
        srt += r * t;
    }
    const double cov = srt - sr * st / n, vr = srr - sr * sr / n, vt = stt - st * st / n;
    const double corr = (vr > 0 && vt > 0) ? cov / std::sqrt(vr * vt) : 0.0;
    if (align) std::printf("delay %zu ", lag);
    std::printf("samples %zu segments %d segsnr_db %.2f snr_db %.2f corr %.5f\n", n, segs,
                segs ? segSum / segs : 0.0, err == 0 ? 99.0 : 10.0 * std::log10(sig / err), corr);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        const std::string cmd = argc > 1 ? argv[1] : "";
        if (argc == 4 && cmd == "encode") return encode(argv[2], argv[3]);
        if (argc == 4 && cmd == "encode-bcg729") return encodeBcg729(argv[2], argv[3]);
        if (argc == 4 && cmd == "decode") return decodeOurs(argv[2], argv[3]);
        if (argc == 4 && cmd == "decode-bcg729") return decodeBcg729(argv[2], argv[3]);
        if (argc == 4 && cmd == "to-g729") return toG729(argv[2], argv[3]);
        if (argc == 4 && cmd == "compare") return compare(argv[2], argv[3], false);
        if (argc == 5 && cmd == "compare" && std::string(argv[4]) == "--align") return compare(argv[2], argv[3], true);
        std::fputs("usage: sp-tool encode|encode-bcg729|decode|decode-bcg729|to-g729|compare IN OUT\n", stderr);
        return 2;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "sp-tool: %s\n", e.what());
        return 1;
    }
}
