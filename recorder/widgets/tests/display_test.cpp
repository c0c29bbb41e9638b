// The character cell: dot and segment geometry read back from the rendered
// pixels, the character tables as painted, blank cells for codes the tables
// do not cover, and repaints only on real changes.
// SPDX-License-Identifier: GPL-3.0-or-later
#include "vek/recwidgets/display.hpp"
#include "vek/recwidgets/glyphs.hpp"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>

#include <set>
#include <string>
#include <vector>

using namespace vek::recwidgets;

namespace {

constexpr ColorRef kOn = 0x0000FF;       // red
constexpr ColorRef kOff = 0x00FF00;      // green
constexpr ColorRef kBack = 0x400000;     // dark blue
constexpr ColorRef kPenOn = 0xFFFF00;    // cyan
constexpr ColorRef kPenOff = 0x00FFFF;   // yellow

// A cell with five distinct colours, so every pixel tells what painted it.
void paintDistinct(TDisplay& d, TDigitStyle style, int w, int h, int margin, int seg) {
    d.resize(w, h);
    d.setDigitStyle(style);
    d.setMargin(margin);
    d.setSegWidth(seg);
    d.setOnColor(kOn);
    d.setOffColor(kOff);
    d.setBackColor(kBack);
    d.setPenOnColor(kPenOn);
    d.setPenOffColor(kPenOff);
}

// The same, outlines in the fill colours: a segment is one colour throughout.
void paintSolid(TDisplay& d, TDigitStyle style, int w, int h, int margin, int seg) {
    paintDistinct(d, style, w, h, margin, seg);
    d.setPenOnColor(kOn);
    d.setPenOffColor(kOff);
}

// Pixel of the rendered control at a point of the off-screen cell image,
// which is copied to (1, 1).
QRgb cellPixel(const QImage& img, int x, int y) { return img.pixel(x + 1, y + 1); }

// Probe points inside each seven-segment box, from the layout: the centre of
// each bar's box.
std::vector<QPoint> sevenProbes(int W, int H, int M, int S) {
    const int h = S / 2, Lh = W - 2 * M - S, Lv = H / 2 - S - h - M;
    auto c = [](int x, int y, int w, int l) { return QPoint(x + w / 2, y + l / 2); };
    return {c(M + h, M, Lh, S),           c(M + h, H / 2 - h, Lh, S),     c(M + h, H - M - S, Lh, S),
            c(M, M + S, S, Lv),           c(W - M - S, M + S, S, Lv),     c(M, H / 2 + h, S, Lv),
            c(W - M - S, H / 2 + h, S, Lv)};
}

// Probe points of the sixteen segments: the middle of each bar's box, or the
// middle of each diagonal's two end points.
std::vector<QPoint> sixteenProbes(int W, int H, int M, int S) {
    const int h = S / 2, Lh = W / 2 - M - S, Lv = H / 2 - S - M, cx = W / 2, cy = H / 2;
    auto box = [](int x, int y, int w, int l) { return QPoint(x + w / 2, y + l / 2); };
    auto mid = [](int x1, int y1, int x2, int y2) { return QPoint((x1 + x2) / 2, (y1 + y2) / 2); };
    return {box(M + h, M, Lh, S),
            box(cx + h, M, Lh, S),
            box(M, M + h, S, Lv),
            mid(M + S + h, M + S + h, cx - S, cy - S),
            box(cx - h, M + h, S, Lv),
            mid(cx + S, cy - S, W - M - S - h, M + S + h),
            box(W - M - S, M + h, S, Lv),
            box(M + h, cy - h, Lh, S),
            box(cx + h, cy - h, Lh, S),
            box(M, cy + h, S, Lv),
            mid(M + S + h, H - M - S - h, cx - S, cy + S),
            box(cx - h, cy + h, S, Lv),
            mid(cx + S, cy + S, W - M - S - h, H - M - S - h),
            box(W - M - S, cy + h, S, Lv),
            box(M + h, H - M - S, Lh, S),
            box(cx + h, H - M - S, Lh, S)};
}

// Which probes show the on colour; fails on a probe showing neither colour.
unsigned readSegments(const QImage& img, const std::vector<QPoint>& probes) {
    unsigned bits = 0;
    for (std::size_t i = 0; i < probes.size(); ++i) {
        const QRgb px = cellPixel(img, probes[i].x(), probes[i].y());
        EXPECT_TRUE(px == toQRgb(kOn) || px == toQRgb(kOff))
            << "segment " << i << " at " << probes[i].x() << "," << probes[i].y() << " shows " << std::hex << px;
        if (px == toQRgb(kOn)) bits |= 1u << i;
    }
    return bits;
}

// The 5 x 7 dots read from the centre pixel of each dot, as rows of '#' and
// '.'.
std::vector<std::string> readDots(const QImage& img, int W, int H, int M, int S) {
    std::vector<std::string> rows;
    for (int row = 0; row < 7; ++row) {
        std::string line;
        for (int col = 0; col < 5; ++col) {
            const QPoint p = TDisplay::dotTopLeft(W, H, M, S, col, row);
            const QRgb px = cellPixel(img, p.x() + S / 2, p.y() + S / 2);
            EXPECT_TRUE(px == toQRgb(kOn) || px == toQRgb(kOff)) << "dot " << col << "," << row;
            line += px == toQRgb(kOn) ? '#' : '.';
        }
        rows.push_back(line);
    }
    return rows;
}

}  // namespace

