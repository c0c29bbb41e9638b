// The menu entries and the SC4 file type as the desktop tools see them, in a
// private data folder: validation, detection by content and by name, the
// default application, and a double-click (xdg-open) under a virtual display.
// SPDX-License-Identifier: GPL-3.0-or-later
#include "harness.hpp"

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QThread>

using namespace vek::desktoptest;

namespace {

constexpr const char* kType = "audio/x-vek-sc4";

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    f.write(bytes);
}

// A recording of the mode, or (when the build has no sample of it) one
// sector that starts the way that mode's files start.
QByteArray recording(const char* mode) {
    const QByteArray sample = readFile(QStringLiteral(VEK_SAMPLES_DIR "/demo-%1.sc4").arg(QLatin1String(mode)));
    if (!sample.isEmpty()) return sample;
    QByteArray sector(512, '\0');
    if (QByteArray(mode) == "sp") sector.replace(0, 8, "dmr1data");
    else sector.replace(0, 5, QByteArray("\x00\x00\x01\x1b", 4) + (QByteArray(mode) == "hq" ? '\x1d' : '\x1a'));
    return sector;
}

QString missingTool(const QStringList& tools) {
    for (const QString& t : tools)
        if (tool(t).isEmpty()) return t;
    return {};
}

// The generic path of xdg-mime reads the shared MIME database through
// mimetype (libfile-mimeinfo-perl); without it, it asks file(1), which
// knows nothing of the database.
const QStringList kMimeTools{"update-mime-database", "update-desktop-database", "xdg-mime", "mimetype"};


#define SKIP_WITHOUT(...)                                                                              \
    if (const QString m = missingTool(__VA_ARGS__); !m.isEmpty())                                          \
    GTEST_SKIP() << m.toStdString() << " missing (Debian: desktop-file-utils, shared-mime-info, "      \
                                      "xdg-utils, libfile-mimeinfo-perl, xvfb)"

QString queryFiletype(const QProcessEnvironment& env, const QString& file) {
    const auto r = run(tool("xdg-mime"), {"query", "filetype", file}, env, 30000);
    return QString::fromLocal8Bit(r.out).trimmed().section(';', 0, 0);
}

}  // namespace

TEST(DesktopEntries, PassValidationAndNameOurProgramsAndIcons) {
    SKIP_WITHOUT(QStringList{"desktop-file-validate"});
    // The sources' entries always (the player's too, even when the recorder
    // is not built), the installed ones as installed.
    QStringList entries{VEK_SOURCE_DIR "/desktop/voice-lumo-manager.desktop",
                        VEK_SOURCE_DIR "/desktop/voice-lumo-player.desktop"};
    SUITE_OR_FAIL(s);
    for (const QFileInfo& fi : QDir(s->shareDir + "/applications").entryInfoList({"*.desktop"}))
        entries << fi.filePath();
    for (const QString& e : entries) {
        const auto r = run(tool("desktop-file-validate"), {e});
        EXPECT_EQ(r.status, 0) << e.toStdString() << ":\n" << r.text().toStdString();
        // Hints are fine; warnings and errors are not.
        EXPECT_FALSE(r.text().contains("error:") || r.text().contains("warning:")) << r.text().toStdString();
    }

    QSettings manager(VEK_SOURCE_DIR "/desktop/voice-lumo-manager.desktop", QSettings::IniFormat);
    EXPECT_EQ(manager.value("Desktop Entry/Name").toString(), "voice lumo manager");
    EXPECT_EQ(manager.value("Desktop Entry/Exec").toString(), "VekShell");
    QSettings player(VEK_SOURCE_DIR "/desktop/voice-lumo-player.desktop", QSettings::IniFormat);
    EXPECT_EQ(player.value("Desktop Entry/Name").toString(), "voice lumo player");
    EXPECT_EQ(player.value("Desktop Entry/Exec").toString(), "VekVMail %f");
    EXPECT_TRUE(player.value("Desktop Entry/MimeType").toString().split(';').contains(kType));

    // Each installed entry starts a command that the install put in bin/.
    int installed = 0;
    for (const QFileInfo& fi : QDir(s->shareDir + "/applications").entryInfoList({"*.desktop"})) {
        QSettings entry(fi.filePath(), QSettings::IniFormat);
        const QString cmd = entry.value("Desktop Entry/Exec").toString().section(' ', 0, 0);
        EXPECT_TRUE(QFileInfo(s->binDir + '/' + cmd).isExecutable()) << cmd.toStdString();
        ++installed;
    }
#ifdef VEK_HAVE_VEKVMAIL
    EXPECT_EQ(installed, 2);
#else
    // Without the recorder only the manager's entry is installed.
    EXPECT_EQ(installed, 1);
    EXPECT_FALSE(QFileInfo::exists(s->shareDir + "/applications/voice-lumo-player.desktop"));
#endif
}

