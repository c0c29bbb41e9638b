// Byte streams over memory and stdio files.
// SPDX-License-Identifier: GPL-3.0-or-later
#include "vek/codec/bytestream.hpp"

#include <algorithm>
#include <cstring>
#include <memory>

namespace vek {

bool MemorySource::seek(std::uint64_t offset) {
    if (offset > m_size) return false;
    m_pos = static_cast<std::size_t>(offset);
    return true;
}

std::size_t MemorySource::read(void* dst, std::size_t n) {
    const std::size_t k = std::min(n, m_size - m_pos);
    if (k) std::memcpy(dst, m_data + m_pos, k);
    m_pos += k;
    return k;
}

std::size_t MemorySink::write(const void* src, std::size_t n) {
    const auto* p = static_cast<const std::uint8_t*>(src);
    m_bytes.insert(m_bytes.end(), p, p + n);
    return n;
}

StdioFile::StdioFile(const char* path, Mode mode) {
    if (path) m_file = std::fopen(path, mode == Mode::Read ? "rb" : "w+b");
    // The containers move a few kilobytes per call; a larger buffer keeps the
    // number of system calls low.
    // (glibc ignores the size unless it is given the buffer.)
    if (m_file) {
        m_buffer = std::make_unique<char[]>(kBufferBytes);
        std::setvbuf(m_file, m_buffer.get(), _IOFBF, kBufferBytes);
    }
}

StdioFile::~StdioFile() { close(); }

bool StdioFile::close() {
    if (!m_file) return true;
    const bool ok = std::fclose(m_file) == 0;
    m_file = nullptr;
    return ok;
}

std::int64_t StdioFile::size() {
    if (!m_file) return -1;
#if defined(_WIN32)
    const long long here = _ftelli64(m_file);
    if (here < 0 || _fseeki64(m_file, 0, SEEK_END) != 0) return -1;
    const long long end = _ftelli64(m_file);
    _fseeki64(m_file, here, SEEK_SET);
#else
    const off_t here = ftello(m_file);
    if (here < 0 || fseeko(m_file, 0, SEEK_END) != 0) return -1;
    const off_t end = ftello(m_file);
    fseeko(m_file, here, SEEK_SET);
#endif
    return static_cast<std::int64_t>(end);
}

bool StdioFile::seek(std::uint64_t offset) {
    if (!m_file || offset > static_cast<std::uint64_t>(INT64_MAX)) return false;
#if defined(_WIN32)
    return _fseeki64(m_file, static_cast<long long>(offset), SEEK_SET) == 0;
#else
    return fseeko(m_file, static_cast<off_t>(offset), SEEK_SET) == 0;
#endif
}

std::size_t StdioFile::read(void* dst, std::size_t n) {
    return m_file ? std::fread(dst, 1, n, m_file) : 0;
}

std::size_t StdioFile::write(const void* src, std::size_t n) {
    return m_file ? std::fwrite(src, 1, n, m_file) : 0;
}

}  // namespace vek