TEST(DisplayDefaults, PropertiesAndSize) {
    TDisplay d;
    EXPECT_EQ(d.size(), QSize(120, 200));
    EXPECT_EQ(d.digit(), 0);
    EXPECT_EQ(d.onColor(), 0x0000FFu);
    EXPECT_EQ(d.offColor(), 0x808080u);
    EXPECT_EQ(d.backColor(), 0u);
    EXPECT_EQ(d.segWidth(), 15);
    EXPECT_EQ(d.margin(), 10);
    EXPECT_EQ(d.digitStyle(), TDigitStyle::ds7Seg);
    EXPECT_EQ(d.penOnColor(), 0u);
    EXPECT_EQ(d.penOffColor(), 0u);
    EXPECT_EQ(toQColor(0x00336699), QColor(0x99, 0x66, 0x33));
    EXPECT_EQ(fromQColor(QColor(0x99, 0x66, 0x33)), 0x00336699u);
}

TEST(DisplayDots, ClockCellGeometry) {
    // The recorder's clock cell: 21 x 27, margin 2, dots of 3: no gaps, the
    // 35 dots make one 15 x 21 block from (2, 2) of the cell image.
    EXPECT_EQ(TDisplay::dotTopLeft(21, 27, 2, 3, 4, 6), QPoint(14, 20));
    EXPECT_EQ(TDisplay::dotTopLeft(21, 27, 2, 3, 0, 0), QPoint(2, 2));

    TDisplay d;
    paintDistinct(d, TDigitStyle::ds5x7Dot, 21, 27, 2, 3);
    d.setDigit('8');
    const QImage img = d.render();
    ASSERT_EQ(img.size(), QSize(21, 27));
    // Dot (4, 6) of "8" is unlit: its 3 x 3 square is outlined in the off
    // pen with the off colour in the middle; (17, 20) is background again.
    for (int y = 20; y < 23; ++y)
        for (int x = 14; x < 17; ++x)
            EXPECT_EQ(cellPixel(img, x, y), x == 15 && y == 21 ? toQRgb(kOff) : toQRgb(kPenOff)) << x << "," << y;
    EXPECT_EQ(cellPixel(img, 17, 20), toQRgb(kBack));
    EXPECT_EQ(cellPixel(img, 14, 23), toQRgb(kBack));
    // Dot (1, 0) of "8" is lit.
    EXPECT_EQ(cellPixel(img, 5, 2), toQRgb(kPenOn));
    EXPECT_EQ(cellPixel(img, 6, 3), toQRgb(kOn));
    // The block is solid, the rest of the 19 x 25 cell image background, and
    // the ring outside it left for the parent.
    for (int y = 0; y < 25; ++y)
        for (int x = 0; x < 19; ++x) {
            const bool inBlock = x >= 2 && x < 17 && y >= 2 && y < 23;
            EXPECT_EQ(cellPixel(img, x, y) == toQRgb(kBack), !inBlock) << x << "," << y;
        }
    for (int x = 0; x < 21; ++x) {
        EXPECT_EQ(qAlpha(img.pixel(x, 0)), 0);
        EXPECT_EQ(qAlpha(img.pixel(x, 26)), 0);
    }
    for (int y = 0; y < 27; ++y) {
        EXPECT_EQ(qAlpha(img.pixel(0, y)), 0);
        EXPECT_EQ(qAlpha(img.pixel(20, y)), 0);
    }
}

