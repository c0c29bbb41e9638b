// The recorder's about box: its lines in order, the links and how a click
// on one is handed to the desktop.
// SPDX-License-Identifier: GPL-3.0-or-later
#include "vek/recoptions/aboutbox.hpp"

#include "fakelauncher.hpp"

#include <gtest/gtest.h>

#include <QDir>
#include <QFrame>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using vekvmail::TAboutBox;

TEST(AboutBox, LinesInTheirOrder) {
    QPixmap pm(48, 48);
    pm.fill(Qt::red);
    FakeLauncher l;
    TAboutBox box(QIcon(pm), &l);
    EXPECT_EQ(box.windowTitle(), "About voice lumo player");
    EXPECT_EQ(box.Panel1->frameShadow(), QFrame::Sunken);
    ASSERT_FALSE(box.ProgramIcon->pixmap().isNull());
    EXPECT_EQ(box.ProgramIcon->pixmap().toImage().pixelColor(24, 24), QColor(Qt::red));
    EXPECT_EQ(box.ProductName->text(), "voice lumo player for Windows 95/98/NT/2000/ME/XP");
    EXPECT_EQ(box.Version->text(), "Version 1.00");
    EXPECT_TRUE(box.EmptyLine->text().isEmpty());
    EXPECT_EQ(box.Comments->text(), "Voice Mail & Voice Memo");
    EXPECT_EQ(box.Comments->textFormat(), Qt::PlainText);
    EXPECT_EQ(box.Company->text(), "HALVERN Electronics");
    // Top to bottom, all right of the icon panel.
    const QWidget* order[] = {box.ProductName, box.Version, box.EmptyLine, box.Bevel1, box.Comments,
                              box.Company, box.Label7, box.Label6, box.OKButton};
    for (std::size_t i = 1; i < std::size(order); ++i)
        EXPECT_LT(order[i - 1]->geometry().top(), order[i]->geometry().top()) << i;
    for (const QWidget* w : order) {
        if (w == box.OKButton) continue;
        EXPECT_GT(w->geometry().left(), box.Panel1->geometry().right());
    }
    EXPECT_TRUE(box.OKButton->isDefault());
    EXPECT_EQ(box.OKButton->text(), "OK");
}

TEST(AboutBox, LinksLookLikeLinksAndOpenWithTheHourglass) {
    FakeLauncher l;
    TAboutBox box({}, &l);
    for (QLabel* link : {box.Label7, box.Label6}) {
        EXPECT_EQ(link->textFormat(), Qt::RichText);
        EXPECT_TRUE(link->text().contains("color:#0000ff"));
        EXPECT_TRUE(link->text().contains("text-decoration:underline"));
        EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor);
    }
    EXPECT_TRUE(box.link7().isValid());
    EXPECT_TRUE(box.link6().isValid());
    emit box.Label7->linkActivated(box.link7().toString());
    emit box.Label6->linkActivated(box.link6().toString());
    ASSERT_EQ(l.opened.size(), 2u);
    EXPECT_EQ(l.opened[0], box.link7());
    EXPECT_EQ(l.opened[1], box.link6());
    EXPECT_EQ(l.cursorsWhileOpening[0], Qt::WaitCursor);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST(AboutBox, OkAndEscapeBothClose) {
    FakeLauncher l;
    TAboutBox box({}, &l);
    box.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
    QTest::keyClick(&box, Qt::Key_Escape);
    EXPECT_FALSE(box.isVisible());
    box.show();
    QTest::mouseClick(box.OKButton, Qt::LeftButton);
    EXPECT_FALSE(box.isVisible());
    EXPECT_EQ(box.result(), QDialog::Accepted);
}

TEST(AboutBox, DocumentationSeenFromTheProgramFolderFirst) {
    QTemporaryDir root;
    const QString prog = root.path() + "/prefix/lib/voice-lumo";
    ASSERT_TRUE(QDir().mkpath(prog));
    EXPECT_EQ(TAboutBox::documentationFolder(prog), VEK_DOC_DIR);
    const QString docs = QDir::cleanPath(prog + "/" VEK_DOC_REL);
    ASSERT_TRUE(QDir().mkpath(docs));
    EXPECT_EQ(TAboutBox::documentationFolder(prog), docs);
}
