// The main window driven as a user drives it: clicks and keys on the views,
// the toolbar and the menus, the real conversion dialogs, the splash and the
// about box's links.
// SPDX-License-Identifier: GPL-3.0-or-later
#include "aboutbox.hpp"
#include "commandicons.hpp"
#include "conversion.hpp"
#include "mainform.hpp"
#include "splashform.hpp"
#include "testutil.hpp"

#include "vek/platform/shellverbs.hpp"
#include "vekwf.h"

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QUrl>

#include <memory>

using namespace vekshell;
using namespace vekshell::test;

// Receives the URLs the desktop is asked to open.
class UrlRecorder : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl& u) { urls << u; }
};

namespace {

// Answers every modal message box: records it and presses `press` (or OK).
class BoxAnswerer {
public:
    explicit BoxAnswerer(QMessageBox::StandardButton press = QMessageBox::Ok) : m_press(press) {
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) return;
            seen << box->windowTitle() + ": " + box->text();
            QAbstractButton* b = box->button(m_press);
            if (!b) b = box->button(QMessageBox::Ok);
            QTest::mouseClick(b, Qt::LeftButton);
        });
        m_timer.start(5);
    }
    QStringList seen;

private:
    QTimer m_timer;
    QMessageBox::StandardButton m_press;
};

