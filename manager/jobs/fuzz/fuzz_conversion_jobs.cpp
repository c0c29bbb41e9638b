// Fuzz target: the conversion jobs on damaged files, with the real codec and
// WAV libraries and files in a private scratch folder. Byte 0 chooses the job:
//   even: SC4 -> WAV on the rest as "in.sc4";
//   odd:  WAV -> SC4 on the rest as "in.wav", in mode SP, HQ or SHQ by
//         (byte 0 >> 1) % 3.
// A job must come back (no crash, no hang) with at most this one file
// converted; a converted file is there and readable as what the job writes
// (a 16-bit mono WAV of the recording's rate, or an SC4 file of the chosen
// mode in whole sectors; empty only for a WAV file without samples), and a
// file not converted leaves no target behind. Every job
// window message is counted; nothing is asked, since no target exists yet.
// SPDX-License-Identifier: GPL-3.0-or-later
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "scratch.hpp"
#include "vek/jobs/conversion.hpp"
#include "vekwf.h"

namespace {

namespace fs = std::filesystem;
using namespace vek::jobs;

struct Main final : MainWindowServices {
    std::string listFolderPath() const override { return vek::fuzz::scratchFolder(); }
    void showWrittenFile(const std::string&) override { ++shown; }
    void forceFGWindow() override {}
    int shown = 0;
};

struct Ui final : JobUi {
    void message(const std::string&, const std::string&, MessageIcon) override { ++messages; }
    bool askYesNo(const std::string&, const std::string&) override {
        ++questions;
        return true;
    }
    void setStatus(const std::string&) override {}
    void setGauge(int percent) override {
        if (percent < 0 || percent > 100) std::abort();
    }
    void processMessages() override {}
    void setBusyCursor(bool) override {}
    int messages = 0;
    int questions = 0;
};

// The sample bytes the WAV reader delivers for a file (-1 when it refuses it).
std::int32_t wavDataBytes(const std::string& path) {
    std::int32_t bytes = -1;
    const VekWaveHandle w = ReadWaveHeader(path.c_str(), nullptr, nullptr, nullptr, &bytes, nullptr);
    if (!w) return -1;
    CloseReadWaveFile(w);
    return bytes;
}

void clearScratch() {
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(vek::fuzz::scratchFolder(), ec)) fs::remove_all(e.path(), ec);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static bool quiet = [] { return std::freopen("/dev/null", "w", stdout) != nullptr; }();
    (void)quiet;  // the SP decoder's LSP warnings
    if (size < 1) return 0;
    static ConversionState state;
    clearScratch();
    const bool toWav = (data[0] & 1u) == 0;
    const std::uint8_t modes[3] = {kModeSP, kModeHQ, kModeSHQ};
    const std::uint8_t mode = modes[(data[0] >> 1) % 3];
    if (!toWav && mode == kModeSP && !haveSpCodec()) return 0;
    const std::string name = toWav ? "in.sc4" : "in.wav";
    const std::string source = vek::fuzz::writeScratchFile(name, data + 1, size - 1);

    Main main;
    Ui ui;
    JobContext ctx{state, main, ui, defaultCodecs(), defaultWave()};
    state.SelectedNames = {name};
    state.ConvMode = mode;
    state.ConvertedCount = 0;
    state.TempDir = vek::fuzz::scratchFolder();
    ui.ContinueFlag = true;
    if (toWav)
        runSc4ToWavJob(ctx);
    else
        runWavToSc4Job(ctx);

    if (state.ConvertedCount < 0 || state.ConvertedCount > 1 || ui.questions != 0) std::abort();
    const std::string target = vek::fuzz::scratchFolder() + (toWav ? "in.wav" : "in.sc4");
    std::error_code ec;
    const bool exists = fs::exists(target, ec);
    if (state.ConvertedCount == 0) {
        if (exists) std::abort();
        return 0;
    }
    if (!exists || main.shown != 1) std::abort();
    if (toWav) {
        std::int16_t bits = 0, channels = 0, tag = 0;
        std::int32_t rate = 0, bytes = -1;
        const VekWaveHandle w = ReadWaveHeader(target.c_str(), &bits, &channels, &rate, &bytes, &tag);
        if (!w || bits != 16 || channels != 1 || tag != 1 || (rate != 8000 && rate != 11025)) std::abort();
        CloseReadWaveFile(w);
    } else {
        std::uint8_t head[5] = {};
        std::FILE* f = std::fopen(target.c_str(), "rb");
        if (!f) std::abort();
        const std::size_t n = std::fread(head, 1, sizeof head, f);
        const long end = std::fseek(f, 0, SEEK_END) == 0 ? std::ftell(f) : -1;
        std::fclose(f);
        // Whole 512-byte sectors; SP ones start with their tag, ADPCM ones
        // with a group header announcing the mode.
        if (end < 0 || end % 512 != 0) std::abort();
        // A WAV file without samples gives an empty SC4 file today (the
        // container writer has no frame to write); anything else holds at
        // least one sector.
        if (end == 0) {
            if (wavDataBytes(source) != 0) std::abort();
            return 0;
        }
        if (n != 5) std::abort();
        if (mode == kModeSP && std::string(reinterpret_cast<char*>(head), 5) != "dmr1d") std::abort();
        if (mode != kModeSP && (head[0] != 0 || head[1] != 0 || head[2] != 1 || head[3] != 0x1B)) std::abort();
    }
    return 0;
}
