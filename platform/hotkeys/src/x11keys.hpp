// Global keys on an X11 display: passive key grabs on the root window. The
// keyboard's lock states travel in the modifier state of every key event, so
// each combination is grabbed four times, with and without Caps Lock and
// Num Lock, and works whatever those locks say.
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "vek/platform/globalkeys.hpp"

#include <QAbstractNativeEventFilter>
#include <QPointer>

#include <cstdint>
#include <memory>
#include <vector>

struct xcb_connection_t;

namespace vek::hotkeys {

// The X keysym of a Windows virtual-key code, 0 for a code without one.
// Letters give the lower-case keysym, the one the keyboard map lists first.
std::uint32_t keysymForVirtualKey(unsigned virtualKey);

class X11GlobalKeys : public GlobalKeys, public QAbstractNativeEventFilter {
public:
    // Null when the application does not run on an X11 connection.
    static std::unique_ptr<X11GlobalKeys> create();
    ~X11GlobalKeys() override;

    bool registerKey(QObject* window, int id, unsigned modifiers, unsigned virtualKey) override;
    bool unregisterKey(QObject* window, int id) override;
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    struct Grab {
        QPointer<QObject> window;
        int id;
        unsigned modifiers;
        unsigned virtualKey;
        std::uint8_t keycode;
        std::uint16_t state;   // X modifier mask without the locks
    };
    struct ModifierMasks {
        std::uint16_t alt, win, numLock;
    };

    X11GlobalKeys(xcb_connection_t* c, std::uint32_t root);
    std::uint8_t keycodeFor(std::uint32_t keysym) const;
    ModifierMasks modifierMasks() const;
    std::vector<std::uint16_t> lockVariants() const;
    bool grabAll(std::uint8_t keycode, std::uint16_t state);
    void ungrabAll(std::uint8_t keycode, std::uint16_t state);
    void dropGrabsOf(QObject* window);

    xcb_connection_t* m_conn;
    std::uint32_t m_root;
    std::vector<Grab> m_grabs;
    std::uint16_t m_numLockMask = 0x10;   // Mod2, until the map is read
};

}  // namespace vek::hotkeys
