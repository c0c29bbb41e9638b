// The SP-mode speech decoder: CS-ACELP (G.729 Annex A) in single precision,
// with the Annex A post-filter and the output high-pass filter, behind the
// 512-byte SP sector framing of the recorder.
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef VEK_SP_DECODER_HPP
#define VEK_SP_DECODER_HPP

#include <cstddef>
#include <cstdint>

#include "vekcdc5.h"  // AudioCodecBlock

namespace vek {

namespace sp {

inline constexpr int kOrder = 10;          // LP order
inline constexpr int kFrameSamples = 80;   // 10 ms at 8000 Hz
inline constexpr int kSubframeSamples = 40;
inline constexpr int kPitchMin = 20;
inline constexpr int kPitchMax = 143;
inline constexpr int kInterpolationTaps = 10;  // one side of the 1/3-sample interpolator
inline constexpr int kFrameBytes = 10;
inline constexpr int kParameterCount = 11;
inline constexpr int kPostfilterResponse = 22;  // taps of the tilt estimate

// Sector framing: "dmr1data", then the little-endian data length 500.
inline constexpr std::size_t kSectorBytes = 512;
inline constexpr std::size_t kTagBytes = 10;
inline constexpr std::size_t kMaxDataBytes = 1000;
inline constexpr unsigned char kSectorTag[kTagBytes] = {'d', 'm', 'r', '1', 'd', 'a', 't', 'a', 0xF4, 0x01};
inline constexpr std::size_t kSectorPcmBytes = 8000;

// The eleven transmitted parameters of one frame, in stream order:
// L0L1 (8 bits), L2L3 (10), P1 (8), P0 (1), C1 (13), S1 (4), GA1GB1 (7),
// P2 (5), C2 (13), S2 (4), GA2GB2 (7).
struct FrameParameters {
    uint16_t value[kParameterCount];
};

// Unpacks one frame whose 80 bits are in transmission order, most
// significant bit of byte 0 first (the byte order after the pair swap of the
// SP sector).
FrameParameters unpackFrame(const uint8_t* bits);
// Inverse of unpackFrame, for the encoder side and for tests.
void packFrame(const FrameParameters& params, uint8_t* bits);
// True when the parity bit P0 does not match the six high bits of P1.
bool pitchParityError(unsigned pitchIndex, unsigned parityBit);
// Output conversion: half away from zero, saturated to 16 bits (NaN gives 0).
int16_t toPcm(float v);

// Decoder-side state of each functional block. Kept in plain structs so that
// the decoder is one object with no allocation and no hidden statics.
struct LspDecoderState {
    float lsfPredictorMemory[4][kOrder];  // past quantiser outputs (LSF, radians)
    float previousLsp[kOrder];            // cosine domain, for interpolation
};

struct ExcitationState {
    // Past excitation for the adaptive codebook, then the current frame.
    float buffer[kPitchMax + kInterpolationTaps + 1 + kFrameSamples];
    float pastQuantisedEnergy[4];  // gain predictor memory, dB
    float sharpening;              // pitch gain of the previous subframe, bounded
    int previousPitch;             // integer delay used on a pitch parity error
    uint16_t randomSeed;           // used by the standard's erasure concealment only
};

struct PostfilterState {
    float residual[kPitchMax + kSubframeSamples];  // past residual for the pitch post-filter
    float synthesisMemory[kOrder];                  // of 1/A(z/0.7)
    float preemphasisMemory;
    float pastGain;  // automatic gain control
};

struct HighPassState {
    float x1, x2, y1, y2;
};

}  // namespace sp

class SpDecoder {
public:
    SpDecoder() { initialize(); }

    // Back to the initial state of the standard: decoder, post-filter and
    // output high-pass filter reset.
    void initialize();

    // Decodes one SP sector: block.input holds block.inputLength bytes
    // starting with the 10-byte tag; 160 bytes of PCM per whole 10-byte frame
    // go to block.output and their number to *block.outputCount. Returns 1 on
    // success (also for inputs shorter than the tag, with count 0), 0 when
    // the tag is wrong, the data area exceeds 1000 bytes or a pointer the
    // call needs is null. A failed call leaves the state untouched.
    int32_t decodeSector(const AudioCodecBlock& block);

    // Decodes one 10-byte frame in transmission bit order into 80 samples.
    void decodeFrame(const uint8_t* bits, int16_t* pcm);
    // The same, from unpacked parameters, with the floating-point output
    // before rounding (for tests and comparisons).
    void decodeFrame(const sp::FrameParameters& params, float* out);

    // Number of frames whose decoding went numerically out of range (only
    // corrupt data does that) and had the signal memories cleared.
    uint32_t recoveredFrames() const { return recovered_; }

private:
    void resetSignalMemories();

    sp::LspDecoderState lsp_;
    sp::ExcitationState exc_;
    sp::PostfilterState post_;
    sp::HighPassState highPass_;
    float synthesisMemory_[sp::kOrder];
    // Unfiltered synthesis: the last kOrder samples of the previous frame,
    // then the current frame (the post-filter's residual needs the history).
    float synthesis_[sp::kOrder + sp::kFrameSamples];
    uint32_t recovered_ = 0;
};

}  // namespace vek

// The player's process-wide decoder, as the original C-style interface.
// InitializeSpDecoder returns 1; DecodeSpSector returns as
// SpDecoder::decodeSector (0 for a null block).
int32_t InitializeSpDecoder();
int32_t DecodeSpSector(AudioCodecBlock* block);

#endif  // VEK_SP_DECODER_HPP
