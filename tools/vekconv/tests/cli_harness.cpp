// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli_harness.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>

#include "vek/codec/adpcm.hpp"
#include "vek/codec/bytestream.hpp"
#include "vek/codec/sc4.hpp"

#include <sys/wait.h>
#include <unistd.h>

namespace vekconv::testing {

namespace fs = std::filesystem;

void CliTest::SetUp() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    m_dir = fs::temp_directory_path() /
            ("vekconv-" + std::string(info->test_suite_name()) + "-" + info->name() + "-" + std::to_string(::getpid()));
    fs::remove_all(m_dir);
    fs::create_directories(m_dir);
}

void CliTest::TearDown() {
    std::error_code ec;
    fs::remove_all(m_dir, ec);
}

static std::string slurp(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

RunResult CliTest::run(const std::string& args) const {
    const fs::path out = m_dir / ".stdout", err = m_dir / ".stderr";
    const std::string cmd = "cd '" + m_dir.string() + "' && '" VEKCONV_PATH "' " + args + " </dev/null >'" +
                            out.string() + "' 2>'" + err.string() + "'";
    const int rc = std::system(cmd.c_str());
    RunResult r;
    r.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    r.out = slurp(out);
    r.err = slurp(err);
    fs::remove(out);
    fs::remove(err);
    return r;
}

void CliTest::write(const std::string& name, const Bytes& bytes) const {
    std::ofstream(m_dir / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

Bytes CliTest::read(const std::string& name) const {
    std::ifstream f(m_dir / name, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(f), {});
}

std::vector<std::string> CliTest::listing() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(m_dir)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

Bytes randomBytes(std::size_t n, std::uint32_t seed) {
    std::mt19937 rng(seed);
    Bytes b(n);
    for (auto& x : b) x = static_cast<std::uint8_t>(rng());
    return b;
}

Bytes hqRecording(std::size_t frames, Bytes* stream, bool shq) {
    std::vector<std::int16_t> pcm(frames * 58);
    for (std::size_t i = 0; i < pcm.size(); ++i) {
        pcm[i] = static_cast<std::int16_t>(7000 * std::sin(i * 0.06) + 2000 * std::sin(i * 0.31));
    }
    vek::AdpcmCodec enc;
    stream->assign(frames * 29, 0);
    enc.encode(reinterpret_cast<const std::uint8_t*>(pcm.data()), pcm.size() * 2, stream->data());
    vek::MemorySource src(stream->data(), stream->size());
    vek::MemorySink sc4;
    EXPECT_TRUE(vek::adpcmToSc4(src, sc4, shq));
    return sc4.bytes();
}

}  // namespace vekconv::testing