class ShellUser : public ::testing::Test {
protected:
    void SetUp() override {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        dir = std::make_unique<QTemporaryDir>(QDir::homePath() + "/u-XXXXXX");
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
    // The window as a settings file left it (view style, folder), the list
    // focused; with the real conversion dialogs when asked.
    void open(const QString& viewStyle = {}, bool dialogs = false) {
        form.reset();
        writeBytes(ini, ("[Main]\r\nShellListView_Path=" + folder + "\r\n" +
                         (viewStyle.isEmpty() ? QString() : "ShellListView_ViewStyle=" + viewStyle + "\r\n"))
                            .toUtf8());
        form = std::make_unique<TMainForm>();
        form->setSettingsPath(ini);
        form->setMessageHandler([this](const QString& t, const QString&, MsgIcon) { msgs << t; });
        form->setDesktopWaitMs(0);
        if (dialogs) {
            ASSERT_TRUE(haveConversionDialogs());
            installConversionDialogs(*form);
        }
        form->show();
        QApplication::setActiveWindow(form.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
        ASSERT_EQ(form->ShellListView->path(), folder);
        focusList();
    }
    void focusList() {
        form->ShellListView->focusList();
        ASSERT_TRUE(waitFor([&] { return form->ShellListView->listHasFocus(); }));
    }
    QAbstractItemView* view() const { return form->ShellListView->currentView(); }
    void click(const QString& name, Qt::KeyboardModifiers mods = {}) {
        const int r = int(form->ShellListView->allNames().indexOf(name));
        ASSERT_GE(r, 0) << name.toStdString();
        view()->scrollTo(view()->model()->index(r, 0));
        const QRect rect = view()->visualRect(view()->model()->index(r, 0));
        ASSERT_TRUE(rect.isValid()) << name.toStdString();
        QTest::mouseClick(view()->viewport(), Qt::LeftButton, mods, rect.center());
        QApplication::processEvents();
        QApplication::processEvents();
    }
    QStringList selected() const { return form->ShellListView->selectedNames(); }
    // A 16-bit mono WAV file whose RIFF and data sizes are `placeholder`.
    void writeStreamWav(const QString& path, int samples, quint32 placeholder) {
        writeWav(path, samples);
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        QByteArray b = f.readAll();
        for (int i = 0; i < 4; ++i) b[4 + i] = b[40 + i] = char((placeholder >> (8 * i)) & 0xFF);
        f.seek(0);
        f.write(b);
    }
    static QByteArray bytes(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    std::unique_ptr<QTemporaryDir> dir;
    QString folder, ini;
    std::unique_ptr<TMainForm> form;
    QStringList msgs, questions;
};

// A private icon theme with a few solid-coloured pictures, made current for
// the life of the object.
class TestIconTheme {
public:
    TestIconTheme() : m_oldPaths(QIcon::themeSearchPaths()), m_oldName(QIcon::themeName()) {
        const QString root = m_dir.path() + "/vektest";
        for (const char* sub : {"actions", "mimetypes"}) QDir().mkpath(root + "/16x16/" + sub);
        writeBytes(root + "/index.theme",
                   "[Icon Theme]\nName=vektest\nDirectories=16x16/actions,16x16/mimetypes\n\n"
                   "[16x16/actions]\nSize=16\nType=Fixed\n\n[16x16/mimetypes]\nSize=16\nType=Fixed\n");
        solid(root + "/16x16/actions/edit-copy.png", Qt::green);
        solid(root + "/16x16/mimetypes/audio-x-wav.png", Qt::red);
        solid(root + "/16x16/mimetypes/application-octet-stream.png", Qt::blue);
        QIcon::setThemeSearchPaths({m_dir.path()});
        QIcon::setThemeName("vektest");
    }
    ~TestIconTheme() {
        QIcon::setThemeSearchPaths(m_oldPaths);
        QIcon::setThemeName(m_oldName);
    }
    static QColor centre(const QIcon& icon) { return icon.pixmap(16, 16).toImage().pixelColor(8, 8); }

private:
    static void solid(const QString& path, const QColor& c) {
        QImage img(16, 16, QImage::Format_ARGB32);
        img.fill(c);
        img.save(path, "PNG");
    }
    QTemporaryDir m_dir;
    QStringList m_oldPaths;
    QString m_oldName;
};

// Share of the picture's pixels that are not transparent.
double coverage(const QIcon& icon, int size) {
    const QImage img = icon.pixmap(size, size).toImage().convertToFormat(QImage::Format_ARGB32);
    int opaque = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) opaque += qAlpha(img.pixel(x, y)) > 32;
    return double(opaque) / double(img.width() * img.height());
}

}  // namespace

// ------------------------------------------------------------ selection

TEST_F(ShellUser, EveryViewStyleSelectsWhatIsClickedAndTheCommandsActOnIt) {
    writeSp(folder + "A.SC4", 2);  // 1024 bytes: 1 s
    writeSp(folder + "B.SC4", 4);  // 2048 bytes: 2 s
    writeBytes(folder + "c.txt", "c");
    const QStringList styles{"vsIcon", "vsSmallIcon", "vsList", "vsReport"};
    for (int s = 0; s < styles.size(); ++s) {
        SCOPED_TRACE(styles[s].toStdString());
        msgs.clear();
        questions.clear();
        open(styles[s]);
        ASSERT_EQ(int(form->ShellListView->viewStyle()), s);
        EXPECT_TRUE(form->SpeedButton[s]->isChecked());
        click("A.SC4");
        EXPECT_EQ(selected(), QStringList{"A.SC4"});
        EXPECT_EQ(form->panelText(0), "1 object(s) selected");
        EXPECT_EQ(form->panelText(1), "1.00KB");
        EXPECT_EQ(form->panelText(2), "SP  [00:00:01]");
        click("B.SC4", Qt::ControlModifier);
        EXPECT_EQ(selected(), (QStringList{"A.SC4", "B.SC4"}));
        EXPECT_EQ(form->panelText(0), "2 object(s) selected");
        EXPECT_EQ(form->panelText(1), "3.00KB");
        EXPECT_EQ(form->panelText(2), "SP  [00:00:02]");
        // F12 takes the clicked files.
        QStringList passed;
        form->setConversionDialog([&](TMainForm& f, bool toWav) {
            EXPECT_TRUE(toWav);
            passed = f.SelectedNames;
        });
        QTest::keyClick(view(), Qt::Key_F12);
        EXPECT_TRUE(msgs.isEmpty()) << msgs.join('|').toStdString();
        EXPECT_EQ(passed, (QStringList{"A.SC4", "B.SC4"}));
        // The toolbar's Delete asks about the clicked file.
        click("c.txt");
        QTest::mouseClick(form->DeleteButton, Qt::LeftButton);
        ASSERT_EQ(questions.size(), 1);
        EXPECT_TRUE(questions[0].contains("'c.txt'")) << questions[0].toStdString();
        // Ctrl+A selects everything, which the status bar counts.
        QTest::keyClick(view(), Qt::Key_A, Qt::ControlModifier);
        EXPECT_EQ(form->panelText(0), "3 object(s) selected");
    }
}

// ------------------------------------------------------------ folder tree

TEST_F(ShellUser, TreeMenuOffersNoConversionsAndItsFindLeadsToTheResult) {
    QDir().mkpath(folder + "sub/deeper");
    writeSp(folder + "sub/deeper/FOUND.SC4", 1);
    writeSp(folder + "top.sc4", 1);
    open();
    vek::shellwidgets::ShellTree* tree = form->ShellTree;
    ASSERT_EQ(tree->selectedPath(), folder);
    const QRect node = tree->visualRect(tree->currentIndex());
    ASSERT_TRUE(node.isValid());

    QStringList texts;
    bool picked = false;
    QTimer menuHand;
    QObject::connect(&menuHand, &QTimer::timeout, [&] {
        auto* m = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!m || picked) return;
        picked = true;
        for (QAction* a : m->actions())
            if (!a->isSeparator()) texts << a->text();
        for (QAction* a : m->actions())
            if (a->text() == "&Find...") QTest::mouseClick(m, Qt::LeftButton, {}, m->actionGeometry(a).center());
    });
    menuHand.start(10);
    QContextMenuEvent right(QContextMenuEvent::Mouse, node.center(), tree->viewport()->mapToGlobal(node.center()));
    QApplication::sendEvent(tree->viewport(), &right);
    menuHand.stop();
    ASSERT_TRUE(picked);
    EXPECT_TRUE(texts.contains("&Find...")) << texts.join('|').toStdString();
    for (QAction* conv : {form->mnuWave, form->mnuG729, form->mnuADPCM8, form->mnuADPCM11})
        EXPECT_FALSE(texts.contains(conv->text())) << conv->text().toStdString();

