// vekconv render: what the recipient of a self-playing file hears.
// SPDX-License-Identifier: GPL-3.0-or-later
#if defined(VEKCONV_HAVE_VEK_PLAYER) && defined(VEKCONV_HAVE_VEKWF_CORE)
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli.hpp"
#include "vek/codec/bytestream.hpp"
#include "vek/codec/sc4.hpp"
#include "vek/platform/safefile.hpp"
#include "vek/player/decoders.hpp"
#include "vek/player/render.hpp"
#include "vekwf.h"

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

// Reads n bytes at an offset; false when the file holds fewer.
bool readAt(std::FILE* f, std::uint64_t at, std::uint8_t* dst, std::size_t n) {
    return fseeko(f, static_cast<off_t>(at), SEEK_SET) == 0 && std::fread(dst, 1, n, f) == n;
}

// What render plays: the virtual player file, read from disk in place (a
// recording of any size costs no memory), with its layout and mode.
struct StreamInput {
    std::unique_ptr<vek::player::PrefixedFile> file;
    vek::player::PlayerLayout layout{};
    vek::RecordingMode mode = vek::RecordingMode::Unknown;
    vek::safefile::PrivateTempFile frames;  // the frame stream of an HQ or SHQ recording
};

// A self-playing file first (its tag at 51200 or 78848), else an SC4 file.
// False with a message.
bool openInput(const std::string& path, std::uint8_t effect, std::uint8_t level, StreamInput& in) {
    namespace vp = vek::player;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        error("'" + path + "': cannot be read");
        return false;
    }
    std::uint8_t head[5] = {};
    const std::size_t headBytes = std::fread(head, 1, sizeof head, f);
    for (std::uint64_t at : {vp::kAdpcmStubSize, vp::kSpStubSize}) {
        std::uint8_t h[vp::kHeaderBytes] = {};
        if (readAt(f, at, h, sizeof h) && vp::PayloadHeader::hasTag(h)) {
            std::fclose(f);
            const std::uint8_t mode = h[8];
            // The SP player plays whatever follows its header as SP sectors;
            // the ADPCM player picks the rate from the mode byte.
            in.layout = at == vp::kSpStubSize ? vp::kSpLayout : vp::layoutForMode(mode == 6 ? 6 : 5);
            in.mode = at == vp::kSpStubSize ? vek::RecordingMode::SP
                                            : (mode == 6 ? vek::RecordingMode::SHQ : vek::RecordingMode::HQ);
            in.file = std::make_unique<vp::PrefixedFile>(std::vector<std::uint8_t>{}, path);
            return true;
        }
    }
    const bool failed = std::ferror(f) != 0;
    std::fclose(f);
    const vek::RecordingMode mode = vek::detectMode(head, headBytes);
    if (failed || mode == vek::RecordingMode::Unknown) {
        error("'" + path + "': " + (failed ? "cannot be read" : "neither an SC4 file nor a self-playing file"));
        return false;
    }
    // The virtual file is the header and the recording, with no stub in front.
    vp::PayloadHeader hd;
    hd.mode = static_cast<std::uint8_t>(mode);
    hd.effect = effect;
    hd.level = level;
    std::vector<std::uint8_t> prefix(vp::kHeaderBytes);
    hd.write(prefix.data());
    in.mode = mode;
    std::string body = path;
    if (mode == vek::RecordingMode::SP) {
        in.layout = vp::kSpLayout;
    } else {
        // The frame stream goes to a private temporary file, not to memory.
        const std::string dir = vek::safefile::userTempFolder();
        if (!in.frames.create(dir, "vekconv")) {
            error("cannot create a temporary file in '" + dir + "'");
            return false;
        }
        vek::StdioFile src(path.c_str(), vek::StdioFile::Mode::Read);
        vek::StdioFile dst(in.frames.path().c_str(), vek::StdioFile::Mode::ReadWriteTruncate);
        const bool ok = src.isOpen() && dst.isOpen() && vek::sc4ToAdpcm(src, dst);
        if (!dst.close() || !ok) {
            error("'" + path + "': neither an SC4 file nor a self-playing file");
            return false;
        }
        in.layout = vp::layoutForMode(static_cast<std::uint8_t>(mode));
        body = in.frames.path();
    }
    in.layout.stubSize = 0;
    in.file = std::make_unique<vp::PrefixedFile>(std::move(prefix), body);
    return true;
}

