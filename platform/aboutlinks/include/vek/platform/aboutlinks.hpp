// The two links of an about box: the guide and the documentation folder,
// or the web pages a build names instead, shown as underlined labels.
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QUrl>

#include <functional>

class QLabel;

namespace vek::about {

struct DocumentationLinks {
    QUrl guide;   // `guideUrl`, else README.md of the folder when it is there, else the folder
    QUrl folder;  // `folderUrl`, else the folder
};

// The links for the documentation folder `docs`; an empty URL falls back
// to the local file.
DocumentationLinks documentationLinks(const QString& docs, const QString& guideUrl, const QString& folderUrl);

// Turns `label` into a link to `url`: its text underlined in blue, the hand
// cursor, the URL as tool tip; a click calls `open` with the URL.
void makeLinkLabel(QLabel* label, const QUrl& url, std::function<void(const QUrl&)> open);

}  // namespace vek::about
