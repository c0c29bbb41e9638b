// SPDX-License-Identifier: GPL-3.0-or-later
#include "vek/platform/aboutlinks.hpp"

#include <QFileInfo>
#include <QLabel>

namespace vek::about {

DocumentationLinks documentationLinks(const QString& docs, const QString& guideUrl, const QString& folderUrl) {
    const QString readme = docs + QStringLiteral("/README.md");
    DocumentationLinks links;
    links.guide = guideUrl.isEmpty() ? QUrl::fromLocalFile(QFileInfo(readme).isFile() ? readme : docs) : QUrl(guideUrl);
    links.folder = folderUrl.isEmpty() ? QUrl::fromLocalFile(docs) : QUrl(folderUrl);
    return links;
}

void makeLinkLabel(QLabel* label, const QUrl& url, std::function<void(const QUrl&)> open) {
    label->setText(QStringLiteral("<a href=\"%1\" style=\"color:#0000ff; text-decoration:underline\">%2</a>")
                       .arg(url.toString().toHtmlEscaped(), label->text().toHtmlEscaped()));
    label->setTextFormat(Qt::RichText);
    label->setCursor(Qt::PointingHandCursor);
    label->setToolTip(url.toString());
    label->setTextInteractionFlags(Qt::LinksAccessibleByMouse);
    QObject::connect(label, &QLabel::linkActivated, label,
                     [open = std::move(open)](const QString& link) { open(QUrl(link)); });
}

}  // namespace vek::about
