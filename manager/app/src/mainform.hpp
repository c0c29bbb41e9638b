// TMainForm: the manager's main window. A folder tree and a file list under
// a toolbar, the conversion commands, the shell commands, the filter and a
// three-panel status bar (object counts, sizes and free space, the mode and
// length of the SC4 file selected last).
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "vek/shellwidgets/shellwidgets.hpp"

#include <QLabel>
#include <QMainWindow>
#include <QStringList>

#include <cstdint>
#include <functional>

class QAction;
class QComboBox;
class QSplitter;
class QTimer;
class QToolButton;
class QWidget;

namespace vekshell {

class TAboutBox;

enum class MsgIcon { Warning, Error, Information };

class TMainForm : public QMainWindow {
    Q_OBJECT
public:
    explicit TMainForm(QWidget* parent = nullptr);
    ~TMainForm() override;

    // ---- conversion job state shared with the dialogs
    QStringList SelectedNames;
    std::int32_t ConvertedCount = 0;
    std::uint8_t ConvMode = 4;
    QString ProgramDir;

    // ---- services the conversion jobs call
    QString listFolderPath() const;              // ends in "/"
    void showWrittenFile(const QString& path);   // shows and selects it
    void ForceFGWindow();

    // ---- status bar
    void GetStatistics();
    void GetMode();
    std::uint32_t GetTotalSize();
    std::uint32_t GetSelectedSize();
    std::uint32_t GetFreeSpaceKB() const;
    QString panelText(int i) const;

    // ---- commands
    void mnuWaveClick();
    void mnuG729Click(QObject* sender);
    void PropertiesButtonClick();
    void ParentButtonClick();
    void RefreshButtonClick();
    void DeleteButtonClick();
    void CutButtonClick();
    void CopyButtonClick();
    void PasteButtonClick();
    void btnNewClick();
    void SpeedButton1Click(int tag);
    void SpeedButton5Click();
    void About1Click();
    void mnuFindClick();
    void OpenFindDialog(const QString& folder);

    // ---- filter
    void cmbMaskChange();
    void cmbMaskExit();
    void cmbMaskKeyUp(int key);
    QString lastFilterText() const { return lastMaskText_; }
    int lastFilterIndex() const { return lastMaskIndex_; }

    // ---- layout
    void FormResize();
    // Shows a folder in the combo, the tree and the list.
    void goTo(const QString& folder);

    // ---- settings
    QString settingsPath() const { return iniPath_; }
    void setSettingsPath(const QString& p) { iniPath_ = p; }
    void writeSettings();

    // ---- hooks (tests and the dialogs)
    // Shows a message box owned by the window; tests record instead.
    using MessageFn = std::function<void(const QString& text, const QString& caption, MsgIcon icon)>;
    void setMessageHandler(MessageFn fn) { message_ = std::move(fn); }
    void showMessage(const QString& text, MsgIcon icon);
    // Runs a conversion dialog modally: toWav true for SC4 to WAV.
    using DialogFn = std::function<void(TMainForm& form, bool toWav)>;
    void setConversionDialog(DialogFn fn) { dialog_ = std::move(fn); }
    // The pauses that let the desktop notice new files (2500 ms).
    void setDesktopWaitMs(int ms) { desktopWaitMs_ = ms; }
    void setFindDialogHandler(std::function<void(const QString&)> fn) { find_ = std::move(fn); }
    int findDialogsOpened() const { return findCount_; }

    // ---- controls (designed names)
    QWidget* Panel1;
    vek::shellwidgets::ShellTree* ShellTree;
    QSplitter* Splitter1;
    vek::shellwidgets::ShellListView* ShellListView;
    vek::shellwidgets::ShellCombo* ShellCombo;
    QToolButton *SpeedButton5, *ParentButton, *PropertiesButton, *RefreshButton, *DeleteButton, *btnNew,
        *CutButton, *CopyButton, *PasteButton, *btnWave, *btnG729, *btnADPCM8, *btnADPCM11;
    QToolButton* SpeedButton[4];
    QLabel* StaticText3;
    QComboBox* cmbMask;
    QLabel* StatusPanel[3];
    QTimer* tmrRefresh;
    QAction *mnuWave, *mnuG729, *mnuADPCM8, *mnuADPCM11, *Exit1, *mnuFind, *About1;
    TAboutBox* AboutBox = nullptr;

    QStringList selectionMemory() const { return memory_; }
    int startupCounter() const { return startupCounter_; }

protected:
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    bool eventFilter(QObject* o, QEvent* e) override;

private:
    void FormCreate();
    void FormShow();
    void readSettings();
    void buildToolbar();
    void buildMenu();
    void ShellListViewPopulated();
    void ShellListViewKeyUp(int key, Qt::KeyboardModifiers mods);
    void ShellTreeKeyUp(int key, Qt::KeyboardModifiers mods);
    void ShellComboKeyUp(int key);
    void tmrRefreshTimer();
    void applyFilter(const QString& text, int index);
    void runConversion(bool toWav, QObject* sender);
    void goToStartFolder(const QString& stored);

    QStringList memory_;
    QStringList written_;  // names the running conversion has written
    QString lastMaskText_;
    int lastMaskIndex_ = -1;
    std::int16_t startupCounter_ = 0;
    bool refreshing_ = false;
    bool shown_ = false;
    bool settingsWritten_ = false;
    QString iniPath_;
    MessageFn message_;
    DialogFn dialog_;
    int desktopWaitMs_ = 2500;
    std::function<void(const QString&)> find_;
    int findCount_ = 0;
    vek::shellwidgets::ShellLink* link_ = nullptr;
};

}  // namespace vekshell
