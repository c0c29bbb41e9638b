// Runs vekconv as a child process in a scratch folder and captures its output.
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace vekconv::testing {

struct RunResult {
    int status = -1;      // exit status (-1 when the program did not exit normally)
    std::string out;      // standard output
    std::string err;      // standard error
};

using Bytes = std::vector<std::uint8_t>;

class CliTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Runs `vekconv ARGS` with the scratch folder as working directory and
    // stdin from /dev/null.
    RunResult run(const std::string& args) const;
    std::string path(const std::string& name) const { return (m_dir / name).string(); }
    void write(const std::string& name, const Bytes& bytes) const;
    Bytes read(const std::string& name) const;
    bool exists(const std::string& name) const { return std::filesystem::exists(m_dir / name); }
    // Names of the files in the scratch folder (to spot leftovers).
    std::vector<std::string> listing() const;

    std::filesystem::path m_dir;
};

Bytes randomBytes(std::size_t n, std::uint32_t seed);

// An HQ (or SHQ) recording of `frames` ADPCM frames of a two-tone signal, as
// an SC4 file; *stream receives the plain frame stream it holds.
Bytes hqRecording(std::size_t frames, Bytes* stream, bool shq = false);

}  // namespace vekconv::testing
