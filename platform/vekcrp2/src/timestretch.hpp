// Playback at another speed without a change of pitch: the engine's decoded
// and effect-treated blocks go through librubberband's real-time stretcher
// on their way to the device. At speed 1.0 nothing is touched: the engine
// plays its blocks as they are.
//
// The stretcher is fed whole engine blocks (up to 4000 samples) and gives
// back what it has ready after each one, about n / speed samples once it
// runs; the first blocks after a start give less (its start delay is cut off
// so that the output lines up with the input), and a speed change takes
// effect from the next block. Back at 1.0, the first block comes after the
// end the stretcher still held (about a tenth of a second): nothing heard
// is skipped at the change.
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace vek::crp2 {

class TimeStretch {
public:
    static constexpr double kMinSpeed = 0.5;
    static constexpr double kMaxSpeed = 2.0;

    // False in a build without librubberband: every speed is then 1.0.
    static bool available();

    TimeStretch();
    ~TimeStretch();
    TimeStretch(const TimeStretch&) = delete;
    TimeStretch& operator=(const TimeStretch&) = delete;

    // A new stream of mono samples at `sampleRate` in blocks of at most
    // `maxBlock` samples: the stretcher's history is dropped.
    void begin(int sampleRate, int maxBlock);
    // Limited to kMinSpeed..kMaxSpeed (1.0 where the library is missing).
    void setSpeed(double speed);
    double speed() const { return m_speed; }
    // At 1.0 the samples need no treatment at all, once the end held at the
    // change back to 1.0 has gone out with a block.
    bool bypass() const { return m_speed == 1.0 && m_tail.empty(); }

    // `n` samples in; `out` becomes what the stretcher has ready now. At 1.0
    // `out` is the input itself, after that held end if there is one.
    void process(const std::int16_t* in, std::size_t n, std::vector<std::int16_t>& out);

private:
    // Pushes what the stretcher still owes into m_tail.
    void drain();
    // Appends what the stretcher has ready to `out`, up to `limit` samples
    // in all, less the start delay still to cut.
    void collect(std::vector<std::int16_t>& out, std::size_t limit);

    struct Impl;
    std::unique_ptr<Impl> m_impl;
    double m_speed = 1.0;
    int m_rate = 8000;
    std::size_t m_maxBlock = 4000;
    std::vector<float> m_in, m_out;
    std::vector<std::int16_t> m_tail;  // the held end, for the next block at 1.0
};

}  // namespace vek::crp2
