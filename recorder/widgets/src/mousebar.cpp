// SPDX-License-Identifier: GPL-3.0-or-later
#include "vek/recwidgets/mousebar.hpp"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>

namespace {

// Counts the nesting of a region for as long as it lives.
class Depth {
public:
    explicit Depth(int& d) : m_d(d) { ++m_d; }
    ~Depth() { --m_d; }
    Depth(const Depth&) = delete;
    Depth& operator=(const Depth&) = delete;

private:
    int& m_d;
};

}  // namespace

TMousebar::TMousebar(QWidget* parent) : QSlider(Qt::Horizontal, parent) {
    setRange(0, 10);
    setTickInterval(1);
    setTickPosition(QSlider::TicksBelow);
    setSingleStep(1);
    setPageStep(2);
    QSlider::setValue(0);
    // Moves are reported with no button down as well.
    setMouseTracking(true);
    connect(this, &QAbstractSlider::valueChanged, this, &TMousebar::onValueChanged);
}

void TMousebar::onValueChanged(int v) {
    // A value that changes while the slider handles the user's input, and
    // not through the program's setters, is the user's move.
    if (m_userInput > 0 && m_programSet == 0) emit changed(v);
}

void TMousebar::setPosition(int p) {
    Depth guard(m_programSet);
    QSlider::setValue(p);
}

void TMousebar::setValue(int v) {
    setPosition(v);
}

void TMousebar::mousePressEvent(QMouseEvent* event) {
    emit mouseDown(event->button(), event->modifiers(), event->position().toPoint());
    Depth user(m_userInput);
    QSlider::mousePressEvent(event);
}

void TMousebar::mouseMoveEvent(QMouseEvent* event) {
    emit mouseMove(event->buttons(), event->modifiers(), event->position().toPoint());
    Depth user(m_userInput);
    QSlider::mouseMoveEvent(event);
}

void TMousebar::mouseReleaseEvent(QMouseEvent* event) {
    {
        Depth user(m_userInput);
        QSlider::mouseReleaseEvent(event);
    }
    emit mouseUp(event->button(), event->modifiers(), event->position().toPoint());
}

void TMousebar::wheelEvent(QWheelEvent* event) {
    Depth user(m_userInput);
    QSlider::wheelEvent(event);
}

void TMousebar::keyPressEvent(QKeyEvent* event) {
    Depth user(m_userInput);
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
