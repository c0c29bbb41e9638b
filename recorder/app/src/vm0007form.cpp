// SPDX-License-Identifier: GPL-3.0-or-later
#include "vm0007form.hpp"

#include "draghandle.hpp"
#include "formtransport.hpp"
#include "icons.hpp"
#include "maildlg.hpp"
#include "startup.hpp"
#include "statusbar.hpp"

#include "vek/recwidgets/dbmeter.hpp"
#include "vek/recwidgets/display.hpp"
#include "vek/recwidgets/mousebar.hpp"
#include "vekcdc5.h"
#include "vek/crp2/qtengine.hpp"
#include "vek/crp2/qtmessages.hpp"
#include "vek/transport/transport.hpp"

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>
#include <QWindow>
#include <QToolButton>

namespace vekvmail {


QString hintText(const QString& hint) {
    QString t = hint;
    t.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return t;
}

void setHint(QWidget* w, const QString& hint) {
    w->setProperty("hint", hint);
    w->setToolTip(hintText(hint));
}

int askSaveChanges(QWidget* owner) {
    QMessageBox box(QMessageBox::Question, QObject::tr("Confirm"), QObject::tr("Save changes to file?"),
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, owner);
    box.setObjectName(QStringLiteral("SaveChangesBox"));
    return box.exec();
}

namespace {

// Colours of the face (COLORREF 0x00BBGGRR for the widgets).
constexpr std::uint32_t kWhite = 0xFFFFFF;
constexpr std::uint32_t kMaroon = 0x000080;
constexpr std::uint32_t kBlack = 0x000000;
constexpr std::uint32_t kGrey = 0x808080;

// Geometry of the face, top to bottom, in pixels of the client area.
constexpr int kToolTop = 0, kToolH = 27;
constexpr int kStripTop = kToolTop + kToolH, kStripH = 18;
constexpr int kTransportTop = kStripTop + kStripH, kTransportH = 27;
constexpr int kTrackTop = kTransportTop + kTransportH + 1;
constexpr int kClockTop = kTrackTop + 18 + 1;
constexpr int kStatusH = 19;
constexpr int kButton = 25;
constexpr int kCellW = 21, kCellH = 27;

QFrame* panel(QWidget* parent, const char* name, int y, int h) {
    auto* p = new QFrame(parent);
    p->setObjectName(QString::fromLatin1(name));
    p->setFrameStyle(QFrame::Panel | QFrame::Raised);
    p->setLineWidth(1);
    p->setGeometry(0, y, TVM0007Form::kClientWidth, h);
    return p;
}

}  // namespace

TVM0007Form::TVM0007Form(const Environment& env, QWidget* parent) : QMainWindow(parent), m_env(env) {
    setObjectName(QStringLiteral("VM0007Form"));
    setWindowTitle(tr("voice lumo player [New]"));
    // Single border, system menu and minimise box only.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);

    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("ClientArea"));
    client->setFixedSize(kClientWidth, kClientHeight);
    setCentralWidget(client);
    buildMenus();
    buildPanels(client);
    buildClocks(client);

    StatusBar = new TStatusBar(client);
    StatusBar->setGeometry(0, kClientHeight - kStatusH, kClientWidth, kStatusH);
    buildSpeedControls();

    const QString filter = tr("Voice File (*.sc4)") + QStringLiteral(";;") + tr("Voice File+Player (*.exe)");
    OpenDialog = new QFileDialog(this, tr("Open"), QString(), filter);
    OpenDialog->setObjectName(QStringLiteral("OpenDialog"));
    OpenDialog->setAcceptMode(QFileDialog::AcceptOpen);
    OpenDialog->setDefaultSuffix(QStringLiteral("sc4"));
    SaveDialog = new QFileDialog(this, tr("Save As"), QString(), filter);
    SaveDialog->setObjectName(QStringLiteral("SaveDialog"));
    SaveDialog->setAcceptMode(QFileDialog::AcceptSave);
    // The extension a saved name gets is that of the chosen filter, added by
    // SaveAsClick (".sc4" by default); the overwrite question comes after
    // that, for the name really written.
    SaveDialog->setOption(QFileDialog::DontConfirmOverwrite);
    for (QFileDialog* d : {OpenDialog, SaveDialog}) d->setOption(QFileDialog::DontUseNativeDialog);

    layout()->setSizeConstraint(QLayout::SetFixedSize);
    FormCreate();
}

