// One recorder at a time, with real processes: a second start finds the
// first through the window registry, brings it to the front, hands over its
// file (unless the first is recording) and ends without a window of its own.
// SPDX-License-Identifier: GPL-3.0-or-later
#include "vek/platform/winreg.hpp"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <memory>

using namespace vek::winreg;

namespace {

QByteArray spFile(int sectors) {
    QByteArray b;
    for (int s = 0; s < sectors; ++s) {
        b += QByteArray("dmr1data\xF4\x01", 10);
        b += QByteArray(500, char(s + 1));
        b += QByteArray(2, '\0');
    }
    return b;
}

// Each test: its own home, settings, data folder and window registry.
class RecorderInstance : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        const QString s = m_dir.path();
        QDir().mkpath(s + "/run");
        QFile::setPermissions(s + "/run", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        WindowRegistry::setDirectory(s + "/run/voice-lumo-windows");
        // A settings file: no first-run dialog.
        QDir().mkpath(s + "/config/voice-lumo");
        QFile ini(iniPath());
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write("[Main]\r\nMailProg=3\r\n");
    }
    void TearDown() override {
        for (auto& p : m_procs) {
            if (p->state() != QProcess::NotRunning) {
                p->kill();
                p->waitForFinished(3000);
            }
        }
    }
    QString iniPath() const { return m_dir.path() + "/config/voice-lumo/VEKVMAIL.INI"; }
    QString dataDir() const { return m_dir.path() + "/data/voice-lumo/DATA/"; }
    QString path(const QString& name) const { return m_dir.path() + "/" + name; }

    QProcess& start(const QString& exe, const QStringList& args, const QString& workDir = {}) {
        auto p = std::make_unique<QProcess>();
        if (!workDir.isEmpty()) p->setWorkingDirectory(workDir);
        auto e = QProcessEnvironment::systemEnvironment();
        const QString s = m_dir.path();
        e.insert("QT_QPA_PLATFORM", "offscreen");
        e.insert("HOME", s);
        e.insert("XDG_CONFIG_HOME", s + "/config");
        e.insert("XDG_DATA_HOME", s + "/data");
        e.insert("XDG_RUNTIME_DIR", s + "/run");
        p->setProcessEnvironment(e);
        p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p->start(exe, args);
        m_procs.push_back(std::move(p));
        return *m_procs.back();
    }

    static std::optional<WindowRef> waitFor(const QString& cls, const QString& title, int ms = 20000) {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < ms) {
            if (auto w = findWindow(cls, title)) return w;
            QThread::msleep(50);
        }
        return std::nullopt;
    }

    // Starts a second copy and expects it to end at once, successfully.
    void secondStartEnds(const QStringList& args) {
        QProcess& second = start(VEKVMAIL_EXE, args);
        ASSERT_TRUE(second.waitForStarted(5000));
        ASSERT_TRUE(second.waitForFinished(20000)) << "the second copy did not end";
        EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(second.exitCode(), 0);
        EXPECT_FALSE(QFile::exists(WindowRegistry::directory() + QString("/%1.sock").arg(second.processId())));
    }

    void closeFirst(QProcess& first, const WindowRef& w) {
        EXPECT_EQ(sendMessage(w, 0x0010, {}), std::optional<qint64>(1));
        const bool ended = first.waitForFinished(10000);
        ASSERT_TRUE(ended);
        EXPECT_EQ(first.exitCode(), 0);
    }

    QTemporaryDir m_dir;
    std::vector<std::unique_ptr<QProcess>> m_procs;
};

}  // namespace

