// TDragHandle: one of the two pictures a recording is dragged out by. It
// draws its picture sharp at any scale (greyed while disabled) and reports
// the mouse to the window, which starts the drag.
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIcon>
#include <QWidget>

namespace vekvmail {

class TDragHandle : public QWidget {
    Q_OBJECT
public:
    TDragHandle(const QIcon& picture, QWidget* parent = nullptr);
    const QIcon& picture() const { return m_picture; }

signals:
    void mouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPoint pos);
    void mouseMove(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers, QPoint pos);

protected:
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;

private:
    QIcon m_picture;
};

}  // namespace vekvmail
