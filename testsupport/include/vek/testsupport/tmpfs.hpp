// A small tmpfs mounted for one test: a nearly full disk, or a second volume
// that renames cannot cross.
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <filesystem>
#include <string>

namespace vek::testsupport {

// Mounts a tmpfs of `size` (the mount option, "512k", "4600m") on `dir`,
// which is made when missing, and detaches it at the end. Mounting needs
// root: when it fails, mounted() is false and skipReason() says why, for the
// test's GTEST_SKIP(). `options` are more mount options ("mode=0755").
class TmpfsMount {
public:
    TmpfsMount(const std::filesystem::path& dir, const std::string& size, const std::string& options = {});
    ~TmpfsMount();
    TmpfsMount(const TmpfsMount&) = delete;
    TmpfsMount& operator=(const TmpfsMount&) = delete;
    bool mounted() const { return m_mounted; }
    const std::string& skipReason() const { return m_reason; }
    const std::filesystem::path& path() const { return m_path; }

private:
    std::filesystem::path m_path;
    bool m_mounted = false;
    std::string m_reason;
};

}  // namespace vek::testsupport
