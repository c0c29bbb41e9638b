// SPDX-License-Identifier: GPL-3.0-or-later
#include "vek/recwidgets/display.hpp"

#include "raster.hpp"
#include "vek/recwidgets/glyphs.hpp"

#include <QPainter>

#include <algorithm>

using vek::recwidgets::drawBox;
using vek::recwidgets::drawEllipse;
using vek::recwidgets::drawPolygon;

namespace {

using Shape = std::vector<QPoint>;

// Segment widths and margins beyond this only push the picture out of the
// cell; bounding them keeps every coordinate and line length small.
constexpr int kMaxExtent = 4096;

// Hexagonal bar in the box (x, y, w, l); lying when w >= l, standing else.
Shape bar(int x, int y, int w, int l, int h) {
    if (w >= l)
        return {{x, y + h}, {x + h, y}, {x + w - h, y}, {x + w, y + h}, {x + w - h, y + l}, {x + h, y + l}};
    return {{x, y + h}, {x + h, y}, {x + w, y + h}, {x + w, y + l - h}, {x + h, y + l}, {x, y + l - h}};
}

// Bars along the cell's edges, bevelled towards the inside.
Shape edgeDown(int x, int y, int w, int S) { return {{x, y}, {x + S, y + S}, {x + w - S, y + S}, {x + w, y}}; }
Shape edgeUp(int x, int y, int w, int S) { return {{x, y + S}, {x + S, y}, {x + w - S, y}, {x + w, y + S}}; }
Shape edgeRight(int x, int y, int l, int S) { return {{x, y}, {x + S, y + S}, {x + S, y + l - S}, {x, y + l}}; }
Shape edgeLeft(int x, int y, int l, int S) { return {{x + S, y}, {x, y + S}, {x, y + l - S}, {x + S, y + l}}; }

// Diagonal bands from (x1, y1) to (x2, y2).
Shape falling(int x1, int y1, int x2, int y2, int S, int h) {
    return {{x1, y1}, {x1 + h, y1}, {x2, y2 - S}, {x2, y2}, {x2 - h, y2}, {x1, y1 + S}};
}
Shape rising(int x1, int y1, int x2, int y2, int S, int h) {
    return {{x1, y1}, {x1, y1 - S}, {x2 - h, y2}, {x2, y2}, {x2, y2 + S}, {x1 + h, y1}};
}

std::vector<Shape> sevenSegments(int W, int H, int M, int S) {
    const int h = S / 2;
    const int Lh = W - 2 * M - S;
    const int Lv = H / 2 - S - h - M;
    return {
        bar(M + h, M, Lh, S, h),                  // 0 top
        bar(M + h, H / 2 - h, Lh, S, h),          // 1 middle
        bar(M + h, H - M - S, Lh, S, h),          // 2 bottom
        bar(M, M + S, S, Lv, h),                  // 3 upper left
        bar(W - M - S, M + S, S, Lv, h),          // 4 upper right
        bar(M, H / 2 + h, S, Lv, h),              // 5 lower left
        bar(W - M - S, H / 2 + h, S, Lv, h),      // 6 lower right
    };
}

std::vector<Shape> sixteenSegments(int W, int H, int M, int S) {
    const int h = S / 2;
    const int Lh = W / 2 - M - S;
    const int Lv = H / 2 - S - M;
    const int cx = W / 2, cy = H / 2;
    return {
        edgeDown(M + h, M, Lh, S),                                   // 0 top left
        edgeDown(cx + h, M, Lh, S),                                  // 1 top right
        edgeRight(M, M + h, Lv, S),                                  // 2 upper left outer
        falling(M + S + h, M + S + h, cx - S, cy - S, S, h),         // 3 upper left diagonal
        bar(cx - h, M + h, S, Lv, h),                                // 4 upper centre
        rising(cx + S, cy - S, W - M - S - h, M + S + h, S, h),      // 5 upper right diagonal
        edgeLeft(W - M - S, M + h, Lv, S),                           // 6 upper right outer
        bar(M + h, cy - h, Lh, S, h),                                // 7 middle left
        bar(cx + h, cy - h, Lh, S, h),                               // 8 middle right
        edgeRight(M, cy + h, Lv, S),                                 // 9 lower left outer
        rising(M + S + h, H - M - S - h, cx - S, cy + S, S, h),      // 10 lower left diagonal
        bar(cx - h, cy + h, S, Lv, h),                               // 11 lower centre
        falling(cx + S, cy + S, W - M - S - h, H - M - S - h, S, h), // 12 lower right diagonal
        edgeLeft(W - M - S, cy + h, Lv, S),                          // 13 lower right outer
        edgeUp(M + h, H - M - S, Lh, S),                             // 14 bottom left
        edgeUp(cx + h, H - M - S, Lh, S),                            // 15 bottom right
    };
}

std::vector<Shape> dots(int W, int H, int M, int S) {
    std::vector<Shape> out;
    out.reserve(35);
    for (int row = 0; row < 7; ++row)
        for (int col = 0; col < 5; ++col) {
            const QPoint p = TDisplay::dotTopLeft(W, H, M, S, col, row);
            out.push_back({p, {p.x() + S, p.y()}, {p.x() + S, p.y() + S}, {p.x(), p.y() + S}});
        }
    return out;
}

}  // namespace

TDisplay::TDisplay(QWidget* parent) : QWidget(parent) {
    resize(120, 200);
}

