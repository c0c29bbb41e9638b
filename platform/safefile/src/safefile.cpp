// SPDX-License-Identifier: GPL-3.0-or-later
#include "vek/platform/safefile.hpp"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <system_error>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vek::safefile {
namespace {

constexpr const char* kMarker = ".vek-";
constexpr const char* kSuffix = ".tmp";
constexpr std::size_t kRandomDigits = 16;
// A temporary name must stay within the 255 bytes a folder entry may have:
// a long target name is cut in the temporary name (only there).
constexpr std::size_t kMaxStem = 200;

std::string randomHex() {
    static const char digits[] = "0123456789abcdef";
    std::random_device rd;
    std::string s;
    while (s.size() < kRandomDigits) {
        unsigned v = rd();
        for (int k = 0; k < 8 && s.size() < kRandomDigits; ++k, v >>= 4) s += digits[v & 15];
    }
    return s;
}

std::string folderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string baseOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Creates a file of ours in dir, exclusively and never through a link.
int createExclusive(const std::string& dir, const std::string& stem, std::string& path, int& err) {
    for (int attempt = 0; attempt < 64; ++attempt) {
        std::string candidate = dir;
        if (candidate.empty() || candidate.back() != '/') candidate += '/';
        candidate += tempName(stem);
        const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0) {
            path = candidate;
            err = 0;
            return fd;
        }
        if (errno != EEXIST) {
            err = errno;
            return -1;
        }
    }
    err = EEXIST;
    return -1;
}

// Flushes a folder's entries (the rename) to disk. Some file systems refuse
// fsync on a folder; the rename has happened all the same.
void syncFolder(const std::string& dir) {
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    (void)::fsync(fd);
    ::close(fd);
}

}  // namespace

unsigned defaultFileMode() {
    // The umask read without changing it (umask() would, for a moment, for
    // every thread); /proc tells it on Linux 4.7 and later.
    unsigned mask = 0;
    bool known = false;
    if (std::FILE* f = std::fopen("/proc/self/status", "r")) {
        char line[256];
        while (std::fgets(line, sizeof line, f)) {
            if (std::strncmp(line, "Umask:", 6) == 0) {
                mask = static_cast<unsigned>(std::strtoul(line + 6, nullptr, 8));
                known = true;
                break;
            }
        }
        std::fclose(f);
    }
    if (!known) {
        const mode_t m = ::umask(022);
        ::umask(m);
        mask = m;
    }
    return 0666u & ~mask;
}

std::string tempName(const std::string& stem) {
    const std::string cut = stem.size() > kMaxStem ? stem.substr(0, kMaxStem) : stem;
    return cut + kMarker + std::to_string(static_cast<long>(::getpid())) + "-" + randomHex() + kSuffix;
}

long ownerOf(const std::string& name) {
    // <stem>.vek-<pid>-<16 hex>.tmp
    const std::size_t suffix = std::strlen(kSuffix);
    if (name.size() < suffix + kRandomDigits + 1 + 1 + std::strlen(kMarker)) return -1;
    if (name.compare(name.size() - suffix, suffix, kSuffix) != 0) return -1;
    std::size_t end = name.size() - suffix;
    for (std::size_t i = end - kRandomDigits; i < end; ++i) {
        const char c = name[i];
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return -1;
    }
    end -= kRandomDigits;
    if (name[end - 1] != '-') return -1;
    --end;
    std::size_t begin = end;
    while (begin > 0 && name[begin - 1] >= '0' && name[begin - 1] <= '9') --begin;
    if (begin == end || end - begin > 9) return -1;
    const std::size_t marker = std::strlen(kMarker);
    if (begin < marker || name.compare(begin - marker, marker, kMarker) != 0) return -1;
    const long pid = std::strtol(name.substr(begin, end - begin).c_str(), nullptr, 10);
    return pid > 0 ? pid : -1;
}

int sweepStale(const std::string& dir) {
    DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
    if (!d) return 0;
    int removed = 0;
    const long self = static_cast<long>(::getpid());
    while (const dirent* e = ::readdir(d)) {
        const std::string name = e->d_name;
        const long pid = ownerOf(name);
        if (pid <= 0 || pid == self) continue;
        // Only a process that no longer exists has abandoned its file. A
        // process we may not signal (EPERM) still runs.
        if (::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) continue;
        std::string path = dir.empty() ? std::string(".") : dir;
        if (path.back() != '/') path += '/';
        path += name;
        // Another user's file is not ours to judge, even where the folder
        // would let us remove it. Files are created 0600 but not required
        // to be so here: a kill between giving the final mode and the rename
        // leaves one with the target's mode, ours all the same.
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) continue;
        if (::unlink(path.c_str()) == 0) ++removed;
    }
    ::closedir(d);
    return removed;
}

