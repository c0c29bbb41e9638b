// SPDX-License-Identifier: GPL-3.0-or-later
#include "vek/recwidgets/colorref.hpp"

QColor toQColor(ColorRef c) {
    return QColor(int(c & 0xFFu), int((c >> 8) & 0xFFu), int((c >> 16) & 0xFFu));
}

QRgb toQRgb(ColorRef c) {
    return qRgb(int(c & 0xFFu), int((c >> 8) & 0xFFu), int((c >> 16) & 0xFFu));
}

ColorRef fromQColor(const QColor& c) {
    return rgbColor(std::uint8_t(c.red()), std::uint8_t(c.green()), std::uint8_t(c.blue()));
}
