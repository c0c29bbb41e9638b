// A small window with the recorder's four hot keys (Ctrl+Shift+F2 to F5),
// for the tests on a real X display. It reports on standard output:
//   "registered I 1|0"  after each item is enabled,
//   "hotkey I"          when the key of item I is pressed,
// and reads commands on standard input:
//   "recreate"  does what the stay-on-top switch does: keys off, component
//               destroyed, stay-on-top flag toggled (a new native window),
//               a new component with the four keys;
//   "quit".
// Usage: vek_hotkeys_peer TITLE
// SPDX-License-Identifier: GPL-3.0-or-later
#include "vek/recwidgets/hotkeys.hpp"

#include <QApplication>
#include <QSocketNotifier>
#include <QWidget>

#include <cstdio>
#include <unistd.h>

namespace {

TAMHotKeys* makeKeys(QWidget* form) {
    auto* hk = new TAMHotKeys(form);
    hk->setSaveLoadFrom(slIniFile);
    hk->OnHotKeys = [](QObject*, quint16 i) {
        std::printf("hotkey %u\n", unsigned(i));
        std::fflush(stdout);
    };
    for (int i = 0; i < 4; ++i) {
        THotKeyItem* item = hk->HotKeys()->Add();
        item->setVirtKey(static_cast<TVirtKey>(static_cast<int>(TVirtKey::vkF2) + i));
        item->setModifiers(modShift | modControl);
        item->setEnabled(true);
        std::printf("registered %d %d\n", i, item->Registered() ? 1 : 0);
    }
    std::fflush(stdout);
    return hk;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget form;
    form.setWindowTitle(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("hotkeys peer"));
    form.resize(240, 120);
    form.show();
    TAMHotKeys* hk = makeKeys(&form);

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &app, [&] {
        char line[64] = {};
        const ssize_t n = ::read(STDIN_FILENO, line, sizeof line - 1);
        const QByteArray cmd = QByteArray(line, n > 0 ? int(n) : 0).trimmed();
        if (n <= 0 || cmd == "quit") {
            input.setEnabled(false);
            app.quit();
        } else if (cmd == "recreate") {
            for (int i = 0; i < hk->HotKeys()->Count(); ++i) hk->HotKeys()->Items(i)->setEnabled(false);
            delete hk;
            form.setWindowFlags(form.windowFlags() ^ Qt::WindowStaysOnTopHint);
            form.show();
            hk = makeKeys(&form);
            std::printf("recreated %d\n", form.windowFlags().testFlag(Qt::WindowStaysOnTopHint) ? 1 : 0);
            std::fflush(stdout);
        }
    });
    return app.exec();
}
