// SPDX-License-Identifier: GPL-3.0-or-later
#include "vek/platform/winreg.hpp"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QWidget>

#include <memory>

#include <sys/stat.h>
#include <unistd.h>

#include "vek/testsupport/qt.hpp"

using namespace vek::winreg;

namespace {

// One registry folder for the whole test program (the registry's socket is
// opened once per process), handed to the peers through XDG_RUNTIME_DIR.
QTemporaryDir& runtimeDir() {
    static QTemporaryDir d;
    return d;
}

class Peer {
public:
    Peer(const QString& cls, const QString& title, bool minimised = false, const QString& runtime = {}) {
        auto env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_RUNTIME_DIR", runtime.isEmpty() ? runtimeDir().path() : runtime);
        env.insert("QT_QPA_PLATFORM", "offscreen");
        p_.setProcessEnvironment(env);
        QStringList args{cls, title};
        if (minimised) args << "min";
        p_.start(VEK_WINREG_PEER, args);
        ok_ = p_.waitForStarted(5000) && p_.waitForReadyRead(10000) && p_.readLine().startsWith("READY");
    }
    ~Peer() {
        p_.closeWriteChannel();
        if (!p_.waitForFinished(5000)) p_.kill();
        p_.waitForFinished(2000);
    }
    bool ok() const { return ok_; }
    QProcess& process() { return p_; }

private:
    QProcess p_;
    bool ok_ = false;
};

class WindowRegistryTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(runtimeDir().isValid());
        WindowRegistry::setDirectory(runtimeDir().path() + "/voice-lumo-windows");
    }
};

}  // namespace

TEST_F(WindowRegistryTest, FindsAnotherProcessByClassAndTitle) {
    Peer peer("TApplication", "voice lumo manager");
    ASSERT_TRUE(peer.ok());
    auto w = findWindow("tapplication", "VOICE LUMO MANAGER");  // case does not matter
    ASSERT_TRUE(w.has_value());
    EXPECT_EQ(w->className, "TApplication");
    EXPECT_EQ(w->title, "voice lumo manager");
    // The trailing blank the single-instance rule relies on makes a different title.
    EXPECT_FALSE(findWindow("TApplication", "voice lumo manager ").has_value());
    EXPECT_FALSE(findWindow("TMainForm", "voice lumo manager").has_value());
    EXPECT_TRUE(findWindow("", "voice lumo manager").has_value());  // empty class: any
}

TEST_F(WindowRegistryTest, RestoresAMinimisedWindowOfAnotherProcess) {
    Peer peer("TPeer", "minimised peer", true);
    ASSERT_TRUE(peer.ok());
    auto w = findWindow("TPeer", "minimised peer");
    ASSERT_TRUE(w.has_value());
    EXPECT_EQ(isIconic(*w), std::optional<bool>(true));
    EXPECT_TRUE(showWindow(*w, ShowCommand::Normal));
    EXPECT_EQ(isIconic(*w), std::optional<bool>(false));
    EXPECT_TRUE(setForegroundWindow(*w));
    EXPECT_TRUE(showWindow(*w, ShowCommand::Minimize));
    EXPECT_EQ(isIconic(*w), std::optional<bool>(true));
}

TEST_F(WindowRegistryTest, MessagesWithDataAndRunTimeTitles) {
    Peer peer("TPeer", "Player");
    ASSERT_TRUE(peer.ok());
    auto w = findWindow("TPeer", "Player");
    ASSERT_TRUE(w.has_value());
    EXPECT_EQ(sendMessage(*w, 0x070F, "/tmp/MEMO.SC4"), std::optional<qint64>(13));
    ASSERT_TRUE(peer.process().waitForReadyRead(5000));
    EXPECT_EQ(peer.process().readLine().trimmed(), "MSG 1807 /tmp/MEMO.SC4");
    // The registry answers with the title of the moment.
    EXPECT_EQ(sendMessage(*w, 12, "Playing: MEMO.SC4"), std::optional<qint64>(1));
    EXPECT_FALSE(findWindow("TPeer", "Player").has_value());
    auto again = findWindow("TPeer", "playing: memo.sc4");
    ASSERT_TRUE(again.has_value());
    EXPECT_EQ(again->id, w->id);
}

