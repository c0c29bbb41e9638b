// SPDX-License-Identifier: GPL-3.0-or-later
#include "raster.hpp"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace vek::recwidgets {
namespace {

inline void plot(QImage& img, int x, int y, QRgb colour) {
    if (x >= 0 && y >= 0 && x < img.width() && y < img.height())
        reinterpret_cast<QRgb*>(img.scanLine(y))[x] = colour;
}

}  // namespace

void fillSpan(QImage& img, int x0, int y0, int x1, int y1, QRgb colour) {
    x0 = std::max(x0, 0);
    y0 = std::max(y0, 0);
    x1 = std::min(x1, img.width());
    y1 = std::min(y1, img.height());
    for (int y = y0; y < y1; ++y) {
        QRgb* row = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = x0; x < x1; ++x) row[x] = colour;
    }
}

void drawLine(QImage& img, int x0, int y0, int x1, int y1, QRgb colour, bool includeEnd) {
    // Bresenham: every step moves one pixel along the major axis.
    const int dx = std::abs(x1 - x0), dy = -std::abs(y1 - y0);
    const int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
    int err = dx + dy;
    int x = x0, y = y0;
    for (;;) {
        const bool atEnd = x == x1 && y == y1;
        if (atEnd) {
            if (includeEnd) plot(img, x, y, colour);
            break;
        }
        plot(img, x, y, colour);
        const int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y += sy;
        }
    }
}

void drawPolygon(QImage& img, const std::vector<QPoint>& pts, QRgb fill, QRgb pen) {
    const std::size_t n = pts.size();
    if (n == 0) return;
    int minY = pts[0].y(), maxY = pts[0].y();
    for (const QPoint& p : pts) {
        minY = std::min(minY, p.y());
        maxY = std::max(maxY, p.y());
    }
    minY = std::max(minY, 0);
    maxY = std::min(maxY, img.height());
    std::vector<double> xs;
    for (int y = minY; y < maxY; ++y) {
        const double yc = y + 0.5;
        xs.clear();
        for (std::size_t i = 0; i < n; ++i) {
            const QPoint& a = pts[i];
            const QPoint& b = pts[(i + 1) % n];
            if (a.y() == b.y()) continue;
            const double ya = a.y(), yb = b.y();
            if ((yc >= ya && yc < yb) || (yc >= yb && yc < ya))
                xs.push_back(a.x() + (yc - ya) * (b.x() - a.x()) / (yb - ya));
        }
        std::sort(xs.begin(), xs.end());
        for (std::size_t i = 0; i + 1 < xs.size(); i += 2) {
            // Pixel px is inside when its centre px + 0.5 lies strictly
            // between xa and xb; a centre on an edge belongs to the outline,
            // so no fill shows outside it and mirror-image shapes stay
            // mirror images.
            const int from = int(std::floor(xs[i] - 0.5)) + 1;
            const int to = int(std::ceil(xs[i + 1] - 0.5));
            fillSpan(img, from, y, to, y + 1, fill);
        }
    }
    for (std::size_t i = 0; i < n; ++i) {
        const QPoint& a = pts[i];
        const QPoint& b = pts[(i + 1) % n];
        drawLine(img, a.x(), a.y(), b.x(), b.y(), pen);
    }
    // Edges of length zero draw nothing; their corner is lit all the same.
    for (const QPoint& p : pts) plot(img, p.x(), p.y(), pen);
}

void drawBox(QImage& img, int x, int y, int w, int h, QRgb fill, QRgb pen) {
    if (w <= 0 || h <= 0) return;
    fillSpan(img, x, y, x + w, y + h, pen);
    fillSpan(img, x + 1, y + 1, x + w - 1, y + h - 1, fill);
}

void drawEllipse(QImage& img, int x, int y, int w, int h, QRgb fill, QRgb pen) {
    if (w <= 0 || h <= 0) return;
    const double cx = x + w / 2.0, cy = y + h / 2.0, rx = w / 2.0, ry = h / 2.0;
    auto inside = [&](int px, int py) {
        if (px < x || py < y || px >= x + w || py >= y + h) return false;
        const double u = (px + 0.5 - cx) / rx, v = (py + 0.5 - cy) / ry;
        return u * u + v * v <= 1.0;
    };
    const int x0 = std::max(x, 0), x1 = std::min(x + w, img.width());
    const int y0 = std::max(y, 0), y1 = std::min(y + h, img.height());
    for (int py = y0; py < y1; ++py)
        for (int px = x0; px < x1; ++px) {
            if (!inside(px, py)) continue;
            const bool edge = !inside(px - 1, py) || !inside(px + 1, py) || !inside(px, py - 1) ||
                              !inside(px, py + 1);
            plot(img, px, py, edge ? pen : fill);
        }
}

}  // namespace vek::recwidgets
