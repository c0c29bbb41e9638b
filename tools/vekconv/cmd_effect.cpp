// vekconv effect: apply a voice effect to a 16-bit mono WAV file.
// SPDX-License-Identifier: GPL-3.0-or-later
#if defined(VEKCONV_HAVE_VEK_PLAYER)
#include <cstdio>
#include <algorithm>
#include <string>
#include <vector>

#include "cli.hpp"
#include "vek/effects/voice_effect.hpp"
#include "vek/player/render.hpp"
#include "vek/player/wav.hpp"

namespace vekconv {
namespace {

int runEffect(const Args& args) {
    long effect = 0, level = vek::kDefaultEffectLevelByte;
    std::vector<std::string> files;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--effect" || a == "--level") {
            const bool isEffect = a == "--effect";
            std::optional<long> v = i + 1 < args.size() ? parseInt(args[i + 1], 0, isEffect ? 16 : 127) : std::nullopt;
            if (!v) {
                error("effect: " + a + (isEffect ? " needs a number from 0 to 16" : " needs a number from 0 to 127"));
                return 2;
            }
            (isEffect ? effect : level) = *v;
            ++i;
        } else if (a.size() > 1 && a[0] == '-') {
            error("effect: unknown option '" + a + "'");
            return 2;
        } else {
            files.push_back(a);
        }
    }
    if (files.size() != 2) {
        error("effect: give one input and one output file (see 'vekconv effect --help')");
        return 2;
    }
    if (!isRegularFile(files[0])) {
        error("'" + files[0] + "': " + notAFileReason(files[0]));
        return 1;
    }
    const auto bytes = vek::player::readFileBytes(files[0]);
    if (!bytes) {
        error("'" + files[0] + "': cannot be read");
        return 1;
    }
    std::string why;
    auto wav = vek::player::parseWavMono16(*bytes, why);
    if (!wav) {
        error("'" + files[0] + "': " + why);
        return 1;
    }
    vek::VoiceEffect fx;
    fx.initialize(static_cast<int>(effect));
    const int wet = vek::wetLevelFromByte(static_cast<int>(level));
    // Half-second blocks as the player applies them (the state runs on
    // across blocks, so the split does not change the result).
    for (std::size_t at = 0; at < wav->samples.size(); at += vek::kEffectBlockSamples) {
        const std::size_t n = std::min(vek::kEffectBlockSamples, wav->samples.size() - at);
        fx.apply(wav->samples.data() + at, n, wet);
    }
    const auto out = vek::player::makeWavMono16(wav->samples.data(), wav->samples.size(), wav->sampleRate);
    return writeWholeFile(files[1], out) ? 0 : 1;
}

}  // namespace

const Register effectCommand{{
    "effect",
    "effect [OPTIONS] IN.wav OUT.wav   voice effect on a 16-bit mono WAV",
    "Usage: vekconv effect [--effect N] [--level B] IN.wav OUT.wav\n\n"
    "Applies voice effect N (0-16, 0 = off) to a 16-bit mono PCM WAV file in\n"
    "blocks of 4000 samples, as the self-playing player does. B is the level\n"
    "byte of a self-playing file (0-127, default 80): 0 is the strongest\n"
    "effect, 127 leaves the dry signal.\n"
    "Effects: 1 Reverb Room, 2 Reverb Stage, 3 Reverb Hall, 4 Reverb Stadium,\n"
    "5 Echo, 6 Flange, 7 Invert Flange, 8 Chorus, 9 Robot Voice, 10 Pitch Bend\n"
    "Chorus, 11 Darth Vader, 12 Third Up, 13 Octave Up, 14 Helium Voice,\n"
    "15 Descending Echo, 16 Ascending Echo.\n",
    runEffect,
}};

}  // namespace vekconv
#endif
