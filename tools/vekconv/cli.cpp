// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli.hpp"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>

#include <sys/stat.h>
#include <unistd.h>

namespace vekconv {

std::vector<Command>& registry() {
    static std::vector<Command> commands;
    return commands;
}

void error(const std::string& message) { std::cerr << "vekconv: " << message << '\n'; }

std::optional<long> parseInt(const std::string& text, long lo, long hi) {
    if (text.empty()) return std::nullopt;
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (errno || *end != '\0' || v < lo || v > hi) return std::nullopt;
    return v;
}

bool wantsHelp(const Args& args) {
    for (const auto& a : args)
        if (a == "--help" || a == "-h") return true;
    return false;
}

AtomicOutput::AtomicOutput(std::string target) : m_target(std::move(target)) {
    namespace fs = std::filesystem;
    const fs::path t(m_target);
    const fs::path dir = t.has_parent_path() ? t.parent_path() : fs::path(".");
    std::string pattern = (dir / ("." + t.filename().string() + ".XXXXXX")).string();
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    const int fd = mkstemp(buf.data());
    if (fd >= 0) {
        // mkstemp makes the file private; give it the mode a plain create would.
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(fd, 0666 & ~mask);
        ::close(fd);
        m_temp = buf.data();
    }
}

AtomicOutput::~AtomicOutput() {
    if (!m_done && !m_temp.empty()) std::remove(m_temp.c_str());
}

bool AtomicOutput::commit() {
    if (m_temp.empty()) {
        error("cannot create a file in the folder of '" + m_target + "'");
        return false;
    }
    if (std::rename(m_temp.c_str(), m_target.c_str()) != 0) {
        error("cannot write '" + m_target + "': " + std::strerror(errno));
        return false;
    }
    m_done = true;
    return true;
}

bool writeWholeFile(const std::string& target, const std::vector<std::uint8_t>& bytes) {
    AtomicOutput out(target);
    std::FILE* f = out.tempPath().empty() ? nullptr : std::fopen(out.tempPath().c_str(), "wb");
    if (!f) {
        error("cannot create '" + target + "'");
        return false;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (std::fclose(f) != 0 || !written) {
        error("cannot write '" + target + "'");
        return false;
    }
    return out.commit();
}

std::optional<std::uint64_t> fileSize(const std::string& path) {
    std::error_code ec;
    const auto n = std::filesystem::file_size(path, ec);
    if (ec) return std::nullopt;
    return n;
}

bool isRegularFile(const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec);
}

}  // namespace vekconv
