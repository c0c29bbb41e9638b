// What the recorder's X11 system tests share: a virtual display of its own
// under a window manager, with the environment of a desktop session in a
// scratch home, and the few things a person does there (find a window by its
// title, press keys into it, type, read its geometry), done with xdotool and
// xwininfo. Waits poll for windows rather than sleep: the machines that run
// these tests are often loaded.
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "vek/testsupport/qtsession.hpp"
#include "vek/testsupport/servers.hpp"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QStringList>
#include <QThread>

#include <initializer_list>
#include <string>

namespace vekvmail_x11 {

// False, with the first missing one in `missing`, unless every tool is on the PATH.
inline bool haveTools(std::initializer_list<const char*> tools, QString& missing) {
    for (const char* t : tools) {
        if (QStandardPaths::findExecutable(QString::fromLatin1(t)).isEmpty()) {
            missing = QString::fromLatin1(t);
            return false;
        }
    }
    return true;
}

class X11Session {
public:
    explicit X11Session(const QString& dir) : m_dir(dir) {
        if (!m_x.start(15000)) return;
        const auto session = vek::testsupport::sessionEnvironment(QFile::encodeName(dir).toStdString());
        m_env = vek::testsupport::sessionProcessEnvironment(m_x, session);
        m_x.startWindowManager(session);
    }
    bool ok() const { return !m_x.display().empty() && m_x.windowManagerRunning(); }
    // Why the display did not start, if it did not.
    std::string error() const { return m_x.error(); }
    const QProcessEnvironment& env() const { return m_env; }
    // For what the session adds later (a sound server).
    void setEnv(const QString& name, const QString& value) { m_env.insert(name, value); }

    // Runs a tool on the display; its standard output.
    QString run(const QString& tool, const QStringList& args, int* rc = nullptr) const {
        QProcess p;
        p.setProcessEnvironment(m_env);
        p.start(tool, args);
        p.waitForFinished(10000);
        if (rc) *rc = p.exitCode();
        return QString::fromLocal8Bit(p.readAllStandardOutput());
    }
    // The first visible window whose name matches, or empty.
    QString window(const QString& nameRegex, int ms = 10000) const {
        QElapsedTimer t;
        t.start();
        do {
            const QString out = run("xdotool", {"search", "--onlyvisible", "--name", nameRegex}).trimmed();
            if (!out.isEmpty()) return out.split('\n').first();
            QThread::msleep(100);
        } while (t.elapsed() < ms);
        return {};
    }
    bool gone(const QString& nameRegex, int ms = 5000) const {
        QElapsedTimer t;
        t.start();
        do {
            if (run("xdotool", {"search", "--onlyvisible", "--name", nameRegex}).trimmed().isEmpty()) return true;
            QThread::msleep(100);
        } while (t.elapsed() < ms);
        return false;
    }
    int visibleWindowsOf(qint64 pid) const {
        const QString out = run("xdotool", {"search", "--onlyvisible", "--pid", QString::number(pid), ""}).trimmed();
        return out.isEmpty() ? 0 : int(out.split('\n').size());
    }
    // Waits (a loaded machine is slow to map a popup) until the process shows
    // `n` windows; the count last seen.
    int waitForWindowsOf(qint64 pid, int n, int ms = 4000) const {
        QElapsedTimer t;
        t.start();
        int c = visibleWindowsOf(pid);
        while (c != n && t.elapsed() < ms) {
            QThread::msleep(100);
            c = visibleWindowsOf(pid);
        }
        return c;
    }
    void keys(const QString& window, const QStringList& seq) const {
        run("xdotool", {"windowactivate", "--sync", window});
        for (const QString& k : seq) {
            run("xdotool", {"key", "--clearmodifiers", k});
            QThread::msleep(250);
        }
    }
    // Text typed into `window` as a person types it.
    void type(const QString& window, const QString& text) const {
        run("xdotool", {"windowactivate", "--sync", window});
        run("xdotool", {"type", "--delay", "15", text});
    }
    // Client geometry: x, y, width, height.
    QList<int> geometry(const QString& window) const {
        const QString out = run("xwininfo", {"-id", window});
        QList<int> g;
        for (const char* key : {"Absolute upper-left X:", "Absolute upper-left Y:", "Width:", "Height:"}) {
            const QRegularExpression re(QRegularExpression::escape(QString::fromLatin1(key)) + "\\s+(-?\\d+)");
            const auto m = re.match(out);
            g << (m.hasMatch() ? m.captured(1).toInt() : -99999);
        }
        return g;
    }
    // A picture of the whole screen (ImageMagick's import), when it is installed.
    void screenshot(const QString& png) const {
        if (!QStandardPaths::findExecutable("import").isEmpty()) run("import", {"-window", "root", png});
    }

private:
    QString m_dir;
    vek::testsupport::XServer m_x;
    QProcessEnvironment m_env;
};

}  // namespace vekvmail_x11