TEST(DisplayDots, GapsAndResize) {
    // 50 x 70, margin 5, dots of 4: gaps (50-10-20) div 4 = 5 and
    // (70-10-28) div 6 = 5, so dot (2, 3) lies at (23, 32).
    EXPECT_EQ(TDisplay::dotTopLeft(50, 70, 5, 4, 2, 3), QPoint(23, 32));
    TDisplay d;
    paintDistinct(d, TDigitStyle::ds5x7Dot, 50, 70, 5, 4);
    d.setDigit(' ');
    QImage img = d.render();
    EXPECT_EQ(cellPixel(img, 23, 32), toQRgb(kPenOff));
    EXPECT_EQ(cellPixel(img, 22, 32), toQRgb(kBack));
    EXPECT_EQ(cellPixel(img, 27, 32), toQRgb(kBack));
    EXPECT_EQ(cellPixel(img, 23, 31), toQRgb(kBack));
    // A new size moves the dots at the next paint: 60 x 70 gives gaps of 7.
    d.resize(60, 70);
    img = d.render();
    EXPECT_EQ(TDisplay::dotTopLeft(60, 70, 5, 4, 2, 3), QPoint(27, 32));
    EXPECT_EQ(cellPixel(img, 27, 32), toQRgb(kPenOff));
    EXPECT_EQ(cellPixel(img, 23, 32), toQRgb(kBack));
    // So does a new dot size.
    d.setSegWidth(2);
    img = d.render();
    const QPoint p = TDisplay::dotTopLeft(60, 70, 5, 2, 4, 6);
    EXPECT_EQ(p, QPoint(5 + 4 * (2 + 10), 5 + 6 * (2 + 7)));
    EXPECT_EQ(cellPixel(img, p.x() + 1, p.y() + 1), toQRgb(kPenOff));
    EXPECT_EQ(cellPixel(img, p.x() + 2, p.y() + 2), toQRgb(kBack));
}

TEST(DisplayDots, GlyphShapes) {
    TDisplay d;
    paintSolid(d, TDigitStyle::ds5x7Dot, 21, 27, 2, 3);
    d.setDigit('A');
    EXPECT_EQ(readDots(d.render(), 21, 27, 2, 3),
              (std::vector<std::string>{".###.", "#...#", "#...#", "#...#", "#####", "#...#", "#...#"}));
    d.setDigit('4');
    EXPECT_EQ(readDots(d.render(), 21, 27, 2, 3),
              (std::vector<std::string>{"...#.", "..##.", ".#.#.", "#..#.", "#####", "...#.", "...#."}));
    d.setDigit(':');
    EXPECT_EQ(readDots(d.render(), 21, 27, 2, 3),
              (std::vector<std::string>{".....", ".##..", ".##..", ".....", ".##..", ".##..", "....."}));
    d.setDigit('g');
    EXPECT_EQ(readDots(d.render(), 21, 27, 2, 3),
              (std::vector<std::string>{".....", ".####", "#...#", "#...#", ".####", "....#", ".###."}));
    d.setDigit('/');
    EXPECT_EQ(readDots(d.render(), 21, 27, 2, 3),
              (std::vector<std::string>{".....", "....#", "...#.", "..#..", ".#...", "#....", "....."}));
}

