// SC4 container: exact layouts against a flat model of the stream, round
// trips, and damaged files of every kind.
// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "vek/codec/sc4.hpp"

namespace {

using Bytes = std::vector<std::uint8_t>;

// ---- Flat model: the ADPCM stream as one array, then cut into sectors ----

// The stream a writer produces for `frames`, continued with zero frames (and
// group headers every 100 slots) for `extraSlots` more slots.
Bytes modelStream(const Bytes& frames, bool shq, std::size_t extraSlots) {
    Bytes s;
    const std::size_t n = frames.size() / 29;
    for (std::size_t slot = 0; slot < n + extraSlots; ++slot) {
        if (slot % 100 == 0) s.insert(s.end(), {0x00, 0x00, 0x01, 0x1B, std::uint8_t(shq ? 0x1A : 0x1D)});
        for (std::size_t b = 0; b < 29; ++b) s.push_back(slot < n ? frames[slot * 29 + b] : 0);
        s.push_back(0x55);
    }
    return s;
}

Bytes sectorize(const Bytes& stream) {
    Bytes file;
    for (std::size_t i = 0; i < stream.size(); ++i) {
        file.push_back(stream[i]);
        if (i % 510 == 509) file.insert(file.end(), {0x55, 0xAA});
    }
    return file;
}

// What the writer must produce: the stream padded to whole sectors.
Bytes modelSc4(const Bytes& frames, bool shq) {
    const Bytes exact = modelStream(frames, shq, 0);
    if (exact.empty()) return {};
    Bytes padded = modelStream(frames, shq, 40);
    padded.resize((exact.size() + 509) / 510 * 510);
    return sectorize(padded);
}

// What the reader must produce: trailers dropped by position, the first start
// pattern within the first 4096 stream bytes, then group after group.
struct ReadResult {
    bool ok;
    Bytes frames;
};
ReadResult modelRead(const Bytes& file) {
    Bytes s;
    for (std::size_t i = 0; i < file.size(); ++i)
        if (i % 512 < 510) s.push_back(file[i]);
    static const std::uint8_t pats[7][3] = {{1, 0x1B, 0x1E}, {1, 0x1B, 0x1D}, {1, 0x1B, 0x1B}, {1, 0x1B, 0x1A},
                                            {2, 0xB2, 0x2B}, {2, 0xB2, 0x2C}, {2, 0xB2, 0x2E}};
    const std::size_t head = std::min<std::size_t>(s.size(), 4096);
    std::size_t hit = SIZE_MAX;
    for (std::size_t p = 0; p + 3 <= head && hit == SIZE_MAX; ++p)
        for (auto& pat : pats)
            if (std::memcmp(&s[p], pat, 3) == 0) {
                hit = p;
                break;
            }
    if (hit == SIZE_MAX) return {false, {}};
    Bytes out;
    for (std::size_t pos = hit;; pos += 3005) {
        const std::size_t count = pos < s.size() ? std::min<std::size_t>(3005, s.size() - pos) : 0;
        if (count < 3) break;
        const std::size_t k = (count - 3) / 30;
        for (std::size_t i = 0; i < k; ++i)
            out.insert(out.end(), s.begin() + pos + 3 + 30 * i, s.begin() + pos + 32 + 30 * i);
        if (k != 100) break;
    }
    return {true, out};
}

Bytes randomBytes(std::size_t n, std::uint32_t seed) {
    std::mt19937 rng(seed);
    Bytes b(n);
    for (auto& x : b) x = static_cast<std::uint8_t>(rng());
    return b;
}

Bytes pack(const Bytes& frames, bool shq, bool* ok = nullptr) {
    vek::MemorySource in(frames.data(), frames.size());
    vek::MemorySink out;
    const bool r = vek::adpcmToSc4(in, out, shq);
    if (ok) *ok = r;
    return out.bytes();
}

ReadResult unpack(const Bytes& file) {
    vek::MemorySource in(file.data(), file.size());
    vek::MemorySink out;
    const bool r = vek::sc4ToAdpcm(in, out);
    return {r, out.bytes()};
}

TEST(Sc4Writer, EmptyOrShorterThanAFrameGivesEmptyFile) {
    for (std::size_t n : {0, 1, 28}) {
        bool ok = false;
        EXPECT_TRUE(pack(Bytes(n, 7), false, &ok).empty());
        EXPECT_TRUE(ok);
    }
}

TEST(Sc4Writer, OneFrameFillsOneSectorWithZeroFrames) {
    const Bytes frame = randomBytes(29, 1);
    const Bytes file = pack(frame, false);
    ASSERT_EQ(file.size(), 512u);
    const Bytes head = {0x00, 0x00, 0x01, 0x1B, 0x1D};
    EXPECT_TRUE(std::equal(head.begin(), head.end(), file.begin()));
    EXPECT_TRUE(std::equal(frame.begin(), frame.end(), file.begin() + 5));
    EXPECT_EQ(file[34], 0x55);
    for (std::size_t slot = 1; 5 + 30 * slot + 30 <= 510; ++slot) {
        for (std::size_t b = 0; b < 29; ++b) ASSERT_EQ(file[5 + 30 * slot + b], 0);
        ASSERT_EQ(file[5 + 30 * slot + 29], 0x55);
    }
    EXPECT_EQ(file[510], 0x55);
    EXPECT_EQ(file[511], 0xAA);
}

TEST(Sc4Writer, LayoutsMatchTheStreamModel) {
    // 17 frames: 515 stream bytes, two sectors; 95 frames: the padding holds a
    // group header; 509 frames: exactly 30 x 510 stream bytes, no padding;
    // 100/101/250 frames: group boundaries; 1000+ frames: many batches.
    for (std::size_t n : {1, 2, 16, 17, 49, 50, 51, 95, 99, 100, 101, 250, 509, 510, 1234}) {
        for (bool shq : {false, true}) {
            const Bytes frames = randomBytes(n * 29, static_cast<std::uint32_t>(n));
            const Bytes file = pack(frames, shq);
            ASSERT_EQ(file, modelSc4(frames, shq)) << n << " frames, shq " << shq;
            ASSERT_EQ(file.size() % 512, 0u);
        }
    }
    EXPECT_EQ(pack(randomBytes(17 * 29, 1), false).size(), 1024u);
    EXPECT_EQ(pack(randomBytes(509 * 29, 1), false).size(), 30u * 512u);
}

TEST(Sc4Writer, TrailingPartialFrameIsDropped) {
    const Bytes frames = randomBytes(40 * 29, 4);
    Bytes longer = frames;
    longer.insert(longer.end(), {1, 2, 3, 4, 5});
    EXPECT_EQ(pack(longer, false), pack(frames, false));
}

TEST(Sc4Writer, HqAndShqDifferOnlyInGroupHeaderModeBytes) {
    const Bytes frames = randomBytes(345 * 29, 8);
    const Bytes hq = pack(frames, false), shq = pack(frames, true);
    ASSERT_EQ(hq.size(), shq.size());
    std::size_t diffs = 0;
    for (std::size_t i = 0; i < hq.size(); ++i) {
        if (hq[i] == shq[i]) continue;
        ++diffs;
        EXPECT_EQ(hq[i], 0x1D);
        EXPECT_EQ(shq[i], 0x1A);
    }
    EXPECT_EQ(diffs, 4u);  // slots 0, 100, 200, 300 (the padding ends before 400)
}

TEST(Sc4Reader, RoundTripGivesFramesThenWholePadFrames) {
    for (std::size_t n : {1, 17, 100, 101, 509, 777}) {
        const Bytes frames = randomBytes(n * 29, static_cast<std::uint32_t>(100 + n));
        const Bytes file = pack(frames, n % 2);
        const ReadResult r = unpack(file);
        ASSERT_TRUE(r.ok);
        ASSERT_GE(r.frames.size(), frames.size());
        EXPECT_TRUE(std::equal(frames.begin(), frames.end(), r.frames.begin())) << n;
        EXPECT_EQ(r.frames.size() % 29, 0u);
        for (std::size_t i = frames.size(); i < r.frames.size(); ++i) ASSERT_EQ(r.frames[i], 0) << n;
        EXPECT_EQ(r.frames, modelRead(file).frames);
    }
}

TEST(Sc4Reader, StreamEndingAfterWholeGroupSucceeds) {
    // 100 frames, then cut the file right after the first group's 3005 stream bytes.
    const Bytes file = pack(randomBytes(200 * 29, 3), false);
    const Bytes cut(file.begin(), file.begin() + vek::streamToFileOffset(3005));
    const ReadResult r = unpack(cut);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.frames.size(), 100u * 29u);
}

