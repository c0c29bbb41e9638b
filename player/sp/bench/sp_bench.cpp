// SP decoding and encoding speed, side by side with the peers on the same
// speech-like signal: our decoder, libbcg729's decoder and (when its
// development files are present) libavcodec's G.729 decoder; our encoder
// layer against libbcg729's encoder called directly. Items are SP sectors
// (0.5 s of speech each).
// SPDX-License-Identifier: GPL-3.0-or-later
#include <benchmark/benchmark.h>

extern "C" {
#include <bcg729/decoder.h>
#include <bcg729/encoder.h>
#if VEK_HAVE_LIBAVCODEC
#include <libavcodec/avcodec.h>
#endif
}

#include <cstring>
#include <vector>

#include "vek/testsupport/signals.hpp"
#include "vek/sp/decoder.hpp"
#include "vek/sp/encoder.hpp"

namespace {

constexpr int kSectors = 40;  // 20 s of speech

const std::vector<int16_t>& speech() {
    static const std::vector<int16_t> s = vek::testsupport::speechLike(kSectors * 4000, 3);
    return s;
}

// Frames in transmission order, encoded once by libbcg729.
const std::vector<uint8_t>& frames() {
    static const std::vector<uint8_t> f = [] {
        std::vector<uint8_t> out(kSectors * 50 * 10);
        auto* enc = initBcg729EncoderChannel(0);
        for (int i = 0; i < kSectors * 50; ++i) {
            uint8_t len = 0;
            bcg729Encoder(enc, &speech()[i * 80], &out[i * 10], &len);
        }
        closeBcg729EncoderChannel(enc);
        return out;
    }();
    return f;
}

// The same frames as SP sectors.
const std::vector<uint8_t>& sectors() {
    static const std::vector<uint8_t> s = [] {
        std::vector<uint8_t> out(kSectors * 512, 0);
        for (int k = 0; k < kSectors; ++k) {
            uint8_t* sec = &out[k * 512];
            std::memcpy(sec, vek::sp::kSectorTag, 10);
            for (int b = 0; b < 500; b += 2) {
                sec[10 + b] = frames()[k * 500 + b + 1];
                sec[10 + b + 1] = frames()[k * 500 + b];
            }
        }
        return out;
    }();
    return s;
}

void BM_DecodeOurs(benchmark::State& state) {
    vek::SpDecoder dec;
    std::vector<int16_t> pcm(4000);
    int32_t count = 0;
    for (auto _ : state) {
        dec.initialize();
        for (int k = 0; k < kSectors; ++k) {
            AudioCodecBlock b{&sectors()[k * 512], 512, 0, pcm.data(), &count};
            dec.decodeSector(b);
            benchmark::DoNotOptimize(pcm.data());
        }
    }
    state.SetItemsProcessed(state.iterations() * kSectors);
}
BENCHMARK(BM_DecodeOurs);

void BM_DecodeBcg729(benchmark::State& state) {
    std::vector<int16_t> pcm(80);
    std::vector<uint8_t> swapped(500);
    for (auto _ : state) {
        auto* dec = initBcg729DecoderChannel();
        for (int k = 0; k < kSectors; ++k) {
            // The same sector work as ours: undo the pair swap, then 50 frames.
            const uint8_t* sec = &sectors()[k * 512 + 10];
            for (int b = 0; b < 500; b += 2) swapped[b] = sec[b + 1], swapped[b + 1] = sec[b];
            for (int f = 0; f < 50; ++f) {
                bcg729Decoder(dec, &swapped[f * 10], 10, 0, 0, 0, pcm.data());
                benchmark::DoNotOptimize(pcm.data());
            }
        }
        closeBcg729DecoderChannel(dec);
    }
    state.SetItemsProcessed(state.iterations() * kSectors);
}
BENCHMARK(BM_DecodeBcg729);

#if VEK_HAVE_LIBAVCODEC
void BM_DecodeLibavcodec(benchmark::State& state) {
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_G729);
    if (!codec) {
        state.SkipWithError("libavcodec has no G.729 decoder");
        return;
    }
    AVPacket* pkt = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    std::vector<uint8_t> swapped(500 + AV_INPUT_BUFFER_PADDING_SIZE, 0);
    for (auto _ : state) {
        AVCodecContext* ctx = avcodec_alloc_context3(codec);
        ctx->sample_rate = 8000;
        ctx->ch_layout = AV_CHANNEL_LAYOUT_MONO;
        if (avcodec_open2(ctx, codec, nullptr) < 0) {
            state.SkipWithError("cannot open the G.729 decoder");
            break;
        }
        for (int k = 0; k < kSectors; ++k) {
            const uint8_t* sec = &sectors()[k * 512 + 10];
            for (int b = 0; b < 500; b += 2) swapped[b] = sec[b + 1], swapped[b + 1] = sec[b];
            for (int f = 0; f < 50; ++f) {
                pkt->data = &swapped[f * 10];
                pkt->size = 10;
                avcodec_send_packet(ctx, pkt);
                while (avcodec_receive_frame(ctx, frame) == 0) benchmark::DoNotOptimize(frame->data[0]);
            }
        }
        avcodec_free_context(&ctx);
    }
    av_frame_free(&frame);
    av_packet_free(&pkt);
    state.SetItemsProcessed(state.iterations() * kSectors);
}
BENCHMARK(BM_DecodeLibavcodec);
#endif

void BM_EncodeOurLayer(benchmark::State& state) {
    std::vector<uint8_t> sector(512);
    for (auto _ : state) {
        vek::SpEncoder enc;
        for (int k = 0; k < kSectors; ++k) {
            enc.encodeSector(&speech()[k * 4000], sector.data());
            benchmark::DoNotOptimize(sector.data());
        }
    }
    state.SetItemsProcessed(state.iterations() * kSectors);
}
BENCHMARK(BM_EncodeOurLayer);

void BM_EncodeBcg729Direct(benchmark::State& state) {
    std::vector<uint8_t> frame(10);
    for (auto _ : state) {
        auto* enc = initBcg729EncoderChannel(0);
        for (int i = 0; i < kSectors * 50; ++i) {
            uint8_t len = 0;
            bcg729Encoder(enc, &speech()[i * 80], frame.data(), &len);
            benchmark::DoNotOptimize(frame.data());
        }
        closeBcg729EncoderChannel(enc);
    }
    state.SetItemsProcessed(state.iterations() * kSectors);
}
BENCHMARK(BM_EncodeBcg729Direct);

}  // namespace
BENCHMARK_MAIN();
