// SPDX-License-Identifier: GPL-3.0-or-later
#include "vek/recwidgets/dbmeter.hpp"

#include "raster.hpp"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

using vek::recwidgets::drawLine;
using vek::recwidgets::fillSpan;

namespace {

// Nearest integer, halves to the even neighbour (the default rounding mode).
long long roundEven(double v) { return static_cast<long long>(std::nearbyint(v)); }

constexpr QRgb kWhite = 0xFFFFFFFFu;
constexpr QRgb kGrey = 0xFF808080u;

}  // namespace

Tdbmeter::Tdbmeter(QWidget* parent) : QWidget(parent) {
    resize(80, 17);
    m_buffer = QImage(size(), QImage::Format_RGB32);
}

int Tdbmeter::litCountFor(int greens, int yellows, int reds, int greenMax, int yellowMax, int redMax,
                          int position) {
    const long long n = static_cast<long long>(greens) + yellows + reds;
    if (n <= 0 || position <= 0) return 0;
    const long long g = greens > 0 ? greenMax : 0;
    const long long y = yellows > 0 ? yellowMax : 0;
    const long long P = position;
    long long lit = 0;
    if (P >= g + y + redMax) {
        lit = n;
    } else if (P > g + y) {
        if (reds == 0)
            lit = n;
        else
            lit = static_cast<long long>(greens) + yellows +
                  std::max(1LL, roundEven(double(reds) / double(redMax) * double(P - g - y)));
    } else if (P > g) {
        lit = greens + std::max(1LL, roundEven(double(yellows) / double(y) * double(P - g)));
    } else {
        lit = g == 0 ? 0 : roundEven(double(greens) / double(g) * double(P));
    }
    // A level above zero always shows: the first cell stands for the lowest
    // part of its span, not for silence.
    if (lit == 0) lit = 1;
    return static_cast<int>(std::clamp(lit, 0LL, std::min<long long>(n, std::numeric_limits<int>::max())));
}

int Tdbmeter::litCount() const {
    return litCountFor(m_greens, m_yellows, m_reds, m_greenMax, m_yellowMax, m_redMax, m_position);
}

void Tdbmeter::changed() {
    repaint();
}

#define VEK_DBM_SETTER(name, member, type)   \
    void Tdbmeter::name(type v) {            \
        if (v == member) return;             \
        member = v;                          \
        changed();                           \
    }

VEK_DBM_SETTER(setBevelStyle, m_bevelStyle, TPanelBevel)
VEK_DBM_SETTER(setGreenColor, m_greenColor, ColorRef)
VEK_DBM_SETTER(setYellowColor, m_yellowColor, ColorRef)
VEK_DBM_SETTER(setRedColor, m_redColor, ColorRef)
VEK_DBM_SETTER(setGreenBack, m_greenBack, ColorRef)
VEK_DBM_SETTER(setYellowBack, m_yellowBack, ColorRef)
VEK_DBM_SETTER(setRedBack, m_redBack, ColorRef)
VEK_DBM_SETTER(setGreens, m_greens, int)
VEK_DBM_SETTER(setYellows, m_yellows, int)
VEK_DBM_SETTER(setReds, m_reds, int)
VEK_DBM_SETTER(setGreenMax, m_greenMax, int)
VEK_DBM_SETTER(setYellowMax, m_yellowMax, int)
VEK_DBM_SETTER(setRedMax, m_redMax, int)
VEK_DBM_SETTER(setShowJustOne, m_showJustOne, bool)
VEK_DBM_SETTER(setSepWidth, m_sepWidth, int)
VEK_DBM_SETTER(setSepColor, m_sepColor, ColorRef)
VEK_DBM_SETTER(setStyle, m_style, Tdbmeterstyle)
VEK_DBM_SETTER(setDirection, m_direction, Tdbmeterdirection)
VEK_DBM_SETTER(setPosition, m_position, int)

#undef VEK_DBM_SETTER

void Tdbmeter::setBevelWidth(int w) {
    // The width is a byte; nothing, or more than a third of the control,
    // falls back to one pixel.
    if (w <= 0 || w > 255 || w > width() / 3 || w > height() / 3) w = 1;
    if (w == m_bevelWidth) return;
    m_bevelWidth = w;
    changed();
}

void Tdbmeter::composeInto(QImage& img) const {
    const int W = img.width(), H = img.height();
    img.fill(toQRgb(m_sepColor));
    const QRgb sep = toQRgb(m_sepColor);

    const long long n = static_cast<long long>(m_greens) + m_yellows + m_reds;
    const bool horizontal = m_style == Tdbmeterstyle::dsHorizontal;
    const bool mirrored = m_direction == Tdbmeterdirection::ddLeftUp;
    const int along = horizontal ? W : H;
    const int across = (horizontal ? H : W) - 1;
    if (n > 0 && n <= along) {
        const int len = static_cast<int>(along / n);
        if (m_sepWidth < len) {
            const int lit = litCount();
            // [a0, a1) along the meter, [0, across) across it; a mirrored
            // meter flips every pixel along its length, so cell 1 sits at the
            // right or at the bottom.
            auto span = [&](int a0, int a1, QRgb colour) {
                if (mirrored) {
                    const int m0 = along - a1, m1 = along - a0;
                    a0 = m0;
                    a1 = m1;
                }
                if (horizontal)
                    fillSpan(img, a0, 0, a1, across, colour);
                else
                    fillSpan(img, 0, a0, across, a1, colour);
            };
            const long long gy = static_cast<long long>(m_greens) + m_yellows;
            for (int i = 1; i <= n; ++i) {
                QRgb on, back;
                if (i > gy) {
                    on = toQRgb(m_redColor);
                    back = toQRgb(m_redBack);
                } else if (i > m_greens) {
                    on = toQRgb(m_yellowColor);
                    back = toQRgb(m_yellowBack);
                } else {
                    on = toQRgb(m_greenColor);
                    back = toQRgb(m_greenBack);
                }
                const bool isLit = m_showJustOne ? i == lit : i <= lit;
                span((i - 1) * len, i * len, isLit ? on : back);
                if (m_sepWidth > 0) span(i * len - m_sepWidth, i * len + 1, sep);
            }
        }
    }

    int t = m_bevelStyle == TPanelBevel::bvNone ? 0 : m_bevelWidth;
    if (t > W / 3 || t > H / 3) t = 1;
    const bool lowered = m_bevelStyle == TPanelBevel::bvLowered;
    const QRgb lowerRight = lowered ? kWhite : kGrey;
    const QRgb upperLeft = lowered ? kGrey : kWhite;
    for (int k = 0; k < t; ++k) {
        drawLine(img, -1, H - k - 1, W - k - 1, H - k - 1, lowerRight);
        drawLine(img, W - k - 1, H - k - 1, W - k - 1, -1, lowerRight);
        drawLine(img, W, k, k, k, upperLeft);
        drawLine(img, k, k, k, H - t, upperLeft);
    }
}

QImage Tdbmeter::render() const {
    QImage img(std::max(width(), 0), std::max(height(), 0), QImage::Format_RGB32);
    if (!img.isNull()) composeInto(img);
    return img;
}

void Tdbmeter::paintEvent(QPaintEvent*) {
    if (m_buffer.size() != size()) m_buffer = QImage(size(), QImage::Format_RGB32);
    ++m_paintCount;
    if (m_buffer.isNull()) return;
    composeInto(m_buffer);
    QPainter p(this);
    p.drawImage(0, 0, m_buffer);
}
