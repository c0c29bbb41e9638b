// TVM0007Form: the recorder's main window. A fixed-size device face: the
// tool panel, the strip with the drag handles, the transport panel, the
// position bar, the two clocks of 5x7 dot cells, the level meter and the
// three-panel status bar, under the menu bar.
//
// The commands of the transport, the file commands, drag and drop, mail and
// the options live in this window; each has its handler here, shared by its
// menu item and its button. Handlers whose work belongs to those parts are
// still empty slots, marked as such below.
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "framelogic.hpp"
#include "maildlg.hpp"

#include <QMainWindow>
#include <QPoint>
#include <QPointer>
#include <QSize>
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class QAction;
class QDragEnterEvent;
class QDropEvent;
class QDialog;
class QFileDialog;
class QFrame;
class QLabel;
class QMenu;
class QToolButton;

class TAMHotKeys;
class TDisplay;
class Tdbmeter;
class TMousebar;

namespace vek::mailreg {
class Store;
}  // namespace vek::mailreg
namespace vek::recpexe {
enum class Icon;
enum class OutgoingKind;
}  // namespace vek::recpexe
namespace vek::crp2 {
class AudioEngine;
class QtAudioEngine;
class QtMessageTarget;
}  // namespace vek::crp2
namespace vek::transport {
class StdFileSystem;
class Transport;
}  // namespace vek::transport

namespace vekvmail {

class TDragHandle;
class TFormTransportView;
class TVOPDlg;
class TStatusBar;

class TVM0007Form : public QMainWindow {
    Q_OBJECT
public:
    // Where the window finds its files and how large the screen is; the
    // defaults are the real program folder and the window's screen.
    struct Environment {
        QString programDir;                  // ends in '/'; empty: the executable's folder
        std::function<QSize()> screenSize;   // empty: the screen the window is on
        QString commandLineFile;             // the first command-line parameter
        // The audio engine; empty: the sound server's, through Qt Multimedia.
        std::function<std::unique_ptr<vek::crp2::AudioEngine>()> audioEngine;
    };

    explicit TVM0007Form(const Environment& env = {}, QWidget* parent = nullptr);
    ~TVM0007Form() override;

    // The client area below the menu bar.
    static constexpr int kClientWidth = 272;
    static constexpr int kClientHeight = 206;

    // The dialogs made after the window (voice effect, mail program, about box).
    void setDialogs(QDialog* voiceDlg, TMailDlg* mailDlg, QDialog* aboutBox);
    TMailDlg* mailDialog() const { return m_mailDlg; }
    // options: the voice-effect dialog (a TVOPDlg) when one was handed over.
    TVOPDlg* voiceDialog() const;

    // ---- controls, by their designed names
    QFrame* Panel1 = nullptr;
    QToolButton *SBNew = nullptr, *SBOpen = nullptr, *SBSave = nullptr, *SBDelB = nullptr, *SBDelA = nullptr,
                *SBVoice = nullptr, *SBVol = nullptr, *SBMail = nullptr, *SBMailP = nullptr;
    QFrame* Panel4 = nullptr;
    QLabel *Label4 = nullptr, *Label2 = nullptr;
    TDragHandle *imgDDC = nullptr, *imgDDE = nullptr;
    QFrame* Panel5 = nullptr;
    QToolButton *SBFB = nullptr, *SBFF = nullptr, *SBPlay = nullptr, *SBStop = nullptr, *SBRec = nullptr,
                *SBRec2 = nullptr, *SBRecP = nullptr;
    TMousebar* TrackBar = nullptr;
    QLabel *Label1 = nullptr, *Label3 = nullptr;   // "Time (H:M:S)", "Total Time (H:M:S)"
    // Running time H H : M M : S S and total time likewise; the colon cells
    // of the running row are Display9 and Display7, of the total row
    // Display10 and Display8.
    TDisplay *dspT6 = nullptr, *dspT5 = nullptr, *Display9 = nullptr, *dspT4 = nullptr,
                              *dspT3 = nullptr, *Display7 = nullptr, *dspT2 = nullptr, *dspT1 = nullptr;
    TDisplay *dsptT6 = nullptr, *dsptT5 = nullptr, *Display10 = nullptr, *dsptT4 = nullptr,
                              *dsptT3 = nullptr, *Display8 = nullptr, *dsptT2 = nullptr, *dsptT1 = nullptr;
    Tdbmeter* DBMeter = nullptr;
    TStatusBar* StatusBar = nullptr;
    QFileDialog *OpenDialog = nullptr, *SaveDialog = nullptr;

