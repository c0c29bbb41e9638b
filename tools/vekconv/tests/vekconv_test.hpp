// vekconv run as a user runs it, on the shared test support: the program in
// a scratch folder of its own, standard input from /dev/null, both streams
// captured.
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "vek/testsupport/files.hpp"
#include "vek/testsupport/fixtures.hpp"
#include "vek/testsupport/process.hpp"
#include "vek/testsupport/signals.hpp"

namespace vekconv::testing {

namespace fs = std::filesystem;
using namespace vek::testsupport;

// `vekconv ARGS` (ARGS as the shell splits them) in `cwd` (empty: here),
// behind `prefix` (e.g. the one of unprivilegedPrefix()).
inline RunResult vekconv(const std::string& args, const fs::path& cwd = {}, const std::string& prefix = {}) {
    return runProgram(VEKCONV_PATH, args, cwd, prefix);
}
inline std::optional<std::string> unprivilegedPrefix() { return vek::testsupport::unprivilegedPrefix(VEKCONV_PATH); }

// A test with a scratch folder as vekconv's working directory.
class CliTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(m_dir.empty()) << "no scratch folder"; }

    RunResult run(const std::string& args) const { return vekconv(args, m_dir); }
    std::string path(const std::string& name) const { return (m_dir / name).string(); }
    void write(const std::string& name, const Bytes& bytes) const {
        ASSERT_TRUE(writeFile(m_dir / name, bytes)) << name;
    }
    Bytes read(const std::string& name) const { return readFile(m_dir / name); }
    bool exists(const std::string& name) const { return fs::exists(m_dir / name); }
    // Names of the files in the scratch folder (to spot leftovers).
    std::vector<std::string> listing() const { return vek::testsupport::listing(m_dir); }

    ScratchDir m_scratch{"vekconv"};
    fs::path m_dir = m_scratch.path();
};

inline Bytes randomBytes(std::size_t n, std::uint32_t seed) {
    std::mt19937 rng(seed);
    Bytes b(n);
    for (auto& x : b) x = static_cast<std::uint8_t>(rng());
    return b;
}

// An HQ (or SHQ) recording of `frames` ADPCM frames of two tones, as an SC4
// file; *stream receives the plain frame stream it holds.
inline Bytes hqRecording(std::size_t frames, Bytes* stream, bool shq = false) {
    Bytes sc4 = adpcmSc4FromPcm(twoTones(frames * 58), shq, stream);
    EXPECT_FALSE(sc4.empty());
    return sc4;
}

// The samples of a WAV file vekconv wrote, which has the canonical 44-byte
// header (RIFF, a 16-byte fmt chunk, data); *rate receives its rate.
inline std::vector<std::int16_t> wavSamples(const Bytes& b, std::uint32_t* rate = nullptr) {
    EXPECT_GE(b.size(), 44u);
    if (b.size() < 44) return {};
    EXPECT_EQ(std::string(b.begin() + 36, b.begin() + 40), "data");
    if (rate) *rate = b[24] | b[25] << 8 | b[26] << 16;
    std::vector<std::int16_t> s((b.size() - 44) / 2);
    std::memcpy(s.data(), b.data() + 44, s.size() * 2);
    return s;
}

// What a strict reader sees in the WAV file at `p`.
inline WavInfo readWav(const fs::path& p) { return parseWav(readFile(p)); }
using Wav = WavInfo;

}  // namespace vekconv::testing