QPoint TDisplay::dotTopLeft(int W, int H, int M, int S, int col, int row) {
    const int gx = (W - 2 * M - 5 * S) / 4;
    const int gy = (H - 2 * M - 7 * S) / 6;
    return {M + col * (S + gx), M + row * (S + gy)};
}

std::vector<std::vector<QPoint>> TDisplay::segmentShapes(TDigitStyle style, int W, int H, int M, int S) {
    W = std::clamp(W, 0, QWIDGETSIZE_MAX);
    H = std::clamp(H, 0, QWIDGETSIZE_MAX);
    M = std::clamp(M, -kMaxExtent, kMaxExtent);
    S = std::clamp(S, -kMaxExtent, kMaxExtent);
    switch (style) {
    case TDigitStyle::ds7Seg: return sevenSegments(W, H, M, S);
    case TDigitStyle::ds16Seg: return sixteenSegments(W, H, M, S);
    case TDigitStyle::ds5x7Dot:
    case TDigitStyle::ds5x7Bulb: return dots(W, H, M, S);
    }
    return {};
}

unsigned long long TDisplay::litMask(TDigitStyle style, char c) {
    const auto code = static_cast<unsigned char>(c);
    switch (style) {
    case TDigitStyle::ds7Seg: return vek::recwidgets::sevenSegmentCode(code);
    case TDigitStyle::ds16Seg: return vek::recwidgets::sixteenSegmentCode(code);
    case TDigitStyle::ds5x7Dot:
    case TDigitStyle::ds5x7Bulb: {
        unsigned long long mask = 0;
        const auto rows = vek::recwidgets::dotMatrixRows(code);
        for (int row = 0; row < 7; ++row)
            for (int col = 0; col < 5; ++col)
                if (rows[std::size_t(row)] & (0x10u >> col)) mask |= 1ull << (5 * row + col);
        return mask;
    }
    }
    return 0;
}

void TDisplay::geometryChanged() {
    m_geomW = -1;
    m_geomH = -1;
    ensureGeometry();
    update();
}

void TDisplay::ensureGeometry() const {
    if (m_geomW == width() && m_geomH == height()) return;
    m_shapes = segmentShapes(m_digitStyle, width(), height(), m_margin, m_segWidth);
    m_geomW = width();
    m_geomH = height();
}

void TDisplay::setDigit(char c) {
    if (c == m_digit) return;
    m_digit = c;
    update();
}

void TDisplay::setOnColor(ColorRef c) {
    if (c == m_onColor) return;
    m_onColor = c;
    update();
}

void TDisplay::setOffColor(ColorRef c) {
    if (c == m_offColor) return;
    m_offColor = c;
    update();
}

void TDisplay::setBackColor(ColorRef c) {
    if (c == m_backColor) return;
    m_backColor = c;
    update();
}

void TDisplay::setSegWidth(int s) {
    if (s == m_segWidth) return;
    m_segWidth = s;
    geometryChanged();
}

void TDisplay::setMargin(int m) {
    if (m == m_margin) return;
    m_margin = m;
    geometryChanged();
}

void TDisplay::setDigitStyle(TDigitStyle s) {
    if (s == m_digitStyle) return;
    m_digitStyle = s;
    geometryChanged();
}

void TDisplay::setPenOnColor(ColorRef c) {
    if (c == m_penOnColor) return;
    m_penOnColor = c;
    update();
}

void TDisplay::setPenOffColor(ColorRef c) {
    if (c == m_penOffColor) return;
    m_penOffColor = c;
    update();
}

QImage TDisplay::composeCell() const {
    ensureGeometry();
    const int bw = width() - 2, bh = height() - 2;
    if (bw <= 0 || bh <= 0) return {};
    QImage img(bw, bh, QImage::Format_RGB32);
    if (img.isNull()) return {};
    img.fill(toQRgb(m_backColor));

    const unsigned long long lit = litMask(m_digitStyle, m_digit);
    const QRgb on = toQRgb(m_onColor), off = toQRgb(m_offColor);
    const QRgb penOn = toQRgb(m_penOnColor), penOff = toQRgb(m_penOffColor);
    const int S = std::clamp(m_segWidth, -kMaxExtent, kMaxExtent);
    for (std::size_t i = 0; i < m_shapes.size(); ++i) {
        const bool isLit = (lit >> i) & 1u;
        const QRgb fill = isLit ? on : off, pen = isLit ? penOn : penOff;
        const Shape& s = m_shapes[i];
        switch (m_digitStyle) {
        case TDigitStyle::ds7Seg:
        case TDigitStyle::ds16Seg: drawPolygon(img, s, fill, pen); break;
        case TDigitStyle::ds5x7Dot: drawBox(img, s[0].x(), s[0].y(), S, S, fill, pen); break;
        case TDigitStyle::ds5x7Bulb: drawEllipse(img, s[0].x(), s[0].y(), S, S, fill, pen); break;
        }
    }
    return img;
}

QImage TDisplay::render() const {
    QImage out(std::max(width(), 0), std::max(height(), 0), QImage::Format_ARGB32_Premultiplied);
    if (out.isNull()) return out;
    out.fill(Qt::transparent);
    const QImage cell = composeCell();
    if (!cell.isNull()) {
        QPainter p(&out);
        p.drawImage(1, 1, cell);
    }
    return out;
}

void TDisplay::paintEvent(QPaintEvent*) {
    const QImage cell = composeCell();
    ++m_paintCount;
    if (cell.isNull()) return;
    QPainter p(this);
    p.drawImage(1, 1, cell);
}
