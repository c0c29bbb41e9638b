// One window under two classes: a program's application entry and its main
// window are the same top-level window here.
// SPDX-License-Identifier: GPL-3.0-or-later
#include "vek/platform/winreg.hpp"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>
#include <QWidget>

#include <memory>

using namespace vek::winreg;

TEST(WindowRegistryClasses, OneWindowStandsUnderTwoClassesWithTheirOwnTitles) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    WindowRegistry::setDirectory(dir.path() + "/voice-lumo-windows");
    auto w = std::make_unique<QWidget>();
    w->setWindowTitle("main caption");
    auto& reg = WindowRegistry::instance();
    ASSERT_TRUE(reg.registerWindow(w.get(), "TApp", [] { return QString("app title"); }));
    ASSERT_TRUE(reg.registerWindow(w.get(), "TMain"));
    ASSERT_TRUE(findWindow("TApp", "app title").has_value());
    ASSERT_TRUE(findWindow("TMain", "main caption").has_value());
    EXPECT_EQ(allWindows().size(), 2u);
    // Registering a class again replaces its entry instead of adding one.
    ASSERT_TRUE(reg.registerWindow(w.get(), "TApp", [] { return QString("new title"); }));
    EXPECT_EQ(allWindows().size(), 2u);
    EXPECT_FALSE(findWindow("TApp", "app title").has_value());
    EXPECT_TRUE(findWindow("TApp", "new title").has_value());
    // Both go with the window.
    w.reset();
    EXPECT_TRUE(allWindows().empty());
}

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
