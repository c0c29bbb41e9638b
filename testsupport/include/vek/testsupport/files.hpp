// Whole-file reads and writes, and a scratch folder per test.
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace vek::testsupport {

std::vector<std::uint8_t> readFile(const std::filesystem::path& path);
std::string readText(const std::filesystem::path& path);
// Creates or replaces `path`; false when it cannot be written completely.
bool writeFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes);
// The names of the entries of `dir`, sorted.
std::vector<std::string> listing(const std::filesystem::path& dir);

// A fresh folder of its own under the temporary folder (made by mkdtemp, so
// parallel tests and runs never share one), named "TAG-XXXXXX" and removed
// with everything in it at the end. path() is empty when none could be made.
class ScratchDir {
public:
    explicit ScratchDir(const std::string& tag = "vek");
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const std::filesystem::path& path() const { return m_path; }
    std::filesystem::path operator/(const std::string& name) const { return m_path / name; }

private:
    std::filesystem::path m_path;
};

}  // namespace vek::testsupport
