// A second program for the window-registry tests: registers one window under
// the class and title given on the command line ("min" as third argument
// starts it minimised), prints READY and serves requests until it receives
// message 16 (close) or its standard input closes. Message 12 sets the title
// to the data sent; any other message is echoed to standard output.
// SPDX-License-Identifier: GPL-3.0-or-later
#include "vek/platform/winreg.hpp"

#include <QApplication>
#include <QSocketNotifier>
#include <QWidget>

#include <cstdio>
#include <unistd.h>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 3) return 2;
    QWidget w;
    w.setWindowTitle(QString::fromUtf8(argv[2]));
    w.resize(200, 100);
    if (argc > 3 && QByteArray(argv[3]) == "min")
        w.showMinimized();
    else
        w.show();
    auto& reg = vek::winreg::WindowRegistry::instance();
    reg.setMessageHandler([&](QWidget* target, quint32 msg, const QByteArray& data) -> qint64 {
        if (msg == 16) {
            QMetaObject::invokeMethod(&app, &QCoreApplication::quit, Qt::QueuedConnection);
            return 1;
        }
        if (msg == 12) {
            target->setWindowTitle(QString::fromUtf8(data));
            return 1;
        }
        std::printf("MSG %u %s\n", msg, data.constData());
        std::fflush(stdout);
        return data.size();
    });
    if (!reg.registerWindow(&w, QString::fromUtf8(argv[1]))) return 3;
    QSocketNotifier stdinWatch(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&stdinWatch, &QSocketNotifier::activated, &app, [&] {
        char c;
        if (::read(STDIN_FILENO, &c, 1) <= 0) app.quit();
    });
    std::printf("READY\n");
    std::fflush(stdout);
    return app.exec();
}
