// Fuzz target: the clipboard's file lists as another program may have put
// them there. Byte 0 chooses the formats of the rest:
//   0: x-special/gnome-copied-files (verb line, then URLs);
//   1: text/uri-list with application/x-kde-cutselection "1";
//   2: text/uri-list alone.
// Whatever is read must be local paths only; each absolute, clean path read
// must survive being put on the clipboard again and read back, through the
// GNOME list and through the URI list alike, with the same cut flag.
// SPDX-License-Identifier: GPL-3.0-or-later
#include <QByteArray>
#include <QDir>
#include <QMimeData>
#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "vek/platform/clipboard_formats.hpp"

namespace {

const QString kGnome = QStringLiteral("x-special/gnome-copied-files");
const QString kKdeCut = QStringLiteral("application/x-kde-cutselection");
const QString kUriList = QStringLiteral("text/uri-list");

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const QByteArray rest(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(size - 1));
    QMimeData md;
    switch (data[0] % 3) {
        case 0: md.setData(kGnome, rest); break;
        case 1:
            md.setData(kUriList, rest);
            md.setData(kKdeCut, "1");
            break;
        default: md.setData(kUriList, rest); break;
    }
    const vek::shell::ClipboardFiles got = vek::shell::readFileMimeData(&md);
    if (data[0] % 3 == 1 && !got.cut) std::abort();
    if (data[0] % 3 == 2 && got.cut) std::abort();

    QStringList clean;
    for (const QString& p : got.paths)
        if (p.startsWith(QLatin1Char('/')) && QDir::cleanPath(p) == p && !p.contains(QChar(0))) clean << p;
    if (clean.isEmpty()) return 0;
    for (const bool cut : {got.cut, !got.cut}) {
        std::unique_ptr<QMimeData> again(vek::shell::makeFileMimeData(clean, cut));
        const auto viaGnome = vek::shell::readFileMimeData(again.get());
        if (viaGnome.paths != clean || viaGnome.cut != cut) std::abort();
        // The same list as a program that offers only the URI list sees it.
        QMimeData uris;
        uris.setData(kUriList, again->data(kUriList));
        if (cut) uris.setData(kKdeCut, again->data(kKdeCut));
        const auto viaUris = vek::shell::readFileMimeData(&uris);
        if (viaUris.paths != clean || viaUris.cut != cut) std::abort();
    }
    return 0;
}
