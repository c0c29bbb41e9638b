// SPDX-License-Identifier: GPL-3.0-or-later
#include "vek/recoptions/launcher.hpp"

#include <QDesktopServices>
#include <QProcess>
#include <QStandardPaths>

namespace vekvmail {

QString TSystemLauncher::findProgram(const QString& name) const { return QStandardPaths::findExecutable(name); }

bool TSystemLauncher::startProgram(const QString& program, const QStringList& arguments) {
    return QProcess::startDetached(program, arguments);
}

bool TSystemLauncher::openUrl(const QUrl& url) { return QDesktopServices::openUrl(url); }

QStringList TSystemLauncher::currentDesktops() const {
    return QString::fromLocal8Bit(qgetenv("XDG_CURRENT_DESKTOP")).split(QLatin1Char(':'), Qt::SkipEmptyParts);
}

namespace {
TLauncher* g_launcher = nullptr;
}

TLauncher& systemLauncher() {
    static TSystemLauncher real;
    return g_launcher ? *g_launcher : real;
}

void setSystemLauncher(TLauncher* l) { g_launcher = l; }

}  // namespace vekvmail
