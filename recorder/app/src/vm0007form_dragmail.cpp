// The recorder window's drag and drop and voice mail: the two drag handles
// that hand the recording out as an SC4 file or a self-playing executable,
// files dropped onto the window, and sending either kind as an attachment
// through the chosen mail program.
//
// On Linux a drag out is a Qt drag of the file's URL (text/uri-list, which
// file managers and mail composers take), a drop in is a list of file URLs,
// and the attachment goes to the desktop's default mail client through
// xdg-email (vekimail). The mail-client keys live in our own store with the
// registry's key paths (vek/platform/mailreg.hpp tells what each of the five
// choices starts here).
// SPDX-License-Identifier: GPL-3.0-or-later
#include "vm0007form.hpp"

#include "draghandle.hpp"
#include "startup.hpp"
#include "statusbar.hpp"

#include "vek/platform/mailreg.hpp"
#include "vek/platform/vekimail.hpp"
#include "vek/recpexe/dropin.hpp"
#include "vek/recpexe/mail.hpp"
#include "vek/recpexe/outgoing.hpp"
#include "vek/recpexe/pexe.hpp"
#include "vek/recwidgets/dropsource.hpp"
#include "vek/recwidgets/filedrag.hpp"

#include <QAction>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QGuiApplication>
#include <QMessageBox>
#include <QMimeData>
#include <QMouseEvent>
#include <QTimer>
#include <QToolButton>
#include <QUrl>

namespace vekvmail {

namespace fs = std::filesystem;
namespace pexe = vek::recpexe;

namespace {

fs::path toPath(const QString& p) { return fs::path(QFile::encodeName(p).toStdString()); }
QString fromPath(const fs::path& p) { return QFile::decodeName(QByteArray::fromStdString(p.string())); }

class WindowMessages final : public pexe::MessageSink {
public:
    explicit WindowMessages(QWidget* owner) : m_owner(owner) {}
    void show(const std::string& text, const std::string& caption, pexe::Icon icon) override {
        showRecorderMessage(m_owner, text, caption, icon);
    }

private:
    QWidget* m_owner;
};

}  // namespace

void showRecorderMessage(QWidget* owner, const std::string& text, const std::string& caption, pexe::Icon icon) {
    QMessageBox::Icon i = QMessageBox::Information;
    switch (icon) {
        case pexe::Icon::Information: i = QMessageBox::Information; break;
        case pexe::Icon::Warning: i = QMessageBox::Warning; break;
        case pexe::Icon::Question: i = QMessageBox::Question; break;
        case pexe::Icon::Error: i = QMessageBox::Critical; break;
    }
    // The designed texts are used as they are; our own (the MP3 file's)
    // may be translated.
    QMessageBox box(i, TVM0007Form::tr(caption.c_str()), hintText(TVM0007Form::tr(text.c_str())), QMessageBox::Ok,
                    owner);
    box.setObjectName(QStringLiteral("RecorderMessage"));
    // A box does not come up under the hourglass of the command.
    const bool busy = QGuiApplication::overrideCursor() != nullptr;
    if (busy) QGuiApplication::setOverrideCursor(Qt::ArrowCursor);
    box.exec();
    if (busy) QGuiApplication::restoreOverrideCursor();
}

// The window as the portable logic sees it, for the outgoing file (its
// boxes, Save, the working file) and for sending (its cursor and status
// panel, and the desktop's services or the doubles given to the window).
// One host serves drag-out and the three Send commands alike.
class TVM0007Form::OutgoingMailHost final : public pexe::MailHost, public pexe::OutgoingHost {
public:
    explicit OutgoingMailHost(TVM0007Form& form) : m_form(form) {}
    void show(const std::string& text, const std::string& caption, pexe::Icon icon) override {
        showRecorderMessage(&m_form, text, caption, icon);
    }

    // ---- outgoing file
    // Save of the current file; it counts only when it left nothing unsaved.
    bool save() override {
        m_form.SaveClick();
        return !m_form.m_modified;
    }
    bool writeWorkingAsSc4(const fs::path& path) override {
        return pexe::writeWorkingAsSc4(toPath(m_form.m_workFile), m_form.m_voiceMode, path);
    }

