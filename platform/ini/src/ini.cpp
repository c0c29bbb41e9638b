// SPDX-License-Identifier: GPL-3.0-or-later
#include "vek/platform/ini.hpp"

#include "vek/platform/safefile.hpp"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace vek::ini {
namespace {

std::string_view trim(std::string_view s) {
    std::size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
    return s.substr(b, e - b);
}

char lower(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

bool iequal(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i])) return false;
    return true;
}

// "[Name]" (text after the bracket is ignored, as Windows does).
std::optional<std::string_view> sectionName(std::string_view raw) {
    auto t = trim(raw);
    if (t.empty() || t.front() != '[') return std::nullopt;
    auto close = t.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    return trim(t.substr(1, close - 1));
}

bool isComment(std::string_view raw) {
    auto t = trim(raw);
    return !t.empty() && t.front() == ';';
}

// Key part of a "Key=Value" line, or nothing for other lines.
std::optional<std::string_view> keyName(std::string_view raw) {
    if (isComment(raw) || sectionName(raw)) return std::nullopt;
    auto eq = raw.find('=');
    if (eq == std::string_view::npos) return std::nullopt;
    return trim(raw.substr(0, eq));
}

std::string valueOf(std::string_view raw) {
    auto v = trim(raw.substr(raw.find('=') + 1));
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        v = v.substr(1, v.size() - 2);
    return std::string(v);
}

// CR, LF or NUL: a line of the file would end (or, for NUL, be cut) there.
bool breaksLine(std::string_view s) {
    return s.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

// Whether the entry reads back as written: one line, the key ending at the
// first "=" and not read as a comment or a section header, the section name
// ending at the first "]".
bool storable(std::string_view section, std::string_view key, std::string_view value) {
    const auto k = trim(key);
    return !breaksLine(section) && !breaksLine(key) && !breaksLine(value) &&
           section.find(']') == std::string_view::npos && k.find('=') == std::string_view::npos &&
           (k.empty() || (k.front() != ';' && k.front() != '['));
}

}  // namespace

bool IniFile::load(const std::string& path) {
    path_ = path;
    lines_.clear();
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return errno == ENOENT;
    std::string text;
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
    bool ok = !std::ferror(f);
    std::fclose(f);
    if (!ok) return false;
    parse(text);
    return true;
}