TVM0007Form::~TVM0007Form() {
    // A window destroyed without closing still leaves the engine closed.
    if (m_transport) m_transport->closeDown();
    m_transport.reset();
    m_engine.reset();
}

void TVM0007Form::setDialogs(QDialog* voiceDlg, TMailDlg* mailDlg, QDialog* aboutBox) {
    m_voiceDlg = voiceDlg;
    m_mailDlg = mailDlg;
    m_aboutBox = aboutBox;
    setEffect(m_effectIndex, m_effectSlider);  // the dialog starts with the window's effect
}

// ---------------------------------------------------------------- building

void TVM0007Form::buildMenus() {
    QMenuBar* bar = menuBar();
    auto item = [this](QMenu* m, QAction*& slot, const char* name, const QString& text, const QKeySequence& key,
                       bool enabled = true) {
        slot = m->addAction(text);
        slot->setObjectName(QString::fromLatin1(name));
        if (!key.isEmpty()) slot->setShortcut(key);
        slot->setEnabled(enabled);
        return slot;
    };
    auto menu = [&](QMenu*& slot, const char* name, const QString& text) {
        slot = bar->addMenu(text);
        slot->setObjectName(QString::fromLatin1(name));
    };

    menu(File1, "File1", tr("&File"));
    connect(item(File1, MNew, "MNew", tr("&New"), QKeySequence(Qt::CTRL | Qt::Key_N)), &QAction::triggered, this,
            &TVM0007Form::NewClick);
    connect(item(File1, MOpen, "MOpen", tr("&Open..."), QKeySequence(Qt::CTRL | Qt::Key_O)), &QAction::triggered,
            this, &TVM0007Form::OpenClick);
    connect(item(File1, MSave, "MSave", tr("&Save"), QKeySequence(Qt::CTRL | Qt::Key_S)), &QAction::triggered, this,
            &TVM0007Form::SaveClick);
    connect(item(File1, MSaveAs, "MSaveAs", tr("Save &As..."), {}), &QAction::triggered, this,
            &TVM0007Form::SaveAsClick);
    File1->addSeparator();
    connect(item(File1, MExit, "MExit", tr("E&xit"), {}), &QAction::triggered, this, &TVM0007Form::ExitClick);

    menu(Edit1, "Edit1", tr("&Edit"));
    connect(item(Edit1, MDelB, "MDelB", tr("Delete &before current position..."), QKeySequence(Qt::CTRL | Qt::Key_B),
                 false),
            &QAction::triggered, this, &TVM0007Form::SBDelBClick);
    connect(item(Edit1, MDelA, "MDelA", tr("Delete &after current position..."), QKeySequence(Qt::CTRL | Qt::Key_D),
                 false),
            &QAction::triggered, this, &TVM0007Form::SBDelAClick);

    menu(Control1, "Control1", tr("&Control"));
    connect(item(Control1, MPlay, "MPlay", tr("&Play"), QKeySequence(Qt::Key_F2), false), &QAction::triggered, this,
            &TVM0007Form::PlayClick);
    connect(item(Control1, MFB, "MFB", tr("Re&wind"), QKeySequence(Qt::Key_F3), false), &QAction::triggered, this,
            &TVM0007Form::SBFBClick);
    connect(item(Control1, MFF, "MFF", tr("Fast &Forward"), QKeySequence(Qt::Key_F4), false), &QAction::triggered,
            this, &TVM0007Form::SBFFClick);
    connect(item(Control1, MStop, "MStop", tr("Pause/&Stop"), QKeySequence(Qt::Key_F5)), &QAction::triggered, this,
            &TVM0007Form::StopClick);
    Control1->addSeparator();
    item(Control1, MRec, "MRec", tr("&Record (16:1 Compression, SP Mode)"), QKeySequence(Qt::Key_F6));
    item(Control1, MRec2, "MRec2", tr("R&ecord (4:1 Compression, HQ Mode)"), QKeySequence(Qt::Key_F7));
    item(Control1, MRecP, "MRecP", tr("Re&cord (4:1 Compression, SHQ Mode)"), QKeySequence(Qt::Key_F8));
    for (QAction* a : {MRec, MRec2, MRecP})
        connect(a, &QAction::triggered, this, [this, a] { RecClick(a); });

    menu(Option1, "Option1", tr("&Option"));
    connect(item(Option1, V1, "V1", tr("&Volume..."), QKeySequence(Qt::Key_F10)), &QAction::triggered, this,
            &TVM0007Form::mnuVolClick);
    connect(item(Option1, MVoice, "MVoice", tr("Voice &Effect..."), QKeySequence(Qt::CTRL | Qt::Key_E)),
            &QAction::triggered, this, &TVM0007Form::VoiceClick);
    Option1->addSeparator();
    connect(item(Option1, mnuMailProg, "mnuMailProg", tr("&Mail Program..."), {}), &QAction::triggered, this,
            &TVM0007Form::mnuMailProgClick);
    Option1->addSeparator();
    item(Option1, MTop, "MTop", tr("Always stay on &Top"), QKeySequence(Qt::CTRL | Qt::Key_T));
    MTop->setCheckable(true);
    // The item inverts its own check mark before it reports (MTopClick
    // inverts it when called directly).
    connect(MTop, &QAction::triggered, this, &TVM0007Form::applyStayOnTop);

    menu(Send1, "Send1", tr("&Send"));
    item(Send1, MMailSend, "MMailSend", tr("&Send Voice Mail..."), {});
    item(Send1, MMailSendP, "MMailSendP", tr("Sen&d Voice Mail (with Player)..."), {});
    for (QAction* a : {MMailSend, MMailSendP})
        connect(a, &QAction::triggered, this, [this, a] { MailClick(a); });
    // The MP3 kind (vm0007form_mp3.cpp) follows MMailSend's state wherever that is set.
    item(Send1, MMailSendMp3, "MMailSendMp3", tr("Send Voice Mail (&MP3)..."), {}, MMailSend->isEnabled());
    connect(MMailSendMp3, &QAction::triggered, this, &TVM0007Form::MailMp3Click);
    connect(MMailSend, &QAction::enabledChanged, MMailSendMp3, &QAction::setEnabled);

    menu(Help1, "Help1", tr("&Help"));
    connect(item(Help1, A1, "A1", tr("&About voice lumo player..."), {}), &QAction::triggered, this,
            &TVM0007Form::A1Click);
    connect(item(Help1, mnuUserGuideE, "mnuUserGuideE", tr("&User's Guide (English)..."), {}), &QAction::triggered,
            this, &TVM0007Form::mnuUserGuideEClick);
    connect(item(Help1, mnuUserGuideK, "mnuUserGuideK", tr("User's &Guide (Korean)..."), {}), &QAction::triggered,
            this, &TVM0007Form::mnuUserGuideKClick);
}

