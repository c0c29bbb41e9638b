// Deterministic test signals (16-bit mono) and the measures the codec tests
// compare them with. Each generator stands for a kind of input a coder
// meets: the same seed always gives the same samples.
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vek::testsupport {

using Samples = std::vector<std::int16_t>;

// Speech at 8000 Hz as a vocoder sees it: voiced stretches (a glottal pulse
// train with gliding pitch through three formant resonators), unvoiced
// stretches (shaped noise) and pauses, in 0.3 s syllables with envelopes.
Samples speechLike(std::size_t samples, std::uint32_t seed = 1);

// Speech at 8000 Hz as a waveform coder sees it: 0.2 s segments of voiced
// sound (twelve harmonics of a wandering pitch), unvoiced noise, voiced again
// and near-silence, plus a full-scale click every 7919 samples.
Samples speechWithClicks(std::size_t samples, std::uint32_t seed);

// A voice at 8000 Hz for the effects: two partials of a gliding pitch under a
// 4 Hz syllable envelope with a little noise; `peak` sets the level (32767
// reaches full scale, more clips).
Samples syllables(std::size_t samples, double peak = 12000.0);

// A voice at any rate: a gliding pitch (140 +- 60 Hz) with a partial at 3.7
// times it under a 3 Hz envelope, peaking near 9000.
Samples glidingVoice(std::size_t samples, unsigned rate);

// A 220 Hz tone under a 3 Hz envelope plus a steady 1250 Hz partial: output
// that any rate and any whole-block cut tell apart.
Samples warbleTone(std::size_t samples, double rate);

// Two steady partials (periods of about 105 and 20 samples): what the
// container commands store, at any rate.
Samples twoTones(std::size_t samples);

// Little-endian bytes of samples, and back.
std::vector<std::uint8_t> le16(const Samples& samples);
Samples samples16(const std::vector<std::uint8_t>& bytes);

// Segmental SNR (dB) of `test` (delayed by `delay` samples) against `ref` over
// 20 ms segments at 8000 Hz whose reference RMS is at least 100, each clamped
// to -10..80 dB; -100 when no segment counts.
double segmentalSnr(const Samples& ref, const Samples& test, std::size_t delay = 0);

// Pearson correlation of `ref` with `test` delayed by `delay` samples.
double correlation(const Samples& ref, const Samples& test, std::size_t delay = 0);

}  // namespace vek::testsupport
