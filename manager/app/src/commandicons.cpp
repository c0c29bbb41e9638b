// SPDX-License-Identifier: GPL-3.0-or-later
#include "commandicons.hpp"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace vekshell {

namespace {

// Each picture is drawn on a 24 x 24 grid and scaled to the pixmap.
using Painter = void (*)(QPainter&);

void drawScissors(QPainter& p) {
    const QColor steel(90, 100, 115);
    p.setPen(QPen(steel, 1.6, Qt::SolidLine, Qt::RoundCap));
    // Two blades crossing at the pivot, opening upwards.
    p.drawLine(QPointF(8.5, 14.5), QPointF(16.5, 2.5));
    p.drawLine(QPointF(15.5, 14.5), QPointF(7.5, 2.5));
    p.setBrush(steel);
    p.drawEllipse(QPointF(12, 8.6), 1.0, 1.0);
    // Two ring handles.
    p.setPen(QPen(QColor(200, 40, 40), 2.0));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(7.0, 18.0), 3.2, 3.2);
    p.drawEllipse(QPointF(17.0, 18.0), 3.2, 3.2);
}

void drawSheet(QPainter& p, const QRectF& r) {
    QPainterPath sheet;
    const qreal fold = 3.5;
    sheet.moveTo(r.topLeft());
    sheet.lineTo(r.right() - fold, r.top());
    sheet.lineTo(r.right(), r.top() + fold);
    sheet.lineTo(r.bottomRight());
    sheet.lineTo(r.bottomLeft());
    sheet.closeSubpath();
    p.setPen(QPen(QColor(70, 80, 100), 1.0));
    p.setBrush(Qt::white);
    p.drawPath(sheet);
    p.setPen(QPen(QColor(120, 150, 200), 1.0));
    for (qreal y = r.top() + 5; y < r.bottom() - 2; y += 2.5) p.drawLine(QPointF(r.left() + 2, y), QPointF(r.right() - 2, y));
}

void drawCopy(QPainter& p) {
    drawSheet(p, QRectF(3.5, 2.5, 11, 14));
    drawSheet(p, QRectF(9.5, 7.5, 11, 14));
}

void drawPaste(QPainter& p) {
    // The board with its clip, and a sheet on it.
    p.setPen(QPen(QColor(110, 70, 30), 1.0));
    p.setBrush(QColor(190, 135, 70));
    p.drawRoundedRect(QRectF(4.5, 4.5, 12, 16), 1.5, 1.5);
    p.setBrush(QColor(160, 165, 175));
    p.setPen(QPen(QColor(70, 75, 85), 1.0));
    p.drawRoundedRect(QRectF(7.5, 2.5, 6, 4), 1.0, 1.0);
    drawSheet(p, QRectF(11.5, 10.5, 9, 11));
}

Painter painterFor(const QString& name) {
    if (name == QLatin1String("edit-cut")) return &drawScissors;
    if (name == QLatin1String("edit-copy")) return &drawCopy;
    if (name == QLatin1String("edit-paste")) return &drawPaste;
    return nullptr;
}

}  // namespace

QIcon drawnCommandIcon(const QString& themeName) {
    const Painter draw = painterFor(themeName);
    if (!draw) return {};
    QIcon icon;
    for (int size : {16, 20, 24, 32, 48}) {
        QPixmap pm(size, size);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(size / 24.0, size / 24.0);
        draw(p);
        p.end();
        icon.addPixmap(pm);
    }
    return icon;
}

QIcon commandIcon(const QString& themeName) {
    QIcon i = QIcon::fromTheme(themeName);
    return i.isNull() ? drawnCommandIcon(themeName) : i;
}

}  // namespace vekshell
