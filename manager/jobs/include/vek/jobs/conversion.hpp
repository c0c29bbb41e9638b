// The manager's conversion jobs: SC4 files to 16-bit mono WAV files and WAV
// files to SC4 files in one recording mode.
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "vek/jobs/services.hpp"

namespace vek::jobs {

inline constexpr std::size_t kJobBufferBytes = 8000;
inline constexpr std::uint8_t kModeSP = 4, kModeHQ = 5, kModeSHQ = 6;
inline const char* const kCaption = "voice lumo manager";
inline const char* const kReplaceCaption = "Confirm File Replace";

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
    // two running copies must never share one file.
    std::filesystem::path TempDir;
    // Largest whole-file buffer the conversion way may allocate; a larger one
    // takes the out-of-memory path as a failed allocation would.
    std::size_t WholeFileLimit = static_cast<std::size_t>(-1);

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

// A file opened with stdio, closed when it goes out of scope.
class InputFile {
public:
    InputFile() = default;
    ~InputFile() { close(); }
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;
    bool open(const std::string& path);
    void close();
    std::FILE* get() const { return m_file; }

private:
    std::FILE* m_file = nullptr;
};

// A temporary file of one job, created exclusively in a folder and removed
// when it goes out of scope, whatever path the job took.
class TempFile {
public:
    TempFile() = default;
    ~TempFile() { remove(); }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    // Creates a fresh empty file in dir; false when none can be created.
    bool create(const std::filesystem::path& dir);
    void remove();
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
};

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