TEST(SC4FileType, RecognisedByContentWhenRenamedAndByNameInEitherCase) {
    SKIP_WITHOUT(kMimeTools);
    SUITE_OR_FAIL(s);
    const auto env = sessionEnvironment(s);
    const QString err = registerDesktopData(*s, env);
    ASSERT_TRUE(err.isEmpty()) << err.toStdString();
    const QString dir = scratch() + "/filetype";
    QDir().mkpath(dir);

    // Renamed, without the extension: only the first five bytes tell.
    for (const char* mode : {"sp", "hq", "shq"}) {
        const QString f = dir + "/renamed-recording-" + mode;
        writeFile(f, recording(mode));
        EXPECT_EQ(queryFiletype(env, f), kType) << mode;
    }
    // By name alone, whatever the content, in either case.
    for (const char* name : {"MEMO.SC4", "memo.sc4", "Memo.Sc4"}) {
        writeFile(dir + '/' + name, "not a recording at all, just text\n");
        EXPECT_EQ(queryFiletype(env, dir + '/' + name), kType) << name;
    }
    // Near misses of the signatures are not ours.
    const QByteArray nearMisses[] = {
        QByteArray("\x00\x00\x01\x1b\x1c", 5) + QByteArray(507, '\x11'),  // neither HQ nor SHQ
        QByteArray("\x00\x00\x01\x1a\x1d", 5) + QByteArray(507, '\x11'),
        QByteArray("dmr1xdata") + QByteArray(503, '\x11'),
        QByteArray("\x00\x00\x00\x00\x00", 5) + QByteArray("dmr1d") + QByteArray(502, '\x11'),  // not at the start
    };
    int i = 0;
    for (const QByteArray& b : nearMisses) {
        const QString f = dir + QStringLiteral("/near-miss-%1").arg(i++);
        writeFile(f, b);
        EXPECT_NE(queryFiletype(env, f), kType) << f.toStdString();
    }
    // And without our database nothing is recognised: the type comes from it
    // (unless the package is installed on this machine).
    if (!QFileInfo::exists("/usr/share/mime/packages/voice-lumo.xml")) {
        auto bare = env;
        bare.insert("XDG_DATA_HOME", scratch() + "/empty-data-home");
        EXPECT_NE(queryFiletype(bare, dir + "/renamed-recording-hq"), kType);
    }
}

TEST(SC4FileType, DefaultApplicationIsTheRecorder) {
#ifndef VEK_HAVE_VEKVMAIL
    GTEST_SKIP() << "VekVMail is not part of this build: its entry is not installed";
#else
    SKIP_WITHOUT(kMimeTools);
    SUITE_OR_FAIL(s);
    const auto env = sessionEnvironment(s);
    const QString err = registerDesktopData(*s, env);
    ASSERT_TRUE(err.isEmpty()) << err.toStdString();
    const auto r = run(tool("xdg-mime"), {"query", "default", kType}, env, 30000);
    EXPECT_EQ(QString::fromLocal8Bit(r.out).trimmed(), "voice-lumo-player.desktop") << r.text().toStdString();
    // The manager's entry does not claim the type.
    EXPECT_FALSE(readFile(sessionDir("data") + "/applications/mimeinfo.cache").contains("voice-lumo-manager"));
#endif
}

namespace {

// A desktop session under a virtual display with our data registered.
struct DesktopSession {
    VirtualDisplay x;
    QProcessEnvironment env;
    QString error;
    explicit DesktopSession(const InstalledSuite& s) {
        if (!x.ok()) {
            error = x.error();
            return;
        }
        env = sessionEnvironment(&s);
        env.remove("QT_QPA_PLATFORM");  // the real X11 platform, as on a desktop
        env.insert("DISPLAY", x.display());
        error = registerDesktopData(s, env);
    }
};

}  // namespace