    // The find dialog: a name typed, Find Now clicked, the result double-clicked.
    vek::shell::FindDialog* find = nullptr;
    ASSERT_TRUE(waitFor([&] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* d = qobject_cast<vek::shell::FindDialog*>(w); d && d->isVisible()) find = d;
        return find != nullptr;
    }));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(find));
    QLineEdit* pattern = find->findChildren<QLineEdit*>().value(0);
    ASSERT_NE(pattern, nullptr);
    // Its labels show their mnemonics as such: Alt+N reaches the name field.
    for (QLabel* l : find->findChildren<QLabel*>()) {
        if (l->text().contains('&')) {
            EXPECT_NE(l->buddy(), nullptr) << l->text().toStdString();
        }
    }
    find->findChildren<QLineEdit*>().value(1)->setFocus();
    QTest::keyClick(find, Qt::Key_N, Qt::AltModifier);
    EXPECT_TRUE(pattern->hasFocus());
    pattern->selectAll();
    QTest::keyClicks(pattern, "found");
    QPushButton* findNow = nullptr;
    for (QPushButton* b : find->findChildren<QPushButton*>())
        if (b->text() == "Find Now") findNow = b;
    ASSERT_NE(findNow, nullptr);
    QTest::mouseClick(findNow, Qt::LeftButton);
    auto* results = find->findChild<QTreeWidget*>();
    ASSERT_NE(results, nullptr);
    ASSERT_EQ(results->topLevelItemCount(), 1);
    const QRect hit = results->visualItemRect(results->topLevelItem(0));
    ASSERT_FALSE(hit.isEmpty());
    // A double-click: press and release, then the second press.
    QTest::mouseClick(results->viewport(), Qt::LeftButton, {}, hit.center());
    QTest::mouseDClick(results->viewport(), Qt::LeftButton, {}, hit.center());
    EXPECT_TRUE(waitFor([&] { return form->ShellListView->path() == folder + "sub/deeper/"; }, 2000))
        << form->ShellListView->path().toStdString();
    EXPECT_EQ(tree->selectedPath(), folder + "sub/deeper/");
    EXPECT_EQ(selected(), QStringList{"FOUND.SC4"});
    EXPECT_EQ(form->panelText(0), "1 object(s) selected");
    find->close();
}

// ------------------------------------------------------------ conversions

