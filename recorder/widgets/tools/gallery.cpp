// Renders the display widgets into one PNG for a look at the glyphs: every
// printable ASCII character as 5 x 7 dots (the clock cells and a larger
// size), as sixteen and as seven segments, the clock "12:34:56", meters
// at several levels and the position bar. Usage: vek_recwidgets_gallery OUT.png
// SPDX-License-Identifier: GPL-3.0-or-later
#include "vek/recwidgets/dbmeter.hpp"
#include "vek/recwidgets/display.hpp"
#include "vek/recwidgets/mousebar.hpp"

#include <QApplication>
#include <QPainter>

#include <cstdio>

namespace {

constexpr ColorRef kMaroon = 0x000080;
constexpr ColorRef kWhite = 0xFFFFFF;

void cellRow(QPainter& p, int x, int y, const QByteArray& text, TDigitStyle style, int w, int h, int margin,
             int seg, ColorRef on, ColorRef off, ColorRef penOn, ColorRef penOff) {
    TDisplay cell;
    cell.resize(w, h);
    cell.setDigitStyle(style);
    cell.setMargin(margin);
    cell.setSegWidth(seg);
    cell.setOnColor(on);
    cell.setOffColor(off);
    cell.setPenOnColor(penOn);
    cell.setPenOffColor(penOff);
    for (int i = 0; i < text.size(); ++i) {
        cell.setDigit(text[i]);
        p.drawImage(x + i * w, y, cell.render());
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUT.png\n", argv[0]);
        return 2;
    }
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    QByteArray all;
    for (int c = 0x20; c <= 0x7E; ++c) all.append(char(c));
    const int perLine = 32;

    QImage out(perLine * 42 + 20, 1300, QImage::Format_RGB32);
    out.fill(qRgb(0, 0, 0));
    QPainter p(&out);
    int y = 10;
    // The clock cells of the recorder window, then the same font twice as big.
    for (int at = 0; at < all.size(); at += perLine, y += 27)
        cellRow(p, 10, y, all.mid(at, perLine), TDigitStyle::ds5x7Dot, 21, 27, 2, 3, kWhite, kMaroon, 0, 0);
    y += 10;
    cellRow(p, 10, y, "12:34:56", TDigitStyle::ds5x7Dot, 21, 27, 2, 3, kWhite, kMaroon, 0, 0);
    cellRow(p, 10 + 9 * 21, y, "-1:00:09", TDigitStyle::ds5x7Dot, 21, 27, 2, 3, 0xC0C0C0, kMaroon, 0, 0);
    y += 37;
    for (int at = 0; at < all.size(); at += perLine, y += 54)
        cellRow(p, 10, y, all.mid(at, perLine), TDigitStyle::ds5x7Dot, 42, 54, 4, 6, kWhite, kMaroon,
                kWhite, kMaroon);
    y += 10;
    for (int at = 0; at < all.size(); at += perLine, y += 54)
        cellRow(p, 10, y, all.mid(at, perLine), TDigitStyle::ds5x7Bulb, 42, 54, 4, 6, 0x00FFFF, 0x002020,
                0x00FFFF, 0x002020);
    y += 10;
    // Sixteen segments, lit in red on dark grey.
    for (int at = 0; at < all.size(); at += perLine, y += 64)
        cellRow(p, 10, y, all.mid(at, perLine), TDigitStyle::ds16Seg, 42, 64, 4, 4, 0x0000FF, 0x202020, 0x0000FF,
                0x202020);
    y += 10;
    cellRow(p, 10, y, "0123456789:- ", TDigitStyle::ds7Seg, 42, 64, 4, 6, 0x00FF00, 0x203020, 0, 0);
    cellRow(p, 10 + 14 * 42, y, "08", TDigitStyle::ds7Seg, 120, 200, 10, 15, 0x0000FF, 0x808080, 0, 0);
    y += 210;

    // The recorder's meter at rising levels, then the stock meter, a mirrored
    // and a vertical one.
    Tdbmeter meter;
    meter.resize(250, 7);
    meter.setGreenBack(0);
    meter.setYellowBack(0);
    meter.setRedBack(0);
    meter.setGreens(14);
    meter.setYellows(7);
    meter.setReds(4);
    meter.setGreenMax(56);
    meter.setYellowMax(28);
    meter.setRedMax(16);
    meter.setSepColor(0x808080);
    const int levels[] = {0, 1, 30, 56, 57, 84, 90, 100};
    for (int i = 0; i < 8; ++i) {
        meter.setPosition(levels[i]);
        p.drawImage(10 + (i % 2) * 270, y + (i / 2) * 14, meter.render());
    }
    y += 4 * 14 + 6;
    Tdbmeter stock;
    stock.setPosition(60);
    p.drawImage(10, y, stock.render());
    stock.setDirection(Tdbmeterdirection::ddLeftUp);
    p.drawImage(100, y, stock.render());
    Tdbmeter tall;
    tall.resize(17, 80);
    tall.setStyle(Tdbmeterstyle::dsVertical);
    tall.setPosition(85);
    tall.setBevelStyle(TPanelBevel::bvRaised);
    tall.setBevelWidth(2);
    p.drawImage(200, y, tall.render());
    tall.setDirection(Tdbmeterdirection::ddLeftUp);
    p.drawImage(230, y, tall.render());

    // The recorder's position bar, at the start and part way, enabled and
    // disabled, on the window's background.
    TMousebar bar;
    bar.resize(246, 18);
    bar.setRange(0, 32760);
    bar.setTickInterval(1638);
    bar.setPageStep(0);
    const int barPositions[] = {0, 12000, 32760};
    for (int i = 0; i < 3; ++i) {
        bar.setPosition(barPositions[i]);
        bar.setEnabled(i != 2);
        p.drawPixmap(300, y + i * 24, bar.grab());
    }
    p.end();

    if (!out.copy(0, 0, out.width(), y + 100).save(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