TEST_F(WindowRegistryTest, GoneProcessesAndStaleSocketsAreSkipped) {
    std::optional<WindowRef> w;
    {
        Peer peer("TGone", "gone");
        ASSERT_TRUE(peer.ok());
        w = findWindow("TGone", "gone");
        ASSERT_TRUE(w.has_value());
        EXPECT_EQ(sendMessage(*w, 16, {}), std::optional<qint64>(1));
        ASSERT_TRUE(peer.process().waitForFinished(5000));
    }
    EXPECT_FALSE(findWindow("TGone", "gone").has_value());
    EXPECT_FALSE(isIconic(*w).has_value());
    EXPECT_FALSE(showWindow(*w, ShowCommand::Normal));
    // A socket file nobody listens on (a crashed process) is removed by a lookup.
    QDir().mkpath(WindowRegistry::directory());
    const QString stale = WindowRegistry::directory() + "/999999.sock";
    { QFile f(stale); ASSERT_TRUE(f.open(QIODevice::WriteOnly)); }
    EXPECT_FALSE(findWindow("TNobody", "").has_value());
    EXPECT_FALSE(QFile::exists(stale));
}

TEST_F(WindowRegistryTest, OwnWindowsAnswerWithoutASocketRoundTrip) {
    QWidget w;
    w.setWindowTitle("local one");
    ASSERT_TRUE(WindowRegistry::instance().registerWindow(&w, "TLocal", [] { return QString("app title"); }));
    auto found = findWindow("TLocal", "app title");  // the title function, not the window title
    ASSERT_TRUE(found.has_value());
    EXPECT_FALSE(findWindow("TLocal", "local one").has_value());
    w.showMinimized();
    EXPECT_EQ(isIconic(*found), std::optional<bool>(true));
    EXPECT_TRUE(showWindow(*found, ShowCommand::Normal));
    EXPECT_FALSE(w.isMinimized());
    WindowRegistry::instance().unregisterWindow(&w);
    EXPECT_FALSE(findWindow("TLocal", "").has_value());
}

// A registry folder that belongs to another user (made in the shared
// temporary directory before us) is neither served from nor searched.
TEST_F(WindowRegistryTest, AFolderOfAnotherUserIsNotTrusted) {
    if (::geteuid() != 0) GTEST_SKIP() << "only root can make a folder of another user";
    QTemporaryDir runtime;
    ASSERT_TRUE(runtime.isValid());
    const QString foreign = runtime.path() + "/voice-lumo-windows";
    ASSERT_TRUE(QDir().mkpath(foreign));
    ASSERT_EQ(::chown(QFile::encodeName(foreign).constData(), 65534, 65534), 0);
    ::chmod(QFile::encodeName(foreign).constData(), 0777);
    {
        Peer peer("TForeign", "foreign", false, runtime.path());
        EXPECT_FALSE(peer.ok());
        if (peer.process().state() != QProcess::NotRunning) peer.process().waitForFinished(5000);
        EXPECT_EQ(peer.process().state(), QProcess::NotRunning);
        EXPECT_EQ(peer.process().exitCode(), 3);  // registration refused
    }
    EXPECT_TRUE(QDir(foreign).entryList(QDir::System | QDir::Files | QDir::Hidden).isEmpty());
    // A lookup leaves such a folder alone: it neither asks its sockets nor
    // cleans them up.
    const QString planted = foreign + "/4242.sock";
    { QFile f(planted); ASSERT_TRUE(f.open(QIODevice::WriteOnly)); }
    WindowRegistry::setDirectory(foreign);
    EXPECT_FALSE(findWindow("", "").has_value());
    WindowRegistry::setDirectory(runtimeDir().path() + "/voice-lumo-windows");
    EXPECT_TRUE(QFile::exists(planted));
}