QToolButton* TVM0007Form::speedButton(QWidget* parent, const char* name, const char* icon, const QString& hint, int x,
                                      int y) {
    auto* b = new QToolButton(parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setGeometry(x, y, kButton, kButton);
    b->setIcon(svgIcon(QString::fromLatin1(icon), 18));
    b->setIconSize(QSize(18, 18));
    b->setFocusPolicy(Qt::NoFocus);  // speed buttons never take the focus
    if (!hint.isEmpty()) setHint(b, hint);
    return b;
}

void TVM0007Form::buildPanels(QWidget* client) {
    // Tool panel: file, edit, options and mail groups.
    Panel1 = panel(client, "Panel1", kToolTop, kToolH);
    {
        const int y = (kToolH - kButton) / 2, gap = 6;
        int x = (kClientWidth - (9 * kButton + 3 * gap)) / 2;
        auto next = [&](int extra = 0) {
            const int at = x + extra;
            x = at + kButton;
            return at;
        };
        SBNew = speedButton(Panel1, "SBNew", "new", tr("New"), next(), y);
        SBOpen = speedButton(Panel1, "SBOpen", "open", tr("Open"), next(), y);
        SBSave = speedButton(Panel1, "SBSave", "save", tr("Save"), next(), y);
        SBDelB = speedButton(Panel1, "SBDelB", "delb", tr("Delete before current position"), next(gap), y);
        SBDelA = speedButton(Panel1, "SBDelA", "dela", tr("Delete after current position"), next(), y);
        SBVoice = speedButton(Panel1, "SBVoice", "voice", tr("Voice Effect"), next(gap), y);
        SBVol = speedButton(Panel1, "SBVol", "vol", tr("Volume"), next(), y);
        SBMail = speedButton(Panel1, "SBMail", "mail", QString(), next(gap), y);
        SBMailP = speedButton(Panel1, "SBMailP", "mailp", QString(), next(), y);
        SBDelB->setEnabled(false);
        SBDelA->setEnabled(false);
    }
    connect(SBNew, &QToolButton::clicked, this, &TVM0007Form::NewClick);
    connect(SBOpen, &QToolButton::clicked, this, &TVM0007Form::OpenClick);
    connect(SBSave, &QToolButton::clicked, this, &TVM0007Form::SaveClick);
    connect(SBDelB, &QToolButton::clicked, this, &TVM0007Form::SBDelBClick);
    connect(SBDelA, &QToolButton::clicked, this, &TVM0007Form::SBDelAClick);
    connect(SBVoice, &QToolButton::clicked, this, &TVM0007Form::VoiceClick);
    connect(SBVol, &QToolButton::clicked, this, &TVM0007Form::mnuVolClick);
    connect(SBMail, &QToolButton::clicked, this, [this] { MailClick(SBMail); });
    connect(SBMailP, &QToolButton::clicked, this, [this] { MailClick(SBMailP); });

    // Strip: what the window is, and the two handles a recording is dragged out by.
    Panel4 = panel(client, "Panel4", kStripTop, kStripH);
    Label4 = new QLabel(tr("Voice Mail & Voice Memo"), Panel4);
    Label4->setObjectName(QStringLiteral("Label4"));
    QFont bold = Label4->font();
    bold.setBold(true);
    bold.setPixelSize(10);
    Label4->setFont(bold);
    const int handle = 16;
    imgDDE = new TDragHandle(svgIcon(QStringLiteral("dde"), handle), Panel4);
    imgDDE->setObjectName(QStringLiteral("imgDDE"));
    imgDDE->setGeometry(kClientWidth - 6 - handle, 1, handle, handle);
    imgDDC = new TDragHandle(svgIcon(QStringLiteral("ddc"), handle), Panel4);
    imgDDC->setObjectName(QStringLiteral("imgDDC"));
    imgDDC->setGeometry(kClientWidth - 6 - 2 * handle - 4, 1, handle, handle);
    for (TDragHandle* h : {imgDDC, imgDDE}) {
        connect(h, &TDragHandle::mouseDown, this,
                [this, h](Qt::MouseButton b, Qt::KeyboardModifiers m, QPoint p) { imgDDCMouseDown(h, b, m, p); });
        connect(h, &TDragHandle::mouseMove, this,
                [this, h](Qt::MouseButtons b, Qt::KeyboardModifiers m, QPoint p) { imgDDCMouseMove(h, b, m, p); });
    }
    setHint(imgDDC, tr("Voice File (.SC4)"));
    setHint(imgDDE, tr("Voice File+Player (.EXE)"));
    Label2 = new QLabel(tr("Drag & Drop"), Panel4);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    const int dragW = Label2->fontMetrics().horizontalAdvance(Label2->text()) + 2;
    Label2->setGeometry(imgDDC->x() - 4 - dragW, 1, dragW, kStripH - 2);
    Label4->setGeometry(6, 1, Label2->x() - 6 - 4, kStripH - 2);

    // Transport panel: position commands, then the three record buttons.
    Panel5 = panel(client, "Panel5", kTransportTop, kTransportH);
    {
        const int y = (kTransportH - kButton) / 2, gap = 10;
        int x = (kClientWidth - (7 * kButton + gap)) / 2;
        auto next = [&](int extra = 0) {
            const int at = x + extra;
            x = at + kButton;
            return at;
        };
        SBFB = speedButton(Panel5, "SBFB", "fb", tr("Rewind"), next(), y);
        SBFF = speedButton(Panel5, "SBFF", "ff", tr("Fast Forward"), next(), y);
        SBPlay = speedButton(Panel5, "SBPlay", "play", tr("Play"), next(), y);
        SBStop = speedButton(Panel5, "SBStop", "stop", tr("Pause/Stop"), next(), y);
        SBRec = speedButton(Panel5, "SBRec", "rec", tr("Record (16:1 Compression, SP Mode, Normal Quality)"),
                            next(gap), y);
        SBRec2 = speedButton(Panel5, "SBRec2", "rec2", tr("Record (4:1 Compression, HQ Mode, High Quality)"), next(),
                             y);
        SBRecP = speedButton(Panel5, "SBRecP", "recp", tr("Record (4:1 Compression, SHQ Mode, Best Quality)"), next(),
                             y);
        for (QToolButton* b : {SBFB, SBFF, SBPlay}) b->setEnabled(false);
    }
    connect(SBFB, &QToolButton::clicked, this, &TVM0007Form::SBFBClick);
    connect(SBFF, &QToolButton::clicked, this, &TVM0007Form::SBFFClick);
    connect(SBPlay, &QToolButton::clicked, this, &TVM0007Form::PlayClick);
    connect(SBStop, &QToolButton::clicked, this, &TVM0007Form::StopClick);
    for (QToolButton* b : {SBRec, SBRec2, SBRecP})
        connect(b, &QToolButton::clicked, this, [this, b] { RecClick(b); });

    TrackBar = new TMousebar(client);
    TrackBar->setObjectName(QStringLiteral("TrackBar"));
    TrackBar->setGeometry((kClientWidth - 246) / 2, kTrackTop, 246, 18);
    TrackBar->setOrientation(Qt::Horizontal);
    TrackBar->setRange(0, 32760);
    TrackBar->setTickInterval(1638);
    TrackBar->setTickPosition(QSlider::TicksBelow);
    TrackBar->setPageStep(0);
    TrackBar->setPosition(0);
    TrackBar->setEnabled(false);
    setHint(TrackBar, tr("Move Position"));
    connect(TrackBar, &TMousebar::changed, this, &TVM0007Form::TrackBarChange);
    connect(TrackBar, &TMousebar::mouseUp, this, &TVM0007Form::TrackBarMouseUp);
}

void TVM0007Form::buildClocks(QWidget* client) {
    // The display: a dark face holding the two clocks and the level meter.
    auto* face = new QFrame(client);
    face->setObjectName(QStringLiteral("DisplayFace"));
    face->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    face->setLineWidth(1);
    const int faceH = kClientHeight - kStatusH - kClockTop;
    face->setGeometry(2, kClockTop, kClientWidth - 4, faceH);
    face->setAutoFillBackground(true);
    QPalette fp = face->palette();
    fp.setColor(QPalette::Window, QColor(0x1c, 0x1f, 0x24));
    fp.setColor(QPalette::WindowText, QColor(0xb8, 0xc0, 0xc8));
    face->setPalette(fp);

    const int rowW = 8 * kCellW + 2, rowX = (face->width() - rowW) / 2;
    QFont small = font();
    small.setPixelSize(9);
    auto clock = [&](QLabel*& label, const char* labelName, const QString& caption, int y,
                     std::array<TDisplay**, 8> cells, std::array<const char*, 8> names) {
        label = new QLabel(caption, face);
        label->setObjectName(QString::fromLatin1(labelName));
        label->setFont(small);
        label->setGeometry(rowX, y, rowW, 10);
        auto* row = new QFrame(face);
        row->setObjectName(QString::fromLatin1(labelName) + QStringLiteral("Row"));
        row->setFrameStyle(QFrame::Box | QFrame::Plain);
        row->setLineWidth(1);
        QPalette rp = row->palette();
        rp.setColor(QPalette::WindowText, QColor(0x5a, 0x60, 0x68));
        row->setPalette(rp);
        row->setGeometry(rowX, y + 10, rowW, kCellH + 2);
        for (std::size_t i = 0; i < cells.size(); ++i) {
            auto* d = new TDisplay(row);
            d->setObjectName(QString::fromLatin1(names[i]));
            d->setGeometry(1 + int(i) * kCellW, 1, kCellW, kCellH);
            d->setDigitStyle(TDigitStyle::ds5x7Dot);
            d->setSegWidth(3);
            d->setMargin(2);
            d->setOnColor(kWhite);
            d->setOffColor(kMaroon);
            d->setBackColor(kBlack);
            d->setPenOnColor(kBlack);
            d->setPenOffColor(kBlack);
            d->setDigit(i == 2 || i == 5 ? ':' : '0');
            *cells[i] = d;
        }
    };
    clock(Label1, "Label1", tr("Time (H:M:S)"), 1,
          {&dspT6, &dspT5, &Display9, &dspT4, &dspT3, &Display7, &dspT2, &dspT1},
          {"dspT6", "dspT5", "Display9", "dspT4", "dspT3", "Display7", "dspT2", "dspT1"});
    clock(Label3, "Label3", tr("Total Time (H:M:S)"), 41,
          {&dsptT6, &dsptT5, &Display10, &dsptT4, &dsptT3, &Display8, &dsptT2, &dsptT1},
          {"dsptT6", "dsptT5", "Display10", "dsptT4", "dsptT3", "Display8", "dsptT2", "dsptT1"});

    DBMeter = new Tdbmeter(face);
    DBMeter->setObjectName(QStringLiteral("DBMeter"));
    DBMeter->setGeometry((face->width() - 250) / 2, faceH - 1 - 3 - 7, 250, 7);
    DBMeter->setStyle(Tdbmeterstyle::dsHorizontal);
    DBMeter->setDirection(Tdbmeterdirection::ddRightDown);
    DBMeter->setBevelStyle(TPanelBevel::bvLowered);
    DBMeter->setBevelWidth(1);
    DBMeter->setGreens(14);
    DBMeter->setYellows(7);
    DBMeter->setReds(4);
    DBMeter->setGreenMax(56);
    DBMeter->setYellowMax(28);
    DBMeter->setRedMax(16);
    DBMeter->setGreenColor(0x00FF00);
    DBMeter->setYellowColor(0x00FFFF);
    DBMeter->setRedColor(0x0000FF);
    DBMeter->setGreenBack(kBlack);
    DBMeter->setYellowBack(kBlack);
    DBMeter->setRedBack(kBlack);
    DBMeter->setShowJustOne(false);
    DBMeter->setSepWidth(1);
    DBMeter->setSepColor(kGrey);
    DBMeter->setPosition(0);
}

// ---------------------------------------------------------------- life cycle

QSize TVM0007Form::screenSize() const {
    if (m_env.screenSize) return m_env.screenSize();
    const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
    return s ? s->geometry().size() : QSize(1024, 768);
}

void TVM0007Form::setTransportState(TransportState s) {
    m_transportState = s;
    setApplicationTitle(QString::fromStdString(applicationTitleFor(s)));
}

void TVM0007Form::FormCreate() {
    setHint(SBMail, tr("Send Voice Mail : Voice File (.SC4)") + QLatin1Char('\r') +
                        tr("(If recipient has voice lumo player)"));
    setHint(SBMailP, tr("Send Voice Mail : Voice File+Player (.EXE)") + QLatin1Char('\r') +
                         tr("(If recipient does not have voice lumo player)"));

    m_programDir = m_env.programDir.isEmpty() ? programDir() : m_env.programDir;
    if (!m_programDir.endsWith('/')) m_programDir += '/';
    m_iniPath = iniPathFor(m_programDir);
    m_dataDir = dataDirFor(m_programDir);
    QDir().mkpath(m_dataDir);  // a folder that cannot be made is not reported
    OpenDialog->setDirectory(m_dataDir);
    SaveDialog->setDirectory(m_dataDir);

    const std::string dir = m_dataDir.toStdString();
    const WorkNames names = chooseWorkNames(dir, [](const std::string& p) {
        return QFileInfo::exists(QString::fromStdString(p));
    });
    m_workFile = QString::fromStdString(names.workFile);
    m_tailFile = QString::fromStdString(names.tailFile);
    {
        QFile f(m_workFile);
        if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) f.close();
    }

    setTransportState(TransportState::Stopped);
    m_voiceMode = 4;

    if (m_env.audioEngine) m_engine = m_env.audioEngine();
    if (!m_engine) m_engine = std::make_unique<vek::crp2::QtAudioEngine>();
    m_engineTarget = std::make_unique<vek::crp2::QtMessageTarget>(
        [this](std::uint32_t msg, vek::crp2::Header h) { transportCommand([&] { m_transport->handleMessage(msg, h); }); });
    m_files = std::make_unique<vek::transport::StdFileSystem>();
    m_transportView = std::make_unique<TFormTransportView>(*this);
    m_transport = std::make_unique<vek::transport::Transport>(*m_engine, *m_engineTarget, *m_files, *m_transportView,
                                                              QFile::encodeName(m_workFile).toStdString(),
                                                              QFile::encodeName(m_tailFile).toStdString());

    const MainSettings s = readMainSettings(m_iniPath.toStdString());
    MTop->setChecked(s.stayOnTop);
    setWindowFlag(Qt::WindowStaysOnTopHint, s.stayOnTop);
    createHotKeys();
    RegisterHK();
    loadSpeedSettings();
}

