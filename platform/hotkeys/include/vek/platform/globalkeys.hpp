// Global hot keys: keys that reach one of our windows whatever window has
// the keyboard focus. A window asks for a key combination under an id of its
// own; when the user presses it, a HotKeyEvent with that id is posted to the
// window, so it is handled in the window's turn like any other message and
// never in the middle of a running handler.
//
// Keys are named by the Windows virtual-key codes and modifier bits
// (VK_F2 = 0x71, MOD_CONTROL = 2), the form the recorder keeps them in.
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QEvent>
#include <QObject>

#include <memory>

namespace vek::hotkeys {

// Modifier bits of a combination.
inline constexpr unsigned kModAlt = 0x1;
inline constexpr unsigned kModControl = 0x2;
inline constexpr unsigned kModShift = 0x4;
inline constexpr unsigned kModWin = 0x8;

// A pressed hot key, posted to the window that registered it.
class HotKeyEvent : public QEvent {
public:
    HotKeyEvent(int id, unsigned modifiers, unsigned virtualKey);
    static QEvent::Type eventType();
    int id() const { return m_id; }
    unsigned modifiers() const { return m_modifiers; }
    unsigned virtualKey() const { return m_virtualKey; }

private:
    int m_id;
    unsigned m_modifiers;
    unsigned m_virtualKey;
};

// The session's register of global keys.
class GlobalKeys {
public:
    virtual ~GlobalKeys() = default;
    // Asks for `virtualKey` with `modifiers` under `id` for `window`. False
    // when the session refuses: the combination belongs to another program,
    // the key is not on the keyboard, the id is already in use for that
    // window, or the session offers no global keys at all.
    virtual bool registerKey(QObject* window, int id, unsigned modifiers, unsigned virtualKey) = 0;
    // Gives the key of `id` back. False when `window` holds no key of that id.
    virtual bool unregisterKey(QObject* window, int id) = 0;
};

// The register of the running session: X11 key grabs on an X11 display;
// on any other platform (Wayland, offscreen) one that refuses every key.
// Needs a QGuiApplication. A register installed with setSystemKeys wins.
GlobalKeys& systemKeys();
// Installs `keys` as the session's register (nullptr: back to the real one).
// Not owned.
void setSystemKeys(GlobalKeys* keys);

// The register of a platform that offers no global keys.
class NoGlobalKeys : public GlobalKeys {
public:
    bool registerKey(QObject*, int, unsigned, unsigned) override { return false; }
    bool unregisterKey(QObject*, int) override { return false; }
};

// The register for a platform by its Qt name ("xcb", "wayland", "offscreen").
std::unique_ptr<GlobalKeys> createKeysFor(const QString& platformName);

}  // namespace vek::hotkeys
