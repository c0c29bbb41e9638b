// Self-playing executables: writer, recogniser and reader.
// SPDX-License-Identifier: GPL-3.0-or-later
#include "vek/recpexe/pexe.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "scope.hpp"
#include "tempadpcm.hpp"
#include "vek/codec/bytestream.hpp"
#include "vek/codec/sc4.hpp"
#include "vek/player/player_core.hpp"

namespace vek::recpexe {

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const {
        if (f) std::fclose(f);
    }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

File openRead(const fs::path& p) { return File(std::fopen(p.c_str(), "rb")); }

// Appends `in` (from its current position) to `out` in blocks of 4096 bytes.
// The loop ends at the first read that returns nothing or the first short
// write; false for the short write or a read error.
bool copyBlocks(std::FILE* in, std::FILE* out) {
    char buf[kCopyBlockBytes];
    for (;;) {
        const std::size_t n = std::fread(buf, 1, sizeof buf, in);
        if (n == 0) return !std::ferror(in);
        if (std::fwrite(buf, 1, n, out) != n) return false;
    }
}

}  // namespace

// A file being written under a hidden name beside its target; commit()
// renames it over the target, destruction without commit removes it.
class PendingFile {
public:
    explicit PendingFile(const fs::path& target) : m_target(target) {
        std::string tmpl = (target.parent_path() / ("." + target.filename().string() + ".XXXXXX")).string();
        const int fd = ::mkstemp(tmpl.data());
        if (fd < 0) return;
        m_path = tmpl;
        // A replaced file keeps its permissions; a new file gets those a
        // plain create would give.
        struct stat st{};
        if (::stat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
            ::fchmod(fd, st.st_mode & 07777);
        } else {
            const mode_t mask = ::umask(0);
            ::umask(mask);
            ::fchmod(fd, 0666 & ~mask);
        }
        m_file.reset(::fdopen(fd, "wb"));
        if (!m_file) ::close(fd);
    }
    ~PendingFile() {
        m_file.reset();
        if (!m_path.empty()) ::unlink(m_path.c_str());
    }
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    std::FILE* get() const { return m_file.get(); }
    bool commit() {
        if (!m_file) return false;
        std::FILE* f = m_file.release();
        const bool flushed = std::fflush(f) == 0 && ::fsync(::fileno(f)) == 0;
        const bool closed = std::fclose(f) == 0;
        if (!flushed || !closed) return false;
        if (::rename(m_path.c_str(), m_target.c_str()) != 0) return false;
        m_path.clear();
        return true;
    }

private:
    fs::path m_target;
    std::string m_path;
    File m_file;
};

fs::path stubPath(const fs::path& programDir, std::uint8_t mode) {
    return programDir / (mode == 4 ? "vekgplay.exe" : "vekaplay.exe");
}

std::uint64_t stubBytes(std::uint8_t mode) { return mode == 4 ? kSpStubBytes : kAdpcmStubBytes; }

bool isLocked(const fs::path& p) {
    std::error_code ec;
    if (!fs::exists(p, ec)) return false;
    const int fd = ::open(p.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return true;
    ScopeExit closeFd([fd] { ::close(fd); });
    struct stat st{};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return true;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) return true;
    ::flock(fd, LOCK_UN);
    // Our own record locks never show here; another process's do.
    struct flock fl{};
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_SET;
    if (::fcntl(fd, F_GETLK, &fl) == 0 && fl.l_type != F_UNLCK) return true;
    return false;
}

bool canMakeFile(const fs::path& target, MessageSink& msg) {
    if (!isLocked(target)) return true;
    msg.show(kMsgCanNotMakeFile, kCaption, Icon::Warning);
    return false;
}

void msgNotPExe(MessageSink& msg) { msg.show(kMsgNotPExe, kCaption, Icon::Warning); }

fs::path firstFreeName(const fs::path& dir, const std::string& stem, const std::string& ext) {
    std::error_code ec;
    for (int n = 1;; ++n) {
        fs::path p = dir / (stem + std::to_string(n) + ext);
        if (n >= kLastNameNumber || !fs::exists(fs::symlink_status(p, ec))) return p;
    }
}

fs::path findOutgoing(const fs::path& dir, const std::string& ext) {
    fs::path p = dir / ("Voice" + ext);
    for (int n = 1; isLocked(p) && n <= kLastNameNumber; ++n) {
        p = dir / ("Voice" + std::to_string(n) + ext);
        if (n == kLastNameNumber) break;
    }
    return p;
}

