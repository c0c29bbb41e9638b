// SPDX-License-Identifier: GPL-3.0-or-later
#include "vek/platform/globalkeys.hpp"

#include "x11keys.hpp"

#include <QGuiApplication>

namespace vek::hotkeys {

HotKeyEvent::HotKeyEvent(int id, unsigned modifiers, unsigned virtualKey)
    : QEvent(eventType()), m_id(id), m_modifiers(modifiers), m_virtualKey(virtualKey) {}

QEvent::Type HotKeyEvent::eventType() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

std::unique_ptr<GlobalKeys> createKeysFor(const QString& platformName) {
    if (platformName == QLatin1String("xcb")) {
        if (auto x11 = X11GlobalKeys::create()) return x11;
    }
    return std::make_unique<NoGlobalKeys>();
}

namespace {
GlobalKeys* g_override = nullptr;
}

void setSystemKeys(GlobalKeys* keys) { g_override = keys; }

GlobalKeys& systemKeys() {
    if (g_override) return *g_override;
    // Made once, on the first key asked for, for the platform the
    // application runs on; it lives as long as the process.
    static std::unique_ptr<GlobalKeys> keys = createKeysFor(QGuiApplication::platformName());
    return *keys;
}

}  // namespace vek::hotkeys
