// SPDX-License-Identifier: GPL-3.0-or-later
#include "vek/platform/fakekeys.hpp"

#include <QCoreApplication>

#include <algorithm>

namespace vek::hotkeys {

bool FakeGlobalKeys::registerKey(QObject* window, int id, unsigned modifiers, unsigned virtualKey) {
    const bool sameId = std::any_of(m_registered.begin(), m_registered.end(),
                                    [&](const Registration& r) { return r.window == window && r.id == id; });
    const bool ok = window && virtualKey != 0 && !sameId && !m_taken.count({modifiers, virtualKey}) &&
                    !isRegistered(modifiers, virtualKey);
    if (ok) m_registered.push_back({window, id, modifiers, virtualKey});
    m_calls.push_back({true, window, id, modifiers, virtualKey, ok});
    return ok;
}

bool FakeGlobalKeys::unregisterKey(QObject* window, int id) {
    auto it = std::find_if(m_registered.begin(), m_registered.end(),
                           [&](const Registration& r) { return r.window == window && r.id == id; });
    const bool ok = it != m_registered.end() && !m_failUnregister;
    if (ok) m_registered.erase(it);
    m_calls.push_back({false, window, id, 0, 0, ok});
    return ok;
}

bool FakeGlobalKeys::isRegistered(unsigned modifiers, unsigned virtualKey) const {
    return std::any_of(m_registered.begin(), m_registered.end(), [&](const Registration& r) {
        return r.window && r.modifiers == modifiers && r.virtualKey == virtualKey;
    });
}

bool FakeGlobalKeys::press(unsigned modifiers, unsigned virtualKey) {
    for (const Registration& r : m_registered) {
        if (r.window && r.modifiers == modifiers && r.virtualKey == virtualKey) {
            postTo(r.window, r.id, modifiers, virtualKey);
            return true;
        }
    }
    return false;
}

void FakeGlobalKeys::postTo(QObject* window, int id, unsigned modifiers, unsigned virtualKey) {
    QCoreApplication::postEvent(window, new HotKeyEvent(id, modifiers, virtualKey));
}

}  // namespace vek::hotkeys