int runRender(const Args& args) {
    const auto opts = parseEffectOptions(args, "render");
    if (!opts) return 2;
    if (opts->files.size() != 2) {
        error("render: give one input and one output file (see 'vekconv render --help')");
        return 2;
    }
    const std::string& inPath = opts->files[0];
    const std::string& outPath = opts->files[1];
    if (!isRegularFile(inPath)) {
        error("'" + inPath + "': " + notAFileReason(inPath));
        return 1;
    }
    StreamInput input;
    if (!openInput(inPath, static_cast<std::uint8_t>(opts->effect.value_or(0)),
                   static_cast<std::uint8_t>(opts->level.value_or(vek::kDefaultEffectLevelByte)), input))
        return 1;
    vek::player::PrefixedFile& file = *input.file;
    if (!file.open()) {
        error("'" + inPath + "': cannot be read");
        return 1;
    }
    // The header gives what is not overridden.
    std::optional<vek::player::EffectSetting> override;
    if (opts->effect || opts->level) {
        std::uint8_t raw[vek::player::kHeaderBytes] = {};
        file.seek(input.layout.stubSize);
        file.read(raw, sizeof raw);
        const auto h = vek::player::PayloadHeader::read(raw);
        override = vek::player::EffectSetting{static_cast<int>(opts->effect.value_or(h.effect)),
                                              static_cast<int>(opts->level.value_or(h.level))};
    }
    vek::player::AdpcmBlockDecoder adpcm;
    vek::player::BlockDecoder* decoder = &adpcm;
    if (input.mode == vek::RecordingMode::SP) {
        decoder = vek::player::spBlockDecoder();
        if (!decoder) {
            error("render: this build has no SP decoder");
            return 1;
        }
    }

    // What the recording will play, at most: each input block one buffer,
    // the first SP sector twice, and a buffer for a short last block. Where
    // that may exceed what a WAVE file's 32-bit lengths can state, the output
    // is written as RF64 when it gets there.
    const std::int64_t total = file.size();
    const auto payload = static_cast<std::uint64_t>(total > 0 ? total : 0);
    const std::uint64_t blocks = payload / input.layout.blockBytes + 3;
    const std::uint64_t maxBytes = blocks * input.layout.blockSamples * 2;
    const bool large = maxBytes > kVekWaveMaxData;

    AtomicOutput out(outPath);
    if (out.tempPath().empty()) return out.commit() ? 0 : 1;  // says why
    const auto rate = static_cast<std::int32_t>(input.layout.sampleRate);
    const VekWaveHandle wav = large ? WriteWaveHeader64(out.tempPath().c_str(), 16, 1, rate)
                                    : WriteWaveHeader(out.tempPath().c_str(), 16, 1, rate);
    if (!wav) {
        error("cannot create '" + outPath + "'");
        return 1;
    }
    std::vector<std::uint8_t> le;
    vek::VoiceEffect fx;
    const bool written = vek::player::renderPlaybackTo(
        input.layout, file, *decoder, fx,
        [&](const std::int16_t* s, std::size_t n) {
            le.resize(2 * n);
            for (std::size_t i = 0; i < n; ++i) {
                const auto u = static_cast<std::uint16_t>(s[i]);
                le[2 * i] = static_cast<std::uint8_t>(u & 0xFF);
                le[2 * i + 1] = static_cast<std::uint8_t>(u >> 8);
            }
            const auto bytes = static_cast<std::int32_t>(le.size());
            return WriteWaveFile(wav, le.data(), bytes) == bytes;
        },
        override);
    const bool closed = CloseWriteWaveFile(wav) == 1;
    if (file.failed()) {
        error("'" + inPath + "': read error");
        return 1;
    }
    if (!written || !closed) {
        error("cannot write '" + outPath + "'");
        return 1;
    }
    return out.commit() ? 0 : 1;
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
