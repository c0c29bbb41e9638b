// The drag of one file out of the recorder: a Qt drag of its file URL
// (text/uri-list), which file managers and mail composers take; Qt turns it
// into CF_HDROP on Windows. Copy is the only action offered.
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMimeData>
#include <QPoint>
#include <QString>

#include "vek/recwidgets/dropsource.hpp"

class QMouseEvent;
class QWidget;

namespace vek::recwidgets {

// The drag data: the file's URL (the second path is added when not empty).
QMimeData* fileDragData(const QString& first, const QString& second = {});
// JDD_DragDrop: runs the drag from `source` and returns its outcome.
// Acceptance of drops on the window is the caller's to switch around it.
vek::dropsource::DragOutcome runFileDrag(QWidget* source, const QString& first, const QString& second = {});
// The handle's mouse-move state as drag-source shift bits.
unsigned shiftStateOf(const QMouseEvent& e);

}  // namespace vek::recwidgets
