// The position bar: mouse events reach the window with button, modifiers
// and client point; changed() comes for the user's moves only.
// SPDX-License-Identifier: GPL-3.0-or-later
#include "vek/recwidgets/mousebar.hpp"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>
#include <QWheelEvent>

#include <memory>

namespace {

// Exposes the handle's place for the drag tests.
class ProbeBar : public TMousebar {
public:
    QRect handleRect() const {
        QStyleOptionSlider opt;
        initStyleOption(&opt);
        return style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderHandle, this);
    }
};

// The recorder window's bar: 246 x 18, 0..32760, a tick every 1638 below,
// page size 0.
std::unique_ptr<ProbeBar> windowBar() {
    auto bar = std::make_unique<ProbeBar>();
    bar->resize(246, 18);
    bar->setRange(0, 32760);
    bar->setTickInterval(1638);
    bar->setPageStep(0);
    bar->show();
    bar->activateWindow();
    bar->setFocus();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(bar.get()));
    return bar;
}

void send(QWidget* w, QEvent::Type type, QPoint pos, Qt::MouseButton button, Qt::MouseButtons buttons,
          Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QMouseEvent ev(type, QPointF(pos), QPointF(w->mapToGlobal(pos)), button, buttons, mods);
    QApplication::sendEvent(w, &ev);
}

}  // namespace

TEST(MousebarDefaults, PlainTrackBar) {
    TMousebar bar;
    EXPECT_EQ(bar.orientation(), Qt::Horizontal);
    EXPECT_EQ(bar.minimum(), 0);
    EXPECT_EQ(bar.maximum(), 10);
    EXPECT_EQ(bar.tickInterval(), 1);
    EXPECT_EQ(bar.tickPosition(), QSlider::TicksBelow);
    EXPECT_EQ(bar.singleStep(), 1);
    EXPECT_EQ(bar.pageStep(), 2);
    EXPECT_EQ(bar.position(), 0);
    EXPECT_TRUE(bar.hasMouseTracking());
}

TEST(MousebarChanged, ProgramMovesAreSilent) {
    auto bar = windowBar();
    QSignalSpy changed(bar.get(), &TMousebar::changed);
    QSignalSpy values(bar.get(), &QAbstractSlider::valueChanged);
    bar->setPosition(1638);
    EXPECT_EQ(bar->position(), 1638);
    bar->setValue(3276);
    static_cast<QAbstractSlider*>(bar.get())->setValue(32760);
    bar->setSliderPosition(100);
    bar->setMaximum(50);  // the value is pulled into the new range
    EXPECT_EQ(bar->position(), 50);
    bar->setPosition(-4);
    EXPECT_EQ(bar->position(), 0);
    EXPECT_EQ(values.count(), 6);
    EXPECT_EQ(changed.count(), 0);
}

TEST(MousebarChanged, Keys) {
    auto bar = windowBar();
    QSignalSpy changed(bar.get(), &TMousebar::changed);
    QTest::keyClick(bar.get(), Qt::Key_Right);
    QTest::keyClick(bar.get(), Qt::Key_Down);
    QTest::keyClick(bar.get(), Qt::Key_Up);
    QTest::keyClick(bar.get(), Qt::Key_End);
    QTest::keyClick(bar.get(), Qt::Key_Left);
    QTest::keyClick(bar.get(), Qt::Key_Home);
    ASSERT_EQ(changed.count(), 6);
    const int expected[] = {1, 2, 1, 32760, 32759, 0};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(changed.at(i).at(0).toInt(), expected[i]) << i;
    // Steps that go nowhere say nothing: Home at the start, Page keys with a
    // page size of 0.
    QTest::keyClick(bar.get(), Qt::Key_Home);
    QTest::keyClick(bar.get(), Qt::Key_Left);
    QTest::keyClick(bar.get(), Qt::Key_PageDown);
    QTest::keyClick(bar.get(), Qt::Key_PageUp);
    EXPECT_EQ(changed.count(), 6);
    // Then a program move: still nothing, and the next key is reported.
    bar->setPosition(500);
    EXPECT_EQ(changed.count(), 6);
    QTest::keyClick(bar.get(), Qt::Key_Up);
    ASSERT_EQ(changed.count(), 7);
    EXPECT_EQ(changed.last().at(0).toInt(), 499);
    // With a page size, Page Down steps up as on the track bar.
    bar->setPageStep(1000);
    QTest::keyClick(bar.get(), Qt::Key_PageDown);
    ASSERT_EQ(changed.count(), 8);
    EXPECT_EQ(changed.last().at(0).toInt(), 1499);
}

