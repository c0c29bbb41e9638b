// The suite installed into a prefix and moved elsewhere: its layout, its
// icons, and its commands and programs started from the moved copy.
// SPDX-License-Identifier: GPL-3.0-or-later
#include "harness.hpp"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QSvgRenderer>

#include <unistd.h>

using namespace vek::desktoptest;

namespace {

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList expectedCommands() {
    QStringList c{QStringLiteral("vekconv")};
#ifdef VEK_HAVE_VEKSHELL
    c << QStringLiteral("VekShell");
#endif
#ifdef VEK_HAVE_VEKVMAIL
    c << QStringLiteral("VekVMail");
#endif
    c.sort();
    return c;
}

// readelf's RUNPATH/RPATH entries of an ELF file ("" when it has none).
QString runPath(const QString& file) {
    const auto r = run(tool(QStringLiteral("readelf")), {QStringLiteral("-d"), file});
    static const QRegularExpression re(QStringLiteral("\\((?:RUNPATH|RPATH)\\)\\s+Library r\\w*path: \\[([^\\]]*)\\]"));
    QStringList paths;
    for (auto it = re.globalMatch(QString::fromLocal8Bit(r.out)); it.hasNext();) paths << it.next().captured(1);
    return paths.join(QLatin1Char(';'));
}


}  // namespace

TEST(InstalledSuite, CommandsAreLinksIntoOneProgramFolder) {
    SUITE_OR_FAIL(s);
    // bin/ holds only the commands: no library, no Windows stub on PATH.
    QStringList inBin = QDir(s->binDir).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
    inBin.sort();
    EXPECT_EQ(inBin, expectedCommands());
    for (const QString& name : expectedCommands()) {
        const QFileInfo link(s->binDir + QLatin1Char('/') + name);
        ASSERT_TRUE(link.isSymLink()) << name.toStdString();
        // Relative, so that the moved prefix still works.
        char target[4096];
        const ssize_t n = ::readlink(QFile::encodeName(link.filePath()).constData(), target, sizeof target - 1);
        ASSERT_GT(n, 0);
        EXPECT_NE(target[0], '/') << name.toStdString() << " links to an absolute path";
        EXPECT_EQ(link.canonicalFilePath(), QFileInfo(s->progDir + QLatin1Char('/') + name).canonicalFilePath());
        const QFileInfo real(s->progDir + QLatin1Char('/') + name);
        EXPECT_TRUE(real.isExecutable()) << name.toStdString();
        EXPECT_TRUE(readFile(real.filePath()).startsWith("\x7f" "ELF")) << name.toStdString();
        // Its manual page, compressed as the distributions keep them.
        const QByteArray man = readFile(s->shareDir + "/man/man1/" + name + ".1.gz");
        EXPECT_EQ(man.left(2), QByteArray("\x1f\x8b")) << name.toStdString() << " has no manual page";
    }
    // The companions the programs look for beside themselves.
    EXPECT_TRUE(QFileInfo(s->progDir + "/libvekcdc5.so").isFile());
#ifdef VEK_HAVE_VEKCDC4
    EXPECT_TRUE(QFileInfo(s->progDir + "/libvekcdc4.so").isFile());
#endif
#ifdef VEK_HAVE_STUBS
    for (const char* stub : {"vekgplay.exe", "vekaplay.exe"}) {
        const QByteArray b = readFile(s->progDir + '/' + stub);
        EXPECT_TRUE(b.startsWith("MZ")) << stub;
    }
#endif
#ifdef VEK_HELP_SOURCE_DIR
    // The help pages, where the recorder opens them: "help/" beside it.
    QStringList pages = treeSnapshot(VEK_HELP_SOURCE_DIR), installed = treeSnapshot(s->progDir + "/help");
    for (QStringList* l : {&pages, &installed})
        for (QString& e : *l) e = e.section(' ', 0, 1);  // name and size
    EXPECT_FALSE(pages.isEmpty());
    EXPECT_EQ(installed, pages);
#endif
    // The public header, as it is in the sources.
    EXPECT_EQ(readFile(s->prefix + "/include/vekcdc5.h"), readFile(VEK_SOURCE_DIR "/codec/include/vekcdc5.h"));
    // The documentation where the about box looks, seen from the program folder.
    const QString docs = QDir::cleanPath(s->progDir + "/" VEK_PROGDIR_TO_DOCDIR);
    EXPECT_EQ(readFile(docs + "/README.md"), readFile(VEK_SOURCE_DIR "/README.md"));
    EXPECT_TRUE(readFile(docs + "/copyright").contains("/usr/share/common-licenses/GPL-3"));
    const QByteArray changelog = readFile(docs + "/changelog.gz");
    ASSERT_GE(changelog.size(), 10);
    EXPECT_EQ(changelog.left(2), QByteArray("\x1f\x8b"));
    // A gzip header without a time stamp (bytes 4..7), so builds are the same.
    EXPECT_EQ(changelog.mid(4, 4), QByteArray(4, '\0'));
}

