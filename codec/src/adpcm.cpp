// ADPCM speech codec: one sample at a time, exactly as the stored streams
// were made.
// SPDX-License-Identifier: GPL-3.0-or-later
#include "vek/codec/adpcm.hpp"

#include <cmath>

#include "vek/checked.hpp"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vek {
namespace {

// Inverse quantizer log magnitudes of 32 kbit/s G.726, 12-bit two's
// complement (2048 stands for -2048, which always gives a zero magnitude).
constexpr std::uint16_t kDqln[16] = {2048, 4,   135, 213, 273, 323, 373, 425,
                                     425,  373, 323, 273, 213, 135, 4,   2048};
// Scale-factor multipliers by magnitude index; 4084 is -12 in 12 bits.
constexpr std::uint16_t kW[8] = {4084, 18, 41, 64, 112, 198, 355, 1122};

// Quantizer: the normalized log difference DLN (0..4095) -> magnitude code.
inline std::uint8_t quantize(unsigned dln, bool negative) {
    unsigned m;  // code for a positive difference
    if (dln >= 2048 && dln <= 3971) {
        return 15;  // below the smallest step: the same code for both signs
    } else if (dln <= 79 || dln >= 3972) {
        m = 1;
    } else if (dln <= 177) {
        m = 2;
    } else if (dln <= 245) {
        m = 3;
    } else if (dln <= 299) {
        m = 4;
    } else if (dln <= 348) {
        m = 5;
    } else if (dln <= 399) {
        m = 6;
    } else {
        m = 7;
    }
    return static_cast<std::uint8_t>(negative ? 15 - m : m);
}

// Position of the highest set bit of v (v >= 2).
inline int highestBit(unsigned v) { return 31 - __builtin_clz(v); }

}  // namespace

std::uint8_t AdpcmChannelState::encodeSample(std::int16_t x) {
    const int sl = x >> 3;  // arithmetic: -4096..4095
    const int seInt = static_cast<int>(se);  // truncation toward zero
    const int d = sl - seInt;
    const bool ds = d < 0;
    const unsigned dqm = static_cast<unsigned>(ds ? -d : d);
    const int exp = dqm <= 1 ? 0 : highestBit(dqm);
    const unsigned mant = ((dqm * 128u) >> exp) & 127u;
    const unsigned dl = static_cast<unsigned>(exp) * 128u + mant;
    const unsigned dln = (dl - (static_cast<unsigned>(Y) >> 2)) & 0xFFFu;
    const std::uint8_t code = quantize(dln, ds);
    decodeCode(code);  // the encoder tracks the decoder exactly
    return code;
}

std::int16_t AdpcmChannelState::decodeCode(std::uint8_t code) {
    const unsigned i = code & 15u;
    const bool dqs = (i >> 3) != 0;
    const unsigned dql = (at(kDqln, i) + (static_cast<unsigned>(Y) >> 2)) & 0xFFFu;
    unsigned magnitude = 0;
    if (dql < 2048) {
        const unsigned dex = dql >> 7;  // never above 13
        const unsigned dmn = dql & 127u;
        magnitude = ((128u + dmn) * 128u) >> (14u - dex);
    }
    float dq = static_cast<float>(magnitude);
    if (dqs) dq = -dq;  // a zero magnitude gives -0, which counts as zero

    const float sr = dq + se;

    // Sign-sign update of the zero predictor, with the history before this
    // sample: b = (1 - 2^-8) b + 2^-7 s t, evaluated in double (b widened, so
    // b * 255/256 is exact) and stored once in single precision. s is the sign
    // of dq (0 for either zero); t is -1 for a negative history value and +1
    // otherwise, so the increment is +-s/128.
    const double step = (dq < 0.0f ? -1.0 : (dq > 0.0f ? 1.0 : 0.0)) * (1.0 / 128.0);
#if defined(__SSE2__)
    // The same arithmetic two taps at a time: widen, multiply, add the
    // increment with its sign flipped where the history is negative, round.
    {
        const __m128d keep = _mm_set1_pd(1.0 - 1.0 / 256.0);
        const __m128d inc = _mm_set1_pd(step);
        const __m128d sign = _mm_set1_pd(-0.0);
        const __m128d zero = _mm_setzero_pd();
        for (int k = 0; k < 6; k += 2) {
            const __m128d bd = _mm_cvtps_pd(_mm_castpd_ps(_mm_load_sd(reinterpret_cast<const double*>(&b[k]))));
            const __m128d hd = _mm_cvtps_pd(_mm_castpd_ps(_mm_load_sd(reinterpret_cast<const double*>(&dqHist[k]))));
            const __m128d signedInc = _mm_xor_pd(inc, _mm_and_pd(_mm_cmplt_pd(hd, zero), sign));
            const __m128 r = _mm_cvtpd_ps(_mm_add_pd(_mm_mul_pd(keep, bd), signedInc));
            _mm_storel_pi(reinterpret_cast<__m64*>(&b[k]), r);
        }
    }
#else
    for (int k = 0; k < 6; ++k) {
        const double t = dqHist[k] < 0.0f ? -1.0 : 1.0;
        b[k] = static_cast<float>((1.0 - 1.0 / 256.0) * static_cast<double>(b[k]) + step * t);
    }
#endif
    dqHist[5] = dqHist[4];
    dqHist[4] = dqHist[3];
    dqHist[3] = dqHist[2];
    dqHist[2] = dqHist[1];
    dqHist[1] = dqHist[0];
    dqHist[0] = dq;

    // Summed in single precision, in the order k = 0..5.
    float sez = b[0] * dqHist[0];
    sez = sez + b[1] * dqHist[1];
    sez = sez + b[2] * dqHist[2];
    sez = sez + b[3] * dqHist[3];
    sez = sez + b[4] * dqHist[4];
    sez = sez + b[5] * dqHist[5];

    float v = sez + sr;
    if (v > 16383.0f) v = 16383.0f;
    if (v < -16383.0f) v = -16383.0f;
    se = static_cast<float>(0.9 * static_cast<double>(v));

    // Step-size adaptation with the masks of 13/17-bit registers: from Y = 0
    // a first code of 0 or 15 wraps DIF and lands on 5120, not 544.
    const unsigned m = dqs ? 15u - i : i;
    const unsigned dif = (32u * at(kW, m) - static_cast<unsigned>(Y)) & 0x1FFFFu;
    const unsigned difsx = (dif & 0x10000u) ? (dif >> 5) + 4096u : (dif >> 5);
    const unsigned yut = (static_cast<unsigned>(Y) + difsx) & 0x1FFFu;
    Y = static_cast<std::uint16_t>(yut < 544u ? 544u : (yut >= 5120u ? 5120u : yut));

    float srl = sr;
    if (srl > 4095.0f) srl = 4095.0f;
    if (srl < -4096.0f) srl = -4096.0f;
    // 8 * srl is exact in float; the conversion truncates toward zero.
    return static_cast<std::int16_t>(static_cast<int>(8.0f * srl));
}