void TVM0007Form::showEvent(QShowEvent* e) {
    QMainWindow::showEvent(e);
    if (m_shown) return;
    m_shown = true;
    FormShow();
}

void TVM0007Form::FormShow() {
    // Files dropped from the desktop are taken from now on (WMDropFiles).
    setAcceptDrops(true);
    const MainSettings s = readMainSettings(m_iniPath.toStdString());
    if (m_mailDlg) {
        m_mailDlg->SetMailProg(s.mailProg);
        m_mailDlg->setRunMailProgram(s.mailRun);
    }
    const QSize scr = screenSize();
    const ScreenPos p = clampToScreen({s.mainLeft, s.mainTop}, scr.width(), scr.height());
    // The stored position is the window's outer corner, title bar included.
    // Before the window manager has framed the window its frame is not
    // known, so the place is taken again once the frame is there.
    const QPoint target(p.left, p.top);
    move(target);
    QTimer::singleShot(0, this, [this, target] { placeFrame(target, 0); });

    const bool firstRun = !QFileInfo::exists(m_iniPath);
    const QString file = m_env.commandLineFile;
    // The dialog and the opened file come once the window is on the screen.
    QTimer::singleShot(0, this, [this, firstRun, file] {
        if (firstRun) mnuMailProgClick();
        if (!file.isEmpty() && FileExistsNotDir(file)) openVoiceFileAndPlay(file);
        emit shownOnce();
    });
}