TEST(InstalledSuite, BinariesFindTheirLibrariesBesideThemselvesOnly) {
    if (tool(QStringLiteral("readelf")).isEmpty()) GTEST_SKIP() << "readelf missing (Debian: binutils)";
    SUITE_OR_FAIL(s);
    int elfs = 0;
    for (const QFileInfo& fi : QDir(s->progDir).entryInfoList(QDir::Files)) {
        if (!readFile(fi.filePath()).startsWith("\x7f" "ELF")) continue;
        ++elfs;
        const QString rp = runPath(fi.filePath());
        // Nothing from the build tree, no empty entry (the current folder).
        EXPECT_TRUE(rp.isEmpty() || rp == QLatin1String("$ORIGIN")) << fi.fileName().toStdString() << ": " << rp.toStdString();
        if (fi.fileName().startsWith(QLatin1String("Vek")) || fi.fileName() == QLatin1String("vekconv")) {
            EXPECT_EQ(rp, QStringLiteral("$ORIGIN")) << fi.fileName().toStdString();
        }
    }
    EXPECT_GE(elfs, 2);
}

TEST(InstalledSuite, IconsInEverySizeMatchTheEntriesAndTheFileType) {
    SUITE_OR_FAIL(s);
    const QString hicolor = s->shareDir + "/icons/hicolor";
    QStringList icons{"apps/voice-lumo-manager", "mimetypes/audio-x-vek-sc4"};
#ifdef VEK_HAVE_VEKVMAIL
    icons << "apps/voice-lumo-player";
#endif
    for (const QString& icon : icons) {
        const QString ctx = icon.section('/', 0, 0), name = icon.section('/', 1);
        QSvgRenderer svg(hicolor + "/scalable/" + ctx + "/" + name + ".svg");
        EXPECT_TRUE(svg.isValid()) << name.toStdString();
        for (int size : {VEK_ICON_SIZES}) {
            const QString png = QStringLiteral("%1/%2x%2/%3/%4.png").arg(hicolor).arg(size).arg(ctx, name);
            QImage img(png);
            ASSERT_FALSE(img.isNull()) << png.toStdString();
            EXPECT_EQ(img.size(), QSize(size, size)) << png.toStdString();
            // Drawn, with a see-through corner: neither empty nor a filled square.
            int opaque = 0;
            for (int y = 0; y < size; ++y)
                for (int x = 0; x < size; ++x) opaque += qAlpha(img.pixel(x, y)) > 128;
            EXPECT_GT(opaque, size * size / 8) << png.toStdString();
            EXPECT_EQ(qAlpha(img.pixel(0, 0)), 0) << png.toStdString();
        }
    }
    // Each menu entry's Icon is one of ours; the file type's icon is its
    // default name (type with the slash as a dash).
    for (const QFileInfo& fi : QDir(s->shareDir + "/applications").entryInfoList({"*.desktop"})) {
        QSettings entry(fi.filePath(), QSettings::IniFormat);
        const QString icon = entry.value("Desktop Entry/Icon").toString();
        EXPECT_TRUE(QFileInfo(hicolor + "/scalable/apps/" + icon + ".svg").isFile()) << icon.toStdString();
        EXPECT_TRUE(QFileInfo(hicolor + "/48x48/apps/" + icon + ".png").isFile()) << icon.toStdString();
    }
    EXPECT_TRUE(readFile(s->shareDir + "/mime/packages/voice-lumo.xml").contains("type=\"audio/x-vek-sc4\""));
}

TEST(InstalledSuite, VekconvRunsFromTheMovedPrefix) {
    SUITE_OR_FAIL(s);
    const QString work = scratch() + "/vekconv-work";
    QDir().mkpath(work);
    const QString sc4 = work + "/memo.sc4";
    ASSERT_TRUE(QFile::copy(VEK_SAMPLES_DIR "/demo-hq.sc4", sc4));
    const auto env = sessionEnvironment(s);
    const QString vekconv = s->binDir + "/vekconv";

    auto info = run(vekconv, {"info", sc4}, env, 30000, work);
    ASSERT_EQ(info.status, 0) << info.text().toStdString();
    EXPECT_TRUE(info.text().contains("\tHQ")) << info.text().toStdString();

    auto wav = run(vekconv, {"to-wav", "--yes", sc4}, env, 60000, work);
    ASSERT_EQ(wav.status, 0) << wav.text().toStdString();
    const QByteArray w = readFile(work + "/memo.wav");
    EXPECT_TRUE(w.startsWith("RIFF")) << "no WAV file written";
    EXPECT_EQ(w.mid(8, 4), QByteArray("WAVE"));

#ifdef VEK_HAVE_STUBS
    // The stub is found beside the real program, not beside the link in bin/.
    auto exe = run(vekconv, {"make-exe", sc4, work + "/memo.exe"}, env, 60000, work);
    ASSERT_EQ(exe.status, 0) << exe.text().toStdString();
    const QByteArray e = readFile(work + "/memo.exe");
    EXPECT_EQ(e.left(2), QByteArray("MZ"));
    EXPECT_GT(e.size(), QFileInfo(s->progDir + "/vekaplay.exe").size());
#endif
}

