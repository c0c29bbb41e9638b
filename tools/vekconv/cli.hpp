// Command registry and small helpers shared by the vekconv subcommands.
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "vek/platform/safefile.hpp"

namespace vekconv {

using Args = std::vector<std::string>;

struct Command {
    const char* name;
    const char* synopsis;  // one line for the overview
    const char* help;      // full text for "vekconv NAME --help"
    std::function<int(const Args&)> run;
};

std::vector<Command>& registry();

struct Register {
    explicit Register(Command c) { registry().push_back(std::move(c)); }
};

// "vekconv: message" on stderr.
void error(const std::string& message);

// Parses an integer option value within [lo, hi].
std::optional<long> parseInt(const std::string& text, long lo, long hi);

bool wantsHelp(const Args& args);

// Writes to a private temporary name beside `target` and renames it over the
// target only on success, so a failed run never leaves a partial output file
// and never loses the old one. A link under the target name is replaced
// itself, never written through.
class AtomicOutput {
public:
    explicit AtomicOutput(std::string target);
    ~AtomicOutput();
    // Empty when no temporary file could be created.
    const std::string& tempPath() const { return m_temp; }
    bool write(const void* data, std::size_t n) { return m_out.write(data, n); }
    int errorCode() const { return m_out.error(); }
    // Flushes the finished file to disk and moves it into place; false (with
    // a message) on failure, the target then untouched.
    bool commit();

private:
    std::string m_target;
    std::string m_temp;
    vek::safefile::Replacement m_out;
};

// Writes `bytes` as the whole content of `target` through an AtomicOutput;
// false (with a message) when anything failed, the target then untouched.
bool writeWholeFile(const std::string& target, const std::vector<std::uint8_t>& bytes);

std::optional<std::uint64_t> fileSize(const std::string& path);
bool isRegularFile(const std::string& path);
// Why an input that is not a regular file cannot be taken, for the message
// "'PATH': WHY": it is missing, a folder, or something else (a pipe, a
// device), which is never opened: reading a pipe would wait for a writer.
std::string notAFileReason(const std::string& path);

}  // namespace vekconv
