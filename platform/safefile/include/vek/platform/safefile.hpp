// Replacing a file so that nothing is lost: the new content goes to a
// private, uniquely named file beside the target, reaches the disk (fsync)
// and only then takes the target's place with one rename. Until that rename
// the old file is untouched, whatever fails (a full disk, a failing medium, a
// killed process); afterwards the new file is complete.
//
// Every temporary file of the suite carries its process id in its name
// (".vek-PID-XXXXXXXXXXXXXXXX.tmp" at the end), so a later run can sweep the
// ones whose process is gone.
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <string>

namespace vek::safefile {

// What happens when the target is a symbolic link.
enum class LinkPolicy {
    // The link stays a link and the file it points to is replaced (beside
    // that file). A settings file kept elsewhere and linked in stays linked.
    Follow,
    // The link itself is replaced by the new file; nothing is ever written
    // through it. A dangling link is replaced the same way.
    ReplaceLink,
};

// One replacement of one target. Not copyable; an uncommitted temporary file
// is removed when the object goes.
class Replacement {
public:
    Replacement() = default;
    ~Replacement();
    Replacement(const Replacement&) = delete;
    Replacement& operator=(const Replacement&) = delete;

    // Creates the temporary file beside the target (mode 0600, exclusively,
    // never through a link). False when it cannot be created; error() tells
    // why. newFileMode is the mode the file gets when nothing is replaced; a
    // negative value means what a plain create gives (defaultFileMode()).
    bool begin(const std::string& target, LinkPolicy links = LinkPolicy::ReplaceLink, int newFileMode = -1);
    bool active() const { return m_fd >= 0; }
    // The temporary file: write through fd(), or open tempPath() by name (the
    // file stays the same, so the descriptor still reaches what was written).
    int fd() const { return m_fd; }
    const std::string& tempPath() const { return m_temp; }
    // The path that commit() replaces (the link's target under Follow).
    const std::string& destination() const { return m_dest; }
    // Appends to the temporary file; false (error() set) on any short write.
    bool write(const void* data, std::size_t n);
    // Flushes the file to disk, gives it the mode to keep (the replaced
    // file's, or what a new file would get), renames it over the target and
    // flushes the folder. False (the target untouched, the temporary file
    // removed) when any step fails.
    bool commit();
    // Removes the temporary file; the target stays as it was.
    void abandon();
    // errno of the last failure, 0 when none.
    int error() const { return m_error; }

private:
    int m_fd = -1;
    std::string m_temp;
    std::string m_dest;
    unsigned m_mode = 0;
    int m_error = 0;
};

// The whole content of target replaced by data[0..n); false when anything
// failed, the target then untouched. *err receives errno when given.
bool replaceContents(const std::string& target, const void* data, std::size_t n,
                     LinkPolicy links = LinkPolicy::ReplaceLink, int* err = nullptr, int newFileMode = -1);

// A private temporary file (mode 0600) of this process in a folder, created
// exclusively, named "<stem>.vek-PID-XXXXXXXXXXXXXXXX.tmp" and removed when
// the object goes.
class PrivateTempFile {
public:
    PrivateTempFile() = default;
    ~PrivateTempFile() { remove(); }
    PrivateTempFile(const PrivateTempFile&) = delete;
    PrivateTempFile& operator=(const PrivateTempFile&) = delete;
    bool create(const std::string& dir, const std::string& stem);
    void remove();
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
};

// A name of this process's temporary files for `stem`: "<stem>.vek-PID-" and
// 16 random hex digits, then ".tmp".
std::string tempName(const std::string& stem);
// The process id a temporary file's name carries, or -1 when the name is not
// one of ours.
long ownerOf(const std::string& name);
// Removes the temporary files in dir (not below it) whose process no longer
// runs. Only regular files with our names that belong to this user are
// looked at; links are never followed. Returns how many were removed.
int sweepStale(const std::string& dir);
// The user's temporary folder: $TMPDIR (or the like), else /tmp.
std::string userTempFolder();
// What every program of the suite does when it starts: the temporary files
// its earlier runs left in the user's temporary folder (frame files of a
// killed conversion, say) are swept when their process is gone.
int sweepUserTempFolder();

// The mode a new file gets here: 0666 without the process's umask.
unsigned defaultFileMode();

}  // namespace vek::safefile
