// SPDX-License-Identifier: GPL-3.0-or-later
#include "mainform.hpp"

#include "aboutbox.hpp"
#include "commandicons.hpp"
#include "formstorage.hpp"
#include "startup.hpp"
#include "statusformat.hpp"

#include "vek/codec/sc4.hpp"
#include "vek/jobs/conversion.hpp"
#include "vek/platform/fileops.hpp"
#include "vek/platform/shellverbs.hpp"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QThread>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <cstdio>

namespace vekshell {

using vek::shellwidgets::ShellListView;

namespace {

// Restores the previous cursor on every path out of a scope.
struct WaitCursor {
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

// Small toolbar pictures of our own for the commands without a standard one.
QIcon textIcon(const QString& text, const QColor& color) {
    QPixmap pm(20, 20);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(color.darker(140), 1));
    p.setBrush(color.lighter(170));
    p.drawRoundedRect(QRectF(0.5, 2.5, 19, 15), 3, 3);
    QFont f = p.font();
    f.setPixelSize(text.size() > 2 ? 8 : 10);
    f.setBold(true);
    p.setFont(f);
    p.setPen(color.darker(200));
    p.drawText(QRect(0, 2, 20, 16), Qt::AlignCenter, text);
    return QIcon(pm);
}

QIcon themed(const char* name, QStyle::StandardPixmap fallback, QWidget* w) {
    QIcon i = QIcon::fromTheme(QString::fromLatin1(name));
    return i.isNull() ? w->style()->standardIcon(fallback) : i;
}

}  // namespace

TMainForm::TMainForm(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("MainForm"));
    resize(630, 470);

    // Toolbar panel, 30 pixels high, with the controls at their designed places.
    auto* central = new QWidget;
    auto* col = new QVBoxLayout(central);
    col->setContentsMargins(0, 0, 0, 0);
    col->setSpacing(0);
    Panel1 = new QWidget;
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFixedHeight(30);
    col->addWidget(Panel1);

    ShellTree = new vek::shellwidgets::ShellTree;
    ShellTree->setObjectName(QStringLiteral("ShellTree"));
    ShellListView = new vek::shellwidgets::ShellListView;
    ShellListView->setObjectName(QStringLiteral("ShellListView"));
    Splitter1 = new QSplitter(Qt::Horizontal);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Splitter1->setHandleWidth(4);
    Splitter1->addWidget(ShellTree);
    Splitter1->addWidget(ShellListView);
    Splitter1->setCollapsible(0, false);
    Splitter1->setCollapsible(1, false);
    Splitter1->setStretchFactor(1, 1);
    // Splitter1CanResize: the tree never gets narrower than 60 pixels.
    ShellTree->setMinimumWidth(60);
    Splitter1->setSizes({170, 456});
    col->addWidget(Splitter1, 1);
    setCentralWidget(central);

    buildToolbar();
    buildMenu();

    // Status bar: three panels of 118, 410 and 50 pixels, the third centred.
    const int widths[3] = {118, 410, 50};
    for (int i = 0; i < 3; ++i) {
        StatusPanel[i] = new QLabel;
        StatusPanel[i]->setObjectName(QStringLiteral("StatusPanel%1").arg(i + 1));
        StatusPanel[i]->setFixedWidth(widths[i]);
        StatusPanel[i]->setFrameShape(QFrame::Panel);
        StatusPanel[i]->setFrameShadow(QFrame::Sunken);
        statusBar()->addWidget(StatusPanel[i], i == 2 ? 1 : 0);
    }
    StatusPanel[2]->setMinimumWidth(50);
    StatusPanel[2]->setMaximumWidth(QWIDGETSIZE_MAX);
    StatusPanel[2]->setAlignment(Qt::AlignCenter);
    statusBar()->setSizeGripEnabled(true);

    tmrRefresh = new QTimer(this);
    tmrRefresh->setInterval(3000);
    connect(tmrRefresh, &QTimer::timeout, this, &TMainForm::tmrRefreshTimer);