TEST(DisplayDots, FontCoversPrintableAscii) {
    // Every printable character but the space has dots, no two share a
    // glyph, and the rest of the codes are blank.
    std::set<std::array<std::uint8_t, 7>> seen;
    for (int c = 0x21; c <= 0x7E; ++c) {
        const auto rows = dotMatrixRows(static_cast<unsigned char>(c));
        bool any = false;
        for (std::uint8_t r : rows) {
            EXPECT_EQ(r & ~0x1Fu, 0u) << "code " << c;
            any = any || r != 0;
        }
        EXPECT_TRUE(any) << "code " << c;
        EXPECT_TRUE(seen.insert(rows).second) << "code " << c << " repeats a glyph";
    }
    const std::array<std::uint8_t, 7> blank{};
    EXPECT_EQ(dotMatrixRows(' '), blank);
    for (int c : {0, 1, 10, 31, 127, 128, 200, 255}) EXPECT_EQ(dotMatrixRows(static_cast<unsigned char>(c)), blank);
}

TEST(DisplayDots, BulbsAreRound) {
    TDisplay d;
    paintDistinct(d, TDigitStyle::ds5x7Bulb, 80, 100, 4, 9);
    d.setDigit('8');
    const QImage img = d.render();
    const QPoint p = TDisplay::dotTopLeft(80, 100, 4, 9, 1, 0);  // lit in "8"
    EXPECT_EQ(cellPixel(img, p.x(), p.y()), toQRgb(kBack));          // corner outside the circle
    EXPECT_EQ(cellPixel(img, p.x() + 8, p.y() + 8), toQRgb(kBack));
    EXPECT_EQ(cellPixel(img, p.x() + 4, p.y()), toQRgb(kPenOn));     // top of the circle
    EXPECT_EQ(cellPixel(img, p.x() + 4, p.y() + 4), toQRgb(kOn));    // inside
    const QPoint q = TDisplay::dotTopLeft(80, 100, 4, 9, 0, 0);  // unlit in "8"
    EXPECT_EQ(cellPixel(img, q.x() + 4, q.y() + 4), toQRgb(kOff));
}

TEST(DisplaySevenSegments, OneAndEight) {
    TDisplay d;
    paintSolid(d, TDigitStyle::ds7Seg, 120, 200, 10, 15);
    const auto probes = sevenProbes(120, 200, 10, 15);
    d.setDigit('1');
    // Exactly the upper and lower right-hand segments.
    EXPECT_EQ(readSegments(d.render(), probes), (1u << 4) | (1u << 6));
    d.setDigit('8');
    EXPECT_EQ(readSegments(d.render(), probes), 0x7Fu);
    // "0" has no middle bar, "-" nothing else.
    d.setDigit('0');
    EXPECT_EQ(readSegments(d.render(), probes), 0x7Fu & ~0x02u);
    d.setDigit('-');
    EXPECT_EQ(readSegments(d.render(), probes), 0x02u);
}

TEST(DisplaySevenSegments, PaintedAsTabled) {
    TDisplay d;
    paintSolid(d, TDigitStyle::ds7Seg, 60, 100, 5, 8);
    const auto probes = sevenProbes(60, 100, 5, 8);
    for (int c = 1; c < 256; ++c) {
        d.setDigit(static_cast<char>(c));
        const unsigned expected = c >= 128 ? 0u : (c >= '0' && c <= '9') ? sevenSegmentCode(c) : 0x02u;
        EXPECT_EQ(sevenSegmentCode(static_cast<unsigned char>(c)), expected) << "code " << c;
        EXPECT_EQ(readSegments(d.render(), probes), expected) << "code " << c;
    }
    // The digits' forms are pairwise different.
    std::set<std::uint16_t> forms;
    for (char c = '0'; c <= '9'; ++c) forms.insert(sevenSegmentCode(static_cast<unsigned char>(c)));
    EXPECT_EQ(forms.size(), 10u);
}

