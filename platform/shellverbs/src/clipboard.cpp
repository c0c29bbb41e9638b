// SPDX-License-Identifier: GPL-3.0-or-later
#include "vek/platform/shellverbs.hpp"
#include "vek/platform/clipboard_formats.hpp"
#include "vek/platform/transfer.hpp"

#include <QClipboard>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMimeData>
#include <QUrl>

namespace vek::shell {
namespace {

bool isInside(const QString& path, const QString& folder) {
    const QString f = QDir::cleanPath(folder) + '/';
    return (QDir::cleanPath(path) + '/').startsWith(f);
}

// The replace question names what is there and what would take its place,
// so that a file never replaces a whole folder (or a folder a file) on an
// answer to a question about "an item".
QString replaceQuestion(const QString& name, bool srcIsFolder, bool dstIsFolder) {
    if (srcIsFolder && dstIsFolder)
        return QObject::tr("This folder already contains a folder named '%1'.\r"
                           "Would you like to replace the existing folder and everything in it with this one? "
                           "The existing folder goes to the trash.").arg(name);
    if (dstIsFolder)
        return QObject::tr("This folder already contains a folder named '%1'.\r"
                           "Would you like to replace that folder and everything in it with the file '%1'? "
                           "The folder goes to the trash.").arg(name);
    if (srcIsFolder)
        return QObject::tr("This folder already contains a file named '%1'.\r"
                           "Would you like to replace that file with the folder '%1' and everything in it? "
                           "The file goes to the trash.").arg(name);
    return QObject::tr("This folder already contains a file named '%1'.\r"
                       "Would you like to replace the existing file with this one?").arg(name);
}

QString copyName(const QString& folder, const QString& name) {
    QString candidate = folder + QStringLiteral("Copy of ") + name;
    for (int n = 2; QFileInfo::exists(candidate); ++n)
        candidate = folder + QStringLiteral("Copy (%1) of ").arg(n) + name;
    return candidate;
}

}  // namespace

void copyToClipboard(const QStringList& paths, bool cut) {
    if (paths.isEmpty()) return;
    QGuiApplication::clipboard()->setMimeData(makeFileMimeData(paths, cut));
}

ClipboardFiles clipboardFiles() { return readFileMimeData(QGuiApplication::clipboard()->mimeData()); }

QStringList pasteFiles(const QStringList& sources, const QString& targetFolder, bool cut,
                       QWidget* owner, QString* error) {
    QStringList written;
    QString folder = QDir::cleanPath(targetFolder);
    if (!folder.endsWith('/')) folder += '/';
    if (!QFileInfo(folder).isDir()) {
        if (error) *error += QObject::tr("%1 is not a folder\n").arg(targetFolder);
        return written;
    }
    for (const auto& src : sources) {
        QFileInfo fi(src);
        if (!fi.exists() && !fi.isSymLink()) {
            if (error) *error += QObject::tr("%1 no longer exists\n").arg(src);
            continue;
        }
        const QString srcAbs = fi.absoluteFilePath();
        QString dst = folder + fi.fileName();
        // The same folder also when reached through a linked folder: the
        // "existing" target would be the source itself, and replacing it
        // would delete the source before copying it.
        const QString canonFolder = QFileInfo(folder).canonicalFilePath();
        const bool sameFolder = QDir::cleanPath(fi.absolutePath()) + '/' == folder ||
                                (!canonFolder.isEmpty() && QFileInfo(fi.absolutePath()).canonicalFilePath() == canonFolder);
        if (sameFolder) {
            if (cut) continue;  // moving onto itself: nothing to do
            dst = copyName(folder, fi.fileName());
        }
        if (fi.isDir() && (isInside(folder, srcAbs) ||
                           (!fi.isSymLink() && !canonFolder.isEmpty() && isInside(canonFolder, fi.canonicalFilePath())))) {
            if (error) *error += QObject::tr("Cannot put %1 inside itself\n").arg(src);
            continue;
        }
        bool replace = false;
        if (entryKind(dst) != EntryKind::Missing) {
            // Replacing a folder that holds the source would delete the
            // source before it is copied.
            const QString canonDst = QFileInfo(dst).canonicalFilePath();
            if (isInside(srcAbs, dst) || (!canonDst.isEmpty() && isInside(fi.canonicalFilePath(), canonDst))) {
                if (error) *error += QObject::tr("Cannot replace %1: it holds %2\n").arg(dst, src);
                continue;
            }
            const bool srcIsFolder = entryKind(srcAbs) == EntryKind::Folder;
            const bool dstIsFolder = entryKind(dst) == EntryKind::Folder;
            if (!ask(owner, QObject::tr("Confirm File Replace"),
                     replaceQuestion(QFileInfo(dst).fileName(), srcIsFolder, dstIsFolder)))
                continue;
            replace = true;
        }
        const bool ok = transferEntry(srcAbs, dst, cut ? TransferMode::Move : TransferMode::Copy, replace, error);
        if (ok) written << dst;
    }
    return written;
}

QStringList pasteClipboard(const QString& targetFolder, QWidget* owner, QString* error) {
    const ClipboardFiles cf = clipboardFiles();
    if (cf.paths.isEmpty()) return {};
    QString err;
    QStringList written = pasteFiles(cf.paths, targetFolder, cf.cut, owner, &err);
    if (cf.cut && !written.isEmpty()) {
        // After a cut whose paste failed in part, what was not moved stays on
        // the clipboard for another try; otherwise the cut is done.
        QStringList left;
        if (!err.isEmpty())
            for (const auto& p : cf.paths)
                if (entryKind(p) != EntryKind::Missing) left << p;
        if (left.isEmpty())
            QGuiApplication::clipboard()->clear();
        else
            copyToClipboard(left, true);
    }
    if (error) *error += err;
    return written;
}

}  // namespace vek::shell
