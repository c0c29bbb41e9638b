// The level meter: the lit-cell rule with its rounding, the cells, separators
// and bevel as painted, one-cell mode, mirroring and the vertical meter.
// SPDX-License-Identifier: GPL-3.0-or-later
#include "vek/recwidgets/dbmeter.hpp"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>

#include <memory>

namespace {

constexpr QRgb kGreen = 0xFF00FF00u, kYellow = 0xFFFFFF00u, kRed = 0xFFFF0000u;
constexpr QRgb kBlack = 0xFF000000u, kGrey = 0xFF808080u, kWhite = 0xFFFFFFFFu;

// The recorder window's meter: 250 x 7, 14 green, 7 yellow and 4 red cells
// over spans of 56, 28 and 16, black unlit cells, grey separators.
std::unique_ptr<Tdbmeter> windowMeter(int w = 250, int h = 7) {
    auto m = std::make_unique<Tdbmeter>();
    m->resize(w, h);
    m->setGreenBack(0);
    m->setYellowBack(0);
    m->setRedBack(0);
    m->setGreens(14);
    m->setYellows(7);
    m->setReds(4);
    m->setGreenMax(56);
    m->setYellowMax(28);
    m->setRedMax(16);
    m->setSepColor(0x808080);
    return m;
}

QRgb zoneColour(int cell) { return cell > 21 ? kRed : cell > 14 ? kYellow : kGreen; }

// Colour of cell i (1..25) of the 250-pixel window meter, read in its middle.
QRgb cellColour(const QImage& img, int cell) { return img.pixel(10 * (cell - 1) + 4, 3); }

}  // namespace

TEST(DbmeterDefaults, Properties) {
    Tdbmeter m;
    EXPECT_EQ(m.size(), QSize(80, 17));
    EXPECT_EQ(m.bevelStyle(), TPanelBevel::bvLowered);
    EXPECT_EQ(m.bevelWidth(), 1);
    EXPECT_EQ(m.greenColor(), 0x00FF00u);
    EXPECT_EQ(m.yellowColor(), 0x00FFFFu);
    EXPECT_EQ(m.redColor(), 0x0000FFu);
    EXPECT_EQ(m.greenBack(), 0x808080u);
    EXPECT_EQ(m.greens(), 3);
    EXPECT_EQ(m.yellows(), 2);
    EXPECT_EQ(m.reds(), 1);
    EXPECT_EQ(m.greenMax(), 50);
    EXPECT_EQ(m.yellowMax(), 25);
    EXPECT_EQ(m.redMax(), 25);
    EXPECT_FALSE(m.showJustOne());
    EXPECT_EQ(m.sepWidth(), 1);
    EXPECT_EQ(m.sepColor(), 0xC0C0C0u);
    EXPECT_EQ(m.meterStyle(), Tdbmeterstyle::dsHorizontal);
    EXPECT_EQ(m.direction(), Tdbmeterdirection::ddRightDown);
    EXPECT_EQ(m.position(), 0);
}

TEST(DbmeterLitCount, WindowSettings) {
    auto m = windowMeter();
    // Four units a cell; the first cell shows for any level above zero;
    // halves round to the even neighbour (2 -> 0.5 -> 0 -> 1 cell,
    // 6 -> 1.5 -> 2, 10 -> 2.5 -> 2, 98 -> 21 + 3.5 -> 25, 94 -> 21 + 2.5).
    const std::pair<int, int> cases[] = {{0, 0},   {1, 1},   {2, 1},   {3, 1},   {6, 2},   {10, 2},
                                         {14, 4},  {55, 14}, {56, 14}, {57, 15}, {60, 15}, {62, 16},
                                         {84, 21}, {85, 22}, {94, 23}, {98, 25}, {99, 25}, {100, 25},
                                         {150, 25}, {-5, 0}};
    for (auto [pos, lit] : cases) {
        m->setPosition(pos);
        EXPECT_EQ(m->litCount(), lit) << "position " << pos;
    }
}

