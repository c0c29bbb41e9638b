// Throughput of the conversion jobs' pieces: the resampler, and whole-file
// jobs with the real libraries and a window that does nothing.
// SPDX-License-Identifier: GPL-3.0-or-later
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <unistd.h>
#include <vector>

#include "vek/jobs/conversion.hpp"
#include "vek/testsupport/signals.hpp"
#include "vek/jobs/resampler.hpp"
#include "vekwf.h"

namespace {

namespace fs = std::filesystem;
using namespace vek::jobs;

struct QuietHost final : MainWindowServices, JobUi {
    std::string folder;
    std::string listFolderPath() const override { return folder; }
    void showWrittenFile(const std::string&) override {}
    void forceFGWindow() override {}
    void message(const std::string&, const std::string&, MessageIcon) override {}
    bool askYesNo(const std::string&, const std::string&) override { return true; }
    void setStatus(const std::string&) override {}
    void setGauge(int) override {}
    void processMessages() override {}
    void setBusyCursor(bool) override {}
};

std::vector<std::int16_t> speechLike(std::size_t n, double rate) { return vek::testsupport::warbleTone(n, rate); }

void writeWav(const std::string& path, int channels, int rate, const std::vector<std::int16_t>& s) {
    const VekWaveHandle h = WriteWaveHeader(path.c_str(), 16, channels, rate);
    WriteWaveFile(h, s.data(), static_cast<int32_t>(s.size() * 2));
    CloseWriteWaveFile(h);
}

void BM_Resampler44kTo8k(benchmark::State& state) {
    const auto src = speechLike(44100 * 60, 44100);
    std::vector<std::int16_t> out(3944);
    for (auto _ : state) {
        Resampler r(src.data(), src.size(), 44100.0 / 8000.0);
        while (r.fill(out.data(), out.size())) benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * 8000 * 60);
}
BENCHMARK(BM_Resampler44kTo8k)->Unit(benchmark::kMillisecond);

class JobBench {
public:
    JobBench() {
        dir = fs::temp_directory_path() / ("vek-jobs-bench-" + std::to_string(::getpid()));
        fs::create_directories(dir);
        host.folder = dir.string() + "/";
        host.ContinueFlag = true;
        state.TempDir = dir;
    }
    ~JobBench() { fs::remove_all(dir); }
    void run(bool toWav, std::uint8_t mode, const std::string& name) {
        state.SelectedNames = {name};
        state.ConvMode = mode;
        JobContext ctx{state, host, host, defaultCodecs(), defaultWave()};
        if (toWav)
            runSc4ToWavJob(ctx);
        else
            runWavToSc4Job(ctx);
    }
    fs::path dir;
    ConversionState state;
    QuietHost host;
};

// One minute of 8 kHz mono speech, direct way, then back from SC4.
void BM_WavToSc4HqDirect(benchmark::State& st) {
    JobBench b;
    writeWav((b.dir / "m.wav").string(), 1, 8000, speechLike(8000 * 60, 8000));
    for (auto _ : st) b.run(false, kModeHQ, "m.wav");
    st.SetBytesProcessed(static_cast<std::int64_t>(st.iterations()) * 8000 * 60 * 2);
}
BENCHMARK(BM_WavToSc4HqDirect)->Unit(benchmark::kMillisecond);

void BM_Sc4ToWavHq(benchmark::State& st) {
    JobBench b;
    writeWav((b.dir / "m.wav").string(), 1, 8000, speechLike(8000 * 60, 8000));
    b.run(false, kModeHQ, "m.wav");
    for (auto _ : st) b.run(true, kModeHQ, "m.sc4");
    st.SetBytesProcessed(static_cast<std::int64_t>(st.iterations()) * 8000 * 60 * 2);
}
BENCHMARK(BM_Sc4ToWavHq)->Unit(benchmark::kMillisecond);

// One minute of 44.1 kHz stereo through the conversion way to HQ.
void BM_WavToSc4Stereo44k(benchmark::State& st) {
    JobBench b;
    auto mono = speechLike(44100 * 60, 44100);
    std::vector<std::int16_t> stereo;
    stereo.reserve(mono.size() * 2);
    for (auto v : mono) {
        stereo.push_back(v);
        stereo.push_back(static_cast<std::int16_t>(v / 2));
    }
    writeWav((b.dir / "s.wav").string(), 2, 44100, stereo);
    for (auto _ : st) b.run(false, kModeHQ, "s.wav");
    st.SetBytesProcessed(static_cast<std::int64_t>(st.iterations()) * 44100 * 60 * 4);
}
BENCHMARK(BM_WavToSc4Stereo44k)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
