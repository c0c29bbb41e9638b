// SPDX-License-Identifier: GPL-3.0-or-later
#include "vek/recwidgets/hotkeys.hpp"

#include "vek/platform/globalkeys.hpp"

#include <QWidget>

#include <algorithm>

// Virtual-key codes by TVirtKey ordinal (VK_CANCEL 0x03 ... VK_APPS 0x5D).
const std::array<std::uint8_t, kVirtKeyCount> kVirtKeyCodes = {
    0x00,                                                       // vkNone
    0x03, 0x08, 0x09, 0x0C, 0x0D, 0x13, 0x14, 0x1B, 0x20,       // Cancel Back Tab Clear Return Pause Capital Escape Space
    0x21, 0x22, 0x23, 0x24, 0x25, 0x26, 0x27, 0x28,             // Prior Next End Home Left Up Right Down
    0x29, 0x2B, 0x2C, 0x2D, 0x2E, 0x2F,                         // Select Execute Snapshot Insert Delete Help
    0x30, 0x31, 0x32, 0x33, 0x34, 0x35, 0x36, 0x37, 0x38, 0x39, // 0..9
    0x41, 0x42, 0x43, 0x44, 0x45, 0x46, 0x47, 0x48, 0x49, 0x4A, 0x4B, 0x4C, 0x4D,   // A..M
    0x4E, 0x4F, 0x50, 0x51, 0x52, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58, 0x59, 0x5A,   // N..Z
    0x60, 0x61, 0x62, 0x63, 0x64, 0x65, 0x66, 0x67, 0x68, 0x69, // Numpad0..9
    0x6A, 0x6B, 0x6C, 0x6D, 0x6E, 0x6F,                         // Multiply Add Separator Subtract Decimal Divide
    0x70, 0x71, 0x72, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x79, 0x7A, 0x7B,   // F1..F12
    0x7C, 0x7D, 0x7E, 0x7F, 0x80, 0x81, 0x82, 0x83, 0x84, 0x85, 0x86, 0x87,   // F13..F24
    0x90, 0x91, 0x5D,                                           // Numlock Scroll Apps
};

std::uint8_t virtualKeyCode(TVirtKey k) {
    const auto i = static_cast<std::size_t>(k);
    return i < kVirtKeyCodes.size() ? kVirtKeyCodes[i] : 0;
}

unsigned hotKeyModifiers(TModifiers m) {
    unsigned r = 0;
    if (m & modShift) r |= vek::hotkeys::kModShift;
    if (m & modControl) r |= vek::hotkeys::kModControl;
    if (m & modAlt) r |= vek::hotkeys::kModAlt;
    if (m & modWin) r |= vek::hotkeys::kModWin;
    return r;
}

// ---------------------------------------------------------------- items

int THotKeyItem::Index() const {
    const auto& items = m_collection->m_items;
    for (std::size_t i = 0; i < items.size(); ++i)
        if (items[i].get() == this) return static_cast<int>(i);
    return -1;
}

void THotKeyItem::registerNow() {
    TAMHotKeys* c = m_collection->component();
    m_registered = false;
    if (m_virtKey != TVirtKey::vkNone && c->m_owner)
        m_registered = c->m_keys->registerKey(c->m_owner, m_id, hotKeyModifiers(m_modifiers), virtualKeyCode(m_virtKey));
}

void THotKeyItem::setEnabled(bool value) {
    if (value == m_enabled) return;
    m_enabled = value;
    TAMHotKeys* c = m_collection->component();
    if (c->m_loading) return;
    if (value) {
        registerNow();
    } else if (m_registered) {
        // A key the session will not give back stays marked as registered.
        m_registered = !c->m_keys->unregisterKey(c->m_owner, m_id);
    }
}

THotKeyItem* THotKeys::Add() {
    m_items.push_back(std::unique_ptr<THotKeyItem>(new THotKeyItem(this, m_nextId++)));
    return m_items.back().get();
}

THotKeyItem* THotKeys::FindItemID(int id) const {
    auto it = std::find_if(m_items.begin(), m_items.end(), [id](const auto& i) { return i->ID() == id; });
    return it == m_items.end() ? nullptr : it->get();
}

// ---------------------------------------------------------------- component

QObject* TAMHotKeys::checkedOwner(QObject* owner) {
    // Checked before anything is built, so a refused component leaves no trace.
    if (owner && !owner->findChildren<TAMHotKeys*>(Qt::FindDirectChildrenOnly).isEmpty())
        throw EHotKeysError("No more than one HotKeys component on a form");
    auto* w = qobject_cast<QWidget*>(owner);
    if (!w || !w->isWindow()) throw EHotKeysError("The owner of HotKeys must be a form");
    return owner;
}

TAMHotKeys::TAMHotKeys(QObject* owner, vek::hotkeys::GlobalKeys* keys)
    : QObject(checkedOwner(owner)),
      m_owner(static_cast<QWidget*>(owner)),
      m_keys(keys ? keys : &vek::hotkeys::systemKeys()),
      m_hotKeys(std::make_unique<THotKeys>(this)) {
    setObjectName(QStringLiteral("MHotKeys"));
    // Hot-key messages reach the form; the component sees them first and
    // lets every message go on to the form.
    owner->installEventFilter(this);
}

TAMHotKeys::~TAMHotKeys() {
    // The keys belong to the form's session, not to the form: left
    // registered they would stay taken after the component is gone.
    for (int i = 0; i < m_hotKeys->Count(); ++i) {
        THotKeyItem* item = m_hotKeys->Items(i);
        if (item->m_registered && m_owner) item->m_registered = !m_keys->unregisterKey(m_owner, item->m_id);
    }
    if (m_owner) m_owner->removeEventFilter(this);
}

void TAMHotKeys::Loaded() {
    m_loading = false;
    for (int i = 0; i < m_hotKeys->Count(); ++i) {
        THotKeyItem* item = m_hotKeys->Items(i);
        if (item->m_enabled && !item->m_registered) item->registerNow();
    }
}

bool TAMHotKeys::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_owner && event->type() == vek::hotkeys::HotKeyEvent::eventType())
        dispatch(static_cast<vek::hotkeys::HotKeyEvent*>(event)->id() & 0xffff);
    return false;
}

void TAMHotKeys::dispatch(int id) {
    THotKeyItem* item = m_hotKeys->FindItemID(id);
    if (!item) return;
    const auto index = static_cast<quint16>(item->Index());
    QPointer<TAMHotKeys> self(this);
    if (item->OnHotKey) item->OnHotKey(this);
    // A handler may have replaced the component (the stay-on-top switch does).
    if (self && OnHotKeys) OnHotKeys(this, index);
}
