// Helpers of the to-wav / to-sc4 tests: run vekconv, read WAV files.
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

namespace convtest {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

inline std::string vekconvPath() { return VEKCONV_PATH; }

inline Bytes readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}
inline void writeFile(const fs::path& p, const Bytes& b) {
    std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}
inline std::string slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

struct RunResult {
    int status = -1;
    std::string out, err;
};

// Runs a shell command line with stdin from /dev/null, capturing both streams.
inline RunResult run(const std::string& args, const fs::path& scratch) {
    const fs::path out = scratch / "stdout.txt", err = scratch / "stderr.txt";
    const std::string cmd = "'" + vekconvPath() + "' " + args + " </dev/null >'" + out.string() + "' 2>'" + err.string() + "'";
    const int rc = std::system(cmd.c_str());
    RunResult r;
    r.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    r.out = slurp(out);
    r.err = slurp(err);
    return r;
}

// Prefix that runs vekconv as an unprivileged user when the tests run as root
// (root writes into read-only folders); empty when not needed, nullopt when
// it cannot be done here.
inline std::optional<std::string> unprivilegedPrefix() {
    if (::geteuid() != 0) return std::string();
    if (std::system("command -v runuser >/dev/null 2>&1") != 0) return std::nullopt;
    if (std::system(("runuser -u nobody -- test -x '" + vekconvPath() + "'").c_str()) != 0) return std::nullopt;
    return std::string("runuser -u nobody -- ");
}

inline RunResult runPrefixed(const std::string& prefix, const std::string& args, const fs::path& scratch) {
    const fs::path out = scratch / "stdout.txt", err = scratch / "stderr.txt";
    const std::string cmd =
        prefix + "'" + vekconvPath() + "' " + args + " </dev/null >'" + out.string() + "' 2>'" + err.string() + "'";
    const int rc = std::system(cmd.c_str());
    RunResult r;
    r.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    r.out = slurp(out);
    r.err = slurp(err);
    return r;
}

struct Wav {
    std::uint16_t tag = 0, channels = 0, bits = 0;
    std::uint32_t rate = 0, declaredData = 0;
    std::vector<std::int16_t> samples;  // 16-bit files only
    bool ok = false;
};

// Walks the chunks of a RIFF WAVE file.
inline Wav readWav(const fs::path& p) {
    Wav w;
    const Bytes f = readFile(p);
    if (f.size() < 12 || std::memcmp(f.data(), "RIFF", 4) != 0 || std::memcmp(f.data() + 8, "WAVE", 4) != 0) return w;
    auto u32 = [&](std::size_t o) { return f[o] | f[o + 1] << 8 | f[o + 2] << 16 | std::uint32_t(f[o + 3]) << 24; };
    auto u16 = [&](std::size_t o) { return static_cast<std::uint16_t>(f[o] | f[o + 1] << 8); };
    std::size_t pos = 12;
    while (pos + 8 <= f.size()) {
        const std::uint32_t size = u32(pos + 4);
        if (std::memcmp(f.data() + pos, "fmt ", 4) == 0 && pos + 24 <= f.size()) {
            w.tag = u16(pos + 8);
            w.channels = u16(pos + 10);
            w.rate = u32(pos + 12);
            w.bits = u16(pos + 22);
        } else if (std::memcmp(f.data() + pos, "data", 4) == 0) {
            w.declaredData = size;
            const std::size_t n = std::min<std::size_t>(size, f.size() - pos - 8);
            for (std::size_t i = 0; i + 1 < n; i += 2)
                w.samples.push_back(static_cast<std::int16_t>(f[pos + 8 + i] | f[pos + 9 + i] << 8));
            w.ok = w.declaredData == n;
            return w;
        }
        pos += 8 + size + (size & 1);
    }
    return w;
}

inline Bytes wavImage(int bits, int channels, std::uint32_t rate, const Bytes& data) {
    Bytes b;
    b.reserve(45 + data.size());
    auto p16 = [&](std::uint32_t v) {
        b.push_back(v & 0xFF);
        b.push_back((v >> 8) & 0xFF);
    };
    auto p32 = [&](std::uint32_t v) {
        p16(v & 0xFFFF);
        p16(v >> 16);
    };
    auto tag = [&](const char* t) {
        for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(t[i]));
    };
    tag("RIFF");
    p32(static_cast<std::uint32_t>(36 + data.size()));
    tag("WAVE");
    tag("fmt ");
    p32(16);
    p16(1);
    p16(static_cast<std::uint32_t>(channels));
    p32(rate);
    p32(rate * static_cast<std::uint32_t>(channels * bits / 8));
    p16(static_cast<std::uint32_t>(channels * bits / 8));
    p16(static_cast<std::uint32_t>(bits));
    tag("data");
    p32(static_cast<std::uint32_t>(data.size()));
    b.insert(b.end(), data.begin(), data.end());
    return b;
}

inline Bytes toneData(std::size_t frames, int channels, double rate) {
    Bytes b;
    b.reserve(frames * channels * 2);
    for (std::size_t i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c) {
            const double t = static_cast<double>(i) / rate;
            const auto s = static_cast<std::int16_t>(12000 * std::sin(2 * M_PI * (440 + 110 * c) * t));
            b.push_back(static_cast<std::uint8_t>(static_cast<std::uint16_t>(s) & 0xFF));
            b.push_back(static_cast<std::uint8_t>(static_cast<std::uint16_t>(s) >> 8));
        }
    return b;
}

// A scratch folder per test.
class ScratchDir {
public:
    ScratchDir() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        path = fs::temp_directory_path() / ("vekconv-" + std::to_string(::getpid()) + "-" + info->name());
        fs::remove_all(path);
        fs::create_directories(path);
    }
    ~ScratchDir() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
    fs::path path;
};

}  // namespace convtest
