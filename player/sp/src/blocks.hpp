// The functional blocks of the decoder, one source file each.
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef VEK_SP_BLOCKS_HPP
#define VEK_SP_BLOCKS_HPP

#include "vek/sp/decoder.hpp"

namespace vek::sp {

// lsp_decoder.cpp: the two-stage quantiser indices to the LSP vector of the
// frame (cosine domain), with the ordering and spacing rules and the two
// warnings on standard output.
void lspDecoderReset(LspDecoderState& state);
void decodeLsp(LspDecoderState& state, unsigned l0l1, unsigned l2l3, float lsp[kOrder]);
// The ordering and minimum-distance rules applied to the LSF vector (radians).
void lsfStability(float lsf[kOrder]);

// lsp_to_lpc.cpp: LSP vector to the LP coefficients a[0..10] (a[0] = 1), and
// the two subframe filters of a frame (interpolated, then the frame's own).
void lspToLpc(const float lsp[kOrder], float a[kOrder + 1]);
void interpolateLpc(const float previousLsp[kOrder], const float lsp[kOrder], float a[2][kOrder + 1]);

// adaptive_codebook.cpp: pitch delay decoding and the interpolated past
// excitation. decodePitchDelay: subframe 0 from the 8-bit index, subframe 1
// from the 5-bit index relative to the delay of subframe 0 (passed in t0).
void decodePitchDelay(unsigned index, bool firstSubframe, int& t0, int& fraction);
// exc points at the subframe start inside a buffer holding at least
// kPitchMax + kInterpolationTaps + 1 samples before it.
void adaptiveCodebookVector(float* exc, int t0, int fraction);

// fixed_codebook.cpp: the four signed unit pulses of the 13-bit position
// index and 4-bit sign index.
void fixedCodebookVector(unsigned positions, unsigned signs, float code[kSubframeSamples]);

// gain_decoder.cpp: the 7-bit gain index to the pitch gain and the fixed
// codebook gain (with the MA energy prediction from the innovation).
void gainDecoderReset(float pastEnergy[4]);
void decodeGains(unsigned index, const float code[kSubframeSamples], float pastEnergy[4], float& pitchGain,
                 float& codeGain);

// synthesis_filter.cpp: 1/A(z) over n samples with its memory of kOrder
// past outputs (updated), and the residual filter A(z) over x with x[-10..-1]
// available.
void synthesisFilter(const float a[kOrder + 1], const float* x, float* y, int n, float memory[kOrder]);
void residualFilter(const float a[kOrder + 1], const float* x, float* y, int n);

// postfilter.cpp: the Annex A adaptive post-filter over one frame: syn holds
// kOrder samples of history before the frame; the output replaces nothing,
// it is written to out.
void postfilterReset(PostfilterState& state);
void postfilter(PostfilterState& state, const float* syn, const float a[2][kOrder + 1], const int pitch[2],
                float out[kFrameSamples]);

// post_processing.cpp: the 100 Hz output high-pass filter, in place.
void highPassReset(HighPassState& state);
void highPass(HighPassState& state, float* signal, int n);

}  // namespace vek::sp

#endif
