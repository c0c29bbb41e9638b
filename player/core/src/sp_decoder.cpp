// SP sectors through the SP-mode speech decoder, when the build has it.
// SPDX-License-Identifier: GPL-3.0-or-later
#include "vek/player/decoders.hpp"

#if defined(VEK_PLAYER_HAVE_SP)
#include "vek/sp/decoder.hpp"
#include "vekcdc5.h"

namespace vek::player {
namespace {

class SpBlockDecoder final : public BlockDecoder {
public:
    void reset() override { m_decoder.initialize(); }
    bool decode(const std::uint8_t* in, std::size_t, std::int16_t* out) override {
        // The core pads a short sector with zeros; the decoder always sees 512.
        std::int32_t count = 0;
        AudioCodecBlock block{};
        block.input = in;
        block.inputLength = 512;
        block.output = out;
        block.outputCount = &count;
        return m_decoder.decodeSector(block) != 0;
    }

private:
    SpDecoder m_decoder;
};

}  // namespace

BlockDecoder* spBlockDecoder() {
    static SpBlockDecoder decoder;
    return &decoder;
}

}  // namespace vek::player
#else
namespace vek::player {
BlockDecoder* spBlockDecoder() { return nullptr; }
}  // namespace vek::player
#endif
