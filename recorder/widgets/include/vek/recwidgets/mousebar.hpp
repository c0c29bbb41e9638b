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

    // The program's ways to move the bar: no changed(), even when called
    // from a handler of the bar's own signals.
    void setPosition(int p);
    void setValue(int v);
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
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void onValueChanged(int value);

    // Depth of the user-input handlers and of the program's setters now
    // running: a value change is the user's inside the one and outside the
    // other.
    int m_userInput = 0;
    int m_programSet = 0;
};
