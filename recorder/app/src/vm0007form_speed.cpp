// TVM0007Form, transcription playback: the speed commands of "&Control"
// (0.5x to 2.0x in steps of 0.1, pitch kept), the rewind on pause of
// "&Option", the speed in the status bar and both settings ("PlaySpeed",
// "PauseRewind" in section "Main", read at start and written when changed).
// SPDX-License-Identifier: GPL-3.0-or-later
#include "vm0007form.hpp"

#include "playsettings.hpp"
#include "statusbar.hpp"

#include "vek/transport/transport.hpp"

#include <QAction>
#include <QActionGroup>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>

#include <algorithm>
#include <cmath>

namespace vekvmail {

void TVM0007Form::buildSpeedControls() {
    Control1->addSeparator();
    auto item = [this](QAction*& slot, const char* name, const QString& text, const QList<QKeySequence>& keys,
                       void (TVM0007Form::*handler)()) {
        slot = Control1->addAction(text);
        slot->setObjectName(QString::fromLatin1(name));
        slot->setShortcuts(keys);
        connect(slot, &QAction::triggered, this, handler);
    };
    // The keys of zooming in and out: minus, plus (or the equals sign it
    // shares a key with), zero for the normal size.
    item(MSlower, "MSlower", tr("Play S&lower"), {QKeySequence(Qt::CTRL | Qt::Key_Minus)}, &TVM0007Form::MSlowerClick);
    item(MFaster, "MFaster", tr("Play F&aster"),
         {QKeySequence(Qt::CTRL | Qt::Key_Plus), QKeySequence(Qt::CTRL | Qt::Key_Equal)}, &TVM0007Form::MFasterClick);
    item(MNormalSpeed, "MNormalSpeed", tr("&Normal Speed"), {QKeySequence(Qt::CTRL | Qt::Key_0)},
         &TVM0007Form::MNormalSpeedClick);

    Option1->addSeparator();
    mnuPauseRewind = Option1->addMenu(tr("&Rewind on Pause"));
    mnuPauseRewind->setObjectName(QStringLiteral("mnuPauseRewind"));
    mnuPauseRewind->menuAction()->setObjectName(QStringLiteral("mnuPauseRewind"));
    auto* group = new QActionGroup(mnuPauseRewind);
    for (int s = 0; s <= kPauseRewindMax; ++s) {
        const QString text = s == 0 ? tr("&Off") : s == 1 ? tr("&1 Second") : tr("&%1 Seconds").arg(s);
        QAction* a = mnuPauseRewind->addAction(text);
        a->setObjectName(QStringLiteral("mnuPauseRewind%1").arg(s));
        a->setCheckable(true);
        a->setChecked(s == 0);
        group->addAction(a);
        connect(a, &QAction::triggered, this, [this, s] { PauseRewindClick(s); });
    }

    // Right-aligned inside the transport panel, beside "Playing..." and the
    // other transport texts, which stay as they are.
    QLabel* panel0 = StatusBar->panel(0);
    auto* row = new QHBoxLayout(panel0);
    row->setContentsMargins(0, 0, 2, 0);
    row->addStretch(1);
    lblSpeed = new QLabel(panel0);
    lblSpeed->setObjectName(QStringLiteral("lblSpeed"));
    lblSpeed->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    lblSpeed->hide();
    row->addWidget(lblSpeed);
}

void TVM0007Form::loadSpeedSettings() {
    const PlaybackSettings s = readPlaybackSettings(IniPath().toStdString());
    setPlaySpeed(s.speedTenths, false);
    m_pauseRewind = s.pauseRewind;
    m_transport->setPauseRewind(m_pauseRewind);
    for (QAction* a : mnuPauseRewind->actions())
        a->setChecked(a->objectName() == QStringLiteral("mnuPauseRewind%1").arg(m_pauseRewind));
}

void TVM0007Form::setPlaySpeed(int tenths, bool save) {
    tenths = std::clamp(tenths, kSpeedMinTenths, kSpeedMaxTenths);
    // Also a playback under way changes speed, from its next block. An
    // engine that cannot change it (a build without the stretcher) stays at
    // 1.0, and so does what the window shows.
    tenths = static_cast<int>(std::lround(m_transport->setPlaySpeed(tenths / 10.0) * 10));
    m_playSpeedTenths = tenths;
    lblSpeed->setText(tr("Speed %1x").arg(QString::fromStdString(formatPlaySpeed(tenths))));
    lblSpeed->setVisible(tenths != kSpeedNormalTenths);
    MSlower->setEnabled(tenths > kSpeedMinTenths);
    MFaster->setEnabled(tenths < kSpeedMaxTenths);
    if (save) writePlaySpeed(IniPath().toStdString(), tenths);
}

void TVM0007Form::MSlowerClick() {
    if (m_playSpeedTenths > kSpeedMinTenths) setPlaySpeed(m_playSpeedTenths - 1, true);
}

void TVM0007Form::MFasterClick() {
    if (m_playSpeedTenths < kSpeedMaxTenths) setPlaySpeed(m_playSpeedTenths + 1, true);
}

void TVM0007Form::MNormalSpeedClick() {
    if (m_playSpeedTenths != kSpeedNormalTenths) setPlaySpeed(kSpeedNormalTenths, true);
}

void TVM0007Form::PauseRewindClick(int seconds) {
    m_pauseRewind = std::clamp(seconds, 0, kPauseRewindMax);
    m_transport->setPauseRewind(m_pauseRewind);
    for (QAction* a : mnuPauseRewind->actions())
        a->setChecked(a->objectName() == QStringLiteral("mnuPauseRewind%1").arg(m_pauseRewind));
    writePauseRewind(IniPath().toStdString(), m_pauseRewind);
}

}  // namespace vekvmail
