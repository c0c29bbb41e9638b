// SPDX-License-Identifier: GPL-3.0-or-later
#include "harness.hpp"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vek::desktoptest {

RunResult run(const QString& program, const QStringList& args, const QProcessEnvironment& env, int timeoutMs,
              const QString& workDir) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.setStandardInputFile(QProcess::nullDevice());
    if (!workDir.isEmpty()) p.setWorkingDirectory(workDir);
    p.start(program, args);
    RunResult r;
    if (!p.waitForStarted(10000)) {
        r.err = ("cannot start " + program + ": " + p.errorString()).toLocal8Bit();
        return r;
    }
    r.finished = p.waitForFinished(timeoutMs);
    if (!r.finished) {
        p.kill();
        p.waitForFinished(5000);
    }
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    if (r.finished && p.exitStatus() == QProcess::NormalExit) r.status = p.exitCode();
    return r;
}

QString tool(const QString& name) { return QStandardPaths::findExecutable(name); }

QString scratch() {
    static QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/vek-desktop-XXXXXX"));
    return dir.path();
}

const InstalledSuite* installedSuite(QString* error) {
    static std::optional<InstalledSuite> suite;
    static QString failure;
    if (suite || !failure.isEmpty()) {
        if (error) *error = failure;
        return suite ? &*suite : nullptr;
    }
    const QString first = scratch() + QStringLiteral("/first-prefix");
    const QString moved = scratch() + QStringLiteral("/suite");
    const auto inst = run(QStringLiteral(VEK_CMAKE_COMMAND),
                          {QStringLiteral("--install"), QStringLiteral(VEK_BUILD_DIR), QStringLiteral("--prefix"), first},
                          QProcessEnvironment::systemEnvironment(), 300000);
    if (inst.status != 0) {
        failure = QStringLiteral("cmake --install failed:\n") + inst.text();
    } else {
        // Moved as a whole (links kept), the first place removed.
        const auto cp = run(QStringLiteral("cp"), {QStringLiteral("-a"), first, moved});
        if (cp.status != 0) failure = QStringLiteral("copying the prefix failed: ") + cp.text();
        QDir(first).removeRecursively();
    }
    if (!failure.isEmpty()) {
        if (error) *error = failure;
        return nullptr;
    }
    suite = InstalledSuite{moved, moved + QStringLiteral("/" VEK_PROGDIR), moved + QStringLiteral("/" VEK_BINDIR),
                           moved + QStringLiteral("/" VEK_DATAROOTDIR)};
    return &*suite;
}

QString sessionDir(const char* which) {
    const QString d = scratch() + QStringLiteral("/session/") + QString::fromLatin1(which);
    QDir().mkpath(d);
    if (QString::fromLatin1(which) == QLatin1String("run"))
        QFile::setPermissions(d, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return d;
}

QProcessEnvironment sessionEnvironment(const InstalledSuite* suite) {
    auto e = QProcessEnvironment::systemEnvironment();
    // Nothing found through the loader's search path, no desktop named (the
    // desktop tools take their generic path), no session bus, no display
    // unless a test gives one.
    for (const char* v : {"LD_LIBRARY_PATH", "LD_PRELOAD", "XDG_CURRENT_DESKTOP", "XDG_SESSION_DESKTOP", "DESKTOP_SESSION",
                          "KDE_FULL_SESSION", "KDE_SESSION_VERSION", "GNOME_DESKTOP_SESSION_ID", "DBUS_SESSION_BUS_ADDRESS",
                          "DISPLAY", "WAYLAND_DISPLAY", "BROWSER", "XDG_SESSION_TYPE"})
        e.remove(QString::fromLatin1(v));
    e.insert(QStringLiteral("HOME"), sessionDir("home"));
    e.insert(QStringLiteral("XDG_CONFIG_HOME"), sessionDir("config"));
    e.insert(QStringLiteral("XDG_DATA_HOME"), sessionDir("data"));
    e.insert(QStringLiteral("XDG_CACHE_HOME"), sessionDir("cache"));
    e.insert(QStringLiteral("XDG_RUNTIME_DIR"), sessionDir("run"));
    e.insert(QStringLiteral("XDG_DATA_DIRS"), QStringLiteral("/usr/local/share:/usr/share"));
    e.insert(QStringLiteral("XDG_CONFIG_DIRS"), QStringLiteral("/etc/xdg"));
    e.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    if (suite) e.insert(QStringLiteral("PATH"), suite->binDir + QLatin1Char(':') + e.value(QStringLiteral("PATH")));
    return e;
}

QString registerDesktopData(const InstalledSuite& suite, const QProcessEnvironment& env) {
    const QString data = env.value(QStringLiteral("XDG_DATA_HOME"));
    const QString apps = data + QStringLiteral("/applications");
    const QString mime = data + QStringLiteral("/mime");
    QDir().mkpath(apps);
    QDir().mkpath(mime + QStringLiteral("/packages"));
    for (const QFileInfo& fi : QDir(suite.shareDir + QStringLiteral("/applications")).entryInfoList({"*.desktop"})) {
        QFile::remove(apps + QLatin1Char('/') + fi.fileName());
        if (!QFile::copy(fi.filePath(), apps + QLatin1Char('/') + fi.fileName())) return "cannot copy " + fi.filePath();
    }
    const QString xml = suite.shareDir + QStringLiteral("/mime/packages/voice-lumo.xml");
    QFile::remove(mime + QStringLiteral("/packages/voice-lumo.xml"));
    if (!QFile::copy(xml, mime + QStringLiteral("/packages/voice-lumo.xml"))) return "cannot copy " + xml;
    const auto m = run(tool(QStringLiteral("update-mime-database")), {mime}, env);
    if (m.status != 0) return "update-mime-database: " + m.text();
    const auto d = run(tool(QStringLiteral("update-desktop-database")), {apps}, env);
    if (d.status != 0) return "update-desktop-database: " + d.text();
    return {};
}

void recorderHasRunBefore() {
    const QString dir = sessionDir("config") + QStringLiteral("/voice-lumo");
    QDir().mkpath(dir);
    QFile f(dir + QStringLiteral("/VEKVMAIL.INI"));
    if (!f.exists() && f.open(QIODevice::WriteOnly)) f.close();
}

std::optional<vek::winreg::WindowRef> waitForWindow(const QString& className, const QString& title, int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        for (const auto& w : vek::winreg::allWindows())
            if (w.className == className && w.title == title) return w;
        QThread::msleep(100);
    }
    return std::nullopt;
}

