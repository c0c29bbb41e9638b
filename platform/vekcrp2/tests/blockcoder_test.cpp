// The engine's block coding against the codec, decoder and effect cores it
// wraps: the same bytes and samples as those cores give from a fresh state.
// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "vek/crp2/blockcoder.hpp"
#include "vek/effects/voice_effect.hpp"
#include "vek/sp/decoder.hpp"
#include "vek/sp/encoder.hpp"

namespace vek::crp2 {
namespace {

std::vector<std::int16_t> tone(int n, double hz, int rate, int offset = 0) {
    std::vector<std::int16_t> v(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
        v[i] = static_cast<std::int16_t>(9000 * std::sin(2 * M_PI * hz * (i + offset) / rate));
    return v;
}

TEST(BlockCoder, AdpcmBlocksAreTheCodecsFramesFromAFreshState) {
    for (std::uint8_t mode : {kModeHQ, kModeSHQ}) {
        BlockCoder c;
        ASSERT_TRUE(c.beginCapture(mode));
        AdpcmChannelState enc, dec;
        // And back, through the playback side of a second coder.
        BlockCoder p;
        p.beginPlayback(mode, 0, 47);
        for (int b = 0; b < 3; ++b) {
            auto pcm = tone(kAdpcmBlockSamples, 440, sampleRateOf(mode), b * kAdpcmBlockSamples);
            std::uint8_t got[kAdpcmBlockBytes], want[kAdpcmBlockBytes];
            ASSERT_TRUE(c.encode(pcm.data(), got));
            for (int f = 0; f < 68; ++f)
                adpcmEncodeFrame(enc, pcm.data() + f * 58, want + f * 29);
            ASSERT_EQ(std::memcmp(got, want, sizeof got), 0) << "block " << b;
            std::int16_t out[kAdpcmBlockSamples], ref[kAdpcmBlockSamples];
            p.decode(got, out);
            for (int f = 0; f < 68; ++f)
                adpcmDecodeFrame(dec, want + f * 29, ref + f * 58);
            ASSERT_EQ(std::memcmp(out, ref, sizeof out), 0) << "block " << b;
        }
    }
}

TEST(BlockCoder, SpBlocksAreSectorsThatOurDecoderPlays) {
    BlockCoder c;
    ASSERT_TRUE(c.beginCapture(kModeSP));
    SpEncoder enc;
    ASSERT_TRUE(enc.initialize());
    SpDecoder dec;
    BlockCoder p;
    p.beginPlayback(kModeSP, 0, 47);
    std::vector<std::int16_t> decoded;
    for (int b = 0; b < 4; ++b) {
        auto pcm = tone(kSpBlockSamples, 500, 8000, b * kSpBlockSamples);
        std::uint8_t got[kSpBlockBytes], want[kSpBlockBytes];
        ASSERT_TRUE(c.encode(pcm.data(), got));
        ASSERT_TRUE(enc.encodeSector(pcm.data(), want));
        ASSERT_EQ(std::memcmp(got, want, sizeof got), 0);
        EXPECT_EQ(std::memcmp(got, "dmr1data", 8), 0);
        std::int16_t out[kSpBlockSamples];
        p.decode(got, out);
        std::uint8_t ref[kSpBlockSamples * 2];
        std::int32_t n = 0;
        AudioCodecBlock blk{want, kSpBlockBytes, 0, ref, &n};
        ASSERT_EQ(dec.decodeSector(blk), 1);
        ASSERT_EQ(n, kSpBlockSamples * 2);
        for (int i = 0; i < kSpBlockSamples; ++i)
            ASSERT_EQ(out[i], static_cast<std::int16_t>(ref[2 * i] | (ref[2 * i + 1] << 8))) << i;
        decoded.insert(decoded.end(), out, out + kSpBlockSamples);
    }
    // What comes back is the tone: 500 Hz is 125 zero crossings a quarter second.
    int crossings = 0;
    for (std::size_t i = 8000 + 1; i < 10000; ++i)
        crossings += (decoded[i - 1] < 0) != (decoded[i] < 0);
    EXPECT_NEAR(crossings, 250, 6);
}

TEST(BlockCoder, ZeroBlocksAreSilenceAndAnythingElseThatIsNoSectorRaises) {
    BlockCoder p;
    p.beginPlayback(kModeSP, 0, 47);
    std::uint8_t zero[kAdpcmBlockBytes] = {};
    std::int16_t out[kSpBlockSamples];
    std::fill(out, out + kSpBlockSamples, std::int16_t{7});
    EXPECT_NO_THROW(p.decode(zero, out));
    for (std::int16_t s : out)
        ASSERT_EQ(s, 0);
    std::uint8_t junk[kSpBlockBytes];
    std::memset(junk, 0x5A, sizeof junk);
    EXPECT_THROW(p.decode(junk, out), DecodeError);

    // ADPCM: zero frames are silence even inside a block of real frames.
    BlockCoder c;
    c.beginCapture(kModeHQ);
    auto pcm = tone(kAdpcmBlockSamples, 300, 8000);
    std::uint8_t block[kAdpcmBlockBytes];
    c.encode(pcm.data(), block);
    std::memset(block + 60 * 29, 0, 8 * 29);  // a partial block padded with zeros
    BlockCoder q;
    q.beginPlayback(kModeHQ, 0, 47);
    std::int16_t dec[kAdpcmBlockSamples];
    q.decode(block, dec);
    for (int i = 60 * 58; i < kAdpcmBlockSamples; ++i)
        ASSERT_EQ(dec[i], 0);
    EXPECT_NE(dec[100], 0);
}

TEST(BlockCoder, EffectIsTheEffectCoresAtTheGivenWetWeight) {
    for (int effect : {0, 2, 7, 13}) {
        BlockCoder p;
        p.beginPlayback(kModeSP, effect, 60);
        VoiceEffect ref;
        ref.initialize(effect);
        for (int b = 0; b < 3; ++b) {
            auto a = tone(kSpBlockSamples, 220, 8000, b * kSpBlockSamples);
            auto r = a;
            p.applyEffect(a.data());
            ref.apply(r.data(), r.size(), 60);
            ASSERT_EQ(a, r) << "effect " << effect << " block " << b;
            if (effect == 0) {
                ASSERT_EQ(a, tone(kSpBlockSamples, 220, 8000, b * kSpBlockSamples));
            }
        }
    }
}

TEST(BlockCoder, TwoCodersShareNoState) {
    // Interleaving two recordings gives what each gives alone.
    BlockCoder a, b, alone;
    a.beginCapture(kModeSP);
    b.beginCapture(kModeSP);
    alone.beginCapture(kModeSP);
    for (int k = 0; k < 3; ++k) {
        auto x = tone(kSpBlockSamples, 400, 8000, k * kSpBlockSamples);
        auto y = tone(kSpBlockSamples, 900, 8000, k * kSpBlockSamples);
        std::uint8_t oa[kSpBlockBytes], ob[kSpBlockBytes], ref[kSpBlockBytes];
        a.encode(x.data(), oa);
        b.encode(y.data(), ob);
        alone.encode(x.data(), ref);
        ASSERT_EQ(std::memcmp(oa, ref, sizeof oa), 0);
    }
}

}  // namespace
}  // namespace vek::crp2
