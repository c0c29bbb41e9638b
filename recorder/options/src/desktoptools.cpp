// SPDX-License-Identifier: GPL-3.0-or-later
#include "vek/recoptions/desktoptools.hpp"

#include <QApplication>
#include <QDir>
#include <QFileInfo>

namespace vekvmail {

namespace {

struct Mixer {
    const char* desktop;   // XDG_CURRENT_DESKTOP name; null: any desktop
    const char* program;
    QStringList arguments;
};

// The desktops' own sound settings, each opened on its sound page.
const Mixer kDesktopMixers[] = {
    {"GNOME", "gnome-control-center", {QStringLiteral("sound")}},
    {"Unity", "gnome-control-center", {QStringLiteral("sound")}},
    {"Budgie", "gnome-control-center", {QStringLiteral("sound")}},
    {"KDE", "systemsettings", {QStringLiteral("kcm_pulseaudio")}},
    {"KDE", "kcmshell5", {QStringLiteral("kcm_pulseaudio")}},
    {"X-Cinnamon", "cinnamon-settings", {QStringLiteral("sound")}},
    {"MATE", "mate-volume-control", {}},
    {"LXQt", "pavucontrol-qt", {}},
    {"XFCE", "xfce4-mixer", {}},
};

// The hourglass for the life of the scope, on every way out.
class Hourglass {
public:
    Hourglass() {
        if (qApp) QApplication::setOverrideCursor(Qt::WaitCursor);
    }
    ~Hourglass() {
        if (qApp) QApplication::restoreOverrideCursor();
    }
    Hourglass(const Hourglass&) = delete;
    Hourglass& operator=(const Hourglass&) = delete;
};

}  // namespace

std::optional<TProgramCommand> volumeControlCommand(const TLauncher& l) {
    if (const QString p = l.findProgram(QStringLiteral("pavucontrol")); !p.isEmpty()) return TProgramCommand{p, {}};
    const QStringList desktops = l.currentDesktops();
    auto ours = [&](const Mixer& m) { return desktops.contains(QLatin1String(m.desktop), Qt::CaseInsensitive); };
    for (bool own : {true, false}) {
        for (const Mixer& m : kDesktopMixers) {
            if (own != ours(m)) continue;
            if (const QString p = l.findProgram(QLatin1String(m.program)); !p.isEmpty())
                return TProgramCommand{p, m.arguments};
        }
    }
    return std::nullopt;
}

bool openVolumeControl(TLauncher& l) {
    const auto cmd = volumeControlCommand(l);
    return cmd && l.startProgram(cmd->program, cmd->arguments);
}

QString userGuidePath(const QString& programDir, TUserGuide which) {
    const QString page = which == TUserGuide::English ? QStringLiteral("voice_lumo_02_e.html")
                                                      : QStringLiteral("voice_lumo_02.html");
    return QDir::cleanPath(programDir + QStringLiteral("/help/") + page);
}

bool openUserGuide(TLauncher& l, const QString& programDir, TUserGuide which) {
    Hourglass wait;
    const QString path = userGuidePath(programDir, which);
    if (!QFileInfo(path).isFile()) return false;
    return l.openUrl(QUrl::fromLocalFile(path));
}

bool openWithHourglass(TLauncher& l, const QUrl& url) {
    Hourglass wait;
    return l.openUrl(url);
}

}  // namespace vekvmail