void IniFile::parse(std::string_view text) {
    lines_.clear();
    // A UTF-8 byte order mark is not part of the first line (nor is a second
    // one, which the text written back would otherwise start with).
    while (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    eol_ = text.find("\r\n") != std::string_view::npos || text.find('\n') == std::string_view::npos
               ? "\r\n" : "\n";
    std::size_t pos = 0;
    while (pos < text.size()) {
        auto nl = text.find('\n', pos);
        std::string_view line = text.substr(pos, nl == std::string_view::npos ? std::string_view::npos : nl - pos);
        // Every CR at the end belongs to the line end: a line kept with one
        // would be written back as a CRLF and turn an LF file into CRLF.
        while (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines_.push_back({std::string(line)});
        if (nl == std::string_view::npos) break;
        pos = nl + 1;
    }
}

std::string IniFile::text() const {
    std::string out;
    for (const auto& l : lines_) {
        out += l.raw;
        out += eol_;
    }
    return out;
}

bool IniFile::save(const std::string& path) const {
    if (path.empty()) return false;
    // A settings file that is a link to another file stays a link: the file
    // it points to is the one replaced. The new file keeps the old one's
    // permissions; a new settings file is private to the user.
    const std::string t = text();
    return safefile::replaceContents(path, t.data(), t.size(), safefile::LinkPolicy::Follow, nullptr, 0600);
}

std::optional<std::size_t> IniFile::findSection(std::string_view section) const {
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        auto s = sectionName(lines_[i].raw);
        if (s && iequal(*s, trim(section))) return i;
    }
    return std::nullopt;
}

std::size_t IniFile::sectionEnd(std::size_t h) const {
    std::size_t i = h + 1;
    while (i < lines_.size() && !sectionName(lines_[i].raw)) ++i;
    return i;
}

std::optional<std::size_t> IniFile::findKey(std::size_t h, std::string_view key) const {
    const std::size_t end = sectionEnd(h);
    for (std::size_t i = h + 1; i < end; ++i) {
        auto k = keyName(lines_[i].raw);
        if (k && iequal(*k, trim(key))) return i;
    }
    return std::nullopt;
}

std::optional<std::string> IniFile::value(std::string_view section, std::string_view key) const {
    auto h = findSection(section);
    if (!h) return std::nullopt;
    auto k = findKey(*h, key);
    if (!k) return std::nullopt;
    return valueOf(lines_[*k].raw);
}

std::string IniFile::getString(std::string_view section, std::string_view key,
                               std::string_view def) const {
    auto v = value(section, key);
    return v ? *v : std::string(def);
}

long IniFile::getInt(std::string_view section, std::string_view key, long def) const {
    auto v = value(section, key);
    if (!v) return def;
    const char* p = v->c_str();
    bool neg = false;
    if (*p == '-' || *p == '+') neg = (*p++ == '-');
    unsigned long long r = 0;
    while (*p >= '0' && *p <= '9') {
        r = r * 10 + unsigned(*p++ - '0');
        if (r > 0xFFFFFFFFull) r &= 0xFFFFFFFFull;  // a 32-bit accumulator, as the original
    }
    // The result is a 32-bit integer: "4294967295" reads as -1, as on Windows.
    auto u = static_cast<std::uint32_t>(r);
    auto s = static_cast<std::int32_t>(u);
    return neg ? -static_cast<long>(s) : static_cast<long>(s);
}

bool IniFile::setString(std::string_view section, std::string_view key, std::string_view value) {
    if (!storable(section, key, value)) return false;
    const std::string line = std::string(trim(key)) + "=" + std::string(value);
    auto h = findSection(section);
    if (!h) {
        if (!lines_.empty() && !trim(lines_.back().raw).empty()) lines_.push_back({""});
        lines_.push_back({"[" + std::string(trim(section)) + "]"});
        lines_.push_back({line});
        return true;
    }
    if (auto k = findKey(*h, key)) {
        lines_[*k].raw = line;
        return true;
    }
    // After the last non-blank line of the section, so that a blank line
    // separating it from the next section stays where it was.
    std::size_t at = sectionEnd(*h);
    while (at > *h + 1 && trim(lines_[at - 1].raw).empty()) --at;
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), {line});
    return true;
}

void IniFile::removeKey(std::string_view section, std::string_view key) {
    auto h = findSection(section);
    if (!h) return;
    if (auto k = findKey(*h, key)) lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(*k));
}

void IniFile::removeSection(std::string_view section) {
    auto h = findSection(section);
    if (!h) return;
    lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(*h),
                 lines_.begin() + static_cast<std::ptrdiff_t>(sectionEnd(*h)));
}

std::vector<std::string> IniFile::sections() const {
    std::vector<std::string> out;
    for (const auto& l : lines_)
        if (auto s = sectionName(l.raw)) out.emplace_back(*s);
    return out;
}

std::vector<std::string> IniFile::keys(std::string_view section) const {
    std::vector<std::string> out;
    auto h = findSection(section);
    if (!h) return out;
    for (std::size_t i = *h + 1, e = sectionEnd(*h); i < e; ++i)
        if (auto k = keyName(lines_[i].raw)) out.emplace_back(*k);
    return out;
}

std::string getPrivateProfileString(std::string_view section, std::string_view key,
                                    std::string_view def, const std::string& path) {
    IniFile f;
    f.load(path);
    return f.getString(section, key, def);
}

long getPrivateProfileInt(std::string_view section, std::string_view key, long def,
                          const std::string& path) {
    IniFile f;
    f.load(path);
    return f.getInt(section, key, def);
}

bool writePrivateProfileString(std::string_view section, std::string_view key,
                               std::optional<std::string_view> value, const std::string& path) {
    IniFile f;
    if (!f.load(path)) return false;  // never overwrite a file we could not read
    if (value) {
        if (!f.setString(section, key, *value)) return false;
    } else
        f.removeKey(section, key);
    return f.save(path);
}

}  // namespace vek::ini
