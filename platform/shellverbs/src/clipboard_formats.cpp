// The file managers' clipboard formats for files (see clipboard_formats.hpp).
// Qt Core only, so that the fuzz build, which has no GUI, can take it too.
// SPDX-License-Identifier: GPL-3.0-or-later
#include "vek/platform/clipboard_formats.hpp"

#include <QFileInfo>
#include <QList>
#include <QMimeData>
#include <QUrl>

namespace vek::shell {
namespace {

const QString kGnome = QStringLiteral("x-special/gnome-copied-files");
const QString kKdeCut = QStringLiteral("application/x-kde-cutselection");

}  // namespace

QMimeData* makeFileMimeData(const QStringList& paths, bool cut) {
    auto* md = new QMimeData;
    QList<QUrl> urls;
    QByteArray gnome = cut ? "cut" : "copy";
    QStringList plain;
    for (const auto& p : paths) {
        const QUrl u = QUrl::fromLocalFile(QFileInfo(p).absoluteFilePath());
        urls << u;
        gnome += '\n' + u.toEncoded();
        plain << QFileInfo(p).absoluteFilePath();
    }
    md->setUrls(urls);  // text/uri-list
    md->setData(kGnome, gnome);
    if (cut) md->setData(kKdeCut, "1");
    md->setText(plain.join('\n'));
    return md;
}

ClipboardFiles readFileMimeData(const QMimeData* data) {
    ClipboardFiles out;
    if (!data) return out;
    QList<QUrl> urls;
    if (data->hasFormat(kGnome)) {
        const auto lines = data->data(kGnome).split('\n');
        out.cut = !lines.isEmpty() && lines.front().trimmed() == "cut";
        for (qsizetype i = 1; i < lines.size(); ++i)
            if (!lines[i].trimmed().isEmpty()) urls << QUrl::fromEncoded(lines[i].trimmed());
    } else {
        urls = data->urls();
        out.cut = data->data(kKdeCut).trimmed() == "1";
    }
    for (const auto& u : urls)
        if (u.isLocalFile()) out.paths << u.toLocalFile();
    return out;
}

}  // namespace vek::shell