    QMenu *File1 = nullptr, *Edit1 = nullptr, *Control1 = nullptr, *Option1 = nullptr, *Send1 = nullptr,
          *Help1 = nullptr;
    QAction *MNew = nullptr, *MOpen = nullptr, *MSave = nullptr, *MSaveAs = nullptr, *MExit = nullptr;
    QAction *MDelB = nullptr, *MDelA = nullptr;
    QAction *MPlay = nullptr, *MFB = nullptr, *MFF = nullptr, *MStop = nullptr, *MRec = nullptr, *MRec2 = nullptr,
            *MRecP = nullptr;
    QAction *V1 = nullptr, *MVoice = nullptr, *mnuMailProg = nullptr, *MTop = nullptr;
    QAction *MMailSend = nullptr, *MMailSendP = nullptr;
    QAction *A1 = nullptr, *mnuUserGuideE = nullptr, *mnuUserGuideK = nullptr;

    // ---- paths, fixed at creation
    const QString& IniPath() const { return m_iniPath; }
    const QString& DataDir() const { return m_dataDir; }
    const QString& WorkFile() const { return m_workFile; }
    const QString& TailFile() const { return m_tailFile; }

    // ---- state shared with the transport and the file commands
    TransportState transportState() const { return m_transportState; }
    // Also sets the application title of the state.
    void setTransportState(TransportState s);
    std::uint8_t VoiceMode() const { return m_voiceMode; }
    // The recording and playback logic behind the transport commands.
    vek::transport::Transport& transport() { return *m_transport; }
    // The voice effect chosen for playback (effect 0..16, level slider
    // 0..127), held by the voice-effect dialog once it is handed over;
    // setEffect moves the dialog's controls as well.
    int EffectIndex() const;
    int EffectSliderPosition() const;
    void setEffect(int index, int sliderPosition);
    bool Modified() const { return m_modified; }
    void setModified(bool m) { m_modified = m; }
    // The current file: empty for a recording never saved or opened.
    QString currentFileName() const { return m_currentFile; }
    bool firstShowDone() const { return m_shown; }

    // ---- start-up and close
    void FormCreate();
    void FormShow();
    // `canClose` false keeps the window open.
    void FormCloseQuery(bool& canClose);
    // The file hand-over from a second instance (the path, zero-terminated).
    // Always answers 1; the work is done once the sender has its answer.
    qint64 WMCopyData(const QByteArray& data);
    // What the hand-over does after its answer (public for the tests).
    void openHandedOverFile(const QString& path);

    // ---- commands (one handler per button and menu item)
    void ExitClick();
    void mnuMailProgClick();
    // Work of later parts, still empty slots:
    void NewClick();
    void OpenClick();
    void SaveClick();
    void SaveAsClick();
    void SBDelBClick();
    void SBDelAClick();
    void PlayClick();
    void SBFBClick();
    void SBFFClick();
    void StopClick();
    void RecClick(QObject* sender);
    void mnuVolClick();
    void VoiceClick();
    void MTopClick();
    void MailClick(QObject* sender);
    void A1Click();
    void mnuUserGuideEClick();
    void mnuUserGuideKClick();
    void TrackBarChange();
    void TrackBarMouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, QPoint pos);
    void imgDDCMouseDown(QObject* sender, Qt::MouseButton button, Qt::KeyboardModifiers shift, QPoint pos);
    void imgDDCMouseMove(QObject* sender, Qt::MouseButtons buttons, Qt::KeyboardModifiers shift, QPoint pos);
    void StopR();
    void DisplayTime(int tcount);
    std::int32_t ShowTotalTime(const QString& fileName, bool alsoRunning);
    void DspSize(std::int32_t bytes);
    void RecBtnRefresh();
    bool SelectMailClient(int index);

