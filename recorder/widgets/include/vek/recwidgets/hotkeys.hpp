// TAMHotKeys: a form's global hot keys. The component holds a collection of
// items, each a key with modifiers; an enabled item is registered with the
// session under its collection ID and, when pressed anywhere on the desktop,
// reports to its own OnHotKey and to the component's OnHotKeys with its index.
//
// Key and modifiers are read when an item is enabled, so they are set first.
// A key the session refuses (another program holds it, or the session has no
// global keys) simply stays unregistered; the other items still work.
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFlags>
#include <QObject>
#include <QPointer>
#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <vector>

class QWidget;

namespace vek::hotkeys {
class GlobalKeys;
}

enum TModifier { modShift = 0x1, modControl = 0x2, modAlt = 0x4, modWin = 0x8 };
Q_DECLARE_FLAGS(TModifiers, TModifier)
Q_DECLARE_OPERATORS_FOR_FLAGS(TModifiers)

// The keys an item can hold, in the order of their table.
enum class TVirtKey : std::uint8_t {
    vkNone, vkCancel, vkBack, vkTab, vkClear, vkReturn, vkPause, vkCapital, vkEscape, vkSpace,
    vkPrior, vkNext, vkEnd, vkHome, vkLeft, vkUp, vkRight, vkDown, vkSelect, vkExecute,
    vkSnapshot, vkInsert, vkDelete, vkHelp,
    vk0, vk1, vk2, vk3, vk4, vk5, vk6, vk7, vk8, vk9,
    vkA, vkB, vkC, vkD, vkE, vkF, vkG, vkH, vkI, vkJ, vkK, vkL, vkM,
    vkN, vkO, vkP, vkQ, vkR, vkS, vkT, vkU, vkV, vkW, vkX, vkY, vkZ,
    vkNumpad0, vkNumpad1, vkNumpad2, vkNumpad3, vkNumpad4,
    vkNumpad5, vkNumpad6, vkNumpad7, vkNumpad8, vkNumpad9,
    vkMultiply, vkAdd, vkSeparator, vkSubtract, vkDecimal, vkDivide,
    vkF1, vkF2, vkF3, vkF4, vkF5, vkF6, vkF7, vkF8, vkF9, vkF10, vkF11, vkF12,
    vkF13, vkF14, vkF15, vkF16, vkF17, vkF18, vkF19, vkF20, vkF21, vkF22, vkF23, vkF24,
    vkNumlock, vkScroll, vkApps,
};
inline constexpr std::size_t kVirtKeyCount = 103;
// The virtual-key code of each TVirtKey, by its ordinal.
extern const std::array<std::uint8_t, kVirtKeyCount> kVirtKeyCodes;
std::uint8_t virtualKeyCode(TVirtKey k);
// MOD_ALT 1, MOD_CONTROL 2, MOD_SHIFT 4, MOD_WIN 8.
unsigned hotKeyModifiers(TModifiers m);

// Where the keys would be kept. Stored only; nothing is loaded or saved.
enum TSaveLoad { slIniFile, slRegister };

// The two programming errors of the constructor.
class EHotKeysError : public std::logic_error {
public:
    using std::logic_error::logic_error;
};

class TAMHotKeys;
class THotKeys;

class THotKeyItem {
public:
    bool Enabled() const { return m_enabled; }
    void setEnabled(bool value);
    TModifiers Modifiers() const { return m_modifiers; }
    void setModifiers(TModifiers m) { m_modifiers = m; }
    TVirtKey VirtKey() const { return m_virtKey; }
    void setVirtKey(TVirtKey k) { m_virtKey = k; }
    // True while the key is registered with the session.
    bool Registered() const { return m_registered; }
    // The collection ID, which is also the key's id with the session.
    int ID() const { return m_id; }
    int Index() const;

    // Sender: the component.
    std::function<void(QObject* sender)> OnHotKey;

private:
    friend class THotKeys;
    friend class TAMHotKeys;
    THotKeyItem(THotKeys* owner, int id) : m_collection(owner), m_id(id) {}
    void registerNow();

    THotKeys* m_collection;
    int m_id;
    bool m_enabled = false;
    bool m_registered = false;
    TModifiers m_modifiers;
    TVirtKey m_virtKey = TVirtKey::vkNone;
};

class THotKeys {
public:
    explicit THotKeys(TAMHotKeys* component) : m_component(component) {}
    THotKeyItem* Add();
    int Count() const { return static_cast<int>(m_items.size()); }
    THotKeyItem* Items(int index) const { return m_items.at(static_cast<std::size_t>(index)).get(); }
    // The item of that ID, or null.
    THotKeyItem* FindItemID(int id) const;
    TAMHotKeys* component() const { return m_component; }

private:
    friend class THotKeyItem;
    TAMHotKeys* m_component;
    std::vector<std::unique_ptr<THotKeyItem>> m_items;
    int m_nextId = 0;
};

class TAMHotKeys : public QObject {
    Q_OBJECT
public:
    // `owner` must be a form (a top-level widget) without a TAMHotKeys of
    // its own, else EHotKeysError. `keys`: the session's register to use;
    // null for the real one.
    explicit TAMHotKeys(QObject* owner, vek::hotkeys::GlobalKeys* keys = nullptr);
    // Gives every registered key back.
    ~TAMHotKeys() override;

    THotKeys* HotKeys() { return m_hotKeys.get(); }
    QString IniFileName() const { return m_iniFileName; }
    void setIniFileName(const QString& s) { m_iniFileName = s; }
    TSaveLoad SaveLoadFrom() const { return m_saveLoadFrom; }
    void setSaveLoadFrom(TSaveLoad s) { m_saveLoadFrom = s; }
    QWidget* ownerForm() const { return m_owner; }

    // Sender: the component; the index of the pressed item in the collection.
    std::function<void(QObject* sender, quint16 hotKeyIndex)> OnHotKeys;

    // Building from a stored description: between the two calls enabling an
    // item only marks it; Loaded registers every enabled item.
    void beginLoading() { m_loading = true; }
    void Loaded();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class THotKeyItem;
    static QObject* checkedOwner(QObject* owner);
    void dispatch(int id);

    QPointer<QWidget> m_owner;
    vek::hotkeys::GlobalKeys* m_keys;
    std::unique_ptr<THotKeys> m_hotKeys;
    QString m_iniFileName;
    TSaveLoad m_saveLoadFrom = slRegister;
    bool m_loading = false;
};
