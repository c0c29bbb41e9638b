// SPDX-License-Identifier: GPL-3.0-or-later
#include "vek/jobs/conversion.hpp"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>
#include <memory>
#include <new>
#include <random>

#include "vek/codec/sc4.hpp"
#include "vek/jobs/resampler.hpp"

namespace vek::jobs {

namespace fs = std::filesystem;

void ConversionState::pointCodecBlock() {
    CodecBlock.input = InBuffer.data();
    CodecBlock.output = OutBuffer.data();
    CodecBlock.outputCount = &OutCount;
}

bool InputFile::open(const std::string& path) {
    close();
    m_file = std::fopen(path.c_str(), "rb");
    return m_file != nullptr;
}

void InputFile::close() {
    if (m_file) std::fclose(m_file);
    m_file = nullptr;
}

bool TempFile::create(const fs::path& dir) {
    remove();
    std::error_code ec;
    fs::path base = dir;
    if (base.empty()) base = fs::temp_directory_path(ec);
    if (ec || base.empty()) return false;
    std::random_device rd;
    static const char digits[] = "0123456789abcdef";
    for (int attempt = 0; attempt < 64; ++attempt) {
        std::string name = "vekshell-";
        for (int i = 0; i < 4; ++i) {
            unsigned v = rd();
            for (int k = 0; k < 8; ++k, v >>= 4) name += digits[v & 15];
        }
        name += ".tmp";
        const std::string candidate = (base / name).string();
        // "x": fail when the name exists, so no other process's file (or a
        // planted link) is ever opened.
        if (std::FILE* f = std::fopen(candidate.c_str(), "wbx")) {
            std::fclose(f);
            m_path = candidate;
            return true;
        }
        if (errno != EEXIST) return false;
    }
    return false;
}

void TempFile::remove() {
    if (!m_path.empty()) std::remove(m_path.c_str());
    m_path.clear();
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

namespace {

std::int64_t fileSizeOf(std::FILE* f) {
    if (std::fseek(f, 0, SEEK_END) != 0) return -1;
    const long n = std::ftell(f);
    if (n < 0 || std::fseek(f, 0, SEEK_SET) != 0) return -1;
    return n;
}

std::string fileName(const std::string& path) {
    const auto slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The target beside the source: its last three characters replaced, so the
// stem keeps its case (MEMO.SC4 -> MEMO.wav).
std::string replaceExtension(const std::string& path, const char* ext3) {
    return path.substr(0, path.size() - 3) + ext3;
}

// A pipe, a device or a socket holds the target name: it is neither
// replaced nor opened (opening a pipe for writing waits for a reader).
bool targetHeldByNonFile(const std::string& path) {
    std::error_code ec;
    const auto st = fs::status(path, ec);
    return fs::exists(st) && !fs::is_regular_file(st) && !fs::is_directory(st);
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
    if (!in.open(path)) return false;
    size = fileSizeOf(in.get());
    if (size < 0) return false;
    std::uint8_t head[5] = {};
    const std::size_t n = std::fread(head, 1, sizeof head, in.get());
    const RecordingMode mode = detectMode(head, n);
    if (mode == RecordingMode::Unknown) return false;
    state.ConvMode = static_cast<std::uint8_t>(mode);
    return std::fseek(in.get(), 0, SEEK_SET) == 0;
}

bool ExtractToTempFile(CodecLibrary& codecs, const std::string& sourcePath, const std::string& tempPath,
                       std::int64_t& size, InputFile& in) {
    in.close();
    if (!guarded([&] { return codecs.sc4ToAdpcm(sourcePath.c_str(), tempPath.c_str()); })) return false;
    if (!in.open(tempPath)) return false;
    size = fileSizeOf(in.get());
    return size >= 0;
}

// ------------------------------------------------------------- SC4 -> WAV

void runSc4ToWavJob(JobContext& ctx) {
    ConversionState& st = ctx.state;
    // The folder of the selection, taken once: the list may move elsewhere
    // while the job runs (a recorder unplugged sends it to a parent folder),
    // and the names belong to this folder only.
    const std::string folder = ctx.main.listFolderPath();
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
        const std::string target = replaceExtension(source, "wav");
        const std::string targetName = fileName(target);
        if (FileExistsNotDir(target) && !confirmReplace(ctx, targetName)) continue;
        if (targetHeldByNonFile(target)) {
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
        const std::int32_t rate = st.ConvMode == kModeSHQ ? 11025 : 8000;
        const WaveLibrary::Handle wav = ctx.wave.writeHeader(target.c_str(), 16, 1, rate);
        if (!wav) {
            say(ctx, "Write error! (" + targetName + ")", MessageIcon::Warning);
            in.close();
            frames.remove();
            continue;
        }

        const std::string status = "Converting '" + name + "' to '" + targetName + "'...";
        ctx.ui.setStatus(status);
        ctx.ui.setGauge(0);
        const std::size_t block = sp ? 512 : 1972;
        const std::int32_t blockPcm = sp ? 8000 : 7888;
        std::int64_t done = 0;
        int shown = 0;
        while (done < size && ctx.ui.ContinueFlag) {
            std::memset(st.InBuffer.data(), 0, block);
            if (std::fread(st.InBuffer.data(), 1, block, in.get()) == 0) break;
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
        // medium) is no conversion: it is removed and named, not counted.
        if (!ctx.wave.closeWrite(wav)) {
            in.close();
            frames.remove();
            std::remove(target.c_str());
            say(ctx, "Write error! (" + targetName + ")", MessageIcon::Warning);
            if (!ctx.ui.ContinueFlag) break;
            continue;
        }
        ctx.main.showWrittenFile(target);
        in.close();
        frames.remove();
        ++st.ConvertedCount;
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

// Reads, widens and mixes. False when the buffer cannot be allocated.
bool prepareWholeFile(WaveLibrary& wave, WaveLibrary::Handle h, const WaveLibrary::Header& hd, std::size_t limit,
                      WholeFile& wf) {
    std::int64_t length = hd.dataBytes;
    const bool eightBit = hd.bits == 8;
    const std::size_t bufBytes = static_cast<std::size_t>(eightBit ? 2 * length : length);
    if (bufBytes > limit) return false;
    wf.samples.reset(new (std::nothrow) std::int16_t[bufBytes / 2 + 1]);
    if (!wf.samples) return false;
    auto* bytes = reinterpret_cast<std::uint8_t*>(wf.samples.get());
    wave.read(h, bytes, static_cast<std::int32_t>(length));
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
    return true;
}

}  // namespace

void runWavToSc4Job(JobContext& ctx) {
    ConversionState& st = ctx.state;
    const bool sp = st.ConvMode == kModeSP;
    const bool shq = st.ConvMode == kModeSHQ;
    const std::size_t blockIn = sp ? 8000 : 7888;
    const std::int32_t blockOut = sp ? 512 : 1972;

    const std::string folder = ctx.main.listFolderPath();  // once per job, as above
    for (const std::string& name : st.SelectedNames) {
        if (lowerExtension(name) != ".wav") continue;
        const std::string source = folder + name;
        if (!FileExistsNotDir(source)) continue;

        WaveLibrary::Header hd;
        const WaveLibrary::Handle wav = ctx.wave.readHeader(source.c_str(), hd);
        if (!wav) {
            say(ctx, "Can not open file! (" + name + ")", MessageIcon::Warning);
            continue;
        }
        WaveReadGuard wavGuard(ctx.wave, wav);
        if (hd.formatTag != 1) {
            say(ctx, "This file format is not supported! (" + name + ")\r(Can convert only PCM wav file.)",
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

        const std::string target = replaceExtension(source, "sc4");
        const std::string targetName = fileName(target);
        if (FileExistsNotDir(target) && !confirmReplace(ctx, targetName)) continue;
        if (targetHeldByNonFile(target)) {
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

        // SP sectors go straight into the target; ADPCM frames into a frame
        // file of this job's own, packed into the container at the end.
        TempFile frames;
        std::FILE* out = nullptr;
        if (sp)
            out = std::fopen(target.c_str(), "wb");
        else if (frames.create(st.TempDir))
            out = std::fopen(frames.path().c_str(), "wb");
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
                if (remain >= static_cast<std::int64_t>(blockIn)) {
                    ctx.wave.read(wav, st.InBuffer.data(), static_cast<std::int32_t>(blockIn));
                    position += static_cast<std::int64_t>(blockIn);
                } else {
                    std::memset(st.InBuffer.data(), 0, blockIn);
                    ctx.wave.read(wav, st.InBuffer.data(), static_cast<std::int32_t>(remain));
                    position += remain;
                }
                if (!encodeBlock()) break;
            }
        } else {
            WholeFile whole;
            bool allocated;
            {
                BusyCursor busy(ctx.ui);
                allocated = prepareWholeFile(ctx.wave, wav, hd, st.WholeFileLimit, whole);
            }
            if (!allocated) {
                // Nothing was encoded: no SC4 file is left behind (the empty
                // SP target is removed) and the file is not counted.
                std::fclose(out);
                if (sp) std::remove(target.c_str());
                frames.remove();
                wavGuard.close();
                say(ctx, "Out of memory", MessageIcon::Error);
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
        if (writeFailed) {
            // A short write leaves a cut sector: no partial SC4 file stays.
            if (sp) std::remove(target.c_str());
            frames.remove();
            say(ctx, "Write error! (" + targetName + ")", MessageIcon::Warning);
            // Cancel may have ended this file's block loop: the walk stops
            // here as it does after a finished file.
            if (!ctx.ui.ContinueFlag) break;
            continue;
        }
        if (!sp) {
            // A failed packing leaves a cut container behind, which is
            // removed. A target that cannot be opened for writing at all (a
            // folder of that name, a read-only file) was never touched and
            // stays: appending nothing tells the two apart without truncating.
            std::int32_t packed = 0;
            if (std::FILE* probe = std::fopen(target.c_str(), "ab")) {
                std::fclose(probe);
                packed = guarded(
                    [&] { return ctx.codecs.adpcmToSc4(frames.path().c_str(), target.c_str(), shq ? -1 : 0); });
                if (!packed) std::remove(target.c_str());
            }
            frames.remove();
            if (!packed) {
                say(ctx, "Write error! (" + targetName + ")", MessageIcon::Warning);
                if (!ctx.ui.ContinueFlag) break;
                continue;
            }
        }
        ctx.main.showWrittenFile(target);
        wavGuard.close();
        ++st.ConvertedCount;
        if (!ctx.ui.ContinueFlag) break;
    }
}

}  // namespace vek::jobs
