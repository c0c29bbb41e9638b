// Copying and moving files and folder trees so that a failure never costs a
// file: a recorder drive that fills up, a write error or a drive pulled out
// in the middle leaves the source as it was and no half-written entry under
// the target's name.
//
//  * Every new entry is first written under a hidden staging name beside the
//    target (".vek-paste-" and a random number) and renamed to its own name
//    only when it is complete.
//  * A file is copied with every write and the close checked, flushed to the
//    disk (fsync), and its size compared with the source's before and after.
//    Folders are copied entry by entry with the same checks; symbolic links
//    are copied as links. Pipes, devices and sockets are not copied (reading a
//    pipe could wait for ever): a tree holding one is refused.
//  * A move within one volume is a rename(2); across volumes the entry is
//    copied as above and the source is removed only once the copy stands
//    complete under its own name.
//  * An entry that is replaced goes to the desktop trash, and only after its
//    replacement is complete; when the trash refuses it nothing is replaced.
//  * On any failure the staged copy is removed and the returned text says
//    what failed, why, and that the source is still there.
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace vek::shell {

// What a path names, without following a final symbolic link.
enum class EntryKind { Missing, File, Folder, Link, Other };
EntryKind entryKind(const QString& path);

enum class TransferMode { Copy, Move };

// Copies or moves `src` to `dst`. With `replaceExisting` an entry at `dst` is
// moved to the trash and the new one takes its place; without it an existing
// `dst` is an error. True when `dst` holds the complete entry (for a move:
// and the source is gone, or, when only its removal failed, the text in
// `error` says so). On false, `error` gets one line saying what failed.
bool transferEntry(const QString& src, const QString& dst, TransferMode mode, bool replaceExisting,
                   QString* error);

// Removes a file, link or folder tree; never follows a symbolic link.
bool removeTree(const QString& path);

}  // namespace vek::shell