    link_ = new vek::shellwidgets::ShellLink(ShellCombo, ShellTree, ShellListView, this);
    connect(ShellListView, &ShellListView::populated, this, &TMainForm::ShellListViewPopulated);
    connect(ShellTree, &vek::shellwidgets::ShellTree::entered, this, &TMainForm::ShellListViewPopulated);
    connect(ShellListView, &ShellListView::mouseReleased, this, &TMainForm::GetStatistics);
    connect(ShellListView, &ShellListView::keyReleased, this, &TMainForm::ShellListViewKeyUp);
    connect(ShellTree, &vek::shellwidgets::ShellTree::keyReleased, this, &TMainForm::ShellTreeKeyUp);
    connect(ShellCombo, &vek::shellwidgets::ShellCombo::keyReleased, this,
            [this](int key, Qt::KeyboardModifiers) { ShellComboKeyUp(key); });

    // The conversions in the list's context menu, where they act on what was
    // right-clicked. The tree's menu has none: a folder is nothing to convert,
    // and its click takes the focus from the list the conversions need.
    ShellListView->setExtraActions({mnuWave, mnuG729, mnuADPCM8, mnuADPCM11});
    // The tree's "Find..." shows its results here, like the Tools menu's.
    connect(ShellTree, &vek::shellwidgets::ShellTree::findRequested, this, &TMainForm::OpenFindDialog);
    // The toolbar is laid out after the window's own resize event: its
    // controls follow the toolbar's width when that is known.
    Panel1->installEventFilter(this);

    AboutBox = new TAboutBox(this);
    FormCreate();
}

TMainForm::~TMainForm() {
    if (!settingsWritten_) writeSettings();
}

void TMainForm::buildToolbar() {
    ShellCombo = new vek::shellwidgets::ShellCombo(Panel1);
    ShellCombo->setObjectName(QStringLiteral("ShellCombo"));
    ShellCombo->setGeometry(4, 4, 165, 22);

    auto button = [this](const char* name, int x, const QIcon& icon, std::function<void()> fn) {
        auto* b = new QToolButton(Panel1);
        b->setObjectName(QString::fromLatin1(name));
        b->setGeometry(x, 3, 25, 24);
        b->setIcon(icon);
        b->setAutoRaise(true);
        b->setFocusPolicy(Qt::NoFocus);  // a click leaves the focus where it was
        connect(b, &QToolButton::clicked, this, std::move(fn));
        return b;
    };
    QWidget* w = this;
    SpeedButton5 = button("SpeedButton5", 156, themed("network-server", QStyle::SP_DriveNetIcon, w),
                          [this] { SpeedButton5Click(); });
    SpeedButton5->setToolTip(QStringLiteral("Connect network drive"));
    SpeedButton5->hide();
    ParentButton = button("ParentButton", 180, themed("go-up", QStyle::SP_FileDialogToParent, w),
                          [this] { ParentButtonClick(); });
    PropertiesButton = button("PropertiesButton", 214, themed("document-properties", QStyle::SP_FileDialogInfoView, w),
                              [this] { PropertiesButtonClick(); });
    RefreshButton = button("RefreshButton", 239, themed("view-refresh", QStyle::SP_BrowserReload, w),
                           [this] { RefreshButtonClick(); });
    DeleteButton = button("DeleteButton", 264, themed("edit-delete", QStyle::SP_TrashIcon, w),
                          [this] { DeleteButtonClick(); });
    btnNew = button("btnNew", 289, themed("folder-new", QStyle::SP_FileDialogNewFolder, w), [this] { btnNewClick(); });
    CutButton = button("CutButton", 323, commandIcon(QStringLiteral("edit-cut")), [this] { CutButtonClick(); });
    CopyButton = button("CopyButton", 348, commandIcon(QStringLiteral("edit-copy")), [this] { CopyButtonClick(); });
    PasteButton = button("PasteButton", 373, commandIcon(QStringLiteral("edit-paste")), [this] { PasteButtonClick(); });
    btnWave = button("btnWave", 407, textIcon(QStringLiteral("W"), QColor(40, 110, 200)), [this] { mnuWaveClick(); });
    btnG729 = button("btnG729", 432, textIcon(QStringLiteral("SP"), QColor(200, 90, 40)), [] {});
    btnADPCM8 = button("btnADPCM8", 457, textIcon(QStringLiteral("HQ"), QColor(40, 150, 60)), [] {});
    btnADPCM11 = button("btnADPCM11", 482, textIcon(QStringLiteral("SHQ"), QColor(150, 60, 160)), [] {});
    for (QToolButton* b : {btnG729, btnADPCM8, btnADPCM11}) {
        disconnect(b, &QToolButton::clicked, nullptr, nullptr);
        connect(b, &QToolButton::clicked, this, [this, b] { mnuG729Click(b); });
    }
    // The four view buttons: one group, hidden, each tagged with its style.
    const char* viewNames[4] = {"SpeedButton1", "SpeedButton2", "SpeedButton3", "SpeedButton4"};
    const QStyle::StandardPixmap viewIcons[4] = {QStyle::SP_FileDialogContentsView, QStyle::SP_FileDialogListView,
                                                 QStyle::SP_FileDialogListView, QStyle::SP_FileDialogDetailedView};
    for (int i = 0; i < 4; ++i) {
        SpeedButton[i] = button(viewNames[i], 407 + 25 * i, style()->standardIcon(viewIcons[i]),
                                [this, i] { SpeedButton1Click(i); });
        SpeedButton[i]->setCheckable(true);
        SpeedButton[i]->setAutoExclusive(true);
        SpeedButton[i]->hide();
    }
    StaticText3 = new QLabel(QStringLiteral("Filter:"), Panel1);
    StaticText3->setObjectName(QStringLiteral("StaticText3"));
    StaticText3->setGeometry(521, 8, 32, 16);
    cmbMask = new QComboBox(Panel1);
    cmbMask->setObjectName(QStringLiteral("cmbMask"));
    cmbMask->setEditable(true);
    cmbMask->setInsertPolicy(QComboBox::NoInsert);
    // A typed mask stays as typed: no completion that would swap it for an item.
    cmbMask->setCompleter(nullptr);
    // Nor does leaving the box pick the item that matches the text: only a
    // pick from the list counts as a pick.
    QObject::disconnect(cmbMask->lineEdit(), &QLineEdit::editingFinished, cmbMask, nullptr);
    cmbMask->addItems({QStringLiteral("*"), QStringLiteral("*.sc4"), QStringLiteral("*.wav"), QStringLiteral("*.sc4;*.wav")});
    cmbMask->setCurrentIndex(-1);
    cmbMask->setEditText(QStringLiteral("*"));
    cmbMask->setGeometry(553, 4, 70, 22);
    cmbMask->installEventFilter(this);
    cmbMask->lineEdit()->installEventFilter(this);
    connect(cmbMask, qOverload<int>(&QComboBox::activated), this, [this](int) { cmbMaskChange(); });
}

