// xdg-email and detached program starts.
// SPDX-License-Identifier: GPL-3.0-or-later
#include "vek/platform/vekimail.hpp"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace vek::imail {

namespace {

constexpr int kDefaultWaitMs = 20000;

bool isExecutableFile(const std::string& p) {
    struct stat st{};
    return ::stat(p.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(p.c_str(), X_OK) == 0;
}

std::vector<char*> argvOf(std::vector<std::string>& words) {
    std::vector<char*> v;
    for (std::string& w : words) v.push_back(w.data());
    v.push_back(nullptr);
    return v;
}

// Children we stopped waiting for; reaped on later calls.
std::mutex g_pendingMutex;
std::vector<pid_t> g_pending;

void reapPending() {
    std::lock_guard lock(g_pendingMutex);
    std::erase_if(g_pending, [](pid_t p) { return ::waitpid(p, nullptr, WNOHANG) != 0; });
}

}  // namespace

std::optional<std::string> findOnPath(const std::string& program) {
    if (program.empty()) return std::nullopt;
    if (program.find('/') != std::string::npos)
        return isExecutableFile(program) ? std::optional<std::string>(program) : std::nullopt;
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/local/bin:/usr/bin:/bin";
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = dirs.find(':', start);
        std::string candidate = dirs.substr(start, end == std::string::npos ? std::string::npos : end - start);
        // An empty entry names the current folder.
        candidate += candidate.empty() ? "./" : "/";
        candidate += program;
        if (isExecutableFile(candidate)) return candidate;
        if (end == std::string::npos) return std::nullopt;
        start = end + 1;
    }
}

std::int32_t sendIMailWithin(const char* attachment, int waitMs) {
    reapPending();
    const auto xdg = findOnPath("xdg-email");
    if (!xdg) return kNoXdgEmail;
    struct stat st{};
    if (!attachment || ::stat(attachment, &st) != 0 || !S_ISREG(st.st_mode)) return kNoSuchFile;
    std::vector<std::string> words{*xdg, "--attach", attachment};
    std::vector<char*> argv = argvOf(words);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
    pid_t pid = 0;
    const int rc = ::posix_spawn(&pid, xdg->c_str(), &fa, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&fa);
    if (rc != 0) return kCannotStart;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    for (;;) {
        int status = 0;
        const pid_t r = ::waitpid(pid, &status, WNOHANG);
        if (r == pid) {
            if (WIFEXITED(status)) return WEXITSTATUS(status) == 0 ? 0 : kFailedBase + WEXITSTATUS(status);
            return kFailedBase + 0xFF;
        }
        if (r < 0 && errno != EINTR) return kCannotStart;
        if (std::chrono::steady_clock::now() >= deadline) {
            std::lock_guard lock(g_pendingMutex);
            g_pending.push_back(pid);
            return 0;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

std::int32_t sendIMail(const char* attachment, const char* /*text*/) {
    return sendIMailWithin(attachment, kDefaultWaitMs);
}

std::vector<std::string> splitCommandLine(const std::string& line) {
    std::vector<std::string> words;
    std::string cur;
    bool inWord = false, quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '\\' && i + 1 < line.size() && line[i + 1] == '"') {
            cur += '"';
            ++i;
            inWord = true;
        } else if (c == '"') {
            quoted = !quoted;
            inWord = true;
        } else if ((c == ' ' || c == '\t') && !quoted) {
            if (inWord) words.push_back(std::move(cur));
            cur.clear();
            inWord = false;
        } else {
            cur += c;
            inWord = true;
        }
    }
    if (inWord) words.push_back(std::move(cur));
    return words;
}

bool startDetached(const std::vector<std::string>& argvIn) {
    reapPending();
    if (argvIn.empty()) return false;
    const auto exe = findOnPath(argvIn[0]);
    if (!exe) return false;
    std::vector<std::string> words = argvIn;
    std::vector<char*> argv = argvOf(words);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSID);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
    pid_t pid = 0;
    const int rc = ::posix_spawn(&pid, exe->c_str(), &fa, &attr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&fa);
    posix_spawnattr_destroy(&attr);
    if (rc != 0) return false;
    std::lock_guard lock(g_pendingMutex);
    g_pending.push_back(pid);
    return true;
}

int startCommandLine(const std::string& line) {
    const std::vector<std::string> words = splitCommandLine(line);
    if (words.empty()) return 0;
    return startDetached(words) ? 33 : 2;
}

int shellOpenProgram(const std::string& program, const std::string& params) {
    std::vector<std::string> candidates{program};
    if (program == "netscape.exe") candidates = {"thunderbird", "seamonkey", "netscape"};
    for (const std::string& c : candidates) {
        if (!findOnPath(c)) continue;
        std::vector<std::string> argv{c};
        for (std::string& w : splitCommandLine(params)) argv.push_back(std::move(w));
        return startDetached(argv) ? 42 : 2;
    }
    return 2;
}

}  // namespace vek::imail
