// Scratch folders, recordings and stand-in stubs of the pexe tests.
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "vek/codec/bytestream.hpp"
#include "vek/codec/sc4.hpp"
#include "vek/recpexe/pexe.hpp"

namespace pexetest {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

inline Bytes readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}
inline void writeFile(const fs::path& p, const Bytes& b) {
    std::ofstream(p, std::ios::binary)
        .write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

// A private folder removed at the end of the test, with a program folder
// (the stubs) and a data folder in it.
class Scratch {
public:
    Scratch() {
        std::string t = (fs::temp_directory_path() / "vek-pexe-XXXXXX").string();
        if (!::mkdtemp(t.data())) throw std::runtime_error("mkdtemp");
        root = t;
        program = root / "bin";
        data = root / "DATA";
        fs::create_directories(program);
        fs::create_directories(data);
    }
    ~Scratch() {
        std::error_code ec;
        fs::remove_all(root, ec);
    }
    fs::path root, program, data;
};

inline Bytes noise(std::size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    Bytes b(n);
    for (auto& x : b) x = static_cast<std::uint8_t>(rng());
    return b;
}

// A stand-in stub of exactly `size` bytes ("MZ" and a pattern).
inline Bytes stubBytes(std::size_t size, unsigned seed) {
    Bytes b = noise(size, seed);
    b[0] = 'M';
    b[1] = 'Z';
    return b;
}
inline void installStubs(const Scratch& s) {
    writeFile(s.program / "vekgplay.exe", stubBytes(vek::recpexe::kSpStubBytes, 1));
    writeFile(s.program / "vekaplay.exe", stubBytes(vek::recpexe::kAdpcmStubBytes, 2));
}

// An SP SC4 file of `sectors` tagged sectors.
inline Bytes spSc4(std::size_t sectors, unsigned seed) {
    Bytes out;
    for (std::size_t i = 0; i < sectors; ++i) {
        Bytes sec = noise(vek::kSectorBytes, seed + static_cast<unsigned>(i));
        std::copy(vek::kSpSectorTag, vek::kSpSectorTag + vek::kSpTagBytes, sec.begin());
        out.insert(out.end(), sec.begin(), sec.end());
    }
    return out;
}
// An ADPCM frame stream of `frames` 29-byte frames and its SC4 file.
inline Bytes frames(std::size_t n, unsigned seed) { return noise(n * 29, seed); }
inline Bytes adpcmSc4(const Bytes& stream, bool shq) {
    vek::MemorySource src(stream.data(), stream.size());
    vek::MemorySink sink;
    EXPECT_TRUE(vek::adpcmToSc4(src, sink, shq));
    return sink.bytes();
}
// What the container code makes of an SC4 file (the HQ/SHQ payload).
inline Bytes streamOf(const Bytes& sc4) {
    vek::MemorySource src(sc4.data(), sc4.size());
    vek::MemorySink sink;
    EXPECT_TRUE(vek::sc4ToAdpcm(src, sink));
    return sink.bytes();
}

inline std::vector<std::string> namesIn(const fs::path& dir) {
    std::vector<std::string> v;
    for (const auto& e : fs::directory_iterator(dir)) v.push_back(e.path().filename().string());
    std::sort(v.begin(), v.end());
    return v;
}

struct Shown {
    std::string text, caption;
    vek::recpexe::Icon icon;
};
class RecordingMessages : public vek::recpexe::MessageSink {
public:
    void show(const std::string& text, const std::string& caption, vek::recpexe::Icon icon) override {
        shown.push_back({text, caption, icon});
    }
    std::vector<Shown> shown;
};

}  // namespace pexetest
