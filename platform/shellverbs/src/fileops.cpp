// SPDX-License-Identifier: GPL-3.0-or-later
#include "vek/platform/fileops.hpp"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStorageInfo>

#include <sys/stat.h>
#include <unistd.h>

namespace vek::shell {

std::optional<std::uint32_t> freeSpaceKB(const QString& path) {
    if (path.isEmpty() || !QFileInfo::exists(path)) return std::nullopt;
    QStorageInfo si(path);
    if (!si.isValid() || !si.isReady()) return std::nullopt;
    const auto kb = static_cast<std::uint64_t>(si.bytesAvailable()) / 1024u;
    return static_cast<std::uint32_t>(kb & 0xFFFFFFFFu);
}

std::optional<FolderAttributes> folderAttributes(const QString& path) {
    QString p = path;
    while (p.size() > 1 && p.endsWith('/')) p.chop(1);
    struct stat st {};
    const QByteArray native = QFile::encodeName(p);
    if (::stat(native.constData(), &st) != 0 || !S_ISDIR(st.st_mode)) return std::nullopt;
    FolderAttributes a;
    // The read-only attribute of a folder: nobody may write into it, its
    // volume is mounted read-only, or we ourselves may not write into it.
    const bool noWriteBits = (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
    const bool roVolume = QStorageInfo(p).isReadOnly();
    const bool notForUs = ::access(native.constData(), W_OK) != 0;
    a.readOnly = noWriteBits || roVolume || notForUs;
    a.hidden = QFileInfo(p).fileName().startsWith('.');
    return a;
}

bool folderEntryExists(const QString& path) {
    QString p = path;
    if (p.size() > 1 && (p.endsWith('/') || p.endsWith('\\'))) p.chop(1);
    if (p.isEmpty()) return false;
    return QFileInfo(p).exists() || QFileInfo(p).isSymLink();
}

QString withTrailingSeparator(const QString& path) {
    if (path.isEmpty()) return path;
    QString p = QDir::cleanPath(path);
    if (!p.endsWith('/')) p += '/';
    return p;
}

QStringList splitMasks(const QString& filter) {
    QStringList out;
    for (const auto& m : filter.split(';')) {
        const QString t = m.trimmed();
        if (!t.isEmpty()) out << t;
    }
    return out;
}

bool matchesMask(const QString& name, const QString& mask) {
    if (mask == QLatin1String("*") || mask == QLatin1String("*.*")) return true;
    // Iterative wildcard match with backtracking on the last '*'.
    qsizetype n = 0, m = 0, starM = -1, starN = 0;
    while (n < name.size()) {
        if (m < mask.size() && (mask[m] == '?' || mask[m].toCaseFolded() == name[n].toCaseFolded())) {
            ++n;
            ++m;
        } else if (m < mask.size() && mask[m] == '*') {
            starM = m++;
            starN = n;
        } else if (starM >= 0) {
            m = starM + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask[m] == '*') ++m;
    return m == mask.size();
}

bool matchesAnyMask(const QString& name, const QStringList& masks) {
    for (const auto& m : masks)
        if (matchesMask(name, m)) return true;
    return false;
}

QString freeNewFolderPath(const QString& folder, const QString& base) {
    QString candidate = folder + base;
    for (int n = 2; QFileInfo::exists(candidate) || QFileInfo(candidate).isSymLink(); ++n)
        candidate = folder + base + QStringLiteral(" (%1)").arg(n);
    return candidate;
}

}  // namespace vek::shell
