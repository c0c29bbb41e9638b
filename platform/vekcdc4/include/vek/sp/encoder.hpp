// The SP-mode encoder layer: CS-ACELP (G.729 Annex A) frames from libbcg729,
// framed into 512-byte SP sectors.
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef VEK_SP_ENCODER_HPP
#define VEK_SP_ENCODER_HPP

#include <cstddef>
#include <cstdint>

struct bcg729EncoderChannelContextStruct_struct;

namespace vek {

class SpEncoder {
public:
    static constexpr std::size_t kSectorSamples = 4000;  // 0.5 s at 8000 Hz
    static constexpr std::size_t kFrameSamples = 80;
    static constexpr std::size_t kFramesPerSector = 50;

    SpEncoder();
    ~SpEncoder();
    SpEncoder(const SpEncoder&) = delete;
    SpEncoder& operator=(const SpEncoder&) = delete;

    // Starts a new signal (fresh encoder state). False when the encoder
    // cannot be created; encode calls then fail until a later success.
    bool initialize();
    bool ready() const { return channel_ != nullptr; }

    // 80 samples to one 10-byte frame in transmission bit order.
    bool encodeFrame(const int16_t* pcm, uint8_t* bits);
    // 4000 samples to one sector: "dmr1data", 0xF4 0x01, 50 frames stored as
    // little-endian 16-bit words (the bytes of every pair of the
    // transmission order swapped), and two zero bytes.
    bool encodeSector(const int16_t* pcm, uint8_t* sector);

private:
    bcg729EncoderChannelContextStruct_struct* channel_ = nullptr;
};

}  // namespace vek

#endif  // VEK_SP_ENCODER_HPP
