// SPDX-License-Identifier: GPL-3.0-or-later
#include "timestretch.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

#ifdef VEK_HAVE_RUBBERBAND
#include <rubberband/RubberBandStretcher.h>
#endif

namespace vek::crp2 {

#ifdef VEK_HAVE_RUBBERBAND
using RubberBand::RubberBandStretcher;

struct TimeStretch::Impl {
    std::unique_ptr<RubberBandStretcher> rb;
    std::size_t toDrop = 0;  // start delay still to cut from the output
    // Since the stretcher was made: the output its input is worth (the sum
    // of each block's samples over its speed) and the output given so far.
    // The difference is what it still holds back.
    double owed = 0;
    std::size_t given = 0;
};

bool TimeStretch::available() { return true; }
#else
struct TimeStretch::Impl {};
bool TimeStretch::available() { return false; }
#endif

TimeStretch::TimeStretch() : m_impl(std::make_unique<Impl>()) {}
TimeStretch::~TimeStretch() = default;

void TimeStretch::begin(int sampleRate, int maxBlock) {
    m_rate = sampleRate;
    m_maxBlock = static_cast<std::size_t>(std::max(maxBlock, 1));
#ifdef VEK_HAVE_RUBBERBAND
    m_impl->rb.reset();  // made afresh with the first block that needs it
#endif
    m_tail.clear();
    // Room for the largest output of one block (twice the input at 0.5,
    // plus what the stretcher may hold back and release at once), so that
    // nothing grows while playing.
    m_in.resize(m_maxBlock);
    m_out.resize(4 * m_maxBlock + 8192);
}

void TimeStretch::setSpeed(double speed) {
    if (!available() || !std::isfinite(speed)) speed = 1.0;
    speed = std::clamp(speed, kMinSpeed, kMaxSpeed);
#ifdef VEK_HAVE_RUBBERBAND
    if (speed == 1.0 && m_impl->rb) {
        // Back to the plain path; a later change starts anew. What the
        // stretcher still holds (a tenth of a second or more) would be lost
        // with it: it is pushed out first and played before the next block.
        drain();
        m_impl->rb.reset();
    } else if (m_impl->rb) {
        m_impl->rb->setTimeRatio(1.0 / speed);
    }
#endif
    m_speed = speed;
}

void TimeStretch::drain() {
#ifdef VEK_HAVE_RUBBERBAND
    // The output is lined up with the input (the start delay is cut), so the
    // samples still owed are exactly the held-back end of what went in.
    // Silence behind it pushes them out; what the silence itself becomes is
    // not taken. A final block would end the stream without giving them.
    Impl& s = *m_impl;
    const double owed = s.owed - static_cast<double>(s.given);
    if (owed < 1) return;
    const std::size_t want = std::min(static_cast<std::size_t>(std::llround(owed)), m_out.size());
    std::fill(m_in.begin(), m_in.end(), 0.0f);
    // The stretcher holds back less than its window; a few blocks of
    // silence are more than it needs, and bound the work.
    for (int round = 0; round < 8 && m_tail.size() < want; ++round) {
        const float* p = m_in.data();
        s.rb->process(&p, m_maxBlock, false);
        collect(m_tail, want);
    }
#endif
}

void TimeStretch::collect(std::vector<std::int16_t>& out, std::size_t limit) {
#ifdef VEK_HAVE_RUBBERBAND
    Impl& s = *m_impl;
    for (int avail = s.rb->available(); avail > 0; avail = s.rb->available()) {
        float* q = m_out.data();
        const std::size_t got = s.rb->retrieve(&q, std::min(static_cast<std::size_t>(avail), m_out.size()));
        if (got == 0) break;
        std::size_t from = std::min(got, s.toDrop);
        s.toDrop -= from;
        for (std::size_t i = from; i < got && out.size() < limit; ++i) {
            const float v = std::nearbyint(m_out[i] * 32768.0f);
            out.push_back(static_cast<std::int16_t>(std::clamp(v, -32768.0f, 32767.0f)));
        }
        s.given += got - from;
    }
#else
    (void)out;
    (void)limit;
#endif
}

void TimeStretch::process(const std::int16_t* in, std::size_t n, std::vector<std::int16_t>& out) {
    out.clear();
    if (m_speed == 1.0) {
        // The end the stretcher gave back at the change, then the block.
        out.swap(m_tail);
        out.insert(out.end(), in, in + n);
        return;
    }
#ifdef VEK_HAVE_RUBBERBAND
    Impl& s = *m_impl;
    if (!s.rb) {
        // Real time, one thread (the window's), the R3 engine with its short
        // window: clear speech at a few per cent of one core at 8 kHz. The
        // start is padded with the silence the stretcher asks for and its
        // start delay cut from the output, so input and output line up.
        const auto opts = RubberBandStretcher::OptionProcessRealTime | RubberBandStretcher::OptionThreadingNever |
                          RubberBandStretcher::OptionEngineFiner | RubberBandStretcher::OptionWindowShort;
        s.rb = std::make_unique<RubberBandStretcher>(static_cast<std::size_t>(m_rate), 1, opts, 1.0 / m_speed, 1.0);
        s.rb->setMaxProcessSize(m_maxBlock);
        std::fill(m_in.begin(), m_in.end(), 0.0f);
        for (std::size_t pad = s.rb->getPreferredStartPad(); pad > 0;) {
            const std::size_t k = std::min(pad, m_maxBlock);
            const float* p = m_in.data();
            s.rb->process(&p, k, false);
            pad -= k;
        }
        s.toDrop = s.rb->getStartDelay();
        s.owed = 0;
        s.given = 0;
    }
    // An end given back at a change to 1.0 that no block has taken yet.
    out.swap(m_tail);
    m_tail.clear();
    for (std::size_t at = 0; at < n;) {
        const std::size_t k = std::min(n - at, m_maxBlock);
        for (std::size_t i = 0; i < k; ++i) m_in[i] = static_cast<float>(in[at + i]) / 32768.0f;
        const float* p = m_in.data();
        s.rb->process(&p, k, false);
        s.owed += static_cast<double>(k) / m_speed;
        at += k;
        collect(out, std::numeric_limits<std::size_t>::max());
    }
#endif
}

}  // namespace vek::crp2
