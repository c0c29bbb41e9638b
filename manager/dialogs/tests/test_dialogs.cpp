// The conversion dialogs, headless: layout, the timer start, progress to
// 100, Cancel seen at the next check, message boxes and the replace question.
// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <cmath>

#include "fakes.hpp"
#include "vek/dialogs/conversion_dialog.hpp"
#include "vek/testsupport/fixtures.hpp"

namespace {

using namespace vek::jobs;
using namespace vek::jobs::test;
using vek::dialogs::ConversionDialog;
using vek::dialogs::TCvfDlg;
using vek::dialogs::TWavDlg;
namespace fs = std::filesystem;

// Answers every modal message box that comes up: records it and presses the
// button given (or OK / the default).
class BoxAnswerer {
public:
    struct Seen {
        QString title, text;
        QMessageBox::Icon icon;
    };
    explicit BoxAnswerer(QMessageBox::StandardButton press = QMessageBox::Ok) : m_press(press) {
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) return;
            seen.push_back({box->windowTitle(), box->text(), box->icon()});
            QAbstractButton* b = box->button(m_press);
            if (!b) b = box->button(QMessageBox::Ok);
            QTest::mouseClick(b, Qt::LeftButton);
        });
        m_timer.start(5);
    }
    std::vector<Seen> seen;

private:
    QTimer m_timer;
    QMessageBox::StandardButton m_press;
};

Bytes hqSc4(std::size_t frames) {
    std::vector<std::int16_t> s(frames * 58);
    for (std::size_t i = 0; i < s.size(); ++i) s[i] = static_cast<std::int16_t>(8000 * std::sin(i * 0.05));
    const Bytes sc4 = vek::testsupport::adpcmSc4FromPcm(s, false);
    EXPECT_FALSE(sc4.empty());
    return sc4;
}

class Dialogs : public ::testing::Test, public JobFixture {
protected:
    fs::path list(const std::string& n) const { return dir / "list" / n; }
};