std::string userTempFolder() {
    // $TMPDIR (or $TMP, $TEMP, $TEMPDIR), as the conversion jobs choose it.
    std::error_code ec;
    const std::filesystem::path p = std::filesystem::temp_directory_path(ec);
    return ec || p.empty() ? std::string("/tmp") : p.string();
}

int sweepUserTempFolder() { return sweepStale(userTempFolder()); }

// ------------------------------------------------------------ Replacement

Replacement::~Replacement() { abandon(); }

bool Replacement::begin(const std::string& target, LinkPolicy links, int newFileMode) {
    abandon();
    m_error = 0;
    if (target.empty()) {
        m_error = ENOENT;
        return false;
    }
    m_dest = target;
    struct stat lst {};
    const bool present = ::lstat(target.c_str(), &lst) == 0;
    if (present && S_ISLNK(lst.st_mode) && links == LinkPolicy::Follow) {
        // A dangling link has nothing to follow: the link itself is replaced.
        if (char* real = ::realpath(target.c_str(), nullptr)) {
            m_dest = real;
            std::free(real);
        }
    }
    // The mode to keep: the replaced file's (for a link, the file it names),
    // or that of a new file. Nothing but a file (or a link) is replaced: a
    // folder, a pipe or a device under the name is refused.
    m_mode = newFileMode >= 0 ? static_cast<unsigned>(newFileMode) & 0777u : defaultFileMode();
    struct stat st {};
    if (::stat(m_dest.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) {
            m_error = EISDIR;
            return false;
        }
        if (!S_ISREG(st.st_mode)) {
            m_error = EEXIST;
            return false;
        }
        m_mode = st.st_mode & 0777;
    }
    m_fd = createExclusive(folderOf(m_dest), "." + baseOf(m_dest), m_temp, m_error);
    if (m_fd < 0) {
        m_temp.clear();
        return false;
    }
    return true;
}

bool Replacement::write(const void* data, std::size_t n) {
    if (m_fd < 0) {
        m_error = EBADF;
        return false;
    }
    const auto* p = static_cast<const unsigned char*>(data);
    while (n > 0) {
        const ssize_t k = ::write(m_fd, p, n);
        if (k < 0) {
            if (errno == EINTR) continue;
            m_error = errno;
            return false;
        }
        if (k == 0) {
            m_error = EIO;
            return false;
        }
        p += k;
        n -= static_cast<std::size_t>(k);
    }
    return true;
}

bool Replacement::commit() {
    if (m_fd < 0) {
        if (!m_error) m_error = EBADF;
        return false;
    }
    bool ok = true;
    // Delayed allocation reports a full disk only here, at the latest.
    if (::fsync(m_fd) != 0) {
        m_error = errno;
        ok = false;
    }
    if (ok && ::fchmod(m_fd, static_cast<mode_t>(m_mode)) != 0) {
        m_error = errno;
        ok = false;
    }
    if (::close(m_fd) != 0 && ok) {
        m_error = errno;
        ok = false;
    }
    m_fd = -1;
    if (ok && ::rename(m_temp.c_str(), m_dest.c_str()) != 0) {
        m_error = errno;
        ok = false;
    }
    if (!ok) {
        ::unlink(m_temp.c_str());
        m_temp.clear();
        return false;
    }
    m_temp.clear();
    syncFolder(folderOf(m_dest));
    return true;
}

void Replacement::abandon() {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
    if (!m_temp.empty()) ::unlink(m_temp.c_str());
    m_temp.clear();
}

bool replaceContents(const std::string& target, const void* data, std::size_t n, LinkPolicy links, int* err,
                     int newFileMode) {
    Replacement r;
    const bool ok = r.begin(target, links, newFileMode) && r.write(data, n) && r.commit();
    if (err) *err = ok ? 0 : r.error();
    return ok;
}

// -------------------------------------------------------- PrivateTempFile

bool PrivateTempFile::create(const std::string& dir, const std::string& stem) {
    remove();
    std::string base = dir;
    if (base.empty()) {
        const char* t = std::getenv("TMPDIR");
        base = t && *t ? t : "/tmp";
    }
    int err = 0;
    const int fd = createExclusive(base, stem, m_path, err);
    if (fd < 0) {
        m_path.clear();
        errno = err;
        return false;
    }
    ::close(fd);
    return true;
}

void PrivateTempFile::remove() {
    if (!m_path.empty()) ::unlink(m_path.c_str());
    m_path.clear();
}

}  // namespace vek::safefile
