// The decoder object: one CS-ACELP frame at a time, and the SP sector framing
// around it (tag check, byte-pair swap, 50 frames, output rounding).
// SPDX-License-Identifier: GPL-3.0-or-later
#include <cmath>
#include <cstring>
#include <iterator>

#include "blocks.hpp"
#include "vek/checked.hpp"

namespace vek {

namespace {

using namespace sp;

constexpr float kSharpMin = 0.2f;
constexpr float kSharpMax = 0.7945f;
constexpr int kExcHistory = kPitchMax + kInterpolationTaps + 1;
constexpr int kInitialPitch = 60;
constexpr uint16_t kInitialSeed = 21845;

// Far beyond any signal a valid stream produces (the output is 16-bit), yet
// far below where single precision overflows within a frame: a frame past it
// can only come from corrupt data, for example a run of frames with pitch
// gains above one, or a set of LSPs the stability rules do not fully repair.
constexpr float kSignalLimit = 1.0e7f;

bool inRange(const float* v, int n) {
    for (int i = 0; i < n; ++i) {
        if (!(std::fabs(v[i]) <= kSignalLimit)) return false;  // also false for NaN
    }
    return true;
}

}  // namespace

namespace sp {

int16_t toPcm(float v) {
    // Half away from zero in single precision, then saturation; the
    // conversion itself truncates toward zero. Written without branches on
    // the sign so that it compiles to selects.
    if (!(v == v)) return 0;
    const float r = v >= 0.0f ? v + 0.5f : v - 0.5f;
    const float c = r > 32767.0f ? 32767.0f : (r < -32768.0f ? -32768.0f : r);
    return static_cast<int16_t>(c);
}

}  // namespace sp

void SpDecoder::initialize() {
    lspDecoderReset(lsp_);
    gainDecoderReset(exc_.pastQuantisedEnergy);
    exc_.sharpening = kSharpMin;
    exc_.previousPitch = kInitialPitch;
    exc_.randomSeed = kInitialSeed;
    resetSignalMemories();
    recovered_ = 0;
}

void SpDecoder::resetSignalMemories() {
    std::memset(exc_.buffer, 0, sizeof exc_.buffer);
    std::memset(synthesisMemory_, 0, sizeof synthesisMemory_);
    std::memset(synthesis_, 0, sizeof synthesis_);
    postfilterReset(post_);
    highPassReset(highPass_);
}

void SpDecoder::decodeFrame(const FrameParameters& prm, float* out) {
    const uint16_t* p = prm.value;

    float lsp[kOrder];
    decodeLsp(lsp_, p[0], p[1], lsp);
    float a[2][kOrder + 1];
    interpolateLpc(lsp_.previousLsp, lsp, a);
    std::memcpy(lsp_.previousLsp, lsp, sizeof lsp);

    // Stored frames carry no erasure flag; the only concealment left is that
    // of a first-subframe delay whose parity bit does not match.
    const bool parityError = pitchParityError(p[2], p[3]);

    float* exc = exc_.buffer + kExcHistory;
    float* syn = synthesis_ + kOrder;
    int t0 = 0;
    int fraction = 0;
    int pitch[2];
    for (int sub = 0; sub < 2; ++sub) {
        const int offset = sub * kSubframeSamples;
        // Subframe 0: P1 at 2 (P0 at 3), C1 S1 GA1GB1 at 4..6;
        // subframe 1: P2 at 7, C2 S2 GA2GB2 at 8..10.
        const unsigned pitchIndex = sub == 0 ? p[2] : p[7];
        const uint16_t* rest = sub == 0 ? p + 4 : p + 8;
        if (sub == 0 && parityError) {
            // Repeat the last good integer delay and let it creep upwards.
            t0 = exc_.previousPitch;
            fraction = 0;
            if (++exc_.previousPitch > kPitchMax) exc_.previousPitch = kPitchMax;
        } else {
            decodePitchDelay(pitchIndex, sub == 0, t0, fraction);
            exc_.previousPitch = t0;
        }
        pitch[sub] = t0;

        // The interpolator reads kInterpolationTaps samples either side of
        // the delayed subframe, all within the excitation buffer.
        VEK_CHECK_INDEX(fraction + 1, 3);
        VEK_CHECK_RANGE(exc + offset - t0 - kInterpolationTaps, kSubframeSamples + 2 * kInterpolationTaps,
                        exc_.buffer, std::size(exc_.buffer));
        adaptiveCodebookVector(exc + offset, t0, fraction);

        float code[kSubframeSamples];
        fixedCodebookVector(rest[0], rest[1], code);
        // Pitch sharpening of the innovation with the previous pitch gain.
        for (int i = t0; i < kSubframeSamples; ++i) {
            VEK_CHECK_INDEX(i - t0, kSubframeSamples);
            code[i] += exc_.sharpening * code[i - t0];
        }

        float pitchGain;
        float codeGain;
        decodeGains(rest[2], code, exc_.pastQuantisedEnergy, pitchGain, codeGain);
        exc_.sharpening = pitchGain > kSharpMax ? kSharpMax : (pitchGain < kSharpMin ? kSharpMin : pitchGain);

        for (int i = 0; i < kSubframeSamples; ++i) exc[offset + i] = pitchGain * exc[offset + i] + codeGain * code[i];
        synthesisFilter(a[sub], exc + offset, syn + offset, kSubframeSamples, synthesisMemory_);
    }

    bool ok = inRange(exc, kFrameSamples) && inRange(syn, kFrameSamples);
    if (ok) {
        postfilter(post_, syn, a, pitch, out);
        highPass(highPass_, out, kFrameSamples);
        ok = inRange(out, kFrameSamples);
    }
    if (!ok) {
        // Corrupt data drove the filters out of range: this frame becomes
        // silence and the signal memories start afresh, so that nothing
        // unbounded or undefined survives into later frames. The parameter
        // memories (LSP, gain and pitch predictors) stay, they are bounded.
        resetSignalMemories();
        std::memset(out, 0, kFrameSamples * sizeof(float));
        ++recovered_;
        return;
    }

    std::memmove(synthesis_, synthesis_ + kFrameSamples, kOrder * sizeof(float));
    std::memmove(exc_.buffer, exc_.buffer + kFrameSamples, kExcHistory * sizeof(float));
}

void SpDecoder::decodeFrame(const uint8_t* bits, int16_t* pcm) {
    float out[kFrameSamples];
    decodeFrame(unpackFrame(bits), out);
    // The frame is range-checked already (no NaN, |v| <= 1e7), so the plain
    // form of the conversion applies and the loop vectorises.
    for (int i = 0; i < kFrameSamples; ++i) {
        const float v = out[i];
        const float r = v >= 0.0f ? v + 0.5f : v - 0.5f;
        pcm[i] = static_cast<int16_t>(r > 32767.0f ? 32767.0f : (r < -32768.0f ? -32768.0f : r));
    }
}

int32_t SpDecoder::decodeSector(const AudioCodecBlock& block) {
    if (!block.outputCount) return 0;
    int32_t& count = *block.outputCount;
    if (block.inputLength < kTagBytes) {
        count = 0;
        return 1;
    }
    const auto* in = static_cast<const uint8_t*>(block.input);
    if (!in || std::memcmp(in, kSectorTag, kTagBytes) != 0) {
        count = 0;
        return 0;
    }
    const std::size_t n = block.inputLength - kTagBytes;
    const std::size_t frames = n / kFrameBytes;
    if (n > kMaxDataBytes || (frames > 0 && !block.output)) {
        count = 0;
        return 0;
    }
    auto* outBytes = static_cast<uint8_t*>(block.output);
    for (std::size_t f = 0; f < frames; ++f) {
        // The sector stores each frame as five little-endian 16-bit words:
        // swapping every byte pair gives the transmission order.
        const uint8_t* src = in + kTagBytes + f * kFrameBytes;
        uint8_t bits[kFrameBytes];
        for (int i = 0; i < kFrameBytes; i += 2) {
            bits[i] = src[i + 1];
            bits[i + 1] = src[i];
        }
        int16_t pcm[kFrameSamples];
        decodeFrame(bits, pcm);
        std::memcpy(outBytes + f * sizeof pcm, pcm, sizeof pcm);
    }
    count = static_cast<int32_t>(frames * kFrameSamples * sizeof(int16_t));
    return 1;
}

}  // namespace vek

namespace {
vek::SpDecoder g_playerDecoder;
}

int32_t InitializeSpDecoder() {
    g_playerDecoder.initialize();
    return 1;
}

int32_t DecodeSpSector(AudioCodecBlock* block) { return block ? g_playerDecoder.decodeSector(*block) : 0; }
