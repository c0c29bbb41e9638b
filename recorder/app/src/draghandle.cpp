// SPDX-License-Identifier: GPL-3.0-or-later
#include "draghandle.hpp"

#include <QMouseEvent>
#include <QPainter>

namespace vekvmail {

TDragHandle::TDragHandle(const QIcon& picture, QWidget* parent) : QWidget(parent), m_picture(picture) {
    setCursor(Qt::OpenHandCursor);
}

void TDragHandle::paintEvent(QPaintEvent*) {
    QPainter p(this);
    m_picture.paint(&p, rect(), Qt::AlignCenter, isEnabled() ? QIcon::Normal : QIcon::Disabled);
}

void TDragHandle::mousePressEvent(QMouseEvent* e) {
    emit mouseDown(e->button(), e->modifiers(), e->position().toPoint());
}

void TDragHandle::mouseMoveEvent(QMouseEvent* e) {
    emit mouseMove(e->buttons(), e->modifiers(), e->position().toPoint());
}

}  // namespace vekvmail
