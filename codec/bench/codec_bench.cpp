// Throughput of the ADPCM coder and of the container, in memory.
// SPDX-License-Identifier: GPL-3.0-or-later
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

#include "vek/codec/adpcm.hpp"
#include "vek/codec/sc4.hpp"
#include "vek/testsupport/signals.hpp"

namespace {

std::vector<std::uint8_t> speechPcm(std::size_t samples) {
    return vek::testsupport::le16(vek::testsupport::speechWithClicks(samples, 1));
}

constexpr std::size_t kBlockSamples = 3944;  // 68 frames, the conversion block

void BM_AdpcmEncode(benchmark::State& state) {
    const auto pcm = speechPcm(kBlockSamples * 40);
    std::vector<std::uint8_t> out(pcm.size() / 4);
    vek::AdpcmCodec codec;
    for (auto _ : state) {
        for (std::size_t off = 0; off < pcm.size(); off += kBlockSamples * 2)
            codec.encode(pcm.data() + off, kBlockSamples * 2, out.data() + off / 4);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<long>(pcm.size() / 2));
    state.SetLabel("items = samples");
}
BENCHMARK(BM_AdpcmEncode);

void BM_AdpcmDecode(benchmark::State& state) {
    const auto pcm = speechPcm(kBlockSamples * 40);
    std::vector<std::uint8_t> frames(pcm.size() / 4), out(pcm.size());
    vek::AdpcmCodec enc;
    enc.encode(pcm.data(), pcm.size(), frames.data());
    vek::AdpcmCodec codec;
    for (auto _ : state) {
        for (std::size_t off = 0; off < frames.size(); off += 1972)
            codec.decode(frames.data() + off, 1972, out.data() + off * 4);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<long>(pcm.size() / 2));
    state.SetLabel("items = samples");
}
BENCHMARK(BM_AdpcmDecode);

std::vector<std::uint8_t> randomFrames(std::size_t bytes) {
    std::vector<std::uint8_t> b(bytes / 29 * 29);
    std::mt19937 rng(2);
    for (auto& x : b) x = static_cast<std::uint8_t>(rng());
    return b;
}

void BM_Sc4Pack(benchmark::State& state) {
    const auto frames = randomFrames(8 << 20);
    for (auto _ : state) {
        vek::MemorySource in(frames.data(), frames.size());
        vek::MemorySink out;
        vek::adpcmToSc4(in, out, false);
        benchmark::DoNotOptimize(out.bytes().data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<long>(frames.size()));
}
BENCHMARK(BM_Sc4Pack)->Unit(benchmark::kMillisecond);

void BM_Sc4Unpack(benchmark::State& state) {
    const auto frames = randomFrames(8 << 20);
    vek::MemorySource in(frames.data(), frames.size());
    vek::MemorySink sc4;
    vek::adpcmToSc4(in, sc4, false);
    for (auto _ : state) {
        vek::MemorySource src(sc4.bytes().data(), sc4.bytes().size());
        vek::MemorySink out;
        vek::sc4ToAdpcm(src, out);
        benchmark::DoNotOptimize(out.bytes().data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<long>(sc4.bytes().size()));
}
BENCHMARK(BM_Sc4Unpack)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
