// The plain ADPCM frame stream of an HQ or SHQ SC4 file, unpacked into a
// free "temp" N ".adp" of the data folder for the length of one call: the
// self-playing file and the MP3 both carry or decode the frame stream, not
// the container. The file goes when the object does, on every path out.
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <filesystem>
#include <system_error>

#include "vek/codec/bytestream.hpp"
#include "vek/codec/sc4.hpp"
#include "vek/recpexe/pexe.hpp"

namespace vek::recpexe {

class TempAdpcm {
public:
    TempAdpcm() = default;
    TempAdpcm(const TempAdpcm&) = delete;
    TempAdpcm& operator=(const TempAdpcm&) = delete;
    ~TempAdpcm() {
        std::error_code ec;
        if (!m_path.empty()) std::filesystem::remove(m_path, ec);
    }

    // False when the source cannot be read, the stream cannot be written
    // completely, or the container is damaged.
    bool unpack(const std::filesystem::path& sc4Source, const std::filesystem::path& dataDir) {
        m_path = firstFreeName(dataDir, "temp", ".adp");
        vek::StdioFile src(sc4Source.c_str(), vek::StdioFile::Mode::Read);
        vek::StdioFile dst(m_path.c_str(), vek::StdioFile::Mode::ReadWriteTruncate);
        if (!src.isOpen() || !dst.isOpen()) return false;
        const bool unpacked = vek::sc4ToAdpcm(src, dst);
        return dst.close() && unpacked;
    }
    const std::filesystem::path& path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

}  // namespace vek::recpexe
