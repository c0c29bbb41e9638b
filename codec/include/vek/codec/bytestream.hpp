// Minimal byte streams for the container code, so that it runs on files and
// on memory alike.
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace vek {

class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Total length in bytes, or -1 when it cannot be told.
    virtual std::int64_t size() = 0;
    virtual bool seek(std::uint64_t offset) = 0;
    // Reads up to n bytes; returns how many arrived (0 at the end or on error).
    virtual std::size_t read(void* dst, std::size_t n) = 0;
};

class ByteSink {
public:
    virtual ~ByteSink() = default;
    // Writes n bytes; returns how many were written.
    virtual std::size_t write(const void* src, std::size_t n) = 0;
};

class MemorySource final : public ByteSource {
public:
    MemorySource(const void* data, std::size_t n) : m_data(static_cast<const std::uint8_t*>(data)), m_size(n) {}
    std::int64_t size() override { return static_cast<std::int64_t>(m_size); }
    bool seek(std::uint64_t offset) override;
    std::size_t read(void* dst, std::size_t n) override;

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_pos = 0;
};

class MemorySink final : public ByteSink {
public:
    std::size_t write(const void* src, std::size_t n) override;
    const std::vector<std::uint8_t>& bytes() const { return m_bytes; }

private:
    std::vector<std::uint8_t> m_bytes;
};

// A C stdio file, opened in binary mode and closed by the destructor.
class StdioFile final : public ByteSource, public ByteSink {
public:
    enum class Mode { Read, ReadWriteTruncate };
    StdioFile(const char* path, Mode mode);
    ~StdioFile() override;
    StdioFile(const StdioFile&) = delete;
    StdioFile& operator=(const StdioFile&) = delete;

    bool isOpen() const { return m_file != nullptr; }
    // Flushes and closes; false when the final flush failed.
    bool close();

    std::int64_t size() override;
    bool seek(std::uint64_t offset) override;
    std::size_t read(void* dst, std::size_t n) override;
    std::size_t write(const void* src, std::size_t n) override;

private:
    static constexpr std::size_t kBufferBytes = 1 << 16;
    std::FILE* m_file = nullptr;
    std::unique_ptr<char[]> m_buffer;  // outlives m_file (closed first)
};

}  // namespace vek
