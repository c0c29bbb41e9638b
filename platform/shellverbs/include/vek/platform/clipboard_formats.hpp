// The clipboard formats the Linux file managers exchange for files:
//   text/uri-list                  file URLs, one a line (CRLF separated)
//   x-special/gnome-copied-files   "cut" or "copy", then the URLs, LF separated
//   application/x-kde-cutselection "1" for a cut
// Qt Core only (QMimeData), without the clipboard itself.
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

class QMimeData;

namespace vek::shell {

// Clipboard contents for files.
QMimeData* makeFileMimeData(const QStringList& paths, bool cut);
struct ClipboardFiles {
    QStringList paths;   // local paths only
    bool cut = false;
};
ClipboardFiles readFileMimeData(const QMimeData* data);

}  // namespace vek::shell
