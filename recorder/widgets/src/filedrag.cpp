// A Qt drag of a file URL.
// SPDX-License-Identifier: GPL-3.0-or-later
#include "vek/recwidgets/filedrag.hpp"

#include <QDrag>
#include <QFileInfo>
#include <QList>
#include <QMouseEvent>
#include <QUrl>
#include <QWidget>

namespace vek::recwidgets {

QMimeData* fileDragData(const QString& first, const QString& second) {
    QList<QUrl> urls{QUrl::fromLocalFile(QFileInfo(first).absoluteFilePath())};
    if (!second.isEmpty()) urls.append(QUrl::fromLocalFile(QFileInfo(second).absoluteFilePath()));
    auto* data = new QMimeData;
    data->setUrls(urls);
    return data;
}

vek::dropsource::DragOutcome runFileDrag(QWidget* source, const QString& first, const QString& second) {
    using namespace vek::dropsource;
    auto* drag = new QDrag(source);
    drag->setMimeData(fileDragData(first, second));
    const Qt::DropAction action = drag->exec(Qt::CopyAction, Qt::CopyAction);
    switch (action) {
    case Qt::CopyAction: return DragOutcome::DroppedCopy;
    case Qt::MoveAction: return DragOutcome::DroppedMove;
    case Qt::IgnoreAction: return DragOutcome::Cancelled;
    default: return DragOutcome::Other;
    }
}

unsigned shiftStateOf(const QMouseEvent& e) {
    using namespace vek::dropsource;
    unsigned s = 0;
    const Qt::KeyboardModifiers m = e.modifiers();
    if (m & Qt::ShiftModifier) s |= kShift;
    if (m & Qt::ControlModifier) s |= kCtrl;
    if (m & Qt::AltModifier) s |= kAlt;
    const Qt::MouseButtons b = e.buttons();
    if (b & Qt::LeftButton) s |= kLeftButton;
    if (b & Qt::RightButton) s |= kRightButton;
    if (b & Qt::MiddleButton) s |= kMiddleButton;
    return s;
}

}  // namespace vek::recwidgets
