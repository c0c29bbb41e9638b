// SPDX-License-Identifier: GPL-3.0-or-later
#include "vek/platform/shellverbs.hpp"
#include "vek/platform/clipboard_formats.hpp"

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

bool copyRecursively(const QString& src, const QString& dst, QString* error) {
    QFileInfo fi(src);
    if (fi.isDir() && !fi.isSymLink()) {
        if (!QDir().mkpath(dst)) {
            if (error) *error += QObject::tr("Cannot create %1\n").arg(dst);
            return false;
        }
        bool ok = true;
        QDir d(src);
        for (const auto& e : d.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot))
            ok = copyRecursively(e.absoluteFilePath(), dst + '/' + e.fileName(), error) && ok;
        return ok;
    }
    if (fi.isSymLink()) {
        if (QFile::link(fi.symLinkTarget(), dst)) return true;
    } else if (QFile::copy(src, dst)) {
        return true;
    }
    if (error) *error += QObject::tr("Cannot copy %1 to %2\n").arg(src, dst);
    return false;
}

bool removeEntry(const QString& path) {
    QFileInfo fi(path);
    if (fi.isDir() && !fi.isSymLink()) return QDir(path).removeRecursively();
    return QFile::remove(path);
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
        if (QFileInfo::exists(dst)) {
            // Replacing a folder that holds the source would delete the
            // source before it is copied.
            const QString canonDst = QFileInfo(dst).canonicalFilePath();
            if (isInside(srcAbs, dst) || (!canonDst.isEmpty() && isInside(fi.canonicalFilePath(), canonDst))) {
                if (error) *error += QObject::tr("Cannot replace %1: it holds %2\n").arg(dst, src);
                continue;
            }
            if (!ask(owner, QObject::tr("Confirm File Replace"),
                     QObject::tr("This folder already contains an item named \"%1\".\r"
                                 "Do you want to replace it?").arg(QFileInfo(dst).fileName())))
                continue;
            if (!removeEntry(dst)) {
                if (error) *error += QObject::tr("Cannot replace %1\n").arg(dst);
                continue;
            }
        }
        bool ok;
        if (cut) {
            ok = QFile::rename(srcAbs, dst);
            if (!ok) {  // another volume: copy, then remove the source
                ok = copyRecursively(srcAbs, dst, error) && removeEntry(srcAbs);
            }
        } else {
            ok = copyRecursively(srcAbs, dst, error);
        }
        if (ok)
            written << dst;
        else if (error && error->isEmpty())
            *error += QObject::tr("Cannot paste %1\n").arg(src);
    }
    return written;
}

QStringList pasteClipboard(const QString& targetFolder, QWidget* owner, QString* error) {
    const ClipboardFiles cf = clipboardFiles();
    if (cf.paths.isEmpty()) return {};
    QStringList written = pasteFiles(cf.paths, targetFolder, cf.cut, owner, error);
    if (cf.cut && !written.isEmpty()) QGuiApplication::clipboard()->clear();
    return written;
}

}  // namespace vek::shell
