// Character tables of the display cells.
//
// Seven segments, bit by bit: 0 top, 1 middle, 2 bottom, 3 upper left,
// 4 upper right, 5 lower left, 6 lower right.
// Sixteen segments: 0 top left, 1 top right, 2 upper left outer, 3 upper left
// diagonal, 4 upper centre, 5 upper right diagonal, 6 upper right outer,
// 7 middle left, 8 middle right, 9 lower left outer, 10 lower left diagonal,
// 11 lower centre, 12 lower right diagonal, 13 lower right outer, 14 bottom
// left, 15 bottom right.
// 5 x 7 dots: seven rows from top to bottom, bit 4 the leftmost column and
// bit 0 the rightmost.
//
// The tables cover the codes 0..127. Codes of 128 and above have no entry and
// come back blank (no segment, no dot), so such a cell shows all unlit.
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>

namespace vek::recwidgets {

// Seven-segment word of a character code: the digits have their forms, every
// other code below 128 shows the middle bar alone (0x02).
std::uint16_t sevenSegmentCode(unsigned char c);
// Sixteen-segment word of a character code: a form for every printable ASCII
// character, 0 for the control codes and for 128 and above.
std::uint16_t sixteenSegmentCode(unsigned char c);
// The seven rows of the 5 x 7 glyph of a character code.
std::array<std::uint8_t, 7> dotMatrixRows(unsigned char c);

}  // namespace vek::recwidgets
