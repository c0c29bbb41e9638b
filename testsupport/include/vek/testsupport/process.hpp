// Running the suite's programs as a user runs them: a command line through
// the shell, standard input from /dev/null, both output streams captured.
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace vek::testsupport {

struct RunResult {
    int status = -1;  // exit status; -1 when the program did not exit normally
    std::string out;  // standard output
    std::string err;  // standard error
};

// `text` in single quotes for the shell.
std::string shellQuote(const std::string& text);

// Runs `program ARGS` (ARGS as a shell would split them, so that tests can
// write quotes, globs and redirections) in `cwd` (empty: the current
// folder), optionally behind `prefix` (e.g. "runuser -u nobody --").
RunResult runProgram(const std::string& program, const std::string& args, const std::filesystem::path& cwd = {},
                     const std::string& prefix = {});

// A prefix that runs `program` as an unprivileged user when the tests run as
// root (root writes into read-only folders): empty when not needed, nullopt
// when it cannot be done here.
std::optional<std::string> unprivilegedPrefix(const std::string& program);

// The id of a process that has just ended (a child that exited at once and
// was reaped): no process has it now, and ids are not reused that soon.
long endedProcessId();

// Whether `tool` is on the PATH.
bool haveTool(const std::string& tool);

}  // namespace vek::testsupport
