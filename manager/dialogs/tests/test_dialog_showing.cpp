// One job per showing of a conversion dialog: the show event that a restore
// from minimised sends neither starts the job again nor takes back a Cancel.
// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "fakes.hpp"
#include "vek/dialogs/conversion_dialog.hpp"

namespace {

using namespace vek::jobs;
using namespace vek::jobs::test;
using vek::dialogs::TCvfDlg;
using vek::dialogs::TWavDlg;
namespace fs = std::filesystem;

class DialogShowing : public ::testing::Test, public JobFixture {
protected:
    fs::path list(const std::string& n) const { return dir / "list" / n; }
    // Lets the event loop run for a while after the dialog has closed, so a
    // timer it left armed would fire.
    static void settle(int ms) {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    // Minimises the dialog and brings it back, as the user does from the
    // taskbar (the window system's hide and show events included).
    static void minimiseAndRestore(QWidget& dlg) {
        dlg.showMinimized();
        QApplication::processEvents();
        ASSERT_TRUE(dlg.isMinimized());
        dlg.showNormal();
        QApplication::processEvents();
        ASSERT_FALSE(dlg.isMinimized());
    }
};

Bytes spFile(std::size_t sectors) {
    Bytes file;
    for (std::size_t k = 0; k < sectors; ++k) {
        Bytes pcm(8000);
        for (std::size_t i = 0; i < pcm.size(); ++i) pcm[i] = static_cast<std::uint8_t>(i * 3 + k * 29);
        const Bytes s = fakeSpSector(pcm.data());
        file.insert(file.end(), s.begin(), s.end());
    }
    return file;
}

TEST_F(DialogShowing, RestoreFromMinimisedNearTheEndDoesNotRunTheJobAgain) {
    writeFile(list("memo.sc4"), spFile(40));
    state.SelectedNames = {"memo.sc4"};
    state.ConvertedCount = 0;
    TWavDlg dlg(state, main);
    dlg.setLibraries(codecs, defaultWave());
    // Any question box (the replace question of a second run) is counted and answered No.
    int questions = 0;
    QTimer answerer;
    QObject::connect(&answerer, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            ++questions;
            box->done(QMessageBox::No);
        }
    });
    answerer.start(5);
    bool restored = false;
    QTimer watcher;
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        if (!restored && dlg.gauge()->value() >= 90) {
            restored = true;
            minimiseAndRestore(dlg);
        }
    });
    watcher.start(0);
    EXPECT_EQ(dlg.exec(), QDialog::Accepted);
    watcher.stop();
    ASSERT_TRUE(restored) << "the job ended before the restore";
    settle(400);  // four ticks of the dialog's timer
    EXPECT_EQ(questions, 0);
    EXPECT_EQ(state.ConvertedCount, 1);
    EXPECT_EQ(main.shown.size(), 1u);
    EXPECT_FALSE(dlg.timerDelay()->isActive());
    EXPECT_FALSE(dlg.isVisible());

    // The next showing runs its own job once.
    state.ConvertedCount = 0;
    std::remove(list("memo.wav").string().c_str());
    EXPECT_EQ(dlg.exec(), QDialog::Accepted);
    settle(250);
    EXPECT_EQ(state.ConvertedCount, 1);
    EXPECT_EQ(main.shown.size(), 2u);
    EXPECT_EQ(questions, 0);
}

TEST_F(DialogShowing, CancelBeforeARestoreStands) {
    TCvfDlg dlg(state, main);
    int steps = 0;
    bool sawStop = false;
    dlg.setJob([&](JobContext& ctx) {
        for (int i = 0; i < 400; ++i) {
            if (!ctx.ui.ContinueFlag) {
                sawStop = true;
                break;
            }
            ++steps;
            if (i == 5) {
                // While the job works, the user clicks Cancel, minimises the
                // dialog and brings it back before the job looks again.
                QTimer::singleShot(0, &dlg, [&] {
                    QTest::mouseClick(dlg.cancelButton(), Qt::LeftButton);
                    minimiseAndRestore(dlg);
                });
            }
            ctx.ui.processMessages();
            QTest::qWait(1);
        }
    });
    EXPECT_EQ(dlg.exec(), QDialog::Accepted);
    EXPECT_TRUE(sawStop);
    EXPECT_LE(steps, 8);
    settle(250);
    EXPECT_FALSE(dlg.isVisible());
}

}  // namespace
