// SPDX-License-Identifier: GPL-3.0-or-later
#include "vek/recwidgets/mousebar.hpp"

#include <QKeyEvent>
#include <QMouseEvent>

TMousebar::TMousebar(QWidget* parent) : QSlider(Qt::Horizontal, parent) {
    setRange(0, 10);
    setTickInterval(1);
    setTickPosition(QSlider::TicksBelow);
    setSingleStep(1);
    setPageStep(2);
    setValue(0);
    // Moves are reported with no button down as well.
    setMouseTracking(true);
    // Every user move (drag, wheel, keys, page clicks) arrives as an action
    // right before the value is set; program calls of setValue() do not.
    connect(this, &QAbstractSlider::actionTriggered, this, &TMousebar::onAction);
    connect(this, &QAbstractSlider::valueChanged, this, &TMousebar::onValueChanged);
}

void TMousebar::onAction(int) {
    // The action has already moved the slider position; the value follows
    // it at once, and changes only when the two differ.
    m_userMove = sliderPosition() != value();
}

void TMousebar::onValueChanged(int v) {
    if (!m_userMove) return;
    m_userMove = false;
    emit changed(v);
}

void TMousebar::setPosition(int p) {
    m_userMove = false;
    setValue(p);
}

void TMousebar::mousePressEvent(QMouseEvent* event) {
    emit mouseDown(event->button(), event->modifiers(), event->position().toPoint());
    QSlider::mousePressEvent(event);
}

void TMousebar::mouseMoveEvent(QMouseEvent* event) {
    emit mouseMove(event->buttons(), event->modifiers(), event->position().toPoint());
    QSlider::mouseMoveEvent(event);
}

void TMousebar::mouseReleaseEvent(QMouseEvent* event) {
    QSlider::mouseReleaseEvent(event);
    emit mouseUp(event->button(), event->modifiers(), event->position().toPoint());
}

void TMousebar::keyPressEvent(QKeyEvent* event) {
    // The track bar steps down with Up and Page Up and up with Down and Page
    // Down; a horizontal QSlider does the opposite.
    if (event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier) {
        SliderAction action = SliderNoAction;
        switch (event->key()) {
        case Qt::Key_Up: action = SliderSingleStepSub; break;
        case Qt::Key_Down: action = SliderSingleStepAdd; break;
        case Qt::Key_PageUp: action = SliderPageStepSub; break;
        case Qt::Key_PageDown: action = SliderPageStepAdd; break;
        default: break;
        }
        if (action != SliderNoAction) {
            if (invertedControls())
                action = action == SliderSingleStepSub   ? SliderSingleStepAdd
                         : action == SliderSingleStepAdd ? SliderSingleStepSub
                         : action == SliderPageStepSub   ? SliderPageStepAdd
                                                         : SliderPageStepSub;
            triggerAction(action);
            event->accept();
            return;
        }
    }
    QSlider::keyPressEvent(event);
}
