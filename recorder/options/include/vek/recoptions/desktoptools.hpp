// The volume command and the user's guides of the recorder's menus.
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "vek/recoptions/launcher.hpp"

#include <optional>

namespace vekvmail {

struct TProgramCommand {
    QString program;   // full path
    QStringList arguments;
    bool operator==(const TProgramCommand&) const = default;
};

// The sound mixer to open: pavucontrol when installed, else the running
// desktop's own sound settings, else any other desktop's sound settings
// that is installed; none when nothing of the kind is installed.
std::optional<TProgramCommand> volumeControlCommand(const TLauncher& l);
// The volume command: starts that mixer. Nothing happens without one.
// True when a program was started.
bool openVolumeControl(TLauncher& l);

enum class TUserGuide { English, Korean };
// The guide's page in the "help" folder beside the program (`programDir`
// is the program's folder, with or without its trailing '/').
QString userGuidePath(const QString& programDir, TUserGuide which);
// Opens the page with the desktop's browser, with the hourglass meanwhile.
// A missing page opens nothing and says nothing. True when it was handed on.
bool openUserGuide(TLauncher& l, const QString& programDir, TUserGuide which);

// Opens an address with the hourglass meanwhile (the about box's links).
bool openWithHourglass(TLauncher& l, const QUrl& url);

}  // namespace vekvmail
