// The recorder as a person uses it: the real program on a virtual X display
// under a window manager, driven by key events (xdotool). The first start
// asks for the mail program; the menus open with their mnemonics; File >
// Exit closes the window and writes the settings; the next start opens
// where the last one closed. Skipped where Xvfb, openbox, xdotool or
// xwininfo is missing.
// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "x11_session.hpp"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <memory>

namespace {

using vekvmail_x11::X11Session;

bool haveTools(QString& missing) {
    return vekvmail_x11::haveTools({"Xvfb", "openbox", "xdotool", "xwininfo", "bash"}, missing);
}

QByteArray readIni(const QString& p) {
    QFile f(p);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Every test here runs on a display and window manager of its own, in a
// scratch folder of its own; a missing tool or display skips it.
class RecorderOnX11 : public ::testing::Test {
protected:
    void SetUp() override {
        QString missing;
        if (!haveTools(missing)) GTEST_SKIP() << missing.toStdString() << " is not installed";
        ASSERT_TRUE(m_dir.isValid());
        m_x = std::make_unique<X11Session>(m_dir.path());
        if (!m_x->ok()) GTEST_SKIP() << "no virtual display or window manager could be started";
    }
    QTemporaryDir m_dir;
    std::unique_ptr<X11Session> m_x;
};

}  // namespace

TEST_F(RecorderOnX11, MnemonicsExitAndSettingsAsAPersonUsesIt) {
    X11Session& x = *m_x;
    const QTemporaryDir& dir = m_dir;
    const QString ini = dir.path() + "/config/voice-lumo/VEKVMAIL.INI";

    QProcess app;
    app.setProcessEnvironment(x.env());
    app.start(VEKVMAIL_EXE, {});
    ASSERT_TRUE(app.waitForStarted(5000));

    // First run: the mail-program dialog. Alt+U picks "O&utlook", Enter confirms.
    const QString dlg = x.window("^Select Mail Program$", 20000);
    ASSERT_FALSE(dlg.isEmpty()) << "the first start did not ask for the mail program";
    x.keys(dlg, {"alt+u", "Return"});
    ASSERT_TRUE(x.gone("^Select Mail Program$"));
    EXPECT_EQ(readIni(ini), "[Main]\r\nMailProg=2\r\nMailRun=0\r\n");

    const QString main = x.window("^voice lumo player \\[New\\]$");
    ASSERT_FALSE(main.isEmpty());
    const QList<int> g = x.geometry(main);
    EXPECT_EQ(g[2], 272);
    EXPECT_GT(g[3], 206) << "the menu bar lies outside the 272 x 206 client area";
    EXPECT_LT(g[3], 206 + 40);

    // Each menu opens with Alt and its letter (a popup window appears), and
    // Escape closes it again.
    const int before = x.visibleWindowsOf(app.processId());
    ASSERT_GE(before, 1);
    for (const char* key : {"alt+f", "alt+e", "alt+c", "alt+o", "alt+s", "alt+h"}) {
        x.keys(main, {QString::fromLatin1(key)});
        EXPECT_EQ(x.waitForWindowsOf(app.processId(), before + 1), before + 1) << key << " opened no menu";
        x.keys(main, {"Escape", "Escape"});
        EXPECT_EQ(x.waitForWindowsOf(app.processId(), before), before) << key << " menu did not close";
    }
    // An item by its mnemonic: Option > Mail Program... shows the dialog
    // with the stored choice; Escape cancels it and nothing is written.
    x.keys(main, {"alt+o", "m"});
    const QString again = x.window("^Select Mail Program$");
    ASSERT_FALSE(again.isEmpty()) << "Alt+O, M did not open the mail-program dialog";
    x.keys(again, {"Escape"});
    ASSERT_TRUE(x.gone("^Select Mail Program$"));
    EXPECT_EQ(readIni(ini), "[Main]\r\nMailProg=2\r\nMailRun=0\r\n");

    // File > Exit: the program ends and writes its position.
    x.keys(main, {"alt+f", "x"});
    ASSERT_TRUE(app.waitForFinished(10000)) << "File > Exit did not close the program";
    EXPECT_EQ(app.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(app.exitCode(), 0);
    const QByteArray text = readIni(ini);
    EXPECT_TRUE(text.startsWith("[Main]\r\nMailProg=2\r\nMailRun=0\r\nMainLeft=")) << text.toStdString();
    EXPECT_TRUE(text.endsWith("\r\nStayOnTop=0\r\n")) << text.toStdString();
    EXPECT_TRUE(QDir(dir.path() + "/data/voice-lumo/DATA").entryList(QDir::Files).isEmpty())
        << "the working file was left behind";

    // The next start opens at the stored place (the outer corner of the
    // window) without asking again, and stores the same place on Exit.
    {
        QFile f(ini);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write("[Main]\r\nMailProg=2\r\nMailRun=0\r\nMainLeft=100\r\nMainTop=80\r\nStayOnTop=0\r\n");
    }
    QProcess second;
    second.setProcessEnvironment(x.env());
    second.start(VEKVMAIL_EXE, {});
    ASSERT_TRUE(second.waitForStarted(5000));
    const QString main2 = x.window("^voice lumo player \\[New\\]$", 20000);
    ASSERT_FALSE(main2.isEmpty());
    QThread::msleep(700);
    EXPECT_TRUE(x.window("^Select Mail Program$", 300).isEmpty()) << "asked again although settings exist";
    const QList<int> g2 = x.geometry(main2);
    EXPECT_GE(g2[0], 100);
    EXPECT_LE(g2[0], 110);
    EXPECT_GE(g2[1], 80) << "the client lies below the title bar";
    EXPECT_LE(g2[1], 120);
    x.keys(main2, {"alt+f", "x"});
    ASSERT_TRUE(second.waitForFinished(10000));
    EXPECT_TRUE(readIni(ini).contains("\r\nMainLeft=100\r\nMainTop=80\r\n")) << readIni(ini).toStdString();
}

// Open and Save As through the program's own file dialogs, names typed as a
// person types them: the dialogs start in the data folder, the typed name
// wins over the list, the extension of the chosen filter is added, and no
// piece of a dialog (its completion list) stays on the screen afterwards.
TEST_F(RecorderOnX11, OpenAndSaveAsThroughTheFileDialogs) {
    X11Session& x = *m_x;
    const QTemporaryDir& dir = m_dir;
    // A program folder of its own: settings, data folder and the SP player stub beside the program.
    const QString prog = dir.path() + "/prog/", home = dir.path() + "/files/";
    ASSERT_TRUE(QDir().mkpath(prog + "DATA") && QDir().mkpath(home));
    ASSERT_TRUE(QFile::copy(VEKVMAIL_EXE, prog + "VekVMail"));
    auto write = [](const QString& p, const QByteArray& b) {
        QFile f(p);
        return f.open(QIODevice::WriteOnly) && f.write(b) == b.size();
    };
    ASSERT_TRUE(write(prog + "VEKVMAIL.INI", "[Main]\r\n"));
    ASSERT_TRUE(write(prog + "vekgplay.exe", QByteArray(78848, 'G')));
    QByteArray memo;
    for (int s = 0; s < 10; ++s) memo += QByteArray("dmr1data\xF4\x01", 10) + QByteArray(500, char(s)) + QByteArray(2, 0);
    ASSERT_TRUE(write(home + "memo.sc4", memo));

    QProcess app;
    app.setProcessEnvironment(x.env());
    app.setWorkingDirectory(prog);
    app.start(prog + "VekVMail", {});
    ASSERT_TRUE(app.waitForStarted(5000));
    const QString main = x.window("^voice lumo player \\[New\\]$", 20000);
    ASSERT_FALSE(main.isEmpty());
    const int windows = x.visibleWindowsOf(app.processId());

    x.keys(main, {"ctrl+o"});
    const QString open = x.window("^Open$");
    ASSERT_FALSE(open.isEmpty()) << "Ctrl+O showed no Open dialog";
    x.run("xdotool", {"windowactivate", "--sync", open});
    x.run("xdotool", {"type", "--delay", "15", home + "memo.sc4"});
    x.keys(open, {"Return"});
    ASSERT_FALSE(x.window("^voice lumo player \\[memo\\.sc4\\]$").isEmpty()) << "the file was not opened";
    EXPECT_EQ(x.waitForWindowsOf(app.processId(), windows), windows) << "a piece of the dialog stayed";

    // Save As "copy" with the first filter: copy.sc4, the same bytes.
    auto saveAs = [&](const QStringList& before, const QString& name) {
        x.keys(main, {"alt+f", "a"});
        const QString dlg = x.window("^Save As$");
        ASSERT_FALSE(dlg.isEmpty()) << "File > Save As showed no dialog";
        x.keys(dlg, before + QStringList{"ctrl+a"});
        x.run("xdotool", {"type", "--delay", "15", name});
        x.keys(dlg, {"Return"});
        ASSERT_TRUE(x.gone("^Save As$"));
    };
    saveAs({}, home + "copy");
    ASSERT_FALSE(x.window("^voice lumo player \\[copy\\.sc4\\]$").isEmpty());
    EXPECT_EQ(readIni(home + "copy.sc4"), memo);
    // The player filter chosen first, then "memo.sc4" typed: memo.sc4.exe.
    saveAs({"Tab", "Down", "shift+Tab"}, home + "memo.sc4");
    ASSERT_FALSE(x.window("^voice lumo player \\[memo\\.sc4\\.exe\\]$").isEmpty());
    const QByteArray exe = readIni(home + "memo.sc4.exe");
    EXPECT_EQ(exe.size(), 78848 + 12 + memo.size());
    EXPECT_EQ(exe.mid(78848, 8), QByteArray("TARKAVF\0", 8));
    EXPECT_EQ(exe.mid(78860), memo);
    EXPECT_EQ(x.waitForWindowsOf(app.processId(), windows), windows);
    if (!QStandardPaths::findExecutable("import").isEmpty())
        x.run("import", {"-window", "root", QCoreApplication::applicationDirPath() + "/../Testing/vekvmail-files-x11.png"});

    x.keys(main, {"alt+f", "x"});
    ASSERT_TRUE(app.waitForFinished(10000)) << "File > Exit did not close the program";
}

// A file dragged with the real pointer from another program's window onto
// the recorder opens and plays.
TEST_F(RecorderOnX11, AFileDraggedInFromAnotherProgramOpens) {
    X11Session& x = *m_x;
    const QTemporaryDir& dir = m_dir;
    vek::testsupport::SoundServer sound;
    if (!sound.start()) GTEST_SKIP() << "no sound server: " << sound.error();
    QProcessEnvironment env = x.env();
    env.insert("PULSE_SERVER", QString::fromStdString(sound.server()));
    QDir().mkpath(dir.path() + "/config/voice-lumo");
    {
        QFile ini(dir.path() + "/config/voice-lumo/VEKVMAIL.INI");
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write("[Main]\r\nMailProg=3\r\nMailRun=0\r\n");
    }
    const QString memo = dir.path() + "/memo.sc4";
    {
        QFile f(memo);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        for (int s = 0; s < 4; ++s)
            f.write(QByteArray("dmr1data\xF4\x01", 10) + QByteArray(500, char(s)) + QByteArray(2, 0));
    }
    auto start = [&](QProcess& p, const QString& program, const QStringList& args) {
        p.setProcessEnvironment(env);
        p.start(program, args);
        return p.waitForStarted(5000);
    };
    // Presses at (x0, y0), moves in steps to (x1, y1) and lets go there.
    auto drag = [&](int x0, int y0, int x1, int y1) {
        x.run("xdotool", {"mousemove", QString::number(x0), QString::number(y0), "mousedown", "1"});
        for (int i = 1; i <= 10; ++i) {
            QThread::msleep(80);
            x.run("xdotool",
                  {"mousemove", QString::number(x0 + (x1 - x0) * i / 10), QString::number(y0 + (y1 - y0) * i / 10)});
        }
        QThread::msleep(300);
        x.run("xdotool", {"mouseup", "1"});
    };

    QProcess app, source;
    ASSERT_TRUE(start(app, VEKVMAIL_EXE, {}));
    const QString main = x.window("^voice lumo player \\[New\\]$", 20000);
    ASSERT_FALSE(main.isEmpty());
    const QList<int> g = x.geometry(main);

    ASSERT_TRUE(start(source, VEKVMAIL_DROPPEER, {memo}));
    const QString from = x.window("^drag peer$");
    ASSERT_FALSE(from.isEmpty());
    x.run("xdotool", {"windowmove", "--sync", from, "500", "100"});
    const QList<int> s = x.geometry(from);
    drag(s[0] + 100, s[1] + 100, g[0] + 130, g[1] + g[3] - 60);
    EXPECT_FALSE(x.window("^voice lumo player \\[memo\\.sc4\\]$", 10000).isEmpty())
        << "the dropped file was not opened";
    source.kill();
    source.waitForFinished(3000);
    // Exit and its settings are the test above's.
    app.terminate();
    app.waitForFinished(10000);
}