void TMainForm::buildMenu() {
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("File1"));
    mnuWave = file->addAction(QStringLiteral("Convert to &WAV file"), this, [this] { mnuWaveClick(); });
    mnuWave->setShortcut(Qt::Key_F12);
    mnuG729 = file->addAction(QStringLiteral("Convert to SC4 file (&SP Mode, 16:1 Compression)"));
    mnuG729->setShortcut(Qt::Key_F11);
    mnuADPCM8 = file->addAction(QStringLiteral("Convert to SC4 file (&HQ Mode, 4:1 Compression)"));
    mnuADPCM8->setShortcut(Qt::Key_F10);
    mnuADPCM11 = file->addAction(QStringLiteral("Convert to SC4 file (SH&Q Mode, 4:1 Compression)"));
    mnuADPCM11->setShortcut(Qt::Key_F9);
    for (QAction* a : {mnuG729, mnuADPCM8, mnuADPCM11})
        connect(a, &QAction::triggered, this, [this, a] { mnuG729Click(a); });
    file->addSeparator();
    Exit1 = file->addAction(QStringLiteral("E&xit"), this, [this] { close(); });
    QMenu* tools = menuBar()->addMenu(QStringLiteral("&Tools"));
    tools->setObjectName(QStringLiteral("T2"));
    mnuFind = tools->addAction(QStringLiteral("&Find File or Folder..."), this, [this] { mnuFindClick(); });
    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("Help1"));
    About1 = help->addAction(QStringLiteral("&About voice lumo manager..."), this, [this] { About1Click(); });
    mnuWave->setObjectName(QStringLiteral("mnuWave"));
    mnuG729->setObjectName(QStringLiteral("mnuG729"));
    mnuADPCM8->setObjectName(QStringLiteral("mnuADPCM8"));
    mnuADPCM11->setObjectName(QStringLiteral("mnuADPCM11"));
    Exit1->setObjectName(QStringLiteral("Exit1"));
    mnuFind->setObjectName(QStringLiteral("mnuFind"));
    About1->setObjectName(QStringLiteral("About1"));
}

// ------------------------------------------------------------ life cycle

