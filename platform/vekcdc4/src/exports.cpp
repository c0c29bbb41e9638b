// The C exports of vekcdc4: one process-wide SP encoder and one decoder, as
// the conversion jobs expect.
// SPDX-License-Identifier: GPL-3.0-or-later
#include "vekcdc4.h"

#include <cstring>

#include "vek/sp/decoder.hpp"
#include "vek/sp/encoder.hpp"

namespace {

constexpr uint32_t kPcmBytes = vek::SpEncoder::kSectorSamples * sizeof(int16_t);  // 8000

vek::SpEncoder* encoder() {
    // Created on first use, not at load time: creating a channel allocates.
    static vek::SpEncoder instance;
    return &instance;
}

vek::SpDecoder g_decoder;

template <typename F>
int32_t guarded(F&& f) noexcept {
    try {
        return f();
    } catch (...) {
        return 0;
    }
}

}  // namespace

extern "C" {

int32_t InitializeAudioEncoder(void) {
    return guarded([] { return encoder()->initialize() ? 1 : 0; });
}

int32_t AudioEncoding(AudioCodecBlock* block) {
    return guarded([&]() -> int32_t {
        if (!block || !block->outputCount) return 0;
        if (!block->input || !block->output || block->inputLength > kPcmBytes) {
            *block->outputCount = 0;
            return 0;
        }
        if (block->inputLength == 0) {  // nothing to encode
            *block->outputCount = 0;
            return 1;
        }
        // A short block is coded as a whole one padded with silence (the
        // callers pad their last block the same way); an odd last byte is
        // no sample and is dropped.
        int16_t pcm[vek::SpEncoder::kSectorSamples] = {};
        std::memcpy(pcm, block->input, block->inputLength & ~1u);
        uint8_t sector[vek::sp::kSectorBytes];
        vek::SpEncoder* enc = encoder();
        if (!enc->ready() || !enc->encodeSector(pcm, sector)) {
            *block->outputCount = 0;
            return 0;
        }
        std::memcpy(block->output, sector, sizeof sector);
        *block->outputCount = static_cast<int32_t>(sizeof sector);
        return 1;
    });
}

int32_t InitializeAudioDecoder(void) {
    g_decoder.initialize();
    return 1;
}

int32_t AudioDecoding(AudioCodecBlock* block) {
    return guarded([&]() -> int32_t {
        if (!block) return 0;
        // One call decodes one sector: the callers size their output for
        // 8000 bytes, so a longer input is decoded as its first 512 bytes
        // only (the decoder alone would take up to 100 frames).
        AudioCodecBlock one = *block;
        if (one.inputLength > vek::sp::kSectorBytes) one.inputLength = vek::sp::kSectorBytes;
        return g_decoder.decodeSector(one);
    });
}

}  // extern "C"
