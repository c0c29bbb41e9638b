// The drag data of a file and the mouse state of a handle move.
// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <QDir>
#include <QMouseEvent>
#include <QUrl>

#include <memory>

#include "vek/recwidgets/filedrag.hpp"

using namespace vek::recwidgets;
using namespace vek::dropsource;

TEST(FileDrag, DataIsTheFileUrl) {
    std::unique_ptr<QMimeData> one(fileDragData("/tmp/DATA/Voice 1.sc4"));
    ASSERT_TRUE(one->hasUrls());
    ASSERT_EQ(one->urls().size(), 1);
    EXPECT_EQ(one->urls()[0], QUrl::fromLocalFile("/tmp/DATA/Voice 1.sc4"));
    EXPECT_TRUE(one->hasFormat("text/uri-list"));
    EXPECT_TRUE(one->data("text/uri-list").startsWith("file:///tmp/DATA/Voice%201.sc4"));

    std::unique_ptr<QMimeData> two(fileDragData("a.sc4", "b.exe"));
    ASSERT_EQ(two->urls().size(), 2);
    EXPECT_EQ(two->urls()[1].toLocalFile(), QDir::current().absoluteFilePath("b.exe"));
}

TEST(FileDrag, ShiftStateFromMouseEvents) {
    const QPointF p(3, 4);
    QMouseEvent left(QEvent::MouseMove, p, p, Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    EXPECT_EQ(shiftStateOf(left), unsigned(kLeftButton));
    EXPECT_TRUE(dragHandleStarts(0, 0, 10, 0, shiftStateOf(left)));
    QMouseEvent shifted(QEvent::MouseMove, p, p, Qt::NoButton, Qt::LeftButton, Qt::ShiftModifier);
    EXPECT_FALSE(dragHandleStarts(0, 0, 10, 0, shiftStateOf(shifted)));
    QMouseEvent ctrl(QEvent::MouseMove, p, p, Qt::NoButton, Qt::LeftButton | Qt::RightButton,
                     Qt::ControlModifier);
    EXPECT_EQ(shiftStateOf(ctrl), unsigned(kLeftButton | kRightButton | kCtrl));
}
