// SPDX-License-Identifier: GPL-3.0-or-later
#include "fakes.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <unistd.h>
#include <stdexcept>

#include "vek/testsupport/fixtures.hpp"
#include "vekcdc5.h"

namespace vek::jobs::test {

namespace fs = std::filesystem;

namespace {
const char kTag[] = "dmr1data";
}

Bytes fakeSpSector(const std::uint8_t* pcm) {
    std::uint8_t frames[vek::testsupport::kSpFrameBytes];
    for (int m = 0; m < 500; ++m) {
        unsigned acc = 0;
        for (int k = 0; k < 16; ++k) acc = acc * 31 + pcm[16 * m + k];
        frames[m] = static_cast<std::uint8_t>(acc ^ (acc >> 8));
    }
    return vek::testsupport::spSector(frames);
}

Bytes fakeSpDecode(const std::uint8_t* sector) {
    Bytes out(8000);
    for (int i = 0; i < 4000; ++i) {
        const auto v = static_cast<std::int16_t>(sector[10 + i / 8] * 97 + i * 3 + sector[i % 512]);
        out[2 * i] = static_cast<std::uint8_t>(static_cast<std::uint16_t>(v) & 0xFF);
        out[2 * i + 1] = static_cast<std::uint8_t>(static_cast<std::uint16_t>(v) >> 8);
    }
    return out;
}

bool TestCodecs::injected(const AudioCodecBlock* b) {
    const auto* in = static_cast<const std::uint8_t*>(b->input);
    inputs.emplace_back(in, in + b->inputLength);
    inputLengths.push_back(b->inputLength);
    const int n = block++;
    if (throwBlocks.count(n)) throw std::runtime_error("injected");
    return failBlocks.count(n) != 0;
}

int32_t TestCodecs::spInitEncoder() {
    block = 0;
    return spInitResult;
}
int32_t TestCodecs::spEncode(AudioCodecBlock* b) {
    if (injected(b)) return 0;
    if (b->inputLength != 8000) return 0;
    const Bytes s = fakeSpSector(static_cast<const std::uint8_t*>(b->input));
    std::memcpy(b->output, s.data(), 512);
    *b->outputCount = 512;
    return 1;
}
int32_t TestCodecs::spInitDecoder() {
    block = 0;
    return spInitResult;
}
int32_t TestCodecs::spDecode(AudioCodecBlock* b) {
    if (injected(b)) return 0;
    const auto* in = static_cast<const std::uint8_t*>(b->input);
    if (b->inputLength != 512 || std::memcmp(in, kTag, 8) != 0) {
        *b->outputCount = 0;
        return 0;
    }
    const Bytes out = fakeSpDecode(in);
    std::memcpy(b->output, out.data(), out.size());
    *b->outputCount = 8000;
    return 1;
}
int32_t TestCodecs::adpcmInitEncoder() {
    block = 0;
    return adpcmInitResult ? InitializeAudioEncoder_A() : 0;
}
int32_t TestCodecs::adpcmEncode(AudioCodecBlock* b) {
    if (injected(b)) return 0;
    return AudioEncoding_A(b);
}
int32_t TestCodecs::adpcmInitDecoder() {
    block = 0;
    return adpcmInitResult ? InitializeAudioDecoder_A() : 0;
}
int32_t TestCodecs::adpcmDecode(AudioCodecBlock* b) {
    if (injected(b)) return 0;
    return AudioDecoding_A(b);
}
int32_t TestCodecs::sc4ToAdpcm(const char* sc4, const char* adpcm) {
    return sc4ToAdpcmResult >= 0 ? sc4ToAdpcmResult : SC4ToADPCM(sc4, adpcm);
}
int32_t TestCodecs::adpcmToSc4(const char* adpcm, const char* sc4, int32_t shq) {
    return adpcmToSc4Result >= 0 ? adpcmToSc4Result : ADPCMToSC4(adpcm, sc4, shq);
}

int32_t ScriptedWave::read(Handle, void* buf, int32_t bytes) {
    auto* p = static_cast<std::uint8_t*>(buf);
    for (int32_t i = 0; i < bytes; ++i) p[i] = static_cast<std::uint8_t>(i * 13 + 5);
    return bytes;
}

JobFixture::JobFixture() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string id = std::string(info ? info->test_suite_name() : "x") + "." + (info ? info->name() : "y");
    dir = fs::temp_directory_path() / ("vek-jobs-" + std::to_string(::getpid()) + "-" + id);
    fs::remove_all(dir);
    tempDir = dir / "tmp";
    fs::create_directories(dir / "list");
    fs::create_directories(tempDir);
    main.folder = (dir / "list").string() + "/";
    ui.main = &main;
    state.TempDir = tempDir;
    wave = &defaultWave();
}

JobFixture::~JobFixture() {
    std::error_code ec;
    fs::remove_all(dir, ec);
}

void JobFixture::runSc4ToWav(std::vector<std::string> names) {
    state.SelectedNames = std::move(names);
    ui.ContinueFlag = true;
    JobContext ctx{state, main, ui, codecs, *wave};
    runSc4ToWavJob(ctx);
}

void JobFixture::runWavToSc4(std::uint8_t mode, std::vector<std::string> names) {
    state.SelectedNames = std::move(names);
    state.ConvMode = mode;
    ui.ContinueFlag = true;
    JobContext ctx{state, main, ui, codecs, *wave};
    runWavToSc4Job(ctx);
}

bool JobFixture::tempDirEmpty() const { return fs::is_empty(tempDir); }

}  // namespace vek::jobs::test
