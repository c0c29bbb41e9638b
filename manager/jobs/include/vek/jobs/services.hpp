// What the conversion jobs need from around them: the main window, the
// window the job runs in, the two codec libraries and the WAV library. Each
// is a small interface so that the same jobs run in the manager's dialogs,
// in the command-line tool and in tests with fakes.
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "vekcdc5.h"  // AudioCodecBlock

namespace vek::jobs {

// The three services of the manager's main window.
class MainWindowServices {
public:
    virtual ~MainWindowServices() = default;
    // The folder the file list shows, ending in a path separator.
    virtual std::string listFolderPath() const = 0;
    // Shows a file just written in the file list and selects it, replacing an
    // entry of the same name.
    virtual void showWrittenFile(const std::string& path) = 0;
    // Brings the application to the front, restoring it when minimised.
    virtual void forceFGWindow() = 0;
};

enum class MessageIcon { Warning, Error };

// The window a job runs in (a conversion dialog, or a terminal).
class JobUi {
public:
    virtual ~JobUi() = default;
    // A message box owned by the job's window. Two-line texts separate the
    // lines with a single '\r'.
    virtual void message(const std::string& text, const std::string& caption, MessageIcon icon) = 0;
    // A Yes/No question box; true for Yes.
    virtual bool askYesNo(const std::string& text, const std::string& caption) = 0;
    // Sets and repaints the two-line status text.
    virtual void setStatus(const std::string& text) = 0;
    // Sets and repaints the gauge; the value is already clamped to 0..100.
    virtual void setGauge(int percent) = 0;
    // Lets pending window messages through (the only moment Cancel is seen).
    virtual void processMessages() = 0;
    // Hourglass on (true) or the previous cursor back (false).
    virtual void setBusyCursor(bool busy) = 0;

    // Set when the window is shown, cleared by Cancel. Atomic so that a signal
    // handler may clear it too.
    std::atomic<bool> ContinueFlag{false};
};

// The SP-mode codec library and the ADPCM codec library, as the jobs call
// them. Every call returns nonzero on success; an implementation may also
// throw, which the jobs treat as the call raising.
class CodecLibrary {
public:
    virtual ~CodecLibrary() = default;
    virtual int32_t spInitEncoder() = 0;
    virtual int32_t spEncode(AudioCodecBlock* block) = 0;
    virtual int32_t spInitDecoder() = 0;
    virtual int32_t spDecode(AudioCodecBlock* block) = 0;

    virtual int32_t adpcmInitEncoder() = 0;
    virtual int32_t adpcmEncode(AudioCodecBlock* block) = 0;
    virtual int32_t adpcmInitDecoder() = 0;
    virtual int32_t adpcmDecode(AudioCodecBlock* block) = 0;
    virtual int32_t sc4ToAdpcm(const char* sc4Path, const char* adpcmPath) = 0;
    virtual int32_t adpcmToSc4(const char* adpcmPath, const char* sc4Path, int32_t shq) = 0;
};

// The WAV file library. Handles are nonzero on success.
class WaveLibrary {
public:
    using Handle = std::intptr_t;
    struct Header {
        int16_t bits = 0;
        int16_t channels = 0;
        int32_t rate = 0;
        int32_t dataBytes = 0;
        int16_t formatTag = 0;
    };
    // The most sample bytes a WAVE file's 32-bit lengths can state behind a
    // 44-byte header.
    static constexpr std::uint64_t kMaxWaveData = 4294967256u;
    virtual ~WaveLibrary() = default;
    virtual Handle writeHeader(const char* path, int32_t bits, int32_t channels, int32_t rate) = 0;
    // For output that may exceed kMaxWaveData: a 64-bit (RF64) file where the
    // data needs it. A library without one refuses such output when it gets
    // there (the writes fail), which the plain writer does too.
    virtual Handle writeHeaderLarge(const char* path, int32_t bits, int32_t channels, int32_t rate) {
        return writeHeader(path, bits, channels, rate);
    }
    // A sound file of another kind (vekwf's kVekAudio*: 0 WAV, 1 FLAC, 2 Ogg
    // Vorbis, 3 Opus, 4 MP3); a library without them writes WAV only.
    virtual Handle writeHeaderAs(const char* path, int32_t bits, int32_t channels, int32_t rate, int32_t kind) {
        return kind == 0 ? writeHeader(path, bits, channels, rate) : 0;
    }
    virtual int32_t write(Handle h, const void* data, int32_t bytes) = 0;
    virtual int32_t closeWrite(Handle h) = 0;
    virtual Handle readHeader(const char* path, Header& header) = 0;
    // Any sound file the library reads, delivered as readHeader delivers WAV
    // (a library without others reads WAV only).
    virtual Handle readHeaderAny(const char* path, Header& header) { return readHeader(path, header); }
    virtual int32_t read(Handle h, void* buf, int32_t bytes) = 0;
    virtual void closeRead(Handle h) = 0;
};

// A source file opened for reading. A read error (a failing medium, an
// unplugged drive) is told apart from the end of the data.
class InputStream {
public:
    virtual ~InputStream() = default;
    // Size in bytes, -1 when unknown.
    virtual std::int64_t size() = 0;
    virtual bool seek(std::uint64_t offset) = 0;
    // Up to n bytes; fewer at the end of the data or on an error.
    virtual std::size_t read(void* dst, std::size_t n) = 0;
    // True once a read has failed (not merely reached the end).
    virtual bool failed() const = 0;
};

// How the jobs open their source files.
class FileAccess {
public:
    virtual ~FileAccess() = default;
    // nullptr when the file cannot be opened.
    virtual std::unique_ptr<InputStream> openRead(const std::string& path) = 0;
};

// The real libraries: vekcdc5, vekcdc4 (when built; otherwise every SP call
// fails) and vekwf. Process-wide objects.
CodecLibrary& defaultCodecs();
WaveLibrary& defaultWave();
// Files through stdio, with 64-bit offsets.
FileAccess& defaultFiles();
// True when the SP codec library is linked in.
bool haveSpCodec();

}  // namespace vek::jobs
