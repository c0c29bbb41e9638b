// SPDX-License-Identifier: GPL-3.0-or-later
#include "vek/jobs/conversion.hpp"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include <unistd.h>

#include "vek/codec/sc4.hpp"
#include "vek/jobs/resampler.hpp"

namespace vek::jobs {

namespace fs = std::filesystem;

void ConversionState::pointCodecBlock() {
    CodecBlock.input = InBuffer.data();
    CodecBlock.output = OutBuffer.data();
    CodecBlock.outputCount = &OutCount;
}

bool InputFile::open(const std::string& path, FileAccess* files) {
    close();
    if (files) m_files = files;
    m_stream = (m_files ? *m_files : defaultFiles()).openRead(path);
    return m_stream != nullptr;
}

fs::path tempFolder(const fs::path& dir) {
    if (!dir.empty()) return dir;
    std::error_code ec;
    fs::path base = fs::temp_directory_path(ec);
    return ec ? fs::path() : base;
}

bool TempFile::create(const fs::path& dir) {
    const fs::path base = tempFolder(dir);
    // Exclusive and private: no other process's file (or a planted link) is
    // ever opened, and no other user reads the frames.
    return !base.empty() && m_file.create(base.string(), "vekshell");
}

bool FileExistsNotDir(const std::string& path) {
    std::error_code ec;
    const auto st = fs::status(path, ec);
    // Only a regular file counts. A folder of that name is absent, and so is
    // a pipe or a device: opening one could wait for ever and hold the job.
    return !ec && fs::is_regular_file(st);
}

std::string lowerExtension(const std::string& name) {
    const auto slash = name.find_last_of("/\\");
    const auto dot = name.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
    std::string ext = name.substr(dot);
    for (char& c : ext)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return ext;
}

const char* soundFormatExtension(SoundFormat f) {
    switch (f) {
        case SoundFormat::Flac: return "flac";
        case SoundFormat::Ogg: return "ogg";
        case SoundFormat::Opus: return "opus";
        case SoundFormat::Mp3: return "mp3";
        case SoundFormat::Wav: break;
    }
    return "wav";
}

bool isSoundFileName(const std::string& name) {
    static const char* const kExtensions[] = {".wav",  ".flac", ".ogg", ".oga", ".opus", ".mp3", ".aif",
                                              ".aiff", ".aifc", ".au",  ".snd", ".caf",  ".w64", ".rf64"};
    const std::string ext = lowerExtension(name);
    for (const char* e : kExtensions)
        if (ext == e) return true;
    return false;
}

namespace {

std::string fileName(const std::string& path) {
    const auto slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The target beside the source: its last three characters replaced, so the
// stem keeps its case (MEMO.SC4 -> MEMO.wav).
std::string replaceExtension(const std::string& path, const char* ext3) {
    return path.substr(0, path.size() - 3) + ext3;
}

// What holds a target's name.
enum class TargetKind {
    Absent,  // nothing, or a folder (which counts as absent; it cannot be replaced)
    File,    // a regular file: replaced after the question
    Link,    // a symbolic link (dangling or to a file): replaced itself after the question
    Other,   // a pipe, a device, a socket, or a link to one of those or to a folder
};

TargetKind targetKind(const std::string& path) {
    std::error_code ec;
    const auto ls = fs::symlink_status(path, ec);
    if (ec || !fs::exists(ls)) return TargetKind::Absent;
    if (fs::is_symlink(ls)) {
        const auto st = fs::status(path, ec);
        // A dangling link is no file, but a new file under its name would
        // hide it: it is asked about like a file.
        if (ec || !fs::exists(st) || fs::is_regular_file(st)) return TargetKind::Link;
        return TargetKind::Other;
    }
    if (fs::is_regular_file(ls)) return TargetKind::File;
    if (fs::is_directory(ls)) return TargetKind::Absent;
    // Opening a pipe for writing would wait for a reader: neither replaced
    // nor opened.
    return TargetKind::Other;
}

// A file the user may not write (read-only) is not replaced, although the
// folder would allow a rename over it: "replace" says write error for it, as
// it did when the file itself was rewritten.
bool targetWritable(const std::string& path, TargetKind kind) {
    if (kind != TargetKind::File && kind != TargetKind::Link) return true;
    std::error_code ec;
    if (!fs::exists(fs::status(path, ec))) return true;  // a dangling link
    return ::access(path.c_str(), W_OK) == 0;
}

// Our temporary files beside earlier targets, and frame files, whose
// process is gone (killed, crashed) are removed when a job starts.
void sweepLeftovers(const ConversionState& st, const std::string& listFolder) {
    const fs::path temp = tempFolder(st.TempDir);
    if (!temp.empty()) safefile::sweepStale(temp.string());
    if (!listFolder.empty()) safefile::sweepStale(listFolder);
}

void say(JobContext& ctx, const std::string& text, MessageIcon icon) {
    ctx.main.forceFGWindow();
    ctx.ui.message(text, kCaption, icon);
}

bool confirmReplace(JobContext& ctx, const std::string& targetName) {
    ctx.main.forceFGWindow();
    return ctx.ui.askYesNo("This folder already contains a file named '" + targetName +
                               "'.\rWould you like to replace the existing file with this one?",
                           kReplaceCaption);
}

// A codec call whose exception counts as failure.
template <typename F>
std::int32_t guarded(F&& f) {
    try {
        return f();
    } catch (...) {
        return 0;
    }
}

int clampPercent(int p) { return std::clamp(p, 0, 100); }

// Closes a WAV read handle when it goes out of scope.
class WaveReadGuard {
public:
    WaveReadGuard(WaveLibrary& lib, WaveLibrary::Handle h) : m_lib(lib), m_h(h) {}
    ~WaveReadGuard() { close(); }
    void close() {
        if (m_h) m_lib.closeRead(m_h);
        m_h = 0;
    }

private:
    WaveLibrary& m_lib;
    WaveLibrary::Handle m_h;
};

// The hourglass for the length of a scope, restored on every path.
class BusyCursor {
public:
    explicit BusyCursor(JobUi& ui) : m_ui(ui) { m_ui.setBusyCursor(true); }
    ~BusyCursor() { restore(); }
    void restore() {
        if (m_on) m_ui.setBusyCursor(false);
        m_on = false;
    }

private:
    JobUi& m_ui;
    bool m_on = true;
};

std::int16_t loadLE16(const std::uint8_t* p) { return static_cast<std::int16_t>(p[0] | p[1] << 8); }
void storeLE16(std::uint8_t* p, std::int16_t v) {
    const auto u = static_cast<std::uint16_t>(v);
    p[0] = static_cast<std::uint8_t>(u & 0xFF);
    p[1] = static_cast<std::uint8_t>(u >> 8);
}

}  // namespace

bool DetectVoiceFileMode(ConversionState& state, const std::string& path, std::int64_t& size, InputFile& in) {
    if (!in.open(path, state.Files)) return false;
    size = in.size();
    if (size < 0) return false;
    std::uint8_t head[5] = {};
    const std::size_t n = in.read(head, sizeof head);
    const RecordingMode mode = detectMode(head, n);
    if (mode == RecordingMode::Unknown) return false;
    state.ConvMode = static_cast<std::uint8_t>(mode);
    return in.seek(0);
}

bool ExtractToTempFile(CodecLibrary& codecs, const std::string& sourcePath, const std::string& tempPath,
                       std::int64_t& size, InputFile& in) {
    in.close();
    if (!guarded([&] { return codecs.sc4ToAdpcm(sourcePath.c_str(), tempPath.c_str()); })) return false;
    if (!in.open(tempPath)) return false;
    size = in.size();
    return size >= 0;
}

// ------------------------------------------------------------- SC4 -> WAV

void runSc4ToWavJob(JobContext& ctx) {
    ConversionState& st = ctx.state;
    // The folder of the selection, taken once: the list may move elsewhere
    // while the job runs (a recorder unplugged sends it to a parent folder),
    // and the names belong to this folder only.
    const std::string folder = ctx.main.listFolderPath();
    sweepLeftovers(st, folder);
    for (const std::string& name : st.SelectedNames) {
        if (lowerExtension(name) != ".sc4") continue;
        const std::string source = folder + name;
        if (!FileExistsNotDir(source)) continue;

        InputFile in;
        std::int64_t size = 0;
        if (!DetectVoiceFileMode(st, source, size, in)) {
            say(ctx, "Invalid sc4 file! (" + name + ")", MessageIcon::Warning);
            continue;
        }
        // The source's extension has three characters (".sc4"): the target
        // keeps the stem and takes the output kind's ("MEMO.flac").
        const std::string target = replaceExtension(source, soundFormatExtension(st.OutputFormat));
        const std::string targetName = fileName(target);
        const TargetKind kind = targetKind(target);
        if ((kind == TargetKind::File || kind == TargetKind::Link) && !confirmReplace(ctx, targetName)) continue;
        if (kind == TargetKind::Other || !targetWritable(target, kind)) {
            say(ctx, "Write error! (" + targetName + ")", MessageIcon::Warning);
            continue;
        }

        const bool sp = st.ConvMode == kModeSP;
        TempFile frames;  // removed on every way out of this iteration
        if (!sp) {
            if (!frames.create(st.TempDir) || !ExtractToTempFile(ctx.codecs, source, frames.path(), size, in)) {
                in.close();
                frames.remove();
                say(ctx, "Parsing error!", MessageIcon::Error);
                continue;
            }
        }

        st.pointCodecBlock();
        const std::int32_t ready =
            guarded([&] { return sp ? ctx.codecs.spInitDecoder() : ctx.codecs.adpcmInitDecoder(); });
        // The input (the frame file for HQ and SHQ) is closed before the
        // frame file is removed: an open file cannot be deleted everywhere.
        if (!ready) {
            say(ctx, "Decoding error!", MessageIcon::Error);
            in.close();
            frames.remove();
            continue;
        }
        // The WAV is written to a private file beside the target and takes
        // its place only when complete: until then an old target stays as it
        // was, whatever happens (a full disk, a read error, a killed job).
        const std::int32_t rate = st.ConvMode == kModeSHQ ? 11025 : 8000;
        const std::size_t block = sp ? 512 : 1972;
        const std::int32_t blockPcm = sp ? 8000 : 7888;
        // Each input block, a short last one too, gives one output block: an
        // SP file of more than 274,877,440 bytes (536,871 sectors) or an HQ
        // frame stream of more than 1,073,742,168 bytes makes more audio than
        // a WAVE file's 32-bit lengths can state.
        const std::uint64_t blocks = (static_cast<std::uint64_t>(size) + block - 1) / block;
        const bool large = blocks * static_cast<std::uint64_t>(blockPcm) > WaveLibrary::kMaxWaveData;
        safefile::Replacement out;
        WaveLibrary::Handle wav = 0;
        if (out.begin(target)) {
            const char* path = out.tempPath().c_str();
            if (st.OutputFormat != SoundFormat::Wav)
                wav = ctx.wave.writeHeaderAs(path, 16, 1, rate, static_cast<std::int32_t>(st.OutputFormat));
            else
                wav = large ? ctx.wave.writeHeaderLarge(path, 16, 1, rate) : ctx.wave.writeHeader(path, 16, 1, rate);
        }
        if (!wav) {
            out.abandon();
            say(ctx, "Write error! (" + targetName + ")", MessageIcon::Warning);
            in.close();
            frames.remove();
            continue;
        }

        const std::string status = "Converting '" + name + "' to '" + targetName + "'...";
        ctx.ui.setStatus(status);
        ctx.ui.setGauge(0);
        std::int64_t done = 0;
        int shown = 0;
        bool readFailed = false;
        while (done < size && ctx.ui.ContinueFlag) {
            std::memset(st.InBuffer.data(), 0, block);
            const std::size_t got = in.read(st.InBuffer.data(), block);
            // A failing read is no end of the data: the short result would
            // pass for the whole recording.
            if (in.failed()) {
                readFailed = true;
                break;
            }
            if (got == 0) break;
            // A short last block is decoded whole, padded with zeros.
            st.CodecBlock.inputLength = static_cast<std::uint32_t>(block);
            const std::int32_t ok = guarded([&] { return sp ? ctx.codecs.spDecode(&st.CodecBlock)
                                                            : ctx.codecs.adpcmDecode(&st.CodecBlock); });
            // A failed or raising call, or a count the buffer cannot back,
            // gives a block of silence and the conversion goes on.
            if (!ok || st.OutCount < 0 || st.OutCount > static_cast<std::int32_t>(kJobBufferBytes)) {
                st.OutCount = blockPcm;
                std::memset(st.OutBuffer.data(), 0, static_cast<std::size_t>(blockPcm));
            }
            ctx.wave.write(wav, st.OutBuffer.data(), st.OutCount);
            done += static_cast<std::int64_t>(block);
            const int percent = static_cast<int>(static_cast<double>(done) * 100.0 / static_cast<double>(size));
            if (percent != shown) {
                ctx.ui.setStatus(status);
                ctx.ui.setGauge(clampPercent(percent));
                shown = percent;
                ctx.ui.processMessages();
            }
        }
        // A WAV that did not reach the disk whole (disk full, a failing
        // medium) is no conversion: it is dropped and named, not counted, and
        // the old target stays.
        const bool closed = ctx.wave.closeWrite(wav) != 0;
        in.close();
        frames.remove();
        if (readFailed) {
            out.abandon();
            say(ctx, "Read error! (" + name + ")", MessageIcon::Warning);
        } else if (!closed || !out.commit()) {
            out.abandon();
            say(ctx, "Write error! (" + targetName + ")", MessageIcon::Warning);
        } else {
            ctx.main.showWrittenFile(target);
            ++st.ConvertedCount;
        }
        if (!ctx.ui.ContinueFlag) break;
    }
}

// ------------------------------------------------------------- WAV -> SC4

namespace {

// The whole-file form of the conversion way: 16-bit mono samples in host
// order, prepared in place from what the WAV library delivered.
struct WholeFile {
    std::unique_ptr<std::int16_t[]> samples;
    std::int64_t dataLength = 0;  // bytes, after widening and mixing
    std::size_t count = 0;        // source samples
};

enum class Prepared { Ok, OutOfMemory, ReadError };

// Reads, widens and mixes.
Prepared prepareWholeFile(WaveLibrary& wave, WaveLibrary::Handle h, const WaveLibrary::Header& hd, std::size_t limit,
                          WholeFile& wf) {
    std::int64_t length = hd.dataBytes;
    const bool eightBit = hd.bits == 8;
    const std::size_t bufBytes = static_cast<std::size_t>(eightBit ? 2 * length : length);
    if (bufBytes > limit) return Prepared::OutOfMemory;
    wf.samples.reset(new (std::nothrow) std::int16_t[bufBytes / 2 + 1]);
    if (!wf.samples) return Prepared::OutOfMemory;
    auto* bytes = reinterpret_cast<std::uint8_t*>(wf.samples.get());
    // The header's length is what the file holds: less is a read error.
    if (length > 0 && wave.read(h, bytes, static_cast<std::int32_t>(length)) != static_cast<std::int32_t>(length))
        return Prepared::ReadError;
    if (eightBit) {
        // From the last byte to the first, so widening never overwrites a byte
        // not yet widened: (b - 128) * 256.
        for (std::int64_t i = length - 1; i >= 0; --i)
            storeLE16(bytes + 2 * i, static_cast<std::int16_t>((bytes[i] - 128) * 256));
        length *= 2;
    }
    if (hd.channels == 2) {
        length /= 2;
        const std::int64_t mono = length / 2;
        for (std::int64_t i = 0; i < mono; ++i) {
            const std::int32_t left = loadLE16(bytes + 4 * i);
            const std::int32_t right = loadLE16(bytes + 4 * i + 2);
            // Arithmetic shift: rounds toward minus infinity (-3 + 0 -> -2).
            storeLE16(bytes + 2 * i, static_cast<std::int16_t>((left + right) >> 1));
        }
    }
    wf.dataLength = length;
    wf.count = static_cast<std::size_t>(length / 2);
    if constexpr (std::endian::native == std::endian::big) {
        for (std::size_t i = 0; i < wf.count; ++i) wf.samples[i] = loadLE16(bytes + 2 * i);
    }
    return Prepared::Ok;
}

}  // namespace

void runWavToSc4Job(JobContext& ctx) {
    ConversionState& st = ctx.state;
    const bool sp = st.ConvMode == kModeSP;
    const bool shq = st.ConvMode == kModeSHQ;
    const std::size_t blockIn = sp ? 8000 : 7888;
    const std::int32_t blockOut = sp ? 512 : 1972;

    const std::string folder = ctx.main.listFolderPath();  // once per job, as above
    sweepLeftovers(st, folder);
    for (const std::string& name : st.SelectedNames) {
        if (!isSoundFileName(name)) continue;
        const std::string source = folder + name;
        if (!FileExistsNotDir(source)) continue;
        // A WAV file goes through the WAV reader exactly as it always did;
        // the other kinds are decoded to 16-bit PCM and then take the same
        // way (mixing, resampling) as a WAV file of that layout.
        const bool wavName = lowerExtension(name) == ".wav";

        WaveLibrary::Header hd;
        const WaveLibrary::Handle wav =
            wavName ? ctx.wave.readHeader(source.c_str(), hd) : ctx.wave.readHeaderAny(source.c_str(), hd);
        if (!wav) {
            say(ctx, "Can not open file! (" + name + ")", MessageIcon::Warning);
            continue;
        }
        WaveReadGuard wavGuard(ctx.wave, wav);
        if (hd.formatTag != 1) {
            say(ctx,
                "This file format is not supported! (" + name + ")\r" +
                    (wavName ? "(Can convert only PCM wav file.)" : "(Can convert only mono or stereo sound files.)"),
                MessageIcon::Warning);
            continue;
        }
        if (hd.dataBytes < 0) continue;

        const auto rate = static_cast<std::uint32_t>(hd.rate);
        const bool direct = hd.bits == 16 && hd.channels == 1 &&
                            ((rate == 8000 && !shq) || (rate == 11025 && shq));
        // A rate of 0 would never move the resampler forward: refused like a
        // header that cannot be read.
        if (!direct && rate == 0) {
            say(ctx, "Can not open file! (" + name + ")", MessageIcon::Warning);
            continue;
        }

        // The stem keeps its case and loses its extension, whatever its
        // length: MEMO.WAV -> MEMO.sc4, talk.flac -> talk.sc4.
        const std::string target = source.substr(0, source.size() - lowerExtension(name).size() + 1) + "sc4";
        const std::string targetName = fileName(target);
        const TargetKind kind = targetKind(target);
        if ((kind == TargetKind::File || kind == TargetKind::Link) && !confirmReplace(ctx, targetName)) continue;
        if (kind == TargetKind::Other || !targetWritable(target, kind)) {
            say(ctx, "Write error! (" + targetName + ")", MessageIcon::Warning);
            continue;
        }

        st.pointCodecBlock();
        const std::int32_t ready =
            guarded([&] { return sp ? ctx.codecs.spInitEncoder() : ctx.codecs.adpcmInitEncoder(); });
        if (!ready) {
            say(ctx, "Encoding error!", MessageIcon::Error);
            continue;
        }

        // The SC4 file is written to a private file beside the target, which
        // takes the target's place only when complete: an old target stays
        // as it was through every failure. SP sectors go straight into it;
        // ADPCM frames into a frame file of this job's own, packed into it at
        // the end.
        safefile::Replacement result;
        TempFile frames;
        std::FILE* out = nullptr;
        if (result.begin(target)) {
            if (sp) {
                const int fd = ::dup(result.fd());
                if (fd >= 0 && !(out = ::fdopen(fd, "wb"))) ::close(fd);
            } else if (frames.create(st.TempDir)) {
                out = std::fopen(frames.path().c_str(), "wb");
            }
        }
        if (!out) {
            say(ctx, "Write error! (" + targetName + ")", MessageIcon::Warning);
            continue;
        }

        std::int64_t position = 0;
        std::int64_t dataLength = hd.dataBytes;
        const std::string status = "Converting '" + name + "' to '" + targetName + "'...";
        ctx.ui.setStatus(status);
        ctx.ui.setGauge(0);
        int shown = 0;
        bool writeFailed = false;
        bool readFailed = false;

        // Encodes InBuffer and appends the result; false ends the block loop.
        auto encodeBlock = [&]() -> bool {
            st.CodecBlock.inputLength = static_cast<std::uint32_t>(blockIn);
            bool raised = false;
            std::int32_t ok = 0;
            try {
                ok = sp ? ctx.codecs.spEncode(&st.CodecBlock) : ctx.codecs.adpcmEncode(&st.CodecBlock);
            } catch (...) {
                raised = true;
            }
            if (!raised && !ok) {
                say(ctx, "Encoding error! (" + targetName + ")", MessageIcon::Error);
                return false;
            }
            if (raised || st.OutCount < 0 || st.OutCount > static_cast<std::int32_t>(kJobBufferBytes)) {
                st.OutCount = blockOut;
                std::memset(st.OutBuffer.data(), 0, static_cast<std::size_t>(blockOut));
            }
            const auto n = static_cast<std::size_t>(st.OutCount);
            if (std::fwrite(st.OutBuffer.data(), 1, n, out) != n) {
                writeFailed = true;
                return false;
            }
            const int percent = roundHalfEven16(static_cast<double>(position) * 100.0 / static_cast<double>(dataLength));
            if (percent != shown) {
                ctx.ui.setStatus(status);
                ctx.ui.setGauge(clampPercent(percent));
                shown = percent;
                ctx.ui.processMessages();
            }
            return true;
        };

        if (direct) {
            while (position < dataLength && ctx.ui.ContinueFlag) {
                const std::int64_t remain = dataLength - position;
                const auto want = static_cast<std::int32_t>(std::min<std::int64_t>(remain, blockIn));
                if (want < static_cast<std::int32_t>(blockIn)) std::memset(st.InBuffer.data(), 0, blockIn);
                // Within the header's length every byte is there: fewer is a
                // read error (a failing medium), not the end of the data.
                if (ctx.wave.read(wav, st.InBuffer.data(), want) != want) {
                    readFailed = true;
                    break;
                }
                position += want;
                if (!encodeBlock()) break;
            }
        } else {
            WholeFile whole;
            Prepared prepared;
            {
                BusyCursor busy(ctx.ui);
                prepared = prepareWholeFile(ctx.wave, wav, hd, st.WholeFileLimit, whole);
            }
            if (prepared != Prepared::Ok) {
                // Nothing was encoded: no SC4 file is left behind and the
                // file is not counted.
                std::fclose(out);
                result.abandon();
                frames.remove();
                wavGuard.close();
                if (prepared == Prepared::OutOfMemory)
                    say(ctx, "Out of memory", MessageIcon::Error);
                else
                    say(ctx, "Read error! (" + name + ")", MessageIcon::Warning);
                continue;
            }
            dataLength = whole.dataLength;
            const double ratio = static_cast<double>(rate) / (shq ? 11025.0 : 8000.0);
            Resampler resampler(whole.samples.get(), whole.count, ratio);
            std::int16_t block[kJobBufferBytes / 2];
            while (position < dataLength && ctx.ui.ContinueFlag) {
                const std::size_t n = blockIn / 2;
                const bool more = resampler.fill(block, n);
                for (std::size_t i = 0; i < n; ++i) storeLE16(st.InBuffer.data() + 2 * i, block[i]);
                position = more ? static_cast<std::int64_t>(resampler.positionBytes()) : dataLength;
                if (!encodeBlock()) break;
            }
        }

        if (std::fclose(out) != 0) writeFailed = true;
        if (readFailed) {
            result.abandon();
            frames.remove();
            say(ctx, "Read error! (" + name + ")", MessageIcon::Warning);
            if (!ctx.ui.ContinueFlag) break;
            continue;
        }
        if (!writeFailed && !sp) {
            writeFailed = !guarded([&] {
                return ctx.codecs.adpcmToSc4(frames.path().c_str(), result.tempPath().c_str(), shq ? -1 : 0);
            });
        }
        frames.remove();
        if (writeFailed || !result.commit()) {
            // A short write or a failed packing leaves a cut file: it never
            // takes the target's place.
            result.abandon();
            say(ctx, "Write error! (" + targetName + ")", MessageIcon::Warning);
            // Cancel may have ended this file's block loop: the walk stops
            // here as it does after a finished file.
            if (!ctx.ui.ContinueFlag) break;
            continue;
        }
        ctx.main.showWrittenFile(target);
        wavGuard.close();
        ++st.ConvertedCount;
        if (!ctx.ui.ContinueFlag) break;
    }
}

}  // namespace vek::jobs
