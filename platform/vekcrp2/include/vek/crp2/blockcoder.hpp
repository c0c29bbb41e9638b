// The engine's coding of one block: capture PCM to an SP sector (libbcg729
// behind the SP sector layer) or to 68 ADPCM frames, and an encoded block back
// to PCM (our SP decoder, the ADPCM decoder) with the voice effect. The engine
// owns these codec and effect objects; nothing is shared with the process-wide
// instances behind the library exports.
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <memory>

#include "vek/codec/adpcm.hpp"
#include "vek/crp2/audioengine.hpp"

namespace vek {
class SpEncoder;
class SpDecoder;
class VoiceEffect;
}  // namespace vek

namespace vek::crp2 {

class BlockCoder {
public:
    BlockCoder();
    ~BlockCoder();
    BlockCoder(const BlockCoder&) = delete;
    BlockCoder& operator=(const BlockCoder&) = delete;

    // A new recording in `mode`: fresh encoder state. False when the encoder
    // cannot be set up.
    bool beginCapture(std::uint8_t mode);
    // blockSamplesOf(mode) samples to blockBytesOf(mode) bytes.
    bool encode(const std::int16_t* pcm, std::uint8_t* block);

    // A new playback: fresh decoder state and the effect with its history cleared.
    void beginPlayback(std::uint8_t mode, int effect, int level);
    // blockBytesOf(mode) bytes to blockSamplesOf(mode) samples. A block of
    // zero bytes (or, in ADPCM, a frame of zero bytes, which the encoder never
    // writes) is silence. Throws DecodeError for an SP block that is no sector.
    void decode(const std::uint8_t* block, std::int16_t* pcm);
    void applyEffect(std::int16_t* pcm);

    std::uint8_t mode() const { return m_mode; }

private:
    std::uint8_t m_mode = kModeSP;
    int m_level = 0;
    std::unique_ptr<SpEncoder> m_spEnc;
    std::unique_ptr<SpDecoder> m_spDec;
    std::unique_ptr<VoiceEffect> m_effect;
    AdpcmChannelState m_adpcm;
};

}  // namespace vek::crp2
