// Renders the main window on a folder into a PNG file, without a display:
//   vekshell_screenshot FOLDER OUT.png [NAME...]
//   vekshell_screenshot --about OUT.png
// The named items are selected (the status bar then describes them);
// --about renders the about box instead.
// SPDX-License-Identifier: GPL-3.0-or-later
#include "aboutbox.hpp"
#include "mainform.hpp"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir cfg;  // not the user's settings
    qputenv("XDG_CONFIG_HOME", cfg.path().toUtf8());
    QApplication app(argc, argv);
    if (QByteArray(argv[1]) == "--about") {
        vekshell::TAboutBox box;
        box.show();
        QTest::qWait(50);
        return box.grab().save(QString::fromLocal8Bit(argv[2])) ? 0 : 1;
    }
    vekshell::TMainForm form;
    form.show();
    form.activateWindow();
    QApplication::processEvents();
    form.goTo(QString::fromLocal8Bit(argv[1]));
    form.ShellListView->focusList();
    for (int a = 3; a < argc; ++a) {
        const int i = form.ShellListView->allNames().indexOf(QString::fromLocal8Bit(argv[a]));
        if (i >= 0) form.ShellListView->setSelected(i, true);
    }
    for (int i = 0; i < 3; ++i) form.GetStatistics();
    QTest::qWait(100);
    form.setSettingsPath(cfg.path() + "/VekShell.ini");
    const bool ok = form.grab().save(QString::fromLocal8Bit(argv[2]));
    return ok ? 0 : 1;
}
