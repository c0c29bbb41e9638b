// Profile files: "[Section]" headers and "Key=Value" lines, read and written
// the way the Windows profile functions do, so that a file carried over from
// Windows reads here and a file written here reads there.
//
//  * Section and key names compare without regard to ASCII case.
//  * Blanks around names and values are dropped when reading; a value wholly
//    enclosed in a matching pair of quotes (" or ') loses the quotes.
//  * Writing keeps every other line as it stood (comments, unknown lines,
//    the line ending style of the file) and stores the value as given, without
//    quoting. A new key goes after the last key of its section; a new section
//    goes at the end of the file, after a blank line.
//  * Writing a missing value (std::nullopt) deletes the key; deleting a
//    section removes its header and all its lines.
//  * Only the first of several equal sections or keys counts, as on Windows.
//  * A line holds one entry and nothing more. A section, key or value with a
//    line break (CR or LF) or a NUL in it, a key with "=" in it or starting
//    with ";" or "[", and a section name with "]" in it would not read back
//    as written (a folder name with a line break would add lines of its
//    own), so writing one is refused (false) and the profile is left as it
//    was. Escaping them instead would misread files written on Windows, where
//    values are stored as given and any escape character (the backslash of a
//    path, a percent sign) can be part of a value. Windows paths never hold
//    line breaks, so no value carried over from there is refused.
//  * The file is replaced as a whole through a temporary file and a rename,
//    so an interrupted write never leaves half a settings file behind.
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vek::ini {

class IniFile {
public:
    IniFile() = default;

    // Reads `path`; a missing file gives an empty profile and true, an
    // unreadable one false (the profile is then empty).
    bool load(const std::string& path);
    // Parses text held in memory (LF or CRLF line ends).
    void parse(std::string_view text);
    // The whole profile as it would be stored.
    std::string text() const;
    // Writes the profile to `path` (or to the path given to load()). False
    // when the file cannot be written; the old file then stays unchanged.
    bool save(const std::string& path) const;
    bool save() const { return save(path_); }

    std::optional<std::string> value(std::string_view section, std::string_view key) const;
    std::string getString(std::string_view section, std::string_view key,
                          std::string_view def = {}) const;
    // Optional sign and leading decimal digits; `def` when the key is missing,
    // 0 when the value does not start with a number.
    long getInt(std::string_view section, std::string_view key, long def) const;

    // False, and nothing changed, when the entry cannot be stored as one line
    // (see above).
    bool setString(std::string_view section, std::string_view key, std::string_view value);
    void removeKey(std::string_view section, std::string_view key);
    void removeSection(std::string_view section);

    std::vector<std::string> sections() const;
    std::vector<std::string> keys(std::string_view section) const;

    const std::string& path() const { return path_; }

private:
    struct Line {
        std::string raw;   // the line as read, without its line end
    };
    std::optional<std::size_t> findSection(std::string_view section) const;
    // One past the last line of the section starting at header line `h`.
    std::size_t sectionEnd(std::size_t h) const;
    std::optional<std::size_t> findKey(std::size_t h, std::string_view key) const;

    std::vector<Line> lines_;
    std::string eol_ = "\r\n";
    std::string path_;
};

// The profile functions themselves, each reading (and writing) the file.
std::string getPrivateProfileString(std::string_view section, std::string_view key,
                                    std::string_view def, const std::string& path);
long getPrivateProfileInt(std::string_view section, std::string_view key, long def,
                          const std::string& path);
// value == nullopt deletes the key. False when the file cannot be written or
// the entry cannot be stored as one line; the file is then unchanged.
bool writePrivateProfileString(std::string_view section, std::string_view key,
                               std::optional<std::string_view> value, const std::string& path);

}  // namespace vek::ini