TEST(Sc4Reader, TruncatedAnywhereMatchesModel) {
    const Bytes file = pack(randomBytes(230 * 29, 12), false);
    for (std::size_t len = 0; len <= file.size(); ++len) {
        const Bytes cut(file.begin(), file.begin() + len);
        const ReadResult got = unpack(cut), want = modelRead(cut);
        ASSERT_EQ(got.ok, want.ok) << "length " << len;
        ASSERT_EQ(got.frames, want.frames) << "length " << len;
    }
}

TEST(Sc4Reader, StartPatternSearch) {
    // No pattern at all, a 3-byte file, and patterns placed late in the stream.
    EXPECT_FALSE(unpack(Bytes(5000, 0x11)).ok);
    EXPECT_FALSE(unpack(Bytes{0x00, 0x00, 0x01}).ok);
    EXPECT_FALSE(unpack(Bytes{}).ok);
    EXPECT_TRUE(unpack(Bytes{0x01, 0x1B, 0x1E}).ok);

    for (std::size_t at : {0, 508, 509, 1000, 4000, 4093, 4094, 4095}) {
        Bytes stream(8000, 0x11);
        const std::uint8_t pat[3] = {0x02, 0xB2, 0x2E};
        std::memcpy(&stream[at], pat, 3);
        const Bytes file = sectorize(stream);
        const ReadResult got = unpack(file), want = modelRead(file);
        EXPECT_EQ(got.ok, at + 3 <= 4096) << at;
        EXPECT_EQ(got.ok, want.ok) << at;
        EXPECT_EQ(got.frames, want.frames) << at;
    }
}

