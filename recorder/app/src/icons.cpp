// SPDX-License-Identifier: GPL-3.0-or-later
#include "icons.hpp"

#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

// The pictures live in a static library: its resources are registered by
// hand before the first use (outside any namespace, as the macro requires).
static void initRecorderResources() { Q_INIT_RESOURCE(vekvmail); }

namespace vekvmail {

QImage renderSvg(const QString& name, int pixels) {
    static const bool registered = (initRecorderResources(), true);
    (void)registered;
    QSvgRenderer r(QStringLiteral(":/vekvmail/icons/%1.svg").arg(name));
    if (!r.isValid()) return {};
    QImage img(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    r.render(&p);
    return img;
}

namespace {
// A disabled picture: its grey values, lightened and half transparent, so
// that it reads as present but not available on the silver face.
QImage disabledForm(const QImage& src) {
    QImage img = src.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < img.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            const QRgb c = line[x];
            const int g = 128 + qGray(c) / 3;
            line[x] = qRgba(g, g, g, qAlpha(c) * 2 / 3);
        }
    }
    return img;
}
}  // namespace

QPixmap svgPixmap(const QString& name, int size, qreal dpr) {
    QImage img = renderSvg(name, qRound(size * dpr));
    img.setDevicePixelRatio(dpr);
    return QPixmap::fromImage(img);
}

QIcon programIcon() {
    QIcon icon;
    for (int px : {16, 24, 32, 48, 64}) icon.addPixmap(QPixmap::fromImage(renderSvg(QStringLiteral("vekvmail"), px)));
    return icon;
}

QIcon svgIcon(const QString& name, int size) {
    QIcon icon;
    for (qreal dpr : {1.0, 2.0}) {
        QImage img = renderSvg(name, qRound(size * dpr));
        if (img.isNull()) continue;
        QImage dis = disabledForm(img);
        img.setDevicePixelRatio(dpr);
        dis.setDevicePixelRatio(dpr);
        icon.addPixmap(QPixmap::fromImage(img), QIcon::Normal);
        icon.addPixmap(QPixmap::fromImage(dis), QIcon::Disabled);
    }
    return icon;
}

}  // namespace vekvmail
