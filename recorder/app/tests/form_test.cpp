// The recorder window headless: its face (sizes, menus, shortcuts, hints,
// initial states, nothing clipped), its files and settings, the close
// question, the first-run dialog and the file hand-over.
// SPDX-License-Identifier: GPL-3.0-or-later
#include "draghandle.hpp"
#include "icons.hpp"
#include "maildlg.hpp"
#include "startup.hpp"
#include "statusbar.hpp"
#include "vm0007form.hpp"

#include "vek/platform/winreg.hpp"
#include "vek/recwidgets/dbmeter.hpp"
#include "vek/recwidgets/display.hpp"
#include "vek/recwidgets/mousebar.hpp"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <memory>

using namespace vekvmail;

namespace {

QByteArray readFile(const QString& p) {
    QFile f(p);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString& p, const QByteArray& b) {
    QDir().mkpath(QFileInfo(p).path());
    QFile f(p);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << p.toStdString();
    f.write(b);
}

QByteArray spSectors(int n) {
    QByteArray b;
    for (int s = 0; s < n; ++s) {
        b += QByteArray("dmr1data\xF4\x01", 10);
        for (int i = 0; i < 500; ++i) b += char((s * 13 + i) & 0xFF);
        b += QByteArray(2, '\0');
    }
    return b;
}

// A program folder, a configuration and a data folder of its own per test.
struct Sandbox {
    QTemporaryDir dir;
    QString program, config, data;
    Sandbox() {
        program = dir.path() + "/bin/";
        config = dir.path() + "/config";
        data = dir.path() + "/data";
        QDir().mkpath(program);
        qputenv("XDG_CONFIG_HOME", config.toUtf8());
        qputenv("XDG_DATA_HOME", data.toUtf8());
    }
    QString userIni() const { return config + "/voice-lumo/VEKVMAIL.INI"; }
    QString userData() const { return data + "/voice-lumo/DATA/"; }
    void writeIni(const QByteArray& text = "[Main]\r\n") { writeFile(userIni(), text); }
};

// The main window with its mail-program dialog, shown and through its first show.
struct Window {
    std::unique_ptr<TVM0007Form> form;
    std::unique_ptr<TMailDlg> mail;
    explicit Window(TVM0007Form::Environment env, const Sandbox& s) {
        if (env.programDir.isEmpty()) env.programDir = s.program;
        if (!env.screenSize) env.screenSize = [] { return QSize(1024, 768); };
        form = std::make_unique<TVM0007Form>(env);
        mail = std::make_unique<TMailDlg>(form.get());
        form->setDialogs(nullptr, mail.get(), nullptr);
    }
    // False when the first show did not finish in time.
    bool show() {
        bool done = false;
        QObject::connect(form.get(), &TVM0007Form::shownOnce, [&done] { done = true; });
        form->show();
        QElapsedTimer t;
        t.start();
        while (!done && t.elapsed() < 5000) QApplication::processEvents(QEventLoop::AllEvents, 20);
        return done;
    }
    ~Window() {
        if (form && form->isVisible()) {
            form->setModified(false);
            form->close();
        }
    }
};

// Answers the next modal window that shows up; `seen` receives it before the answer.
void answerModal(std::function<void(QWidget*)> act, int timeoutMs = 5000) {
    auto* timer = new QTimer;
    auto started = std::make_shared<QElapsedTimer>();
    started->start();
    QObject::connect(timer, &QTimer::timeout, [timer, act, started, timeoutMs] {
        if (QWidget* w = QApplication::activeModalWidget()) {
            timer->stop();
            timer->deleteLater();
            act(w);
        } else if (started->elapsed() > timeoutMs) {
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start(20);
}

QString digits(const std::array<TDisplay*, 8>& cells) {
    QString s;
    for (TDisplay* d : cells) s += QChar(d->digit());
    return s;
}

}  // namespace

// ---------------------------------------------------------------- the face

TEST(RecorderFace, FixedClientAreaBelowTheMenuBar) {
    Sandbox s;
    s.writeIni();
    Window w({}, s);
    ASSERT_TRUE(w.show());
    TVM0007Form& f = *w.form;
    EXPECT_EQ(f.windowTitle(), "voice lumo player [New]");
    EXPECT_EQ(f.centralWidget()->size(), QSize(272, 206));
    EXPECT_EQ(f.centralWidget()->y(), f.menuBar()->height());
    EXPECT_EQ(f.size(), QSize(272, 206 + f.menuBar()->height()));
    EXPECT_EQ(f.minimumSize(), f.maximumSize()) << "the window is of fixed size";
    EXPECT_FALSE(f.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(f.windowFlags() & Qt::WindowMinimizeButtonHint);

    // Every control lies inside the client area, panels stacked top to bottom.
    const QRect client(QPoint(0, 0), QSize(272, 206));
    for (QWidget* c : f.centralWidget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        EXPECT_TRUE(client.contains(c->geometry())) << c->objectName().toStdString();
    EXPECT_LT(f.Panel1->geometry().bottom(), f.Panel4->geometry().top());
    EXPECT_LT(f.Panel4->geometry().bottom(), f.Panel5->geometry().top());
    EXPECT_LT(f.Panel5->geometry().bottom(), f.TrackBar->geometry().top());
    const QPoint meter = f.DBMeter->mapTo(f.centralWidget(), QPoint(0, 0));
    const QPoint total = f.dsptT1->mapTo(f.centralWidget(), QPoint(0, f.dsptT1->height()));
    EXPECT_GT(meter.y(), total.y()) << "the meter lies under the clocks";
    EXPECT_EQ(f.StatusBar->geometry().bottom(), 205);

    // Speed buttons: 25 x 25 with a picture at 1x and 2x.
    const QList<QToolButton*> buttons = {f.SBNew, f.SBOpen, f.SBSave, f.SBDelB, f.SBDelA, f.SBVoice,
                                         f.SBVol, f.SBMail, f.SBMailP, f.SBFB, f.SBFF, f.SBPlay,
                                         f.SBStop, f.SBRec, f.SBRec2, f.SBRecP};
    for (QToolButton* b : buttons) {
        EXPECT_EQ(b->size(), QSize(25, 25)) << b->objectName().toStdString();
        const QPixmap one = b->icon().pixmap(QSize(18, 18), 1.0);
        const QPixmap two = b->icon().pixmap(QSize(18, 18), 2.0);
        EXPECT_EQ(one.size(), QSize(18, 18)) << b->objectName().toStdString();
        EXPECT_EQ(two.size(), QSize(36, 36)) << b->objectName().toStdString() << " has no 2x picture";
        // Not blank: some pixel is opaque.
        const QImage img = two.toImage();
        bool ink = false;
        for (int y = 0; y < img.height() && !ink; ++y)
            for (int x = 0; x < img.width() && !ink; ++x) ink = qAlpha(img.pixel(x, y)) > 200;
        EXPECT_TRUE(ink) << b->objectName().toStdString();
        EXPECT_EQ(b->parentWidget(), b == f.SBFB || b == f.SBFF || b == f.SBPlay || b == f.SBStop ||
                                             b == f.SBRec || b == f.SBRec2 || b == f.SBRecP
                                         ? static_cast<QWidget*>(f.Panel5)
                                         : static_cast<QWidget*>(f.Panel1));
    }
    // No two buttons overlap.
    for (int i = 0; i < buttons.size(); ++i)
        for (int j = i + 1; j < buttons.size(); ++j)
            if (buttons[i]->parentWidget() == buttons[j]->parentWidget()) {
                EXPECT_FALSE(buttons[i]->geometry().intersects(buttons[j]->geometry()))
                    << buttons[i]->objectName().toStdString() << " " << buttons[j]->objectName().toStdString();
            }
}

TEST(RecorderFace, EveryPictureRendersAtOneAndTwoTimesTheScale) {
    const QStringList names = QDir(":/vekvmail/icons").entryList({"*.svg"});
    EXPECT_GE(names.size(), 24);
    for (const QString& file : names) {
        const QString name = QFileInfo(file).completeBaseName();
        for (int px : {16, 32, 64}) {
            const QImage img = renderSvg(name, px);
            ASSERT_EQ(img.size(), QSize(px, px)) << file.toStdString();
            int opaque = 0;
            for (int y = 0; y < px; ++y)
                for (int x = 0; x < px; ++x) opaque += qAlpha(img.pixel(x, y)) > 200;
            EXPECT_GT(opaque, px * px / 20) << file.toStdString() << " is nearly empty at " << px;
        }
    }
    EXPECT_TRUE(renderSvg("no-such-picture", 16).isNull());
    EXPECT_EQ(programIcon().pixmap(QSize(32, 32)).size(), QSize(32, 32));
    // Disabled buttons show a grey form of their picture, not the picture.
    const QIcon play = svgIcon("play", 18);
    const QImage on = play.pixmap(QSize(18, 18), 1.0, QIcon::Normal).toImage();
    const QImage off = play.pixmap(QSize(18, 18), 1.0, QIcon::Disabled).toImage();
    ASSERT_EQ(on.size(), off.size());
    bool greenOn = false, colourOff = false;
    for (int y = 0; y < 18; ++y)
        for (int x = 0; x < 18; ++x) {
            const QColor a = on.pixelColor(x, y), b = off.pixelColor(x, y);
            greenOn |= a.alpha() > 200 && a.green() > a.red() + 40;
            colourOff |= b.alpha() > 0 && (std::abs(b.red() - b.green()) > 2 || std::abs(b.green() - b.blue()) > 2);
        }
    EXPECT_TRUE(greenOn);
    EXPECT_FALSE(colourOff);
}

TEST(RecorderFace, HintsAndInitialStates) {
    Sandbox s;
    s.writeIni();
    Window w({}, s);
    ASSERT_TRUE(w.show());
    TVM0007Form& f = *w.form;
    const QList<std::pair<QWidget*, QString>> hints = {
        {f.SBNew, "New"},
        {f.SBOpen, "Open"},
        {f.SBSave, "Save"},
        {f.SBDelB, "Delete before current position"},
        {f.SBDelA, "Delete after current position"},
        {f.SBVoice, "Voice Effect"},
        {f.SBVol, "Volume"},
        {f.SBMail, "Send Voice Mail : Voice File (.SC4)\n(If recipient has voice lumo player)"},
        {f.SBMailP, "Send Voice Mail : Voice File+Player (.EXE)\n(If recipient does not have voice lumo player)"},
        {f.SBFB, "Rewind"},
        {f.SBFF, "Fast Forward"},
        {f.SBPlay, "Play"},
        {f.SBStop, "Pause/Stop"},
        {f.SBRec, "Record (16:1 Compression, SP Mode, Normal Quality)"},
        {f.SBRec2, "Record (4:1 Compression, HQ Mode, High Quality)"},
        {f.SBRecP, "Record (4:1 Compression, SHQ Mode, Best Quality)"},
        {f.TrackBar, "Move Position"},
        {f.imgDDC, "Voice File (.SC4)"},
        {f.imgDDE, "Voice File+Player (.EXE)"},
    };
    for (const auto& [widget, text] : hints) EXPECT_EQ(widget->toolTip(), text) << widget->objectName().toStdString();
    // The stored hint keeps the carriage return; the tool tip shows two lines.
    EXPECT_EQ(f.SBMail->property("hint").toString().count('\r'), 1);

    for (QWidget* off : std::initializer_list<QWidget*>{f.SBDelB, f.SBDelA, f.SBFB, f.SBFF, f.SBPlay, f.TrackBar})
        EXPECT_FALSE(off->isEnabled()) << off->objectName().toStdString();
    for (QWidget* on : std::initializer_list<QWidget*>{f.SBNew, f.SBOpen, f.SBSave, f.SBVoice, f.SBVol, f.SBMail,
                                                        f.SBMailP, f.SBStop, f.SBRec, f.SBRec2, f.SBRecP})
        EXPECT_TRUE(on->isEnabled()) << on->objectName().toStdString();

    EXPECT_EQ(f.Label4->text(), "Voice Mail & Voice Memo");
    EXPECT_EQ(f.Label2->text(), "Drag & Drop");
    for (TDragHandle* h : {f.imgDDC, f.imgDDE}) {
        EXPECT_EQ(h->picture().pixmap(QSize(16, 16), 2.0).size(), QSize(32, 32)) << h->objectName().toStdString();
        EXPECT_TRUE(h->isEnabled());
    }

    // Track bar, clocks and meter as the window sets them.
    EXPECT_EQ(f.TrackBar->minimum(), 0);
    EXPECT_EQ(f.TrackBar->maximum(), 32760);
    EXPECT_EQ(f.TrackBar->tickInterval(), 1638);
    EXPECT_EQ(f.TrackBar->tickPosition(), QSlider::TicksBelow);
    EXPECT_EQ(f.TrackBar->size(), QSize(246, 18));
    EXPECT_EQ(f.Label1->text(), "Time (H:M:S)");
    EXPECT_EQ(f.Label3->text(), "Total Time (H:M:S)");
    const std::array<TDisplay*, 8> run = {f.dspT6, f.dspT5, f.Display9, f.dspT4, f.dspT3, f.Display7, f.dspT2, f.dspT1};
    const std::array<TDisplay*, 8> tot = {f.dsptT6, f.dsptT5, f.Display10, f.dsptT4,
                                          f.dsptT3, f.Display8, f.dsptT2, f.dsptT1};
    EXPECT_EQ(digits(run), "00:00:00");
    EXPECT_EQ(digits(tot), "00:00:00");
    for (const auto& row : {run, tot}) {
        for (int i = 0; i < 8; ++i) {
            TDisplay* d = row[std::size_t(i)];
            EXPECT_EQ(d->size(), QSize(21, 27));
            EXPECT_EQ(d->digitStyle(), TDigitStyle::ds5x7Dot);
            EXPECT_EQ(d->onColor(), 0xFFFFFFu);
            EXPECT_EQ(d->offColor(), 0x000080u);  // maroon
            EXPECT_EQ(d->backColor(), 0u);
            EXPECT_EQ(d->penOnColor(), 0u);
            EXPECT_EQ(d->penOffColor(), 0u);
            EXPECT_EQ(d->segWidth(), 3);
            EXPECT_EQ(d->margin(), 2);
            if (i > 0) {
                EXPECT_EQ(d->x(), row[std::size_t(i - 1)]->x() + 21) << "cells touch";
            }
        }
    }
    EXPECT_EQ(f.DBMeter->size(), QSize(250, 7));
    EXPECT_EQ(f.DBMeter->greens(), 14);
    EXPECT_EQ(f.DBMeter->yellows(), 7);
    EXPECT_EQ(f.DBMeter->reds(), 4);
    EXPECT_EQ(f.DBMeter->greenMax(), 56);
    EXPECT_EQ(f.DBMeter->yellowMax(), 28);
    EXPECT_EQ(f.DBMeter->redMax(), 16);
    EXPECT_EQ(f.DBMeter->greenBack(), 0u);
    EXPECT_EQ(f.DBMeter->sepColor(), 0x808080u);

    // Status bar panels of 130 and 106 pixels and the rest, the mode centred.
    EXPECT_EQ(f.StatusBar->width(), 272);
    EXPECT_EQ(f.StatusBar->panel(1)->x(), 130);
    EXPECT_EQ(f.StatusBar->panel(2)->x(), 236);
    EXPECT_EQ(f.StatusBar->panel(2)->geometry().right(), 271);
    EXPECT_TRUE(f.StatusBar->panel(2)->alignment() & Qt::AlignHCenter);
}

TEST(RecorderFace, NothingIsClipped) {
    Sandbox s;
    s.writeIni();
    Window w({}, s);
    ASSERT_TRUE(w.show());
    TVM0007Form& f = *w.form;
    // The longest texts the panels will hold.
    f.StatusBar->setPanelText(0, "Recording...");
    f.StatusBar->setPanelText(1, "File Size 144000KB");  // ten hours of HQ
    f.StatusBar->setPanelText(2, "SHQ");
    for (QLabel* l : f.findChildren<QLabel*>()) {
        if (l->text().isEmpty()) continue;
        const QFontMetrics fm(l->font());
        const QRect r = l->contentsRect();
        EXPECT_LE(fm.horizontalAdvance(l->text()), r.width()) << l->objectName().toStdString() << " " << l->text().toStdString();
        EXPECT_LE(fm.height(), r.height() + 2) << l->objectName().toStdString();
    }
    // The menu bar holds all six menus on one line.
    const QList<QAction*> menus = f.menuBar()->actions();
    ASSERT_EQ(menus.size(), 6);
    const QRect last = f.menuBar()->actionGeometry(menus.back());
    EXPECT_EQ(last.top(), f.menuBar()->actionGeometry(menus.front()).top()) << "the menu bar wraps";
    EXPECT_LE(last.right(), f.width());
}

TEST(RecorderFace, MenusItemsShortcutsAndSeparators) {
    Sandbox s;
    s.writeIni();
    Window w({}, s);
    ASSERT_TRUE(w.show());
    TVM0007Form& f = *w.form;
    struct Item {
        QString name, text, key;
        bool enabled;
    };
    const QList<std::pair<QString, QList<Item>>> expected = {
        {"&File",
         {{"MNew", "&New", "Ctrl+N", true},
          {"MOpen", "&Open...", "Ctrl+O", true},
          {"MSave", "&Save", "Ctrl+S", true},
          {"MSaveAs", "Save &As...", "", true},
          {"-", "", "", true},
          {"MExit", "E&xit", "", true}}},
        {"&Edit",
         {{"MDelB", "Delete &before current position...", "Ctrl+B", false},
          {"MDelA", "Delete &after current position...", "Ctrl+D", false}}},
        {"&Control",
         {{"MPlay", "&Play", "F2", false},
          {"MFB", "Re&wind", "F3", false},
          {"MFF", "Fast &Forward", "F4", false},
          {"MStop", "Pause/&Stop", "F5", true},
          {"-", "", "", true},
          {"MRec", "&Record (16:1 Compression, SP Mode)", "F6", true},
          {"MRec2", "R&ecord (4:1 Compression, HQ Mode)", "F7", true},
          {"MRecP", "Re&cord (4:1 Compression, SHQ Mode)", "F8", true},
          {"-", "", "", true},
          {"MSlower", "Play S&lower", "Ctrl+-", true},
          {"MFaster", "Play F&aster", "Ctrl++", true},
          {"MNormalSpeed", "&Normal Speed", "Ctrl+0", true}}},
        {"&Option",
         {{"V1", "&Volume...", "F10", true},
          {"MVoice", "Voice &Effect...", "Ctrl+E", true},
          {"-", "", "", true},
          {"mnuMailProg", "&Mail Program...", "", true},
          {"-", "", "", true},
          {"MTop", "Always stay on &Top", "Ctrl+T", true},
          {"-", "", "", true},
          {"mnuPauseRewind", "&Rewind on Pause", "", true}}},
        {"&Send",
         {{"MMailSend", "&Send Voice Mail...", "", true},
          {"MMailSendP", "Sen&d Voice Mail (with Player)...", "", true},
          {"MMailSendMp3", "Send Voice Mail (&MP3)...", "", true}}},
        {"&Help",
         {{"A1", "&About voice lumo player...", "", true},
          {"mnuUserGuideE", "&User's Guide (English)...", "", true},
          {"mnuUserGuideK", "User's &Guide (Korean)...", "", true}}},
    };
    const QList<QAction*> bar = f.menuBar()->actions();
    ASSERT_EQ(bar.size(), expected.size());
    QSet<QChar> barKeys;
    for (int m = 0; m < bar.size(); ++m) {
        EXPECT_EQ(bar[m]->text(), expected[m].first);
        const QString t = bar[m]->text();
        barKeys.insert(t.at(t.indexOf('&') + 1).toLower());
        const QList<QAction*> items = bar[m]->menu()->actions();
        ASSERT_EQ(items.size(), expected[m].second.size()) << t.toStdString();
        QSet<QChar> keys;
        for (int i = 0; i < items.size(); ++i) {
            const Item& e = expected[m].second[i];
            if (e.name == "-") {
                EXPECT_TRUE(items[i]->isSeparator()) << t.toStdString() << " item " << i;
                continue;
            }
            EXPECT_EQ(items[i]->objectName(), e.name);
            EXPECT_EQ(items[i]->text(), e.text);
            EXPECT_EQ(items[i]->shortcut().toString(QKeySequence::PortableText), e.key) << e.name.toStdString();
            EXPECT_EQ(items[i]->isEnabled(), e.enabled) << e.name.toStdString();
            const int amp = e.text.indexOf('&');
            ASSERT_GE(amp, 0);
            const QChar k = e.text.at(amp + 1).toLower();
            EXPECT_FALSE(keys.contains(k)) << "mnemonic " << QString(k).toStdString() << " twice in " << t.toStdString();
            keys.insert(k);
        }
    }
    EXPECT_EQ(barKeys.size(), 6) << "menu bar mnemonics are unique";
    // Menu items and buttons are the same commands: Exit closes the window.
    EXPECT_FALSE(f.MTop->isChecked());
    f.MExit->trigger();
    EXPECT_FALSE(f.isVisible());
}

// ---------------------------------------------------------------- files and settings

TEST(RecorderFiles, StaleWorkingFilesAreSkippedAndTheNewOneIsEmpty) {
    Sandbox s;
    s.writeIni();
    for (int i = 1; i <= 4; ++i) writeFile(s.userData() + QString("vdata%1.tmp").arg(i), "stale");
    writeFile(s.userData() + "rec5.tmp", "old tail");
    {
        Window w({}, s);
        ASSERT_TRUE(w.show());
        EXPECT_EQ(w.form->DataDir(), s.userData());
        EXPECT_EQ(w.form->WorkFile(), s.userData() + "vdata5.tmp");
        EXPECT_EQ(w.form->TailFile(), s.userData() + "rec5.tmp");
        EXPECT_TRUE(QFileInfo(w.form->WorkFile()).isFile());
        EXPECT_EQ(QFileInfo(w.form->WorkFile()).size(), 0);
        EXPECT_EQ(w.form->IniPath(), s.userIni());
        // Both file dialogs start in the data folder.
        EXPECT_EQ(QDir(w.form->OpenDialog->directory()).absolutePath() + "/", s.userData());
        EXPECT_EQ(QDir(w.form->SaveDialog->directory()).absolutePath() + "/", s.userData());
        w.form->close();
        // Closing deletes the working and tail files, and only them.
        EXPECT_FALSE(QFile::exists(s.userData() + "vdata5.tmp"));
        EXPECT_FALSE(QFile::exists(s.userData() + "rec5.tmp"));
    }
    for (int i = 1; i <= 4; ++i) EXPECT_TRUE(QFile::exists(s.userData() + QString("vdata%1.tmp").arg(i)));
}

TEST(RecorderFiles, BesideTheProgramWhenThere) {
    Sandbox s;
    writeFile(s.program + "VEKVMAIL.INI", "[Main]\r\nMainLeft=10\r\nMainTop=20\r\n");
    QDir().mkpath(s.program + "DATA");
    {
        Window w({}, s);
        ASSERT_TRUE(w.show());
        EXPECT_EQ(w.form->IniPath(), s.program + "VEKVMAIL.INI");
        EXPECT_EQ(w.form->DataDir(), s.program + "DATA/");
        EXPECT_EQ(w.form->WorkFile(), s.program + "DATA/vdata1.tmp");
        EXPECT_EQ(w.form->pos(), QPoint(10, 20));
        w.form->move(30, 40);
        w.form->close();
    }
    EXPECT_TRUE(readFile(s.program + "VEKVMAIL.INI").contains("MainLeft=30\r\nMainTop=40\r\nStayOnTop=0\r\n"));
    EXPECT_FALSE(QFile::exists(s.userIni()));
    EXPECT_FALSE(QFileInfo::exists(s.userData()));
}

TEST(RecorderFiles, SettingsBesideAReadOnlyProgramFolderBecomeTheUsersCopy) {
    Sandbox s;
    writeFile(s.program + "VEKVMAIL.INI", "[Main]\r\nMainLeft=10\r\nMainTop=20\r\n");
    QFile::setPermissions(s.program, QFile::ReadOwner | QFile::ExeOwner);
    const bool ignored = QFileInfo(s.program).isWritable();
    if (!ignored) {
        Window w({}, s);
        ASSERT_TRUE(w.show());
        EXPECT_EQ(w.form->IniPath(), s.userIni());
        EXPECT_EQ(w.form->pos(), QPoint(10, 20)) << "the program's settings are the starting point";
        w.form->move(50, 60);
        w.form->close();
        EXPECT_TRUE(readFile(s.userIni()).contains("MainLeft=50\r\nMainTop=60\r\n"));
        EXPECT_EQ(readFile(s.program + "VEKVMAIL.INI"), "[Main]\r\nMainLeft=10\r\nMainTop=20\r\n");
    }
    QFile::setPermissions(s.program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    if (ignored) GTEST_SKIP() << "running with rights that ignore permissions";
}

TEST(RecorderFiles, AReadOnlyDataFolderBesideTheProgramIsNotUsed) {
    Sandbox t;
    t.writeIni();
    QDir().mkpath(t.program + "DATA");
    QFile::setPermissions(t.program + "DATA", QFile::ReadOwner | QFile::ExeOwner);
    if (QFileInfo(t.program + "DATA").isWritable()) GTEST_SKIP() << "running with rights that ignore permissions";
    Window w({}, t);
    ASSERT_TRUE(w.show());
    EXPECT_EQ(w.form->DataDir(), t.userData());
}

TEST(RecorderSettings, PositionIsHeldOnTheScreen) {
    Sandbox s;
    s.writeIni("[Main]\r\nMainLeft=-50\r\nMainTop=5000\r\n");
    TVM0007Form::Environment env;
    env.screenSize = [] { return QSize(1024, 768); };
    Window w(env, s);
    ASSERT_TRUE(w.show());
    EXPECT_EQ(w.form->pos(), QPoint(0, 708));

    Sandbox t;
    t.writeIni("[Main]\r\nMainLeft=3000\r\nMainTop=-7\r\n");
    TVM0007Form::Environment wide;
    wide.screenSize = [] { return QSize(1920, 1080); };
    Window w2(wide, t);
    ASSERT_TRUE(w2.show());
    EXPECT_EQ(w2.form->pos(), QPoint(1860, 0));
}

TEST(RecorderSettings, RoundTripWithExactKeys) {
    Sandbox s;
    s.writeIni("[Main]\r\nMailProg=1\r\nMailRun=1\r\n");
    {
        Window w({}, s);
        ASSERT_TRUE(w.show());
        // Read at first show into the mail-program dialog.
        EXPECT_EQ(w.mail->GetMailProg(), 1);
        EXPECT_TRUE(w.mail->radIM->isChecked());
        EXPECT_TRUE(w.mail->cbxMRun->isChecked());
        EXPECT_FALSE(w.form->MTop->isChecked());
        w.form->move(123, 45);
        w.form->MTop->setChecked(true);  // the check mark is what closing stores
        w.form->close();
    }
    EXPECT_EQ(readFile(s.userIni()),
              "[Main]\r\nMailProg=1\r\nMailRun=1\r\nMainLeft=123\r\nMainTop=45\r\nStayOnTop=1\r\n");
    Window w({}, s);
    EXPECT_TRUE(w.form->MTop->isChecked()) << "StayOnTop is read at creation";
    EXPECT_TRUE(w.form->windowFlags() & Qt::WindowStaysOnTopHint);
    ASSERT_TRUE(w.show());
    EXPECT_EQ(w.form->pos(), QPoint(123, 45));
}

// ---------------------------------------------------------------- closing

TEST(RecorderClose, CancelKeepsTheWindowAndTheRecordingNoDeletesIt) {
    Sandbox s;
    s.writeIni();
    Window w({}, s);
    ASSERT_TRUE(w.show());
    TVM0007Form& f = *w.form;
    writeFile(f.WorkFile(), spSectors(3));
    writeFile(f.TailFile(), spSectors(1));
    f.setTransportState(TransportState::Recording);
    f.setModified(true);
    EXPECT_EQ(applicationTitle(), "Recording: voice lumo player");

    QString text, caption;
    answerModal([&](QWidget* m) {
        auto* box = qobject_cast<QMessageBox*>(m);
        ASSERT_NE(box, nullptr);
        text = box->text();
        caption = box->windowTitle();
        EXPECT_EQ(box->icon(), QMessageBox::Question);
        EXPECT_EQ(box->standardButtons(), QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        box->button(QMessageBox::Cancel)->click();
    });
    EXPECT_FALSE(f.close());
    EXPECT_EQ(text, "Save changes to file?");
    EXPECT_EQ(caption, "Confirm");
    EXPECT_TRUE(f.isVisible());
    EXPECT_EQ(f.transportState(), TransportState::Recording);
    EXPECT_EQ(readFile(f.WorkFile()), spSectors(3)) << "the recording is kept";
    EXPECT_FALSE(QFile::exists(s.userIni()) && readFile(s.userIni()).contains("MainLeft"))
        << "nothing is written when the window stays";

    answerModal([](QWidget* m) { qobject_cast<QMessageBox*>(m)->button(QMessageBox::No)->click(); });
    EXPECT_TRUE(f.close());
    EXPECT_FALSE(f.isVisible());
    EXPECT_FALSE(QFile::exists(f.WorkFile()));
    EXPECT_FALSE(QFile::exists(f.TailFile()));
    EXPECT_TRUE(readFile(s.userIni()).contains("MainLeft="));
}

TEST(RecorderClose, NoQuestionWithoutChanges) {
    Sandbox s;
    s.writeIni();
    Window w({}, s);
    ASSERT_TRUE(w.show());
    bool asked = false;
    answerModal([&](QWidget* m) { asked = true; m->close(); }, 300);
    EXPECT_TRUE(w.form->close());
    QTest::qWait(350);
    EXPECT_FALSE(asked);
}

// ---------------------------------------------------------------- first run

TEST(RecorderFirstRun, TheMailProgramDialogShowsOnce) {
    Sandbox s;
    int shown = 0;
    QString caption;
    bool radioFocused = false;
    {
        answerModal([&](QWidget* m) {
            ++shown;
            caption = m->windowTitle();
            auto* dlg = qobject_cast<TMailDlg*>(m);
            ASSERT_NE(dlg, nullptr);
            radioFocused = qobject_cast<QRadioButton*>(dlg->focusWidget()) != nullptr;
            EXPECT_TRUE(dlg->radOutExp->isChecked()) << "index 3 by default";
            dlg->radOutlook->setChecked(true);
            dlg->cbxMRun->setChecked(true);
            dlg->OKBtn->click();
        });
        Window w({}, s);
        ASSERT_TRUE(w.show());
        EXPECT_EQ(shown, 1);
        EXPECT_EQ(caption, "Select Mail Program");
        EXPECT_TRUE(radioFocused);
        // Confirming stores the choice at once.
        EXPECT_EQ(readFile(s.userIni()), "[Main]\r\nMailProg=2\r\nMailRun=1\r\n");
        w.form->close();
    }
    // The next start has a settings file: no dialog.
    answerModal([&](QWidget* m) { ++shown; m->close(); }, 500);
    Window w({}, s);
    ASSERT_TRUE(w.show());
    QTest::qWait(550);
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(w.mail->GetMailProg(), 2);
}

TEST(RecorderFirstRun, CancelRestoresTheChoiceAndWritesNothing) {
    Sandbox s;
    answerModal([](QWidget* m) {
        auto* dlg = qobject_cast<TMailDlg*>(m);
        ASSERT_NE(dlg, nullptr);
        dlg->radNetscape->setChecked(true);
        dlg->cbxMRun->setChecked(true);
        dlg->CancelBtn->click();
    });
    Window w({}, s);
    ASSERT_TRUE(w.show());
    EXPECT_EQ(w.mail->GetMailProg(), 3);
    EXPECT_FALSE(w.mail->cbxMRun->isChecked());
    EXPECT_FALSE(QFile::exists(s.userIni()));
}

TEST(RecorderMailDialog, LayoutAndIndexRules) {
    TMailDlg d;
    EXPECT_EQ(d.windowTitle(), "Select Mail Program");
    EXPECT_EQ(d.GroupBox1->title(), "E-Mail Program");
    const QList<QRadioButton*> r = {d.radExchange, d.radIM, d.radOutlook, d.radOutExp, d.radNetscape};
    const QStringList captions = {"&Exchange", "&Internet Mail", "O&utlook", "&Outlook Express",
                                  "&Netscape (Attach voice mail manually)"};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(r[i]->text(), captions[i]);
        // Its picture: 32 x 32 to the left of the button, not blank.
        QLabel* pic = d.findChild<QLabel*>(QString("Image%1").arg(i + 1));
        ASSERT_NE(pic, nullptr);
        EXPECT_EQ(pic->size(), QSize(32, 32));
        EXPECT_LT(pic->geometry().right(), r[i]->x());
        EXPECT_FALSE(pic->pixmap().isNull());
        const QFontMetrics fm(r[i]->font());
        EXPECT_LE(fm.horizontalAdvance(QString(captions[i]).remove('&')) + 24, r[i]->width()) << "clipped";
    }
    EXPECT_EQ(d.cbxMRun->text(), "&Run mail program when sending voice mail");
    EXPECT_TRUE(d.OKBtn->isDefault());
    EXPECT_EQ(d.OKBtn->text(), "OK");
    EXPECT_EQ(d.CancelBtn->text(), "Cancel");
    for (int i = 0; i < 5; ++i) {
        d.SetMailProg(i);
        EXPECT_EQ(d.GetMailProg(), i);
    }
    d.SetMailProg(1);
    d.SetMailProg(7);
    d.SetMailProg(-1);
    EXPECT_EQ(d.GetMailProg(), 1) << "out-of-range values change nothing";
}

// ---------------------------------------------------------------- hand-over

TEST(RecorderHandOver, AFileFromASecondInstanceIsOpened) {
    Sandbox s;
    s.writeIni();
    Window w({}, s);
    ASSERT_TRUE(w.show());
    TVM0007Form& f = *w.form;
    const QString memo = s.dir.path() + "/memo.sc4";
    writeFile(memo, spSectors(4));

    // An open mail-program dialog is closed first.
    QTimer::singleShot(0, [&] { f.WMCopyData(QFile::encodeName(memo) + '\0'); });
    EXPECT_NE(w.mail->exec(), QDialog::Accepted);
    QTest::qWait(200);
    EXPECT_EQ(f.windowTitle(), "voice lumo player [memo.sc4]");
    EXPECT_EQ(f.Label4->toolTip(), "memo.sc4");
    EXPECT_EQ(f.currentFileName(), memo);
    EXPECT_EQ(readFile(f.WorkFile()), spSectors(4));
    EXPECT_EQ(f.VoiceMode(), 4);
    EXPECT_EQ(f.StatusBar->panelText(2), "SP");
    for (QWidget* on : std::initializer_list<QWidget*>{f.SBPlay, f.SBFF, f.SBFB, f.SBDelA, f.SBDelB, f.TrackBar})
        EXPECT_TRUE(on->isEnabled()) << on->objectName().toStdString();
    for (QAction* on : {f.MPlay, f.MFF, f.MFB, f.MDelA, f.MDelB}) EXPECT_TRUE(on->isEnabled());
    EXPECT_FALSE(f.Modified());
}

TEST(RecorderHandOver, AnswersOneAndIgnoresWhileRecordingOrMissing) {
    Sandbox s;
    s.writeIni();
    Window w({}, s);
    ASSERT_TRUE(w.show());
    TVM0007Form& f = *w.form;
    const QString memo = s.dir.path() + "/hq.sc4";
    writeFile(memo, QByteArray("\x00\x00\x01\x1B\x1D", 5) + QByteArray(507, '\0') + "\x55\xAA");

    f.setTransportState(TransportState::Recording);
    EXPECT_EQ(f.WMCopyData(QFile::encodeName(memo) + '\0'), 1);
    QTest::qWait(250);
    EXPECT_EQ(f.windowTitle(), "voice lumo player [New]");
    EXPECT_EQ(readFile(f.WorkFile()), QByteArray());

    f.setTransportState(TransportState::Stopped);
    EXPECT_EQ(f.WMCopyData(QFile::encodeName(s.dir.path() + "/none.sc4") + '\0'), 1);
    EXPECT_EQ(f.WMCopyData(QFile::encodeName(s.dir.path()) + '\0'), 1);  // a folder
    QTest::qWait(250);
    EXPECT_EQ(f.windowTitle(), "voice lumo player [New]");

    // An HQ file: its mode, and the caption.
    EXPECT_EQ(f.WMCopyData(QFile::encodeName(memo) + '\0'), 1);
    QTest::qWait(250);
    EXPECT_EQ(f.windowTitle(), "voice lumo player [hq.sc4]");
    EXPECT_EQ(f.VoiceMode(), 5);
    EXPECT_EQ(f.StatusBar->panelText(2), "HQ");
}

TEST(RecorderHandOver, UnsavedChangesAreAskedAboutAndABadFileIsRefused) {
    Sandbox s;
    s.writeIni();
    Window w({}, s);
    ASSERT_TRUE(w.show());
    TVM0007Form& f = *w.form;
    const QString bad = s.dir.path() + "/bad.sc4";
    writeFile(bad, "RIFF....WAVE");
    f.setModified(true);
    QStringList seen;
    answerModal([&](QWidget* m) {
        auto* box = qobject_cast<QMessageBox*>(m);
        ASSERT_NE(box, nullptr);
        seen << box->windowTitle() + "|" + box->text();
        box->button(QMessageBox::Cancel)->click();  // goes on as No
        answerModal([&](QWidget* m2) {
            auto* b2 = qobject_cast<QMessageBox*>(m2);
            ASSERT_NE(b2, nullptr);
            seen << b2->windowTitle() + "|" + b2->text();
            EXPECT_EQ(b2->icon(), QMessageBox::Warning);
            b2->accept();
        });
    });
    EXPECT_EQ(f.WMCopyData(QFile::encodeName(bad) + '\0'), 1);
    QElapsedTimer t;
    t.start();
    while (seen.size() < 2 && t.elapsed() < 5000) QApplication::processEvents(QEventLoop::AllEvents, 20);
    ASSERT_EQ(seen.size(), 2);
    EXPECT_EQ(seen[0], "Confirm|Save changes to file?");
    EXPECT_EQ(seen[1], "Open|Can not open file!\n(File format is not valid.)");
    EXPECT_EQ(f.windowTitle(), "voice lumo player [New]");
    EXPECT_TRUE(f.Modified()) << "a refused file changes nothing";
    EXPECT_FALSE(f.SBPlay->isEnabled());
}

TEST(RecorderHandOver, NamesWithAnyCharactersAndWithoutTerminator) {
    Sandbox s;
    s.writeIni();
    Window w({}, s);
    ASSERT_TRUE(w.show());
    TVM0007Form& f = *w.form;
    const QString odd = s.dir.path() + QString::fromUtf8("/Grüße, \"memo\" #2 ;=.sc4");
    writeFile(odd, spSectors(1));
    // No terminator: the whole message is the name.
    EXPECT_EQ(f.WMCopyData(QFile::encodeName(odd)), 1);
    QTest::qWait(250);
    EXPECT_EQ(f.windowTitle(), QString::fromUtf8("voice lumo player [Grüße, \"memo\" #2 ;=.sc4]"));
    // Bytes after the terminator are not part of the name.
    const QString plain = s.dir.path() + "/plain.sc4";
    writeFile(plain, spSectors(2));
    EXPECT_EQ(f.WMCopyData(QFile::encodeName(plain) + QByteArray("\0junk", 5)), 1);
    QTest::qWait(250);
    EXPECT_EQ(f.windowTitle(), "voice lumo player [plain.sc4]");
    EXPECT_EQ(f.WMCopyData(QByteArray()), 1);  // empty: ignored
    QTest::qWait(150);
    EXPECT_EQ(f.windowTitle(), "voice lumo player [plain.sc4]");
}

TEST(RecorderFiles, ADataFolderThatCannotBeMadeIsNotFatal) {
    Sandbox s;
    s.writeIni();
    // The data home is a file: nothing can be made below it.
    writeFile(s.data, "not a folder");
    Window w({}, s);
    ASSERT_TRUE(w.show());
    EXPECT_EQ(w.form->WorkFile(), s.userData() + "vdata1.tmp");
    EXPECT_FALSE(QFile::exists(w.form->WorkFile()));
    EXPECT_TRUE(w.form->close());
    EXPECT_TRUE(readFile(s.userIni()).contains("MainLeft=0\r\nMainTop=0\r\n"));
}

TEST(RecorderStartup, WaitMsLetsMessagesThrough) {
    int fired = 0;
    QTimer::singleShot(30, [&] { ++fired; });
    QElapsedTimer t;
    t.start();
    WaitMs(100);
    EXPECT_GE(t.elapsed(), 100);
    EXPECT_LT(t.elapsed(), 1000);
    EXPECT_EQ(fired, 1);
}

TEST(RecorderStartup, CommandLineFileIsOpenedAtFirstShow) {
    Sandbox s;
    s.writeIni();
    const QString memo = s.dir.path() + "/Memo 7.SC4";
    writeFile(memo, spSectors(2));
    TVM0007Form::Environment env;
    env.commandLineFile = memo;
    Window w(env, s);
    ASSERT_TRUE(w.show());
    EXPECT_EQ(w.form->windowTitle(), "voice lumo player [Memo 7.SC4]");
    EXPECT_EQ(readFile(w.form->WorkFile()), spSectors(2));
    // Shown again (after being hidden) the first-show work does not repeat.
    writeFile(w.form->WorkFile(), "");
    w.form->hide();
    w.form->show();
    QTest::qWait(100);
    EXPECT_EQ(readFile(w.form->WorkFile()), QByteArray());
}

namespace {

// The window's look (style, fonts) over the shared Qt test main's
// application, and the window registry in the sandbox's runtime folder.
class RecorderLook : public ::testing::Environment {
public:
    void SetUp() override {
        applyLook(*qApp);
        vek::winreg::WindowRegistry::setDirectory(qEnvironmentVariable("XDG_RUNTIME_DIR") + "/voice-lumo-windows");
    }
};
::testing::Environment* const g_look = ::testing::AddGlobalTestEnvironment(new RecorderLook);

}  // namespace
