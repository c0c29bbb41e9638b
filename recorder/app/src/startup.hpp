// Program start of the recorder: the application title the window registry
// answers with, where the program, its settings and its data folder live, the
// single-instance rule and the hand-over of a file to the running instance.
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace vek::winreg {
struct WindowRef;
}

namespace vekvmail {

class TVM0007Form;

// The title of our "TApplication" window (the task-bar text).
QString applicationTitle();
void setApplicationTitle(const QString& t);

// The executable's folder, ending in '/'.
QString programDir();
// "VEKVMAIL.INI" beside the program when a file of that name is already
// there, else $XDG_CONFIG_HOME/voice-lumo/VEKVMAIL.INI (folder created).
QString iniPathFor(const QString& programDir);
// "DATA/" beside the program when a writable folder of that name is already
// there, else $XDG_DATA_HOME/voice-lumo/DATA/. Not created here.
QString dataDirFor(const QString& programDir);

// True when the path names an existing file that is not a folder.
bool FileExistsNotDir(const QString& path);

// Brings another process's window to the front; the answer of the window
// system (through its owner) as the result.
bool ForceForeground(const vek::winreg::WindowRef& w);
// Looks for a running recorder under its three application titles. When one
// is found it is restored or brought to the front and, when `file` names an
// existing file, that file is handed to its main window; true. False when no
// other instance runs (the title is restored in both cases).
bool FindRunningInstance(const QString& file);

// Registers the application entry ("TApplication", carrying the application
// title) and the main window ("TVM0007Form", carrying its caption), and
// routes registry messages to the form.
void registerWindows(TVM0007Form* form);

// Waits `ms` milliseconds while window messages are processed.
void WaitMs(quint16 ms);

}  // namespace vekvmail

class QApplication;
namespace vekvmail {
// The look of the recorder: one style, palette and font on every desktop, so
// that the fixed layout fits.
void applyLook(QApplication& app);

// The program: title, single instance, windows, message loop. `afterShow`
// runs once the main window is shown (the test programs put the window into
// a state there); the exit code is the result.
int runVekVMail(int argc, char** argv, const std::function<void(TVM0007Form&)>& afterShow = {});
}  // namespace vekvmail
