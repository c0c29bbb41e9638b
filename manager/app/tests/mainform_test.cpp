// The main window, headless: status bar, mode panel, commands, filter,
// layout, settings, splash and about box.
// SPDX-License-Identifier: GPL-3.0-or-later
#include "aboutbox.hpp"
#include "conversion.hpp"
#include "mainform.hpp"
#include "splashform.hpp"
#include "startup.hpp"
#include "testutil.hpp"

#include "vek/codec/bytestream.hpp"
#include "vek/codec/sc4.hpp"
#include "vek/platform/fileops.hpp"
#include "vek/platform/shellverbs.hpp"
#include "vek/testsupport/qt.hpp"

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QStandardPaths>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace vekshell;
using namespace vekshell::test;

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
inline void PrintTo(const QStringList& l, std::ostream* os) { *os << '[' << l.join("|").toStdString() << ']'; }
QT_END_NAMESPACE

namespace {

// The sandboxed home of the shared Qt test main (HOME and the XDG folders).
const QString& g_home = vek::testsupport::sandboxHome();

struct Msg {
    QString text, caption;
    MsgIcon icon;
};

class ShellMainForm : public ::testing::Test {
protected:
    void SetUp() override {
        dir = std::make_unique<QTemporaryDir>(g_home + "/t-XXXXXX");
        ASSERT_TRUE(dir->isValid());
        folder = dir->path() + "/VOICE/";
        QDir().mkpath(folder);
        ini = dir->path() + "/VekShell.ini";
        vek::shell::setQuestionHandler([this](QWidget*, const QString&, const QString& t) {
            questions << t;
            return false;
        });
    }
    void TearDown() override {
        form.reset();
        vek::shell::setQuestionHandler({});
    }
    // A window on `folder` with the list focused.
    void open(bool navigate = true) {
        form = std::make_unique<TMainForm>();
        form->setSettingsPath(ini);
        form->setMessageHandler([this](const QString& t, const QString& c, MsgIcon i) { msgs.push_back({t, c, i}); });
        form->setDesktopWaitMs(0);
        form->show();
        QApplication::setActiveWindow(form.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
        if (navigate) form->goTo(folder);
        focusList();
    }
    void focusList() {
        form->ShellListView->focusList();
        ASSERT_TRUE(waitFor([&] { return form->ShellListView->listHasFocus(); }));
    }
    QAbstractItemView* view() const { return form->ShellListView->currentView(); }
    int row(const QString& name) const { return int(form->ShellListView->allNames().indexOf(name)); }
    void click(const QString& name, Qt::KeyboardModifiers mods = {}) {
        const int r = row(name);
        ASSERT_GE(r, 0) << name.toStdString();
        const QRect rect = view()->visualRect(view()->model()->index(r, 0));
        QTest::mouseClick(view()->viewport(), Qt::LeftButton, mods, rect.center());
        QApplication::processEvents();
        QApplication::processEvents();
    }
    void selectOnly(const QStringList& names) {
        form->ShellListView->clearSelection();
        for (const auto& n : names) form->ShellListView->setSelected(row(n), true);
    }

    std::unique_ptr<QTemporaryDir> dir;
    QString folder, ini;
    std::unique_ptr<TMainForm> form;
    std::vector<Msg> msgs;
    QStringList questions;
};

}  // namespace

// ------------------------------------------------------------ captions

TEST_F(ShellMainForm, CaptionsHintsMenusAndLayout) {
    open();
    EXPECT_EQ(form->windowTitle(), "voice lumo manager");
    EXPECT_EQ(form->font().family(), "MS Sans Serif");
    EXPECT_EQ(form->Panel1->height(), 30);
    const std::pair<QToolButton*, const char*> hints[] = {
        {form->ParentButton, "Up"}, {form->PropertiesButton, "Properties"}, {form->RefreshButton, "Refresh"},
        {form->DeleteButton, "Delete"}, {form->btnNew, "New Folder"}, {form->CutButton, "Cut"},
        {form->CopyButton, "Copy"}, {form->PasteButton, "Paste"}, {form->btnWave, "Convert to WAV file"},
        {form->btnG729, "Convert to SC4 file (SP Mode, 16:1 Compression, Normal Quality)"},
        {form->btnADPCM8, "Convert to SC4 file (HQ Mode, 4:1 Compression, High Quality)"},
        {form->btnADPCM11, "Convert to SC4 file (SHQ Mode, 4:1 Compression, Best Quality)"},
        {form->SpeedButton[0], "Large Icon"}, {form->SpeedButton[3], "Detail"}};
    for (auto [b, h] : hints) EXPECT_EQ(b->toolTip(), QString::fromLatin1(h)) << b->objectName().toStdString();
    EXPECT_EQ(form->ParentButton->x(), 180);
    EXPECT_EQ(form->btnADPCM11->x(), 482);
    EXPECT_FALSE(form->SpeedButton5->isVisible());
    EXPECT_FALSE(form->SpeedButton[0]->isVisible());
    EXPECT_EQ(form->StaticText3->text(), "Filter:");
    EXPECT_EQ(form->StaticText3->x(), 524);  // 521, moved 3 right
    EXPECT_EQ(form->ShellCombo->x(), 4);
    EXPECT_EQ(form->cmbMask->x(), 553);
    EXPECT_EQ(form->cmbMask->count(), 4);
    EXPECT_EQ(form->cmbMask->itemText(3), "*.sc4;*.wav");
    EXPECT_EQ(form->cmbMask->currentText(), "*");
    EXPECT_EQ(form->mnuWave->text(), "Convert to &WAV file");
    EXPECT_EQ(form->mnuWave->shortcut(), QKeySequence(Qt::Key_F12));
    EXPECT_EQ(form->mnuG729->text(), "Convert to SC4 file (&SP Mode, 16:1 Compression)");
    EXPECT_EQ(form->mnuG729->shortcut(), QKeySequence(Qt::Key_F11));
    EXPECT_EQ(form->mnuADPCM8->shortcut(), QKeySequence(Qt::Key_F10));
    EXPECT_EQ(form->mnuADPCM11->text(), "Convert to SC4 file (SH&Q Mode, 4:1 Compression)");
    EXPECT_EQ(form->mnuADPCM11->shortcut(), QKeySequence(Qt::Key_F9));
    EXPECT_EQ(form->Exit1->text(), "E&xit");
    EXPECT_EQ(form->mnuFind->text(), "&Find File or Folder...");
    EXPECT_EQ(form->About1->text(), "&About voice lumo manager...");
    QStringList menus;
    for (QAction* a : form->menuBar()->actions()) menus << a->text();
    EXPECT_EQ(menus, (QStringList{"&File", "&Tools", "&Help"}));
    EXPECT_EQ(form->StatusPanel[0]->width(), 118);
    EXPECT_TRUE(form->StatusPanel[2]->alignment() & Qt::AlignHCenter);
    EXPECT_EQ(form->tmrRefresh->interval(), 3000);
    EXPECT_TRUE(form->tmrRefresh->isActive());  // enabled by FormShow
    EXPECT_EQ(form->ProgramDir, QCoreApplication::applicationDirPath() + '/');
}

TEST_F(ShellMainForm, FormResizeLimits) {
    open();
    form->resize(500, 400);  // toolbar narrower than 587: filter box at 30
    QApplication::processEvents();
    EXPECT_EQ(form->cmbMask->width(), 30);
    EXPECT_EQ(form->StatusPanel[1]->width(), 500 - 245);
    form->resize(640, 400);
    QApplication::processEvents();
    EXPECT_EQ(form->cmbMask->width(), form->Panel1->width() - 557);
    EXPECT_EQ(form->StatusPanel[1]->width(), 640 - 245);
    form->resize(900, 400);
    QApplication::processEvents();
    EXPECT_EQ(form->cmbMask->width(), 120);
    form->resize(200, 400);
    QApplication::processEvents();
    EXPECT_EQ(form->StatusPanel[1]->width(), 30);
    // The splitter never makes the tree narrower than 60 pixels.
    form->resize(630, 470);
    form->Splitter1->setSizes({10, 600});
    QApplication::processEvents();
    EXPECT_GE(form->ShellTree->width(), 60);
}

// ------------------------------------------------------------ status bar

TEST_F(ShellMainForm, ObjectCountsSizesAndFreeSpace) {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    writeBytes(folder + "a.wav", QByteArray(2048, 'a'));
    writeBytes(folder + "b.wav", QByteArray(1024, 'b'));
    writeBytes(folder + "c.txt", QByteArray(3072, 'c'));
    open();
    EXPECT_EQ(form->startupCounter(), 2);  // the first two calls only counted
    form->GetStatistics();
    EXPECT_EQ(form->panelText(0), "3 object(s)");
    const quint64 freeKb = quint64(QStorageInfo(folder).bytesAvailable()) / 1024;
    ASSERT_GT(freeKb, 0u);
    const QString freeMb = QLocale().toString(std::nearbyint(double(float(quint32(freeKb)) / 1024.0f)), 'f', 0);
    EXPECT_EQ(form->panelText(1), "6.00KB (Disk free space: " + freeMb + "MB)");
    EXPECT_EQ(form->GetFreeSpaceKB(), quint32(freeKb));
    selectOnly({"a.wav", "b.wav"});
    form->GetStatistics();
    EXPECT_EQ(form->panelText(0), "2 object(s) selected");
    EXPECT_EQ(form->panelText(1), "3.00KB");
    writeBytes(folder + "empty.sc4", {});
    form->ShellListView->reread();
    selectOnly({"empty.sc4"});
    form->GetStatistics();
    EXPECT_EQ(form->panelText(1), "");  // K = 0
    EXPECT_EQ(form->panelText(2), "");  // shorter than five bytes: unrecognised
}

TEST_F(ShellMainForm, SizesAddUpAsA32BitSum) {
    // Two sparse files of 3 GiB and 2 GiB: the unsigned 32-bit sum wraps to 1 GiB.
    for (auto [name, size] : {std::pair{"big1.wav", 3LL << 30}, std::pair{"big2.wav", 2LL << 30}}) {
        QFile f(folder + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        if (!f.resize(size)) GTEST_SKIP() << "no sparse files here";
    }
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    open();
    selectOnly({"big1.wav", "big2.wav"});
    EXPECT_EQ(form->GetSelectedSize(), 1u << 30);
    form->GetStatistics();
    EXPECT_EQ(form->panelText(1), "1,024.00MB");
}

TEST_F(ShellMainForm, ModePanelFollowsTheFileSelectedLast) {
    writeSp(folder + "A.SC4", 130);                  // 66,560 bytes: 65 s
    writeHqSized(folder + "B.SC4", 1536000);         // 369 s
    writeAdpcmSc4(folder + "C.sc4", 300, true);      // SHQ
    writeBytes(folder + "D.SC4", "RIFF....WAVE");    // not a voice file
    writeWav(folder + "E.wav", 800);
    open();
    form->GetStatistics();
    click("A.SC4");
    EXPECT_EQ(form->panelText(0), "1 object(s) selected");
    EXPECT_EQ(form->panelText(2), "SP  [00:01:05]");
    click("B.SC4", Qt::ShiftModifier);  // extends the selection to the next file
    EXPECT_EQ(form->ShellListView->selectedNames(), (QStringList{"A.SC4", "B.SC4"}));
    EXPECT_EQ(form->panelText(2), "HQ  [00:06:09]");
    click("B.SC4");  // the selection shrinks to one item
    EXPECT_EQ(form->ShellListView->selectedNames(), QStringList{"B.SC4"});
    EXPECT_EQ(form->panelText(2), "");
    EXPECT_EQ(form->selectionMemory(), QStringList{"B.SC4"});
    click("C.sc4");
    const qint64 cSize = QFileInfo(folder + "C.sc4").size();
    EXPECT_EQ(form->panelText(2), "SHQ " + QString::fromStdString(vek::formatDuration(vek::RecordingMode::SHQ, cSize)));
    click("D.SC4");
    EXPECT_EQ(form->panelText(2), "");
    click("E.wav");
    EXPECT_EQ(form->panelText(2), "");
    form->ShellListView->clearSelection();
    form->GetStatistics();
    EXPECT_TRUE(form->selectionMemory().isEmpty());
    // Keys that move the selection update the panels too.
    click("A.SC4");
    QTest::keyClick(view(), Qt::Key_Down);
    EXPECT_EQ(form->ShellListView->selectedNames(), QStringList{"B.SC4"});
    EXPECT_EQ(form->panelText(2), "HQ  [00:06:09]");
    QTest::keyClick(view(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(form->panelText(0), "5 object(s) selected");
}

TEST_F(ShellMainForm, ModePanelDescribesTheFarEndOfAGrownSelection) {
    writeSp(folder + "A.SC4", 130);                  // 65 s
    writeHqSized(folder + "B.SC4", 1536000);         // 369 s
    writeAdpcmSc4(folder + "C.sc4", 300, true);      // SHQ
    open();
    form->GetStatistics();
    click("A.SC4");
    EXPECT_EQ(form->panelText(2), "SP  [00:01:05]");
    // Shift-click two rows down: A, B and C are selected; C was picked.
    click("C.sc4", Qt::ShiftModifier);
    ASSERT_EQ(form->ShellListView->selectedNames(), (QStringList{"A.SC4", "B.SC4", "C.sc4"}));
    const qint64 cSize = QFileInfo(folder + "C.sc4").size();
    EXPECT_EQ(form->panelText(2), "SHQ " + QString::fromStdString(vek::formatDuration(vek::RecordingMode::SHQ, cSize)));
    EXPECT_EQ(form->selectionMemory(), (QStringList{"A.SC4", "B.SC4", "C.sc4"}));
}

TEST_F(ShellMainForm, ModePanelNeverOpensAPipeNamedLikeAVoiceFile) {
    const QString pipe = folder + "P.sc4";
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    open();
    form->GetStatistics();
    // Opening a pipe for reading waits for a writer. Should the window do
    // that, this thread comes along as the writer (and records it), so that
    // the test ends either way.
    std::atomic<bool> rescued{false}, done{false};
    std::thread writer([&] {
        for (int i = 0; i < 40 && !done; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
        const int fd = ::open(QFile::encodeName(pipe).constData(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0) {  // only possible while a reader has it open
            rescued = true;
            ::close(fd);
        }
    });
    click("P.sc4");
    done = true;
    writer.join();
    EXPECT_FALSE(rescued);
    EXPECT_EQ(form->panelText(0), "1 object(s) selected");
    EXPECT_EQ(form->panelText(2), "");
}

// ------------------------------------------------------------- commands

TEST_F(ShellMainForm, ConversionNeedsAFocusedSelectionOfTheRightKind) {
    writeSp(folder + "A.SC4", 2);
    writeWav(folder + "w.wav", 100);
    QDir().mkdir(folder + "folder.wav");
    int dialogs = 0;
    open();
    form->setConversionDialog([&](TMainForm&, bool) { ++dialogs; });
    // Focus elsewhere: the tree.
    selectOnly({"A.SC4"});
    form->ShellTree->setFocus();
    ASSERT_TRUE(waitFor([&] { return form->ShellTree->hasFocus(); }));
    form->mnuWaveClick();
    ASSERT_EQ(msgs.size(), 1u);
    EXPECT_EQ(msgs[0].text, "Select '.sc4' file.");
    EXPECT_EQ(msgs[0].caption, "voice lumo manager");
    EXPECT_EQ(msgs[0].icon, MsgIcon::Warning);
    // Focused, nothing selected.
    focusList();
    form->ShellListView->clearSelection();
    form->mnuG729Click(form->btnG729);
    ASSERT_EQ(msgs.size(), 2u);
    EXPECT_EQ(msgs[1].text, "Select '.wav' file.");
    // Only a folder (even one named like a WAV file).
    selectOnly({"folder.wav"});
    form->mnuG729Click(form->mnuADPCM8);
    ASSERT_EQ(msgs.size(), 3u);
    EXPECT_EQ(msgs[2].text, "Select '.wav' file.");
    // Wrong kind.
    selectOnly({"w.wav"});
    form->mnuWaveClick();
    ASSERT_EQ(msgs.size(), 4u);
    EXPECT_EQ(msgs[3].text, "Select '.sc4' file.");
    EXPECT_EQ(dialogs, 0);
}

TEST_F(ShellMainForm, ConversionRefusesAReadOnlyFolder) {
    writeWav(folder + "w.wav", 100);
    open();
    int dialogs = 0;
    form->setConversionDialog([&](TMainForm&, bool) { ++dialogs; });
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup);
    selectOnly({"w.wav"});
    form->mnuG729Click(form->btnADPCM11);
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    ASSERT_EQ(msgs.size(), 1u);
    EXPECT_EQ(msgs[0].text, "Can not convert because this folder is ReadOnly.");
    EXPECT_EQ(msgs[0].icon, MsgIcon::Warning);
    EXPECT_EQ(dialogs, 0);
}

TEST_F(ShellMainForm, ConversionModeFollowsTheSenderAndResultsEndSelected) {
    writeWav(folder + "one.wav", 100);
    writeWav(folder + "two.WAV", 100);
    writeBytes(folder + "notes.txt", "x");
    open();
    std::vector<int> modes;
    QStringList passed;
    form->setConversionDialog([&](TMainForm& f, bool toWav) {
        EXPECT_FALSE(toWav);
        modes.push_back(f.ConvMode);
        passed = f.SelectedNames;
        EXPECT_EQ(f.ShellListView->selectedCount(), 0);  // deselected before the dialog
        EXPECT_EQ(f.listFolderPath(), folder);
        // What a job does for each file it finishes.
        for (const auto& n : {QStringLiteral("one.sc4"), QStringLiteral("two.sc4")}) {
            writeSp(folder + n, 1);
            f.showWrittenFile(folder + n);
            ++f.ConvertedCount;
        }
    });
    const std::pair<QObject*, int> senders[] = {{form->btnG729, 4}, {form->mnuG729, 4}, {form->btnADPCM8, 5},
                                                {form->mnuADPCM8, 5}, {form->btnADPCM11, 6}, {form->mnuADPCM11, 6}};
    for (auto [sender, mode] : senders) {
        selectOnly({"one.wav", "two.WAV", "notes.txt"});
        form->mnuG729Click(sender);
        ASSERT_FALSE(modes.empty());
        EXPECT_EQ(modes.back(), mode);
    }
    EXPECT_EQ(passed, (QStringList{"notes.txt", "one.wav", "two.WAV"}));
    EXPECT_TRUE(msgs.empty());
    // The written files are the selection, at the end of the list, and the status bar says so.
    EXPECT_EQ(form->ShellListView->selectedNames(), (QStringList{"one.sc4", "two.sc4"}));
    EXPECT_EQ(form->ShellListView->allNames().mid(3), (QStringList{"one.sc4", "two.sc4"}));
    EXPECT_TRUE(form->ShellListView->listHasFocus());
    EXPECT_EQ(form->panelText(0), "2 object(s) selected");
}

TEST_F(ShellMainForm, ConversionEndToEndThroughTheDialog) {
    if (!haveConversionDialogs()) GTEST_SKIP() << "this build has no conversion dialogs";
    writeAdpcmSc4(folder + "MEMO1.SC4", 200, false);
    writeAdpcmSc4(folder + "MEMO2.SC4", 100, true);
    open();
    installConversionDialogs(*form);
    selectOnly({"MEMO1.SC4", "MEMO2.SC4"});
    QTest::keyClick(view(), Qt::Key_F12);  // the menu shortcut, the list focused
    EXPECT_TRUE(msgs.empty()) << (msgs.empty() ? "" : msgs[0].text.toStdString());
    ASSERT_TRUE(QFileInfo(folder + "MEMO1.wav").isFile());
    ASSERT_TRUE(QFileInfo(folder + "MEMO2.wav").isFile());
    // Every frame the container holds (pad frames included) gives 58 samples
    // of 16-bit mono after a 44-byte header.
    for (const char* n : {"MEMO1", "MEMO2"}) {
        QFile sc4(folder + n + ".SC4");
        ASSERT_TRUE(sc4.open(QIODevice::ReadOnly));
        const QByteArray b = sc4.readAll();
        vek::MemorySource in(b.constData(), std::size_t(b.size()));
        vek::MemorySink frames;
        ASSERT_TRUE(vek::sc4ToAdpcm(in, frames));
        const qint64 data = QFileInfo(folder + n + ".wav").size() - 44;
        EXPECT_EQ(data % 116, 0) << n;
        EXPECT_GE(data, qint64(frames.bytes().size() / 29 * 116)) << n;
    }
    EXPECT_EQ(form->ShellListView->selectedNames(), (QStringList{"MEMO1.wav", "MEMO2.wav"}));
    EXPECT_EQ(form->panelText(0), "2 object(s) selected");
}

TEST_F(ShellMainForm, NewFolderTakesTheNextFreeNameAndStartsRenaming) {
    QDir().mkdir(folder + "New Folder");
    QDir().mkdir(folder + "New Folder (2)");
    writeBytes(folder + "z.sc4", "x");
    open();
    form->btnNewClick();
    EXPECT_TRUE(QFileInfo(folder + "New Folder (3)").isDir());
    EXPECT_EQ(form->ShellListView->allNames().last(), "New Folder (3)");
    // In-place renaming: an editor inside the list has the focus.
    auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    ASSERT_NE(editor, nullptr);
    EXPECT_TRUE(view()->isAncestorOf(editor));
    EXPECT_EQ(editor->text(), "New Folder (3)");
    // The tree lists it too (re-synchronised).
    EXPECT_TRUE(form->ShellTree->setPath(folder + "New Folder (3)"));
    // A read-only list does nothing.
    form->goTo(folder);
    form->ShellListView->setReadOnly(true);
    form->btnNewClick();
    EXPECT_FALSE(QFileInfo(folder + "New Folder (4)").exists());
}

TEST_F(ShellMainForm, DeleteSparesTheProtectedTreeNodes) {
    QDir().mkpath(g_home + "/My Documents");
    QDir().mkpath(folder + "sub");
    open();
    auto deleteFromTree = [&](const QString& path) {
        ASSERT_TRUE(form->ShellTree->setPath(path));
        form->ShellTree->setFocus();
        ASSERT_TRUE(waitFor([&] { return form->ShellTree->hasFocus(); }));
        form->DeleteButtonClick();
    };
    deleteFromTree(g_home + "/My Documents");
    EXPECT_EQ(form->ShellTree->selectedCaption(), "My Documents");
    EXPECT_TRUE(questions.isEmpty());  // not even asked
    deleteFromTree(g_home);             // the home node at the top
    EXPECT_TRUE(questions.isEmpty());
    deleteFromTree(folder + "sub");     // an ordinary folder: the trash asks first
    ASSERT_EQ(questions.size(), 1);
    EXPECT_TRUE(questions[0].contains("sub"));
    EXPECT_TRUE(QFileInfo(folder + "sub").isDir());  // answered no
}

TEST_F(ShellMainForm, CutAndPasteBetweenFoldersWithTheButtons) {
    QDir().mkpath(folder + "dst");
    writeSp(folder + "A.SC4", 1);
    open();
    selectOnly({"A.SC4"});
    form->CutButtonClick();
    EXPECT_TRUE(vek::shell::clipboardFiles().cut);
    form->goTo(folder + "dst");
    focusList();
    form->PasteButtonClick();
    EXPECT_TRUE(QFileInfo(folder + "dst/A.SC4").isFile());
    EXPECT_FALSE(QFileInfo(folder + "A.SC4").exists());
    EXPECT_EQ(form->ShellListView->allNames(), QStringList{"A.SC4"});
    form->ParentButtonClick();
    EXPECT_EQ(form->ShellListView->path(), folder);
}

TEST_F(ShellMainForm, FilterIsAppliedOnLeavingOnEnterAndOnPicking) {
    writeSp(folder + "A.SC4", 1);
    writeWav(folder + "b.WAV", 10);
    writeBytes(folder + "c.txt", "x");
    QDir().mkdir(folder + "dir");
    open();
    EXPECT_EQ(form->ShellListView->itemCount(), 4);
    // Typed, then the focus leaves the box.
    form->cmbMask->setFocus();
    ASSERT_TRUE(waitFor([&] { return form->cmbMask->hasFocus(); }));
    form->cmbMask->lineEdit()->selectAll();
    QTest::keyClicks(form->cmbMask->lineEdit(), "*.wav");
    EXPECT_EQ(form->lastFilterText(), "*");  // not yet
    focusList();
    EXPECT_EQ(form->lastFilterText(), "*.wav");
    EXPECT_EQ(form->lastFilterIndex(), -1);
    EXPECT_EQ(form->ShellListView->allNames(), (QStringList{"dir", "b.WAV"}));  // folders stay
    // Typed and Enter.
    form->cmbMask->setFocus();
    ASSERT_TRUE(waitFor([&] { return form->cmbMask->hasFocus(); }));
    form->cmbMask->lineEdit()->selectAll();
    QTest::keyClicks(form->cmbMask->lineEdit(), "*.SC4");
    QTest::keyClick(form->cmbMask->lineEdit(), Qt::Key_Return);
    EXPECT_EQ(form->lastFilterText(), "*.SC4");
    EXPECT_EQ(form->cmbMask->lineEdit()->cursorPosition(), 0);
    EXPECT_EQ(form->ShellListView->allNames(), (QStringList{"dir", "A.SC4"}));
    // Picked from the list.
    form->cmbMask->setCurrentIndex(3);
    form->cmbMaskChange();
    EXPECT_EQ(form->lastFilterIndex(), 3);
    EXPECT_EQ(form->lastFilterText(), "*.sc4;*.wav");
    EXPECT_EQ(form->ShellListView->allNames(), (QStringList{"dir", "A.SC4", "b.WAV"}));
    // Picking the same item again applies nothing new; leaving with the same text neither.
    form->ShellListView->setFilter("*");
    form->cmbMaskChange();
    form->cmbMaskExit();
    EXPECT_EQ(form->ShellListView->itemCount(), 4);
}

TEST_F(ShellMainForm, FilterWaitsWhileTheWindowIsInTheBackground) {
    writeSp(folder + "A.SC4", 1);
    writeBytes(folder + "c.txt", "x");
    open();
    form->cmbMask->setFocus();
    ASSERT_TRUE(waitFor([&] { return form->cmbMask->hasFocus(); }));
    form->cmbMask->lineEdit()->selectAll();
    QTest::keyClicks(form->cmbMask->lineEdit(), "*.sc4");
    // Another program comes to the front: the box keeps its place as the
    // window's focused control, so nothing is applied yet.
    QWidget other;
    other.show();
    QApplication::setActiveWindow(&other);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    EXPECT_EQ(form->lastFilterText(), "*");
    EXPECT_EQ(form->ShellListView->itemCount(), 2);
    // Back in the window, the focus moves on to the list: now it is applied.
    QApplication::setActiveWindow(form.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    focusList();
    EXPECT_EQ(form->lastFilterText(), "*.sc4");
    EXPECT_EQ(form->ShellListView->allNames(), QStringList{"A.SC4"});
}

TEST_F(ShellMainForm, FindKeysAndComboKeys) {
    QDir().mkpath(folder + "deeper");
    open();
    QTest::keyClick(view(), Qt::Key_F3);
    QTest::keyClick(view(), Qt::Key_F, Qt::ControlModifier);
    EXPECT_EQ(form->findDialogsOpened(), 2);
    form->ShellTree->setFocus();
    ASSERT_TRUE(waitFor([&] { return form->ShellTree->hasFocus(); }));
    QTest::keyClick(form->ShellTree, Qt::Key_F3);
    EXPECT_EQ(form->findDialogsOpened(), 3);
    QString asked;
    form->setFindDialogHandler([&](const QString& f) { asked = f; });
    form->mnuFind->trigger();
    EXPECT_EQ(asked, folder);
    // The combo moves to its item's folder when an arrow key is released.
    form->goTo(folder + "deeper");
    const int cur = form->ShellCombo->itemIndex();
    ASSERT_GT(cur, 0);
    EXPECT_EQ(form->ShellCombo->itemPath(cur), folder + "deeper/");
    form->ShellCombo->setCurrentIndex(cur - 1);
    QTest::keyRelease(form->ShellCombo, Qt::Key_Up);
    EXPECT_EQ(form->ShellListView->path(), folder);
    EXPECT_EQ(form->ShellTree->selectedPath(), folder);
}

TEST_F(ShellMainForm, FindResultsOpenTheirFolderAndPropertiesShowTheSelection) {
    QDir().mkpath(folder + "deep/er");
    writeSp(folder + "deep/er/FOUND.SC4", 2);
    writeBytes(folder + "p.wav", QByteArray(100, 'p'));
    open();
    form->mnuFindClick();  // our own find dialog on the list's folder
    auto* find = form->findChild<vek::shell::FindDialog*>();
    ASSERT_NE(find, nullptr);
    find->setPattern("found.sc4");
    ASSERT_EQ(find->search(), 1);
    find->activateResult(0);
    EXPECT_EQ(form->ShellListView->path(), folder + "deep/er/");
    EXPECT_EQ(form->ShellTree->selectedPath(), folder + "deep/er/");
    EXPECT_EQ(form->ShellListView->selectedNames(), QStringList{"FOUND.SC4"});
    find->close();
    form->goTo(folder);
    focusList();
    selectOnly({"p.wav"});
    form->PropertiesButtonClick();
    auto sheets = form->findChildren<vek::shell::PropertiesDialog*>();
    ASSERT_EQ(sheets.size(), 1);
    EXPECT_EQ(sheets[0]->field("Name"), "p.wav");
    EXPECT_TRUE(sheets[0]->field("Size").contains("100 bytes"));
    sheets[0]->close();
}

TEST_F(ShellMainForm, ConversionOnTheDesktopSelectsEverythingNew) {
    const QString desk = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    QDir().mkpath(desk);
    writeWav(desk + "/d.wav", 100);
    open(false);
    form->goTo(desk);
    focusList();
    ASSERT_TRUE(form->ShellListView->isDesktop());
    form->setConversionDialog([&](TMainForm& f, bool) {
        writeSp(desk + "/d.sc4", 1);
        f.showWrittenFile(desk + "/d.sc4");  // on the desktop the list is not re-read here
        ++f.ConvertedCount;
    });
    selectOnly({"d.wav"});
    form->mnuG729Click(form->btnG729);
    EXPECT_EQ(form->ShellListView->allNames(), (QStringList{"d.wav", "d.sc4"}));
    EXPECT_EQ(form->ShellListView->selectedNames(), QStringList{"d.sc4"});
    QFile::remove(desk + "/d.sc4");
    QFile::remove(desk + "/d.wav");
}

TEST_F(ShellMainForm, RefreshTimerBringsAPluggedInRecorderIntoTheTree) {
    QDir().mkpath(dir->path() + "/RECORDER/VOICE");
    open();
    QList<vek::shellwidgets::Volume> vols;
    form->ShellTree->setVolumeProvider([&] { return vols; });
    const auto hasRecorder = [&] {
        for (const auto& v : form->ShellTree->topNodes())
            if (v.caption == "RECORDER") return true;
        return false;
    };
    EXPECT_FALSE(hasRecorder());
    vols = {vek::shellwidgets::Volume{dir->path() + "/RECORDER/", "RECORDER"}};
    EXPECT_TRUE(waitFor(hasRecorder, 10000));  // the next 3-second tick
    vols.clear();
    EXPECT_TRUE(waitFor([&] { return !hasRecorder(); }, 10000));
}

TEST_F(ShellMainForm, ContextMenuOffersTheVerbsAndTheConversions) {
    writeSp(folder + "A.SC4", 1);
    open();
    selectOnly({"A.SC4"});
    std::unique_ptr<QMenu> m(form->ShellListView->buildContextMenu());
    QStringList texts;
    for (QAction* a : m->actions())
        if (!a->isSeparator()) texts << a->text();
    EXPECT_EQ(texts, (QStringList{"&Open", "Cu&t", "&Copy", "&Paste", "&Delete", "Rena&me", "New &Folder",
                                  "P&roperties", form->mnuWave->text(), form->mnuG729->text(),
                                  form->mnuADPCM8->text(), form->mnuADPCM11->text()}));
}

// ------------------------------------------------------------- settings

TEST_F(ShellMainForm, SettingsRoundTrip) {
    QDir().mkpath(folder + "sub");
    open();
    form->SpeedButton1Click(2);
    form->cmbMask->setEditText("*.sc4;*.wav");
    form->goTo(folder + "sub");
    form->Splitter1->setSizes({200, 420});
    form->setGeometry(40, 60, 640, 480);
    QApplication::processEvents();
    const int treeWidth = form->Splitter1->sizes()[0];
    form->close();
    QFile f(ini);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(f.readAll());
    const QSize scr = QGuiApplication::primaryScreen()->size();
    const QString sized = QString("(%1x%2)").arg(scr.width()).arg(scr.height());
    QStringList keys;
    for (const auto& line : text.split("\r\n", Qt::SkipEmptyParts))
        if (!line.startsWith('[')) keys << line.section('=', 0, 0);
    EXPECT_EQ(keys, (QStringList{"Flags", "ShowCmd", "PixelsPerInch", "MinMaxPos" + sized, "MinMaxPos",
                                 "NormPos" + sized, "NormPos", "ShellListView_ViewStyle", "cmbMask_Text",
                                 "ShellListView_Path", "ShellTree_Width"}));
    EXPECT_TRUE(text.contains("NormPos" + sized + "=40,60,680,540\r\n"));
    EXPECT_TRUE(text.contains("\r\nShowCmd=1\r\n"));
    EXPECT_TRUE(text.contains("ShellListView_ViewStyle=vsList\r\n"));
    EXPECT_TRUE(text.contains("cmbMask_Text=*.sc4;*.wav\r\n"));
    EXPECT_TRUE(text.contains("ShellListView_Path=" + folder + "sub/\r\n"));
    EXPECT_TRUE(text.contains(QString("ShellTree_Width=%1\r\n").arg(treeWidth)));
    form.reset();
    // A second window reads it back at its first showing.
    open(false);
    EXPECT_EQ(form->geometry(), QRect(40, 60, 640, 480));
    EXPECT_EQ(form->ShellListView->viewStyle(), vek::shellwidgets::ShellListView::vsList);
    EXPECT_TRUE(form->SpeedButton[2]->isChecked());
    EXPECT_EQ(form->cmbMask->currentText(), "*.sc4;*.wav");
    EXPECT_EQ(form->ShellListView->filter(), "*.sc4;*.wav");
    EXPECT_EQ(form->ShellListView->path(), folder + "sub/");
    EXPECT_EQ(form->ShellTree->selectedPath(), folder + "sub/");
    EXPECT_EQ(form->Splitter1->sizes()[0], treeWidth);
}

TEST_F(ShellMainForm, StoredPositionNeedsTheSameResolutionAndSizedKeysWin) {
    const int ppi = qRound(QGuiApplication::primaryScreen()->logicalDotsPerInch());
    const QSize scr = QGuiApplication::primaryScreen()->size();
    const QString sized = QString("(%1x%2)").arg(scr.width()).arg(scr.height());
    writeBytes(ini, QString("[Main]\r\nPixelsPerInch=%1\r\nNormPos=1,2,301,202\r\nNormPos%2=30,40,670,510\r\n")
                        .arg(ppi).arg(sized).toUtf8());
    open(false);
    EXPECT_EQ(form->geometry(), QRect(30, 40, 640, 470));
    form.reset();
    writeBytes(ini, QString("[Main]\r\nPixelsPerInch=%1\r\nNormPos=30,40,670,510\r\n").arg(ppi + 1).toUtf8());
    open(false);
    EXPECT_NE(form->geometry().topLeft(), QPoint(30, 40));  // another resolution: centred
    form.reset();
    writeBytes(ini, QString("[Main]\r\nPixelsPerInch=%1\r\nNormPos=670,40,30,510\r\n").arg(ppi).toUtf8());
    open(false);
    EXPECT_NE(form->geometry().topLeft(), QPoint(670, 40));
}

TEST_F(ShellMainForm, NetworkOrForeignPathsStartAtHome) {
    for (const char* stored : {"\\\\server\\share\\VOICE\\", "//server/share/", "E:\\VOICE\\", "", "/no/such/folder/"}) {
        writeBytes(ini, QByteArray("[Main]\r\nShellListView_Path=") + stored + "\r\n");
        open(false);
        EXPECT_EQ(form->ShellListView->path(), QDir::homePath() + '/') << stored;
        EXPECT_EQ(form->ShellTree->selectedPath(), QDir::homePath() + '/') << stored;
        form.reset();
    }
}

TEST(ShellSettingsPlace, BesideTheProgramOnlyWhenAlreadyThere) {
    const QString beside = QCoreApplication::applicationDirPath() + "/VekShell.ini";
    ASSERT_FALSE(QFile::exists(beside)) << "leftover settings beside the test program";
    const QString user = qEnvironmentVariable("XDG_CONFIG_HOME") + "/voice-lumo/VekShell.ini";
    EXPECT_EQ(settingsFilePath(), user);
    EXPECT_TRUE(QFileInfo(user).dir().exists());
    writeBytes(beside, "[Main]\r\n");
    EXPECT_EQ(settingsFilePath(), beside);  // a portable install
    QFile::remove(beside);
}

TEST_F(ShellMainForm, SettingsAreWrittenOnDestructionWhenNotClosed) {
    open();
    form.reset();
    EXPECT_TRUE(QFileInfo(ini).isFile());
}

// ------------------------------------------------------ splash and about

TEST(ShellSplash, PictureAndWindow) {
    const QImage img = splashImage();
    ASSERT_FALSE(img.isNull());  // decoded from JPEG
    EXPECT_EQ(img.size(), QSize(498, 388));
    QPointer<TSplashForm> s = new TSplashForm;
    EXPECT_TRUE(s->isVisible());
    EXPECT_EQ(s->size(), QSize(500, 390));  // 409 less the caption bar it no longer has
    EXPECT_TRUE(s->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(s->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(s->Timer->interval(), 2000);
    EXPECT_EQ(s->Image->pixmap().size(), QSize(498, 388));
    s->Timer->start(1);
    EXPECT_TRUE(waitFor([&] { return s.isNull(); }, 2000));  // hidden and destroyed
}

TEST(ShellAboutBox, TextsAndLinks) {
    TAboutBox box;
    EXPECT_EQ(box.windowTitle(), "About voice lumo manager");
    EXPECT_EQ(box.size(), QSize(357, 179));
    EXPECT_EQ(box.Label2->text(), "voice lumo manager for Windows 95/98/NT/2000/ME/XP");
    EXPECT_EQ(box.Label1->text(), "Version 1.00");
    EXPECT_EQ(box.Label3->text(), "SC4, WAV File Converter");
    EXPECT_EQ(box.btnOK->text(), "OK");
    EXPECT_TRUE(box.btnOK->isDefault());
    EXPECT_FALSE(box.Image1->pixmap().isNull());
    // Without vendor addresses configured, both links lead to the installed documentation.
    EXPECT_TRUE(box.link7().isLocalFile()) << box.link7().toString().toStdString();
    EXPECT_TRUE(box.link6().isLocalFile());
    EXPECT_TRUE(box.link6().toLocalFile().startsWith(TAboutBox::documentationFolder()));
    EXPECT_TRUE(box.Label7->text().contains("<a href"));
    EXPECT_EQ(box.Label7->cursor().shape(), Qt::PointingHandCursor);
    box.show();
    QTest::keyClick(&box, Qt::Key_Escape);
    EXPECT_FALSE(box.isVisible());
}
