// vekconv render: what the recipient of a self-playing file hears.
// SPDX-License-Identifier: GPL-3.0-or-later
#if defined(VEKCONV_HAVE_VEK_PLAYER)
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "cli.hpp"
#include "vek/player/decoders.hpp"
#include "vek/player/render.hpp"
#include "vek/player/wav.hpp"

namespace vekconv {
namespace {

// --effect N and --level B among the arguments; the rest are files.
struct EffectOptions {
    std::optional<long> effect, level;
    std::vector<std::string> files;
};

std::optional<EffectOptions> parseEffectOptions(const Args& args, const char* cmd) {
    EffectOptions o;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--effect" || a == "--level") {
            const bool isEffect = a == "--effect";
            auto v = i + 1 < args.size() ? parseInt(args[i + 1], 0, isEffect ? 16 : 127) : std::nullopt;
            if (!v) {
                error(std::string(cmd) + ": " + a + (isEffect ? " needs a number from 0 to 16" : " needs a number from 0 to 127"));
                return std::nullopt;
            }
            (isEffect ? o.effect : o.level) = v;
            ++i;
        } else if (a.size() > 1 && a[0] == '-') {
            error(std::string(cmd) + ": unknown option '" + a + "'");
            return std::nullopt;
        } else {
            o.files.push_back(a);
        }
    }
    return o;
}

int runRender(const Args& args) {
    const auto opts = parseEffectOptions(args, "render");
    if (!opts) return 2;
    if (opts->files.size() != 2) {
        error("render: give one input and one output file (see 'vekconv render --help')");
        return 2;
    }
    const std::string& inPath = opts->files[0];
    auto bytes = vek::player::readFileBytes(inPath);
    if (!bytes || !isRegularFile(inPath)) {
        error("'" + inPath + "': cannot be read");
        return 1;
    }
    // A self-playing file first (its tag at 51200 or 78848), else an SC4 file.
    std::optional<vek::player::RenderInput> input = vek::player::selfPlayingInput(*bytes);
    if (!input) {
        input = vek::player::sc4Input(*bytes, static_cast<std::uint8_t>(opts->effect.value_or(0)),
                                      static_cast<std::uint8_t>(opts->level.value_or(vek::kDefaultEffectLevelByte)));
    }
    if (!input) {
        error("'" + inPath + "': neither an SC4 file nor a self-playing file");
        return 1;
    }
    vek::player::MemoryPlayerFile file(std::move(input->file));
    // The header gives what is not overridden.
    std::optional<vek::player::EffectSetting> override;
    if (opts->effect || opts->level) {
        std::uint8_t raw[vek::player::kHeaderBytes] = {};
        file.open();
        file.seek(input->layout.stubSize);
        file.read(raw, sizeof raw);
        const auto h = vek::player::PayloadHeader::read(raw);
        override = vek::player::EffectSetting{static_cast<int>(opts->effect.value_or(h.effect)),
                                              static_cast<int>(opts->level.value_or(h.level))};
    }
    vek::player::AdpcmBlockDecoder adpcm;
    vek::player::BlockDecoder* decoder = &adpcm;
    if (input->mode == vek::RecordingMode::SP) {
        decoder = vek::player::spBlockDecoder();
        if (!decoder) {
            error("render: this build has no SP decoder");
            return 1;
        }
    }
    vek::VoiceEffect fx;
    const auto pcm = vek::player::renderPlayback(input->layout, file, *decoder, fx, override);
    const auto wav = vek::player::makeWavMono16(pcm.data(), pcm.size(), input->layout.sampleRate);
    return writeWholeFile(opts->files[1], wav) ? 0 : 1;
}

}  // namespace

const Register renderCommand{{
    "render",
    "render [OPTIONS] IN OUT.wav  what a self-playing file plays, as WAV",
    "Usage: vekconv render [--effect N] [--level B] IN OUT.wav\n\n"
    "Plays IN as the self-playing player does and writes what goes to the\n"
    "sound card as a 16-bit mono WAV (8000 Hz, or 11025 Hz for SHQ), without\n"
    "the second of silence the player starts with. IN is an SC4 file of any\n"
    "mode or a self-playing .exe; an .exe brings its own effect and level,\n"
    "which --effect (0-16) and --level (0-127) override. For SC4 input the\n"
    "defaults are effect 0 and level 80. SP recordings are decoded with the\n"
    "player's first-sector double decode; a damaged sector plays as silence.\n",
    runRender,
}};

}  // namespace vekconv
#endif