TEST(SC4FileType, ManagerOpenVerbHandsTheFileToTheDesktop) {
    SKIP_WITHOUT(kMimeTools + QStringList{"xdg-open", "Xvfb"});
    SUITE_OR_FAIL(s);
    DesktopSession d(*s);
    ASSERT_TRUE(d.error.isEmpty()) << d.error.toStdString();
    // A stand-in for the default application of the type that notes what it
    // was asked to open: what reaches it came through the desktop's lookup.
    const QString apps = sessionDir("data") + "/applications";
    const QString noted = scratch() + "/opened-with";
    const QString script = scratch() + "/stand-in-recorder";
    QFile::remove(noted);
    writeFile(script, "#!/bin/sh\nprintf '%s' \"$1\" > '" + QFile::encodeName(noted) + "'\n");
    QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    writeFile(apps + "/vek-stand-in.desktop",
              "[Desktop Entry]\nType=Application\nName=stand-in\nExec=" + QFile::encodeName(script) +
                  " %f\nMimeType=audio/x-vek-sc4;\n");
    QDir().mkpath(sessionDir("config"));
    writeFile(sessionDir("config") + "/mimeapps.list", "[Default Applications]\naudio/x-vek-sc4=vek-stand-in.desktop\n");

    const QString memo = scratch() + "/verb memo.sc4";  // a space, as file names have
    writeFile(memo, recording("hq"));
    const auto r = run(VEK_OPEN_VERB, {memo}, d.env, 30000);
    EXPECT_EQ(r.status, 0) << r.text().toStdString();
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 20000 && !QFileInfo::exists(noted)) QThread::msleep(100);
    EXPECT_EQ(QString::fromLocal8Bit(readFile(noted)), memo);
    QFile::remove(sessionDir("config") + "/mimeapps.list");
    QFile::remove(apps + "/vek-stand-in.desktop");
}

TEST(SC4FileType, DoubleClickOpensTheRecorderAndASecondOneHandsOver) {
#ifndef VEK_HAVE_VEKVMAIL
    GTEST_SKIP() << "VekVMail is not part of this build: nothing to open SC4 files with";
#else
    SKIP_WITHOUT(kMimeTools + QStringList{"xdg-open", "Xvfb"});
    SUITE_OR_FAIL(s);
    DesktopSession d(*s);
    ASSERT_TRUE(d.error.isEmpty()) << d.error.toStdString();
    const QString dir = scratch() + "/double-click";
    QDir().mkpath(dir);
    writeFile(dir + "/memo.sc4", recording("hq"));
    writeFile(dir + "/second.sc4", recording("shq"));

    recorderHasRunBefore();
    QProcess first;
    first.setProcessEnvironment(d.env);
    first.setWorkingDirectory(dir);
    first.setStandardInputFile(QProcess::nullDevice());
    first.start(tool("xdg-open"), {"memo.sc4"});
    ASSERT_TRUE(first.waitForStarted(10000));
    auto w = waitForWindow("TVM0007Form", "voice lumo player [memo.sc4]", 30000);
    ASSERT_TRUE(w.has_value()) << "xdg-open did not bring up the recorder: "
                               << QString::fromLocal8Bit(first.readAllStandardError()).toStdString();

    // The second double-click: the running window takes the file, the new
    // copy ends.
    const auto second = run(tool("xdg-open"), {"second.sc4"}, d.env, 30000, dir);
    EXPECT_TRUE(second.finished);
    EXPECT_EQ(second.status, 0) << second.text().toStdString();
    EXPECT_TRUE(waitForWindow("TVM0007Form", "voice lumo player [second.sc4]", 15000).has_value());
    int recorders = 0;
    for (const auto& win : vek::winreg::allWindows()) recorders += win.className == "TVM0007Form";
    EXPECT_EQ(recorders, 1);

    // The panel groups the window under the menu entry by its WM_CLASS.
    if (!tool("xwininfo").isEmpty()) {
        QSettings entry(sessionDir("data") + "/applications/voice-lumo-player.desktop", QSettings::IniFormat);
        const QString wmClass = entry.value("Desktop Entry/StartupWMClass").toString();
        const auto tree = run(tool("xwininfo"), {"-root", "-tree"}, d.env, 15000);
        bool found = false;
        for (const QString& line : tree.text().split('\n'))
            if (line.contains("\"voice lumo player [second.sc4]\"")) found = found || line.contains("\"" + wmClass + "\")");
        EXPECT_TRUE(found) << "no window of class " << wmClass.toStdString() << ":\n" << tree.text().toStdString();
    }

    EXPECT_TRUE(closeAndWait(*w, 15000));
    first.waitForFinished(10000);
#endif
}