TEST_F(ShellUser, AFilterThatHidesTheResultLeavesNothingSelected) {
    writeAdpcmSc4(folder + "A.SC4", 150, false);
    writeAdpcmSc4(folder + "B.SC4", 150, false);
    open({}, true);
    QLineEdit* mask = form->cmbMask->lineEdit();
    mask->setFocus();
    mask->selectAll();
    QTest::keyClicks(mask, "*.sc4");
    QTest::keyClick(mask, Qt::Key_Return);
    ASSERT_EQ(form->ShellListView->allNames(), (QStringList{"A.SC4", "B.SC4"}));
    focusList();
    BoxAnswerer boxes;
    click("A.SC4");
    QTest::keyClick(view(), Qt::Key_F12);
    EXPECT_TRUE(boxes.seen.isEmpty()) << boxes.seen.join('|').toStdString();
    ASSERT_TRUE(QFileInfo(folder + "A.wav").isFile());
    EXPECT_TRUE(selected().isEmpty()) << selected().join('|').toStdString();
    EXPECT_EQ(form->panelText(0), "2 object(s)");
    // So the next F12 has nothing to convert, and B.SC4 stays as it is.
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    QTest::keyClick(view(), Qt::Key_F12);
    EXPECT_EQ(msgs, QStringList{"Select '.sc4' file."});
    EXPECT_FALSE(QFileInfo::exists(folder + "B.wav"));
}

TEST_F(ShellUser, OnTheDesktopEveryConvertedFileEndsSelected) {
    const QString desk = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    QDir().mkpath(desk);
    const QStringList stems{"D1", "D2", "D3"};
    for (int i = 0; i < stems.size(); ++i) writeAdpcmSc4(desk + "/" + stems[i] + ".SC4", 68 * (30 + 20 * i), i == 1);
    folder = desk + "/";
    open({}, true);
    ASSERT_TRUE(form->ShellListView->isDesktop());
    // The directory monitor re-reads at once, while the job still runs.
    form->ShellListView->setMonitorDelay(0);
    BoxAnswerer boxes;
    click("D1.SC4");
    click("D2.SC4", Qt::ControlModifier);
    click("D3.SC4", Qt::ControlModifier);
    QTest::keyClick(view(), Qt::Key_F12);
    EXPECT_TRUE(boxes.seen.isEmpty()) << boxes.seen.join('|').toStdString();
    QStringList wavs = selected();
    wavs.sort();
    EXPECT_EQ(wavs, (QStringList{"D1.wav", "D2.wav", "D3.wav"}));
    EXPECT_EQ(form->panelText(0), "3 object(s) selected");
    for (const QString& s : stems) {
        QFile::remove(desk + "/" + s + ".SC4");
        QFile::remove(desk + "/" + s + ".wav");
    }
}

TEST_F(ShellUser, AListThatMovedAwayDuringTheJobSelectsNothingOfTheNewFolder) {
    writeWav(folder + "x.wav", 100);
    writeWav(dir->path() + "/x.sc4", 100);  // the parent holds a file of the written name
    open();
    form->setConversionDialog([&](TMainForm& f, bool) {
        writeSp(folder + "x.sc4", 1);
        // The recorder is unplugged: the tree and the list move to the parent.
        f.goTo(dir->path());
        f.showWrittenFile(folder + "x.sc4");
        ++f.ConvertedCount;
    });
    click("x.wav");
    QTest::keyClick(view(), Qt::Key_F11);
    ASSERT_EQ(form->ShellListView->path(), dir->path() + "/");
    EXPECT_TRUE(selected().isEmpty()) << selected().join('|').toStdString();
}

TEST_F(ShellUser, AConversionThatWritesNothingLeavesNoOldSelectionInTheStatusBar) {
    writeAdpcmSc4(folder + "A.SC4", 100, false);
    writeBytes(folder + "A.wav", "keep me");
    open({}, true);
    click("A.SC4");
    ASSERT_EQ(form->panelText(0), "1 object(s) selected");
    BoxAnswerer no(QMessageBox::No);
    QTest::keyClick(view(), Qt::Key_F12);
    ASSERT_EQ(no.seen.size(), 1);
    EXPECT_TRUE(no.seen[0].startsWith("Confirm File Replace: ")) << no.seen[0].toStdString();
    EXPECT_EQ(bytes(folder + "A.wav"), "keep me");
    EXPECT_TRUE(selected().isEmpty());
    EXPECT_EQ(form->panelText(0), "2 object(s)");
    EXPECT_EQ(form->panelText(2), "");
}

