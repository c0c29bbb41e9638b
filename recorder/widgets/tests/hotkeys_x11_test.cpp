// Global hot keys on a real X display: a window holding Ctrl+Shift+F2 to F5
// hears them while another program's window has the keyboard focus, with
// Num Lock on or off; a second program cannot take keys already held; after
// the component is rebuilt around a stay-on-top change the keys still work.
// Keys are pressed with XTest by xdotool. Skipped where Xvfb or xdotool is
// missing; openbox is used when installed.
// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "vek/testsupport/process.hpp"
#include "vek/testsupport/qtsession.hpp"
#include "vek/testsupport/servers.hpp"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <memory>

namespace {

class Session {
public:
    explicit Session(const QString& dir) {
        if (!m_x.start(15000, "800x600x24")) return;
        const auto session = vek::testsupport::sessionEnvironment(QFile::encodeName(dir).toStdString());
        m_env = vek::testsupport::sessionProcessEnvironment(m_x, session);
        // Focus changes differ with and without one; openbox only where installed.
        if (vek::testsupport::haveTool("openbox")) m_x.startWindowManager(session);
    }
    bool ok() const { return !m_x.display().empty(); }
    bool withWindowManager() const { return m_x.windowManagerRunning(); }
    const QProcessEnvironment& env() const { return m_env; }
    QString xdotool(const QStringList& args) const {
        QProcess p;
        p.setProcessEnvironment(m_env);
        p.start("xdotool", args);
        p.waitForFinished(10000);
        return QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
    }
    QString window(const QString& name) const {
        QElapsedTimer t;
        t.start();
        do {
            const QString out = xdotool({"search", "--onlyvisible", "--name", name});
            if (!out.isEmpty()) return out.split('\n').first();
            QThread::msleep(100);
        } while (t.elapsed() < 10000);
        return {};
    }
    QString focused() const { return xdotool({"getwindowfocus"}); }

private:
    vek::testsupport::XServer m_x;
    QProcessEnvironment m_env;
};

// One peer window and the lines it has printed.
class Peer {
public:
    Peer(const Session& s, const QString& title) {
        m_p.setProcessEnvironment(s.env());
        m_p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_p.start(VEK_HOTKEYS_PEER, {title});
    }
    ~Peer() {
        if (m_p.state() == QProcess::NotRunning) return;
        m_p.write("quit\n");
        if (!m_p.waitForFinished(3000)) {
            m_p.kill();
            m_p.waitForFinished(2000);
        }
    }
    // Waits for a line; true when it came within `ms`.
    bool expect(const QByteArray& line, int ms = 10000) {
        QElapsedTimer t;
        t.start();
        for (;;) {
            const int at = m_out.indexOf(line + '\n');
            if (at >= 0) {
                m_out.remove(0, at + line.size() + 1);
                return true;
            }
            if (t.elapsed() > ms || m_p.state() == QProcess::NotRunning) return false;
            m_p.waitForReadyRead(100);
            m_out += m_p.readAllStandardOutput();
        }
    }
    // No hot-key line arrives within `ms`.
    bool silent(int ms) {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < ms) {
            m_p.waitForReadyRead(50);
            m_out += m_p.readAllStandardOutput();
        }
        return !m_out.contains("hotkey");
    }
    void send(const QByteArray& cmd) {
        m_p.write(cmd + '\n');
        m_p.waitForBytesWritten(1000);
    }
    QByteArray pending() const { return m_out; }

private:
    QProcess m_p;
    QByteArray m_out;
};

}  // namespace

TEST(GlobalHotKeysX11, ReachTheirWindowWhileAnotherHasTheFocus) {
    for (const char* tool : {"Xvfb", "xdotool", "bash"})
        if (QStandardPaths::findExecutable(tool).isEmpty()) GTEST_SKIP() << tool << " is not installed";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    Session s(dir.path());
    ASSERT_TRUE(s.ok()) << "Xvfb did not start";

    Peer holder(s, "hkpeer-holder");
    for (int i = 0; i < 4; ++i) ASSERT_TRUE(holder.expect("registered " + QByteArray::number(i) + " 1")) << holder.pending().constData();
    const QString holderWin = s.window("hkpeer-holder");
    ASSERT_FALSE(holderWin.isEmpty());

    // A second program asks for the same keys: the display refuses them all.
    Peer other(s, "hkpeer-other");
    for (int i = 0; i < 4; ++i) ASSERT_TRUE(other.expect("registered " + QByteArray::number(i) + " 0")) << other.pending().constData();
    const QString otherWin = s.window("hkpeer-other");
    ASSERT_FALSE(otherWin.isEmpty());
    s.xdotool({s.withWindowManager() ? "windowactivate" : "windowfocus", "--sync", otherWin});
    ASSERT_EQ(s.focused(), otherWin);

    s.xdotool({"key", "ctrl+shift+F2"});
    EXPECT_TRUE(holder.expect("hotkey 0"));
    s.xdotool({"key", "ctrl+shift+F5"});
    EXPECT_TRUE(holder.expect("hotkey 3"));
    // Without both modifiers, or with another key, nothing.
    s.xdotool({"key", "ctrl+F2", "shift+F3", "ctrl+shift+F6"});
    EXPECT_TRUE(holder.silent(600)) << holder.pending().constData();
    EXPECT_TRUE(other.silent(0));
    EXPECT_EQ(s.focused(), otherWin);

    // Num Lock on: the same keys still arrive.
    s.xdotool({"key", "Num_Lock"});
    s.xdotool({"key", "ctrl+shift+F3"});
    EXPECT_TRUE(holder.expect("hotkey 1"));
    s.xdotool({"key", "Num_Lock"});

    // Rebuilt around a stay-on-top change, the component holds the keys again.
    holder.send("recreate");
    for (int i = 0; i < 4; ++i) ASSERT_TRUE(holder.expect("registered " + QByteArray::number(i) + " 1")) << holder.pending().constData();
    ASSERT_TRUE(holder.expect("recreated 1"));
    s.xdotool({s.withWindowManager() ? "windowactivate" : "windowfocus", "--sync", otherWin});
    s.xdotool({"key", "ctrl+shift+F4"});
    EXPECT_TRUE(holder.expect("hotkey 2"));
    holder.send("recreate");
    ASSERT_TRUE(holder.expect("recreated 0"));
    s.xdotool({"key", "ctrl+shift+F2"});
    EXPECT_TRUE(holder.expect("hotkey 0"));
    EXPECT_TRUE(other.silent(300));
}
