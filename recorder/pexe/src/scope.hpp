// Runs a function when the scope ends, on every path out of it.
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <utility>

namespace vek::recpexe {

template <class F>
class ScopeExit {
public:
    explicit ScopeExit(F f) : m_f(std::move(f)) {}
    ~ScopeExit() { m_f(); }
    ScopeExit(const ScopeExit&) = delete;
    ScopeExit& operator=(const ScopeExit&) = delete;

private:
    F m_f;
};

}  // namespace vek::recpexe
