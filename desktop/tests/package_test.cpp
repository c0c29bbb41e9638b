// The Debian package made by cpack: its name, files, control fields and
// scripts, and what lintian says of it.
// SPDX-License-Identifier: GPL-3.0-or-later
#include "harness.hpp"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

using namespace vek::desktoptest;

namespace {

// Builds the package once per process; the path of the .deb or empty.
QString package(QString* error) {
    static QString deb, failure;
    if (!deb.isEmpty() || !failure.isEmpty()) {
        *error = failure;
        return deb;
    }
    const QString out = scratch() + "/package";
    QDir().mkpath(out);
    const auto r = run(QStringLiteral(VEK_CPACK_COMMAND),
                       {"-G", "DEB", "--config", VEK_BUILD_DIR "/CPackConfig.cmake", "-B", out},
                       QProcessEnvironment::systemEnvironment(), 900000, out);
    const QStringList debs = QDir(out).entryList({"*.deb"}, QDir::Files);
    if (r.status != 0 || debs.size() != 1)
        failure = "cpack -G DEB failed or made no single package:\n" + r.text();
    else
        deb = out + '/' + debs.front();
    *error = failure;
    return deb;
}

QString architecture() {
    return QString::fromLocal8Bit(run(tool("dpkg"), {"--print-architecture"}).out).trimmed();
}

QString field(const QString& deb, const QString& name) {
    return QString::fromLocal8Bit(run(tool("dpkg-deb"), {"-f", deb, name}).out).trimmed();
}

#define PACKAGE_OR_SKIP(var)                                                                          \
    for (const char* t : {"dpkg", "dpkg-deb", "dpkg-shlibdeps"})                                      \
        if (tool(t).isEmpty()) GTEST_SKIP() << t << " missing (Debian: dpkg-dev)";                    \
    QString packageError;                                                                             \
    const QString var = package(&packageError);                                                      \
    ASSERT_FALSE(var.isEmpty()) << packageError.toStdString()

}  // namespace