void TVM0007Form::placeFrame(QPoint target, int attempt) {
    if (frameGeometry().topLeft() != target) move(target);
    // The window manager may report the frame a little later; a few looks
    // in the first half second settle it.
    if (frameGeometry().topLeft() == target && frameGeometry().size() != size()) return;
    if (attempt < 10) QTimer::singleShot(50, this, [this, target, attempt] { placeFrame(target, attempt + 1); });
}

void TVM0007Form::FormCloseQuery(bool& canClose) {
    canClose = true;
    if (m_transportState != TransportState::Stopped) StopR();
    // A recording still waiting for its final block is finished now: the
    // working file is complete before it is saved or deleted.
    transportCommand([this] { m_transport->closeDown(); });
    SaveAnswer answer = SaveAnswer::No;
    if (m_modified) {
        switch (askSaveChanges(this)) {
        case QMessageBox::Yes: answer = SaveAnswer::Yes; break;
        case QMessageBox::No: answer = SaveAnswer::No; break;
        default: answer = SaveAnswer::Cancel; break;
        }
    }
    const CloseOutcome o = closeOutcome(m_modified, answer);
    if (o.save) SaveClick();
    // A save that did not happen keeps the window and the recording.
    if (!o.closes || (o.save && m_modified)) {
        canClose = false;
        return;
    }
    writeWindowSettings(m_iniPath.toStdString(), pos().x(), pos().y(), MTop->isChecked());
    for (const QString& f : {m_workFile, m_tailFile})
        if (FileExistsNotDir(f)) QFile::remove(f);
}

