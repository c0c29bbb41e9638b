// ADPCM codec: exact vectors, a differential check against a plainly written
// model of the algorithm, encoder/decoder tracking and block semantics.
// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "vek/codec/adpcm.hpp"
#include "vek/testsupport/signals.hpp"

namespace {

using vek::AdpcmChannelState;

// ---------------------------------------------------------------------------
// Reference model, written straight from the description of the codec and
// independently of the production code (decision levels instead of ranges,
// G.726-style register arithmetic with explicit sign extension).
struct Model {
    int y = 0;
    float se = 0, hist[6] = {}, b[6] = {};

    static int dqlnOf(int i) {
        static const int t[8] = {-2048, 4, 135, 213, 273, 323, 373, 425};
        return t[i < 8 ? i : 15 - i];
    }
    static int wOf(int m) {
        static const int t[8] = {-12, 18, 41, 64, 112, 198, 355, 1122};
        return t[m];
    }

    int quantize(int d) const {
        const int dqm = std::abs(d);
        int exp = 0;
        for (int e = 14; e >= 1; --e)
            if (dqm >= (1 << e)) {
                exp = e;
                break;
            }
        const int dl = exp * 128 + (((dqm << 7) >> exp) & 127);
        int dln = (dl - (y >> 2)) & 4095;
        if (dln >= 2048) dln -= 4096;  // 12-bit two's complement
        static const int levels[7] = {-124, 80, 178, 246, 300, 349, 400};
        int mag;
        if (dln < levels[0]) return 15;  // -2048..-125 is the zero region
        mag = 1;
        for (int k = 1; k < 7; ++k)
            if (dln >= levels[k]) mag = k + 1;
        return d < 0 ? 15 - mag : mag;
    }

    int reconstruct(int code) {
        const bool neg = code >= 8;
        int dql = dqlnOf(code) + (y >> 2);
        dql &= 4095;
        float dq = 0.0f;
        if (dql < 2048) {
            const int mag = ((128 + (dql & 127)) << 7) >> (14 - (dql >> 7));
            dq = static_cast<float>(mag);
        }
        if (neg) dq = -dq;
        const float sr = dq + se;
        const int s = dq > 0 ? 1 : (dq < 0 ? -1 : 0);
        for (int k = 0; k < 6; ++k) {
            const int t = std::signbit(hist[k]) && hist[k] != 0.0f ? -1 : 1;
            b[k] = static_cast<float>(b[k] * (255.0 / 256.0) + s * t / 128.0);
        }
        std::memmove(hist + 1, hist, 5 * sizeof(float));
        hist[0] = dq;
        float sez = 0.0f;
        for (int k = 0; k < 6; ++k) sez += b[k] * hist[k];
        const float v = std::fmax(-16383.0f, std::fmin(16383.0f, sez + sr));
        se = static_cast<float>(0.9 * v);
        // 13-bit scale factor register, 17-bit difference with sign extension.
        const int m = neg ? 15 - code : code;
        int dif = ((wOf(m) << 5) - y) & 0x1FFFF;
        int difsx = dif >> 5;
        if (dif & 0x10000) difsx |= 0x1000;
        const int yut = (y + difsx) & 0x1FFF;
        y = yut < 544 ? 544 : (yut > 5120 ? 5120 : yut);
        const float c = std::fmax(-4096.0f, std::fmin(4095.0f, sr));
        return static_cast<int>(8.0f * c);
    }

