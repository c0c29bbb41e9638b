// A register of global keys for tests: it records what is asked of it, can
// refuse keys as another program holding them would, and "presses" keys by
// posting the HotKeyEvent the real session would post.
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "vek/platform/globalkeys.hpp"

#include <QPointer>

#include <set>
#include <utility>
#include <vector>

namespace vek::hotkeys {

class FakeGlobalKeys : public GlobalKeys {
public:
    struct Registration {
        QPointer<QObject> window;
        int id;
        unsigned modifiers;
        unsigned virtualKey;
    };
    // One call as it was made, for checking the order and the arguments.
    struct Call {
        bool isRegister;
        QObject* window;
        int id;
        unsigned modifiers;
        unsigned virtualKey;
        bool result;
    };

    bool registerKey(QObject* window, int id, unsigned modifiers, unsigned virtualKey) override;
    bool unregisterKey(QObject* window, int id) override;

    // Another program holds this combination: registering it fails.
    void takeByOtherProgram(unsigned modifiers, unsigned virtualKey) { m_taken.insert({modifiers, virtualKey}); }
    // Every following unregister call fails (and keeps the key).
    void setFailUnregister(bool fail) { m_failUnregister = fail; }

    // The user presses the combination: true when it is registered, after
    // posting its HotKeyEvent to the window holding it.
    bool press(unsigned modifiers, unsigned virtualKey);
    // Posts a hot-key message with any id to `window`, registered or not.
    static void postTo(QObject* window, int id, unsigned modifiers = 0, unsigned virtualKey = 0);

    const std::vector<Registration>& registrations() const { return m_registered; }
    bool isRegistered(unsigned modifiers, unsigned virtualKey) const;
    const std::vector<Call>& calls() const { return m_calls; }
    void clearCalls() { m_calls.clear(); }

private:
    std::vector<Registration> m_registered;
    std::vector<Call> m_calls;
    std::set<std::pair<unsigned, unsigned>> m_taken;
    bool m_failUnregister = false;
};

}  // namespace vek::hotkeys