    // ---- options: the global hot keys Ctrl+Shift+F2..F5
    TAMHotKeys* MHotKeys = nullptr;
    void RegisterHK();
    void HKEnabled(bool value);
    void MHotKeysHotKeys(QObject* sender, quint16 hotKeyIndex);
    // ---- mp3: "Send Voice Mail (&MP3)..." in "&Send" (vm0007form_mp3.cpp)
    QAction* MMailSendMp3 = nullptr;  // enabled and disabled with MMailSend
    void MailMp3Click();
    // The target-check flag of the outgoing MP3 file of a saved recording,
    // armed and cleared as the executable's.
    bool mp3TargetCheck() const { return m_mp3TargetCheck; }

    // ---- voice files
    bool CheckVoiceFile(const QString& name);
    // False (the working file as it was) when the recording could not be
    // read into it; the message is the caller's.
    bool LoadVoiceFile(const QString& source);
    void MsgErrorOpen();
    void ChangeFMode(std::uint8_t mode);

    // ---- files (vm0007form_files.cpp)
    // Writes the working file as the SC4 voice file `target` in the current
    // mode; false, with a message and the target as it was, when it could
    // not be written completely.
    bool SaveVoiceFile(const QString& target);
    // May `name` be written? Shows the "Can not make file" warning when not.
    bool CanMakeFile(const QString& name);
    // The file can be opened for reading and writing now and nobody holds a
    // lock on it.
    static bool CanOpenFile(const QString& path);
    // Whether an existing outgoing executable is tested before it is
    // overwritten (set by New, Open, a drop-in and saves of changed
    // recordings, together with the MP3 file's flag).
    bool targetCheck() const { return m_targetCheck; }
    void setTargetCheck(bool on) { m_targetCheck = on; }
    // The name the Save As dialog proposes.
    QString proposedFileName() const { return m_proposedName; }
    // ---- dragmail: drag-out, files dropped onto the window, voice mail
    // What drag-out and mail reach outside the window. An empty function
    // stands for the real service (vekimail on the desktop, a Qt drag).
    struct DragMailServices {
        std::function<int(const std::string& program, const std::string& params)> shellOpen;  // ShellExecute
        std::function<int(const std::string& commandLine)> startCommand;                     // WinExec
        std::function<std::int32_t(const std::string& path, const std::string& text)> sendIMail;
        std::function<void(QWidget* handle, const QString& path)> fileDrag;  // the drag of JDD_DragDrop
    };
    void setDragMailServices(DragMailServices s) { m_dragMail = std::move(s); }
    // The files of one drop (full paths), as WM_DROPFILES hands them over.
    void WMDropFiles(const QStringList& files);
    void JDD_DragDrop(QWidget* source, const QString& first, const QString& second);
    void DropSource1drop(QObject* sender, bool isCopyNotMove, bool& continueDrop);
    bool FindMailClient(std::string& command, int index, bool wantCommand);
    // The outgoing file of that kind; empty when refused. Both target-check
    // flags follow the preparation.
    QString prepareOutgoingFile(vek::recpexe::OutgoingKind kind);
    // ---- speed: transcription playback (vm0007form_speed.cpp)
    // "&Control": slower, faster, normal speed; "&Option": rewind on pause.
    QAction *MSlower = nullptr, *MFaster = nullptr, *MNormalSpeed = nullptr;
    QMenu* mnuPauseRewind = nullptr;
    // The speed in status panel 0, shown while it is not 1.0.
    QLabel* lblSpeed = nullptr;
    // The three speed commands (menu items, and global hot keys once joined).
    void MSlowerClick();
    void MFasterClick();
    void MNormalSpeedClick();
    // Rewind on pause of 0..5 seconds (0: off), kept in the settings file.
    void PauseRewindClick(int seconds);
    int PlaySpeedTenths() const { return m_playSpeedTenths; }
    int PauseRewindSeconds() const { return m_pauseRewind; }

signals:
    // The first show has run (the tests wait for it).
    void shownOnce();

protected:
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dropEvent(QDropEvent* e) override;

private:
    void buildMenus();
    void buildPanels(QWidget* client);
    void buildClocks(QWidget* client);
    QToolButton* speedButton(QWidget* parent, const char* name, const char* icon, const QString& hint, int x, int y);
    // Loads a file handed to the window and plays it from the start. The
    // command line and a second instance hand over SC4 voice files only; a
    // drop onto the window also takes a self-playing executable.
    void openVoiceFileAndPlay(const QString& path, bool selfPlayingToo = false);
    QSize screenSize() const;
    void placeFrame(QPoint target, int attempt);

