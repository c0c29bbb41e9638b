// The position bar: a horizontal track bar whose mouse presses, moves and
// releases are reported to the window with button, modifier keys and client
// coordinates, and whose changed() reports the moves the user makes (drag,
// click, wheel, keys), never a position set by the program.
//
// Out of the box it is the plain track bar: range 0..10, a tick at every
// step, ticks below the channel, line size 1, page size 2, position 0. The
// keys follow the track bar too: Left, Up and Page Up step down, Right, Down
// and Page Down step up, Home and End go to the ends.
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPoint>
#include <QSlider>

class TMousebar : public QSlider {
    Q_OBJECT
public:
    explicit TMousebar(QWidget* parent = nullptr);

    // The program's way to move the bar: no changed().
    void setPosition(int p);
    int position() const { return value(); }

signals:
    void mouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPoint pos);
    void mouseMove(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers, QPoint pos);
    void mouseUp(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPoint pos);
    // The user moved the bar to this position.
    void changed(int position);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void onAction(int action);
    void onValueChanged(int value);

    // Set when a user action is about to move the value: the change that
    // follows at once is the user's.
    bool m_userMove = false;
};