TEST(DbmeterLitCount, ZonesAndEdges) {
    // Stock meter: 3 / 2 / 1 cells over 50 / 25 / 25.
    EXPECT_EQ(Tdbmeter::litCountFor(3, 2, 1, 50, 25, 25, 50), 3);
    EXPECT_EQ(Tdbmeter::litCountFor(3, 2, 1, 50, 25, 25, 51), 4);   // yellow shows at once
    EXPECT_EQ(Tdbmeter::litCountFor(3, 2, 1, 50, 25, 25, 75), 5);
    EXPECT_EQ(Tdbmeter::litCountFor(3, 2, 1, 50, 25, 25, 76), 6);   // red shows at once
    EXPECT_EQ(Tdbmeter::litCountFor(3, 2, 1, 50, 25, 25, 25), 2);   // 1.5 -> 2
    // No green cells: the yellow zone starts at zero.
    EXPECT_EQ(Tdbmeter::litCountFor(0, 2, 1, 50, 25, 25, 10), 1);
    EXPECT_EQ(Tdbmeter::litCountFor(0, 2, 1, 50, 25, 25, 20), 2);   // 1.6 -> 2
    EXPECT_EQ(Tdbmeter::litCountFor(0, 2, 1, 50, 25, 25, 26), 3);
    // No red cells: past the yellow zone everything is lit.
    EXPECT_EQ(Tdbmeter::litCountFor(3, 2, 0, 50, 25, 25, 76), 5);
    // No cells at all, or spans of zero: nothing to divide by.
    EXPECT_EQ(Tdbmeter::litCountFor(0, 0, 0, 50, 25, 25, 80), 0);
    EXPECT_EQ(Tdbmeter::litCountFor(3, 2, 1, 0, 0, 0, 1), 6);
    EXPECT_EQ(Tdbmeter::litCountFor(3, 0, 0, 0, 25, 25, 1), 3);
    EXPECT_EQ(Tdbmeter::litCountFor(3, 2, 1, 50, 25, 25, 2147483647), 6);
    EXPECT_EQ(Tdbmeter::litCountFor(2147483647, 2147483647, 1, 50, 25, 25, 2147483647),
              2147483647);  // clamped to what an int can count
}

TEST(DbmeterPaint, WindowMeterCells) {
    auto m = windowMeter();
    for (int pos : {0, 1, 56, 57, 100, 150}) {
        m->setPosition(pos);
        const QImage img = m->render();
        ASSERT_EQ(img.size(), QSize(250, 7));
        const int lit = pos == 0 ? 0 : pos == 1 ? 1 : pos == 56 ? 14 : pos == 57 ? 15 : 25;
        for (int cell = 1; cell <= 25; ++cell)
            EXPECT_EQ(cellColour(img, cell), cell <= lit ? zoneColour(cell) : kBlack)
                << "position " << pos << " cell " << cell;
    }
    // Cell 15 at position 57 fills x 140..148 and rows 1..5 inside the
    // bevel; its separator is x 149.
    m->setPosition(57);
    const QImage img = m->render();
    for (int y = 1; y <= 5; ++y) {
        for (int x = 140; x <= 148; ++x) EXPECT_EQ(img.pixel(x, y), kYellow) << x << "," << y;
        EXPECT_EQ(img.pixel(149, y), kGrey);
        EXPECT_EQ(img.pixel(139, y), kGrey);
        EXPECT_EQ(img.pixel(150, y), kBlack);
    }
}

TEST(DbmeterPaint, LoweredBevel) {
    auto m = windowMeter();
    m->setPosition(100);
    const QImage img = m->render();
    // Grey top row and left column, white bottom row and right column; the
    // top row is drawn last and takes the top-right corner.
    for (int x = 0; x < 250; ++x) {
        EXPECT_EQ(img.pixel(x, 0), kGrey) << x;
        EXPECT_EQ(img.pixel(x, 6), kWhite) << x;
    }
    for (int y = 0; y <= 5; ++y) EXPECT_EQ(img.pixel(0, y), kGrey) << y;
    for (int y = 1; y <= 6; ++y) EXPECT_EQ(img.pixel(249, y), kWhite) << y;
    EXPECT_EQ(img.pixel(1, 1), kGreen);
    EXPECT_EQ(img.pixel(248, 5), kRed);  // the last cell's separator is under the bevel
    EXPECT_EQ(img.pixel(239, 5), kGrey);
}

