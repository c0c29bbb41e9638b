// SPDX-License-Identifier: GPL-3.0-or-later
#include "vek/crp2/blockcoder.hpp"

#include <algorithm>
#include <cstring>

#include "vek/effects/voice_effect.hpp"
#include "vek/sp/decoder.hpp"
#include "vek/sp/encoder.hpp"

namespace vek::crp2 {

namespace {
bool allZero(const std::uint8_t* p, std::size_t n) {
    return std::all_of(p, p + n, [](std::uint8_t b) { return b == 0; });
}
constexpr int kFramesPerBlock = kAdpcmBlockBytes / static_cast<int>(kAdpcmFrameBytes);  // 68
}  // namespace

BlockCoder::BlockCoder()
    : m_spEnc(std::make_unique<SpEncoder>()), m_spDec(std::make_unique<SpDecoder>()),
      m_effect(std::make_unique<VoiceEffect>()) {}

BlockCoder::~BlockCoder() = default;

bool BlockCoder::beginCapture(std::uint8_t mode) {
    m_mode = mode;
    m_adpcm.reset();
    return mode != kModeSP || m_spEnc->initialize();
}

bool BlockCoder::encode(const std::int16_t* pcm, std::uint8_t* block) {
    if (m_mode == kModeSP)
        return m_spEnc->encodeSector(pcm, block);
    for (int f = 0; f < kFramesPerBlock; ++f)
        adpcmEncodeFrame(m_adpcm, pcm + f * kAdpcmFrameSamples, block + f * kAdpcmFrameBytes);
    return true;
}

void BlockCoder::beginPlayback(std::uint8_t mode, int effect, int level) {
    m_mode = mode;
    m_level = std::clamp(level, 0, 127);
    m_adpcm.reset();
    m_spDec->initialize();
    m_effect->initialize(effect);
}

void BlockCoder::decode(const std::uint8_t* block, std::int16_t* pcm) {
    if (m_mode == kModeSP) {
        if (allZero(block, kSpBlockBytes)) {
            std::fill(pcm, pcm + kSpBlockSamples, std::int16_t{0});
            return;
        }
        // The decoder writes little-endian bytes; on this host that is the
        // sample array itself.
        std::uint8_t out[kSpBlockSamples * 2];
        std::int32_t count = 0;
        AudioCodecBlock b{block, static_cast<std::uint32_t>(kSpBlockBytes), 0, out, &count};
        if (m_spDec->decodeSector(b) != 1)
            throw DecodeError("not an SP sector");
        count = std::clamp<std::int32_t>(count, 0, kSpBlockSamples * 2);
        std::memset(out + count, 0, sizeof out - static_cast<std::size_t>(count));
        for (int i = 0; i < kSpBlockSamples; ++i)
            pcm[i] = static_cast<std::int16_t>(out[2 * i] | (out[2 * i + 1] << 8));
        return;
    }
    for (int f = 0; f < kFramesPerBlock; ++f) {
        const std::uint8_t* frame = block + f * kAdpcmFrameBytes;
        std::int16_t* dst = pcm + f * kAdpcmFrameSamples;
        if (allZero(frame, kAdpcmFrameBytes))
            std::fill(dst, dst + kAdpcmFrameSamples, std::int16_t{0});
        else
            adpcmDecodeFrame(m_adpcm, frame, dst);
    }
}

void BlockCoder::applyEffect(std::int16_t* pcm) {
    m_effect->apply(pcm, static_cast<std::size_t>(blockSamplesOf(m_mode)), m_level);
}

}  // namespace vek::crp2
