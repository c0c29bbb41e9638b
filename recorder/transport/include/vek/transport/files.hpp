// The few file operations the transport needs, behind an interface so that
// tests can run the transport on files that fail on purpose (a full disk, a
// drive that goes away) and the program on real files.
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace vek::transport {

class File {
public:
    virtual ~File() = default;
    virtual bool seek(std::int64_t pos) = 0;
    // Bytes read (fewer only at the end of the file), 0 at the end, -1 on error.
    virtual std::int64_t read(void* buf, std::size_t n) = 0;
    // Bytes written; fewer than n when the data did not reach the file.
    // Writing beyond the end fills the gap with zeros.
    virtual std::int64_t write(const void* buf, std::size_t n) = 0;
    virtual std::int64_t position() const = 0;
    virtual bool truncate(std::int64_t size) = 0;
    // False when the data could not all be kept.
    virtual bool close() = 0;
};

enum class OpenMode {
    Read,       // existing file, read only
    ReadWrite,  // existing file, content kept
    Create,     // created or emptied, read and write
};

class FileSystem {
public:
    virtual ~FileSystem() = default;
    // An existing file, not a folder.
    virtual bool isFile(const std::string& path) = 0;
    // Size in bytes, -1 when `path` is not a file.
    virtual std::int64_t fileSize(const std::string& path) = 0;
    virtual std::unique_ptr<File> open(const std::string& path, OpenMode mode) = 0;
    virtual bool remove(const std::string& path) = 0;
    // Moves `from` to the name `to`, replacing what is there in one step.
    virtual bool replace(const std::string& from, const std::string& to) = 0;
};

// Real files through the standard library.
class StdFileSystem : public FileSystem {
public:
    bool isFile(const std::string& path) override;
    std::int64_t fileSize(const std::string& path) override;
    std::unique_ptr<File> open(const std::string& path, OpenMode mode) override;
    bool remove(const std::string& path) override;
    bool replace(const std::string& from, const std::string& to) override;
};

// Copies from the current position of `in` to `out` in pieces of 4096 bytes,
// at most `limit` bytes (negative: to the end). Stops at a read of zero bytes,
// a read error or a short write.
struct CopyResult {
    std::int64_t copied = 0;
    bool failed = false;  // read error or short write
};
inline constexpr std::size_t kCopyPiece = 4096;
CopyResult copyData(File& in, File& out, std::int64_t limit);

}  // namespace vek::transport
