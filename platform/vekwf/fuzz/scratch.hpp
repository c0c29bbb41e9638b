// A private scratch folder for fuzz targets that must hand their input to a
// reader as a file: made once per process (in /dev/shm when it is there, so
// that the files stay in memory), removed when the process ends.
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <unistd.h>

namespace vek::fuzz {

inline const std::string& scratchFolder() {
    static const std::string dir = [] {
        namespace fs = std::filesystem;
        std::error_code ec;
        std::string base = fs::is_directory("/dev/shm", ec) && ::access("/dev/shm", W_OK) == 0
                               ? std::string("/dev/shm")
                               : fs::temp_directory_path(ec).string();
        std::string templ = base + "/vek-fuzz-XXXXXX";
        if (!::mkdtemp(templ.data())) std::abort();
        static struct Remover {
            std::string path;
            ~Remover() {
                std::error_code e;
                std::filesystem::remove_all(path, e);
            }
        } remover{templ};
        return templ + "/";
    }();
    return dir;
}

// Writes the bytes to `name` in the scratch folder; returns the path.
inline std::string writeScratchFile(const std::string& name, const std::uint8_t* data, std::size_t size) {
    const std::string path = scratchFolder() + name;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) std::abort();
    if (size && std::fwrite(data, 1, size, f) != size) std::abort();
    if (std::fclose(f) != 0) std::abort();
    return path;
}

}  // namespace vek::fuzz
