// SP encoder layer around the Annex A encoder of libbcg729 (VAD and DTX off,
// so every frame is a full 10-byte speech frame).
// SPDX-License-Identifier: GPL-3.0-or-later
#include "vek/sp/encoder.hpp"

// libbcg729 declares its functions without C linkage markers.
extern "C" {
#include <bcg729/encoder.h>
}

#include <cstring>

#include "vek/sp/decoder.hpp"

namespace vek {

SpEncoder::SpEncoder() { initialize(); }

SpEncoder::~SpEncoder() {
    if (channel_) closeBcg729EncoderChannel(channel_);
}

bool SpEncoder::initialize() {
    // libbcg729 has no reset: a new signal gets a new channel.
    if (channel_) closeBcg729EncoderChannel(channel_);
    channel_ = initBcg729EncoderChannel(0);
    return channel_ != nullptr;
}

bool SpEncoder::encodeFrame(const int16_t* pcm, uint8_t* bits) {
    if (!channel_) return false;
    uint8_t length = 0;
    bcg729Encoder(channel_, pcm, bits, &length);
    return length == sp::kFrameBytes;
}

bool SpEncoder::encodeSector(const int16_t* pcm, uint8_t* sector) {
    if (!channel_) return false;
    std::memcpy(sector, sp::kSectorTag, sp::kTagBytes);
    uint8_t* data = sector + sp::kTagBytes;
    for (std::size_t f = 0; f < kFramesPerSector; ++f) {
        uint8_t bits[sp::kFrameBytes];
        if (!encodeFrame(pcm + f * kFrameSamples, bits)) return false;
        uint8_t* dst = data + f * sp::kFrameBytes;
        for (int i = 0; i < sp::kFrameBytes; i += 2) {
            dst[i] = bits[i + 1];
            dst[i + 1] = bits[i];
        }
    }
    // The last two bytes are read by nobody; they are written as zeros.
    sector[sp::kSectorBytes - 2] = 0;
    sector[sp::kSectorBytes - 1] = 0;
    return true;
}

}  // namespace vek
