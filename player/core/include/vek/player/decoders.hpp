// The block decoders the player core plays with: ADPCM frames (HQ, SHQ) and,
// when the SP decoder is part of the build, SP sectors.
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "vek/codec/adpcm.hpp"
#include "vek/player/player_core.hpp"

namespace vek::player {

// Whole 29-byte frames of a block -> 58 samples each; a partial frame at the
// end of a short block stays silent.
class AdpcmBlockDecoder final : public BlockDecoder {
public:
    void reset() override { m_state.reset(); }
    bool decode(const std::uint8_t* in, std::size_t n, std::int16_t* out) override;

private:
    AdpcmChannelState m_state;
};

// The process-wide SP decoder behind a BlockDecoder, or null when this build
// has no SP decoder.
BlockDecoder* spBlockDecoder();

}  // namespace vek::player
