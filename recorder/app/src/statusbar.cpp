// SPDX-License-Identifier: GPL-3.0-or-later
#include "statusbar.hpp"

#include <QLabel>
#include <QPainter>

namespace vekvmail {

TStatusBar::TStatusBar(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("StatusBar"));
    // One pixel smaller than the face, so that ten hours of HQ
    // ("File Size 144000KB") fit the 106-pixel panel.
    QFont f = font();
    f.setPixelSize(10);
    setFont(f);
    for (std::size_t i = 0; i < m_panels.size(); ++i) {
        auto* l = new QLabel(this);
        l->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        l->setLineWidth(1);
        l->setContentsMargins(1, 0, 1, 0);
        l->setAlignment(i == 2 ? Qt::AlignCenter : (Qt::AlignLeft | Qt::AlignVCenter));
        m_panels[i] = l;
    }
}

void TStatusBar::setPanelText(int panel, const QString& text) {
    if (panel < 0 || panel > 2) return;
    m_panels[static_cast<std::size_t>(panel)]->setText(text);
}

QString TStatusBar::panelText(int panel) const {
    if (panel < 0 || panel > 2) return {};
    return m_panels[static_cast<std::size_t>(panel)]->text();
}

void TStatusBar::resizeEvent(QResizeEvent*) {
    // Panels touch with a two-pixel gap, as the common status bar draws them.
    const int h = height() - 2;
    m_panels[0]->setGeometry(0, 2, kPanel0Width - 2, h);
    m_panels[1]->setGeometry(kPanel0Width, 2, kPanel1Width - 2, h);
    m_panels[2]->setGeometry(kPanel0Width + kPanel1Width, 2, width() - kPanel0Width - kPanel1Width, h);
}

void TStatusBar::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setPen(palette().color(QPalette::Mid));
    p.drawLine(0, 0, width(), 0);
}

}  // namespace vekvmail
