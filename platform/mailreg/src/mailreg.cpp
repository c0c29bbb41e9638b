// The mail-client key store.
// SPDX-License-Identifier: GPL-3.0-or-later
#include "vek/platform/mailreg.hpp"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>

#include "vek/platform/ini.hpp"

namespace vek::mailreg {

namespace {

std::string section(std::string_view key) {
    std::string s = kRoot;
    if (key.empty() || key.front() != '\\') s += '\\';
    s += key;
    while (s.size() > 1 && s.back() == '\\') s.pop_back();
    return s;
}

std::string clientKey(int index) { return std::string(kMailKey) + "\\" + clientName(index); }

bool load(const std::string& path, ini::IniFile& f) { return f.load(path); }

}  // namespace

std::string Store::defaultPath() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    std::filesystem::path base;
    if (xdg && *xdg) {
        base = xdg;
    } else {
        const char* home = std::getenv("HOME");
        base = std::filesystem::path(home ? home : ".") / ".config";
    }
    return (base / "voice-lumo" / "mailclients.reg").string();
}

std::string Store::defaultContent() {
    ini::IniFile f;
    f.parse("");
    const std::string mail = kMailKey;
    f.setString(section(mail), kDefaultValueName, "Outlook Express");
    struct Client {
        const char* name;
        const char* command;
    };
    const Client clients[] = {
        {"Exchange", "evolution"},
        {"Internet Mail and News", "thunderbird"},
        {"Microsoft Outlook", "evolution --component=mail"},
        {"Outlook Express", "xdg-open mailto:"},
    };
    for (const Client& c : clients) {
        f.setString(section(mail + "\\" + c.name), kDefaultValueName, c.name);
        f.setString(section(mail + "\\" + c.name + kCommandSuffix), kDefaultValueName, c.command);
    }
    return f.text();
}

bool Store::seedIfMissing() const {
    std::error_code ec;
    if (std::filesystem::exists(m_path, ec)) return true;
    std::filesystem::create_directories(std::filesystem::path(m_path).parent_path(), ec);
    ini::IniFile f;
    f.parse(defaultContent());
    return f.save(m_path);
}

bool Store::keyExists(std::string_view key) const {
    ini::IniFile f;
    if (!load(m_path, f)) return false;
    const std::string want = section(key);
    for (const std::string& s : f.sections()) {
        if (s.size() == want.size() &&
            std::equal(s.begin(), s.end(), want.begin(), [](char a, char b) {
                return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
            }))
            return true;
    }
    return false;
}

std::optional<std::string> Store::defaultValue(std::string_view key) const {
    ini::IniFile f;
    if (!load(m_path, f)) return std::nullopt;
    return f.value(section(key), kDefaultValueName);
}

bool Store::setDefaultValue(std::string_view key, std::string_view value) const {
    ini::IniFile f;
    if (!load(m_path, f)) return false;
    f.setString(section(key), kDefaultValueName, value);
    return f.save(m_path);
}

const char* clientName(int index) {
    static const char* const names[] = {"Exchange", "Internet Mail and News", "Microsoft Outlook", "Outlook Express"};
    return index >= 0 && index < 4 ? names[index] : nullptr;
}

bool findMailClient(const Store& store, std::string& command, int index, bool wantCommand) {
    if (!clientName(index) || !store.keyExists(kMailKey) || !store.keyExists(clientKey(index))) return false;
    if (wantCommand) {
        const std::string key = clientKey(index) + kCommandSuffix;
        if (!store.keyExists(key)) return false;
        command = store.defaultValue(key).value_or(std::string());
    }
    return true;
}

SelectResult selectMailClient(const Store& store, int index) {
    if (!clientName(index) || !store.keyExists(kMailKey) || !store.keyExists(clientKey(index)))
        return SelectResult::NotFound;
    const std::string name = clientName(index);
    if (store.defaultValue(kMailKey).value_or(std::string()) == name) return SelectResult::Selected;
    return store.setDefaultValue(kMailKey, name) ? SelectResult::Selected : SelectResult::WriteFailed;
}

std::string failedToSetDataMessage(std::string_view valueName) {
    return "Failed to set data for '" + std::string(valueName) + "'";
}

}  // namespace vek::mailreg