    // ---- files (vm0007form_files.cpp)
    // Check and load of an SC4 file or a self-playing executable (chosen by
    // the extension); false after its message, with the mode as it was.
    bool loadFile(const QString& path);
    // A recording that was recognised but could not be read in.
    void msgLoadFailed();
    // Names, caption, flags and controls once `path` is in the working file.
    void showLoadedFile(const QString& path);
    // The working file as SC4 into `target`, silently; errno in `err`.
    bool writeWorkingAsSc4(const QString& target, int& err);
    bool saveAsPExe(const QString& target);
    void showSaveFailed(int err);
    void nameSavedFile(const QString& name);
    void clearInitialFolders();
    void prepareDialog(QFileDialog* d, const QString& fileName);
    // New and Open: "Save changes to file?" when modified; false when the
    // command is abandoned (cancelled, or a save that did not happen).
    bool changesSavedOrDropped();
    // Another file, or new contents of this one, is what goes out next: both
    // outgoing files are tested before they are overwritten again.
    void armTargetChecks() { m_targetCheck = m_mp3TargetCheck = true; }
    bool m_targetCheck = true;
    bool m_initialFolders = true;  // the dialogs still start in the data folder
    QString m_proposedName;

    Environment m_env;
    QString m_programDir, m_iniPath, m_dataDir, m_workFile, m_tailFile;
    QString m_currentFile;
    TransportState m_transportState = TransportState::Stopped;
    std::uint8_t m_voiceMode = 4;
    bool m_modified = false;
    bool m_shown = false;
    QPointer<QDialog> m_voiceDlg, m_aboutBox;
    QPointer<TMailDlg> m_mailDlg;
    int m_effectIndex = 0, m_effectSlider = 80;

    // The transport: engine, its messages, files and the controls it drives.
    // The engine goes last, after the transport has closed it.
    std::unique_ptr<vek::crp2::AudioEngine> m_engine;
    std::unique_ptr<vek::crp2::QtMessageTarget> m_engineTarget;
    std::unique_ptr<vek::transport::StdFileSystem> m_files;
    std::unique_ptr<TFormTransportView> m_transportView;
    std::unique_ptr<vek::transport::Transport> m_transport;
    // Runs a transport command with the window's mode handed over and back.
    void transportCommand(const std::function<void()>& command);

    // ---- options
    // A new hot-key component owned by the window, reporting to MHotKeysHotKeys.
    void createHotKeys();
    // The stay-on-top switch once MTop's check mark has been inverted.
    void applyStayOnTop();
    // ---- mp3
    bool m_mp3TargetCheck = true;
    // ---- dragmail
    // The window's services to the portable outgoing-file and send logic,
    // shared by drag-out and all three Send commands.
    class OutgoingMailHost;
    void sendMail(vek::recpexe::OutgoingKind kind);
    // The mail-client store, written with the defaults when missing: only
    // once its keys are needed (never for Netscape, never for a user who
    // neither sends nor chooses a client).
    static vek::mailreg::Store mailClients();
    DragMailServices m_dragMail;
    QPoint m_dragStart;        // mouse-down on a drag handle, handle coordinates
    // ---- speed
    void buildSpeedControls();
    void loadSpeedSettings();
    void setPlaySpeed(int tenths, bool save);
    int m_playSpeedTenths = 10;
    int m_pauseRewind = 0;
};

// A hint as a tool tip: a carriage return starts the second line.
QString hintText(const QString& hint);
// A message of the self-playing-executable, outgoing-file and mail logic as
// a box owned by `owner`; under the hourglass the box gets the arrow.
void showRecorderMessage(QWidget* owner, const std::string& text, const std::string& caption, vek::recpexe::Icon icon);
// Stores a hint and shows it as the tool tip.
void setHint(QWidget* w, const QString& hint);
// "Save changes to file?" (Yes, No, Cancel): the QMessageBox button clicked.
int askSaveChanges(QWidget* owner);

}  // namespace vekvmail