TEST(DisplaySevenSegments, TopBarPixels) {
    // Default cell: the top bar is the hexagon (17,17) (24,10) (95,10)
    // (102,17) (95,25) (24,25), outlined in the pen colour.
    TDisplay d;
    paintDistinct(d, TDigitStyle::ds7Seg, 120, 200, 10, 15);
    d.setDigit('7');  // top bar lit
    const QImage img = d.render();
    EXPECT_EQ(cellPixel(img, 24, 10), toQRgb(kPenOn));
    EXPECT_EQ(cellPixel(img, 95, 10), toQRgb(kPenOn));
    EXPECT_EQ(cellPixel(img, 60, 10), toQRgb(kPenOn));
    EXPECT_EQ(cellPixel(img, 60, 25), toQRgb(kPenOn));
    EXPECT_EQ(cellPixel(img, 17, 17), toQRgb(kPenOn));
    EXPECT_EQ(cellPixel(img, 102, 17), toQRgb(kPenOn));
    EXPECT_EQ(cellPixel(img, 60, 17), toQRgb(kOn));
    EXPECT_EQ(cellPixel(img, 20, 17), toQRgb(kOn));
    EXPECT_EQ(cellPixel(img, 60, 9), toQRgb(kBack));
    EXPECT_EQ(cellPixel(img, 60, 26), toQRgb(kBack));
    EXPECT_EQ(cellPixel(img, 23, 10), toQRgb(kBack));
    EXPECT_EQ(cellPixel(img, 16, 17), toQRgb(kBack));
    EXPECT_EQ(cellPixel(img, 103, 17), toQRgb(kBack));
    // The middle bar of "7" is unlit but drawn: (17,100)..(102,100) at
    // H div 2 - h = 93.
    EXPECT_EQ(cellPixel(img, 60, 93), toQRgb(kPenOff));
    EXPECT_EQ(cellPixel(img, 60, 100), toQRgb(kOff));
}

TEST(DisplaySixteenSegments, PaintedAsTabled) {
    TDisplay d;
    paintSolid(d, TDigitStyle::ds16Seg, 80, 120, 6, 8);
    const auto probes = sixteenProbes(80, 120, 6, 8);
    for (int c = 0; c < 256; ++c) {
        d.setDigit(static_cast<char>(c));
        EXPECT_EQ(readSegments(d.render(), probes), sixteenSegmentCode(static_cast<unsigned char>(c)))
            << "code " << c;
    }
}

TEST(DisplaySixteenSegments, Table) {
    // The clock characters: narrow figures in the left half of the cell.
    EXPECT_EQ(sixteenSegmentCode('0'), 0x4A15);
    EXPECT_EQ(sixteenSegmentCode('1'), 0x0810);
    EXPECT_EQ(sixteenSegmentCode('8'), 0x4A95);
    EXPECT_EQ(sixteenSegmentCode(':'), 0x4001);
    EXPECT_EQ(sixteenSegmentCode('-'), 0x0180);
    EXPECT_EQ(sixteenSegmentCode(' '), 0x0000);
    // Every printable character other than the space shows something; the
    // letters and the digits are told apart.
    for (int c = 0x21; c <= 0x7E; ++c) EXPECT_NE(sixteenSegmentCode(static_cast<unsigned char>(c)), 0) << c;
    std::set<std::uint16_t> upper, digits;
    for (char c = 'A'; c <= 'Z'; ++c) upper.insert(sixteenSegmentCode(static_cast<unsigned char>(c)));
    for (char c = '0'; c <= '9'; ++c) digits.insert(sixteenSegmentCode(static_cast<unsigned char>(c)));
    EXPECT_EQ(upper.size(), 26u);
    EXPECT_EQ(digits.size(), 10u);
    for (int c : {0, 9, 31, 127, 128, 255}) EXPECT_EQ(sixteenSegmentCode(static_cast<unsigned char>(c)), 0) << c;
    // "A" uses the full width: both top halves, both outer sides, both
    // middle halves, no diagonal, no centre bar.
    EXPECT_EQ(sixteenSegmentCode('A'), 0x0001 | 0x0002 | 0x0004 | 0x0040 | 0x0080 | 0x0100 | 0x0200 | 0x2000);
    EXPECT_EQ(sixteenSegmentCode('X'), 0x0008 | 0x0020 | 0x0400 | 0x1000);
}

