// SPDX-License-Identifier: GPL-3.0-or-later
#include "x11keys.hpp"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QtGui/qguiapplication_platform.h>

#include <X11/keysym.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>

namespace vek::hotkeys {

std::uint32_t keysymForVirtualKey(unsigned vk) {
    if (vk >= 0x30 && vk <= 0x39) return XK_0 + (vk - 0x30);          // '0'..'9'
    if (vk >= 0x41 && vk <= 0x5A) return XK_a + (vk - 0x41);          // 'A'..'Z'
    if (vk >= 0x60 && vk <= 0x69) return XK_KP_0 + (vk - 0x60);       // VK_NUMPAD0..9
    if (vk >= 0x70 && vk <= 0x87) return XK_F1 + (vk - 0x70);         // VK_F1..VK_F24
    switch (vk) {
    case 0x03: return XK_Cancel;
    case 0x08: return XK_BackSpace;
    case 0x09: return XK_Tab;
    case 0x0C: return XK_Clear;
    case 0x0D: return XK_Return;
    case 0x13: return XK_Pause;
    case 0x14: return XK_Caps_Lock;
    case 0x1B: return XK_Escape;
    case 0x20: return XK_space;
    case 0x21: return XK_Prior;
    case 0x22: return XK_Next;
    case 0x23: return XK_End;
    case 0x24: return XK_Home;
    case 0x25: return XK_Left;
    case 0x26: return XK_Up;
    case 0x27: return XK_Right;
    case 0x28: return XK_Down;
    case 0x29: return XK_Select;
    case 0x2B: return XK_Execute;
    case 0x2C: return XK_Print;
    case 0x2D: return XK_Insert;
    case 0x2E: return XK_Delete;
    case 0x2F: return XK_Help;
    case 0x5D: return XK_Menu;          // VK_APPS
    case 0x6A: return XK_KP_Multiply;
    case 0x6B: return XK_KP_Add;
    case 0x6C: return XK_KP_Separator;
    case 0x6D: return XK_KP_Subtract;
    case 0x6E: return XK_KP_Decimal;
    case 0x6F: return XK_KP_Divide;
    case 0x90: return XK_Num_Lock;
    case 0x91: return XK_Scroll_Lock;
    default: return 0;
    }
}

std::unique_ptr<X11GlobalKeys> X11GlobalKeys::create() {
    auto* app = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* c = app ? app->connection() : nullptr;
    if (!c || xcb_connection_has_error(c)) return nullptr;
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
    if (!it.rem) return nullptr;
    return std::unique_ptr<X11GlobalKeys>(new X11GlobalKeys(c, it.data->root));
}

X11GlobalKeys::X11GlobalKeys(xcb_connection_t* c, std::uint32_t root) : m_conn(c), m_root(root) {
    QCoreApplication::instance()->installNativeEventFilter(this);
}

X11GlobalKeys::~X11GlobalKeys() {
    if (QCoreApplication::instance()) QCoreApplication::instance()->removeNativeEventFilter(this);
    for (const Grab& g : m_grabs) ungrabAll(g.keycode, g.state);
    xcb_flush(m_conn);
}

std::uint8_t X11GlobalKeys::keycodeFor(std::uint32_t keysym) const {
    const xcb_setup_t* setup = xcb_get_setup(m_conn);
    const int first = setup->min_keycode;
    const int count = setup->max_keycode - setup->min_keycode + 1;
    xcb_get_keyboard_mapping_reply_t* r = xcb_get_keyboard_mapping_reply(
        m_conn, xcb_get_keyboard_mapping(m_conn, setup->min_keycode, static_cast<std::uint8_t>(count)), nullptr);
    if (!r) return 0;
    const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(r);
    const int per = r->keysyms_per_keycode;
    const int total = xcb_get_keyboard_mapping_keysyms_length(r);
    std::uint8_t found = 0;
    // The unshifted column first (F2 and its shifted twin can share a key on
    // some maps), then the shifted one.
    for (int column = 0; column < std::min(per, 2) && !found; ++column) {
        for (int k = 0; k < count && !found; ++k) {
            const int i = k * per + column;
            if (i < total && syms[i] == keysym) found = static_cast<std::uint8_t>(first + k);
        }
    }
    std::free(r);
    return found;
}

X11GlobalKeys::ModifierMasks X11GlobalKeys::modifierMasks() const {
    // The usual places, unless the modifier map says otherwise.
    ModifierMasks m{XCB_MOD_MASK_1, XCB_MOD_MASK_4, XCB_MOD_MASK_2};
    const std::uint8_t altKey = keycodeFor(XK_Alt_L), winKey = keycodeFor(XK_Super_L), numKey = keycodeFor(XK_Num_Lock);
    xcb_get_modifier_mapping_reply_t* r =
        xcb_get_modifier_mapping_reply(m_conn, xcb_get_modifier_mapping(m_conn), nullptr);
    if (!r) return m;
    const xcb_keycode_t* codes = xcb_get_modifier_mapping_keycodes(r);
    const int per = r->keycodes_per_modifier;
    // Rows 3..7 are Mod1..Mod5; Shift, Lock and Control are fixed.
    for (int row = 3; row < 8; ++row) {
        const auto mask = static_cast<std::uint16_t>(1u << row);
        for (int j = 0; j < per; ++j) {
            const xcb_keycode_t c = codes[row * per + j];
            if (!c) continue;
            if (c == altKey) m.alt = mask;
            if (c == winKey) m.win = mask;
            if (c == numKey) m.numLock = mask;
        }
    }
    std::free(r);
    return m;
}

std::vector<std::uint16_t> X11GlobalKeys::lockVariants() const {
    const std::uint16_t num = m_numLockMask;
    return {0, XCB_MOD_MASK_LOCK, num, static_cast<std::uint16_t>(num | XCB_MOD_MASK_LOCK)};
}

bool X11GlobalKeys::grabAll(std::uint8_t keycode, std::uint16_t state) {
    std::vector<std::uint16_t> done;
    for (std::uint16_t lock : lockVariants()) {
        const auto mods = static_cast<std::uint16_t>(state | lock);
        if (std::find(done.begin(), done.end(), mods) != done.end()) continue;
        xcb_void_cookie_t ck = xcb_grab_key_checked(m_conn, 1, m_root, mods, keycode, XCB_GRAB_MODE_ASYNC,
                                                    XCB_GRAB_MODE_ASYNC);
        if (xcb_generic_error_t* e = xcb_request_check(m_conn, ck)) {
            // BadAccess: another client holds this combination.
            std::free(e);
            for (std::uint16_t m : done) xcb_ungrab_key(m_conn, keycode, m_root, m);
            xcb_flush(m_conn);
            return false;
        }
        done.push_back(mods);
    }
    return true;
}

void X11GlobalKeys::ungrabAll(std::uint8_t keycode, std::uint16_t state) {
    for (std::uint16_t lock : lockVariants())
        xcb_ungrab_key(m_conn, keycode, m_root, static_cast<std::uint16_t>(state | lock));
}

bool X11GlobalKeys::registerKey(QObject* window, int id, unsigned modifiers, unsigned virtualKey) {
    if (!window || xcb_connection_has_error(m_conn)) return false;
    for (const Grab& g : m_grabs) {
        if (g.window == window && g.id == id) return false;
        if (g.window && g.modifiers == modifiers && g.virtualKey == virtualKey) return false;
    }
    const std::uint32_t keysym = keysymForVirtualKey(virtualKey);
    const std::uint8_t keycode = keysym ? keycodeFor(keysym) : 0;
    if (!keycode) return false;
    const ModifierMasks masks = modifierMasks();
    m_numLockMask = masks.numLock;
    std::uint16_t state = 0;
    if (modifiers & kModShift) state |= XCB_MOD_MASK_SHIFT;
    if (modifiers & kModControl) state |= XCB_MOD_MASK_CONTROL;
    if (modifiers & kModAlt) state |= masks.alt;
    if (modifiers & kModWin) state |= masks.win;
    if (!grabAll(keycode, state)) return false;
    xcb_flush(m_conn);
    if (std::none_of(m_grabs.begin(), m_grabs.end(), [&](const Grab& g) { return g.window == window; })) {
        // A window that goes away gives its keys back.
        QObject::connect(window, &QObject::destroyed, window, [this, window] { dropGrabsOf(window); });
    }
    m_grabs.push_back({window, id, modifiers, virtualKey, keycode, state});
    return true;
}

bool X11GlobalKeys::unregisterKey(QObject* window, int id) {
    auto it = std::find_if(m_grabs.begin(), m_grabs.end(),
                           [&](const Grab& g) { return g.window == window && g.id == id; });
    if (it == m_grabs.end()) return false;
    ungrabAll(it->keycode, it->state);
    xcb_flush(m_conn);
    m_grabs.erase(it);
    return true;
}

void X11GlobalKeys::dropGrabsOf(QObject* window) {
    for (auto it = m_grabs.begin(); it != m_grabs.end();) {
        if (it->window == window || !it->window) {
            ungrabAll(it->keycode, it->state);
            it = m_grabs.erase(it);
        } else {
            ++it;
        }
    }
    xcb_flush(m_conn);
}

bool X11GlobalKeys::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t" || m_grabs.empty()) return false;
    auto* ev = static_cast<xcb_generic_event_t*>(message);
    const std::uint8_t type = ev->response_type & 0x7f;
    if (type != XCB_KEY_PRESS && type != XCB_KEY_RELEASE) return false;
    auto* key = reinterpret_cast<xcb_key_press_event_t*>(ev);
    if (key->event != m_root) return false;
    const std::uint16_t locks = static_cast<std::uint16_t>(XCB_MOD_MASK_LOCK | m_numLockMask);
    const std::uint16_t state = key->state & 0xff & static_cast<std::uint16_t>(~locks);
    bool ours = false;
    for (const Grab& g : m_grabs) {
        if (!g.window || g.keycode != key->detail || g.state != state) continue;
        ours = true;
        if (type == XCB_KEY_PRESS)
            QCoreApplication::postEvent(g.window, new HotKeyEvent(g.id, g.modifiers, g.virtualKey));
    }
    return ours;
}

}  // namespace vek::hotkeys
