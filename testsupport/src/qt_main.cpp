// The one main() of the Qt tests: the sandboxed home first (Qt reads the
// XDG variables once), the offscreen platform unless VEK_TEST_QPA names
// another, then one QApplication for the whole GoogleTest run.
// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <QApplication>

#include "vek/testsupport/qt.hpp"

int main(int argc, char** argv) {
    vek::testsupport::sandboxHome();
    const QByteArray platform = qgetenv("VEK_TEST_QPA");
    qputenv("QT_QPA_PLATFORM", platform.isEmpty() ? QByteArray("offscreen") : platform);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