// A FLAC file holding the samples of a WAV file, written through vekwf.
static void flacFromWav(const QString& wav, const QString& flac) {
    std::int16_t bits = 0, channels = 0, tag = 0;
    std::int32_t rate = 0, bytes = 0;
    const VekWaveHandle in = ReadWaveHeader(QFile::encodeName(wav).constData(), &bits, &channels, &rate, &bytes, &tag);
    ASSERT_NE(in, 0);
    std::vector<char> data(static_cast<std::size_t>(bytes));
    ASSERT_EQ(ReadWaveFile(in, data.data(), bytes), bytes);
    CloseReadWaveFile(in);
    const VekWaveHandle out = WriteAudioHeader(QFile::encodeName(flac).constData(), 16, channels, rate, kVekAudioFlac);
    ASSERT_NE(out, 0);
    ASSERT_EQ(WriteWaveFile(out, data.data(), bytes), bytes);
    ASSERT_EQ(CloseWriteWaveFile(out), 1);
}

TEST_F(ShellUser, FlacFileConvertsWithF10LikeItsWav) {
    writeWav(folder + "plain.wav", 12000, 44100);
    flacFromWav(folder + "plain.wav", folder + "Talk.FLAC");
    writeBytes(folder + "broken.flac", "fLaC but nothing after it");
    writeBytes(folder + "notes.txt", "no sound");
    open({}, true);
    BoxAnswerer boxes;
    // A text file alone is no sound file: the designed message.
    click("notes.txt");
    QTest::keyClick(view(), Qt::Key_F10);
    EXPECT_EQ(msgs, QStringList{"Select '.wav' file."});
    EXPECT_TRUE(boxes.seen.isEmpty()) << boxes.seen.join('|').toStdString();
    msgs.clear();
    click("plain.wav");
    click("Talk.FLAC", Qt::ControlModifier);
    click("broken.flac", Qt::ControlModifier);
    click("notes.txt", Qt::ControlModifier);
    QTest::keyClick(view(), Qt::Key_F10);  // HQ
    // Lossless: the FLAC file gives the WAV file's SC4 bytes, mixed and
    // resampled from 44.1 kHz the same way; the broken one its message.
    ASSERT_EQ(boxes.seen.size(), 1) << boxes.seen.join('|').toStdString();
    EXPECT_TRUE(boxes.seen[0].endsWith(": Can not open file! (broken.flac)")) << boxes.seen[0].toStdString();
    EXPECT_TRUE(msgs.isEmpty()) << msgs.join('|').toStdString();
    const QByteArray expected = bytes(folder + "plain.sc4");
    ASSERT_GT(expected.size(), 512);
    EXPECT_EQ(bytes(folder + "Talk.sc4"), expected);
    EXPECT_FALSE(QFileInfo::exists(folder + "broken.sc4"));
    QStringList written = selected();
    written.sort();
    EXPECT_EQ(written, (QStringList{"Talk.sc4", "plain.sc4"}));
}

TEST_F(ShellUser, StreamedWavesWithPlaceholderSizesConvertInFull) {
    writeWav(folder + "plain.wav", 12000);
    writeStreamWav(folder + "zero.wav", 12000, 0);
    writeStreamWav(folder + "ones.wav", 12000, 0xFFFFFFFF);
    open({}, true);
    BoxAnswerer boxes;
    click("ones.wav");
    click("plain.wav", Qt::ControlModifier);
    click("zero.wav", Qt::ControlModifier);
    QTest::keyClick(view(), Qt::Key_F10);  // HQ
    EXPECT_TRUE(boxes.seen.isEmpty()) << boxes.seen.join('|').toStdString();
    const QByteArray expected = bytes(folder + "plain.sc4");
    // 12000 samples: four blocks of 3944 samples, 272 frames of 30 bytes in
    // the container's 512-byte sectors.
    ASSERT_GT(expected.size(), 8000);
    EXPECT_EQ(bytes(folder + "zero.sc4"), expected);
    EXPECT_EQ(bytes(folder + "ones.sc4"), expected);
    EXPECT_EQ(selected(), (QStringList{"ones.sc4", "plain.sc4", "zero.sc4"}));
    EXPECT_EQ(form->panelText(0), "3 object(s) selected");
}

