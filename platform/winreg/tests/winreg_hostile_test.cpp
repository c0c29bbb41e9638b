// The window registry among processes that misbehave: a peer that trickles
// its answer or sends an endless one, a socket served by another user, a
// registry folder others may enter, and clients of another user or with an
// endless request.
// SPDX-License-Identifier: GPL-3.0-or-later
#include "vek/platform/winreg.hpp"
#include "vek/testsupport/qt.hpp"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>

#include <sys/stat.h>
#include <unistd.h>

using namespace vek::winreg;

namespace {

QTemporaryDir& runtimeDir() {
    static QTemporaryDir d;
    return d;
}

QString registryDir() { return runtimeDir().path() + "/voice-lumo-windows"; }

void setMode(const QString& path, mode_t mode) {
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), mode), 0) << path.toStdString();
}

// A hostile peer serving a socket in the registry folder.
class Server {
public:
    explicit Server(const QString& mode) {
        m_socket = registryDir() + QStringLiteral("/%1.sock").arg(900000 + ++s_count);
        m_p.start(VEK_WINREG_HOSTILE_PEER, {mode, m_socket});
        m_ok = m_p.waitForStarted(5000) && m_p.waitForReadyRead(5000) && m_p.readLine().startsWith("READY");
    }
    ~Server() {
        if (!m_p.waitForFinished(8000)) m_p.kill();
        m_p.waitForFinished(2000);
        QFile::remove(m_socket);
    }
    bool ok() const { return m_ok; }
    const QString& socket() const { return m_socket; }
    // For a peer nobody connects to: it would wait in accept().
    void stop() { m_p.kill(); }

private:
    static inline int s_count = 0;
    QProcess m_p;
    QString m_socket;
    bool m_ok = false;
};

// Runs a hostile client to the end while this process keeps serving its own
// registry socket; its standard output.
QByteArray runClient(const QString& mode, const QString& socket) {
    QProcess p;
    QEventLoop loop;
    QObject::connect(&p, &QProcess::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(20000, &loop, &QEventLoop::quit);
    p.start(VEK_WINREG_HOSTILE_PEER, {mode, socket});
    if (!p.waitForStarted(5000)) return "NOT STARTED";
    loop.exec();
    if (p.state() != QProcess::NotRunning) {
        p.kill();
        p.waitForFinished(2000);
        return "HUNG";
    }
    return p.readAllStandardOutput().trimmed();
}

class HostileRegistry : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(runtimeDir().isValid());
        ASSERT_TRUE(QDir().mkpath(registryDir()));
        setMode(registryDir(), 0700);
        WindowRegistry::setDirectory(registryDir());
    }
};

}  // namespace

// A peer that sends its answer one byte every 250 ms would have held the
// lookup for about five seconds, each byte arriving within the per-read wait:
// the lookup as a whole gives up after its deadline.
TEST_F(HostileRegistry, ATricklingPeerCannotHoldALookup) {
    Server slow("trickle");
    ASSERT_TRUE(slow.ok());
    QElapsedTimer t;
    t.start();
    EXPECT_FALSE(findWindow("THostile", "").has_value());
    EXPECT_LT(t.elapsed(), 2500);
}

// An answer longer than any list of windows is not collected in memory.
TEST_F(HostileRegistry, AnEndlessAnswerIsNotTaken) {
    Server flood("flood");
    ASSERT_TRUE(flood.ok());
    EXPECT_FALSE(findWindow("THostile", "").has_value());
}

// The registry folder must be private: with its mode opened to others, its
// sockets are not asked; a well-behaved peer is found again once it is 0700.
TEST_F(HostileRegistry, AFolderOthersMayEnterIsNotTrusted) {
    {
        Server plain("plain");
        ASSERT_TRUE(plain.ok());
        setMode(registryDir(), 0755);
        EXPECT_FALSE(findWindow("THostile", "hostile").has_value());
        setMode(registryDir(), 0700);
        plain.stop();
    }
    Server plain("plain");
    ASSERT_TRUE(plain.ok());
    const auto w = findWindow("THostile", "hostile");
    ASSERT_TRUE(w.has_value());
    EXPECT_EQ(w->socket, plain.socket());
}

// A socket in our folder that another user's process listens on (it was
// bound before its owner changed user) is not asked, whatever it answers.
TEST_F(HostileRegistry, ASocketServedByAnotherUserIsNotAsked) {
    if (::geteuid() != 0) GTEST_SKIP() << "only root can start a process of another user";
    Server foreign("foreign");
    ASSERT_TRUE(foreign.ok());
    EXPECT_FALSE(findWindow("THostile", "").has_value());
    EXPECT_TRUE(QFile::exists(foreign.socket()));  // not ours to clean up: it answers
}

// Our own socket answers only our user, even when its modes were opened.
TEST_F(HostileRegistry, OtherUsersGetNoAnswer) {
    if (::geteuid() != 0) GTEST_SKIP() << "only root can start a process of another user";
    QWidget w;
    w.setWindowTitle("served");
    ASSERT_TRUE(WindowRegistry::instance().registerWindow(&w, "TServed"));
    const QString sock = WindowRegistry::instance().socketPath();
    setMode(runtimeDir().path(), 0711);
    setMode(registryDir(), 0711);
    setMode(sock, 0777);
    const QByteArray out = runClient("askas", sock);
    setMode(runtimeDir().path(), 0700);
    setMode(registryDir(), 0700);
    setMode(sock, 0700);
    EXPECT_EQ(out, "NOREPLY");
    WindowRegistry::instance().unregisterWindow(&w);
}

// A client that sends an endless request line is cut off instead of being
// buffered for ever.
TEST_F(HostileRegistry, AnEndlessRequestIsCutOff) {
    QWidget w;
    ASSERT_TRUE(WindowRegistry::instance().registerWindow(&w, "TServed"));
    EXPECT_EQ(runClient("floodclient", WindowRegistry::instance().socketPath()), "CLOSED");
    WindowRegistry::instance().unregisterWindow(&w);
}