void adpcmEncodeFrame(AdpcmChannelState& st, const std::int16_t* pcm, std::uint8_t* frame) {
    for (std::size_t j = 0; j < kAdpcmFrameBytes; ++j) {
        const std::uint8_t hi = st.encodeSample(pcm[2 * j]);
        const std::uint8_t lo = st.encodeSample(pcm[2 * j + 1]);
        frame[j] = static_cast<std::uint8_t>((hi << 4) | lo);
    }
}

void adpcmDecodeFrame(AdpcmChannelState& st, const std::uint8_t* frame, std::int16_t* pcm) {
    for (std::size_t j = 0; j < kAdpcmFrameBytes; ++j) {
        pcm[2 * j] = st.decodeCode(static_cast<std::uint8_t>(frame[j] >> 4));
        pcm[2 * j + 1] = st.decodeCode(static_cast<std::uint8_t>(frame[j] & 15u));
    }
}

std::size_t adpcmEncodeBlock(AdpcmChannelState& st, const std::uint8_t* pcm, std::size_t pcmBytes,
                             std::uint8_t* out) {
    const std::size_t frames = pcmBytes / kAdpcmFramePcmBytes;
    std::int16_t samples[kAdpcmFrameSamples];
    for (std::size_t f = 0; f < frames; ++f) {
        const std::uint8_t* src = pcm + f * kAdpcmFramePcmBytes;
        for (std::size_t n = 0; n < kAdpcmFrameSamples; ++n)
            samples[n] = static_cast<std::int16_t>(static_cast<std::uint16_t>(src[2 * n] | (src[2 * n + 1] << 8)));
        adpcmEncodeFrame(st, samples, out + f * kAdpcmFrameBytes);
    }
    return frames * kAdpcmFrameBytes;
}

std::size_t adpcmDecodeBlock(AdpcmChannelState& st, const std::uint8_t* frames, std::size_t frameBytes,
                             std::uint8_t* out) {
    const std::size_t count = frameBytes / kAdpcmFrameBytes;
    std::int16_t samples[kAdpcmFrameSamples];
    for (std::size_t f = 0; f < count; ++f) {
        adpcmDecodeFrame(st, frames + f * kAdpcmFrameBytes, samples);
        std::uint8_t* dst = out + f * kAdpcmFramePcmBytes;
        for (std::size_t n = 0; n < kAdpcmFrameSamples; ++n) {
            const auto u = static_cast<std::uint16_t>(samples[n]);
            dst[2 * n] = static_cast<std::uint8_t>(u & 0xFF);
            dst[2 * n + 1] = static_cast<std::uint8_t>(u >> 8);
        }
    }
    return count * kAdpcmFramePcmBytes;
}

}  // namespace vek
