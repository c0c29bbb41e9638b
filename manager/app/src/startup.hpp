// Program start: where the program and its settings live, the single-instance
// rule and bringing a window to the front.
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class QWidget;

namespace vekshell {

inline const QString kAppTitle = QStringLiteral("voice lumo manager");

// The application title the window registry answers with for our
// "TApplication" window (the title of the program, not of a form).
QString applicationTitle();
void setApplicationTitle(const QString& t);

// The executable's folder, ending in a separator.
QString programDir();
// "VekShell.ini" beside the program when a file of that name is already
// there (a portable install), otherwise in $XDG_CONFIG_HOME/voice-lumo/.
// The folder is created when missing.
QString settingsFilePath();

// Raises and activates a window of this process; true when it is shown.
bool forceForeground(QWidget* w);
// Where the running manager holds its lock (the window registry's folder).
QString instanceLockPath();
// True when another manager runs: its lock is held, or the window registry
// knows its window. That window is restored (when minimised) or brought to
// the front; a copy that holds the lock but does not answer is asked again
// for up to `waitMs`. Otherwise this process takes the lock, keeps it until
// it ends, and false is returned.
bool activatePreviousInstance(int waitMs = 10000);
// Registers the main window under the classes another instance looks for.
void registerMainWindow(QWidget* w);

}  // namespace vekshell
