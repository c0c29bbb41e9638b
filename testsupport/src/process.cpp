// SPDX-License-Identifier: GPL-3.0-or-later
#include "vek/testsupport/process.hpp"

#include <cstdlib>

#include <sys/wait.h>
#include <unistd.h>

#include "vek/testsupport/files.hpp"

namespace vek::testsupport {

namespace fs = std::filesystem;

long endedProcessId() {
    const pid_t pid = ::fork();
    if (pid == 0) ::_exit(0);
    if (pid < 0) return -1;
    int status = 0;
    ::waitpid(pid, &status, 0);
    return static_cast<long>(pid);
}

std::string shellQuote(const std::string& text) {
    std::string q = "'";
    for (char c : text) {
        if (c == '\'')
            q += "'\\''";
        else
            q += c;
    }
    return q + "'";
}

RunResult runProgram(const std::string& program, const std::string& args, const fs::path& cwd,
                     const std::string& prefix) {
    // The streams go to files of their own beside the temporary folder, not
    // into `cwd`, whose listing the tests check.
    char tmpl[] = "/tmp/vek-run-XXXXXX";
    RunResult r;
    if (!::mkdtemp(tmpl)) return r;
    const fs::path dir = tmpl, out = dir / "out", err = dir / "err";
    std::string cmd;
    if (!cwd.empty()) cmd = "cd " + shellQuote(cwd.string()) + " && ";
    // exec: the program replaces the shell, so that a program killed by a
    // signal shows as killed, not as the shell's exit status 128 + N.
    cmd += "exec " + prefix + (prefix.empty() ? "" : " ") + shellQuote(program) + " " + args + " </dev/null >" +
           shellQuote(out.string()) + " 2>" + shellQuote(err.string());
    const int rc = std::system(cmd.c_str());
    r.status = (rc != -1 && WIFEXITED(rc)) ? WEXITSTATUS(rc) : -1;
    r.out = readText(out);
    r.err = readText(err);
    std::error_code ec;
    fs::remove_all(dir, ec);
    return r;
}

std::optional<std::string> unprivilegedPrefix(const std::string& program) {
    if (::geteuid() != 0) return std::string();
    if (!haveTool("runuser")) return std::nullopt;
    if (std::system(("runuser -u nobody -- test -x " + shellQuote(program)).c_str()) != 0) return std::nullopt;
    return std::string("runuser -u nobody --");
}

bool haveTool(const std::string& tool) {
    return std::system(("command -v " + shellQuote(tool) + " >/dev/null 2>&1").c_str()) == 0;
}

}  // namespace vek::testsupport
