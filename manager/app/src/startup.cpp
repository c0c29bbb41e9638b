// SPDX-License-Identifier: GPL-3.0-or-later
#include "startup.hpp"

#include "vek/platform/winreg.hpp"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QWidget>

namespace vekshell {

namespace {
QString g_title = kAppTitle;
}

QString applicationTitle() { return g_title; }
void setApplicationTitle(const QString& t) { g_title = t; }

QString programDir() {
    QString d = QCoreApplication::applicationDirPath();
    if (!d.endsWith('/')) d += '/';
    return d;
}

QString settingsFilePath() {
    const QString beside = programDir() + QStringLiteral("VekShell.ini");
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                        QStringLiteral("/voice-lumo");
    const QString user = dir + QStringLiteral("/VekShell.ini");
    const QFileInfo fi(beside);
    if (fi.isFile()) {
        // A portable install keeps its settings beside the program, as long as
        // they can be written back there.
        if (fi.isWritable() && QFileInfo(programDir()).isWritable()) return beside;
        // A read-only program folder: its settings are the starting point of
        // the user's own copy.
        QDir().mkpath(dir);
        if (!QFileInfo::exists(user)) QFile::copy(beside, user);
        return user;
    }
    QDir().mkpath(dir);
    return user;
}

bool forceForeground(QWidget* w) {
    if (!w || !w->isVisible()) return false;
    // There is no foreground lock to lift here: the window system decides,
    // and raising plus activating is the strongest request a program makes.
    w->raise();
    w->activateWindow();
    return true;
}

bool activatePreviousInstance() {
    using namespace vek::winreg;
    // Our own window must not match while we look.
    setApplicationTitle(kAppTitle + ' ');
    bool found = false;
    if (auto w = findWindow(QStringLiteral("TApplication"), kAppTitle)) {
        found = true;
        if (isIconic(*w).value_or(false))
            showWindow(*w, ShowCommand::Normal);
        else
            setForegroundWindow(*w);
    }
    setApplicationTitle(kAppTitle);
    return found;
}

void registerMainWindow(QWidget* w) {
    auto& reg = vek::winreg::WindowRegistry::instance();
    reg.registerWindow(w, QStringLiteral("TApplication"), [] { return applicationTitle(); });
    // WM_CLOSE from another program closes the window the normal way (the
    // settings are written on the way out).
    reg.setMessageHandler([](QWidget* target, quint32 msg, const QByteArray&) -> qint64 {
        if (msg != 0x0010) return 0;
        QMetaObject::invokeMethod(target, &QWidget::close, Qt::QueuedConnection);
        return 1;
    });
}

}  // namespace vekshell
