// SPDX-License-Identifier: GPL-3.0-or-later
#include "harness.hpp"

#include <gtest/gtest.h>

#include <QGuiApplication>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    QGuiApplication app(argc, argv);
    // Windows of the programs started here register in the session's
    // runtime folder; look there.
    vek::winreg::WindowRegistry::setDirectory(vek::desktoptest::sessionDir("run") + "/voice-lumo-windows");
    return RUN_ALL_TESTS();
}