    int encode(int x) {
        const int code = quantize((x >> 3) - static_cast<int>(se));
        reconstruct(code);
        return code;
    }
};

TEST(Adpcm, SilenceFromResetEncodesAsOneThenFifteens) {
    AdpcmChannelState st;
    std::int16_t pcm[58] = {};
    std::uint8_t frame[29];
    vek::adpcmEncodeFrame(st, pcm, frame);
    EXPECT_EQ(frame[0], 0x1F);
    for (int j = 1; j < 29; ++j) EXPECT_EQ(frame[j], 0xFF) << "byte " << j;
}

TEST(Adpcm, KnownDecodeSequenceFromReset) {
    // The product 8 * sr is truncated, not sr: 80, 72, 65 (not 80, 72, 64).
    AdpcmChannelState st;
    EXPECT_EQ(st.decodeCode(7), 80);
    EXPECT_EQ(st.decodeCode(0), 72);
    EXPECT_EQ(st.decodeCode(0), 65);
}

TEST(Adpcm, ZeroFrameDecodesToSilence) {
    AdpcmChannelState st;
    std::uint8_t frame[29] = {};
    std::int16_t pcm[58];
    vek::adpcmDecodeFrame(st, frame, pcm);
    for (auto s : pcm) EXPECT_EQ(s, 0);
}

TEST(Adpcm, FirstZeroMagnitudeCodeWrapsScaleFactorToMaximum) {
    for (std::uint8_t code : {0, 15}) {
        AdpcmChannelState st;
        st.decodeCode(code);
        EXPECT_EQ(st.Y, 5120) << "code " << int(code);
    }
    AdpcmChannelState st;
    st.decodeCode(1);
    EXPECT_EQ(st.Y, 544);
}

TEST(Adpcm, CodesZeroAndFifteenAreTheSame) {
    std::mt19937 rng(7);
    for (int trial = 0; trial < 200; ++trial) {
        AdpcmChannelState a;
        for (int k = 0; k < 20; ++k) a.decodeCode(static_cast<std::uint8_t>(rng() & 15));
        AdpcmChannelState b = a;
        EXPECT_EQ(a.decodeCode(0), b.decodeCode(15));
        // Equal as numbers: code 0 stores +0 and code 15 stores -0 in the
        // history, and the sign of a zero never reaches a code or a sample.
        EXPECT_EQ(a.Y, b.Y);
        EXPECT_EQ(a.se, b.se);
        for (int k = 0; k < 6; ++k) {
            EXPECT_EQ(a.dqHist[k], b.dqHist[k]);
            EXPECT_EQ(a.b[k], b.b[k]);
        }
    }
}

TEST(Adpcm, DecodedSamplesStayWithinRangeForAnyCodes) {
    std::mt19937 rng(11);
    AdpcmChannelState st;
    int lo = 0, hi = 0;
    // Long runs of the largest positive and negative codes drive sr to its limits.
    for (int i = 0; i < 200000; ++i) {
        const std::uint8_t code = (i / 5000) % 3 == 0 ? 7 : ((i / 5000) % 3 == 1 ? 8 : rng() & 15);
        const int s = st.decodeCode(code);
        lo = std::min(lo, s);
        hi = std::max(hi, s);
    }
    EXPECT_EQ(hi, 32760);
    EXPECT_EQ(lo, -32768);
}

TEST(Adpcm, MatchesIndependentModelOnSpeechAndNoise) {
    const auto pcm = vek::testsupport::speechWithClicks(8000 * 6, 3);
    AdpcmChannelState st;
    Model model;
    for (std::size_t i = 0; i < pcm.size(); ++i) {
        const int code = st.encodeSample(pcm[i]);
        ASSERT_EQ(code, model.encode(pcm[i])) << "sample " << i;
        ASSERT_EQ(st.Y, model.y) << "sample " << i;
        ASSERT_EQ(st.se, model.se) << "sample " << i;
    }
    // And the decoder on arbitrary code sequences, code 0 included.
    std::mt19937 rng(5);
    AdpcmChannelState d;
    Model md;
    for (int i = 0; i < 100000; ++i) {
        const int code = static_cast<int>(rng() & 15);
        ASSERT_EQ(d.decodeCode(static_cast<std::uint8_t>(code)), md.reconstruct(code == 0 ? 15 : code)) << i;
    }
}

TEST(Adpcm, DecoderTracksEncoderAndRoundTripKeepsSpeech) {
    const auto pcm = vek::testsupport::speechWithClicks(116 / 2 * 68 * 20, 9);
    AdpcmChannelState enc, dec;
    std::vector<std::int16_t> out(pcm.size());
    std::uint8_t frame[29];
    for (std::size_t f = 0; f < pcm.size() / 58; ++f) {
        vek::adpcmEncodeFrame(enc, &pcm[f * 58], frame);
        vek::adpcmDecodeFrame(dec, frame, &out[f * 58]);
        ASSERT_EQ(0, std::memcmp(&enc, &dec, sizeof enc)) << "frame " << f;
    }
    double sig = 0, err = 0;
    for (std::size_t i = 0; i < pcm.size(); ++i) {
        sig += double(pcm[i]) * pcm[i];
        err += double(pcm[i] - out[i]) * (pcm[i] - out[i]);
    }
    const double snr = 10.0 * std::log10(sig / err);
    EXPECT_GT(snr, 18.0) << "a 4-bit ADPCM on speech keeps well above this";
}

TEST(Adpcm, BlockCallsCodeWholeFramesOnly) {
    AdpcmChannelState st;
    std::vector<std::uint8_t> pcm(7888 + 115, 0), out(4000, 0xEE);
    EXPECT_EQ(vek::adpcmEncodeBlock(st, pcm.data(), 115, out.data()), 0u);
    EXPECT_EQ(out[0], 0xEE);
    EXPECT_EQ(vek::adpcmEncodeBlock(st, pcm.data(), 7888, out.data()), 1972u);
    EXPECT_EQ(vek::adpcmEncodeBlock(st, pcm.data(), 7888 + 115, out.data()), 1972u);

    std::vector<std::uint8_t> frames(1972 + 28, 0x35), pcmOut(8000, 0xEE);
    EXPECT_EQ(vek::adpcmDecodeBlock(st, frames.data(), 28, pcmOut.data()), 0u);
    EXPECT_EQ(pcmOut[0], 0xEE);
    EXPECT_EQ(vek::adpcmDecodeBlock(st, frames.data(), 1972 + 28, pcmOut.data()), 7888u);
    EXPECT_EQ(pcmOut[7888], 0xEE);
}

TEST(Adpcm, StateRunsOnAcrossBlocksAndResetRestarts) {
    // One call over 136 frames equals two calls of 68 frames; a reset between
    // them restarts the adaptation and changes the second half.
    const auto pcm = vek::testsupport::speechWithClicks(58 * 136, 21);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(pcm.data());
    std::vector<std::uint8_t> whole(29 * 136), split(29 * 136), reset(29 * 136);
    vek::AdpcmCodec a, b, c;
    a.encode(bytes, pcm.size() * 2, whole.data());
    b.encode(bytes, 7888, split.data());
    b.encode(bytes + 7888, 7888, split.data() + 1972);
    c.encode(bytes, 7888, reset.data());
    c.reset();
    c.encode(bytes + 7888, 7888, reset.data() + 1972);
    EXPECT_EQ(whole, split);
    EXPECT_TRUE(std::equal(whole.begin(), whole.begin() + 1972, reset.begin()));
    EXPECT_FALSE(std::equal(whole.begin() + 1972, whole.end(), reset.begin() + 1972));
}

}  // namespace