qint64 ownerPid(const vek::winreg::WindowRef& w) { return QFileInfo(w.socket).completeBaseName().toLongLong(); }

QStringList mappedFiles(qint64 pid) {
    QFile f(QStringLiteral("/proc/%1/maps").arg(pid));
    QStringList files;
    if (!f.open(QIODevice::ReadOnly)) return files;
    for (const QByteArray& line : f.readAll().split('\n')) {
        const auto fields = line.simplified().split(' ');
        if (fields.size() >= 6 && fields[5].startsWith('/')) {
            const QString p = QString::fromLocal8Bit(fields[5]);
            if (!files.contains(p)) files << p;
        }
    }
    return files;
}

namespace {
// Gone, or a zombie waiting for its parent.
bool ended(qint64 pid) {
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly)) return true;
    const QByteArray s = f.readAll();
    const int close = s.lastIndexOf(')');
    return close > 0 && s.size() > close + 2 && s[close + 2] == 'Z';
}
}  // namespace

bool closeAndWait(const vek::winreg::WindowRef& w, int ms) {
    const qint64 pid = ownerPid(w);
    vek::winreg::sendMessage(w, 0x0010, {});  // WM_CLOSE
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        if (ended(pid)) return true;
        QThread::msleep(50);
    }
    ::kill(static_cast<pid_t>(pid), SIGKILL);
    return false;
}

QStringList treeSnapshot(const QString& dir) {
    QStringList entries;
    QDirIterator it(dir, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        const QFileInfo fi = it.fileInfo();
        entries << QStringLiteral("%1 %2 %3")
                       .arg(QDir(dir).relativeFilePath(fi.filePath()))
                       .arg(fi.isDir() ? -1 : fi.size())
                       .arg(fi.lastModified().toMSecsSinceEpoch());
    }
    entries.sort();
    return entries;
}

VirtualDisplay::VirtualDisplay() {
    const QString xvfb = tool(QStringLiteral("Xvfb"));
    if (xvfb.isEmpty()) {
        m_error = QStringLiteral("Xvfb missing (Debian: xvfb)");
        return;
    }
    int fds[2];
    if (::pipe(fds) != 0) {
        m_error = QStringLiteral("pipe failed");
        return;
    }
    const QByteArray path = QFile::encodeName(xvfb);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        if (fds[1] != 3) {
            ::dup2(fds[1], 3);
            ::close(fds[1]);
        }
        const int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, 0);
        ::dup2(null, 1);
        ::dup2(null, 2);
        ::execl(path.constData(), "Xvfb", "-displayfd", "3", "-screen", "0", "1024x768x24", "-nolisten", "tcp",
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(fds[1]);
    if (pid < 0) {
        ::close(fds[0]);
        m_error = QStringLiteral("fork failed");
        return;
    }
    m_pid = pid;
    QByteArray number;
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 20000 && !number.endsWith('\n')) {
        pollfd p{fds[0], POLLIN, 0};
        if (::poll(&p, 1, 200) <= 0) continue;
        char c;
        const ssize_t n = ::read(fds[0], &c, 1);
        if (n <= 0) break;
        number.append(c);
    }
    ::close(fds[0]);
    if (!number.trimmed().isEmpty())
        m_display = QLatin1Char(':') + QString::fromLatin1(number.trimmed());
    else
        m_error = QStringLiteral("Xvfb did not report a display");
}

VirtualDisplay::~VirtualDisplay() {
    if (m_pid > 0) {
        ::kill(static_cast<pid_t>(m_pid), SIGTERM);
        int st = 0;
        ::waitpid(static_cast<pid_t>(m_pid), &st, 0);
    }
}

}  // namespace vek::desktoptest
