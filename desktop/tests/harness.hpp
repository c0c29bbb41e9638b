// The installed suite as a user meets it: installed into a scratch prefix,
// then moved, started with a private home and desktop data folders, and
// looked at through the window registry, the desktop tools and the package
// tools.
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "vek/platform/winreg.hpp"

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <optional>
#include <ostream>

// Readable QStrings in the test failure messages.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace vek::desktoptest {

struct RunResult {
    bool finished = false;  // ended on its own within the time given
    int status = -1;        // exit status (-1 when it crashed or was killed)
    QByteArray out, err;
    QString text() const { return QString::fromLocal8Bit(out + err); }
};

RunResult run(const QString& program, const QStringList& args, const QProcessEnvironment& env,
              int timeoutMs = 60000, const QString& workDir = {});
inline RunResult run(const QString& program, const QStringList& args, int timeoutMs = 60000) {
    return run(program, args, QProcessEnvironment::systemEnvironment(), timeoutMs);
}

// The full path of a tool on PATH, or empty.
QString tool(const QString& name);

// The scratch folder of this test process (removed at exit).
QString scratch();

// The suite installed with `cmake --install` into a first prefix, copied to
// a second one and the first removed, so that nothing the programs load can
// come from the build tree or from where it was installed. Done once per
// process; fails the calling test when the install fails.
struct InstalledSuite {
    QString prefix;   // the moved prefix
    QString progDir;  // prefix + the program folder
    QString binDir;   // prefix + bin
    QString shareDir; // prefix + share
};
const InstalledSuite* installedSuite(QString* error);
// In a test: the installed suite as `var`, or the test fails with the reason.
#define SUITE_OR_FAIL(var)                           \
    QString installError;                            \
    const auto* var = installedSuite(&installError); \
    ASSERT_NE(var, nullptr) << installError.toStdString()

// A private desktop session: HOME, XDG_CONFIG_HOME, XDG_DATA_HOME,
// XDG_CACHE_HOME and XDG_RUNTIME_DIR in the scratch folder (the runtime
// folder is also the one this process's window registry looks in), the
// installed bin folder first on PATH, and no desktop named, so that the
// desktop tools take their generic path.
QProcessEnvironment sessionEnvironment(const InstalledSuite* suite = nullptr);
QString sessionDir(const char* which);  // "home", "config", "data", "cache", "run"

// Copies the installed menu entries and the SC4 file type into the
// session's XDG_DATA_HOME and refreshes its MIME and menu databases, as the
// package triggers do for /usr/share. Empty on success, else what failed.
QString registerDesktopData(const InstalledSuite& suite, const QProcessEnvironment& env);

// A recorder that has run before in this session: its settings file exists,
// so it does not open with the first-run question (which waits for the
// user before the file given to it is opened).
void recorderHasRunBefore();

// Waits for a window of that class whose title matches exactly.
std::optional<vek::winreg::WindowRef> waitForWindow(const QString& className, const QString& title, int ms);
// The process id behind a registry socket (its name is "<pid>.sock").
qint64 ownerPid(const vek::winreg::WindowRef& w);
// The files a process has mapped (from /proc/PID/maps), without duplicates.
QStringList mappedFiles(qint64 pid);
// Sends WM_CLOSE and waits for the owner to end; kills it after `ms`.
bool closeAndWait(const vek::winreg::WindowRef& w, int ms);

// A snapshot of a folder tree: relative path, size and modification time of
// every entry, to show that a program left it alone.
QStringList treeSnapshot(const QString& dir);

// A virtual X display started with -displayfd (never a fixed number).
class VirtualDisplay {
public:
    VirtualDisplay();
    ~VirtualDisplay();
    bool ok() const { return !m_display.isEmpty(); }
    QString display() const { return m_display; }  // ":N"
    QString error() const { return m_error; }

private:
    qint64 m_pid = 0;
    QString m_display, m_error;
};

}  // namespace vek::desktoptest
