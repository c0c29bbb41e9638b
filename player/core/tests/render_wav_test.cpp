// WAV layer, self-playing file recognition and offline rendering.
// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "vek/codec/bytestream.hpp"
#include "vek/codec/sc4.hpp"
#include "vek/player/render.hpp"
#include "vek/player/wav.hpp"
#include "vek/testsupport/fixtures.hpp"

namespace {

using namespace vek::player;

TEST(Wav, RoundTripAndCanonicalHeader) {
    std::vector<std::int16_t> s = {0, 1, -1, 32767, -32768, 1234};
    const auto bytes = makeWavMono16(s.data(), s.size(), 11025);
    ASSERT_EQ(bytes.size(), 44u + 12u);
    EXPECT_EQ(std::memcmp(bytes.data(), "RIFF", 4), 0);
    EXPECT_EQ(bytes[4], 36 + 12);
    EXPECT_EQ(bytes[24] | bytes[25] << 8, 11025);
    EXPECT_EQ(bytes[28] | bytes[29] << 8 | bytes[30] << 16, 22050);
    EXPECT_EQ(bytes[44 + 6], 0xFF);  // 32767 little-endian
    EXPECT_EQ(bytes[44 + 7], 0x7F);
    // Byte for byte what an independent writer makes of the same samples.
    EXPECT_EQ(bytes, vek::testsupport::wav16(s, 11025));
    std::string err;
    auto w = parseWavMono16(bytes, err);
    ASSERT_TRUE(w) << err;
    EXPECT_EQ(w->samples, s);
    EXPECT_EQ(w->sampleRate, 11025u);
}

TEST(Wav, SkipsOddChunksAndClampsATruncatedDataChunk) {
    std::vector<std::int16_t> s = {5, 6, 7, 8};
    auto bytes = makeWavMono16(s.data(), s.size(), 8000);
    // Insert an odd-length LIST chunk (padded to even) before "data".
    const std::uint8_t list[] = {'L', 'I', 'S', 'T', 3, 0, 0, 0, 'a', 'b', 'c', 0};
    bytes.insert(bytes.begin() + 36, list, list + sizeof list);
    // Claim more data than present and cut the last byte.
    bytes[bytes.size() - 8 - 4] = 0xF0;
    bytes.pop_back();
    std::string err;
    auto w = parseWavMono16(bytes, err);
    ASSERT_TRUE(w) << err;
    EXPECT_EQ(w->samples, (std::vector<std::int16_t>{5, 6, 7}));
}

TEST(Wav, RejectsWhatItCannotRead) {
    std::string err;
    EXPECT_FALSE(parseWavMono16({}, err));
    EXPECT_FALSE(parseWavMono16(std::vector<std::uint8_t>(100, 'x'), err));
    std::vector<std::int16_t> s(10, 3);
    auto stereo = makeWavMono16(s.data(), s.size(), 8000);
    stereo[22] = 2;
    EXPECT_FALSE(parseWavMono16(stereo, err));
    EXPECT_NE(err.find("16-bit mono"), std::string::npos);
    auto eightBit = makeWavMono16(s.data(), s.size(), 8000);
    eightBit[34] = 8;
    EXPECT_FALSE(parseWavMono16(eightBit, err));
    auto noData = makeWavMono16(s.data(), s.size(), 8000);
    noData.resize(36);
    EXPECT_FALSE(parseWavMono16(noData, err));
    auto lyingFmt = makeWavMono16(s.data(), s.size(), 8000);
    lyingFmt[16] = 0xFF;  // fmt chunk longer than the file
    lyingFmt[17] = 0xFF;
    EXPECT_FALSE(parseWavMono16(lyingFmt, err));
}

std::vector<std::uint8_t> withHeaderAt(std::size_t stub, std::uint8_t mode, std::size_t payload) {
    std::vector<std::uint8_t> f(stub, 0);
    PayloadHeader h{mode, 3, 40};
    std::uint8_t raw[kHeaderBytes];
    h.write(raw);
    f.insert(f.end(), raw, raw + kHeaderBytes);
    f.resize(f.size() + payload, 0x11);
    return f;
}

TEST(SelfPlaying, RecognisesEitherStubAndPicksItsLayout) {
    auto sp = selfPlayingInput(withHeaderAt(kSpStubSize, 4, 512));
    ASSERT_TRUE(sp);
    EXPECT_EQ(sp->layout.stubSize, kSpStubSize);
    EXPECT_EQ(sp->layout.blockBytes, 512u);
    auto shq = selfPlayingInput(withHeaderAt(kAdpcmStubSize, 6, 29));
    ASSERT_TRUE(shq);
    EXPECT_EQ(shq->layout.stubSize, kAdpcmStubSize);
    EXPECT_EQ(shq->layout.sampleRate, 11025u);
    auto hq = selfPlayingInput(withHeaderAt(kAdpcmStubSize, 5, 29));
    ASSERT_TRUE(hq);
    EXPECT_EQ(hq->layout.sampleRate, 8000u);
    EXPECT_FALSE(selfPlayingInput(std::vector<std::uint8_t>(90000, 0)));
    EXPECT_FALSE(selfPlayingInput(std::vector<std::uint8_t>(10, 0)));
    // Header read back: effect and level.
    std::uint8_t raw[kHeaderBytes];
    std::memcpy(raw, shq->file.data() + kAdpcmStubSize, kHeaderBytes);
    EXPECT_TRUE(PayloadHeader::hasTag(raw));
    EXPECT_EQ(PayloadHeader::read(raw).effect, 3);
    EXPECT_EQ(PayloadHeader::read(raw).level, 40);

    // The tag at 51200 wins: 78848 is not looked at then, even when an SP
    // header sits there too. Only the first seven tag bytes are compared.
    auto both = withHeaderAt(kAdpcmStubSize, 5, kSpStubSize - kAdpcmStubSize);
    both[kAdpcmStubSize + 7] = 'X';
    PayloadHeader spHeader{4, 1, 2};
    spHeader.write(raw);
    std::memcpy(both.data() + kSpStubSize, raw, kHeaderBytes);
    auto first = selfPlayingInput(both);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->layout.stubSize, kAdpcmStubSize);
    EXPECT_EQ(first->mode, vek::RecordingMode::HQ);
    // Six matching bytes are not a tag: the header at 78848 is found instead.
    both[kAdpcmStubSize + 6] = 'X';
    auto second = selfPlayingInput(both);
    ASSERT_TRUE(second);
    EXPECT_EQ(second->layout.stubSize, kSpStubSize);
    EXPECT_EQ(second->mode, vek::RecordingMode::SP);
}

