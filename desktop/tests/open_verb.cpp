// Runs the manager's Open verb on the files named on the command line, with
// the platform the environment names (a desktop session under a virtual
// display in the tests), and exits 0 when the verb reported success.
// SPDX-License-Identifier: GPL-3.0-or-later
#include "vek/platform/shellverbs.hpp"

#include <QApplication>
#include <QStringList>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QStringList files = app.arguments().mid(1);
    if (files.isEmpty()) return 2;
    return vek::shell::invokeVerb(QStringLiteral("open"), files, nullptr) ? 0 : 1;
}
