// Handing a file to the desktop's mail client, and starting mail programs.
//
// sendIMail runs "xdg-email --attach FILE" (xdg-email found on PATH), which
// opens a new message of the desktop's default mail client with the file
// attached. It waits for xdg-email to finish, up to a time limit: some
// clients keep xdg-email in the foreground while their composer is open,
// and a run still going at the limit has the message open, so it counts as
// handed over (the process is reaped later).
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vek::imail {

// Result codes of sendIMail besides 0 (handed over).
inline constexpr std::int32_t kNoXdgEmail = 1;      // xdg-email is not on PATH
inline constexpr std::int32_t kNoSuchFile = 2;      // the attachment is not a regular file
inline constexpr std::int32_t kCannotStart = 3;     // the process could not be started
inline constexpr std::int32_t kFailedBase = 0x100;  // + xdg-email's exit status (or 0xFF for a signal)

// 0 when the message was opened with the attachment; `text` is not used.
std::int32_t sendIMail(const char* attachment, const char* text);
// The same with a time limit in milliseconds (tests).
std::int32_t sendIMailWithin(const char* attachment, int waitMs);

// The full path of `program` found on PATH (or `program` itself when it
// holds a slash and is executable); nullopt when there is none.
std::optional<std::string> findOnPath(const std::string& program);

// A command line split into words the way the original platform's
// WinExec/CreateProcess reads it: blanks separate words, double quotes group
// (and are dropped), a backslash before a quote escapes it.
std::vector<std::string> splitCommandLine(const std::string& line);

// Starts `argv` detached (its own session, not waited for). True when the
// program was found and started.
bool startDetached(const std::vector<std::string>& argv);

// WinExec's contract over startDetached: above 31 when started, 2 when the
// program was not found, 0 for an empty command line.
int startCommandLine(const std::string& line);

// ShellExecute "open" of a program with parameters: above 32 when started,
// 2 when not found. "netscape.exe" (the mail program of the design) opens
// the first of thunderbird, seamonkey or netscape found on PATH, each of
// which takes "-mail" for its mail window.
int shellOpenProgram(const std::string& program, const std::string& params);

}  // namespace vek::imail
