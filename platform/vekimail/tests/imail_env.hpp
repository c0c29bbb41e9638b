// A private desktop for the mail tests: HOME and XDG folders in a scratch
// folder, a stand-in mail client registered as the mailto handler through a
// .desktop file, and a PATH folder for stand-in programs.
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <thread>

#include <sys/stat.h>

namespace imailtest {

namespace fs = std::filesystem;

inline std::string slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Waits up to `ms` for a file to appear with content.
inline std::string waitForFile(const fs::path& p, int ms) {
    for (int waited = 0; waited < ms; waited += 20) {
        std::error_code ec;
        if (fs::exists(p, ec) && fs::file_size(p, ec) > 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            return slurp(p);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return {};
}

class Desktop {
public:
    Desktop() {
        std::string t = (fs::temp_directory_path() / "vek-imail-XXXXXX").string();
        if (!::mkdtemp(t.data())) throw std::runtime_error("mkdtemp");
        root = t;
        bin = root / "bin";
        fs::create_directories(bin);
        fs::create_directories(root / "data" / "applications");
        fs::create_directories(root / "config");
        m_oldPath = std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin:/bin";
        ::setenv("HOME", root.c_str(), 1);
        ::setenv("XDG_DATA_HOME", (root / "data").c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (root / "config").c_str(), 1);
        ::setenv("XDG_DATA_DIRS", (root / "sysdata").c_str(), 1);  // no system-wide handlers
        ::setenv("DISPLAY", ":4242", 1);  // a desktop session; the stand-in never connects
        for (const char* v : {"XDG_CURRENT_DESKTOP", "DESKTOP_SESSION", "KDE_FULL_SESSION", "GNOME_DESKTOP_SESSION_ID",
                              "MATE_DESKTOP_SESSION_ID", "MAILER", "BROWSER", "DBUS_SESSION_BUS_ADDRESS"})
            ::unsetenv(v);
        setPath(bin.string() + ":" + m_oldPath);
    }
    ~Desktop() {
        ::setenv("PATH", m_oldPath.c_str(), 1);
        std::error_code ec;
        fs::remove_all(root, ec);
    }
    void setPath(const std::string& p) { ::setenv("PATH", p.c_str(), 1); }
    const std::string& systemPath() const { return m_oldPath; }

    // An executable shell script in bin/ (or at `where`).
    fs::path script(const std::string& name, const std::string& body) {
        const fs::path p = bin / name;
        std::ofstream(p) << "#!/bin/sh\n" << body << "\n";
        ::chmod(p.c_str(), 0755);
        return p;
    }
    // The stand-in mail client: writes its arguments, one a line, to got.txt.
    void registerStandInMailClient() {
        const fs::path client = script("standin-mail", "printf '%s\\n' \"$@\" > '" + (root / "got.txt").string() + "'");
        std::ofstream(root / "data" / "applications" / "standin-mail.desktop")
            << "[Desktop Entry]\nType=Application\nName=Stand-in mail\nExec=" << client.string()
            << " %u\nMimeType=x-scheme-handler/mailto;\n";
        std::ofstream(root / "config" / "mimeapps.list")
            << "[Default Applications]\nx-scheme-handler/mailto=standin-mail.desktop\n";
    }
    fs::path received() const { return root / "got.txt"; }

    fs::path root, bin;

private:
    std::string m_oldPath;
};

// "%20" and friends back to bytes.
inline std::string percentDecode(const std::string& s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size()) {
            out += static_cast<char>(std::stoi(s.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += s[i];
        }
    }
    return out;
}

}  // namespace imailtest
