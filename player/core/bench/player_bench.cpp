// Decoding and effects per buffer against the half second each buffer plays.
// SPDX-License-Identifier: GPL-3.0-or-later
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "vek/codec/adpcm.hpp"
#include "vek/player/decoders.hpp"

namespace {

std::vector<std::int16_t> voice(std::size_t n) {
    std::vector<std::int16_t> s(n);
    for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<std::int16_t>(9000 * std::sin(i * 0.07) * std::sin(i * 0.001));
    return s;
}

// One 4000-sample buffer through the effect; counters report the real-time
// factor (seconds of audio per second of work).
void BM_Effect(benchmark::State& state) {
    vek::VoiceEffect fx;
    fx.initialize(static_cast<int>(state.range(0)));
    const auto src = voice(4000);
    std::vector<std::int16_t> buf(src);
    for (auto _ : state) {
        buf = src;
        fx.apply(buf.data(), buf.size(), 47);
        benchmark::DoNotOptimize(buf.data());
    }
    state.counters["realtime_x"] =
        benchmark::Counter(0.5 * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Effect)->Arg(1)->Arg(4)->Arg(5)->Arg(10)->Arg(13)->Arg(15);

void BM_AdpcmBlock(benchmark::State& state) {
    const auto pcm = voice(3944);
    std::vector<std::uint8_t> frames(1972);
    vek::AdpcmCodec enc;
    enc.encode(reinterpret_cast<const std::uint8_t*>(pcm.data()), pcm.size() * 2, frames.data());
    vek::player::AdpcmBlockDecoder dec;
    std::vector<std::int16_t> out(3944);
    for (auto _ : state) {
        dec.decode(frames.data(), frames.size(), out.data());
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["realtime_x"] =
        benchmark::Counter(3944.0 / 8000.0 * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_AdpcmBlock);

void BM_SpSector(benchmark::State& state) {
    vek::player::BlockDecoder* dec = vek::player::spBlockDecoder();
    if (!dec) {
        state.SkipWithError("no SP decoder in this build");
        return;
    }
    // A sector of silence-like frames behind the SP tag.
    std::vector<std::uint8_t> sector(512, 0);
    const char tag[] = "dmr1data";
    for (int i = 0; i < 8; ++i) sector[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(tag[i]);
    sector[8] = 0xF4;
    sector[9] = 0x01;
    for (std::size_t i = 12; i < 512; ++i) sector[i] = static_cast<std::uint8_t>(i * 37);
    std::vector<std::int16_t> out(4000);
    dec->reset();
    for (auto _ : state) {
        dec->decode(sector.data(), sector.size(), out.data());
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["realtime_x"] =
        benchmark::Counter(0.5 * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_SpSector);

}  // namespace

BENCHMARK_MAIN();
