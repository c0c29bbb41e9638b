// SPDX-License-Identifier: GPL-3.0-or-later
#include "timestretch.hpp"

#include <algorithm>
#include <cmath>

#ifdef VEK_HAVE_RUBBERBAND
#include <rubberband/RubberBandStretcher.h>
#endif

namespace vek::crp2 {

#ifdef VEK_HAVE_RUBBERBAND
using RubberBand::RubberBandStretcher;

struct TimeStretch::Impl {
    std::unique_ptr<RubberBandStretcher> rb;
    std::size_t toDrop = 0;  // start delay still to cut from the output
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
    if (speed == 1.0)
        m_impl->rb.reset();  // back to the plain path; a later change starts anew
    else if (m_impl->rb)
        m_impl->rb->setTimeRatio(1.0 / speed);
#endif
    m_speed = speed;
}

void TimeStretch::process(const std::int16_t* in, std::size_t n, std::vector<std::int16_t>& out) {
    if (bypass()) {
        out.assign(in, in + n);
        return;
    }
    out.clear();
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
    }
    for (std::size_t at = 0; at < n;) {
        const std::size_t k = std::min(n - at, m_maxBlock);
        for (std::size_t i = 0; i < k; ++i) m_in[i] = static_cast<float>(in[at + i]) / 32768.0f;
        const float* p = m_in.data();
        s.rb->process(&p, k, false);
        at += k;
        for (int avail = s.rb->available(); avail > 0; avail = s.rb->available()) {
            float* q = m_out.data();
            const std::size_t got = s.rb->retrieve(&q, std::min(static_cast<std::size_t>(avail), m_out.size()));
            if (got == 0) break;
            std::size_t from = std::min(got, s.toDrop);
            s.toDrop -= from;
            for (std::size_t i = from; i < got; ++i) {
                const float v = std::nearbyint(m_out[i] * 32768.0f);
                out.push_back(static_cast<std::int16_t>(std::clamp(v, -32768.0f, 32767.0f)));
            }
        }
    }
#endif
}

}  // namespace vek::crp2
