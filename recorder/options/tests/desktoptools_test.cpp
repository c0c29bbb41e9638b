// The volume command's choice of mixer, the user's guide pages and how they
// are opened, and the guides themselves as the build ships them.
// SPDX-License-Identifier: GPL-3.0-or-later
#include "vek/recoptions/desktoptools.hpp"

#include "fakelauncher.hpp"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

using namespace vekvmail;

namespace {

std::optional<TProgramCommand> mixerFor(QStringList installed, QStringList desktops) {
    FakeLauncher l;
    l.installed = QSet<QString>(installed.begin(), installed.end());
    l.desktops = desktops;
    return volumeControlCommand(l);
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

TEST(VolumeCommand, PrefersPavucontrolThenTheDesktopsOwnSettings) {
    using C = TProgramCommand;
    EXPECT_EQ(mixerFor({"pavucontrol", "gnome-control-center"}, {"GNOME"}), (C{"/usr/bin/pavucontrol", {}}));
    EXPECT_EQ(mixerFor({"gnome-control-center"}, {"ubuntu", "GNOME"}), (C{"/usr/bin/gnome-control-center", {"sound"}}));
    EXPECT_EQ(mixerFor({"systemsettings", "gnome-control-center"}, {"KDE"}), (C{"/usr/bin/systemsettings", {"kcm_pulseaudio"}}));
    EXPECT_EQ(mixerFor({"kcmshell5", "gnome-control-center"}, {"kde"}), (C{"/usr/bin/kcmshell5", {"kcm_pulseaudio"}}));
    EXPECT_EQ(mixerFor({"cinnamon-settings", "mate-volume-control"}, {"X-Cinnamon"}),
              (C{"/usr/bin/cinnamon-settings", {"sound"}}));
    // Another desktop's settings when the running one has none installed.
    EXPECT_EQ(mixerFor({"mate-volume-control"}, {"XFCE"}), (C{"/usr/bin/mate-volume-control", {}}));
    EXPECT_EQ(mixerFor({"gnome-control-center"}, {}), (C{"/usr/bin/gnome-control-center", {"sound"}}));
    EXPECT_FALSE(mixerFor({"xterm", "firefox"}, {"GNOME"}));
    EXPECT_FALSE(mixerFor({}, {}));
}

TEST(VolumeCommand, StartsTheMixerOrNothing) {
    FakeLauncher l;
    EXPECT_FALSE(openVolumeControl(l));
    EXPECT_TRUE(l.started.empty());
    EXPECT_TRUE(l.opened.empty());
    l.installed = {"gnome-control-center"};
    l.desktops = {"GNOME"};
    EXPECT_TRUE(openVolumeControl(l));
    ASSERT_EQ(l.started.size(), 1u);
    EXPECT_EQ(l.started[0].program, "/usr/bin/gnome-control-center");
    EXPECT_EQ(l.started[0].arguments, QStringList{"sound"});
}

TEST(UserGuides, PagesLieInHelpBesideTheProgram) {
    EXPECT_EQ(userGuidePath("/opt/vl/", TUserGuide::English), "/opt/vl/help/voice_lumo_02_e.html");
    EXPECT_EQ(userGuidePath("/opt/vl", TUserGuide::English), "/opt/vl/help/voice_lumo_02_e.html");
    EXPECT_EQ(userGuidePath("/opt/vl/", TUserGuide::Korean), "/opt/vl/help/voice_lumo_02.html");
}

TEST(UserGuides, OpenedWithTheHourglassAndOnlyWhenPresent) {
    QTemporaryDir prog;
    ASSERT_TRUE(QDir(prog.path()).mkpath("help"));
    QFile page(prog.path() + "/help/voice_lumo_02_e.html");
    ASSERT_TRUE(page.open(QIODevice::WriteOnly));
    page.write("<html></html>");
    page.close();

    FakeLauncher l;
    EXPECT_TRUE(openUserGuide(l, prog.path() + "/", TUserGuide::English));
    ASSERT_EQ(l.opened.size(), 1u);
    EXPECT_EQ(l.opened[0], QUrl::fromLocalFile(prog.path() + "/help/voice_lumo_02_e.html"));
    EXPECT_EQ(l.cursorsWhileOpening[0], Qt::WaitCursor);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    // The Korean page is missing here: nothing is opened, nothing is said.
    EXPECT_FALSE(openUserGuide(l, prog.path(), TUserGuide::Korean));
    EXPECT_EQ(l.opened.size(), 1u);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    // A browser that fails restores the cursor as well.
    l.openSucceeds = false;
    EXPECT_FALSE(openUserGuide(l, prog.path(), TUserGuide::English));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST(UserGuides, ShippedPagesAreCompleteAndCopiedBesideThePrograms) {
    for (const char* name : {"voice_lumo_02_e.html", "voice_lumo_02.html"}) {
        const QByteArray src = readAll(QStringLiteral(VEK_HELP_SOURCE_DIR "/") + name);
        ASSERT_FALSE(src.isEmpty()) << name;
        EXPECT_EQ(readAll(QStringLiteral(VEK_HELP_BUILD_DIR "/") + name), src) << name;
        const QString html = QString::fromUtf8(src);
        EXPECT_TRUE(html.contains("<meta charset=\"utf-8\">")) << name;
        // What a user looks for: the hot keys, the files, both programs (in
        // the text as shown, without the markup).
        const QString text = QString(html).remove(QRegularExpression("<[^>]*>"));
        for (const char* must : {"Ctrl+Shift+F2", "Ctrl+Shift+F5", "Ctrl+E", "F10", "VEKVMAIL.INI", "VekShell.ini",
                                 "VekVMail", "VekShell", ".sc4", "memo.sc4.exe", "pavucontrol"})
            EXPECT_TRUE(text.contains(QLatin1String(must))) << name << ": " << must;
        // Every link inside the page has its target.
        QRegularExpression href("href=\"#([^\"]+)\"");
        int links = 0;
        for (auto it = href.globalMatch(html); it.hasNext(); ++links) {
            const QString id = it.next().captured(1);
            EXPECT_TRUE(html.contains("id=\"" + id + "\"")) << name << ": #" << id.toStdString();
        }
        EXPECT_GE(links, 5) << name;
    }
    const QString en = QString::fromUtf8(readAll(QStringLiteral(VEK_HELP_SOURCE_DIR "/voice_lumo_02_e.html")));
    const QString ko = QString::fromUtf8(readAll(QStringLiteral(VEK_HELP_SOURCE_DIR "/voice_lumo_02.html")));
    EXPECT_TRUE(en.contains("lang=\"en\""));
    EXPECT_TRUE(ko.contains("lang=\"ko\""));
    // The Korean guide is written in Hangul, not a copy of the English one.
    int hangul = 0;
    for (QChar c : ko) hangul += c.unicode() >= 0xAC00 && c.unicode() <= 0xD7A3;
    EXPECT_GT(hangul, 500);
    // Each guide points to the other.
    EXPECT_TRUE(en.contains("href=\"voice_lumo_02.html\""));
    EXPECT_TRUE(ko.contains("href=\"voice_lumo_02_e.html\""));
}
