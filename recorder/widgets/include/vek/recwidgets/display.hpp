// One character cell of a device-like display: seven segments, sixteen
// segments or a 5 x 7 dot matrix (square dots or round bulbs).
//
// The picture is composed in an off-screen image of (W - 2) x (H - 2) pixels
// and copied onto the control at (1, 1) in one step; the one-pixel ring
// around it is not painted, so the parent shows there. Every segment or dot
// is always drawn: lit ones in the on colours, the others in the off colours.
// The geometry (the corner points of every segment or dot) is computed from
// the control's size W x H, the margin M and the segment width S, and cached
// until one of them changes.
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "vek/recwidgets/colorref.hpp"

#include <QImage>
#include <QPoint>
#include <QWidget>

#include <vector>

enum class TDigitStyle { ds7Seg, ds16Seg, ds5x7Dot, ds5x7Bulb };

class TDisplay : public QWidget {
    Q_OBJECT
public:
    using TDigitStyle = ::TDigitStyle;

    explicit TDisplay(QWidget* parent = nullptr);

    // Setters ignore a value equal to the current one (no repaint).
    void setDigit(char c);
    char digit() const { return m_digit; }
    void setOnColor(ColorRef c);
    ColorRef onColor() const { return m_onColor; }
    void setOffColor(ColorRef c);
    ColorRef offColor() const { return m_offColor; }
    void setBackColor(ColorRef c);
    ColorRef backColor() const { return m_backColor; }
    void setSegWidth(int s);
    int segWidth() const { return m_segWidth; }
    void setMargin(int m);
    int margin() const { return m_margin; }
    void setDigitStyle(TDigitStyle s);
    TDigitStyle digitStyle() const { return m_digitStyle; }
    void setPenOnColor(ColorRef c);
    ColorRef penOnColor() const { return m_penOnColor; }
    void setPenOffColor(ColorRef c);
    ColorRef penOffColor() const { return m_penOffColor; }

    // The picture of the whole control exactly as painted (ARGB; the ring
    // outside the copied image is transparent).
    QImage render() const;
    // The off-screen image alone, (W - 2) x (H - 2), in its own coordinates.
    QImage composeCell() const;

    // Top-left corner of the dot in column col (0..4) and row row (0..6) of a
    // W x H cell with margin M and dot size S, in off-screen coordinates.
    static QPoint dotTopLeft(int W, int H, int M, int S, int col, int row);
    // The corner points of every segment of a style (16 or 7 entries, by bit;
    // 35 dots, row by row, as their four box corners), in off-screen
    // coordinates.
    static std::vector<std::vector<QPoint>> segmentShapes(TDigitStyle style, int W, int H, int M, int S);
    // The lit-segment word of a character in a style: bit i lights segment i
    // (dots: bit 5 * row + column).
    static unsigned long long litMask(TDigitStyle style, char c);

    // How many times the off-screen picture has been composed for painting;
    // unchanged values must not add to it.
    int paintCount() const { return m_paintCount; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void geometryChanged();
    void ensureGeometry() const;

    char m_digit = 0;
    ColorRef m_onColor = 0x0000FF;
    ColorRef m_offColor = 0x808080;
    ColorRef m_backColor = 0;
    int m_segWidth = 15;
    int m_margin = 10;
    TDigitStyle m_digitStyle = TDigitStyle::ds7Seg;
    ColorRef m_penOnColor = 0;
    ColorRef m_penOffColor = 0;

    // Cached geometry and the size it was computed for.
    mutable std::vector<std::vector<QPoint>> m_shapes;
    mutable int m_geomW = -1;
    mutable int m_geomH = -1;
    int m_paintCount = 0;
};