#ifdef VEK_HAVE_VEKSHELL
namespace {

struct Started {
    QProcess proc;
    std::optional<vek::winreg::WindowRef> window;
};

void startManager(const InstalledSuite& s, Started& m) {
    m.proc.setProcessEnvironment(sessionEnvironment(&s));
    m.proc.setStandardInputFile(QProcess::nullDevice());
    m.proc.start(s.binDir + "/VekShell", {});
    ASSERT_TRUE(m.proc.waitForStarted(10000));
    m.window = waitForWindow("TApplication", "voice lumo manager", 30000);
    ASSERT_TRUE(m.window.has_value()) << "the manager never showed its window: "
                                      << QString::fromLocal8Bit(m.proc.readAllStandardError()).toStdString();
}

void closeManager(Started& m) {
    ASSERT_TRUE(m.window.has_value());
    EXPECT_EQ(vek::winreg::sendMessage(*m.window, 0x0010, {}), std::optional<qint64>(1));
    const bool ended = m.proc.waitForFinished(15000);
    if (!ended) m.proc.kill();
    ASSERT_TRUE(ended);
    EXPECT_EQ(m.proc.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(m.proc.exitCode(), 0);
}

}  // namespace

TEST(InstalledSuite, ManagerStartsThroughItsLinkAndLeavesItsFolderAlone) {
    SUITE_OR_FAIL(s);
    const QStringList before = treeSnapshot(s->progDir);
    QFile::remove(sessionDir("config") + "/voice-lumo/VekShell.ini");
    Started m;
    startManager(*s, m);
    if (HasFatalFailure()) return;
    EXPECT_EQ(ownerPid(*m.window), m.proc.processId());
    // The codec libraries come from the moved program folder.
    const QStringList maps = mappedFiles(m.proc.processId());
    const QString lib = QFileInfo(s->progDir + "/libvekcdc5.so").canonicalFilePath();
    EXPECT_TRUE(maps.contains(lib)) << maps.join('\n').toStdString();
    for (const QString& f : maps) EXPECT_FALSE(f.startsWith(VEK_BUILD_DIR)) << f.toStdString();
    closeManager(m);
    // Its settings went to the user's folder, and nothing into its own.
    EXPECT_TRUE(QFileInfo(sessionDir("config") + "/voice-lumo/VekShell.ini").isFile());
    EXPECT_EQ(treeSnapshot(s->progDir), before);
}

TEST(InstalledSuite, ManagerReadsASettingsFileCarriedIntoItsFolder) {
    SUITE_OR_FAIL(s);
    // A settings file beside the real program (not beside the link) names a
    // folder of its own; the manager must find it through the link.
    const QString marked = scratch() + "/carried-over-folder";
    QDir().mkpath(marked);
    const QString beside = s->progDir + "/VekShell.ini";
    {
        QFile f(beside);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[Main]\r\nFlags=0\r\nShellListView_Path=" + QFile::encodeName(marked) + "/\r\n");
    }
    const QString user = sessionDir("config") + "/voice-lumo/VekShell.ini";
    QFile::remove(user);
    Started m;
    startManager(*s, m);
    if (!HasFatalFailure()) closeManager(m);
    // Written back beside the program when that folder can be written (a
    // portable install), else the user's own copy starts from it.
    const QByteArray written = readFile(::access(QFile::encodeName(s->progDir).constData(), W_OK) == 0 ? beside : user);
    QFile::remove(beside);
    EXPECT_TRUE(written.contains("ShellListView_Path=" + QFile::encodeName(marked) + "/\r\n")) << written.toStdString();
}
#endif

TEST(InstalledSuite, RecorderStartsThroughItsLinkAndOpensAFile) {
#ifndef VEK_HAVE_VEKVMAIL
    GTEST_SKIP() << "VekVMail is not part of this build: its install is not checked";
#else
    SUITE_OR_FAIL(s);
    const QStringList before = treeSnapshot(s->progDir);
    const QString memo = scratch() + "/recorder-memo.sc4";
    QFile::remove(memo);
    ASSERT_TRUE(QFile::copy(VEK_SAMPLES_DIR "/demo-hq.sc4", memo));
    recorderHasRunBefore();
    QProcess p;
    p.setProcessEnvironment(sessionEnvironment(s));
    p.setStandardInputFile(QProcess::nullDevice());
    p.start(s->binDir + "/VekVMail", {memo});
    ASSERT_TRUE(p.waitForStarted(10000));
    auto w = waitForWindow("TVM0007Form", "voice lumo player [recorder-memo.sc4]", 30000);
    if (!w) p.kill();
    ASSERT_TRUE(w.has_value()) << "no recorder window with the file's name: "
                               << QString::fromLocal8Bit(p.readAllStandardError()).toStdString();
    const QStringList maps = mappedFiles(p.processId());
    EXPECT_TRUE(maps.contains(QFileInfo(s->progDir + "/libvekcdc5.so").canonicalFilePath())) << maps.join('\n').toStdString();
    vek::winreg::sendMessage(*w, 0x0010, {});
    const bool ended = p.waitForFinished(15000);
    if (!ended) p.kill();
    EXPECT_TRUE(ended);
    EXPECT_EQ(treeSnapshot(s->progDir), before);
#endif
}
