// SPDX-License-Identifier: GPL-3.0-or-later
#include "vek/testsupport/servers.hpp"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "vek/testsupport/process.hpp"

namespace vek::testsupport {

namespace fs = std::filesystem;

namespace {

// Ends a child: SIGTERM, then SIGKILL after two seconds.
void endChild(pid_t& pid) {
    if (pid <= 0) return;
    ::kill(pid, SIGTERM);
    for (int i = 0; i < 200; ++i) {
        if (::waitpid(pid, nullptr, WNOHANG) == pid) {
            pid = -1;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    pid = -1;
}

bool exited(pid_t pid) { return ::waitpid(pid, nullptr, WNOHANG) == pid; }

}  // namespace

XServer::~XServer() { stop(); }

bool XServer::start(int timeoutMs, const std::string& screen) {
    stop();
    if (!haveTool("Xvfb")) {
        m_error = "Xvfb missing";
        return false;
    }
    int fds[2];
    if (::pipe(fds) != 0) {
        m_error = "no pipe";
        return false;
    }
    m_pid = ::fork();
    if (m_pid == 0) {
        // Xvfb writes the display number it chose to fd 3.
        ::dup2(fds[1], 3);
        if (fds[0] != 3) ::close(fds[0]);
        if (fds[1] != 3) ::close(fds[1]);
        const int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, 0);
        ::dup2(null, 1);
        ::dup2(null, 2);
        ::execlp("Xvfb", "Xvfb", "-displayfd", "3", "-screen", "0", screen.c_str(), "-nolisten", "tcp",
                 static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(fds[1]);
    if (m_pid < 0) {
        ::close(fds[0]);
        m_error = "fork failed";
        return false;
    }
    std::string number;
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (number.find('\n') == std::string::npos && std::chrono::steady_clock::now() < until) {
        pollfd p{fds[0], POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0) continue;
        char buf[32];
        const ssize_t n = ::read(fds[0], buf, sizeof buf);
        if (n <= 0) break;  // Xvfb closed the pipe without a number
        number.append(buf, static_cast<std::size_t>(n));
    }
    ::close(fds[0]);
    const auto nl = number.find('\n');
    if (nl == std::string::npos || nl == 0) {
        m_error = "Xvfb did not name a display";
        stop();
        return false;
    }
    m_display = ":" + number.substr(0, nl);
    return true;
}

bool XServer::startWindowManager(const std::vector<std::string>& env, const std::string& program, int settleMs) {
    endChild(m_wmPid);
    if (m_display.empty()) {
        m_error = "no display for the window manager";
        return false;
    }
    if (!haveTool(program)) {
        m_error = program + " missing";
        return false;
    }
    m_wmPid = ::fork();
    if (m_wmPid == 0) {
        ::setenv("DISPLAY", m_display.c_str(), 1);
        for (const std::string& e : env) {
            const auto eq = e.find('=');
            if (eq == std::string::npos)
                ::unsetenv(e.c_str());
            else
                ::setenv(e.substr(0, eq).c_str(), e.substr(eq + 1).c_str(), 1);
        }
        const int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, 0);
        ::dup2(null, 1);
        ::dup2(null, 2);
        ::execlp(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    if (m_wmPid < 0) {
        m_error = "fork failed";
        return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(settleMs));
    if (!windowManagerRunning()) {
        m_error = program + " exited at once";
        return false;
    }
    return true;
}

bool XServer::windowManagerRunning() const {
    if (m_wmPid > 0 && exited(m_wmPid)) m_wmPid = -1;
    return m_wmPid > 0;
}

void XServer::stop() {
    endChild(m_wmPid);
    endChild(m_pid);
    m_display.clear();
}

std::vector<std::string> sessionEnvironment(const std::string& home) {
    const std::string run = home + "/run";
    std::error_code ec;
    fs::create_directories(run, ec);
    ::chmod(run.c_str(), 0700);
    return {"HOME=" + home,          "XDG_CONFIG_HOME=" + home + "/config", "XDG_DATA_HOME=" + home + "/data",
            "XDG_RUNTIME_DIR=" + run, "QT_QPA_PLATFORM=xcb",                "WAYLAND_DISPLAY"};
}

SoundServer::~SoundServer() { stop(); }

bool SoundServer::start(int timeoutMs) {
    stop();
    if (!haveTool("pulseaudio")) {
        m_error = "pulseaudio missing";
        return false;
    }
    char tmpl[] = "/tmp/vek-pulse-XXXXXX";
    if (!::mkdtemp(tmpl)) {
        m_error = "no scratch folder";
        return false;
    }
    m_dir = tmpl;
    fs::create_directories(runtimeDir());
    ::chmod(runtimeDir().c_str(), 0700);
    const std::string socket = m_dir + "/pulse.sock", script = m_dir + "/pa.pa";
    {
        std::ofstream pa(script);
        pa << "load-module module-native-protocol-unix auth-anonymous=1 socket=" << socket << "\n"
           << "load-module module-null-sink sink_name=" << sinkName() << " rate=48000 channels=2\n"
           << "set-default-sink " << sinkName() << "\n";
    }
    const std::string log = m_dir + "/pulse.log", runtime = runtimeDir(), home = m_dir;
    m_pid = ::fork();
    if (m_pid == 0) {
        ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
        ::setenv("HOME", home.c_str(), 1);  // no cookie or state in the user's home
        const int null = ::open("/dev/null", O_RDONLY);
        const int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(null, 0);
        ::dup2(out, 1);
        ::dup2(out, 2);
        ::execlp("pulseaudio", "pulseaudio", "--daemonize=no", "--exit-idle-time=-1", "--system=false", "--realtime=no",
                 "--high-priority=no", "-n", "-F", script.c_str(), "--log-target=stderr", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    if (m_pid < 0) {
        m_error = "fork failed";
        stop();
        return false;
    }
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < until) {
        struct stat st {};
        if (::stat(socket.c_str(), &st) == 0 && S_ISSOCK(st.st_mode)) return true;
        if (exited(m_pid)) {
            m_pid = -1;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    m_error = "PulseAudio did not start: ";
    {
        std::ifstream in(log);
        m_error.append(std::istreambuf_iterator<char>(in), {});
    }
    if (m_error.size() > 2000) m_error = m_error.substr(m_error.size() - 2000);
    stop();
    return false;
}

void SoundServer::stop() {
    endChild(m_pid);
    if (!m_dir.empty()) {
        std::error_code ec;
        fs::remove_all(m_dir, ec);
        m_dir.clear();
    }
}

}  // namespace vek::testsupport