bool makePExe(const fs::path& stub, const fs::path& sc4Source, const fs::path& target, std::uint8_t mode,
              EffectSettings fx, const fs::path& dataDir) {
    File in = openRead(stub);
    if (!in) return false;
    PendingFile out(target);
    if (!out.get()) return false;
    if (!copyBlocks(in.get(), out.get())) return false;
    in.reset();

    vek::player::PayloadHeader h;
    h.mode = mode;
    h.effect = fx.effect;
    h.level = fx.level;
    std::uint8_t raw[vek::player::kHeaderBytes];
    h.write(raw);
    if (std::fwrite(raw, 1, sizeof raw, out.get()) != sizeof raw) return false;

    fs::path source = sc4Source;
    TempAdpcm adp;
    if (mode != 4) {
        if (!adp.unpack(sc4Source, dataDir)) return false;
        source = adp.path();
    }
    File rec = openRead(source);
    if (!rec || !copyBlocks(rec.get(), out.get())) return false;
    rec.reset();
    return out.commit();
}

bool savePExe(const WriteSc4& writeWorkingAsSc4, const fs::path& target, std::uint8_t mode, EffectSettings fx,
              const fs::path& programDir, const fs::path& dataDir, MessageSink& msg) {
    if (!canMakeFile(target, msg)) return false;
    const fs::path stub = stubPath(programDir, mode);
    const fs::path tmp = firstFreeName(dataDir, "temp", ".tmp");
    std::error_code ec;
    if (!fs::is_regular_file(stub, ec)) {
        msgNotPExe(msg);
        return false;
    }
    ScopeExit removeTmp([&] {
        std::error_code rec;
        fs::remove(tmp, rec);
    });
    if (!writeWorkingAsSc4(tmp)) return false;
    return makePExe(stub, tmp, target, mode, fx, dataDir);
}

std::optional<std::uint8_t> checkPExe(const fs::path& exe) {
    // Opening a pipe under the name would wait for a writer.
    std::error_code ec;
    if (!fs::is_regular_file(exe, ec)) return std::nullopt;
    File f = openRead(exe);
    if (!f) return std::nullopt;
    for (const std::uint64_t at : {kAdpcmStubBytes, kSpStubBytes}) {
        std::uint8_t tag[9];
        if (std::fseek(f.get(), static_cast<long>(at), SEEK_SET) != 0) continue;
        const std::size_t n = std::fread(tag, 1, sizeof tag, f.get());
        if (n >= 7 && std::memcmp(tag, vek::player::kHeaderTag, 7) == 0) {
            if (n < 9) return std::nullopt;  // the tag, but no mode byte behind it
            return tag[8];
        }
    }
    return std::nullopt;
}

LoadResult loadPExe(const fs::path& exe, std::uint8_t mode, const fs::path& workingFile) {
    LoadResult r;
    File in = openRead(exe);
    if (!in) return r;
    if (std::fseek(in.get(), static_cast<long>(stubBytes(mode)), SEEK_SET) != 0) return r;
    std::uint8_t raw[vek::player::kHeaderBytes];
    if (std::fread(raw, 1, sizeof raw, in.get()) != sizeof raw) return r;
    r.fx.effect = raw[10];
    r.fx.level = raw[11];
    PendingFile out(workingFile);
    if (!out.get() || !copyBlocks(in.get(), out.get())) return r;
    r.ok = out.commit();
    return r;
}

bool copyFileInto(const fs::path& src, const fs::path& target, std::uint64_t srcOffset) {
    File in = openRead(src);
    if (!in || std::fseek(in.get(), static_cast<long>(srcOffset), SEEK_SET) != 0) return false;
    PendingFile out(target);
    if (!out.get() || !copyBlocks(in.get(), out.get())) return false;
    return out.commit();
}

bool writeWorkingAsSc4(const fs::path& workingFile, std::uint8_t mode, const fs::path& target) {
    if (mode == 4) return copyFileInto(workingFile, target);
    vek::StdioFile src(workingFile.c_str(), vek::StdioFile::Mode::Read);
    if (!src.isOpen()) return false;
    PendingFile out(target);
    if (!out.get()) return false;
    struct Sink final : vek::ByteSink {
        std::FILE* f;
        explicit Sink(std::FILE* file) : f(file) {}
        std::size_t write(const void* p, std::size_t n) override { return std::fwrite(p, 1, n, f); }
    } sink(out.get());
    if (!vek::adpcmToSc4(src, sink, mode == 6)) return false;
    return out.commit();
}

}  // namespace vek::recpexe
