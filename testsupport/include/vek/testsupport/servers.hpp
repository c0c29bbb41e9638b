// Private display and sound servers for the system tests: an Xvfb X server
// that picks its own free display number (-displayfd), and a PulseAudio
// server with one null sink, reached through a socket in a folder of its
// own. Several test runs on one machine never meet. Both stop, with
// everything they left, when the object goes.
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <sys/types.h>
#include <string>
#include <vector>

namespace vek::testsupport {

class XServer {
public:
    XServer() = default;
    ~XServer();
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;

    // Starts Xvfb with one screen of `screen` (WIDTHxHEIGHTxDEPTH) and waits
    // (up to `timeoutMs`) until it names its display; false, with the reason
    // in error(), when Xvfb is missing or fails.
    bool start(int timeoutMs = 10000, const std::string& screen = "1024x768x24");
    // Starts a window manager (`program`) on the display, with DISPLAY and
    // `env` set: "NAME=value" sets, a bare "NAME" removes. Waits `settleMs`
    // for it to take the screen; false, with error(), when it is missing or
    // has already exited by then. stop() ends it before the display.
    bool startWindowManager(const std::vector<std::string>& env = {}, const std::string& program = "openbox",
                            int settleMs = 500);
    bool windowManagerRunning() const;
    void stop();
    // ":N" once started.
    const std::string& display() const { return m_display; }
    const std::string& error() const { return m_error; }

private:
    pid_t m_pid = -1;
    mutable pid_t m_wmPid = -1;
    std::string m_display, m_error;
};

// The environment of a desktop session of its own under `home` for a program
// on an XServer, in startWindowManager()'s form: HOME and the XDG config,
// data and runtime folders under it (the runtime folder made, mode 0700), Qt
// on xcb, no Wayland display. DISPLAY is the caller's to add.
std::vector<std::string> sessionEnvironment(const std::string& home);

class SoundServer {
public:
    SoundServer() = default;
    ~SoundServer();
    SoundServer(const SoundServer&) = delete;
    SoundServer& operator=(const SoundServer&) = delete;

    // Starts PulseAudio with a null sink "nullsink" (48000 Hz stereo) and
    // waits until its socket is there; false, with error(), otherwise.
    bool start(int timeoutMs = 10000);
    void stop();
    // "unix:/tmp/vek-pulse-XXXXXX/pulse.sock": the PULSE_SERVER value.
    std::string server() const { return m_dir.empty() ? std::string() : "unix:" + m_dir + "/pulse.sock"; }
    // The XDG_RUNTIME_DIR the server runs with (mode 0700).
    std::string runtimeDir() const { return m_dir.empty() ? std::string() : m_dir + "/xdg"; }
    static const char* sinkName() { return "nullsink"; }
    const std::string& error() const { return m_error; }
    // The daemon's process (to stop and continue it: a server that hangs).
    pid_t pid() const { return m_pid; }

private:
    pid_t m_pid = -1;
    std::string m_dir, m_error;
};

}  // namespace vek::testsupport
