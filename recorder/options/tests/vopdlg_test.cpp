// The voice effect dialog: its face, the level the engine is given, the
// changed flag and the Voice Effect command's keep-or-restore decision.
// SPDX-License-Identifier: GPL-3.0-or-later
#include "vek/recoptions/vopdlg.hpp"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTest>
#include <QTimer>

#include <functional>

using vekvmail::TVOPDlg;

namespace {

// Runs `whileOpen` once the modal dialog is up.
bool runWith(TVOPDlg& dlg, const QString& file, std::function<void()> whileOpen) {
    QTimer::singleShot(0, &dlg, [&] {
        QTRY_VERIFY(dlg.isVisible());
        whileOpen();
    });
    return dlg.VoiceClick(file);
}

}  // namespace

TEST(VoiceEffectDialog, FaceAndDefaults) {
    TVOPDlg dlg;
    EXPECT_EQ(dlg.windowTitle(), "Voice Effect");
    EXPECT_EQ(dlg.RGEffMode->title(), "Effect Mode");
    EXPECT_EQ(dlg.GBEffLevel->title(), "Effect Level");
    const QStringList expected = {"OFF", "Reverb Room", "Reverb Stage", "Reverb Hall", "Reverb Stadium", "Echo",
                                  "Flange", "Invert Flange", "Chorus", "Robot Voice", "Pitch Bend Chorus",
                                  "Darth Vader", "Third Up", "Octave Up", "Helium Voice", "Descending Echo",
                                  "Ascending Echo"};
    const auto buttons = dlg.RGEffModeItems->buttons();
    ASSERT_EQ(buttons.size(), 17);
    for (int i = 0; i < 17; ++i) EXPECT_EQ(dlg.RGEffModeItems->button(i)->text(), expected[i]) << i;
    EXPECT_EQ(dlg.EffectMode(), 0);
    EXPECT_TRUE(dlg.RGEffModeItems->exclusive());

    QSlider* s = dlg.SLEffLevel;
    EXPECT_EQ(s->orientation(), Qt::Vertical);
    EXPECT_EQ(s->minimum(), 0);
    EXPECT_EQ(s->maximum(), 127);
    EXPECT_EQ(s->value(), 80);
    EXPECT_EQ(s->pageStep(), 4);
    EXPECT_EQ(s->tickInterval(), 4);
    EXPECT_EQ(s->tickPosition(), QSlider::TicksBothSides);
    EXPECT_EQ(dlg.LevelPosition(), 80);
    EXPECT_EQ(dlg.EngineLevel(), 47);

    EXPECT_TRUE(dlg.OKBtn->isDefault());
    EXPECT_EQ(dlg.OKBtn->text(), "OK");
    EXPECT_EQ(dlg.CancelBtn->text(), "Cancel");
    EXPECT_FALSE(dlg.windowFlags().testFlag(Qt::WindowContextHelpButtonHint));
    EXPECT_FALSE(dlg.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));

    // Radio group left of the level group, buttons below both; "High" above
    // the slider, "Low" below it, and position 0 drawn at the top.
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    EXPECT_LT(dlg.RGEffMode->geometry().right(), dlg.GBEffLevel->geometry().left());
    EXPECT_GT(dlg.OKBtn->geometry().top(), dlg.RGEffMode->geometry().bottom());
    EXPECT_LT(dlg.LabelHigh->geometry().bottom(), dlg.SLEffLevel->geometry().top());
    EXPECT_GT(dlg.LabelLow->geometry().top(), dlg.SLEffLevel->geometry().bottom());
    EXPECT_EQ(dlg.LabelHigh->text(), "High");
    EXPECT_EQ(dlg.LabelLow->text(), "Low");
    EXPECT_TRUE(s->invertedAppearance());
    EXPECT_EQ(QApplication::focusWidget(), dlg.RGEffModeItems->button(0));
}

TEST(VoiceEffectDialog, EngineLevelIs127MinusThePosition) {
    TVOPDlg dlg;
    for (auto [pos, level] : {std::pair{0, 127}, {80, 47}, {127, 0}, {1, 126}, {64, 63}}) {
        dlg.setSettings(3, pos);
        EXPECT_EQ(dlg.LevelPosition(), pos);
        EXPECT_EQ(dlg.EngineLevel(), level) << pos;
    }
    // What a damaged self-playing file may bring.
    dlg.setSettings(16, 255);
    EXPECT_EQ(dlg.EffectMode(), 16);
    EXPECT_EQ(dlg.LevelPosition(), 127);
    dlg.setSettings(17, 10);
    EXPECT_EQ(dlg.EffectMode(), 0);
    dlg.setSettings(-1, -5);
    EXPECT_EQ(dlg.EffectMode(), 0);
    EXPECT_EQ(dlg.LevelPosition(), 0);
    dlg.setSettings(9, 3);
    dlg.resetSettings();
    EXPECT_EQ(dlg.EffectMode(), 0);
    EXPECT_EQ(dlg.LevelPosition(), 80);
}

