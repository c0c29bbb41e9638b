// The recorder window's file commands: New, Open, Save and Save As, the
// recognition of what is opened (an SC4 voice file by its ".sc4" extension,
// anything else as a self-playing executable), the conversions between the
// user's file and the working file, and the writability check of a target.
//
// Nothing here works on the user's file directly: Open fills the working
// file, Save writes the working file out. Every write goes to a new file
// beside its destination and takes the destination's place by one rename
// only when it is complete, so a full disk or a medium pulled half-way leaves
// the old file (and on Open the old recording) exactly as it was; the failure
// is reported and the modified flag stays set.
// SPDX-License-Identifier: GPL-3.0-or-later
#include "vm0007form.hpp"

#include "startup.hpp"
#include "statusbar.hpp"

#include "vek/platform/safefile.hpp"
#include "vek/recpexe/pexe.hpp"
#include "vek/recwidgets/mousebar.hpp"
#include "vek/transport/transport.hpp"
#include "vekcdc5.h"

#include <QAbstractItemView>
#include <QAction>
#include <QCompleter>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QToolButton>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vekvmail {

namespace {

namespace fs = std::filesystem;
namespace recpexe = vek::recpexe;

// An errno-like code of our own: the target is the working file itself.
constexpr int kSameFile = -1;

struct BusyCursor {
    BusyCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QGuiApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

struct Fd {
    int fd;
    ~Fd() {
        if (fd >= 0) ::close(fd);
    }
};

bool hasSuffix(const QString& path, const char* ext) { return path.toLower().endsWith(QLatin1String(ext)); }
bool isSc4Name(const QString& path) { return hasSuffix(path, ".sc4"); }

// Runs a file dialog; true when a name was chosen. The completion list of
// the name field can outlive the dialog when Return is pressed while it is
// open (seen under X11): it goes with the dialog.
bool runDialog(QFileDialog* d) {
    const bool accepted = d->exec() == QDialog::Accepted;
    for (QCompleter* c : d->findChildren<QCompleter*>())
        if (c->popup()) c->popup()->hide();
    return accepted;
}

fs::path toPath(const QString& p) { return fs::path(QFile::encodeName(p).toStdString()); }

// True when both names lead to one file (a link or a second hard link of
// the working file counts as the working file).
bool sameFile(const QString& a, const QString& b) {
    struct stat sa {
    }, sb{};
    return ::stat(QFile::encodeName(a).constData(), &sa) == 0 && ::stat(QFile::encodeName(b).constData(), &sb) == 0 &&
           sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

void warn(QWidget* owner, const char* name, const QString& caption, const QString& text) {
    QMessageBox box(QMessageBox::Warning, caption, hintText(text), QMessageBox::Ok, owner);
    box.setObjectName(QLatin1String(name));
    box.exec();
}

// The self-playing-executable code's messages, as the window's boxes; a
// save tells by the count whether a refusal has spoken already.
class FormMessages final : public recpexe::MessageSink {
public:
    explicit FormMessages(QWidget* owner) : m_owner(owner) {}
    void show(const std::string& text, const std::string& caption, recpexe::Icon icon) override {
        ++m_shown;
        showRecorderMessage(m_owner, text, caption, icon);
    }
    int shown() const { return m_shown; }

private:
    QWidget* m_owner;
    int m_shown = 0;
};

// Copies the file `src` into the replacement in pieces of 4096 bytes; a read
// error or a short write is a failure (errno in err).
bool copyInto(const QString& src, vek::safefile::Replacement& out, int& err) {
    Fd in{::open(QFile::encodeName(src).constData(), O_RDONLY | O_CLOEXEC)};
    if (in.fd < 0) {
        err = errno;
        return false;
    }
    char buf[4096];
    for (;;) {
        const ssize_t n = ::read(in.fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            err = errno;
            return false;
        }
        if (n == 0) return true;
        if (!out.write(buf, static_cast<std::size_t>(n))) {
            err = out.error();
            return false;
        }
    }
}

}  // namespace

// ---------------------------------------------------------------- commands

bool TVM0007Form::changesSavedOrDropped() {
    if (!m_modified) return true;
    // Cancel, Escape or the box closed: the command is abandoned.
    const int a = askSaveChanges(this);
    if (a == QMessageBox::No) return true;
    if (a != QMessageBox::Yes) return false;
    // A save that did not happen (refused, failed, its dialog cancelled)
    // keeps the recording: nothing is thrown away unasked.
    SaveClick();
    return !m_modified;
}

void TVM0007Form::NewClick() {
    if (m_transportState != TransportState::Stopped) return;
    if (!changesSavedOrDropped()) return;
    m_modified = false;
    armTargetChecks();
    m_currentFile.clear();
    setWindowTitle(tr("voice lumo player [New]"));
    setHint(Label4, QString());
    for (QToolButton* b : {SBPlay, SBFF, SBFB, SBDelA, SBDelB}) b->setEnabled(false);
    for (QAction* a : {MPlay, MFF, MFB, MDelA, MDelB}) a->setEnabled(false);
    transportCommand([this] {
        m_transport->btnEnableAllRec();
        m_transport->dspTimeHour(0);
        m_transport->dspTimeMin(0);
        m_transport->dspTimeSec(0);
    });
    DspSize(0);
    TrackBar->setPosition(0);
    TrackBar->setEnabled(false);
    m_voiceMode = 4;
    ChangeFMode(m_voiceMode);
    transportCommand([this] {
        m_transport->dsptTimeHour(0);
        m_transport->dsptTimeMin(0);
        m_transport->dsptTimeSec(0);
    });
    // No mode is shown until a recording starts.
    StatusBar->setPanelText(2, QString());
    setEffect(0, 80);
    // The next recording creates the working file anew.
    if (FileExistsNotDir(m_workFile)) QFile::remove(m_workFile);
}

void TVM0007Form::OpenClick() {
    if (!changesSavedOrDropped()) return;
    prepareDialog(OpenDialog, m_currentFile);
    if (!runDialog(OpenDialog)) return;
    if (m_transportState != TransportState::Stopped) return;
    const QStringList chosen = OpenDialog->selectedFiles();
    if (chosen.isEmpty()) return;
    const QString path = chosen.first();
    clearInitialFolders();
    // The current file name is set only once the file is in; every refusal
    // below leaves the previous one.
    if (!FileExistsNotDir(path)) {
        warn(this, "MsgFileNotExist", tr("Open"), tr("File does not exist!"));
        return;
    }
    if (!loadFile(path)) return;
    m_proposedName = path;
    showLoadedFile(path);
    for (QToolButton* b : {SBMail, SBMailP}) b->setEnabled(true);
    for (QAction* a : {MMailSend, MMailSendP}) a->setEnabled(true);
    // Playback does not start by itself.
    TrackBar->setFocus();
}

void TVM0007Form::SaveClick() {
    if (m_currentFile.isEmpty()) {
        SaveAsClick();
        return;
    }
    if (isSc4Name(m_currentFile)) {
        if (!CanMakeFile(m_currentFile)) return;
        if (m_modified) armTargetChecks();
        if (SaveVoiceFile(m_currentFile)) m_modified = false;
        return;
    }
    if (saveAsPExe(m_currentFile)) m_modified = false;
}

void TVM0007Form::SaveAsClick() {
    QString name;
    for (;;) {
        prepareDialog(SaveDialog, m_proposedName);
        if (!runDialog(SaveDialog)) return;
        if (m_transportState != TransportState::Stopped) return;
        const QStringList chosen = SaveDialog->selectedFiles();
        if (chosen.isEmpty()) return;
        name = chosen.first();
        // The extension of the chosen filter is appended unless the name has
        // it already: "memo.sc4" saved with the player becomes "memo.sc4.exe".
        const bool exe = SaveDialog->selectedNameFilter().contains(QLatin1String("*.exe"));
        if (exe && !hasSuffix(name, ".exe")) name += QLatin1String(".exe");
        if (!exe && !isSc4Name(name)) name += QLatin1String(".sc4");
        if (!QFileInfo::exists(name)) break;
        QMessageBox box(QMessageBox::Warning, SaveDialog->windowTitle(),
                        tr("%1 already exists.\nDo you want to replace it?").arg(QFileInfo(name).fileName()),
                        QMessageBox::Yes | QMessageBox::No, this);
        box.setObjectName(QStringLiteral("ConfirmOverwrite"));
        if (box.exec() == QMessageBox::Yes) break;
        // No: the dialog comes back for another name.
        m_proposedName = name;
    }
    if (isSc4Name(name)) {
        if (!CanMakeFile(name)) return;
        if (m_modified) armTargetChecks();
        if (SaveVoiceFile(name)) nameSavedFile(name);
    } else if (saveAsPExe(name)) {
        nameSavedFile(name);
    }
    clearInitialFolders();
}

// ---------------------------------------------------------------- open

void TVM0007Form::msgLoadFailed() {
    warn(this, "MsgLoadFailed", tr("Open"),
         tr("Can not open file!") + QLatin1Char('\r') + tr("(The recording could not be read; nothing changed.)"));
}

bool TVM0007Form::loadFile(const QString& path) {
    const std::uint8_t previousMode = m_voiceMode;
    auto loadFailed = [&] {
        m_voiceMode = previousMode;
        msgLoadFailed();
        return false;
    };
    if (isSc4Name(path)) {
        if (!CheckVoiceFile(path)) {
            MsgErrorOpen();
            return false;
        }
        return LoadVoiceFile(path) || loadFailed();
    }
    // A self-playing executable: the mode byte behind its tag, then the
    // recording and the effect behind its header. A mode byte that is none
    // of the three would drive the engine with blocks it cannot take: such a
    // file is refused like any unrecognised one.
    // The header is read at the offset of the mode's stub, so the tag must
    // also stand there: a mode byte saying SP behind the tag at the HQ
    // offset would load bytes that are not the recording.
    const auto mode = recpexe::checkPExe(toPath(path));
    bool usable = mode && *mode >= 4 && *mode <= 6;
    if (usable) {
        QFile f(path);
        usable = f.open(QIODevice::ReadOnly) && f.seek(static_cast<qint64>(recpexe::stubBytes(*mode))) &&
                 f.read(7) == QByteArrayLiteral("TARKAVF");
    }
    if (!usable) {
        MsgErrorOpen();
        return false;
    }
    m_voiceMode = *mode;
    const recpexe::LoadResult r = [&] {
        BusyCursor busy;
        return recpexe::loadPExe(toPath(path), *mode, toPath(m_workFile));
    }();
    if (!r.ok) return loadFailed();
    // The two header bytes come from the file: out-of-range values fall back
    // to what the effect dialog can show.
    setEffect(r.fx.effect <= 16 ? r.fx.effect : 0, std::min<int>(r.fx.level, 127));
    return true;
}

void TVM0007Form::showLoadedFile(const QString& path) {
    m_currentFile = path;
    const QString name = QFileInfo(path).fileName();
    setWindowTitle(tr("voice lumo player [") + name + QLatin1Char(']'));
    setHint(Label4, name);
    clearInitialFolders();
    m_modified = false;
    armTargetChecks();
    for (QToolButton* b : {SBPlay, SBFF, SBFB, SBDelA, SBDelB}) b->setEnabled(true);
    for (QAction* a : {MPlay, MFF, MFB, MDelA, MDelB}) a->setEnabled(true);
    TrackBar->setPosition(0);
    TrackBar->setEnabled(true);
    DspSize(ShowTotalTime(m_workFile, false));
    transportCommand([this] {
        m_transport->dspTimeSec(0);
        m_transport->dspTimeMin(0);
        m_transport->dspTimeHour(0);
    });
    ChangeFMode(m_voiceMode);
    // Further recordings keep the file's mode: only its record button.
    RecBtnRefresh();
}

void TVM0007Form::openVoiceFileAndPlay(const QString& path, bool selfPlayingToo) {
    if (selfPlayingToo) {
        if (!loadFile(path)) return;
    } else {
        // Recognised by content whatever the name; a self-playing executable
        // is not a voice file here.
        const std::uint8_t previousMode = m_voiceMode;
        if (!CheckVoiceFile(path)) {
            MsgErrorOpen();
            return;
        }
        if (!LoadVoiceFile(path)) {
            m_voiceMode = previousMode;
            msgLoadFailed();
            return;
        }
    }
    showLoadedFile(path);
    PlayClick();
}

bool TVM0007Form::LoadVoiceFile(const QString& source) {
    // An SC4 file brings no effect: "OFF" at level 80, once it is in.
    auto loaded = [this] {
        setEffect(0, 80);
        return true;
    };
    if (!FileExistsNotDir(source)) {
        m_voiceMode = 4;
        QFile w(m_workFile);
        return w.open(QIODevice::WriteOnly | QIODevice::Truncate) && loaded();
    }
    // A link to the working file is the recording already.
    if (sameFile(source, m_workFile)) return loaded();
    BusyCursor busy;
    vek::safefile::Replacement out;
    if (!out.begin(QFile::encodeName(m_workFile).toStdString())) return false;
    int err = 0;
    if (m_voiceMode == 4) {
        // SP files are the working form already.
        if (!copyInto(source, out, err)) return false;
    } else if (SC4ToADPCM(QFile::encodeName(source).constData(), out.tempPath().c_str()) == 0) {
        return false;
    }
    return out.commit() && loaded();
}

// ---------------------------------------------------------------- save

bool TVM0007Form::writeWorkingAsSc4(const QString& target, int& err) {
    err = 0;
    if (sameFile(target, m_workFile)) {
        err = kSameFile;
        return false;
    }
    vek::safefile::Replacement out;
    // A target that is a link stays a link; the file it names is replaced.
    if (!out.begin(QFile::encodeName(target).toStdString(), vek::safefile::LinkPolicy::Follow)) {
        err = out.error();
        return false;
    }
    // A new recording with nothing recorded has no working file: the target
    // is made empty.
    if (FileExistsNotDir(m_workFile)) {
        if (m_voiceMode == 4) {
            if (!copyInto(m_workFile, out, err)) return false;
        } else {
            // HQ and SHQ frames are wrapped into the container by the codec
            // library, written into the new file by name; nonzero (all bits)
            // selects the SHQ group header.
            errno = 0;
            if (ADPCMToSC4(QFile::encodeName(m_workFile).constData(), out.tempPath().c_str(),
                           m_voiceMode == 6 ? -1 : 0) == 0) {
                err = errno ? errno : EIO;
                return false;
            }
        }
    }
    if (!out.commit()) {
        err = out.error();
        return false;
    }
    return true;
}

bool TVM0007Form::SaveVoiceFile(const QString& target) {
    int err = 0;
    bool ok;
    {
        BusyCursor busy;
        ok = writeWorkingAsSc4(target, err);
    }
    if (!ok) showSaveFailed(err);
    return ok;
}

bool TVM0007Form::saveAsPExe(const QString& target) {
    if (!CanMakeFile(target)) return false;
    FormMessages messages(this);
    int err = 0;
    const recpexe::EffectSettings fx{static_cast<std::uint8_t>(EffectIndex() & 0xFF),
                                     static_cast<std::uint8_t>(EffectSliderPosition() & 0xFF)};
    bool ok;
    {
        BusyCursor busy;
        ok = recpexe::savePExe(
            [this, &err](const fs::path& p) {
                return writeWorkingAsSc4(QFile::decodeName(QByteArray::fromStdString(p.string())), err);
            },
            toPath(target), m_voiceMode, fx, toPath(m_programDir), toPath(m_dataDir), messages);
        if (!ok && err == 0) err = errno;
    }
    // A refusal has shown its own message (the stub is missing); anything
    // else is a write that failed.
    if (!ok && messages.shown() == 0) showSaveFailed(err);
    return ok;
}

void TVM0007Form::showSaveFailed(int err) {
    QString text;
    if (err == kSameFile) {
        text = tr("Can not save file!") + QLatin1Char('\r') + tr("(This is the recorder's own working file.)");
    } else {
        const QString why = err > 0 ? QString::fromLocal8Bit(std::strerror(err)) : tr("Write error");
        text = tr("Can not save file! (%1)").arg(why) + QLatin1Char('\r') +
               tr("(Nothing was saved; the file is as it was.)");
    }
    warn(this, "MsgSaveFailed", tr("voice lumo player"), text);
}

void TVM0007Form::nameSavedFile(const QString& name) {
    const QString shortName = QFileInfo(name).fileName();
    setWindowTitle(tr("voice lumo player [") + shortName + QLatin1Char(']'));
    setHint(Label4, shortName);
    m_currentFile = name;
    m_proposedName = name;
    m_modified = false;
}

// ---------------------------------------------------------------- checks

bool TVM0007Form::CanMakeFile(const QString& name) {
    if (!QFileInfo::exists(name)) return true;
    if (CanOpenFile(name)) return true;
    warn(this, "MsgCanNotMakeFile", tr("voice lumo player"),
         tr("Can not make file. (ReadOnly file?)") + QLatin1Char('\r') +
             tr("(Send mail or close your mail window because this file is linked.)"));
    return false;
}

// Opening for reading and writing is the whole test where files are locked
// by opening them (the mail program that has a file attached keeps it open).
// Here an open never fails for that reason, so a file counts as held when
// another open file has a lock on it: an flock() lock (taken by desktop
// programs and file managers) shows as a refused non-blocking exclusive
// flock; a record lock of another process, or an open-file-description lock
// of anyone, shows in a write-lock test over the whole file. F_OFD_GETLK
// also sees OFD locks held through other descriptions of this process;
// where the kernel lacks it, F_GETLK sees other processes' locks. A file
// that is merely open elsewhere for reading is not held.
bool TVM0007Form::CanOpenFile(const QString& path) {
    Fd f{::open(QFile::encodeName(path).constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC | O_NOCTTY)};
    if (f.fd < 0) return false;
    struct stat st {};
    if (::fstat(f.fd, &st) != 0 || !S_ISREG(st.st_mode)) return false;
    if (::flock(f.fd, LOCK_EX | LOCK_NB) != 0) return false;
    ::flock(f.fd, LOCK_UN);
    struct flock fl {};
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_SET;
    int r = -1;
#ifdef F_OFD_GETLK
    r = ::fcntl(f.fd, F_OFD_GETLK, &fl);
    if (r != 0 && errno == EINVAL) {
        fl = {};
        fl.l_type = F_WRLCK;
        fl.l_whence = SEEK_SET;
        r = ::fcntl(f.fd, F_GETLK, &fl);
    }
#else
    r = ::fcntl(f.fd, F_GETLK, &fl);
#endif
    return !(r == 0 && fl.l_type != F_UNLCK);
}

// ---------------------------------------------------------------- dialogs

void TVM0007Form::prepareDialog(QFileDialog* d, const QString& fileName) {
    if (m_initialFolders) {
        d->setDirectory(m_dataDir);
    } else if (!fileName.isEmpty()) {
        // The dialog opens where that file lies, with its name.
        d->selectFile(fileName);
    } else if (!m_currentFile.isEmpty()) {
        d->setDirectory(QFileInfo(m_currentFile).absolutePath());
    }
}

void TVM0007Form::clearInitialFolders() { m_initialFolders = false; }

}  // namespace vekvmail
