// The hot-key component against a fake session register: the key table, the
// construction errors, when items register and unregister, and how a
// pressed key reaches the item's and the component's handlers.
// SPDX-License-Identifier: GPL-3.0-or-later
#include "vek/recwidgets/hotkeys.hpp"

#include "vek/platform/fakekeys.hpp"
#include "x11keys.hpp"

#include <gtest/gtest.h>

#include <QApplication>
#include <QWidget>

#include <set>
#include <string>

using vek::hotkeys::FakeGlobalKeys;

namespace {

std::string constructionError(QObject* owner, FakeGlobalKeys& keys) {
    try {
        TAMHotKeys hk(owner, &keys);
    } catch (const EHotKeysError& e) {
        return e.what();
    }
    return {};
}

// The four keys of the recorder's window: Ctrl+Shift+F2 to F5.
void registerFour(TAMHotKeys& hk) {
    for (int i = 0; i < 4; ++i) {
        THotKeyItem* item = hk.HotKeys()->Add();
        item->setVirtKey(static_cast<TVirtKey>(static_cast<int>(TVirtKey::vkF2) + i));
        item->setModifiers(modShift | modControl);
        item->setEnabled(true);
    }
}

// A form that counts the hot-key messages it still receives itself.
struct CountingForm : QWidget {
    int hotKeyMessages = 0;
    bool event(QEvent* e) override {
        if (e->type() == vek::hotkeys::HotKeyEvent::eventType()) ++hotKeyMessages;
        return QWidget::event(e);
    }
};

}  // namespace

TEST(VirtKeyTable, HoldsTheVirtualKeyCodesInOrder) {
    EXPECT_EQ(kVirtKeyCodes.size(), 103u);
    EXPECT_EQ(static_cast<std::size_t>(TVirtKey::vkApps) + 1, kVirtKeyCount);
    const std::pair<TVirtKey, int> samples[] = {
        {TVirtKey::vkNone, 0x00},    {TVirtKey::vkCancel, 0x03},  {TVirtKey::vkBack, 0x08},
        {TVirtKey::vkReturn, 0x0D},  {TVirtKey::vkCapital, 0x14}, {TVirtKey::vkSpace, 0x20},
        {TVirtKey::vkDown, 0x28},    {TVirtKey::vkSelect, 0x29},  {TVirtKey::vkExecute, 0x2B},
        {TVirtKey::vkHelp, 0x2F},    {TVirtKey::vk0, 0x30},       {TVirtKey::vk9, 0x39},
        {TVirtKey::vkA, 0x41},       {TVirtKey::vkZ, 0x5A},       {TVirtKey::vkNumpad0, 0x60},
        {TVirtKey::vkNumpad9, 0x69}, {TVirtKey::vkMultiply, 0x6A}, {TVirtKey::vkDivide, 0x6F},
        {TVirtKey::vkF1, 0x70},      {TVirtKey::vkF2, 0x71},      {TVirtKey::vkF5, 0x74},
        {TVirtKey::vkF24, 0x87},     {TVirtKey::vkNumlock, 0x90}, {TVirtKey::vkScroll, 0x91},
        {TVirtKey::vkApps, 0x5D},
    };
    for (auto [k, code] : samples) EXPECT_EQ(virtualKeyCode(k), code) << static_cast<int>(k);
    // No code twice, and every key but vkNone is one the X11 register can grab.
    std::set<int> seen;
    for (std::size_t i = 0; i < kVirtKeyCount; ++i) {
        EXPECT_TRUE(seen.insert(kVirtKeyCodes[i]).second) << i;
        if (i) { EXPECT_NE(vek::hotkeys::keysymForVirtualKey(kVirtKeyCodes[i]), 0u) << i; }
    }
    EXPECT_EQ(virtualKeyCode(static_cast<TVirtKey>(200)), 0);
}

TEST(VirtKeyTable, ModifiersMapToTheHotKeyBits) {
    EXPECT_EQ(hotKeyModifiers(modShift | modControl), 6u);
    EXPECT_EQ(hotKeyModifiers(modAlt), 1u);
    EXPECT_EQ(hotKeyModifiers(modWin), 8u);
    EXPECT_EQ(hotKeyModifiers(modShift | modControl | modAlt | modWin), 15u);
    EXPECT_EQ(hotKeyModifiers({}), 0u);
}

