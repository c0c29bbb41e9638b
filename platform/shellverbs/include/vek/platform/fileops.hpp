// File-system facts the manager asks for: free space, folder attributes,
// whether an entry exists, wildcard masks. Plain functions over QFileInfo and
// QStorageInfo that a Windows build would answer with its own calls.
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

namespace vek::shell {

// Free space, in KiB, of the volume holding `path`, kept to its low 32 bits
// (as the status bar's arithmetic expects). nullopt when it cannot be read
// (the volume has gone, or the path does not exist).
std::optional<std::uint32_t> freeSpaceKB(const QString& path);

struct FolderAttributes {
    bool readOnly = false;   // no write permission for anyone, a read-only volume, or not writable by us
    bool hidden = false;
};
// nullopt when the folder cannot be examined (missing, or not a folder).
std::optional<FolderAttributes> folderAttributes(const QString& path);

// Strips one trailing separator and says whether an entry (file or folder)
// of that name exists. A bare root ("/") exists.
bool folderEntryExists(const QString& path);

// A path with exactly one trailing "/" (the list's folder path form).
QString withTrailingSeparator(const QString& path);

// "*.sc4;*.WAV" -> the masks, blanks trimmed, empties dropped.
QStringList splitMasks(const QString& filter);
// Windows-style wildcard match (* and ?), without regard to case. "*.*"
// also matches names without a dot, as it does on Windows.
bool matchesMask(const QString& name, const QString& mask);
bool matchesAnyMask(const QString& name, const QStringList& masks);

// "New Folder", then "New Folder (2)", "(3)", ... : the first name under
// `folder` (ending in a separator) that names no entry.
QString freeNewFolderPath(const QString& folder, const QString& base = QStringLiteral("New Folder"));

}  // namespace vek::shell