void TMainForm::FormCreate() {
    ProgramDir = programDir();
    iniPath_ = settingsFilePath();
    SelectedNames.clear();
    memory_.clear();
    setWindowTitle(kAppTitle);
    QFont f(QStringLiteral("MS Sans Serif"));
    f.setPointSize(8);
    setFont(f);
    ParentButton->setToolTip(QStringLiteral("Up"));
    PropertiesButton->setToolTip(QStringLiteral("Properties"));
    RefreshButton->setToolTip(QStringLiteral("Refresh"));
    DeleteButton->setToolTip(QStringLiteral("Delete"));
    btnNew->setToolTip(QStringLiteral("New Folder"));
    CutButton->setToolTip(QStringLiteral("Cut"));
    CopyButton->setToolTip(QStringLiteral("Copy"));
    PasteButton->setToolTip(QStringLiteral("Paste"));
    btnWave->setToolTip(QStringLiteral("Convert to WAV file"));
    btnG729->setToolTip(QStringLiteral("Convert to SC4 file (SP Mode, 16:1 Compression, Normal Quality)"));
    btnADPCM8->setToolTip(QStringLiteral("Convert to SC4 file (HQ Mode, 4:1 Compression, High Quality)"));
    btnADPCM11->setToolTip(QStringLiteral("Convert to SC4 file (SHQ Mode, 4:1 Compression, Best Quality)"));
    const char* viewHints[4] = {"Large Icon", "Small Icon", "List", "Detail"};
    for (int i = 0; i < 4; ++i) SpeedButton[i]->setToolTip(QString::fromLatin1(viewHints[i]));
    // The filter label sits one pixel higher and three further right.
    StaticText3->move(StaticText3->x() + 3, StaticText3->y() - 1);
    // Centred on the screen until a stored position replaces it.
    if (QScreen* s = QGuiApplication::primaryScreen()) {
        QRect r(QPoint(0, 0), size());
        r.moveCenter(s->availableGeometry().center());
        move(r.topLeft());
    }
}

void TMainForm::showEvent(QShowEvent* e) {
    if (!shown_) {
        shown_ = true;
        readSettings();
        FormShow();
    }
    QMainWindow::showEvent(e);
}

void TMainForm::readSettings() {
    QScreen* s = QGuiApplication::primaryScreen();
    const QSize scr = s ? s->size() : QSize(0, 0);
    const int ppi = s ? qRound(s->logicalDotsPerInch()) : 96;
    const StoredSettings st = readFormSettings(QFile::encodeName(iniPath_).toStdString(), scr.width(), scr.height());
    if (positionApplies(st, ppi)) {
        const Rect4& r = *st.normPos;
        setGeometry(r.a, r.b, r.c - r.a, r.d - r.b);
    }
    if (st.viewStyle) {
        ShellListView::ViewStyle vs;
        if (ShellListView::viewStyleFromName(QString::fromStdString(*st.viewStyle), &vs)) ShellListView->setViewStyle(vs);
    }
    if (st.maskText) cmbMask->setEditText(QString::fromStdString(*st.maskText));
    if (st.treeWidth && *st.treeWidth >= 60) {
        const int total = Splitter1->width() > 0 ? Splitter1->width() : width();
        Splitter1->setSizes({*st.treeWidth, qMax(1, total - *st.treeWidth - Splitter1->handleWidth())});
    }
    goToStartFolder(st.listPath ? QString::fromStdString(*st.listPath) : QString());
}

void TMainForm::goToStartFolder(const QString& stored) {
    // Empty, network and foreign paths (and folders that are gone, such as a
    // recorder drive that is not plugged in) start at the home folder.
    QString p = stored;
    if (!isUsableLocalPath(QFile::encodeName(p).toStdString()) || !QFileInfo(p).isDir()) p = QDir::homePath();
    link_->go(p);
}

void TMainForm::goTo(const QString& folder) { link_->go(folder); }

void TMainForm::FormShow() {
    if (ShellListView->path().isEmpty()) link_->go(QDir::homePath());
    lastMaskIndex_ = cmbMask->currentIndex();
    lastMaskText_ = cmbMask->currentText();
    ShellListView->setFilter(lastMaskText_);
    SpeedButton[ShellListView->viewStyle()]->setChecked(true);
    tmrRefresh->start();
}

void TMainForm::closeEvent(QCloseEvent* e) {
    // FormCloseQuery lets the window close; the settings follow.
    e->accept();
    tmrRefresh->stop();
    writeSettings();
    QMainWindow::closeEvent(e);
}

