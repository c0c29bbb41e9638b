// SPDX-License-Identifier: GPL-3.0-or-later
#include "vek/recoptions/vopdlg.hpp"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QFileInfo>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSlider>
#include <QVBoxLayout>

namespace vekvmail {

QStringList TVOPDlg::effectNames() {
    return {tr("OFF"),          tr("Reverb Room"),  tr("Reverb Stage"),       tr("Reverb Hall"),
            tr("Reverb Stadium"), tr("Echo"),       tr("Flange"),             tr("Invert Flange"),
            tr("Chorus"),       tr("Robot Voice"),  tr("Pitch Bend Chorus"),  tr("Darth Vader"),
            tr("Third Up"),     tr("Octave Up"),    tr("Helium Voice"),       tr("Descending Echo"),
            tr("Ascending Echo")};
}

TVOPDlg::TVOPDlg(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("VOPDlg"));
    setWindowTitle(tr("Voice Effect"));
    // A dialog frame with the system menu only: no help, no resizing.
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);

    RGEffMode = new QGroupBox(tr("Effect Mode"), this);
    RGEffMode->setObjectName(QStringLiteral("RGEffMode"));
    RGEffModeItems = new QButtonGroup(this);
    auto* items = new QVBoxLayout(RGEffMode);
    items->setSpacing(1);
    const QStringList names = effectNames();
    for (int i = 0; i < names.size(); ++i) {
        auto* b = new QRadioButton(names[i], RGEffMode);
        b->setObjectName(QStringLiteral("RGEffMode%1").arg(i));
        RGEffModeItems->addButton(b, i);
        items->addWidget(b);
    }
    RGEffModeItems->button(0)->setChecked(true);

    GBEffLevel = new QGroupBox(tr("Effect Level"), this);
    GBEffLevel->setObjectName(QStringLiteral("GBEffLevel"));
    LabelHigh = new QLabel(tr("High"), GBEffLevel);
    LabelHigh->setObjectName(QStringLiteral("LabelHigh"));
    LabelLow = new QLabel(tr("Low"), GBEffLevel);
    LabelLow->setObjectName(QStringLiteral("LabelLow"));
    SLEffLevel = new QSlider(Qt::Vertical, GBEffLevel);
    SLEffLevel->setObjectName(QStringLiteral("SLEffLevel"));
    SLEffLevel->setRange(0, kMaxLevelPosition);
    SLEffLevel->setPageStep(4);
    SLEffLevel->setSingleStep(1);
    SLEffLevel->setTickInterval(4);
    SLEffLevel->setTickPosition(QSlider::TicksBothSides);
    // Position 0 at the top; Down, Page Down and the wheel towards the user
    // move the thumb down to larger positions, as on a vertical track bar.
    SLEffLevel->setInvertedAppearance(true);
    SLEffLevel->setInvertedControls(true);
    SLEffLevel->setValue(kDefaultLevelPosition);
    auto* level = new QVBoxLayout(GBEffLevel);
    level->addWidget(LabelHigh, 0, Qt::AlignHCenter);
    level->addWidget(SLEffLevel, 1, Qt::AlignHCenter);
    level->addWidget(LabelLow, 0, Qt::AlignHCenter);

    OKBtn = new QPushButton(tr("OK"), this);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setDefault(true);
    CancelBtn = new QPushButton(tr("Cancel"), this);   // Escape rejects the dialog as well
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);

    auto* groups = new QHBoxLayout;
    groups->addWidget(RGEffMode);
    groups->addWidget(GBEffLevel);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(OKBtn);
    buttons->addWidget(CancelBtn);
    buttons->addStretch(1);
    auto* all = new QVBoxLayout(this);
    all->addLayout(groups);
    all->addLayout(buttons);
    all->setSizeConstraint(QLayout::SetFixedSize);

    connect(RGEffModeItems, &QButtonGroup::idToggled, this, [this](int, bool on) {
        if (on) EffChange();
    });
    connect(SLEffLevel, &QSlider::valueChanged, this, &TVOPDlg::EffChange);
}

void TVOPDlg::EffChange() { m_changed = true; }

int TVOPDlg::EffectMode() const { return RGEffModeItems->checkedId(); }

int TVOPDlg::LevelPosition() const { return SLEffLevel->value(); }

void TVOPDlg::setSettings(int effectMode, int levelPosition) {
    if (effectMode < 0 || effectMode >= kEffectCount) effectMode = 0;
    RGEffModeItems->button(effectMode)->setChecked(true);
    SLEffLevel->setValue(levelPosition);   // the slider keeps to 0..127
}

void TVOPDlg::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    m_changed = false;
    if (QAbstractButton* b = RGEffModeItems->checkedButton()) b->setFocus(Qt::OtherFocusReason);
    if (QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen()) {
        QRect r(QPoint(0, 0), frameGeometry().size());
        r.moveCenter(s->availableGeometry().center());
        move(r.topLeft());
    }
}

bool TVOPDlg::carriesEffectSettings(const QString& fileName) {
    return QFileInfo(fileName).fileName().toLower().endsWith(QStringLiteral(".exe"));
}

bool TVOPDlg::finishVoiceClick(int result, int rememberedEffect, int rememberedPosition,
                               const QString& currentFileName) {
    if (result == QDialog::Accepted) return m_changed && carriesEffectSettings(currentFileName);
    setSettings(rememberedEffect, rememberedPosition);
    return false;
}

bool TVOPDlg::VoiceClick(const QString& currentFileName) {
    const int effect = EffectMode();
    const int position = LevelPosition();
    const int result = exec();
    return finishVoiceClick(result, effect, position, currentFileName);
}

}  // namespace vekvmail
