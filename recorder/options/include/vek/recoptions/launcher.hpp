// How the recorder starts outside programs: the desktop's browser for pages
// and links, and the desktop's mixer. Behind this small interface so that
// tests can see what would be started without starting it.
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

namespace vekvmail {

class TLauncher {
public:
    virtual ~TLauncher() = default;
    // The full path of an installed program found on PATH, or empty.
    virtual QString findProgram(const QString& name) const = 0;
    // Starts a program on its own (not waited for); true when it started.
    virtual bool startProgram(const QString& program, const QStringList& arguments) = 0;
    // Opens a page, file or address with the desktop's handler.
    virtual bool openUrl(const QUrl& url) = 0;
    // The running desktop's names, as XDG_CURRENT_DESKTOP lists them
    // ("GNOME", "KDE", "XFCE", ...).
    virtual QStringList currentDesktops() const = 0;
};

// The real one: PATH, QProcess::startDetached, QDesktopServices.
class TSystemLauncher : public TLauncher {
public:
    QString findProgram(const QString& name) const override;
    bool startProgram(const QString& program, const QStringList& arguments) override;
    bool openUrl(const QUrl& url) override;
    QStringList currentDesktops() const override;
};

// The process-wide launcher (a TSystemLauncher unless one is installed).
TLauncher& systemLauncher();
// Installs `l` (not owned) instead of the real one; nullptr puts it back.
void setSystemLauncher(TLauncher* l);

}  // namespace vekvmail
