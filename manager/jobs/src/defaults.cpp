// The real codec and WAV libraries behind the jobs' interfaces.
// SPDX-License-Identifier: GPL-3.0-or-later
#include "vek/jobs/services.hpp"

#include <cstdio>

#include "vekcdc5.h"
#include "vekwf.h"
#if defined(VEK_JOBS_HAVE_VEKCDC4)
#include "vekcdc4.h"
#endif

namespace vek::jobs {
namespace {

class RealCodecs final : public CodecLibrary {
public:
#if defined(VEK_JOBS_HAVE_VEKCDC4)
    int32_t spInitEncoder() override { return InitializeAudioEncoder(); }
    int32_t spEncode(AudioCodecBlock* b) override { return AudioEncoding(b); }
    int32_t spInitDecoder() override { return InitializeAudioDecoder(); }
    int32_t spDecode(AudioCodecBlock* b) override { return AudioDecoding(b); }
#else
    // Built without the SP codec library: every SP file fails at
    // initialisation with the codec error message.
    int32_t spInitEncoder() override { return 0; }
    int32_t spEncode(AudioCodecBlock*) override { return 0; }
    int32_t spInitDecoder() override { return 0; }
    int32_t spDecode(AudioCodecBlock*) override { return 0; }
#endif
    int32_t adpcmInitEncoder() override { return InitializeAudioEncoder_A(); }
    int32_t adpcmEncode(AudioCodecBlock* b) override { return AudioEncoding_A(b); }
    int32_t adpcmInitDecoder() override { return InitializeAudioDecoder_A(); }
    int32_t adpcmDecode(AudioCodecBlock* b) override { return AudioDecoding_A(b); }
    int32_t sc4ToAdpcm(const char* sc4, const char* adpcm) override { return SC4ToADPCM(sc4, adpcm); }
    int32_t adpcmToSc4(const char* adpcm, const char* sc4, int32_t shq) override {
        return ADPCMToSC4(adpcm, sc4, shq);
    }
};

class RealWave final : public WaveLibrary {
public:
    Handle writeHeader(const char* path, int32_t bits, int32_t channels, int32_t rate) override {
        return WriteWaveHeader(path, bits, channels, rate);
    }
    Handle writeHeaderLarge(const char* path, int32_t bits, int32_t channels, int32_t rate) override {
        return WriteWaveHeader64(path, bits, channels, rate);
    }
    Handle writeHeaderAs(const char* path, int32_t bits, int32_t channels, int32_t rate, int32_t kind) override {
        return WriteAudioHeader(path, bits, channels, rate, kind);
    }
    Handle readHeaderAny(const char* path, Header& hd) override {
        return ReadAudioHeader(path, &hd.bits, &hd.channels, &hd.rate, &hd.dataBytes, &hd.formatTag);
    }
    int32_t write(Handle h, const void* data, int32_t bytes) override { return WriteWaveFile(h, data, bytes); }
    int32_t closeWrite(Handle h) override { return CloseWriteWaveFile(h); }
    Handle readHeader(const char* path, Header& hd) override {
        return ReadWaveHeader(path, &hd.bits, &hd.channels, &hd.rate, &hd.dataBytes, &hd.formatTag);
    }
    int32_t read(Handle h, void* buf, int32_t bytes) override { return ReadWaveFile(h, buf, bytes); }
    void closeRead(Handle h) override { CloseReadWaveFile(h); }
};

class StdioInput final : public InputStream {
public:
    explicit StdioInput(std::FILE* f) : m_file(f) {}
    ~StdioInput() override { std::fclose(m_file); }
    // 64-bit offsets: long is 32 bits on 64-bit Windows and would wrap at
    // 2 GiB.
    std::int64_t size() override {
        const std::int64_t here = tell();
        if (here < 0 || !seekTo(0, SEEK_END)) return -1;
        const std::int64_t end = tell();
        if (!seekTo(here, SEEK_SET)) return -1;
        return end;
    }
    bool seek(std::uint64_t offset) override {
        return offset <= static_cast<std::uint64_t>(INT64_MAX) && seekTo(static_cast<std::int64_t>(offset), SEEK_SET);
    }
    std::size_t read(void* dst, std::size_t n) override { return std::fread(dst, 1, n, m_file); }
    bool failed() const override { return std::ferror(m_file) != 0; }

private:
    std::int64_t tell() {
#if defined(_WIN32)
        return _ftelli64(m_file);
#else
        return static_cast<std::int64_t>(ftello(m_file));
#endif
    }
    bool seekTo(std::int64_t at, int whence) {
#if defined(_WIN32)
        return _fseeki64(m_file, at, whence) == 0;
#else
        return fseeko(m_file, static_cast<off_t>(at), whence) == 0;
#endif
    }
    std::FILE* m_file;
};

class StdioFiles final : public FileAccess {
public:
    std::unique_ptr<InputStream> openRead(const std::string& path) override {
        std::FILE* f = std::fopen(path.c_str(), "rb");
        if (!f) return nullptr;
        return std::make_unique<StdioInput>(f);
    }
};

}  // namespace

FileAccess& defaultFiles() {
    static StdioFiles files;
    return files;
}

CodecLibrary& defaultCodecs() {
    static RealCodecs codecs;
    return codecs;
}

WaveLibrary& defaultWave() {
    static RealWave wave;
    return wave;
}

bool haveSpCodec() {
#if defined(VEK_JOBS_HAVE_VEKCDC4)
    return true;
#else
    return false;
#endif
}

}  // namespace vek::jobs