TEST(Sc4Reader, RandomAndMutatedFilesMatchModel) {
    std::mt19937 rng(99);
    const Bytes good = pack(randomBytes(400 * 29, 5), true);
    for (int trial = 0; trial < 300; ++trial) {
        Bytes f;
        switch (trial % 3) {
            case 0: f = randomBytes(rng() % 9000, rng()); break;
            case 1:
                f = good;
                for (int k = 0; k < 20; ++k) f[rng() % f.size()] = static_cast<std::uint8_t>(rng());
                break;
            default:
                f = good;
                f.erase(f.begin(), f.begin() + (rng() % 600));  // stream starts at an odd place
                f.resize(f.size() - rng() % 700);
        }
        const ReadResult got = unpack(f), want = modelRead(f);
        ASSERT_EQ(got.ok, want.ok) << trial;
        ASSERT_EQ(got.frames, want.frames) << trial;
    }
}

TEST(Sc4Modes, DetectionAndDuration) {
    const std::uint8_t sp[] = {'d', 'm', 'r', '1', 'd'}, hq[] = {0, 0, 1, 0x1B, 0x1D}, shq[] = {0, 0, 1, 0x1B, 0x1A},
                       other[] = {0, 0, 1, 0x1B, 0x1E};
    EXPECT_EQ(vek::detectMode(sp, 5), vek::RecordingMode::SP);
    EXPECT_EQ(vek::detectMode(hq, 5), vek::RecordingMode::HQ);
    EXPECT_EQ(vek::detectMode(shq, 5), vek::RecordingMode::SHQ);
    EXPECT_EQ(vek::detectMode(other, 5), vek::RecordingMode::Unknown);
    EXPECT_EQ(vek::detectMode(sp, 4), vek::RecordingMode::Unknown);

    EXPECT_EQ(vek::formatDuration(vek::RecordingMode::HQ, 1536000), " [00:06:09]");
    EXPECT_EQ(vek::formatDuration(vek::RecordingMode::SP, 65 * 1024), " [00:01:05]");
    EXPECT_EQ(vek::durationSeconds(vek::RecordingMode::SP, 1536), 2u);  // 1.5 -> 2 (ties to even)
    EXPECT_EQ(vek::durationSeconds(vek::RecordingMode::SP, 2560), 2u);  // 2.5 -> 2
    EXPECT_EQ(vek::formatDuration(vek::RecordingMode::SP, 1024ull * 360000), " [100:00:00]");
    // SHQ: 5512.5 stream bytes a second after the overhead is taken off.
    EXPECT_EQ(vek::durationSeconds(vek::RecordingMode::SHQ, 1536000), 268u);
}

}  // namespace