TEST_F(RecorderInstance, SecondStartWithoutAFileRaisesTheFirstAndEnds) {
    QProcess& first = start(VEKVMAIL_EXE, {});
    ASSERT_TRUE(first.waitForStarted(5000));
    auto app = waitFor("TApplication", "voice lumo player");
    ASSERT_TRUE(app) << "the first copy never registered";
    auto main = waitFor("TVM0007Form", "voice lumo player [New]", 2000);
    ASSERT_TRUE(main);
    EXPECT_EQ(main->socket, app->socket);
    ASSERT_TRUE(showWindow(*app, ShowCommand::Minimize));
    ASSERT_EQ(isIconic(*app), std::optional<bool>(true));

    secondStartEnds({});
    EXPECT_EQ(isIconic(*app), std::optional<bool>(false)) << "the first copy was not restored";
    for (const WindowRef& w : allWindows()) EXPECT_EQ(w.socket, app->socket);
    EXPECT_EQ(first.state(), QProcess::Running);

    // Not minimised: it is brought to the front, and the second ends as well.
    secondStartEnds({path("missing.sc4")});  // a missing file is not handed over
    EXPECT_TRUE(findWindow("TVM0007Form", "voice lumo player [New]").has_value());

    const QString work = dataDir() + "vdata1.tmp";
    EXPECT_TRUE(QFile::exists(work));
    closeFirst(first, *app);
    EXPECT_FALSE(QFile::exists(work)) << "closing deletes the working file";
    QFile ini(iniPath());
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    const QByteArray text = ini.readAll();
    EXPECT_TRUE(text.startsWith("[Main]\r\nMailProg=3\r\nMainLeft=")) << text.toStdString();
    EXPECT_TRUE(text.contains("\r\nStayOnTop=0\r\n")) << text.toStdString();
}

TEST_F(RecorderInstance, SecondStartWithAFileHandsItOverAndEnds) {
    QProcess& first = start(VEKVMAIL_EXE, {});
    ASSERT_TRUE(first.waitForStarted(5000));
    auto app = waitFor("TApplication", "voice lumo player");
    ASSERT_TRUE(app);
    const QString memo = path("memo 1.sc4");
    {
        QFile f(memo);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(spFile(3));
    }
    // A relative path is handed over as the full path.
    QProcess& second = start(VEKVMAIL_EXE, {"memo 1.sc4"}, m_dir.path());
    ASSERT_TRUE(second.waitForFinished(20000));
    EXPECT_EQ(second.exitCode(), 0);

    auto opened = waitFor("TVM0007Form", "voice lumo player [memo 1.sc4]", 10000);
    ASSERT_TRUE(opened) << "the first copy did not open the handed-over file";
    EXPECT_EQ(opened->socket, app->socket);
    QFile work(dataDir() + "vdata1.tmp");
    ASSERT_TRUE(work.open(QIODevice::ReadOnly));
    EXPECT_EQ(work.readAll(), spFile(3)) << "the file is in the working file";
    work.close();
    closeFirst(first, *app);
}

TEST_F(RecorderInstance, WhileTheFirstRecordsTheFileIsNotOpened) {
    QProcess& first = start(VEKVMAIL_PEER, {"recording"});
    ASSERT_TRUE(first.waitForStarted(5000));
    auto app = waitFor("TApplication", "Recording: voice lumo player");
    ASSERT_TRUE(app) << "the recording copy never registered under its recording title";
    ASSERT_TRUE(showWindow(*app, ShowCommand::Minimize));
    const QString memo = path("memo.sc4");
    {
        QFile f(memo);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(spFile(2));
    }
    secondStartEnds({memo});
    EXPECT_EQ(isIconic(*app), std::optional<bool>(false)) << "the recording copy comes to the front";
    QThread::msleep(500);
    EXPECT_TRUE(findWindow("TVM0007Form", "voice lumo player [New]").has_value());
    EXPECT_FALSE(findWindow("TVM0007Form", "voice lumo player [memo.sc4]").has_value());
    QFile work(dataDir() + "vdata1.tmp");
    ASSERT_TRUE(work.open(QIODevice::ReadOnly));
    EXPECT_EQ(work.size(), 0) << "the recording's working file is untouched";
    work.close();
    closeFirst(first, *app);
}

TEST_F(RecorderInstance, APlayingInstanceIsFoundAndTakesTheFile) {
    QProcess& first = start(VEKVMAIL_PEER, {"playing"});
    ASSERT_TRUE(first.waitForStarted(5000));
    auto app = waitFor("TApplication", "Playing: voice lumo player");
    ASSERT_TRUE(app) << "the playing copy never registered under its playing title";
    const QString memo = path("next.sc4");
    {
        QFile f(memo);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(spFile(5));
    }
    secondStartEnds({memo});
    auto opened = waitFor("TVM0007Form", "voice lumo player [next.sc4]", 10000);
    ASSERT_TRUE(opened) << "the playing copy did not take the file";
    EXPECT_EQ(opened->socket, app->socket);
    closeFirst(first, *app);
}

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
