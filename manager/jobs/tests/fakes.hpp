// Test doubles for the conversion jobs: a recording main window and job
// window, a codec library with a deterministic stand-in SP codec and
// injectable failures, a WAV library with a scripted header.
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "vek/jobs/conversion.hpp"
#include "vek/testsupport/files.hpp"
#include "vek/testsupport/fixtures.hpp"
#include "vek/testsupport/signals.hpp"

namespace vek::jobs::test {

using Bytes = std::vector<std::uint8_t>;

struct FakeMain final : MainWindowServices {
    std::string folder;
    std::vector<std::string> shown;
    int fgCalls = 0;
    std::string listFolderPath() const override { return folder; }
    void showWrittenFile(const std::string& path) override { shown.push_back(path); }
    void forceFGWindow() override { ++fgCalls; }
};

struct FakeUi final : JobUi {
    struct Box {
        std::string text, caption;
        MessageIcon icon;
        int fgCallsBefore;  // forceFGWindow calls seen when the box came up
    };
    FakeMain* main = nullptr;
    std::vector<Box> boxes;
    std::vector<Box> questions;
    std::deque<bool> answers;  // empty: Yes
    std::vector<std::string> statuses;
    std::vector<int> gauge;
    int processed = 0;
    std::vector<bool> busy;
    std::function<void(FakeUi&)> onProcess;

    void message(const std::string& t, const std::string& c, MessageIcon i) override {
        boxes.push_back({t, c, i, main ? main->fgCalls : -1});
    }
    bool askYesNo(const std::string& t, const std::string& c) override {
        questions.push_back({t, c, MessageIcon::Warning, main ? main->fgCalls : -1});
        if (answers.empty()) return true;
        const bool a = answers.front();
        answers.pop_front();
        return a;
    }
    void setStatus(const std::string& t) override { statuses.push_back(t); }
    void setGauge(int p) override { gauge.push_back(p); }
    void processMessages() override {
        ++processed;
        if (onProcess) onProcess(*this);
    }
    void setBusyCursor(bool b) override { busy.push_back(b); }
};

// The real ADPCM library (vekcdc5) with injectable failures, and a stand-in
// SP codec: the encoder writes a tagged sector whose frame bytes are a
// function of the block, the decoder turns a sector back into 4000 samples
// that depend on every byte. Block numbers count from 0 per initialisation.
struct TestCodecs final : CodecLibrary {
    int32_t spInitResult = 1, adpcmInitResult = 1, sc4ToAdpcmResult = -1, adpcmToSc4Result = -1;
    std::set<int> failBlocks, throwBlocks;  // decode or encode calls that fail / throw
    int block = 0;
    std::vector<Bytes> inputs;               // every block given to an encoder or decoder
    std::vector<std::uint32_t> inputLengths;

    int32_t spInitEncoder() override;
    int32_t spEncode(AudioCodecBlock* b) override;
    int32_t spInitDecoder() override;
    int32_t spDecode(AudioCodecBlock* b) override;
    int32_t adpcmInitEncoder() override;
    int32_t adpcmEncode(AudioCodecBlock* b) override;
    int32_t adpcmInitDecoder() override;
    int32_t adpcmDecode(AudioCodecBlock* b) override;
    int32_t sc4ToAdpcm(const char* sc4, const char* adpcm) override;
    int32_t adpcmToSc4(const char* adpcm, const char* sc4, int32_t shq) override;

    // Returns true (after counting) when the current block is to fail; throws
    // when it is to raise.
    bool injected(const AudioCodecBlock* b);
};

// The stand-in SP codec's arithmetic, for expected values.
Bytes fakeSpSector(const std::uint8_t* pcm8000);
Bytes fakeSpDecode(const std::uint8_t* sector512);

// A WAV library whose header is scripted; reads deliver a pattern.
struct ScriptedWave final : WaveLibrary {
    Header header;
    bool open = true;
    int closes = 0;
    Handle writeHeader(const char*, int32_t, int32_t, int32_t) override { return 0; }
    int32_t write(Handle, const void*, int32_t) override { return 0; }
    int32_t closeWrite(Handle) override { return 0; }
    Handle readHeader(const char*, Header& hd) override {
        hd = header;
        return open ? 1 : 0;
    }
    int32_t read(Handle, void* buf, int32_t bytes) override;
    void closeRead(Handle) override { ++closes; }
};

// WAV file images, sample bytes and whole files: the shared test support's.
using vek::testsupport::le16;
using vek::testsupport::readFile;
using vek::testsupport::samples16;
using vek::testsupport::wavImage;
using vek::testsupport::writeFile;

// A folder per test, a job state whose temporary files go to a folder of
// their own, and the doubles wired together.
class JobFixture {
public:
    JobFixture();
    ~JobFixture();
    std::filesystem::path dir, tempDir;
    ConversionState state;
    FakeMain main;
    FakeUi ui;
    TestCodecs codecs;
    WaveLibrary* wave;
    void runSc4ToWav(std::vector<std::string> names);
    void runWavToSc4(std::uint8_t mode, std::vector<std::string> names);
    bool tempDirEmpty() const;
};

}  // namespace vek::jobs::test
