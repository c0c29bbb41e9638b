// Fuzz target: any bytes as a profile file. Parsing what text() gives back
// must give the same text again; every key listed must have a value; a value
// written with setString (names and value made from the input, of the kinds
// a program stores: no line ends, no blanks or quotes around) must read back
// the same before and after a round trip through the text, leave every other
// key as it was, and be gone after removeKey.
// SPDX-License-Identifier: GPL-3.0-or-later
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "vek/platform/ini.hpp"

namespace {

// A name from the input: letters, digits and a few marks, never empty.
std::string nameFrom(std::string_view s) {
    static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_.-";
    std::string out;
    for (unsigned char c : s) out += kAlphabet[c % (sizeof kAlphabet - 1)];
    return out.empty() ? std::string("K") : out;
}

// A value from the input: printable ASCII without blanks at either end and
// not wholly enclosed in quotes.
std::string valueFrom(std::string_view s) {
    std::string out;
    for (unsigned char c : s) out += static_cast<char>(0x20 + c % 0x5F);
    while (!out.empty() && out.front() == ' ') out.erase(out.begin());
    while (!out.empty() && out.back() == ' ') out.pop_back();
    if (!out.empty() && (out.front() == '"' || out.front() == '\'')) out.front() = 'Q';
    return out;
}

// Names compare without regard to ASCII case.
bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; };
        if (lower(static_cast<unsigned char>(a[i])) != lower(static_cast<unsigned char>(b[i]))) return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    vek::ini::IniFile ini;
    ini.parse(text);
    const std::string stored = ini.text();
    vek::ini::IniFile again;
    again.parse(stored);
    if (again.text() != stored) std::abort();

    for (const auto& s : ini.sections()) {
        for (const auto& k : ini.keys(s)) {
            if (!ini.value(s, k)) std::abort();
            if (again.value(s, k) != ini.value(s, k)) std::abort();
            (void)ini.getInt(s, k, 7);
        }
    }

    // The last 24 bytes choose a section, a key and a value.
    const std::string_view tail = text.substr(size > 24 ? size - 24 : 0);
    const std::string section = nameFrom(tail.substr(0, 4));
    const std::string key = nameFrom(tail.substr(tail.size() > 4 ? 4 : tail.size(), 4));
    const std::string value = valueFrom(tail.substr(tail.size() > 8 ? 8 : tail.size()));
    const auto sectionsBefore = again.sections();
    ini.setString(section, key, value);
    if (ini.value(section, key) != value) std::abort();
    vek::ini::IniFile written;
    written.parse(ini.text());
    if (written.value(section, key) != value) std::abort();
    for (const auto& s : sectionsBefore) {
        for (const auto& k : again.keys(s)) {
            if (sameName(s, section) && sameName(k, key)) continue;
            if (written.value(s, k) != again.value(s, k)) std::abort();
        }
    }
    ini.removeKey(section, key);
    if (ini.value(section, key)) std::abort();
    return 0;
}