TEST(DebianPackage, CarriesTheSuiteWithComputedDependenciesAndNoScripts) {
    PACKAGE_OR_SKIP(deb);
    EXPECT_EQ(QFileInfo(deb).fileName(), QStringLiteral("voice-lumo_%1_%2.deb").arg(VEK_VERSION, architecture()));
    EXPECT_EQ(field(deb, "Package"), "voice-lumo");
    EXPECT_EQ(field(deb, "Version"), VEK_VERSION);
    EXPECT_EQ(field(deb, "Section"), "sound");
    // From the binaries (shlibdeps) plus the desktop tools the programs call.
    const QStringList depends = field(deb, "Depends").split(QRegularExpression(",\\s*"));
    auto has = [&](const QString& pkg) {
        for (const QString& d : depends)
            if (d == pkg || d.startsWith(pkg + ' ')) return true;
        return false;
    };
    EXPECT_TRUE(has("xdg-utils")) << depends.join(", ").toStdString();
    EXPECT_TRUE(has("libc6")) << depends.join(", ").toStdString();
    EXPECT_TRUE(has("libstdc++6")) << depends.join(", ").toStdString();
#ifdef VEK_HAVE_VEKSHELL
    EXPECT_TRUE(has("libqt6widgets6")) << depends.join(", ").toStdString();
#endif
#ifdef VEK_HAVE_VEKCDC4
    EXPECT_TRUE(has("libbcg729-0")) << depends.join(", ").toStdString();
#endif
    EXPECT_EQ(field(deb, "Recommends"), "shared-mime-info");
    // No package of ours depends on itself or on a library it carries.
    for (const QString& d : depends) EXPECT_FALSE(d.startsWith("libvek")) << d.toStdString();

    // Control members: the fields and the checksums, no maintainer scripts.
    const auto ctrl = run(tool("dpkg-deb"), {"--ctrl-tarfile", deb});
    ASSERT_EQ(ctrl.status, 0);
    const QString ctrlTar = scratch() + "/control.tar";
    {
        QFile f(ctrlTar);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(ctrl.out);
    }
    QStringList members = QString::fromLocal8Bit(run("tar", {"-tf", ctrlTar}).out).split('\n', Qt::SkipEmptyParts);
    members.removeAll("./");
    members.sort();
    EXPECT_EQ(members, QStringList({"./control", "./md5sums"}));

    // The files: everything under /usr, the programs in their folder, only
    // links in /usr/bin.
    const auto list = run(tool("dpkg-deb"), {"-c", deb});
    ASSERT_EQ(list.status, 0);
    QStringList files, links;
    for (const QString& line : QString::fromLocal8Bit(list.out).split('\n', Qt::SkipEmptyParts)) {
        // "-rw-r--r-- root/root  1234 2026-12-08 00:00 ./usr/..." [-> target]
        const QStringList f = line.simplified().split(' ');
        ASSERT_GE(f.size(), 6) << line.toStdString();
        EXPECT_EQ(f[1], "root/root") << line.toStdString();
        const QString path = f[5];
        EXPECT_TRUE(path == "./" || path.startsWith("./usr/")) << path.toStdString();
        files << path;
        if (line.startsWith('l')) links << path + " -> " + f.value(7);
    }
    QStringList expected{"./usr/lib/voice-lumo/vekconv", "./usr/lib/voice-lumo/libvekcdc5.so",
                         "./usr/include/vekcdc5.h", "./usr/share/doc/voice-lumo/copyright",
                         "./usr/share/doc/voice-lumo/changelog.gz", "./usr/share/doc/voice-lumo/README.md",
                         "./usr/share/mime/packages/voice-lumo.xml",
                         "./usr/share/icons/hicolor/scalable/mimetypes/audio-x-vek-sc4.svg",
                         "./usr/share/icons/hicolor/16x16/mimetypes/audio-x-vek-sc4.png"};
    QStringList expectedLinks{"./usr/bin/vekconv -> ../lib/voice-lumo/vekconv"};
#ifdef VEK_HAVE_VEKSHELL
    expected << "./usr/lib/voice-lumo/VekShell" << "./usr/share/applications/voice-lumo-manager.desktop"
             << "./usr/share/icons/hicolor/256x256/apps/voice-lumo-manager.png";
    expectedLinks << "./usr/bin/VekShell -> ../lib/voice-lumo/VekShell";
#endif
#ifdef VEK_HAVE_VEKVMAIL
    expected << "./usr/lib/voice-lumo/VekVMail" << "./usr/share/applications/voice-lumo-player.desktop"
             << "./usr/share/icons/hicolor/scalable/apps/voice-lumo-player.svg";
    expectedLinks << "./usr/bin/VekVMail -> ../lib/voice-lumo/VekVMail";
#endif
#ifdef VEK_HAVE_STUBS
    expected << "./usr/lib/voice-lumo/vekgplay.exe" << "./usr/lib/voice-lumo/vekaplay.exe";
#endif
    for (const QString& e : expected) EXPECT_TRUE(files.contains(e)) << e.toStdString();
    links.sort();
    expectedLinks.sort();
    EXPECT_EQ(links, expectedLinks);
    for (const QString& f : files)
        if (f.startsWith("./usr/bin/") && f != "./usr/bin/") {
            EXPECT_TRUE(links.join('\n').contains(f + " -> ")) << f.toStdString() << " is not a link";
        }
}

TEST(DebianPackage, PassesLintianWithoutErrors) {
    if (tool("lintian").isEmpty()) GTEST_SKIP() << "lintian missing (Debian: lintian)";
    PACKAGE_OR_SKIP(deb);
    const auto r = run(tool("lintian"), {"--fail-on", "error", "--no-tag-display-limit", deb},
                       QProcessEnvironment::systemEnvironment(), 600000);
    ASSERT_TRUE(r.finished) << "lintian did not finish";
    EXPECT_EQ(r.status, 0) << r.text().toStdString();
    for (const QString& line : r.text().split('\n'))
        EXPECT_FALSE(line.startsWith("E: ")) << line.toStdString();
    std::printf("lintian:\n%s\n", qPrintable(r.text()));
}
