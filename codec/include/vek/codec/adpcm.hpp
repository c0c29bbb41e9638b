// The suite's 4-bit ADPCM speech codec (HQ and SHQ recordings).
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Quantizer, inverse quantizer and step-size adaptation are those of 32 kbit/s
// G.726 without the speed control; the predictor is a single-precision
// six-tap sign-sign zero predictor with one fixed pole of 0.9. The streams
// depend on every width, mask and rounding here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace vek {

inline constexpr std::size_t kAdpcmFrameBytes = 29;    // 58 four-bit codes
inline constexpr std::size_t kAdpcmFrameSamples = 58;  // 116 bytes of PCM
inline constexpr std::size_t kAdpcmFramePcmBytes = kAdpcmFrameSamples * 2;

// The state carried from sample to sample of one channel.
struct AdpcmChannelState {
    std::uint16_t Y = 0;    // step-size scale factor (13 significant bits)
    float se = 0.0f;        // signal estimate for the next sample
    float dqHist[6] = {};   // last six quantized differences, [0] newest
    float b[6] = {};        // zero-predictor coefficients

    void reset() { *this = AdpcmChannelState{}; }

    // One 16-bit sample -> one 4-bit code (1..15; the encoder never emits 0).
    std::uint8_t encodeSample(std::int16_t x);
    // One 4-bit code -> one sample in -32768..32760 (code 0 acts as 15).
    std::int16_t decodeCode(std::uint8_t code);
};

// Whole frames: 58 samples <-> 29 bytes, high nibble first.
void adpcmEncodeFrame(AdpcmChannelState& st, const std::int16_t* pcm, std::uint8_t* frame);
void adpcmDecodeFrame(AdpcmChannelState& st, const std::uint8_t* frame, std::int16_t* pcm);

// Byte-level block calls with the semantics of the library exports: only
// whole frames are coded, the rest of the input is ignored. Returns the
// number of output bytes. PCM is little-endian 16-bit.
std::size_t adpcmEncodeBlock(AdpcmChannelState& st, const std::uint8_t* pcm, std::size_t pcmBytes,
                             std::uint8_t* out);
std::size_t adpcmDecodeBlock(AdpcmChannelState& st, const std::uint8_t* frames, std::size_t frameBytes,
                             std::uint8_t* out);

// The codec object behind the library exports: one channel state shared by
// the encoder and the decoder, reset once per file.
class AdpcmCodec {
public:
    void reset() { m_channel.reset(); }
    std::size_t encode(const std::uint8_t* pcm, std::size_t pcmBytes, std::uint8_t* out) {
        return adpcmEncodeBlock(m_channel, pcm, pcmBytes, out);
    }
    std::size_t decode(const std::uint8_t* frames, std::size_t frameBytes, std::uint8_t* out) {
        return adpcmDecodeBlock(m_channel, frames, frameBytes, out);
    }
    const AdpcmChannelState& channel() const { return m_channel; }

private:
    AdpcmChannelState m_channel;
};

}  // namespace vek