void TVM0007Form::closeEvent(QCloseEvent* e) {
    bool canClose = true;
    FormCloseQuery(canClose);
    if (canClose)
        e->accept();
    else
        e->ignore();
}

void TVM0007Form::ExitClick() { close(); }

qint64 TVM0007Form::WMCopyData(const QByteArray& data) {
    if (m_transportState == TransportState::Recording) return 1;
    const int end = data.indexOf('\0');
    const QString path = QFile::decodeName(end < 0 ? data : data.left(end));
    // The sender has its answer before the file is opened: a question the
    // hand-over asks must not hold the second instance.
    QTimer::singleShot(0, this, [this, path] { openHandedOverFile(path); });
    return 1;
}

void TVM0007Form::openHandedOverFile(const QString& path) {
    // A recording may have started since the message came.
    if (m_transportState == TransportState::Recording) return;
    if (!FileExistsNotDir(path)) return;
    for (QDialog* d : {m_aboutBox.data(), static_cast<QDialog*>(m_mailDlg.data()), m_voiceDlg.data()}) {
        if (d && d->isVisible()) {
            d->reject();
            repaint();
        }
    }
    if (SBStop->isEnabled()) StopClick();
    TrackBar->setPosition(0);
    DisplayTime(0);
    WaitMs(100);
    if (m_modified && askSaveChanges(this) == QMessageBox::Yes) SaveClick();
    openVoiceFileAndPlay(path);
}