TEST(DisplayBlank, HighCodesShowAllUnlit) {
    // Codes of 128 and above have no table entry: every segment or dot is
    // drawn unlit, in every style.
    for (TDigitStyle style :
         {TDigitStyle::ds7Seg, TDigitStyle::ds16Seg, TDigitStyle::ds5x7Dot, TDigitStyle::ds5x7Bulb}) {
        TDisplay d;
        paintDistinct(d, style, 60, 90, 4, 6);
        d.setDigit(static_cast<char>(0xC4));
        const QImage img = d.render();
        int off = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x) {
                const QRgb px = img.pixel(x, y);
                EXPECT_NE(px, toQRgb(kOn)) << x << "," << y;
                EXPECT_NE(px, toQRgb(kPenOn)) << x << "," << y;
                off += px == toQRgb(kOff) || px == toQRgb(kPenOff);
            }
        EXPECT_GT(off, 100) << "the unlit segments are drawn";
        EXPECT_EQ(TDisplay::litMask(style, static_cast<char>(0x80)), 0u);
        EXPECT_EQ(TDisplay::litMask(style, static_cast<char>(0xFF)), 0u);
    }
}

TEST(DisplayRepaint, UnchangedValuesDoNotRepaint) {
    TDisplay d;
    d.resize(21, 27);
    d.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&d));
    QApplication::processEvents();
    int before = d.paintCount();
    ASSERT_GT(before, 0);

    d.setDigit(0);  // the default
    d.setOnColor(0x0000FF);
    d.setSegWidth(15);
    d.setMargin(10);
    d.setDigitStyle(TDigitStyle::ds7Seg);
    d.setPenOffColor(0);
    QApplication::processEvents();
    EXPECT_EQ(d.paintCount(), before);

    d.setDigit('5');
    QApplication::processEvents();
    EXPECT_GT(d.paintCount(), before);
    EXPECT_EQ(d.digit(), '5');
    before = d.paintCount();
    d.setDigit('5');
    QApplication::processEvents();
    EXPECT_EQ(d.paintCount(), before);
    d.setOffColor(0x000080);
    QApplication::processEvents();
    EXPECT_GT(d.paintCount(), before);
}

TEST(DisplayOddSizes, NoCrash) {
    // Cells too small for their margin, odd widths, huge and negative
    // settings: nothing to see, nothing to break.
    for (TDigitStyle style :
         {TDigitStyle::ds7Seg, TDigitStyle::ds16Seg, TDigitStyle::ds5x7Dot, TDigitStyle::ds5x7Bulb}) {
        TDisplay d;
        d.setDigitStyle(style);
        d.setDigit('8');
        for (QSize size : {QSize(0, 0), QSize(1, 1), QSize(2, 2), QSize(3, 5), QSize(7, 200)}) {
            d.resize(size);
            const QImage img = d.render();
            EXPECT_EQ(img.size(), size);
        }
        d.resize(40, 60);
        d.setMargin(-1000000000);
        d.setSegWidth(2000000000);
        EXPECT_EQ(d.render().size(), QSize(40, 60));
        d.setMargin(30);
        d.setSegWidth(-7);
        EXPECT_EQ(d.render().size(), QSize(40, 60));
    }
}