void TMainForm::writeSettings() {
    settingsWritten_ = true;
    QScreen* s = QGuiApplication::primaryScreen();
    const QSize scr = s ? s->size() : QSize(0, 0);
    FormSettings fs;
    fs.flags = 0;
    fs.showCmd = isMinimized() ? 2 : isMaximized() ? 3 : 1;
    fs.pixelsPerInch = s ? qRound(s->logicalDotsPerInch()) : 96;
    const QRect n = isMinimized() || isMaximized() ? normalGeometry() : geometry();
    fs.normPos = {n.left(), n.top(), n.left() + n.width(), n.top() + n.height()};
    fs.minMaxPos = {-1, -1, -1, -1};
    if (isMaximized()) fs.minMaxPos = {-1, -1, geometry().left(), geometry().top()};
    fs.viewStyle = ShellListView::viewStyleName(ShellListView->viewStyle()).toStdString();
    fs.maskText = cmbMask->currentText().toStdString();
    fs.listPath = QFile::encodeName(ShellListView->path()).toStdString();
    fs.treeWidth = Splitter1->sizes().value(0, ShellTree->width());
    writeFormSettings(QFile::encodeName(iniPath_).toStdString(), fs, scr.width(), scr.height());
}

void TMainForm::resizeEvent(QResizeEvent* e) {
    QMainWindow::resizeEvent(e);
    FormResize();
}

void TMainForm::FormResize() {
    cmbMask->resize(qBound(30, Panel1->width() - 557, 120), cmbMask->height());
    StatusPanel[1]->setFixedWidth(qMax(30, width() - 245));
}

// ---------------------------------------------------------- job services

QString TMainForm::listFolderPath() const { return ShellListView->path(); }

void TMainForm::showWrittenFile(const QString& path) {
    const QFileInfo fi(path);
    // A list that has moved on to another folder meanwhile (a recorder
    // unplugged) does not show the file, whatever it lists under that name.
    if (QDir::cleanPath(fi.absolutePath()) != QDir::cleanPath(ShellListView->path())) return;
    const QString name = fi.fileName();
    written_ << name;
    ShellListView->showWrittenFile(name);
}

void TMainForm::ForceFGWindow() {
    if (isMinimized())
        showNormal();
    else
        forceForeground(this);
}

void TMainForm::showMessage(const QString& text, MsgIcon icon) {
    ForceFGWindow();
    if (message_) {
        message_(text, kAppTitle, icon);
        return;
    }
    QString t = text;
    t.replace('\r', '\n');
    QMessageBox box(icon == MsgIcon::Warning ? QMessageBox::Warning
                    : icon == MsgIcon::Error ? QMessageBox::Critical : QMessageBox::Information,
                    kAppTitle, t, QMessageBox::Ok, this);
    box.exec();
}

// ------------------------------------------------------------ status bar

QString TMainForm::panelText(int i) const { return StatusPanel[i]->text(); }

std::uint32_t TMainForm::GetFreeSpaceKB() const {
    const QString p = ShellListView->path();
    if (p.isEmpty() || p.startsWith('\\')) return 0;
    // A volume that cannot be read (a recorder just removed) counts as 0.
    return vek::shell::freeSpaceKB(p).value_or(0);
}

namespace {
std::uint32_t sumSizes(const QString& folder, const QStringList& names) {
    std::uint32_t sum = 0;
    for (const auto& n : names) {
        const QFileInfo fi(folder + n);
        if (fi.exists()) sum += static_cast<std::uint32_t>(fi.size());  // wraps as a 32-bit sum
    }
    return sum;
}
}  // namespace

std::uint32_t TMainForm::GetSelectedSize() {
    SelectedNames = ShellListView->selectedNames();
    if (SelectedNames.isEmpty()) return 0;
    return sumSizes(ShellListView->path(), SelectedNames);
}

std::uint32_t TMainForm::GetTotalSize() {
    SelectedNames = ShellListView->allNames();
    if (SelectedNames.isEmpty()) return 0;
    return sumSizes(ShellListView->path(), SelectedNames);
}

void TMainForm::GetStatistics() {
    if (startupCounter_ < 2) {
        ++startupCounter_;
        return;
    }
    GetMode();
    if (ShellListView->selectedCount() > 0) {
        StatusPanel[0]->setText(QString::number(ShellListView->selectedCount()) + QStringLiteral(" object(s) selected"));
        StatusPanel[1]->setText(selectedSizeText(GetSelectedSize()));
    } else {
        StatusPanel[0]->setText(QString::number(ShellListView->itemCount()) + QStringLiteral(" object(s)"));
        const std::uint32_t freeKB = GetFreeSpaceKB();
        StatusPanel[1]->setText(freeKB == 0 ? QString() : totalSizeText(GetTotalSize(), freeKB));
    }
}

