// Player core against a fake sound device and a fake decoder: titles, the
// block counter's resume and rewind rules, the first-sector double decode,
// end of data, bad sectors and device failures.
// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <algorithm>
#include <string>
#include <vector>

#include "vek/player/decoders.hpp"
#include "vek/player/player_core.hpp"
#include "vek/player/render.hpp"

namespace {

using namespace vek::player;

// Sector k of a test recording starts with the bytes k+1, 0xA5; a first byte
// of 0xEE marks a sector the decoder rejects.
class FakeDecoder final : public BlockDecoder {
public:
    void reset() override { ++resets; }
    bool decode(const std::uint8_t* in, std::size_t n, std::int16_t* out) override {
        decoded.push_back(in[0]);
        lastBlock.assign(in, in + 512);
        lastLength = n;
        if (in[0] == 0xEE) {
            out[0] = 1234;  // garbage the core must not play
            return false;
        }
        for (int i = 0; i < 4000; ++i) out[i] = static_cast<std::int16_t>(in[0] * 100 + (i % 50));
        return true;
    }
    int resets = 0;
    std::vector<int> decoded;
    std::vector<std::uint8_t> lastBlock;
    std::size_t lastLength = 0;
};

class FakeDevice final : public SoundDevice {
public:
    bool open(unsigned rate) override {
        ++opens;
        openedRate = rate;
        if (failOpen) return false;
        isOpen = true;
        return true;
    }
    void queue(int index, const std::int16_t* s, std::size_t n) override {
        EXPECT_TRUE(isOpen);
        queued.push_back(index);
        played.push_back(std::vector<std::int16_t>(s, s + n));
    }
    void reset() override { ++resets; }
    void close() override {
        isOpen = false;
        ++closes;
    }
    bool failOpen = false;
    bool isOpen = false;
    int opens = 0, resets = 0, closes = 0;
    unsigned openedRate = 0;
    std::vector<int> queued;
    std::vector<std::vector<std::int16_t>> played;
};

std::vector<std::uint8_t> spPlayerFile(int sectors, std::uint8_t effect = 0, std::uint8_t level = 80,
                                       std::size_t extra = 0) {
    std::vector<std::uint8_t> f(kSpStubSize, 0x90);
    PayloadHeader h;
    h.mode = 4;
    h.effect = effect;
    h.level = level;
    std::uint8_t raw[kHeaderBytes];
    h.write(raw);
    f.insert(f.end(), raw, raw + kHeaderBytes);
    for (int k = 0; k < sectors; ++k) {
        std::vector<std::uint8_t> s(512, static_cast<std::uint8_t>(0x10 + k));
        s[0] = static_cast<std::uint8_t>(k + 1);
        s[1] = 0xA5;
        f.insert(f.end(), s.begin(), s.end());
    }
    for (std::size_t i = 0; i < extra; ++i) f.push_back(0x77);
    return f;
}

struct Rig {
    explicit Rig(std::vector<std::uint8_t> bytes, const PlayerLayout& layout = kSpLayout)
        : file(std::move(bytes)), core(layout, file, device, decoder, effect) {
        core.loadHeader();
    }
    std::string title() const {
        char buf[64];
        core.title(buf);
        return buf;
    }
    // Hands back the oldest queued buffer that has not come back yet.
    void completeNext() { core.bufferDone(device.queued[next++]); }
    MemoryPlayerFile file;
    FakeDevice device;
    FakeDecoder decoder;
    vek::VoiceEffect effect;
    PlayerCore core;
    std::size_t next = 0;
};

TEST(PlayerTitle, FormatsElapsedAndTotal) {
    char buf[64];
    *formatClock(buf, 65) = 0;
    EXPECT_STREQ(buf, "00:01:05");
    *formatClock(buf, 100 * 3600 + 59) = 0;
    EXPECT_STREQ(buf, "100:00:59");
    // Twelve seconds into a recording of 1:05 (130 sectors; 23 or 24 read).
    Rig rig(spPlayerFile(130));
    EXPECT_EQ(rig.core.totalSeconds(), 65u);
    rig.core.play();
    for (int i = 0; i < 23; ++i) rig.completeNext();
    EXPECT_EQ(rig.title(), "Player [00:00:12]-[00:01:05]");
}

TEST(PlayerTitle, TotalRoundsHalfUpAndIgnoresMissingRecording) {
    EXPECT_EQ(Rig(spPlayerFile(3)).core.totalSeconds(), 2u);
    EXPECT_EQ(Rig(spPlayerFile(5)).core.totalSeconds(), 3u);
    EXPECT_EQ(Rig(spPlayerFile(4)).core.totalSeconds(), 2u);
    EXPECT_EQ(Rig(spPlayerFile(0)).core.totalSeconds(), 0u);
    // A bare stub, even a truncated one: zero, not a negative count wrapped.
    EXPECT_EQ(Rig(std::vector<std::uint8_t>(kSpStubSize, 0)).core.totalSeconds(), 0u);
    EXPECT_EQ(Rig(std::vector<std::uint8_t>(100, 0)).core.totalSeconds(), 0u);
    EXPECT_EQ(Rig(spPlayerFile(0)).title(), "Player [00:00:00]-[00:00:00]");
}

// A player file that reports an absurd size and holds a header of zeros.
class HugeFile final : public PlayerFile {
public:
    explicit HugeFile(std::int64_t size) : m_size(size) {}
    bool open() override { return true; }
    void close() override {}
    std::int64_t size() override { return m_size; }
    bool seek(std::uint64_t) override { return true; }
    std::size_t read(void* dst, std::size_t n) override {
        std::memset(dst, 0, n);
        return n;
    }

private:
    std::int64_t m_size;
};

TEST(PlayerTitle, TotalOfAnImpossiblyLargeFileSaturates) {
    FakeDevice device;
    FakeDecoder decoder;
    vek::VoiceEffect fx;
    // 2^50 bytes: 2^40 seconds of SP data, far beyond a 32-bit count.
    HugeFile huge(std::int64_t{1} << 50);
    PlayerCore core(kSpLayout, huge, device, decoder, fx);
    core.loadHeader();
    EXPECT_EQ(core.totalSeconds(), 4294967295u);
    char buf[40];
    EXPECT_EQ(core.title(buf), 33u);
    EXPECT_STREQ(buf, "Player [00:00:00]-[1193046:28:15]");
    // Just below the limit the count is still exact.
    HugeFile big(kSpStubSize + kHeaderBytes + std::int64_t{1024} * 4000000000LL);
    PlayerCore core2(kSpLayout, big, device, decoder, fx);
    core2.loadHeader();
    EXPECT_EQ(core2.totalSeconds(), 4000000000u);
}

TEST(PlayerCore, TitleSequenceOfAShortRecordingAndEndOfData) {
    Rig rig(spPlayerFile(5, 0, 80));
    EXPECT_EQ(rig.title(), "Player [00:00:00]-[00:00:03]");
    ASSERT_EQ(rig.core.play(), PlayerCore::StartResult::Started);
    EXPECT_EQ(rig.device.openedRate, 8000u);
    // Two silent buffers first.
    ASSERT_EQ(rig.device.queued, (std::vector<int>{0, 1}));
    for (const auto& b : rig.device.played) EXPECT_EQ(b, std::vector<std::int16_t>(4000, 0));
    std::vector<std::string> titles;
    for (int i = 0; i < 5; ++i) {
        rig.completeNext();
        titles.push_back(rig.title());
    }
    EXPECT_EQ(titles, (std::vector<std::string>{"Player [00:00:01]-[00:00:03]", "Player [00:00:01]-[00:00:03]",
                                                "Player [00:00:02]-[00:00:03]", "Player [00:00:02]-[00:00:03]",
                                                "Player [00:00:03]-[00:00:03]"}));
    // End of data: nothing queued, counter 0, title unchanged, still playing.
    rig.completeNext();
    EXPECT_EQ(rig.device.queued.size(), 7u);
    EXPECT_TRUE(rig.core.playing());
    EXPECT_FALSE(rig.core.reading());
    EXPECT_EQ(rig.core.blockCounter(), 0u);
    EXPECT_EQ(rig.title(), "Player [00:00:03]-[00:00:03]");
    // The last queued buffer comes back: playback stops.
    rig.completeNext();
    EXPECT_FALSE(rig.core.playing());
    EXPECT_EQ(rig.device.resets, 1);
    EXPECT_EQ(rig.device.closes, 1);
    EXPECT_EQ(rig.title(), "Player [00:00:03]-[00:00:03]");
    // Decoded: the first sector twice, then each once, in order.
    EXPECT_EQ(rig.decoder.decoded, (std::vector<int>{1, 1, 2, 3, 4, 5}));
    for (int k = 0; k < 5; ++k) EXPECT_EQ(rig.device.played[2 + k][10], (k + 1) * 100 + 10);
    // Play after the end starts over.
    rig.core.play();
    rig.next = rig.device.queued.size() - 2;
    rig.completeNext();
    EXPECT_EQ(rig.decoder.decoded.back(), 1);
    EXPECT_EQ(rig.decoder.resets, 2);
}

TEST(PlayerCore, StopThenPlayResumesOneSectorBack) {
    Rig rig(spPlayerFile(10));
    rig.core.play();
    for (int i = 0; i < 4; ++i) rig.completeNext();  // sectors 1..4 read
    EXPECT_EQ(rig.core.blockCounter(), 4u);
    rig.core.stopButton();
    EXPECT_FALSE(rig.core.playing());
    EXPECT_EQ(rig.core.blockCounter(), 4u);
    EXPECT_EQ(rig.title(), "Player [00:00:02]-[00:00:05]");
    // A notice for a buffer the reset returned arrives late: ignored.
    rig.core.bufferDone(0);
    EXPECT_FALSE(rig.core.playing());
    const std::size_t before = rig.device.queued.size();
    rig.decoder.decoded.clear();
    rig.core.play();
    EXPECT_EQ(rig.core.blockCounter(), 3u);
    rig.next = before;
    rig.completeNext();
    rig.completeNext();
    // Sector 4 (the last one read) again, decoded twice as a first sector.
    EXPECT_EQ(rig.decoder.decoded, (std::vector<int>{4, 4, 5}));
    EXPECT_EQ(rig.core.blockCounter(), 5u);
}

TEST(PlayerCore, StopTwiceRewindsAndPlayIgnoredWhilePlaying) {
    Rig rig(spPlayerFile(10));
    rig.core.play();
    EXPECT_EQ(rig.core.play(), PlayerCore::StartResult::AlreadyPlaying);
    EXPECT_EQ(rig.device.opens, 1);
    for (int i = 0; i < 6; ++i) rig.completeNext();
    rig.core.stopButton();
    rig.core.stopButton();
    EXPECT_EQ(rig.core.blockCounter(), 0u);
    EXPECT_EQ(rig.title(), "Player [00:00:00]-[00:00:05]");
    rig.decoder.decoded.clear();
    rig.core.play();
    rig.next = rig.device.queued.size() - 2;
    rig.completeNext();
    EXPECT_EQ(rig.decoder.decoded, (std::vector<int>{1, 1}));
}

TEST(PlayerCore, EmptyPayloadPlaysOneSecondOfSilenceAndStops) {
    Rig rig(spPlayerFile(0));
    rig.core.play();
    rig.completeNext();
    EXPECT_TRUE(rig.core.playing());
    rig.completeNext();
    EXPECT_FALSE(rig.core.playing());
    EXPECT_EQ(rig.device.played.size(), 2u);
    EXPECT_TRUE(rig.decoder.decoded.empty());
    EXPECT_EQ(rig.title(), "Player [00:00:00]-[00:00:00]");
}

TEST(PlayerCore, BadSectorPlaysAsSilenceAndPlaybackGoesOn) {
    auto bytes = spPlayerFile(3);
    bytes[kSpStubSize + kHeaderBytes + 512] = 0xEE;  // second sector
    Rig rig(bytes);
    rig.core.play();
    for (int i = 0; i < 3; ++i) rig.completeNext();
    ASSERT_EQ(rig.device.played.size(), 5u);
    EXPECT_EQ(rig.device.played[3], std::vector<std::int16_t>(4000, 0));
    EXPECT_EQ(rig.device.played[4][0], 300);
    EXPECT_EQ(rig.core.blockCounter(), 3u);
}

TEST(PlayerCore, ShortLastSectorIsZeroPaddedNotStale) {
    Rig rig(spPlayerFile(2, 0, 80, 100));
    rig.core.play();
    for (int i = 0; i < 3; ++i) rig.completeNext();
    EXPECT_EQ(rig.decoder.lastLength, 100u);
    EXPECT_EQ(rig.decoder.lastBlock[0], 0x77);
    EXPECT_EQ(rig.decoder.lastBlock[99], 0x77);
    for (std::size_t i = 100; i < 512; ++i) ASSERT_EQ(rig.decoder.lastBlock[i], 0) << i;
}

TEST(PlayerCore, DeviceFailureLeavesPlayerStoppedAndUsable) {
    Rig rig(spPlayerFile(4));
    rig.device.failOpen = true;
    EXPECT_EQ(rig.core.play(), PlayerCore::StartResult::DeviceFailed);
    EXPECT_FALSE(rig.core.playing());
    EXPECT_TRUE(rig.device.queued.empty());
    EXPECT_EQ(rig.file.opens(), 1);  // only the header read
    rig.device.failOpen = false;
    EXPECT_EQ(rig.core.play(), PlayerCore::StartResult::Started);
    EXPECT_TRUE(rig.core.playing());
}

TEST(PlayerCore, AppliesTheHeaderEffectPerBufferAndReinitializesEachStart) {
    // Echo at level byte 27 (L = 100) over the decoded blocks, the effect
    // state continuing from buffer to buffer but starting fresh at each Play.
    Rig rig(spPlayerFile(4, 5, 27));
    EXPECT_EQ(rig.core.effect(), 5);
    rig.core.play();
    for (int i = 0; i < 4; ++i) rig.completeNext();
    vek::VoiceEffect ref;
    ref.initialize(5);
    for (int k = 0; k < 4; ++k) {
        std::vector<std::int16_t> block(4000);
        for (int i = 0; i < 4000; ++i) block[i] = static_cast<std::int16_t>((k + 1) * 100 + i % 50);
        ref.apply(block.data(), block.size(), 100);
        EXPECT_EQ(rig.device.played[2 + k], block) << k;
    }
    // Header effect 0 with any level: decoded samples untouched.
    Rig plain(spPlayerFile(1, 0, 0));
    plain.core.play();
    plain.completeNext();
    EXPECT_EQ(plain.device.played[2][7], 107);
    // Out-of-range effect numbers play dry.
    Rig odd(spPlayerFile(1, 200, 0));
    odd.core.play();
    odd.completeNext();
    EXPECT_EQ(odd.device.played[2][7], 107);
}

TEST(PlayerCore, DestructionWhilePlayingStopsTheDevice) {
    FakeDevice device;
    FakeDecoder decoder;
    vek::VoiceEffect fx;
    MemoryPlayerFile file(spPlayerFile(2));
    {
        PlayerCore core(kSpLayout, file, device, decoder, fx);
        core.loadHeader();
        core.play();
    }
    EXPECT_EQ(device.resets, 1);
    EXPECT_EQ(device.closes, 1);
}

TEST(AdpcmPlayer, PlaysTheFrameStreamInBlocksOf68Frames) {
    // 150 frames of a real encoded signal: blocks of 68, 68 and 14 frames;
    // the whole stream decodes exactly as one continuous decode.
    std::vector<std::int16_t> pcm(150 * 58);
    for (std::size_t i = 0; i < pcm.size(); ++i) pcm[i] = static_cast<std::int16_t>(8000 * std::sin(i * 0.05));
    vek::AdpcmCodec enc;
    std::vector<std::uint8_t> frames(150 * 29);
    enc.encode(reinterpret_cast<const std::uint8_t*>(pcm.data()), pcm.size() * 2, frames.data());
    std::vector<std::uint8_t> file(kAdpcmStubSize, 0);
    PayloadHeader h{6, 0, 127};
    std::uint8_t raw[kHeaderBytes];
    h.write(raw);
    file.insert(file.end(), raw, raw + kHeaderBytes);
    file.insert(file.end(), frames.begin(), frames.end());

    MemoryPlayerFile mf(file);
    AdpcmBlockDecoder decoder;
    vek::VoiceEffect fx;
    const auto out = renderPlayback(kShqLayout, mf, decoder, fx);
    ASSERT_EQ(out.size(), 3u * 3944);
    vek::AdpcmCodec dec;
    std::vector<std::int16_t> expect(150 * 58);
    dec.decode(frames.data(), frames.size(), reinterpret_cast<std::uint8_t*>(expect.data()));
    EXPECT_TRUE(std::equal(expect.begin(), expect.end(), out.begin()));
    for (std::size_t i = expect.size(); i < out.size(); ++i) ASSERT_EQ(out[i], 0) << i;

    // Elapsed time of ADPCM blocks at 11025 Hz: 3944 / 11025 s each.
    FakeDevice device;
    PlayerCore core(kShqLayout, mf, device, decoder, fx);
    EXPECT_EQ(core.elapsedFor(3), 1u);   // 1.073 s
    EXPECT_EQ(core.elapsedFor(4), 1u);   // 1.431 s
    EXPECT_EQ(core.elapsedFor(5), 2u);   // 1.789 s
    PlayerCore hq(kHqLayout, mf, device, decoder, fx);
    EXPECT_EQ(hq.elapsedFor(1), 0u);     // 0.493 s
    EXPECT_EQ(hq.elapsedFor(2), 1u);
    hq.loadHeader();
    EXPECT_EQ(hq.totalSeconds(), 1u);    // 4350 bytes at 4000 a second
}

}  // namespace
