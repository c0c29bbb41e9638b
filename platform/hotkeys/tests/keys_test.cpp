// The session registers of global keys without a display: the key names of
// the X11 register, the refusing register of displays without global keys,
// and the fake the component tests lean on.
// SPDX-License-Identifier: GPL-3.0-or-later
#include "vek/platform/fakekeys.hpp"
#include "x11keys.hpp"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QGuiApplication>

#include <X11/keysym.h>

using namespace vek::hotkeys;

namespace {

struct Recorder : QObject {
    std::vector<int> ids;
    bool event(QEvent* e) override {
        if (e->type() == HotKeyEvent::eventType()) {
            ids.push_back(static_cast<HotKeyEvent*>(e)->id());
            return true;
        }
        return QObject::event(e);
    }
};

}  // namespace

TEST(X11KeyNames, VirtualKeysNameTheirKeysyms) {
    EXPECT_EQ(keysymForVirtualKey(0x71), std::uint32_t(XK_F2));
    EXPECT_EQ(keysymForVirtualKey(0x87), std::uint32_t(XK_F24));
    EXPECT_EQ(keysymForVirtualKey(0x41), std::uint32_t(XK_a));
    EXPECT_EQ(keysymForVirtualKey(0x5A), std::uint32_t(XK_z));
    EXPECT_EQ(keysymForVirtualKey(0x39), std::uint32_t(XK_9));
    EXPECT_EQ(keysymForVirtualKey(0x60), std::uint32_t(XK_KP_0));
    EXPECT_EQ(keysymForVirtualKey(0x6F), std::uint32_t(XK_KP_Divide));
    EXPECT_EQ(keysymForVirtualKey(0x21), std::uint32_t(XK_Prior));
    EXPECT_EQ(keysymForVirtualKey(0x2C), std::uint32_t(XK_Print));
    EXPECT_EQ(keysymForVirtualKey(0x5D), std::uint32_t(XK_Menu));
    EXPECT_EQ(keysymForVirtualKey(0x91), std::uint32_t(XK_Scroll_Lock));
    // No key: none, the mouse buttons, the gap between Help and '0'.
    for (unsigned vk : {0x00u, 0x01u, 0x02u, 0x07u, 0x3Au, 0x40u, 0x88u, 0xFFu}) EXPECT_EQ(keysymForVirtualKey(vk), 0u) << vk;
}

TEST(SessionKeys, DisplaysWithoutGlobalKeysRefuseEveryKey) {
    QObject window;
    for (const char* platform : {"wayland", "offscreen", "minimal"}) {
        auto keys = createKeysFor(QString::fromLatin1(platform));
        ASSERT_TRUE(keys);
        EXPECT_FALSE(keys->registerKey(&window, 0, kModControl | kModShift, 0x71)) << platform;
        EXPECT_FALSE(keys->unregisterKey(&window, 0)) << platform;
    }
    // The offscreen test application itself has none either.
    EXPECT_FALSE(systemKeys().registerKey(&window, 1, kModShift, 0x72));
}

TEST(SessionKeys, AnInstalledRegisterStandsInForTheSession) {
    FakeGlobalKeys fake;
    setSystemKeys(&fake);
    QObject window;
    EXPECT_TRUE(systemKeys().registerKey(&window, 4, kModAlt, 0x41));
    setSystemKeys(nullptr);
    EXPECT_TRUE(fake.isRegistered(kModAlt, 0x41));
    EXPECT_FALSE(systemKeys().registerKey(&window, 5, kModAlt, 0x42));
}

TEST(FakeKeys, RefusesWhatTheSessionWouldAndPostsPresses) {
    FakeGlobalKeys keys;
    Recorder a, b;
    keys.takeByOtherProgram(kModControl, 0x72);
    EXPECT_TRUE(keys.registerKey(&a, 7, kModControl | kModShift, 0x71));
    EXPECT_FALSE(keys.registerKey(&b, 1, kModControl | kModShift, 0x71));  // one owner per combination
    EXPECT_FALSE(keys.registerKey(&a, 7, kModShift, 0x73));                // id in use
    EXPECT_FALSE(keys.registerKey(&a, 8, kModControl, 0x72));              // another program's
    EXPECT_FALSE(keys.registerKey(&a, 9, kModControl, 0));                 // no key
    EXPECT_TRUE(keys.press(kModControl | kModShift, 0x71));
    EXPECT_FALSE(keys.press(kModShift, 0x71));
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(a.ids, std::vector<int>{7});
    EXPECT_TRUE(b.ids.empty());

    keys.setFailUnregister(true);
    EXPECT_FALSE(keys.unregisterKey(&a, 7));
    EXPECT_TRUE(keys.isRegistered(kModControl | kModShift, 0x71));
    keys.setFailUnregister(false);
    EXPECT_TRUE(keys.unregisterKey(&a, 7));
    EXPECT_FALSE(keys.unregisterKey(&a, 7));
    EXPECT_TRUE(keys.registerKey(&b, 1, kModControl | kModShift, 0x71));
}
