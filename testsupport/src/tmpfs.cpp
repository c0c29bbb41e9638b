// SPDX-License-Identifier: GPL-3.0-or-later
#include "vek/testsupport/tmpfs.hpp"

#include <cerrno>
#include <cstring>

#include <sys/mount.h>

namespace vek::testsupport {

TmpfsMount::TmpfsMount(const std::filesystem::path& dir, const std::string& size, const std::string& options)
    : m_path(dir) {
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    const std::string opts = "size=" + size + (options.empty() ? "" : "," + options);
    if (::mount("tmpfs", dir.c_str(), "tmpfs", 0, opts.c_str()) == 0)
        m_mounted = true;
    else
        m_reason = std::string("cannot mount a tmpfs here (needs root): ") + std::strerror(errno);
}

TmpfsMount::~TmpfsMount() {
    if (m_mounted) ::umount2(m_path.c_str(), MNT_DETACH);
}

}  // namespace vek::testsupport
