// SPDX-License-Identifier: GPL-3.0-or-later
#include "vek/transport/files.hpp"

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace vek::transport {

namespace fs = std::filesystem;

namespace {

// Unbuffered, so that a write that does not reach the disk is seen at once
// and not at a later flush.
class StdFile : public File {
public:
    StdFile(std::FILE* f, std::string path) : m_f(f), m_path(std::move(path)) { std::setvbuf(m_f, nullptr, _IONBF, 0); }
    ~StdFile() override {
        if (m_f)
            std::fclose(m_f);
    }
    bool seek(std::int64_t pos) override {
        if (pos < 0)
            return false;
        return fseeko(m_f, static_cast<off_t>(pos), SEEK_SET) == 0;
    }
    std::int64_t read(void* buf, std::size_t n) override {
        std::size_t got = std::fread(buf, 1, n, m_f);
        if (got < n && std::ferror(m_f)) {
            std::clearerr(m_f);
            return got > 0 ? static_cast<std::int64_t>(got) : -1;
        }
        return static_cast<std::int64_t>(got);
    }
    std::int64_t write(const void* buf, std::size_t n) override {
        std::size_t put = std::fwrite(buf, 1, n, m_f);
        if (put < n)
            std::clearerr(m_f);
        return static_cast<std::int64_t>(put);
    }
    std::int64_t position() const override { return static_cast<std::int64_t>(ftello(m_f)); }
    bool truncate(std::int64_t size) override {
        std::error_code ec;
        if (std::fflush(m_f) != 0)
            return false;
        fs::resize_file(m_path, static_cast<std::uintmax_t>(size), ec);
        return !ec;
    }
    bool close() override {
        bool ok = std::fclose(m_f) == 0;
        m_f = nullptr;
        return ok;
    }

private:
    std::FILE* m_f;
    std::string m_path;
};

}  // namespace

bool StdFileSystem::isFile(const std::string& path) {
    std::error_code ec;
    return fs::is_regular_file(path, ec);
}

std::int64_t StdFileSystem::fileSize(const std::string& path) {
    std::error_code ec;
    if (!fs::is_regular_file(path, ec))
        return -1;
    auto n = fs::file_size(path, ec);
    return ec ? -1 : static_cast<std::int64_t>(n);
}

std::unique_ptr<File> StdFileSystem::open(const std::string& path, OpenMode mode) {
    if (mode != OpenMode::Create && !isFile(path))
        return nullptr;
    const char* how = mode == OpenMode::Read ? "rb" : mode == OpenMode::ReadWrite ? "r+b" : "w+b";
    std::FILE* f = std::fopen(path.c_str(), how);
    if (!f)
        return nullptr;
    return std::make_unique<StdFile>(f, path);
}

bool StdFileSystem::remove(const std::string& path) {
    std::error_code ec;
    return fs::remove(path, ec) && !ec;
}

bool StdFileSystem::replace(const std::string& from, const std::string& to) {
    std::error_code ec;
    fs::rename(from, to, ec);
    return !ec;
}

CopyResult copyData(File& in, File& out, std::int64_t limit) {
    CopyResult r;
    unsigned char buf[kCopyPiece];
    while (limit < 0 || r.copied < limit) {
        std::size_t want = kCopyPiece;
        if (limit >= 0 && static_cast<std::int64_t>(want) > limit - r.copied)
            want = static_cast<std::size_t>(limit - r.copied);
        std::int64_t got = in.read(buf, want);
        if (got < 0) {
            r.failed = true;
            break;
        }
        if (got == 0)
            break;
        std::int64_t put = out.write(buf, static_cast<std::size_t>(got));
        if (put > 0)
            r.copied += put;
        if (put < got) {
            r.failed = true;
            break;
        }
    }
    return r;
}

}  // namespace vek::transport