    // ---- sending
    void setBusy(bool busy) override {
        if (busy)
            QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        else
            QGuiApplication::restoreOverrideCursor();
    }
    int shellOpen(const std::string& program, const std::string& params) override {
        const auto& f = m_form.m_dragMail.shellOpen;
        return f ? f(program, params) : vek::imail::shellOpenProgram(program, params);
    }
    int startCommand(const std::string& commandLine) override {
        const auto& f = m_form.m_dragMail.startCommand;
        return f ? f(commandLine) : vek::imail::startCommandLine(commandLine);
    }
    std::optional<fs::path> prepareOutgoing(pexe::OutgoingKind kind) override {
        const QString out = m_form.prepareOutgoingFile(kind);
        if (out.isEmpty()) return std::nullopt;
        return toPath(out);
    }
    std::int32_t sendIMail(const std::string& path, const std::string& text) override {
        const auto& f = m_form.m_dragMail.sendIMail;
        return f ? f(path, text) : vek::imail::sendIMail(path.c_str(), text.c_str());
    }
    void clearStatusText() override { m_form.StatusBar->setPanelText(0, QString()); }

private:
    TVM0007Form& m_form;
};

// ---------------------------------------------------------------- outgoing file

QString TVM0007Form::prepareOutgoingFile(pexe::OutgoingKind kind) {
    pexe::RecorderFiles st;
    st.programDir = toPath(m_programDir);
    st.dataDir = toPath(m_dataDir);
    st.currentFile = toPath(m_currentFile);
    st.mode = m_voiceMode;
    st.fx = {static_cast<std::uint8_t>(m_effectIndex), static_cast<std::uint8_t>(m_effectSlider)};
    st.modified = m_modified;
    st.targetCheck = m_targetCheck;
    st.mp3TargetCheck = m_mp3TargetCheck;
    OutgoingMailHost host(*this);
    const std::optional<fs::path> out = pexe::prepareOutgoing(kind, st, host);
    // The modified flag is Save's own; both check flags follow the
    // preparation (a save it made re-arms both, a build clears its own).
    m_targetCheck = st.targetCheck;
    m_mp3TargetCheck = st.mp3TargetCheck;
    return out ? fromPath(*out) : QString();
}

// ---------------------------------------------------------------- drag-out

void TVM0007Form::imgDDCMouseDown(QObject*, Qt::MouseButton, Qt::KeyboardModifiers, QPoint pos) { m_dragStart = pos; }

void TVM0007Form::imgDDCMouseMove(QObject* sender, Qt::MouseButtons buttons, Qt::KeyboardModifiers shift, QPoint pos) {
    const QMouseEvent move(QEvent::MouseMove, QPointF(pos), QPointF(pos), Qt::NoButton, buttons, shift);
    if (!vek::dropsource::dragHandleStarts(m_dragStart.x(), m_dragStart.y(), pos.x(), pos.y(),
                                           vek::recwidgets::shiftStateOf(move)))
        return;
    auto* handle = qobject_cast<QWidget*>(sender);
    const QString out = prepareOutgoingFile(sender == static_cast<QObject*>(imgDDE) ? pexe::OutgoingKind::Exe
                                                                                    : pexe::OutgoingKind::Sc4);
    if (!out.isEmpty()) JDD_DragDrop(handle ? handle : this, out, QString());
}

void TVM0007Form::JDD_DragDrop(QWidget* source, const QString& first, const QString& second) {
    // The window does not take its own file back while it hands it out.
    setAcceptDrops(false);
    if (m_dragMail.fileDrag)
        m_dragMail.fileDrag(source, first);
    else
        vek::recwidgets::runFileDrag(source, first, second);  // the outcome is not used
    setAcceptDrops(true);
}

void TVM0007Form::DropSource1drop(QObject*, bool, bool& continueDrop) {
    // The drop is decided: the pointer goes back to whoever is under it.
    if (QWidget* grabber = QWidget::mouseGrabber()) grabber->releaseMouse();
    continueDrop = true;
}

// ---------------------------------------------------------------- drop-in

void TVM0007Form::dragEnterEvent(QDragEnterEvent* e) {
    const QList<QUrl> urls = e->mimeData()->urls();
    if (urls.isEmpty()) return;
    for (const QUrl& u : urls)
        if (!u.isLocalFile()) return;
    e->setDropAction(Qt::CopyAction);
    e->accept();
}

void TVM0007Form::dropEvent(QDropEvent* e) {
    QStringList files;
    for (const QUrl& u : e->mimeData()->urls())
        if (u.isLocalFile()) files << u.toLocalFile();
    e->setDropAction(Qt::CopyAction);
    e->accept();
    // The drag source gets its answer first; the questions and the loading
    // come after, as a posted message would.
    QTimer::singleShot(0, this, [this, files] { WMDropFiles(files); });
}

void TVM0007Form::WMDropFiles(const QStringList& files) {
    std::vector<fs::path> paths;
    for (const QString& f : files) paths.push_back(toPath(f));
    const pexe::DropIn what = pexe::classifyDrop(m_transportState == TransportState::Stopped, paths);
    if (what == pexe::DropIn::Ignore) return;
    raise();
    activateWindow();
    WindowMessages host(this);
    if (what == pexe::DropIn::WrongCount || what == pexe::DropIn::Unsupported) {
        pexe::showDropMessage(what, host);
        return;
    }
    if (m_modified) {
        QMessageBox box(QMessageBox::Question, tr("Confirm"), tr("Save changes to file?"),
                        QMessageBox::Yes | QMessageBox::No, this);
        box.setObjectName(QStringLiteral("SaveChangesBox"));
        if (box.exec() == QMessageBox::Yes) SaveClick();
    }
    setAcceptDrops(false);
    openVoiceFileAndPlay(files.front(), true);
    // Playback, when it started, keeps drops off until it stops.
    if (m_transportState == TransportState::Stopped) setAcceptDrops(true);
}

// ---------------------------------------------------------------- voice mail

void TVM0007Form::MailClick(QObject* sender) {
    const bool exe = sender == static_cast<QObject*>(SBMailP) || sender == static_cast<QObject*>(MMailSendP);
    sendMail(exe ? pexe::OutgoingKind::Exe : pexe::OutgoingKind::Sc4);
}

void TVM0007Form::sendMail(pexe::OutgoingKind kind) {
    const int prog = m_mailDlg ? m_mailDlg->GetMailProg() : pexe::kDefaultMailProg;
    const bool run = m_mailDlg && m_mailDlg->runMailProgram();
    OutgoingMailHost host(*this);
    // Netscape is started without a look at the client keys.
    const vek::mailreg::Store store =
        prog == pexe::kNetscapeIndex ? vek::mailreg::Store(vek::mailreg::Store::defaultPath()) : mailClients();
    pexe::mailClick(kind, toPath(m_currentFile), prog, run, store, host);
}

vek::mailreg::Store TVM0007Form::mailClients() {
    // Made with the Linux defaults so that the default choice works at once.
    vek::mailreg::Store store(vek::mailreg::Store::defaultPath());
    store.seedIfMissing();
    return store;
}

bool TVM0007Form::SelectMailClient(int index) {
    switch (vek::mailreg::selectMailClient(mailClients(), index)) {
        case vek::mailreg::SelectResult::Selected: return true;
        case vek::mailreg::SelectResult::NotFound: return false;
        case vek::mailreg::SelectResult::WriteFailed: break;
    }
    // The one error of the dialog's confirmation; the settings are written by then.
    showRecorderMessage(this, vek::mailreg::failedToSetDataMessage(), pexe::kCaption, pexe::Icon::Error);
    return false;
}

bool TVM0007Form::FindMailClient(std::string& command, int index, bool wantCommand) {
    return vek::mailreg::findMailClient(mailClients(), command, index, wantCommand);
}

}  // namespace vekvmail