TEST(HotKeysConstruction, OwnerMustBeAFormWithoutAnotherComponent) {
    FakeGlobalKeys keys;
    const std::string notForm = "The owner of HotKeys must be a form";
    EXPECT_EQ(constructionError(nullptr, keys), notForm);
    QObject plain;
    EXPECT_EQ(constructionError(&plain, keys), notForm);
    QWidget form;
    auto* child = new QWidget(&form);
    EXPECT_EQ(constructionError(child, keys), notForm);
    EXPECT_TRUE(child->findChildren<TAMHotKeys*>().isEmpty());

    auto* first = new TAMHotKeys(&form, &keys);
    EXPECT_EQ(first->SaveLoadFrom(), slRegister);
    EXPECT_EQ(first->ownerForm(), &form);
    registerFour(*first);
    EXPECT_EQ(constructionError(&form, keys), "No more than one HotKeys component on a form");
    // The refused second one left the first alone.
    EXPECT_EQ(form.findChildren<TAMHotKeys*>().size(), 1);
    EXPECT_TRUE(keys.press(vek::hotkeys::kModControl | vek::hotkeys::kModShift, 0x71));
    int got = -1;
    first->OnHotKeys = [&](QObject*, quint16 i) { got = i; };
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(got, 0);
    delete first;
    EXPECT_EQ(constructionError(&form, keys), "");
}

TEST(HotKeyItems, RegisterWhenEnabledWithTheKeyOfThatMoment) {
    FakeGlobalKeys keys;
    QWidget form;
    TAMHotKeys hk(&form, &keys);
    THotKeyItem* none = hk.HotKeys()->Add();
    THotKeyItem* f2 = hk.HotKeys()->Add();
    EXPECT_EQ(none->ID(), 0);
    EXPECT_EQ(f2->ID(), 1);
    EXPECT_EQ(f2->Index(), 1);

    none->setEnabled(true);  // no key: nothing to register
    EXPECT_TRUE(none->Enabled());
    EXPECT_FALSE(none->Registered());
    EXPECT_TRUE(keys.calls().empty());

    f2->setVirtKey(TVirtKey::vkF2);
    f2->setModifiers(modShift | modControl);
    EXPECT_TRUE(keys.calls().empty());  // not enabled yet
    f2->setEnabled(true);
    ASSERT_EQ(keys.calls().size(), 1u);
    const auto& c = keys.calls()[0];
    EXPECT_TRUE(c.isRegister);
    EXPECT_EQ(c.window, &form);
    EXPECT_EQ(c.id, 1);
    EXPECT_EQ(c.modifiers, 6u);
    EXPECT_EQ(c.virtualKey, 0x71u);
    EXPECT_TRUE(f2->Registered());

    // A key changed while enabled is not registered anew; enabling again
    // (same value) does nothing either.
    f2->setVirtKey(TVirtKey::vkF9);
    f2->setEnabled(true);
    EXPECT_EQ(keys.calls().size(), 1u);
    EXPECT_TRUE(keys.isRegistered(6, 0x71));

    f2->setEnabled(false);
    ASSERT_EQ(keys.calls().size(), 2u);
    EXPECT_FALSE(keys.calls()[1].isRegister);
    EXPECT_EQ(keys.calls()[1].id, 1);
    EXPECT_FALSE(f2->Registered());
    f2->setEnabled(false);
    EXPECT_EQ(keys.calls().size(), 2u);
    none->setEnabled(false);  // never registered: nothing to give back
    EXPECT_EQ(keys.calls().size(), 2u);

    // Enabled again it registers the key it holds now.
    f2->setEnabled(true);
    EXPECT_TRUE(keys.isRegistered(6, 0x78));
    EXPECT_FALSE(keys.isRegistered(6, 0x71));
}

TEST(HotKeyItems, RefusedAndStuckKeys) {
    FakeGlobalKeys keys;
    keys.takeByOtherProgram(6, 0x72);  // Ctrl+Shift+F3 belongs to another program
    QWidget form;
    TAMHotKeys hk(&form, &keys);
    registerFour(hk);
    THotKeys* items = hk.HotKeys();
    EXPECT_TRUE(items->Items(0)->Registered());
    EXPECT_FALSE(items->Items(1)->Registered());
    EXPECT_TRUE(items->Items(1)->Enabled());
    EXPECT_TRUE(items->Items(2)->Registered());
    EXPECT_TRUE(items->Items(3)->Registered());

    // The refused one is not unregistered; a failed unregister keeps the flag.
    keys.clearCalls();
    items->Items(1)->setEnabled(false);
    EXPECT_TRUE(keys.calls().empty());
    keys.setFailUnregister(true);
    items->Items(2)->setEnabled(false);
    EXPECT_TRUE(items->Items(2)->Registered());
    keys.setFailUnregister(false);
    // Enabling clears the flag first; the key is still held, so the new
    // request is refused and the flag says so.
    items->Items(2)->setEnabled(true);
    EXPECT_FALSE(items->Items(2)->Registered());
}