TEST(VoiceEffectDialog, KeysMoveTheThumbAsOnAVerticalTrackBar) {
    TVOPDlg dlg;
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    dlg.SLEffLevel->setFocus();
    QTest::keyClick(dlg.SLEffLevel, Qt::Key_Down);
    EXPECT_EQ(dlg.LevelPosition(), 81);
    QTest::keyClick(dlg.SLEffLevel, Qt::Key_PageDown);
    EXPECT_EQ(dlg.LevelPosition(), 85);
    QTest::keyClick(dlg.SLEffLevel, Qt::Key_PageUp);
    QTest::keyClick(dlg.SLEffLevel, Qt::Key_Up);
    EXPECT_EQ(dlg.LevelPosition(), 80);
    QTest::keyClick(dlg.SLEffLevel, Qt::Key_Home);   // the top: "High"
    EXPECT_EQ(dlg.LevelPosition(), 0);
    EXPECT_EQ(dlg.EngineLevel(), 127);
    QTest::keyClick(dlg.SLEffLevel, Qt::Key_End);
    EXPECT_EQ(dlg.LevelPosition(), 127);
}

TEST(VoiceEffectDialog, ChangedBySliderOrChoiceAndClearedOnShow) {
    TVOPDlg dlg;
    dlg.setSettings(2, 40);
    EXPECT_TRUE(dlg.Changed());
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    EXPECT_FALSE(dlg.Changed());
    EXPECT_EQ(QApplication::focusWidget(), dlg.RGEffModeItems->button(2));
    dlg.RGEffModeItems->button(2)->click();   // the item already chosen: no change
    EXPECT_FALSE(dlg.Changed());
    dlg.RGEffModeItems->button(7)->click();
    EXPECT_TRUE(dlg.Changed());
    EXPECT_EQ(dlg.EffectMode(), 7);
    dlg.hide();
    dlg.show();
    EXPECT_FALSE(dlg.Changed());
    dlg.SLEffLevel->setValue(41);
    EXPECT_TRUE(dlg.Changed());
}

TEST(VoiceEffectCommand, CancelRestoresSliderAndChoice) {
    TVOPDlg dlg;
    dlg.setSettings(3, 60);
    const bool modified = runWith(dlg, "/tmp/memo.exe", [&] {
        dlg.SLEffLevel->setValue(10);
        dlg.RGEffModeItems->button(5)->click();
        QTest::mouseClick(dlg.CancelBtn, Qt::LeftButton);
    });
    EXPECT_FALSE(modified);
    EXPECT_EQ(dlg.EffectMode(), 3);
    EXPECT_EQ(dlg.LevelPosition(), 60);

    // Escape is a cancel too.
    EXPECT_FALSE(runWith(dlg, "memo.exe", [&] {
        dlg.SLEffLevel->setValue(127);
        QTest::keyClick(&dlg, Qt::Key_Escape);
    }));
    EXPECT_EQ(dlg.LevelPosition(), 60);
}

TEST(VoiceEffectCommand, OkKeepsAndMarksOnlySelfPlayingFiles) {
    TVOPDlg dlg;
    auto change = [&](int effect, int pos) {
        return [&dlg, effect, pos] {
            dlg.RGEffModeItems->button(effect)->click();
            dlg.SLEffLevel->setValue(pos);
            QTest::mouseClick(dlg.OKBtn, Qt::LeftButton);
        };
    };
    EXPECT_TRUE(runWith(dlg, "/rec/Memo.EXE", change(11, 20)));
    EXPECT_EQ(dlg.EffectMode(), 11);
    EXPECT_EQ(dlg.LevelPosition(), 20);
    EXPECT_EQ(dlg.EngineLevel(), 107);
    EXPECT_FALSE(runWith(dlg, "/rec/memo.sc4", change(12, 30)));
    EXPECT_EQ(dlg.EffectMode(), 12);
    EXPECT_FALSE(runWith(dlg, QString(), change(13, 31)));   // a new recording
    EXPECT_EQ(dlg.LevelPosition(), 31);
    // OK without a change leaves a self-playing file alone.
    EXPECT_FALSE(runWith(dlg, "memo.exe", [&] { QTest::keyClick(&dlg, Qt::Key_Return); }));
    EXPECT_EQ(dlg.EffectMode(), 13);
}

TEST(VoiceEffectCommand, OnlyTheLastExtensionCounts) {
    for (const char* yes : {"a.exe", "A.EXE", "/x/y.Exe", "/dir.sc4/b.exe"}) EXPECT_TRUE(TVOPDlg::carriesEffectSettings(yes)) << yes;
    for (const char* no : {"a.sc4", "", "exe", "a.exe.sc4", "/dir.exe/b.sc4", "a.exe2"})
        EXPECT_FALSE(TVOPDlg::carriesEffectSettings(no)) << no;
}
