// Renders an SVG icon into the PNG sizes of the hicolor icon theme, so that
// only the SVG is kept in the sources:
//
//   vek_svg2png IN.svg OUTDIR NAME SIZE...   ->  OUTDIR/<SIZE>x<SIZE>/NAME.png
//
// Exit status 1 when the SVG does not parse, a size is not a number in
// 1..1024, a picture comes out empty or cannot be written.
// SPDX-License-Identifier: GPL-3.0-or-later
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdio>

namespace {

bool hasVisiblePixels(const QImage& img) {
    for (int y = 0; y < img.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(img.constScanLine(y));
        for (int x = 0; x < img.width(); ++x)
            if (qAlpha(line[x]) != 0) return true;
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc < 5) {
        std::fprintf(stderr, "usage: vek_svg2png IN.svg OUTDIR NAME SIZE...\n");
        return 1;
    }
    QSvgRenderer svg(QString::fromLocal8Bit(argv[1]));
    if (!svg.isValid()) {
        std::fprintf(stderr, "vek_svg2png: %s is not a valid SVG picture\n", argv[1]);
        return 1;
    }
    const QString outDir = QString::fromLocal8Bit(argv[2]);
    const QString name = QString::fromLocal8Bit(argv[3]);
    for (int i = 4; i < argc; ++i) {
        bool ok = false;
        const int size = QString::fromLatin1(argv[i]).toInt(&ok);
        if (!ok || size < 1 || size > 1024) {
            std::fprintf(stderr, "vek_svg2png: bad size %s\n", argv[i]);
            return 1;
        }
        QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
        img.fill(Qt::transparent);
        {
            QPainter p(&img);
            p.setRenderHint(QPainter::Antialiasing);
            p.setRenderHint(QPainter::SmoothPixmapTransform);
            svg.render(&p, QRectF(0, 0, size, size));
        }
        if (!hasVisiblePixels(img)) {
            std::fprintf(stderr, "vek_svg2png: %s renders nothing at %d pixels\n", argv[1], size);
            return 1;
        }
        const QString dir = QStringLiteral("%1/%2x%2").arg(outDir).arg(size);
        const QString file = dir + QLatin1Char('/') + name + QStringLiteral(".png");
        if (!QDir().mkpath(dir) ||
            !img.convertToFormat(QImage::Format_ARGB32).save(file, "PNG", 9)) {
            std::fprintf(stderr, "vek_svg2png: cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