TEST(DbmeterPaint, RaisedWideBevelAndNone) {
    Tdbmeter m;  // 80 x 17: up to 17 div 3 = 5 pixels of bevel
    m.setBevelStyle(TPanelBevel::bvRaised);
    m.setBevelWidth(2);
    EXPECT_EQ(m.bevelWidth(), 2);
    QImage img = m.render();
    for (int x = 2; x < 78; ++x) {
        EXPECT_EQ(img.pixel(x, 0), kWhite) << x;
        EXPECT_EQ(img.pixel(x, 1), kWhite) << x;
        EXPECT_EQ(img.pixel(x, 16), kGrey) << x;
        EXPECT_EQ(img.pixel(x, 15), kGrey) << x;
    }
    for (int y = 2; y < 15; ++y) {
        EXPECT_EQ(img.pixel(0, y), kWhite);
        EXPECT_EQ(img.pixel(1, y), kWhite);
        EXPECT_EQ(img.pixel(79, y), kGrey);
        EXPECT_EQ(img.pixel(78, y), kGrey);
    }
    // Left ring k runs down to H - thickness - 1 = 14: (1, 15) belongs to
    // the grey bottom ring 1.
    EXPECT_EQ(img.pixel(1, 15), kGrey);
    EXPECT_EQ(img.pixel(1, 14), kWhite);
    // Unlit cells in the stock grey, first cell from x 0 (under the bevel).
    EXPECT_EQ(img.pixel(5, 8), kGrey);

    // Widths of 0 or beyond a third of the size are stored as 1.
    m.setBevelWidth(0);
    EXPECT_EQ(m.bevelWidth(), 1);
    m.setBevelWidth(6);
    EXPECT_EQ(m.bevelWidth(), 1);
    m.setBevelWidth(5);
    EXPECT_EQ(m.bevelWidth(), 5);

    // No bevel: the cells reach the edges.
    m.setBevelStyle(TPanelBevel::bvNone);
    m.setPosition(100);
    img = m.render();
    EXPECT_EQ(img.pixel(0, 0), kGreen);
    EXPECT_EQ(img.pixel(0, 15), kGreen);
    EXPECT_EQ(img.pixel(5, 16), 0xFFC0C0C0u);  // the row left out of every cell
}

TEST(DbmeterPaint, ShowJustOne) {
    auto m = windowMeter();
    m->setShowJustOne(true);
    for (int pos : {1, 57, 100}) {
        m->setPosition(pos);
        const int lit = m->litCount();
        const QImage img = m->render();
        for (int cell = 1; cell <= 25; ++cell)
            EXPECT_EQ(cellColour(img, cell), cell == lit ? zoneColour(cell) : kBlack)
                << "position " << pos << " cell " << cell;
    }
    m->setPosition(0);
    const QImage img = m->render();
    for (int cell = 1; cell <= 25; ++cell) EXPECT_EQ(cellColour(img, cell), kBlack);
}

TEST(DbmeterPaint, CellsNoWiderThanSeparator) {
    // 25 cells in 250 pixels are 10 wide: a separator of 10 leaves no room,
    // and 25 cells in 20 pixels are less than one pixel wide.
    for (auto [w, sep] : {std::pair{250, 10}, std::pair{250, 11}, std::pair{20, 1}, std::pair{20, 0}}) {
        auto m = windowMeter(w, 7);
        m->setSepWidth(sep);
        m->setPosition(100);
        const QImage img = m->render();
        for (int y = 0; y < 7; ++y)
            for (int x = 0; x < w; ++x) {
                // White bottom and right bevel, the rest grey: the top and
                // left bevel and the separator colour everywhere inside.
                const QRgb expected = y == 6 || (x == w - 1 && y > 0) ? kWhite : kGrey;
                EXPECT_EQ(img.pixel(x, y), expected) << w << "/" << sep << " at " << x << "," << y;
            }
    }
    // One pixel less and every cell shows one column at its start.
    auto m = windowMeter();
    m->setSepWidth(9);
    m->setPosition(100);
    const QImage img = m->render();
    EXPECT_EQ(img.pixel(10, 3), kGreen);
    EXPECT_EQ(img.pixel(20, 3), kGreen);
    EXPECT_EQ(img.pixel(240, 3), kRed);
    EXPECT_EQ(img.pixel(11, 3), kGrey);
    EXPECT_EQ(img.pixel(19, 3), kGrey);
    EXPECT_EQ(img.pixel(1, 3), kGrey);
}

