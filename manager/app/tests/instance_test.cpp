// Single instance with two real processes: the second copy of VekShell
// finds the first through the window registry, restores it and ends without
// a window of its own.
// SPDX-License-Identifier: GPL-3.0-or-later
#include "vek/platform/winreg.hpp"
#include "vek/testsupport/process.hpp"
#include "vek/testsupport/qt.hpp"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <csignal>
#include <sys/types.h>

using namespace vek::winreg;

namespace {

// The sandboxed home of the shared Qt test main; the copies of VekShell the
// tests start live in it too.
const QString& sandboxPath() { return vek::testsupport::sandboxHome(); }

// Their windows register in the sandbox's runtime folder.
class RegistryFolder : public ::testing::Environment {
public:
    void SetUp() override { WindowRegistry::setDirectory(sandboxPath() + "/run/voice-lumo-windows"); }
};
::testing::Environment* const g_registry = ::testing::AddGlobalTestEnvironment(new RegistryFolder);

QProcessEnvironment env() {
    auto e = QProcessEnvironment::systemEnvironment();
    const QString s = sandboxPath();
    e.insert("QT_QPA_PLATFORM", "offscreen");
    e.insert("HOME", s);
    e.insert("XDG_CONFIG_HOME", s + "/config");
    e.insert("XDG_DATA_HOME", s + "/data");
    e.insert("XDG_RUNTIME_DIR", s + "/run");
    return e;
}

std::optional<WindowRef> waitForManager(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        if (auto w = findWindow("TApplication", "voice lumo manager")) return w;
        QThread::msleep(50);
    }
    return std::nullopt;
}

}  // namespace