TEST(HotKeyItems, LoadingRegistersOnlyAtTheEnd) {
    FakeGlobalKeys keys;
    QWidget form;
    TAMHotKeys hk(&form, &keys);
    hk.beginLoading();
    registerFour(hk);
    hk.HotKeys()->Items(3)->setEnabled(false);
    EXPECT_TRUE(keys.calls().empty());
    hk.Loaded();
    EXPECT_EQ(keys.registrations().size(), 3u);
    EXPECT_TRUE(hk.HotKeys()->Items(0)->Registered());
    EXPECT_FALSE(hk.HotKeys()->Items(3)->Registered());
}

TEST(HotKeyMessages, ReachTheItemThenTheComponentThenTheForm) {
    FakeGlobalKeys keys;
    CountingForm form;
    TAMHotKeys hk(&form, &keys);
    registerFour(hk);
    std::vector<std::string> log;
    hk.HotKeys()->Items(2)->OnHotKey = [&](QObject* s) { log.push_back(s == &hk ? "item2" : "item2-wrong-sender"); };
    hk.OnHotKeys = [&](QObject* s, quint16 i) { log.push_back((s == &hk ? "all" : "wrong") + std::to_string(i)); };

    EXPECT_TRUE(keys.press(6, 0x73));  // F4: item 2
    EXPECT_TRUE(keys.press(6, 0x71));  // F2: item 0, no handler of its own
    EXPECT_FALSE(keys.press(6, 0x75)); // F6: nobody's
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(log, (std::vector<std::string>{"item2", "all2", "all0"}));
    EXPECT_EQ(form.hotKeyMessages, 2);

    // The id is the low 16 bits of the message; unknown ids reach only the form.
    log.clear();
    FakeGlobalKeys::postTo(&form, 0x10000 + 3);
    FakeGlobalKeys::postTo(&form, 77);
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(log, (std::vector<std::string>{"all3"}));
    EXPECT_EQ(form.hotKeyMessages, 4);
}

TEST(HotKeyMessages, IndexIsThePlaceInTheCollectionNotTheId) {
    FakeGlobalKeys keys;
    QWidget form;
    TAMHotKeys hk(&form, &keys);
    registerFour(hk);
    int index = -1;
    hk.OnHotKeys = [&](QObject*, quint16 i) { index = i; };
    FakeGlobalKeys::postTo(&form, hk.HotKeys()->Items(3)->ID());
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(index, 3);
    EXPECT_EQ(hk.HotKeys()->FindItemID(3), hk.HotKeys()->Items(3));
    EXPECT_EQ(hk.HotKeys()->FindItemID(4), nullptr);
}

TEST(HotKeyLifetime, RecreatingTheComponentKeepsTheKeysWorking) {
    FakeGlobalKeys keys;
    QWidget form;
    auto* hk = new TAMHotKeys(&form, &keys);
    hk->setSaveLoadFrom(slIniFile);
    registerFour(*hk);
    int pressed = -1;
    // What the stay-on-top switch does: disable, destroy, change the window, build anew.
    for (int i = 0; i < 4; ++i) hk->HotKeys()->Items(i)->setEnabled(false);
    EXPECT_TRUE(keys.registrations().empty());
    delete hk;
    form.setWindowFlags(form.windowFlags() | Qt::WindowStaysOnTopHint);
    hk = new TAMHotKeys(&form, &keys);
    registerFour(*hk);
    hk->OnHotKeys = [&](QObject*, quint16 i) { pressed = i; };
    EXPECT_EQ(keys.registrations().size(), 4u);
    EXPECT_TRUE(keys.press(6, 0x74));
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(pressed, 3);

    // Destroyed with its keys still registered, it gives them back and
    // hears no more messages.
    delete hk;
    EXPECT_TRUE(keys.registrations().empty());
    pressed = -1;
    FakeGlobalKeys::postTo(&form, 0);
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(pressed, -1);
}

TEST(HotKeyLifetime, AHandlerMayReplaceTheComponent) {
    FakeGlobalKeys keys;
    QWidget form;
    auto* hk = new TAMHotKeys(&form, &keys);
    registerFour(*hk);
    bool componentHandlerRan = false;
    hk->HotKeys()->Items(0)->OnHotKey = [&](QObject* s) { delete s; };
    hk->OnHotKeys = [&](QObject*, quint16) { componentHandlerRan = true; };
    keys.press(6, 0x71);
    QCoreApplication::sendPostedEvents();
    EXPECT_FALSE(componentHandlerRan);
    EXPECT_TRUE(form.findChildren<TAMHotKeys*>().isEmpty());
    EXPECT_TRUE(keys.registrations().empty());
}
