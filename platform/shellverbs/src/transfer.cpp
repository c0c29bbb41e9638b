// SPDX-License-Identifier: GPL-3.0-or-later
#include "vek/platform/transfer.hpp"

#include <QFile>
#include <QFileInfo>
#include <QObject>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vek::shell {
namespace {

// The first failure of an operation: which path, and the system's reason.
struct Failure {
    std::string path;
    int err = 0;
    bool set(const std::string& p, int e) {
        if (err == 0) {
            path = p;
            err = e ? e : EIO;
        }
        return false;
    }
    QString text() const {
        return QStringLiteral("%1: %2").arg(QFile::decodeName(path.c_str()),
                                            QString::fromLocal8Bit(std::strerror(err)));
    }
};

std::string native(const QString& p) { return QFile::encodeName(p).toStdString(); }

bool writeAll(int fd, const char* p, std::size_t n) {
    while (n > 0) {
        const ssize_t w = ::write(fd, p, n);
        if (w < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (w == 0) {  // no progress and no reason: count it as a failed write
            errno = EIO;
            return false;
        }
        p += w;
        n -= static_cast<std::size_t>(w);
    }
    return true;
}

// Flushes a folder's entries to the disk. Some file systems cannot sync a
// folder (EINVAL); that is no failure of ours.
bool syncFolder(const std::string& dir) {
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool ok = ::fsync(fd) == 0 || errno == EINVAL || errno == EROFS;
    const int e = errno;
    ::close(fd);
    errno = e;
    return ok;
}

std::string parentOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// rename(2) that never replaces an entry at `to`. File systems without the
// kernel's no-replace rename fall back to a check just before the rename.
int renameNoReplace(const std::string& from, const std::string& to) {
#ifdef RENAME_NOREPLACE
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return -1;
#endif
    struct stat st {};
    if (::lstat(to.c_str(), &st) == 0) {
        errno = EEXIST;
        return -1;
    }
    return ::rename(from.c_str(), to.c_str());
}

bool copyFile(const std::string& src, const std::string& dst, Failure& f) {
    // O_NONBLOCK: a pipe put under the name since it was looked at must not
    // hold the copy waiting for a writer (a regular file ignores the flag).
    const int in = ::open(src.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (in < 0) return f.set(src, errno);
    struct stat st {};
    if (::fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) {
        f.set(src, errno ? errno : EINVAL);
        ::close(in);
        return false;
    }
    const int out = ::open(dst.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (out < 0) {
        f.set(dst, errno);
        ::close(in);
        return false;
    }
    bool ok = true;
    off_t total = 0;
    std::vector<char> buf(1 << 16);
    for (;;) {
        const ssize_t r = ::read(in, buf.data(), buf.size());
        if (r < 0) {
            if (errno == EINTR) continue;
            ok = f.set(src, errno);
            break;
        }
        if (r == 0) break;
        if (!writeAll(out, buf.data(), static_cast<std::size_t>(r))) {
            ok = f.set(dst, errno);
            break;
        }
        total += r;
    }
    // Space a file system only allocates when the data goes to the disk
    // (delayed allocation, network and FUSE volumes) fails here, not above.
    if (ok && ::fsync(out) != 0) ok = f.set(dst, errno);
    struct stat outSt {}, inSt {};
    if (ok && (::fstat(out, &outSt) != 0 || outSt.st_size != total)) ok = f.set(dst, EIO);
    // A source that grew or shrank while it was read (a recording still
    // being written) was not copied whole.
    if (ok && (::fstat(in, &inSt) != 0 || inSt.st_size != total || st.st_size != total)) ok = f.set(src, EAGAIN);
    if (ok) {
        // Permissions and dates are kept where the volume can hold them (a
        // FAT recorder drive cannot hold all of them; that loses no data).
        (void)::fchmod(out, st.st_mode & 0777);
        const struct timespec times[2] = {st.st_atim, st.st_mtim};
        (void)::futimens(out, times);
    }
    if (::close(out) != 0 && ok) ok = f.set(dst, errno);
    ::close(in);
    return ok;
}

bool copyTree(const std::string& src, const std::string& dst, Failure& f) {
    struct stat st {};
    if (::lstat(src.c_str(), &st) != 0) return f.set(src, errno);
    if (S_ISREG(st.st_mode)) return copyFile(src, dst, f);
    if (S_ISLNK(st.st_mode)) {
        std::vector<char> target(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 255) + 1);
        for (;;) {
            const ssize_t n = ::readlink(src.c_str(), target.data(), target.size());
            if (n < 0) return f.set(src, errno);
            if (static_cast<std::size_t>(n) < target.size()) {
                target[static_cast<std::size_t>(n)] = '\0';
                break;
            }
            target.resize(target.size() * 2);
        }
        if (::symlink(target.data(), dst.c_str()) != 0) return f.set(dst, errno);
        return true;
    }
    if (!S_ISDIR(st.st_mode)) return f.set(src, ENOTSUP);  // a pipe, device or socket
    // Private until complete; the source's mode is applied at the end, so a
    // read-only source folder can still be filled.
    if (::mkdir(dst.c_str(), 0700) != 0) return f.set(dst, errno);
    DIR* d = ::opendir(src.c_str());
    if (!d) return f.set(src, errno);
    bool ok = true;
    errno = 0;
    while (dirent* e = ::readdir(d)) {
        const std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        if (!copyTree(src + '/' + name, dst + '/' + name, f)) {
            ok = false;
            break;
        }
        errno = 0;
    }
    if (ok && errno != 0) ok = f.set(src, errno);  // readdir failed
    ::closedir(d);
    if (ok && !syncFolder(dst)) ok = f.set(dst, errno);
    if (ok) {
        (void)::chmod(dst.c_str(), st.st_mode & 07777);
        const struct timespec times[2] = {st.st_atim, st.st_mtim};
        (void)::utimensat(AT_FDCWD, dst.c_str(), times, AT_SYMLINK_NOFOLLOW);
    }
    return ok;
}

// `makeWritable`: folders are given write permission for their owner on the
// way down, for trees of our own making whose modes were already copied.
bool removeNative(const std::string& path, bool makeWritable) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return errno == ENOENT;
    if (!S_ISDIR(st.st_mode)) return ::unlink(path.c_str()) == 0 || errno == ENOENT;
    if (makeWritable && (st.st_mode & S_IRWXU) != S_IRWXU) (void)::chmod(path.c_str(), st.st_mode | S_IRWXU);
    DIR* d = ::opendir(path.c_str());
    if (!d) return false;
    bool ok = true;
    std::vector<std::string> names;
    while (dirent* e = ::readdir(d)) {
        const std::string name = e->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    ::closedir(d);
    for (const auto& n : names) ok = removeNative(path + '/' + n, makeWritable) && ok;
    return ::rmdir(path.c_str()) == 0 && ok;
}

// A name beside `dst` that names no entry, hidden from the file lists.
std::string stagingPathFor(const std::string& dst) {
    const std::string dir = parentOf(dst);
    for (;;) {
        const std::string candidate =
            dir + "/.vek-paste-" + std::to_string(QRandomGenerator::global()->generate64() % 1000000000000ull);
        struct stat st {};
        if (::lstat(candidate.c_str(), &st) != 0 && errno == ENOENT) return candidate;
    }
}

QString nameOf(const QString& path) { return QFileInfo(path).fileName(); }

}  // namespace

EntryKind entryKind(const QString& path) {
    struct stat st {};
    if (::lstat(native(path).c_str(), &st) != 0) return EntryKind::Missing;
    if (S_ISLNK(st.st_mode)) return EntryKind::Link;
    if (S_ISDIR(st.st_mode)) return EntryKind::Folder;
    if (S_ISREG(st.st_mode)) return EntryKind::File;
    return EntryKind::Other;
}

bool removeTree(const QString& path) { return removeNative(native(path), false); }

bool transferEntry(const QString& src, const QString& dst, TransferMode mode, bool replaceExisting,
                   QString* error) {
    const std::string s = native(src), d = native(dst);
    const bool move = mode == TransferMode::Move;
    const QString targetFolder = QFileInfo(dst).absolutePath();
    auto report = [&](const QString& text) {
        if (error) *error += text + '\n';
        return false;
    };
    // A folder never goes into itself: its copy would copy itself for ever.
    const QString canonSrc = QFileInfo(src).canonicalFilePath();
    const QString canonTarget = QFileInfo(targetFolder).canonicalFilePath();
    if (entryKind(src) == EntryKind::Folder && !canonSrc.isEmpty() &&
        (canonTarget + '/').startsWith(canonSrc + '/'))
        return report(QObject::tr("Cannot put '%1' inside itself.").arg(nameOf(src)));
    const bool exists = entryKind(dst) != EntryKind::Missing;
    if (exists && !replaceExisting)
        return report(QObject::tr("Cannot %1 '%2' to %3: an item of that name is already there.")
                          .arg(move ? QObject::tr("move") : QObject::tr("copy"), nameOf(src), targetFolder));

    // A move within the volume: one rename, nothing copied. With an entry to
    // replace it is first renamed to the staging name, so that the old entry
    // goes to the trash only once the source is known to move.
    std::string staged;
    bool renamed = false;
    if (move) {
        staged = exists ? stagingPathFor(d) : d;
        if (renameNoReplace(s, staged) == 0) {
            renamed = true;
            if (!exists) {
                syncFolder(parentOf(d));
                return true;
            }
        } else if (errno != EXDEV) {
            return report(QObject::tr("Cannot move '%1' to %2: %3. It was left where it was.")
                              .arg(nameOf(src), targetFolder, QString::fromLocal8Bit(std::strerror(errno))));
        }
    }
    // What stays as it was when this transfer fails.
    const QString kept = move ? QObject::tr("The original is kept.")
                              : exists ? QObject::tr("The existing '%1' was not replaced.").arg(nameOf(dst))
                                       : QString();
    if (!renamed) {
        staged = stagingPathFor(d);
        Failure f;
        if (!copyTree(s, staged, f)) {
            removeNative(staged, true);
            // The user knows the entry by its own name, not the staging one.
            if (f.path.compare(0, staged.size(), staged) == 0) f.path = d + f.path.substr(staged.size());
            return report(QObject::tr("Cannot %1 '%2' to %3 (%4). %5 The incomplete copy was removed.")
                              .arg(move ? QObject::tr("move") : QObject::tr("copy"), nameOf(src), targetFolder,
                                   f.text(), kept)
                              .replace(QStringLiteral(".  "), QStringLiteral(". ")));
        }
    }
    // Undoes the staging: a renamed source goes back, a copy is removed.
    auto unstage = [&] {
        if (renamed)
            (void)::rename(staged.c_str(), s.c_str());
        else
            removeNative(staged, true);
    };

    QString inTrash;
    if (exists && !QFile::moveToTrash(dst, &inTrash)) {
        unstage();
        return report(QObject::tr("Cannot move the existing '%1' in %2 to the trash, so it was not replaced.%3")
                          .arg(nameOf(dst), targetFolder,
                               move ? QObject::tr(" '%1' was left where it was.").arg(nameOf(src)) : QString()));
    }
    if (renameNoReplace(staged, d) != 0) {
        const int e = errno;
        // Bring the replaced entry back from the trash (a rename on its
        // volume); its entry in the trash's info folder is left behind.
        if (!inTrash.isEmpty()) (void)renameNoReplace(native(inTrash), d);
        unstage();
        return report(QObject::tr("Cannot put '%1' into %2: %3. %4")
                          .arg(nameOf(src), targetFolder, QString::fromLocal8Bit(std::strerror(e)), kept)
                          .trimmed());
    }
    // The new entry must be on the disk under its own name before the
    // source of a move may go.
    if (!syncFolder(parentOf(d)) && move && !renamed)
        return report(QObject::tr("'%1' was copied to %2, but the copy could not be flushed to the disk (%3). "
                                  "The original is kept.")
                          .arg(nameOf(src), targetFolder, QString::fromLocal8Bit(std::strerror(errno))));
    if (move && !renamed && !removeTree(src))
        report(QObject::tr("'%1' was copied to %2, but the original could not be removed completely.")
                   .arg(nameOf(src), targetFolder));
    return true;
}

}  // namespace vek::shell