void TMainForm::GetMode() {
    StatusPanel[2]->clear();
    if (ShellListView->selectedCount() == 0) {
        memory_.clear();
        return;
    }
    SelectedNames = ShellListView->selectedNames();
    const QStringList names = SelectedNames;
    if (names.size() < memory_.size()) {
        memory_ = names;  // a shrinking selection shows nothing
        return;
    }
    QString chosen;
    if (memory_.isEmpty()) {
        chosen = names.front();
    } else {
        // The memory's positions are compared (the list is at least as long
        // here); when they all still hold the same names, the selection grew
        // at its end and the last name is the one just picked (a Shift-click
        // two rows further down describes that row, not the one between).
        chosen = names.back();
        for (qsizetype i = 0; i < memory_.size(); ++i)
            if (memory_[i] != names[i]) {
                chosen = names[i];
                break;
            }
    }
    if (!chosen.toLower().endsWith(QLatin1String(".sc4"))) {
        memory_ = names;
        return;
    }
    const QString path = ShellListView->path() + chosen;
    QFile f(path);
    // Only a regular file is opened: opening a pipe (or a device) named like
    // a voice file would wait for a writer and hold the window.
    if (QFileInfo(path).isFile() && f.open(QIODevice::ReadOnly)) {
        const qint64 size = f.size();
        std::uint8_t head[5] = {0, 0, 0, 0, 0};
        f.read(reinterpret_cast<char*>(head), 5);
        f.close();
        const vek::RecordingMode mode = vek::detectMode(head, 5);
        if (mode != vek::RecordingMode::Unknown)
            StatusPanel[2]->setText(QString::fromLatin1(vek::modeName(mode)) + ' ' +
                                    QString::fromStdString(vek::formatDuration(mode, static_cast<std::uint64_t>(size))));
    }
    memory_ = names;
}

// -------------------------------------------------------------- commands

void TMainForm::mnuWaveClick() { runConversion(true, mnuWave); }
void TMainForm::mnuG729Click(QObject* sender) { runConversion(false, sender); }

void TMainForm::runConversion(bool toWav, QObject* sender) {
    const QString selectMsg = toWav ? QStringLiteral("Select '.sc4' file.") : QStringLiteral("Select '.wav' file.");
    if (!ShellListView->listHasFocus() || ShellListView->selectedCount() == 0) {
        showMessage(selectMsg, MsgIcon::Warning);
        return;
    }
    const auto attrs = vek::shell::folderAttributes(ShellTree->selectedPath());
    if (!attrs) return;
    if (attrs->readOnly) {
        showMessage(QStringLiteral("Can not convert because this folder is ReadOnly."), MsgIcon::Warning);
        return;
    }
    SelectedNames = ShellListView->selectedNames();
    if (SelectedNames.isEmpty()) return;
    // SC4 files for the WAV command; for the three SC4 commands WAV files and
    // the other sound files the job reads (FLAC, Ogg, Opus, MP3, AIFF, ...).
    // The message keeps naming '.wav', the usual case.
    const auto takes = [toWav](const QString& n) {
        return toWav ? n.toLower().endsWith(QStringLiteral(".sc4")) : vek::jobs::isSoundFileName(n.toStdString());
    };
    bool any = false;
    for (const auto& n : SelectedNames) any = any || takes(n);
    // A folder named like a voice file is no voice file.
    if (any) {
        any = false;
        for (const auto& n : SelectedNames) any = any || (takes(n) && !QFileInfo(ShellListView->path() + n).isDir());
    }
    if (!any) {
        showMessage(selectMsg, MsgIcon::Warning);
        return;
    }
    if (!toWav) {
        if (sender == btnG729 || sender == mnuG729)
            ConvMode = 4;
        else if (sender == btnADPCM8 || sender == mnuADPCM8)
            ConvMode = 5;
        else
            ConvMode = 6;
    }
    ConvertedCount = 0;
    written_.clear();
    ShellListView->clearSelection();
    if (dialog_) dialog_(*this, toWav);
    if (ConvertedCount > 0) {
        if (ShellListView->isDesktop()) {
            WaitCursor busy;
            repaint();
            QThread::msleep(static_cast<unsigned long>(desktopWaitMs_));
            ShellListView->reread();
        }
        // The selection is the files the job wrote, as far as the list shows
        // them, and nothing else: a filter that hides them leaves nothing
        // selected (no other file may become the target of the next command),
        // and on the desktop every one of them is selected, not only those the
        // directory monitor had not added yet.
        ShellListView->clearSelection();
        int lastWritten = -1;
        for (const QString& n : written_) {
            const int i = ShellListView->indexOfName(n);
            if (i < 0) continue;
            ShellListView->setSelected(i, true);
            lastWritten = qMax(lastWritten, i);
        }
        ShellListView->makeVisible(lastWritten >= 0 ? lastWritten : ShellListView->itemCount() - 1);
        ShellListView->focusList();
        // The list holds the window's focus (the window itself may come back
        // to the front a moment later, after the dialog).
        if (ShellListView->listHasFocus() || focusWidget() == ShellListView->currentView()) GetStatistics();
    } else {
        // Nothing was written, yet the selection is gone: the status bar
        // says so instead of naming the old selection.
        GetStatistics();
    }
    ForceFGWindow();
}

