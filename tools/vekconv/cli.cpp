// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli.hpp"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>


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
    // Private while it is written; commit() gives it the replaced file's mode
    // (a 0600 file stays 0600) or a new file's.
    if (m_out.begin(m_target, vek::safefile::LinkPolicy::ReplaceLink)) m_temp = m_out.tempPath();
}

AtomicOutput::~AtomicOutput() = default;

bool AtomicOutput::commit() {
    if (m_temp.empty()) {
        // Only a file (or a link) is ever replaced.
        if (m_out.error() == EISDIR)
            error("'" + m_target + "' is a folder: it is not replaced");
        else if (m_out.error() == EEXIST)
            error("'" + m_target + "' is not a regular file: it is not replaced");
        else
            error("cannot create a file in the folder of '" + m_target + "': " + std::strerror(m_out.error()));
        return false;
    }
    if (!m_out.commit()) {
        error("cannot write '" + m_target + "': " + std::strerror(m_out.error()));
        return false;
    }
    return true;
}

bool writeWholeFile(const std::string& target, const std::vector<std::uint8_t>& bytes) {
    AtomicOutput out(target);
    if (out.tempPath().empty()) return out.commit();  // says why
    if (!out.write(bytes.data(), bytes.size())) {
        error("cannot write '" + target + "': " + std::strerror(out.errorCode()));
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

std::string notAFileReason(const std::string& path) {
    std::error_code ec;
    const auto st = std::filesystem::status(path, ec);
    if (ec || !std::filesystem::exists(st)) return "no such file";
    if (std::filesystem::is_directory(st)) return "is a folder, not a file";
    return "not a regular file";
}

}  // namespace vekconv