TEST(SelfPlaying, Sc4InputOfAnAdpcmModeCarriesTheFrameStream) {
    std::vector<std::uint8_t> frames(29 * 40);
    for (std::size_t i = 0; i < frames.size(); ++i) frames[i] = static_cast<std::uint8_t>(i * 7 + 1);
    vek::MemorySource src(frames.data(), frames.size());
    vek::MemorySink sc4;
    ASSERT_TRUE(vek::adpcmToSc4(src, sc4, false));
    auto in = sc4Input(sc4.bytes(), 9, 10);
    ASSERT_TRUE(in);
    EXPECT_EQ(in->mode, vek::RecordingMode::HQ);
    EXPECT_EQ(in->layout.stubSize, 0u);
    EXPECT_EQ(in->file[10], 9);
    EXPECT_EQ(in->file[11], 10);
    // The stream may carry pad frames after the real ones; the real ones lead.
    ASSERT_GE(in->file.size(), kHeaderBytes + frames.size());
    EXPECT_TRUE(std::equal(frames.begin(), frames.end(), in->file.begin() + kHeaderBytes));
    EXPECT_FALSE(sc4Input(std::vector<std::uint8_t>(512, 0), 0, 0));
}

}  // namespace

#if defined(VEK_PLAYER_HAVE_SP)
#include "vek/player/decoders.hpp"
#include "vek/sp/decoder.hpp"

namespace {

using namespace vek::player;

// SP playback against the SP decoder driven by hand: the first sector decoded
// twice (the first result discarded), the rest once each, and a sector
// without its tag as half a second of silence.
TEST(SpPlayback, RenderMatchesDirectDecodingWithFirstSectorTwice) {
    std::vector<std::uint8_t> sc4 = vek::testsupport::spNoiseFile(4, 99);
    sc4[2 * 512] = 'x';  // damaged tag
    auto in = sc4Input(sc4, 0, 80);
    ASSERT_TRUE(in);
    MemoryPlayerFile file(in->file);
    BlockDecoder* dec = spBlockDecoder();
    ASSERT_NE(dec, nullptr);
    vek::VoiceEffect fx;
    const auto out = renderPlayback(in->layout, file, *dec, fx);
    ASSERT_EQ(out.size(), 4u * 4000);

    vek::SpDecoder ref;
    ref.initialize();
    std::vector<std::int16_t> expect;
    std::int16_t pcm[4000];
    std::int32_t count = 0;
    for (int k = -1; k < 4; ++k) {
        const std::uint8_t* sector = sc4.data() + 512 * (k < 0 ? 0 : k);
        AudioCodecBlock block{};
        block.input = sector;
        block.inputLength = 512;
        block.output = pcm;
        block.outputCount = &count;
        std::memset(pcm, 0, sizeof pcm);
        const bool ok = ref.decodeSector(block) != 0;
        EXPECT_EQ(ok, k != 2) << k;
        if (k < 0) continue;
        if (!ok) std::memset(pcm, 0, sizeof pcm);
        expect.insert(expect.end(), pcm, pcm + 4000);
    }
    EXPECT_EQ(out, expect);
    // Something was decoded at all, and the damaged sector is silent.
    EXPECT_NE(std::count(out.begin(), out.begin() + 8000, 0), 8000);
    EXPECT_EQ(std::count(out.begin() + 8000, out.begin() + 12000, 0), 4000);

    // With an effect the result is the effect over exactly those samples.
    auto withFx = sc4Input(sc4, 12, 30);
    MemoryPlayerFile fxFile(withFx->file);
    const auto wet = renderPlayback(withFx->layout, fxFile, *dec, fx);
    vek::VoiceEffect ref12;
    ref12.initialize(12);
    auto manual = expect;
    for (std::size_t at = 0; at < manual.size(); at += 4000) ref12.apply(manual.data() + at, 4000, 97);
    EXPECT_EQ(wet, manual);
}

}  // namespace
#endif
