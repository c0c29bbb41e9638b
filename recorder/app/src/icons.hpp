// The recorder's pictures: SVG drawings in the program's resources, turned
// into icons and pixmaps crisp at 1x and 2x, with a quiet grey form for
// disabled buttons.
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIcon>
#include <QPixmap>
#include <QString>

namespace vekvmail {

// `name` without folder and extension ("play"); `size` in device-independent pixels.
QIcon svgIcon(const QString& name, int size);
QPixmap svgPixmap(const QString& name, int size, qreal dpr);
// The program's own picture (window and task-bar icon), 16 to 64 pixels.
QIcon programIcon();
// The picture, or a null pixmap when the resource is missing or broken.
QImage renderSvg(const QString& name, int pixels);

}  // namespace vekvmail
