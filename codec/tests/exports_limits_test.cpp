// The decoder export's 32-bit output count: an input whose output would not
// fit it is refused before a byte is read or written.
// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "vekcdc5.h"

namespace {

TEST(ExportsLimits, DecodingRefusesInputWhoseOutputCountWouldOverflow) {
    // Real frames to tell whether the decoder state was disturbed.
    std::vector<std::uint8_t> pcm(7888);
    for (std::size_t i = 0; i < pcm.size(); ++i) pcm[i] = static_cast<std::uint8_t>(i * 29 + 3);
    std::vector<std::uint8_t> frames(1972);
    int32_t count = 0;
    ASSERT_EQ(InitializeAudioEncoder_A(), 1);
    AudioCodecBlock e{pcm.data(), 7888, 0, frames.data(), &count};
    ASSERT_EQ(AudioEncoding_A(&e), 1);

    ASSERT_EQ(InitializeAudioDecoder_A(), 1);
    std::vector<std::uint8_t> fresh(8000);
    AudioCodecBlock d{frames.data(), 1972, 0, fresh.data(), &count};
    ASSERT_EQ(AudioDecoding_A(&d), 1);
    ASSERT_EQ(count, 7888);

    // The buffers behind these lengths are small: a decoder that went ahead
    // would read and write far beyond them.
    ASSERT_EQ(InitializeAudioDecoder_A(), 1);
    std::vector<std::uint8_t> out(8000, 0xAA);
    for (std::uint32_t length : {536870939u, 1u << 30, 0xFFFFFFFFu}) {
        count = 12345;
        AudioCodecBlock big{frames.data(), length, 0, out.data(), &count};
        EXPECT_EQ(AudioDecoding_A(&big), 0) << length;
        EXPECT_EQ(count, 0) << length;
        EXPECT_EQ(out[0], 0xAA) << length;
    }
    // The state was left alone: the next block decodes as from a reset.
    AudioCodecBlock after{frames.data(), 1972, 0, out.data(), &count};
    ASSERT_EQ(AudioDecoding_A(&after), 1);
    EXPECT_EQ(count, 7888);
    EXPECT_EQ(std::vector<std::uint8_t>(out.begin(), out.begin() + 7888),
              std::vector<std::uint8_t>(fresh.begin(), fresh.begin() + 7888));
}

}  // namespace