void TMainForm::PropertiesButtonClick() {
    if (ShellListView->listHasFocus()) ShellListView->invokeVerb(QStringLiteral("properties"));
    if (ShellTree->hasFocus()) ShellTree->invokeVerb(QStringLiteral("properties"));
}

void TMainForm::ParentButtonClick() { ShellTree->goUp(); }

void TMainForm::RefreshButtonClick() {
    if (ShellTree->hasFocus()) {
        ShellTree->refreshTree();
    } else {
        ShellListView->refresh();
        ShellListView->focusList();
    }
}

void TMainForm::DeleteButtonClick() {
    if (ShellListView->listHasFocus()) {
        if (ShellListView->selectedCount() > 0) ShellListView->invokeVerb(QStringLiteral("delete"));
    } else if (ShellTree->hasFocus()) {
        // The top nodes (home, file system, volumes) are never deleted.
        if (vek::shell::folderEntryExists(ShellTree->selectedPath()) &&
            ShellTree->selectedCaption() != QLatin1String("My Documents") && !ShellTree->selectedIsTopLevel())
            ShellTree->invokeVerb(QStringLiteral("delete"));
    }
}

void TMainForm::CutButtonClick() {
    if (ShellListView->listHasFocus()) ShellListView->invokeVerb(QStringLiteral("cut"));
    if (ShellTree->hasFocus() && !ShellTree->selectedIsTopLevel()) ShellTree->invokeVerb(QStringLiteral("cut"));
}

void TMainForm::CopyButtonClick() {
    if (ShellListView->listHasFocus()) ShellListView->invokeVerb(QStringLiteral("copy"));
    if (ShellTree->hasFocus()) ShellTree->invokeVerb(QStringLiteral("copy"));
}

void TMainForm::PasteButtonClick() {
    if (ShellListView->listHasFocus()) ShellListView->paste();
    if (ShellTree->hasFocus()) ShellTree->invokeVerb(QStringLiteral("paste"));
}

void TMainForm::btnNewClick() {
    const QString p = ShellListView->path();
    if (p.isEmpty() || ShellListView->isReadOnly()) return;
    const QString candidate = vek::shell::freeNewFolderPath(p);
    if (!QDir().mkdir(candidate)) return;
    if (ShellListView->isDesktop()) {
        WaitCursor busy;
        QThread::msleep(static_cast<unsigned long>(desktopWaitMs_));
    }
    ShellTree->resync();
    ShellListView->reread();
    const int last = ShellListView->itemCount() - 1;
    ShellListView->makeVisible(last);
    ShellListView->editItem(last);
    GetStatistics();
}

void TMainForm::SpeedButton1Click(int tag) {
    ShellListView->setViewStyle(static_cast<ShellListView::ViewStyle>(tag));
    SpeedButton[tag]->setChecked(true);
}

void TMainForm::SpeedButton5Click() { ShellTree->connectNetworkDrive(); }

void TMainForm::About1Click() { AboutBox->exec(); }

void TMainForm::mnuFindClick() { OpenFindDialog(ShellListView->path()); }

