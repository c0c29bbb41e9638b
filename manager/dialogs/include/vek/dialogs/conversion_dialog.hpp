// The manager's two conversion dialogs: a gauge, a two-line status text and
// Cancel; the job starts on a 100 ms timer after the dialog is shown, so the
// dialog is painted first, and the job closes the dialog when it ends.
//
// The main window owns the job state and implements MainWindowServices; to
// run a conversion it fills state.SelectedNames (and state.ConvMode for
// WAV -> SC4), sets state.ConvertedCount to 0, calls clearProgress() and
// exec(), then reads state.ConvertedCount.
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

#include <functional>

#include "vek/jobs/conversion.hpp"

class QFrame;
class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

namespace vek::dialogs {

class ConversionDialog : public QDialog, public vek::jobs::JobUi {
    Q_OBJECT
public:
    using Job = std::function<void(vek::jobs::JobContext&)>;

    ConversionDialog(vek::jobs::ConversionState& state, vek::jobs::MainWindowServices& main, Job job,
                     QWidget* parent = nullptr);

    // The codec and WAV libraries the job uses (the real ones by default).
    void setLibraries(vek::jobs::CodecLibrary& codecs, vek::jobs::WaveLibrary& wave);
    // Replaces the job (tests run scripted jobs).
    void setJob(Job job) { m_job = std::move(job); }
    // Empties the status text and sets the gauge to 0.
    void clearProgress();

    QProgressBar* gauge() const { return m_gauge; }
    QLabel* statusText() const { return m_statusText; }
    QPushButton* cancelButton() const { return m_cancelBtn; }
    QTimer* timerDelay() const { return m_timerDelay; }

    // JobUi
    void message(const std::string& text, const std::string& caption, vek::jobs::MessageIcon icon) override;
    bool askYesNo(const std::string& text, const std::string& caption) override;
    void setStatus(const std::string& text) override;
    void setGauge(int percent) override;
    void processMessages() override;
    void setBusyCursor(bool busy) override;

public slots:
    // There is no close box; Escape acts as Cancel. Only the job closes the
    // dialog.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void cancelBtnClick();
    void timerDelayTimer();

    vek::jobs::ConversionState& m_state;
    vek::jobs::MainWindowServices& m_main;
    vek::jobs::CodecLibrary* m_codecs;
    vek::jobs::WaveLibrary* m_wave;
    Job m_job;
    bool m_running = false;
    bool m_armed = false;  // this showing's job is armed, running or done

    QFrame* m_bevel = nullptr;
    QFrame* m_panel = nullptr;
    QProgressBar* m_gauge = nullptr;
    QLabel* m_statusText = nullptr;
    QPushButton* m_cancelBtn = nullptr;
    QTimer* m_timerDelay = nullptr;
};

// SC4 files -> WAV files.
class TWavDlg final : public ConversionDialog {
    Q_OBJECT
public:
    TWavDlg(vek::jobs::ConversionState& state, vek::jobs::MainWindowServices& main, QWidget* parent = nullptr);
};

// WAV files -> SC4 files in state.ConvMode.
class TCvfDlg final : public ConversionDialog {
    Q_OBJECT
public:
    TCvfDlg(vek::jobs::ConversionState& state, vek::jobs::MainWindowServices& main, QWidget* parent = nullptr);
};

}  // namespace vek::dialogs
