// The C exports of vekcdc5: thin wrappers over the reentrant core, with one
// process-wide codec object as the original interface expects.
// SPDX-License-Identifier: GPL-3.0-or-later
#include "vekcdc5.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "vek/codec/adpcm.hpp"
#include "vek/codec/sc4.hpp"

// The record's layout is shared with programs built by other compilers: five
// 32-bit fields on 32-bit Windows, pointers at their natural width elsewhere.
static_assert(offsetof(AudioCodecBlock, input) == 0);
static_assert(offsetof(AudioCodecBlock, inputLength) == sizeof(void*));
static_assert(offsetof(AudioCodecBlock, spare) == sizeof(void*) + 4);
static_assert(offsetof(AudioCodecBlock, output) == sizeof(void*) + 8);
static_assert(offsetof(AudioCodecBlock, outputCount) == 2 * sizeof(void*) + 8);
static_assert(sizeof(AudioCodecBlock) == 3 * sizeof(void*) + 8);

namespace {

vek::AdpcmCodec g_codec;

// Runs f and turns any exception into the failure result: nothing may cross
// the C boundary.
template <typename F>
int32_t guarded(F&& f) noexcept {
    try {
        return f() ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

bool validBlock(const AudioCodecBlock* block) {
    return block && block->outputCount && (block->inputLength == 0 || (block->input && block->output));
}

// The output would be the input itself: the same path, a symbolic link to
// it or another hard link of it (one file: the same device and inode after
// the links are resolved). Opening the output truncates it, which would
// destroy the input before a byte of it is read. An output that does not
// exist yet cannot be the input.
bool sameFile(const char* a, const char* b) {
    std::error_code ec;
    return std::filesystem::equivalent(std::filesystem::path(a), std::filesystem::path(b), ec) && !ec;
}

}  // namespace

extern "C" {

int32_t SC4ToADPCM(const char* sc4Path, const char* adpcmPath) {
    return guarded([&] {
        if (!sc4Path || !adpcmPath) return false;
        vek::StdioFile in(sc4Path, vek::StdioFile::Mode::Read);
        if (!in.isOpen() || sameFile(sc4Path, adpcmPath)) return false;
        vek::StdioFile out(adpcmPath, vek::StdioFile::Mode::ReadWriteTruncate);
        if (!out.isOpen()) return false;
        const bool ok = vek::sc4ToAdpcm(in, out);
        return out.close() && ok;
    });
}

int32_t ADPCMToSC4(const char* adpcmPath, const char* sc4Path, int32_t shq) {
    return guarded([&] {
        if (!adpcmPath || !sc4Path) return false;
        vek::StdioFile in(adpcmPath, vek::StdioFile::Mode::Read);
        if (!in.isOpen() || sameFile(adpcmPath, sc4Path)) return false;
        vek::StdioFile out(sc4Path, vek::StdioFile::Mode::ReadWriteTruncate);
        if (!out.isOpen()) return false;
        const bool ok = vek::adpcmToSc4(in, out, shq != 0);
        return out.close() && ok;
    });
}

int32_t InitializeAudioEncoder_A(void) {
    g_codec.reset();
    return 1;
}

int32_t InitializeAudioDecoder_A(void) { return InitializeAudioEncoder_A(); }

int32_t AudioEncoding_A(AudioCodecBlock* block) {
    return guarded([&] {
        if (!validBlock(block)) return false;
        *block->outputCount = 0;
        if (block->inputLength == 0) return true;
        const auto n = g_codec.encode(static_cast<const std::uint8_t*>(block->input), block->inputLength,
                                      static_cast<std::uint8_t*>(block->output));
        *block->outputCount = static_cast<int32_t>(n);
        return true;
    });
}

int32_t AudioDecoding_A(AudioCodecBlock* block) {
    return guarded([&] {
        if (!validBlock(block)) return false;
        *block->outputCount = 0;
        if (block->inputLength == 0) return true;
        // Each 29-byte frame gives 116 bytes: from 536,870,939 input bytes on
        // (18,512,791 frames, about 512 MB) the output count no longer fits
        // its signed 32 bits. Such a call is refused before anything is
        // decoded or written.
        const std::uint64_t outBytes = static_cast<std::uint64_t>(block->inputLength / 29) * 116;
        if (outBytes > static_cast<std::uint64_t>(INT32_MAX)) return false;
        const auto n = g_codec.decode(static_cast<const std::uint8_t*>(block->input), block->inputLength,
                                      static_cast<std::uint8_t*>(block->output));
        *block->outputCount = static_cast<int32_t>(n);
        return true;
    });
}

int32_t FreeAudioEncoder_A(void) { return 1; }
int32_t FreeAudioDecoder_A(void) { return 1; }
int32_t SetAudioEncoderQuality_A(int32_t) { return 1; }
int32_t SetAudioEncoderRate_A(int32_t) { return 1; }
int32_t SetAudioEncoderVAD_A(int32_t) { return 1; }

}  // extern "C"