// ---------------------------------------------------------------- mail program

void TVM0007Form::mnuMailProgClick() {
    if (!m_mailDlg) return;
    const int prog = m_mailDlg->GetMailProg();
    const bool run = m_mailDlg->runMailProgram();
    if (m_mailDlg->exec() != QDialog::Accepted) {
        m_mailDlg->SetMailProg(prog);
        m_mailDlg->setRunMailProgram(run);
        return;
    }
    writeMailSettings(m_iniPath.toStdString(), m_mailDlg->GetMailProg(), m_mailDlg->runMailProgram());
    if (m_mailDlg->GetMailProg() < 4) SelectMailClient(m_mailDlg->GetMailProg());
}

// ---------------------------------------------------------------- voice files

bool TVM0007Form::CheckVoiceFile(const QString& name) {
    // Only a regular file is opened: a pipe (or a device) named like a voice
    // file would wait for a writer and hold the window.
    if (!FileExistsNotDir(name) || !QFileInfo(name).isFile()) return false;
    QFile f(name);
    if (!f.open(QIODevice::ReadOnly)) return false;
    const QByteArray head = f.read(5);
    const auto mode = recogniseVoiceFile(static_cast<std::uint64_t>(f.size()),
                                         reinterpret_cast<const unsigned char*>(head.constData()),
                                         static_cast<std::size_t>(head.size()));
    if (!mode) return false;
    m_voiceMode = *mode;
    return true;
}