void TMainForm::OpenFindDialog(const QString& folder) {
    ++findCount_;
    if (find_) {
        find_(folder);
        return;
    }
    vek::shell::openFindDialog(this, folder, [this](const QString& dir, const QString& name) {
        link_->go(dir);
        const int i = ShellListView->allNames().indexOf(name);
        if (i >= 0) {
            ShellListView->clearSelection();
            ShellListView->setSelected(i, true);
            ShellListView->makeVisible(i);
            ShellListView->focusList();
            GetStatistics();
        }
        ForceFGWindow();
    });
}

// ----------------------------------------------------------------- filter

void TMainForm::applyFilter(const QString& text, int index) {
    lastMaskText_ = text;
    lastMaskIndex_ = index;
    ShellListView->setFilter(text);
}

void TMainForm::cmbMaskChange() {
    const int i = cmbMask->currentIndex();
    if (i != -1 && i != lastMaskIndex_) applyFilter(cmbMask->itemText(i), i);
}

void TMainForm::cmbMaskExit() {
    if (cmbMask->currentText() != lastMaskText_) applyFilter(cmbMask->currentText(), -1);
}

void TMainForm::cmbMaskKeyUp(int key) {
    if (key != Qt::Key_Return && key != Qt::Key_Enter) return;
    cmbMask->lineEdit()->setCursorPosition(0);
    if (cmbMask->currentText() != lastMaskText_) applyFilter(cmbMask->currentText(), -1);
}

// ------------------------------------------------------------ keyboard etc

void TMainForm::ShellListViewPopulated() { GetStatistics(); }

void TMainForm::ShellListViewKeyUp(int key, Qt::KeyboardModifiers mods) {
    switch (key) {
    case Qt::Key_Backspace: case Qt::Key_Tab: case Qt::Key_Return: case Qt::Key_Enter: case Qt::Key_Space:
    case Qt::Key_PageUp: case Qt::Key_PageDown: case Qt::Key_End: case Qt::Key_Home: case Qt::Key_Up:
    case Qt::Key_Down:
        GetStatistics();
        return;
    default: break;
    }
    if (key == Qt::Key_A && (mods & Qt::ControlModifier)) GetStatistics();
    if (key == Qt::Key_F3 || (key == Qt::Key_F && (mods & Qt::ControlModifier))) OpenFindDialog(ShellListView->path());
}

void TMainForm::ShellTreeKeyUp(int key, Qt::KeyboardModifiers mods) {
    if (key == Qt::Key_F3 || (key == Qt::Key_F && (mods & Qt::ControlModifier))) OpenFindDialog(ShellListView->path());
}

void TMainForm::ShellComboKeyUp(int key) {
    switch (key) {
    case Qt::Key_PageUp: case Qt::Key_PageDown: case Qt::Key_End: case Qt::Key_Home:
    case Qt::Key_Left: case Qt::Key_Up: case Qt::Key_Right: case Qt::Key_Down:
        ShellCombo->setItemIndex(ShellCombo->itemIndex());
        break;
    default: break;
    }
}

void TMainForm::tmrRefreshTimer() {
    if (refreshing_) return;
    refreshing_ = true;
    ShellTree->resync();
    refreshing_ = false;
}

bool TMainForm::eventFilter(QObject* o, QEvent* e) {
    if (o == Panel1 && e->type() == QEvent::Resize) FormResize();
    if (o == cmbMask || o == cmbMask->lineEdit()) {
        if (e->type() == QEvent::FocusOut && !cmbMask->hasFocus() && !cmbMask->lineEdit()->hasFocus()) {
            // Only a move to another control of the window is an exit: while
            // another program is in front, or a popup (the box's own list, a
            // context menu) is open, the box stays the focused control.
            const Qt::FocusReason why = static_cast<QFocusEvent*>(e)->reason();
            if (why != Qt::ActiveWindowFocusReason && why != Qt::PopupFocusReason) cmbMaskExit();
        }
        else if (e->type() == QEvent::KeyRelease && o == cmbMask->lineEdit())
            cmbMaskKeyUp(static_cast<QKeyEvent*>(e)->key());
        else if (e->type() == QEvent::KeyPress && o == cmbMask->lineEdit()) {
            // Enter is handled on release (cmbMaskKeyUp); the box itself must
            // not pick the item that matches the typed text.
            const int k = static_cast<QKeyEvent*>(e)->key();
            if (k == Qt::Key_Return || k == Qt::Key_Enter) return true;
        }
    }
    return QMainWindow::eventFilter(o, e);
}

}  // namespace vekshell
