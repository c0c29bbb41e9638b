// The mail-client keys the recorder reads and writes, kept in a small
// key/value store of ours with the registry's key paths:
//   HKEY_LOCAL_MACHINE\SOFTWARE\Clients\Mail                   @ = default client
//   HKEY_LOCAL_MACHINE\SOFTWARE\Clients\Mail\<client>          (the client is installed)
//   HKEY_LOCAL_MACHINE\SOFTWARE\Clients\Mail\<client>\shell\open\command  @ = start command
// stored as a profile file: one "[key path]" section per key, "@" for the
// key's default value. A key exists when its section does. Paths compare
// without regard to case, as registry paths do.
//
// The file is $XDG_CONFIG_HOME/voice-lumo/mailclients.reg (~/.config when
// the variable is unset). When it does not exist it is created with the
// Linux defaults below, so that the default choice (index 3) works at once:
//   "Outlook Express"        -> the desktop's default mail client:
//                               "xdg-open mailto:" (also the default client)
//   "Exchange"               -> "evolution" (the groupware client that
//                               speaks Exchange on Linux desktops)
//   "Internet Mail and News" -> "thunderbird" (mail and news)
//   "Microsoft Outlook"      -> "evolution --component=mail"
// The attachment itself always goes through the desktop (xdg-email), so
// whichever client the user starts, the message opens in the desktop's
// default mail program.
//
// The five choices of the recorder's mail dialog on a Linux desktop:
//   0 "Exchange", 1 "Internet Mail", 2 "Outlook": with the run flag their
//     command above is started first (when it is on PATH, else the
//     improper-program message); the file goes through xdg-email.
//   3 "Outlook Express" (the default): the desktop's own mail client; with
//     the run flag "xdg-open mailto:" opens it first; the file goes through
//     xdg-email, so a desktop with a working xdg-email needs nothing set up.
//   4 "Netscape": no key is read and nothing is attached; the first of
//     thunderbird, seamonkey or netscape on PATH is started with "-mail"
//     (its composer), the user attaches the file.
// Making a client "the default" writes only this store's default value;
// the desktop's own mailto handler is never changed.
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vek::mailreg {

inline constexpr const char* kRoot = "HKEY_LOCAL_MACHINE";
inline constexpr const char* kMailKey = "\\SOFTWARE\\Clients\\Mail";
inline constexpr const char* kCommandSuffix = "\\shell\\open\\command";
inline constexpr const char* kDefaultValueName = "@";

class Store {
public:
    explicit Store(std::string path) : m_path(std::move(path)) {}
    // The store of the user's configuration folder.
    static std::string defaultPath();
    const std::string& path() const { return m_path; }

    // Writes the default content when the file does not exist yet. False
    // when it had to be written and could not be.
    bool seedIfMissing() const;
    // The text of the default content.
    static std::string defaultContent();

    // Keys are given below HKEY_LOCAL_MACHINE, e.g. "\SOFTWARE\Clients\Mail".
    bool keyExists(std::string_view key) const;
    // nullopt when the key or its default value is missing.
    std::optional<std::string> defaultValue(std::string_view key) const;
    // False when the store cannot be written (the key is then unchanged).
    bool setDefaultValue(std::string_view key, std::string_view value) const;

private:
    std::string m_path;
};

// "Exchange", "Internet Mail and News", "Microsoft Outlook", "Outlook
// Express" for 0..3; nullptr otherwise.
const char* clientName(int index);

// FindMailClient: false when the mail key, the client's key or (when the
// command is wanted) its command key is missing; otherwise true with the
// command (possibly empty) in `command`.
bool findMailClient(const Store& store, std::string& command, int index, bool wantCommand);

enum class SelectResult { NotFound, Selected, WriteFailed };
// SelectMailClient: makes the client the default (the mail key's default
// value); NotFound when the mail key or the client's key is missing,
// WriteFailed when the store refused the new value.
SelectResult selectMailClient(const Store& store, int index);
// "Failed to set data for '<name>'" (the default value has the empty name).
std::string failedToSetDataMessage(std::string_view valueName = {});

}  // namespace vek::mailreg