TEST(MousebarChanged, DragReportsEveryMoveAndTheMouseEvents) {
    auto bar = windowBar();
    QSignalSpy changed(bar.get(), &TMousebar::changed);
    QSignalSpy down(bar.get(), &TMousebar::mouseDown);
    QSignalSpy move(bar.get(), &TMousebar::mouseMove);
    QSignalSpy up(bar.get(), &TMousebar::mouseUp);

    const QPoint grab = bar->handleRect().center();
    send(bar.get(), QEvent::MouseButtonPress, grab, Qt::LeftButton, Qt::LeftButton, Qt::ShiftModifier);
    ASSERT_EQ(down.count(), 1);
    EXPECT_EQ(down.at(0).at(0).value<Qt::MouseButton>(), Qt::LeftButton);
    EXPECT_EQ(down.at(0).at(1).value<Qt::KeyboardModifiers>(), Qt::ShiftModifier);
    EXPECT_EQ(down.at(0).at(2).toPoint(), grab);
    EXPECT_TRUE(bar->isSliderDown());

    send(bar.get(), QEvent::MouseMove, grab + QPoint(60, 0), Qt::NoButton, Qt::LeftButton);
    send(bar.get(), QEvent::MouseMove, grab + QPoint(120, 2), Qt::NoButton, Qt::LeftButton);
    ASSERT_EQ(move.count(), 2);
    EXPECT_EQ(move.at(1).at(0).value<Qt::MouseButtons>(), Qt::MouseButtons(Qt::LeftButton));
    EXPECT_EQ(move.at(1).at(2).toPoint(), grab + QPoint(120, 2));
    ASSERT_EQ(changed.count(), 2);
    const int first = changed.at(0).at(0).toInt(), second = changed.at(1).at(0).toInt();
    EXPECT_GT(first, 0);
    EXPECT_GT(second, first);
    EXPECT_EQ(second, bar->position());

    send(bar.get(), QEvent::MouseButtonRelease, grab + QPoint(120, 2), Qt::LeftButton, Qt::NoButton);
    ASSERT_EQ(up.count(), 1);
    EXPECT_EQ(up.at(0).at(0).value<Qt::MouseButton>(), Qt::LeftButton);
    EXPECT_EQ(up.at(0).at(2).toPoint(), grab + QPoint(120, 2));
    EXPECT_FALSE(bar->isSliderDown());
    EXPECT_EQ(changed.count(), 2);

    // A move with no button down is reported too, and moves nothing.
    send(bar.get(), QEvent::MouseMove, QPoint(10, 5), Qt::NoButton, Qt::NoButton);
    ASSERT_EQ(move.count(), 3);
    EXPECT_EQ(move.at(2).at(0).value<Qt::MouseButtons>(), Qt::MouseButtons());
    EXPECT_EQ(changed.count(), 2);
}

TEST(MousebarChanged, ChannelClickWithoutPageSizeOnlyReportsTheMouse) {
    // The window jumps to the clicked point itself in its mouse-up handler;
    // with page size 0 the click does not move the bar.
    auto bar = windowBar();
    bar->setPosition(0);
    QSignalSpy changed(bar.get(), &TMousebar::changed);
    QSignalSpy up(bar.get(), &TMousebar::mouseUp);
    const QPoint at(200, bar->handleRect().center().y());
    ASSERT_FALSE(bar->handleRect().contains(at));
    QTest::mouseClick(bar.get(), Qt::LeftButton, Qt::ControlModifier, at);
    EXPECT_EQ(bar->position(), 0);
    EXPECT_EQ(changed.count(), 0);
    ASSERT_EQ(up.count(), 1);
    EXPECT_EQ(up.at(0).at(1).value<Qt::KeyboardModifiers>(), Qt::ControlModifier);
    EXPECT_EQ(up.at(0).at(2).toPoint(), at);
    // The handler's own move does not come back as a user move.
    QObject::connect(bar.get(), &TMousebar::mouseUp, bar.get(),
            [b = bar.get()](Qt::MouseButton, Qt::KeyboardModifiers, QPoint p) { b->setPosition((p.x() - 5) * 140); });
    QTest::mouseClick(bar.get(), Qt::LeftButton, Qt::NoModifier, at);
    EXPECT_EQ(bar->position(), (200 - 5) * 140);
    EXPECT_EQ(changed.count(), 0);
}

TEST(MousebarChanged, Wheel) {
    // The slider scrolls at most a page per wheel step, so the window's page
    // size of 0 keeps the wheel still; with a page it moves.
    auto bar = windowBar();
    bar->setPageStep(100);
    bar->setPosition(100);
    QSignalSpy changed(bar.get(), &TMousebar::changed);
    const QPoint at = bar->rect().center();
    QWheelEvent ev(QPointF(at), QPointF(bar->mapToGlobal(at)), QPoint(), QPoint(0, -120), Qt::NoButton,
                   Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(bar.get(), &ev);
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed.at(0).at(0).toInt(), bar->position());
    EXPECT_NE(bar->position(), 100);
}
