// vekconv make-exe: build a self-playing executable from an SC4 file.
// SPDX-License-Identifier: GPL-3.0-or-later
#if defined(VEKCONV_HAVE_VEK_PLAYER)
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "cli.hpp"
#include "vek/codec/bytestream.hpp"
#include "vek/codec/sc4.hpp"
#include "vek/player/render.hpp"

namespace vekconv {
namespace {

// The folder vekconv runs from: the stubs are installed beside it.
std::filesystem::path toolFolder() {
    std::error_code ec;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::path(".") : self.parent_path();
}

int runMakeExe(const Args& args) {
    std::optional<long> effect, level;
    std::string stubOverride;
    std::vector<std::string> files;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--effect" || a == "--level") {
            const bool isEffect = a == "--effect";
            auto v = i + 1 < args.size() ? parseInt(args[i + 1], 0, isEffect ? 16 : 127) : std::nullopt;
            if (!v) {
                error("make-exe: " + a + (isEffect ? " needs a number from 0 to 16" : " needs a number from 0 to 127"));
                return 2;
            }
            (isEffect ? effect : level) = v;
            ++i;
        } else if (a == "--stub" && i + 1 < args.size()) {
            stubOverride = args[++i];
        } else if (a.size() > 1 && a[0] == '-') {
            error("make-exe: unknown option '" + a + "'");
            return 2;
        } else {
            files.push_back(a);
        }
    }
    if (files.size() != 2) {
        error("make-exe: give one SC4 file and one output file (see 'vekconv make-exe --help')");
        return 2;
    }
    if (!isRegularFile(files[0])) {
        error("'" + files[0] + "': " + notAFileReason(files[0]));
        return 1;
    }
    const auto sc4 = vek::player::readFileBytes(files[0]);
    if (!sc4) {
        error("'" + files[0] + "': cannot be read");
        return 1;
    }
    const vek::RecordingMode mode = vek::detectMode(sc4->data(), sc4->size());
    if (mode == vek::RecordingMode::Unknown) {
        error("'" + files[0] + "': invalid sc4 file");
        return 1;
    }
    const bool sp = mode == vek::RecordingMode::SP;
    const char* stubName = sp ? "vekgplay.exe" : "vekaplay.exe";
    const std::uint64_t stubSize = sp ? vek::player::kSpStubSize : vek::player::kAdpcmStubSize;
    const std::string stubPath = stubOverride.empty() ? (toolFolder() / stubName).string() : stubOverride;
    auto out = isRegularFile(stubPath) ? vek::player::readFileBytes(stubPath) : std::nullopt;
    if (!out) {
        error("player stub '" + stubPath + "' not found");
        return 1;
    }
    // Readers look for the header only at the two stub sizes.
    if (out->size() != stubSize) {
        error("player stub '" + stubPath + "' is " + std::to_string(out->size()) + " bytes, not " +
              std::to_string(stubSize));
        return 1;
    }
    vek::player::PayloadHeader h;
    h.mode = static_cast<std::uint8_t>(mode);
    h.effect = static_cast<std::uint8_t>(effect.value_or(0));
    h.level = static_cast<std::uint8_t>(level.value_or(vek::kDefaultEffectLevelByte));
    std::uint8_t raw[vek::player::kHeaderBytes];
    h.write(raw);
    out->insert(out->end(), raw, raw + sizeof raw);
    if (sp) {
        out->insert(out->end(), sc4->begin(), sc4->end());
    } else {
        vek::MemorySource src(sc4->data(), sc4->size());
        vek::MemorySink frames;
        if (!vek::sc4ToAdpcm(src, frames)) {
            error("'" + files[0] + "': damaged sc4 file");
            return 1;
        }
        out->insert(out->end(), frames.bytes().begin(), frames.bytes().end());
    }
    return writeWholeFile(files[1], *out) ? 0 : 1;
}

}  // namespace

const Register makeExeCommand{{
    "make-exe",
    "make-exe [OPTIONS] IN.sc4 OUT.exe  build a self-playing executable",
    "Usage: vekconv make-exe [--effect N] [--level B] [--stub STUB] IN.sc4 OUT.exe\n\n"
    "Copies the player stub of the recording's mode (vekgplay.exe for SP,\n"
    "vekaplay.exe for HQ and SHQ, looked up beside vekconv unless --stub names\n"
    "one), appends the 12-byte header (\"TARKAVF\", mode, 30, effect, level)\n"
    "and the recording: the SC4 file itself for SP, its plain ADPCM frame\n"
    "stream for HQ and SHQ. Effect 0-16 (default 0), level byte 0-127\n"
    "(default 80; 0 is the strongest effect).\n",
    runMakeExe,
}};

}  // namespace vekconv
#endif