TEST_F(Dialogs, LayoutCaptionsAndNoCloseBox) {
    TWavDlg wav(state, main);
    EXPECT_EQ(wav.windowTitle(), "Convert to WAV file");
    EXPECT_EQ(wav.size(), QSize(375, 144));
    EXPECT_EQ(wav.cancelButton()->text(), "Cancel");
    EXPECT_EQ(wav.statusText()->size(), QSize(345, 41));
    EXPECT_TRUE(wav.statusText()->wordWrap());
    EXPECT_EQ(wav.gauge()->minimum(), 0);
    EXPECT_EQ(wav.gauge()->maximum(), 100);
    EXPECT_EQ(wav.timerDelay()->interval(), 100);
    EXPECT_FALSE(wav.timerDelay()->isActive());
    EXPECT_FALSE(wav.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_EQ(wav.font().family(), "MS Sans Serif");
    EXPECT_EQ(wav.font().pointSize(), 8);
    // The gauge sits in the lowered panel.
    auto* panel = qobject_cast<QFrame*>(wav.gauge()->parentWidget());
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(panel->objectName(), "Panel1");
    EXPECT_EQ(panel->frameShadow(), QFrame::Sunken);

    TCvfDlg cvf(state, main);
    EXPECT_EQ(cvf.windowTitle(), "Convert to SC4 file");
    EXPECT_EQ(cvf.size(), QSize(375, 144));
}

TEST_F(Dialogs, ScriptedJobStartsAfterShowingReachesHundredAndCloses) {
    TWavDlg dlg(state, main);
    bool visibleAtStart = false;
    int lastGauge = -1;
    dlg.setJob([&](JobContext& ctx) {
        visibleAtStart = dlg.isVisible();
        for (int p = 0; p <= 100 && ctx.ui.ContinueFlag; p += 5) {
            ctx.ui.setStatus("Converting 'a.sc4' to 'a.wav'...");
            ctx.ui.setGauge(p);
            ctx.ui.processMessages();
        }
        lastGauge = dlg.gauge()->value();
        ++ctx.state.ConvertedCount;
    });
    dlg.clearProgress();
    EXPECT_EQ(dlg.exec(), QDialog::Accepted);
    EXPECT_TRUE(visibleAtStart);
    EXPECT_EQ(lastGauge, 100);
    EXPECT_EQ(dlg.statusText()->text(), "Converting 'a.sc4' to 'a.wav'...");
    EXPECT_EQ(state.ConvertedCount, 1);
    EXPECT_FALSE(dlg.isVisible());
    dlg.clearProgress();
    EXPECT_EQ(dlg.gauge()->value(), 0);
    EXPECT_TRUE(dlg.statusText()->text().isEmpty());
}

TEST_F(Dialogs, CancelIsSeenAtTheNextCheckAndTheShorterFileCounts) {
    // 100 blocks of HQ audio in the first file, a second file that must not
    // be touched after Cancel.
    writeFile(list("long.sc4"), hqSc4(68 * 100));
    writeFile(list("next.sc4"), hqSc4(68));
    state.SelectedNames = {"long.sc4", "next.sc4"};
    state.ConvertedCount = 0;
    TWavDlg dlg(state, main);
    dlg.setLibraries(codecs, defaultWave());
    QTimer clicker;
    QObject::connect(&clicker, &QTimer::timeout, [&] {
        if (dlg.gauge()->value() >= 20) {
            clicker.stop();
            QTest::mouseClick(dlg.cancelButton(), Qt::LeftButton);
        }
    });
    clicker.start(0);
    EXPECT_EQ(dlg.exec(), QDialog::Accepted);
    EXPECT_EQ(state.ConvertedCount, 1);
    EXPECT_FALSE(fs::exists(list("next.wav")));
    const auto size = fs::file_size(list("long.wav"));
    EXPECT_GT(size, 44u);
    EXPECT_LT(size, 44u + 100u * 7888u);
    EXPECT_EQ((size - 44) % 7888, 0u);
    ASSERT_EQ(main.shown.size(), 1u);
    EXPECT_TRUE(tempDirEmpty());
}

TEST_F(Dialogs, EscapeActsAsCancelAndDoesNotCloseTheDialog) {
    TCvfDlg dlg(state, main);
    int steps = 0;
    dlg.setJob([&](JobContext& ctx) {
        for (int i = 0; i < 1000 && ctx.ui.ContinueFlag; ++i) {
            ++steps;
            if (i == 10) QTest::keyClick(&dlg, Qt::Key_Escape);
            ctx.ui.processMessages();
            EXPECT_TRUE(dlg.isVisible());
        }
    });
    EXPECT_EQ(dlg.exec(), QDialog::Accepted);
    EXPECT_EQ(steps, 11);
}

TEST_F(Dialogs, MessageBoxesAndTheReplaceQuestionComeFromTheDialog) {
    writeFile(list("bad.sc4"), Bytes(100, 0x41));
    writeFile(list("A.sc4"), hqSc4(68));
    writeFile(list("A.wav"), Bytes{1, 2, 3});
    state.SelectedNames = {"bad.sc4", "A.sc4"};
    TWavDlg dlg(state, main);
    BoxAnswerer answerer(QMessageBox::No);
    dlg.exec();
    ASSERT_EQ(answerer.seen.size(), 2u);
    EXPECT_EQ(answerer.seen[0].title, "voice lumo manager");
    EXPECT_EQ(answerer.seen[0].text, "Invalid sc4 file! (bad.sc4)");
    EXPECT_EQ(answerer.seen[0].icon, QMessageBox::Warning);
    EXPECT_EQ(answerer.seen[1].title, "Confirm File Replace");
    EXPECT_EQ(answerer.seen[1].text,
              "This folder already contains a file named 'A.wav'.\nWould you like to replace the existing file with this one?");
    EXPECT_EQ(answerer.seen[1].icon, QMessageBox::Question);
    EXPECT_EQ(readFile(list("A.wav")), (Bytes{1, 2, 3}));
    EXPECT_EQ(main.fgCalls, 2);
}

TEST_F(Dialogs, BusyCursorIsTheHourglassAndComesBack) {
    TCvfDlg dlg(state, main);
    dlg.setBusyCursor(true);
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    dlg.setBusyCursor(false);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

}  // namespace
