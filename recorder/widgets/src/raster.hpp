// Pixel-exact drawing into a QImage of Format_RGB32 or Format_ARGB32*, with
// the conventions of the widgets' pictures: a point (x, y) names the pixel
// whose top-left corner it is; everything is clipped to the image.
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QPoint>
#include <QRgb>

#include <vector>

namespace vek::recwidgets {

// Pixels [x0, x1) x [y0, y1); empty when x1 <= x0 or y1 <= y0.
void fillSpan(QImage& img, int x0, int y0, int x1, int y1, QRgb colour);

// A one-pixel line from (x0, y0) to (x1, y1); the end pixel is left out
// unless includeEnd, so a polyline lights every shared corner once.
void drawLine(QImage& img, int x0, int y0, int x1, int y1, QRgb colour, bool includeEnd = false);

// A closed polygon: the pixels whose centres lie strictly inside (even-odd
// rule) in fill, then the outline through every vertex in pen. A polygon spanning
// x..x+w therefore covers w + 1 columns.
void drawPolygon(QImage& img, const std::vector<QPoint>& pts, QRgb fill, QRgb pen);

// A w x h box covering pixels x..x+w-1, y..y+h-1: its border pixels in pen,
// the inside in fill.
void drawBox(QImage& img, int x, int y, int w, int h, QRgb fill, QRgb pen);

// The ellipse inscribed in that box: the pixels whose centres lie inside, the
// ones of them next to an outside pixel in pen, the rest in fill.
void drawEllipse(QImage& img, int x, int y, int w, int h, QRgb fill, QRgb pen);

}  // namespace vek::recwidgets
