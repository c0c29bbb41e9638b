// Colours of the display widgets: 0x00BBGGRR values, red in the low byte.
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QRgb>

#include <cstdint>

using ColorRef = std::uint32_t;

// Red, green and blue of a colour value; the top byte is ignored.
QColor toQColor(ColorRef c);
// The same colour as an opaque 0xAARRGGBB pixel value of QImage.
QRgb toQRgb(ColorRef c);
// The colour value of a QColor (alpha dropped).
ColorRef fromQColor(const QColor& c);
// The colour value of red, green and blue bytes.
constexpr ColorRef rgbColor(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    return ColorRef(r) | (ColorRef(g) << 8) | (ColorRef(b) << 16);
}
