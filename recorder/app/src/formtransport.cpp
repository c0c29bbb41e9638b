// SPDX-License-Identifier: GPL-3.0-or-later
#include "formtransport.hpp"

#include "draghandle.hpp"
#include "startup.hpp"
#include "statusbar.hpp"
#include "vm0007form.hpp"

#include "vek/recwidgets/dbmeter.hpp"
#include "vek/recwidgets/display.hpp"
#include "vek/recwidgets/mousebar.hpp"
#include "vek/platform/winreg.hpp"

#include <QAction>
#include <QFrame>
#include <QGuiApplication>
#include <QMessageBox>
#include <QToolButton>

namespace vekvmail {

using vek::transport::Group;
using vek::transport::Icon;
using vek::transport::Pair;

void TFormTransportView::setEnabled(Group g, bool on) {
    TVM0007Form& f = m_form;
    std::vector<QWidget*> widgets;
    std::vector<QAction*> actions;
    switch (g) {
    case Group::RecSP: widgets = {f.SBRec}; actions = {f.MRec}; break;
    case Group::RecHQ: widgets = {f.SBRec2}; actions = {f.MRec2}; break;
    case Group::RecSHQ: widgets = {f.SBRecP}; actions = {f.MRecP}; break;
    case Group::Play: widgets = {f.SBPlay}; actions = {f.MPlay}; break;
    case Group::Mail: widgets = {f.SBMail, f.SBMailP}; actions = {f.MMailSend, f.MMailSendP}; break;
    case Group::Files:
        widgets = {f.SBNew, f.SBOpen, f.SBSave};
        actions = {f.MNew, f.MOpen, f.MSave, f.MSaveAs, f.MExit};
        break;
    case Group::Options:
        widgets = {f.SBVoice, f.imgDDC, f.imgDDE};
        actions = {f.MVoice, f.mnuMailProg};
        break;
    case Group::Cuts: widgets = {f.SBDelA, f.SBDelB}; actions = {f.MDelA, f.MDelB}; break;
    case Group::Seek: widgets = {f.SBFF, f.SBFB}; actions = {f.MFF, f.MFB}; break;
    case Group::TrackBar: widgets = {f.TrackBar}; break;
    }
    for (QWidget* w : widgets)
        if (w) w->setEnabled(on);
    for (QAction* a : actions)
        if (a) a->setEnabled(on);
}

void TFormTransportView::repaintPanels() {
    for (QFrame* p : {m_form.Panel1, m_form.Panel5})
        if (p) p->repaint();
}

namespace {
void pair(TDisplay* hi, TDisplay* lo, char h, char l) {
    hi->setDigit(h);
    lo->setDigit(l);
}
}  // namespace

void TFormTransportView::setRunningDigits(Pair p, char high, char low) {
    TVM0007Form& f = m_form;
    switch (p) {
    case Pair::Hour: pair(f.dspT6, f.dspT5, high, low); break;
    case Pair::Min: pair(f.dspT4, f.dspT3, high, low); break;
    case Pair::Sec: pair(f.dspT2, f.dspT1, high, low); break;
    }
}

void TFormTransportView::setTotalDigits(Pair p, char high, char low) {
    TVM0007Form& f = m_form;
    switch (p) {
    case Pair::Hour: pair(f.dsptT6, f.dsptT5, high, low); break;
    case Pair::Min: pair(f.dsptT4, f.dsptT3, high, low); break;
    case Pair::Sec: pair(f.dsptT2, f.dsptT1, high, low); break;
    }
}

void TFormTransportView::setTotalColor(std::uint32_t colorRef) {
    TVM0007Form& f = m_form;
    for (TDisplay* d : {f.dsptT1, f.dsptT2, f.dsptT3, f.dsptT4, f.dsptT5, f.dsptT6, f.Display8, f.Display10})
        d->setOnColor(colorRef);
}

void TFormTransportView::setTrackPosition(int position) { m_form.TrackBar->setPosition(position); }

int TFormTransportView::trackPosition() { return m_form.TrackBar->position(); }

void TFormTransportView::focusTrackBar() {
    if (m_form.TrackBar->isEnabled()) m_form.TrackBar->setFocus();
}

void TFormTransportView::setMeter(int position) { m_form.DBMeter->setPosition(position); }

void TFormTransportView::setStatusText(int panel, const std::string& text) {
    m_form.StatusBar->setPanelText(panel, QString::fromStdString(text));
}

void TFormTransportView::setApplicationTitle(const std::string& title) {
    // Each of the three titles belongs to one transport state.
    TransportState s = TransportState::Stopped;
    if (title == vek::transport::kTitlePlaying) s = TransportState::Playing;
    if (title == vek::transport::kTitleRecording) s = TransportState::Recording;
    m_form.setTransportState(s);
}

void TFormTransportView::setModified() { m_form.setModified(true); }

void TFormTransportView::message(const std::string& text, Icon icon) {
    // Shown window-modal without a nested event loop: the transport reports
    // only once its state is settled, the window takes no command while the
    // box is up, and the engine's messages keep flowing without running
    // inside the handler that raised the box.
    auto* box = new QMessageBox(icon == Icon::Information ? QMessageBox::Information : QMessageBox::Critical,
                                QObject::tr(vek::transport::kCaption), hintText(QObject::tr(text.c_str())),
                                QMessageBox::Ok, &m_form);
    box->setObjectName(QStringLiteral("TransportMessage"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    // While the window is closing (a recording that could not be finished
    // whole) the box would go with it unread: then it waits for the user.
    if (m_form.isVisible() && m_form.transport().closing()) {
        box->exec();
        return;
    }
    box->open();
}

bool TFormTransportView::confirm(const std::string& text) {
    QMessageBox box(QMessageBox::Question, QObject::tr("Confirm"), QObject::tr(text.c_str()),
                    QMessageBox::Yes | QMessageBox::No, &m_form);
    box.setObjectName(QStringLiteral("TransportConfirm"));
    return box.exec() == QMessageBox::Yes;
}

void TFormTransportView::setBusyCursor(bool on) {
    if (on) {
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        ++m_cursorDepth;
    } else if (m_cursorDepth > 0) {
        QGuiApplication::restoreOverrideCursor();
        --m_cursorDepth;
    }
}

void TFormTransportView::setAcceptDrops(bool on) { m_form.setAcceptDrops(on); }

void TFormTransportView::sendBusyNotice(bool busy) {
    // The companion is any top-level window of that title, of any class.
    if (auto w = vek::winreg::findWindow(QString(), QString::fromLatin1(vek::transport::kBusyWindowTitle)))
        vek::winreg::sendMessage(*w, vek::transport::kBusyMessage, QByteArray(1, busy ? '\1' : '\0'));
}

int TFormTransportView::effectIndex() { return m_form.EffectIndex(); }

int TFormTransportView::effectSliderPosition() { return m_form.EffectSliderPosition(); }

}  // namespace vekvmail
