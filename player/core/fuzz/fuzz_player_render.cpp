// Fuzz target: the self-playing player on whole files, as `vekconv render`
// plays them. Byte 0 chooses what the rest is:
//   0: an SC4 file of any mode (bits 2-7 of byte 0 give the effect);
//   1: what follows the SP player stub (12-byte header, then SP sectors);
//   2: what follows the ADPCM player stub (header, then ADPCM frames);
// for 1 and 2 the target builds the whole self-playing file, a stub of the
// right size in front, and recognises it as the renderer does. The result
// must be whole buffers, no more than the data can fill (plus the first-block
// double decode), and the same on a second playing with fresh state.
// SPDX-License-Identifier: GPL-3.0-or-later
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <vector>

#include "vek/player/decoders.hpp"
#include "vek/player/render.hpp"

namespace {

std::vector<std::int16_t> play(const vek::player::RenderInput& input) {
    vek::player::MemoryPlayerFile file(input.file);
    vek::player::AdpcmBlockDecoder adpcm;
    vek::player::BlockDecoder* decoder = &adpcm;
    if (input.mode == vek::RecordingMode::SP) {
        decoder = vek::player::spBlockDecoder();
        if (!decoder) return {};
    }
    vek::VoiceEffect fx;
    return vek::player::renderPlayback(input.layout, file, *decoder, fx);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static bool quiet = [] { return std::freopen("/dev/null", "w", stdout) != nullptr; }();
    (void)quiet;  // the SP decoder's LSP warnings
    // Whole files, but short ones (-max_len 12288): the time of a run grows
    // with the length and nothing new happens after a few dozen blocks.
    if (size < 1 || size > 12288) return -1;
    const unsigned kind = data[0] & 3u;
    std::vector<std::uint8_t> rest(data + 1, data + size);
    std::optional<vek::player::RenderInput> input;
    if (kind == 0) {
        const auto effect = static_cast<std::uint8_t>((data[0] >> 2) % 20);
        input = vek::player::sc4Input(rest, effect, vek::kDefaultEffectLevelByte);
    } else if (kind <= 2) {
        const std::uint64_t stub = kind == 1 ? vek::player::kSpStubSize : vek::player::kAdpcmStubSize;
        std::vector<std::uint8_t> exe(stub, 0);
        exe.insert(exe.end(), rest.begin(), rest.end());
        input = vek::player::selfPlayingInput(std::move(exe));
        // A stub with its tag in place is always recognised, with the
        // stub's own layout.
        const bool tagged = rest.size() >= vek::player::kHeaderBytes && vek::player::PayloadHeader::hasTag(rest.data());
        if (tagged != input.has_value()) std::abort();
        if (input && input->layout.stubSize != stub) std::abort();
    }
    if (!input) return 0;

    const auto first = play(*input);
    const auto& layout = input->layout;
    if (first.size() % layout.blockSamples != 0) std::abort();
    const std::uint64_t stored = input->file.size() - layout.stubSize - vek::player::kHeaderBytes;
    const std::uint64_t blocks = (stored + layout.blockBytes - 1) / layout.blockBytes;
    if (first.size() / layout.blockSamples > blocks + 1) std::abort();
    if (play(*input) != first) std::abort();
    return 0;
}