// ---------------------------------------------------------- the window

TEST_F(ShellUser, FilterBoxHasItsWidthFromTheStart) {
    open();
    ASSERT_EQ(form->width(), 630);
    ASSERT_EQ(form->Panel1->width(), 630);
    // 630 - 557, and inside the toolbar without any resize by the user.
    EXPECT_EQ(form->cmbMask->width(), 73);
    EXPECT_LE(form->cmbMask->geometry().right(), form->Panel1->width() - 1);
}

TEST_F(ShellUser, ClipboardButtonsShowPicturesThemeFirst) {
    TestIconTheme theme;  // has edit-copy only
    open();
    EXPECT_EQ(TestIconTheme::centre(form->CopyButton->icon()), QColor(Qt::green));
    // Cut and Paste: pictures of our own, no badge with a letter (a badge
    // fills most of its square; a drawing leaves most of it clear).
    const QIcon cut = form->CutButton->icon(), paste = form->PasteButton->icon();
    ASSERT_FALSE(cut.isNull());
    ASSERT_FALSE(paste.isNull());
    for (const QIcon& i : {cut, paste}) {
        EXPECT_GT(coverage(i, 24), 0.08);
        EXPECT_LT(coverage(i, 24), 0.5);
    }
    EXPECT_NE(cut.pixmap(24, 24).toImage(), paste.pixmap(24, 24).toImage());
    EXPECT_NE(cut.pixmap(24, 24).toImage(), drawnCommandIcon("edit-copy").pixmap(24, 24).toImage());
}

TEST_F(ShellUser, FilesShowTheDesktopsPictureOfTheirType) {
    TestIconTheme theme;
    writeWav(folder + "a.wav", 10);
    writeSp(folder + "b.sc4", 1);
    open();
    auto iconOf = [&](const QString& name) {
        const int r = int(form->ShellListView->allNames().indexOf(name));
        return qvariant_cast<QIcon>(form->ShellListView->model()->data(form->ShellListView->model()->index(r, 0),
                                                                       Qt::DecorationRole));
    };
    EXPECT_EQ(TestIconTheme::centre(iconOf("a.wav")), QColor(Qt::red));
    // No type registered for .sc4 here: the desktop's picture for unknown data.
    EXPECT_EQ(TestIconTheme::centre(iconOf("b.sc4")), QColor(Qt::blue));
}

TEST(ShellUserSplash, BorderClosesRoundThePicture) {
    const QImage img = splashImage();
    ASSERT_EQ(img.size(), QSize(498, 388));
    QPointer<TSplashForm> s = new TSplashForm;
    ASSERT_TRUE(QTest::qWaitForWindowExposed(s.data()));
    EXPECT_EQ(s->size(), QSize(500, 390));
    const QImage shot = s->grab().toImage();
    // The last row inside the border is the picture's last row.
    const int y = shot.height() - 2;
    int same = 0;
    for (int x = 0; x < img.width(); x += 7) same += shot.pixelColor(x + 1, y) == img.pixelColor(x, img.height() - 1);
    EXPECT_GT(same, img.width() / 7 * 9 / 10);
    s->close();
}

TEST(ShellUserAbout, LinksOpenDocumentationThatExists) {
    UrlRecorder desktop;
    QDesktopServices::setUrlHandler("file", &desktop, "open");
    TAboutBox box;
    box.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
    QTest::mouseClick(box.Label7, Qt::LeftButton, {}, QPoint(12, box.Label7->height() / 2));
    QTest::mouseClick(box.Label6, Qt::LeftButton, {}, QPoint(12, box.Label6->height() / 2));
    QDesktopServices::unsetUrlHandler("file");
    ASSERT_EQ(desktop.urls.size(), 2);
    EXPECT_TRUE(QFileInfo(desktop.urls[0].toLocalFile()).isFile()) << desktop.urls[0].toString().toStdString();
    EXPECT_TRUE(desktop.urls[0].toLocalFile().endsWith("README.md"));
    EXPECT_TRUE(QFileInfo(desktop.urls[1].toLocalFile()).isDir()) << desktop.urls[1].toString().toStdString();
}

#include "mainform_user_test.moc"