TEST(ShellSingleInstance, SecondCopyRestoresTheFirstAndEnds) {
    QProcess first;
    first.setProcessEnvironment(env());
    first.start(VEKSHELL_EXE, {});
    ASSERT_TRUE(first.waitForStarted(5000));
    auto w = waitForManager(20000);
    ASSERT_TRUE(w.has_value()) << "the first copy never registered its window";
    EXPECT_EQ(w->title, "voice lumo manager");
    // Minimise it from outside, as the user would.
    ASSERT_TRUE(showWindow(*w, ShowCommand::Minimize));
    ASSERT_EQ(isIconic(*w), std::optional<bool>(true));

    QProcess second;
    second.setProcessEnvironment(env());
    second.start(VEKSHELL_EXE, {});
    ASSERT_TRUE(second.waitForStarted(5000));
    ASSERT_TRUE(second.waitForFinished(20000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    // The first copy is restored; the second never registered a window.
    EXPECT_EQ(isIconic(*w), std::optional<bool>(false));
    const auto all = allWindows();
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all[0].socket, w->socket);
    EXPECT_FALSE(QFile::exists(WindowRegistry::directory() + QString("/%1.sock").arg(second.processId())));

    // A third start while the first is not minimised brings it to the front and ends too.
    QProcess third;
    third.setProcessEnvironment(env());
    third.start(VEKSHELL_EXE, {});
    ASSERT_TRUE(third.waitForFinished(20000));
    EXPECT_EQ(third.exitCode(), 0);
    EXPECT_EQ(first.state(), QProcess::Running);

    // Closed from outside (WM_CLOSE), it ends normally and writes its
    // settings: with no VekShell.ini beside the program, in the user's folder.
    EXPECT_EQ(sendMessage(*w, 0x0010, {}), std::optional<qint64>(1));
    const bool ended = first.waitForFinished(10000);
    if (!ended) first.kill();
    ASSERT_TRUE(ended);
    EXPECT_EQ(first.exitCode(), 0);
    const QString ini = sandboxPath() + "/config/voice-lumo/VekShell.ini";
    QFile f(ini);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << ini.toStdString();
    const QByteArray text = f.readAll();
    EXPECT_TRUE(text.startsWith("[Main]\r\nFlags=0\r\n"));
    EXPECT_TRUE(text.contains("ShellListView_Path=" + QFile::encodeName(sandboxPath()) + "/\r\n"));
    EXPECT_FALSE(findWindow("TApplication", "voice lumo manager").has_value());
}

// The first copy is busy (stopped here, so it cannot answer the registry at
// all) when the second starts: the lock tells the second copy that the first
// runs, it opens no window, and it raises the first once that answers.
TEST(ShellSingleInstance, SecondCopyOpensNoWindowWhileTheFirstIsBusy) {
    QProcess first;
    first.setProcessEnvironment(env());
    first.start(VEKSHELL_EXE, {});
    ASSERT_TRUE(first.waitForStarted(5000));
    auto w = waitForManager(20000);
    ASSERT_TRUE(w.has_value()) << "the first copy never registered its window";
    ASSERT_TRUE(showWindow(*w, ShowCommand::Minimize));
    ASSERT_EQ(isIconic(*w), std::optional<bool>(true));

    ASSERT_EQ(::kill(pid_t(first.processId()), SIGSTOP), 0);
    QProcess second;
    second.setProcessEnvironment(env());
    second.start(VEKSHELL_EXE, {});
    ASSERT_TRUE(second.waitForStarted(5000));
    // Twice as long as the registry waits for an answer.
    const bool endedWhileBusy = second.waitForFinished(3000);
    const QString secondSocket = WindowRegistry::directory() + QString("/%1.sock").arg(second.processId());
    const bool secondWindow = QFile::exists(secondSocket);
    ASSERT_EQ(::kill(pid_t(first.processId()), SIGCONT), 0);
    EXPECT_FALSE(secondWindow) << "the second copy opened a window of its own";
    if (!endedWhileBusy) {
        const bool ended = second.waitForFinished(15000);
        if (!ended) second.kill();
        EXPECT_TRUE(ended) << "the second copy kept running";
    }
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    // Once the first answered, it was restored.
    EXPECT_EQ(isIconic(*w), std::optional<bool>(false));
    EXPECT_EQ(allWindows().size(), 1u);

    EXPECT_EQ(sendMessage(*w, 0x0010, {}), std::optional<qint64>(1));
    if (!first.waitForFinished(10000)) first.kill();
    // With the first copy gone its lock is free: a new start is the first again.
    QProcess third;
    third.setProcessEnvironment(env());
    third.start(VEKSHELL_EXE, {});
    ASSERT_TRUE(third.waitForStarted(5000));
    auto w3 = waitForManager(20000);
    EXPECT_TRUE(w3.has_value());
    if (w3) sendMessage(*w3, 0x0010, {});
    if (!third.waitForFinished(10000)) third.kill();
}

// A start sweeps what killed runs left: the jobs' frame files in the
// temporary folder and a half-written settings file beside VekShell.ini go
// when their process has ended; a frame file of a running process stays.
TEST(ShellStart, SweepsTemporaryFilesOfEndedRunsOnly) {
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    const QString config = sandboxPath() + "/config/voice-lumo";
    ASSERT_TRUE(QDir().mkpath(config));
    const QString dead = QString::number(vek::testsupport::endedProcessId());
    const QString frames = tmp.path() + "/vekshell.vek-" + dead + "-0123456789abcdef.tmp";
    const QString settings = config + "/.VekShell.ini.vek-" + dead + "-0123456789abcdef.tmp";
    const QString live = tmp.path() + "/vekshell.vek-" + QString::number(QCoreApplication::applicationPid()) +
                         "-fedcba9876543210.tmp";
    for (const QString& name : {frames, settings, live}) {
        QFile f(name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << name.toStdString();
        f.write("frames");
    }

    QProcess shell;
    auto e = env();
    e.insert("TMPDIR", tmp.path());
    shell.setProcessEnvironment(e);
    shell.start(VEKSHELL_EXE, {});
    ASSERT_TRUE(shell.waitForStarted(5000));
    auto w = waitForManager(20000);
    ASSERT_TRUE(w.has_value()) << "the manager never registered its window";
    EXPECT_FALSE(QFile::exists(frames));
    EXPECT_FALSE(QFile::exists(settings));
    EXPECT_TRUE(QFile::exists(live));
    sendMessage(*w, 0x0010, {});
    if (!shell.waitForFinished(10000)) shell.kill();
}
