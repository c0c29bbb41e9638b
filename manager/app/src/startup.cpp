// SPDX-License-Identifier: GPL-3.0-or-later
#include "startup.hpp"

#include "vek/platform/winreg.hpp"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QStandardPaths>
#include <QThread>
#include <QWidget>

#include <memory>

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

QString instanceLockPath() {
    return vek::winreg::WindowRegistry::directory() + QStringLiteral("/VekShell.lock");
}

namespace {
// Held from the start until the program ends.
std::unique_ptr<QLockFile> g_instanceLock;
}  // namespace

bool activatePreviousInstance(int waitMs) {
    using namespace vek::winreg;
    // The lock file is the first guard: a running copy holds it even while it
    // is too busy to answer the window registry (a long conversion, the
    // desktop's pauses), and two copies started together cannot both get it.
    // It is stale only when its owner has ended (no age limit: a copy may run
    // for days).
    bool another = false;
    const QString lockPath = instanceLockPath();
    const QString dir = QFileInfo(lockPath).absolutePath();
    QDir().mkpath(dir);
    QFile::setPermissions(dir, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    auto lock = std::make_unique<QLockFile>(lockPath);
    lock->setStaleLockTime(0);
    if (lock->tryLock(0))
        g_instanceLock = std::move(lock);
    else
        // A lock that cannot be made at all (no writable folder) leaves the
        // registry alone to decide.
        another = lock->error() == QLockFile::LockFailedError;

    // The registry raises the other copy. Our own window must not match while
    // we look. A copy that holds the lock but is busy is asked again for a
    // while; whether or not it answers, this copy ends.
    setApplicationTitle(kAppTitle + ' ');
    bool found = false;
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        if (auto w = findWindow(QStringLiteral("TApplication"), kAppTitle)) {
            found = true;
            if (isIconic(*w).value_or(false))
                showWindow(*w, ShowCommand::Normal);
            else
                setForegroundWindow(*w);
            break;
        }
        if (!another || waited.elapsed() >= waitMs) break;
        QThread::msleep(200);
    }
    setApplicationTitle(kAppTitle);
    return found || another;
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
