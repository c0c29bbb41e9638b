// SPDX-License-Identifier: GPL-3.0-or-later
#include "vek/dialogs/conversion_dialog.hpp"

#include <QApplication>
#include <QCoreApplication>
#include <QFrame>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QTimer>

namespace vek::dialogs {

namespace {

// Two-line texts of the jobs separate their lines with a single '\r'.
QString boxText(const std::string& text) {
    QString t = QString::fromStdString(text);
    t.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return t;
}

}  // namespace

ConversionDialog::ConversionDialog(vek::jobs::ConversionState& state, vek::jobs::MainWindowServices& main, Job job,
                                   QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      m_state(state),
      m_main(main),
      m_codecs(&vek::jobs::defaultCodecs()),
      m_wave(&vek::jobs::defaultWave()),
      m_job(std::move(job)) {
    // FormCreate: dialog font, then the icon-title font for the status text
    // (on Windows Qt gives item views the icon-title font).
    setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
    setFixedSize(375, 144);
    setModal(true);

    m_bevel = new QFrame(this);
    m_bevel->setObjectName(QStringLiteral("Bevel1"));
    m_bevel->setFrameShape(QFrame::Box);
    m_bevel->setFrameShadow(QFrame::Sunken);
    m_bevel->setGeometry(8, 8, 359, 96);

    m_statusText = new QLabel(this);
    m_statusText->setObjectName(QStringLiteral("StaticText1"));
    m_statusText->setGeometry(15, 14, 345, 41);
    m_statusText->setWordWrap(true);
    m_statusText->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    const QFont iconTitle = QApplication::font("QAbstractItemView");
    QFont statusFont = font();
    statusFont.setFamily(iconTitle.family());
    if (iconTitle.pointSizeF() > 0) statusFont.setPointSizeF(iconTitle.pointSizeF());
    m_statusText->setFont(statusFont);

    m_panel = new QFrame(this);
    m_panel->setObjectName(QStringLiteral("Panel1"));
    m_panel->setFrameShape(QFrame::Panel);
    m_panel->setFrameShadow(QFrame::Sunken);
    m_panel->setGeometry(15, 66, 345, 24);

    m_gauge = new QProgressBar(m_panel);
    m_gauge->setObjectName(QStringLiteral("Gauge"));
    m_gauge->setGeometry(2, 2, 341, 20);
    m_gauge->setRange(0, 100);
    m_gauge->setValue(0);
    m_gauge->setTextVisible(false);
    m_gauge->setStyleSheet(QStringLiteral("QProgressBar { background: palette(button); border: none; }"
                                          "QProgressBar::chunk { background: navy; }"));

    m_cancelBtn = new QPushButton(tr("Cancel"), this);
    m_cancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    m_cancelBtn->setGeometry(150, 112, 75, 25);
    connect(m_cancelBtn, &QPushButton::clicked, this, &ConversionDialog::cancelBtnClick);

    m_timerDelay = new QTimer(this);
    m_timerDelay->setObjectName(QStringLiteral("TimerDelay"));
    m_timerDelay->setInterval(100);
    m_timerDelay->setSingleShot(false);
    connect(m_timerDelay, &QTimer::timeout, this, &ConversionDialog::timerDelayTimer);
}

void ConversionDialog::setLibraries(vek::jobs::CodecLibrary& codecs, vek::jobs::WaveLibrary& wave) {
    m_codecs = &codecs;
    m_wave = &wave;
}

void ConversionDialog::clearProgress() {
    m_statusText->clear();
    m_gauge->setValue(0);
}

void ConversionDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // One job per showing. The show event the window system sends when the
    // dialog comes back from being minimised is no new showing: the job is
    // armed or running already, and a Cancel given meanwhile stands.
    if (event->spontaneous() || m_armed) return;
    m_armed = true;
    if (const QScreen* screen = this->screen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    ContinueFlag = true;
    m_timerDelay->start();
}

void ConversionDialog::hideEvent(QHideEvent* event) {
    QDialog::hideEvent(event);
    // Minimising hides the dialog too (spontaneously); only the job's own
    // close ends the showing.
    if (event->spontaneous()) return;
    m_armed = false;
    m_timerDelay->stop();
}

void ConversionDialog::reject() { ContinueFlag = false; }

void ConversionDialog::cancelBtnClick() { ContinueFlag = false; }

void ConversionDialog::timerDelayTimer() {
    m_timerDelay->stop();  // once per showing
    if (m_running) return;
    m_running = true;
    vek::jobs::JobContext ctx{m_state, m_main, *this, *m_codecs, *m_wave};
    if (m_job) m_job(ctx);
    m_running = false;
    done(QDialog::Accepted);
}

void ConversionDialog::message(const std::string& text, const std::string& caption, vek::jobs::MessageIcon icon) {
    QMessageBox box(icon == vek::jobs::MessageIcon::Error ? QMessageBox::Critical : QMessageBox::Warning,
                    QString::fromStdString(caption), boxText(text), QMessageBox::Ok, this);
    box.exec();
}

bool ConversionDialog::askYesNo(const std::string& text, const std::string& caption) {
    QMessageBox box(QMessageBox::Question, QString::fromStdString(caption), boxText(text),
                    QMessageBox::Yes | QMessageBox::No, this);
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

void ConversionDialog::setStatus(const std::string& text) {
    m_statusText->setText(QString::fromStdString(text));
    m_statusText->repaint();
}

void ConversionDialog::setGauge(int percent) {
    m_gauge->setValue(percent);
    m_gauge->repaint();
}

void ConversionDialog::processMessages() { QCoreApplication::processEvents(); }

void ConversionDialog::setBusyCursor(bool busy) {
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

TWavDlg::TWavDlg(vek::jobs::ConversionState& state, vek::jobs::MainWindowServices& main, QWidget* parent)
    : ConversionDialog(state, main, &vek::jobs::runSc4ToWavJob, parent) {
    setObjectName(QStringLiteral("WavDlg"));
    setWindowTitle(tr("Convert to WAV file"));
}

TCvfDlg::TCvfDlg(vek::jobs::ConversionState& state, vek::jobs::MainWindowServices& main, QWidget* parent)
    : ConversionDialog(state, main, &vek::jobs::runWavToSc4Job, parent) {
    setObjectName(QStringLiteral("CvfDlg"));
    setWindowTitle(tr("Convert to SC4 file"));
}

}  // namespace vek::dialogs
