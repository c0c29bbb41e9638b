// SPDX-License-Identifier: GPL-3.0-or-later
#include "splashform.hpp"

#include <QApplication>
#include <QBuffer>
#include <QImageReader>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QTimer>

#include <cstddef>

// Generated at build time by vekshell_mksplash.
extern const unsigned char vekshell_splash_jpg[];
extern const std::size_t vekshell_splash_jpg_size;

namespace vekshell {

QImage splashImage() {
    QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(vekshell_splash_jpg),
                                               static_cast<qsizetype>(vekshell_splash_jpg_size));
    QBuffer buf(&bytes);
    QImageReader reader(&buf, "jpeg");  // Qt's JPEG reader, which decodes with libjpeg
    return reader.read();
}

QIcon programIcon() {
    // A recorder with a sound wave: drawn, so that no binary is kept.
    QPixmap pm(48, 48);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(30, 50, 90), 2));
    p.setBrush(QColor(70, 110, 180));
    p.drawRoundedRect(QRectF(12, 3, 24, 42), 6, 6);
    p.setBrush(QColor(210, 225, 245));
    p.drawRoundedRect(QRectF(16, 8, 16, 12), 2, 2);
    p.setPen(QPen(QColor(220, 60, 40), 2));
    p.drawEllipse(QPointF(24, 34), 5, 5);
    p.setPen(QPen(QColor(30, 50, 90), 1.5));
    for (int i = 0; i < 5; ++i) {
        const int h = (i % 2) ? 8 : 4;
        p.drawLine(QPointF(18 + 3 * i, 14 - h / 2.0), QPointF(18 + 3 * i, 14 + h / 2.0));
    }
    return QIcon(pm);
}

TSplashForm::TSplashForm(QWidget* parent)
    : QFrame(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setObjectName(QStringLiteral("SplashForm"));
    setAttribute(Qt::WA_DeleteOnClose);
    // No caption bar, a thin border. The designed client area (500 x 409)
    // held a caption bar's height more than the picture; without the caption
    // the window shrinks by that much, so the border closes round the picture
    // (498 x 388) with no strip below it.
    hide();
    setFrameShape(QFrame::Box);
    setLineWidth(1);
    Image = new QLabel(this);
    Image->setObjectName(QStringLiteral("Image"));
    const QImage img = splashImage();
    Image->setPixmap(QPixmap::fromImage(img));
    const QSize picture = img.isNull() ? QSize(498, 388) : img.size();
    Image->setGeometry(1, 1, picture.width(), picture.height());
    setFixedSize(picture.width() + 2, picture.height() + 2);
    if (QScreen* s = QGuiApplication::primaryScreen()) {
        QRect r(QPoint(0, 0), size());
        r.moveCenter(s->availableGeometry().center());
        move(r.topLeft());
    }
    Timer = new QTimer(this);
    Timer->setInterval(2000);
    connect(Timer, &QTimer::timeout, this, &TSplashForm::TimerTimer);
    Timer->start();
    show();
    repaint();
}

void TSplashForm::TimerTimer() {
    Timer->stop();
    hide();
    close();  // and destroy (WA_DeleteOnClose)
}

}  // namespace vekshell
