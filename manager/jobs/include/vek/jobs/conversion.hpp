// The manager's conversion jobs: SC4 files to 16-bit mono WAV files and WAV
// files to SC4 files in one recording mode.
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "vek/jobs/services.hpp"
#include "vek/platform/safefile.hpp"

namespace vek::jobs {

inline constexpr std::size_t kJobBufferBytes = 8000;
inline constexpr std::uint8_t kModeSP = 4, kModeHQ = 5, kModeSHQ = 6;
inline const char* const kCaption = "voice lumo manager";
inline const char* const kReplaceCaption = "Confirm File Replace";

// What the SC4-to-WAV job writes: a WAV file, or another kind of sound file
// through the same library (the values are vekwf's kVekAudio* kinds).
enum class SoundFormat : std::int32_t { Wav = 0, Flac = 1, Ogg = 2, Opus = 3, Mp3 = 4 };
// The target's extension without the dot ("wav", "flac", "ogg", "opus", "mp3").
const char* soundFormatExtension(SoundFormat f);

// True for a name the WAV-to-SC4 job takes: ".wav", and the other sound
// files libsndfile reads (".flac", ".ogg", ".oga", ".opus", ".mp3", ".aif",
// ".aiff", ".aifc", ".au", ".snd", ".caf", ".w64", ".rf64"), any case.
bool isSoundFileName(const std::string& name);

// The conversion job state: one per process, created at start-up.
struct ConversionState {
    std::vector<std::string> SelectedNames;  // names without folder
    std::uint8_t ConvMode = kModeSP;         // 4 SP, 5 HQ, 6 SHQ
    AudioCodecBlock CodecBlock{};            // passed by address to every codec call
    std::array<std::uint8_t, kJobBufferBytes> InBuffer{};
    std::array<std::uint8_t, kJobBufferBytes> OutBuffer{};
    std::int32_t OutCount = 0;
    std::int32_t ConvertedCount = 0;
    std::string ProgramDir;  // the program's folder, with a trailing separator
    // Where each job creates its own temporary frame file (the user's
    // temporary folder unless set): the program folder may be read-only and
    // two running copies must never share one file. Frame files left there
    // by a process that died are swept when VekShell or vekconv starts, and
    // when a job starts.
    std::filesystem::path TempDir;
    // How source files are opened (stdio unless set).
    FileAccess* Files = nullptr;
    // Largest whole-file buffer the conversion way may allocate; a larger one
    // takes the out-of-memory path as a failed allocation would.
    std::size_t WholeFileLimit = static_cast<std::size_t>(-1);
    // What the SC4-to-WAV job writes (WAV unless set).
    SoundFormat OutputFormat = SoundFormat::Wav;

    // Points the codec block at the buffers and the count.
    void pointCodecBlock();
};

// Everything a job talks to.
struct JobContext {
    ConversionState& state;
    MainWindowServices& main;
    JobUi& ui;
    CodecLibrary& codecs;
    WaveLibrary& wave;
};

// A source file, closed when it goes out of scope.
class InputFile {
public:
    InputFile() = default;
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;
    // Opens through `files` (stdio when null); the same access serves a later
    // open() without one.
    bool open(const std::string& path, FileAccess* files = nullptr);
    void close() { m_stream.reset(); }
    bool isOpen() const { return m_stream != nullptr; }
    std::int64_t size() { return m_stream ? m_stream->size() : -1; }
    bool seek(std::uint64_t offset) { return m_stream && m_stream->seek(offset); }
    std::size_t read(void* dst, std::size_t n) { return m_stream ? m_stream->read(dst, n) : 0; }
    // A read failed: an error, not the end of the data.
    bool failed() const { return m_stream && m_stream->failed(); }

private:
    std::unique_ptr<InputStream> m_stream;
    FileAccess* m_files = nullptr;
};

// A private temporary file of one job (mode 0600, its name carrying the
// process id so that a later start can sweep it), created exclusively in a
// folder and removed when it goes out of scope, whatever path the job took.
class TempFile {
public:
    TempFile() = default;
    // Creates a fresh empty file in dir (the user's temporary folder when
    // empty); false when none can be created.
    bool create(const std::filesystem::path& dir);
    void remove() { m_file.remove(); }
    const std::string& path() const { return m_file.path(); }

private:
    safefile::PrivateTempFile m_file;
};

// The folder a job's frame files go to: dir, or the user's temporary folder.
std::filesystem::path tempFolder(const std::filesystem::path& dir);

// True when path names an existing regular file; a folder (or a pipe or a
// device) counts as absent.
bool FileExistsNotDir(const std::string& path);

// Opens path into `in`, sets size to its size and recognises the recording
// mode from the first five bytes (setting state.ConvMode and rewinding).
// False when no mode matches, the file holds fewer than five bytes or cannot
// be read; the file may then be left open for the caller to close.
bool DetectVoiceFileMode(ConversionState& state, const std::string& path, std::int64_t& size, InputFile& in);

// Closes the input, unpacks the SC4 file into tempPath with the ADPCM
// library's container call and reopens the input on the frame file. False
// when the unpacking fails.
bool ExtractToTempFile(CodecLibrary& codecs, const std::string& sourcePath, const std::string& tempPath,
                       std::int64_t& size, InputFile& in);

// The jobs proper: they walk state.SelectedNames and return when done or
// cancelled. The caller disables its timer before and closes its window
// after.
void runSc4ToWavJob(JobContext& ctx);
void runWavToSc4Job(JobContext& ctx);

// Lower-cased extension of a name, dot included ("" when none).
std::string lowerExtension(const std::string& name);

}  // namespace vek::jobs