TEST(DbmeterPaint, MirroredMeter) {
    auto normal = windowMeter();
    auto mirrored = windowMeter();
    mirrored->setDirection(Tdbmeterdirection::ddLeftUp);
    for (int pos : {1, 57, 90}) {
        normal->setPosition(pos);
        mirrored->setPosition(pos);
        const QImage a = normal->render(), b = mirrored->render();
        // Inside the bevel the picture is the exact mirror image: cell 1 at
        // the right end.
        for (int y = 1; y <= 5; ++y)
            for (int x = 1; x <= 248; ++x) ASSERT_EQ(b.pixel(x, y), a.pixel(249 - x, y)) << pos << ": " << x << "," << y;
        EXPECT_EQ(b.pixel(245, 3), kGreen);
        EXPECT_EQ(b.pixel(4, 3), pos >= 100 ? kRed : kBlack);
        // The bevel stays where it is.
        EXPECT_EQ(b.pixel(100, 0), kGrey);
        EXPECT_EQ(b.pixel(100, 6), kWhite);
        EXPECT_EQ(b.pixel(249, 3), kWhite);
    }
}

TEST(DbmeterPaint, VerticalMeter) {
    auto m = windowMeter(7, 250);
    m->setStyle(Tdbmeterstyle::dsVertical);
    m->setBevelStyle(TPanelBevel::bvNone);
    m->setPosition(57);
    QImage img = m->render();
    // Cells run from the top, 10 pixels each, across x 0..5.
    for (int cell = 1; cell <= 25; ++cell) {
        const int y = 10 * (cell - 1) + 4;
        const QRgb expected = cell <= 15 ? zoneColour(cell) : kBlack;
        EXPECT_EQ(img.pixel(0, y), expected) << cell;
        EXPECT_EQ(img.pixel(5, y), expected) << cell;
        EXPECT_EQ(img.pixel(6, y), kGrey) << cell;  // the column left out of every cell
        EXPECT_EQ(img.pixel(3, 10 * cell - 1), kGrey) << cell;
    }
    // Upwards: cell 1 at the bottom.
    m->setDirection(Tdbmeterdirection::ddLeftUp);
    img = m->render();
    EXPECT_EQ(img.pixel(2, 245), kGreen);
    EXPECT_EQ(img.pixel(2, 249 - (10 * 14 + 4)), kYellow);  // cell 15
    EXPECT_EQ(img.pixel(2, 249 - (10 * 15 + 4)), kBlack);   // cell 16
    EXPECT_EQ(img.pixel(2, 0), kGrey);                      // the separator of cell 25
    EXPECT_EQ(img.pixel(2, 1), kBlack);
}

TEST(DbmeterRepaint, SynchronousAndOnlyOnChange) {
    auto m = windowMeter();
    m->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(m.get()));
    QApplication::processEvents();
    const int before = m->paintCount();
    // The position setter paints at once, inside the call.
    m->setPosition(40);
    EXPECT_EQ(m->paintCount(), before + 1);
    m->setPosition(40);
    m->setGreens(14);
    m->setSepColor(0x808080);
    m->setShowJustOne(false);
    EXPECT_EQ(m->paintCount(), before + 1);
    QApplication::processEvents();
    EXPECT_EQ(m->paintCount(), before + 1);
    m->setRedColor(0x0000C0);
    EXPECT_EQ(m->paintCount(), before + 2);
}

TEST(DbmeterOddSizes, NoCrash) {
    for (QSize size : {QSize(0, 0), QSize(1, 1), QSize(2, 7), QSize(3, 3), QSize(250, 1)}) {
        auto m = windowMeter(size.width(), size.height());
        m->setBevelWidth(3);
        m->setPosition(70);
        m->setSepWidth(-3);
        EXPECT_EQ(m->render().size(), size);
        m->setStyle(Tdbmeterstyle::dsVertical);
        m->setDirection(Tdbmeterdirection::ddLeftUp);
        EXPECT_EQ(m->render().size(), size);
    }
    auto m = windowMeter();
    m->setGreens(-5);
    m->setReds(2000000000);
    m->setPosition(2000000000);
    EXPECT_EQ(m->render().size(), QSize(250, 7));
}
