// Private display and sound servers for the system tests: an Xvfb X server
// that picks its own free display number (-displayfd), and a PulseAudio
// server with one null sink, reached through a socket in a folder of its
// own. Several test runs on one machine never meet. Both stop, with
// everything they left, when the object goes.
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <sys/types.h>
#include <string>

namespace vek::testsupport {

class XServer {
public:
    XServer() = default;
    ~XServer();
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;

    // Starts Xvfb and waits (up to `timeoutMs`) until it names its display;
    // false, with the reason in error(), when Xvfb is missing or fails.
    bool start(int timeoutMs = 10000);
    void stop();
    // ":N" once started.
    const std::string& display() const { return m_display; }
    const std::string& error() const { return m_error; }

private:
    pid_t m_pid = -1;
    std::string m_display, m_error;
};

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

private:
    pid_t m_pid = -1;
    std::string m_dir, m_error;
};

}  // namespace vek::testsupport