void TVM0007Form::MsgErrorOpen() {
    QMessageBox box(QMessageBox::Warning, tr("Open"),
                    hintText(tr("Can not open file!") + QLatin1Char('\r') + tr("(File format is not valid.)")),
                    QMessageBox::Ok, this);
    box.setObjectName(QStringLiteral("MsgErrorOpen"));
    box.exec();
}

void TVM0007Form::ChangeFMode(std::uint8_t mode) {
    StatusBar->setPanelText(2, QString::fromLatin1(modeName(mode)));
}

// ---------------------------------------------------------------- transport
// The transport's commands: the window hands its mode over, the transport
// does the work and drives the controls, the mode comes back (a recording
// sets it).

void TVM0007Form::transportCommand(const std::function<void()>& command) {
    m_transport->setVoiceMode(m_voiceMode);
    command();
    m_voiceMode = m_transport->voiceMode();
}

void TVM0007Form::PlayClick() {
    transportCommand([this] { m_transport->playClick(); });
}
void TVM0007Form::StopClick() {
    transportCommand([this] { m_transport->stopClick(); });
}
void TVM0007Form::RecClick(QObject* sender) {
    const std::uint8_t mode = (sender == SBRec || sender == MRec) ? 4 : (sender == SBRec2 || sender == MRec2) ? 5 : 6;
    transportCommand([this, mode] { m_transport->recClick(mode); });
}
void TVM0007Form::SBFBClick() {
    transportCommand([this] { m_transport->rewindClick(); });
}
void TVM0007Form::SBFFClick() {
    transportCommand([this] { m_transport->fastForwardClick(); });
}
void TVM0007Form::SBDelBClick() {
    transportCommand([this] { m_transport->deleteBeforeClick(); });
}
void TVM0007Form::SBDelAClick() {
    transportCommand([this] { m_transport->deleteAfterClick(); });
}
void TVM0007Form::TrackBarChange() {
    transportCommand([this] { m_transport->trackBarChange(TrackBar->position()); });
}
void TVM0007Form::TrackBarMouseUp(Qt::MouseButton, Qt::KeyboardModifiers, QPoint pos) {
    transportCommand([this, pos] { m_transport->trackBarMouseUp(pos.x()); });
}
void TVM0007Form::StopR() {
    transportCommand([this] { m_transport->stopR(); });
}
void TVM0007Form::DisplayTime(int tcount) {
    transportCommand([this, tcount] { m_transport->displayTime(tcount); });
}
std::int32_t TVM0007Form::ShowTotalTime(const QString& fileName, bool alsoRunning) {
    std::int64_t size = 0;
    transportCommand([&] { size = m_transport->showTotalTime(QFile::encodeName(fileName).toStdString(), alsoRunning); });
    return static_cast<std::int32_t>(std::min<std::int64_t>(size, INT32_MAX));
}
void TVM0007Form::DspSize(std::int32_t bytes) {
    transportCommand([this, bytes] { m_transport->dspSize(bytes); });
}
void TVM0007Form::RecBtnRefresh() {
    transportCommand([this] { m_transport->recBtnRefresh(); });
}


}  // namespace vekvmail
