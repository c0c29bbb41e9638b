// vek_fuzzseeds: writes the seed inputs of every fuzz target, synthesised at
// build time so that no binary file lives in the repository.
//   vek_fuzzseeds OUTDIR   ->  OUTDIR/<target>/<seed>
// Each target's folder holds valid inputs of the kinds its reader takes, in
// the layout the target expects (see the target's own comment), kept under
// the fuzzer's input limit (20000 bytes in scripts/fuzz).
// SPDX-License-Identifier: GPL-3.0-or-later
#include <sndfile.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "../mksamples/synth.hpp"
#include "vek/codec/adpcm.hpp"
#include "vek/codec/bytestream.hpp"
#include "vek/codec/sc4.hpp"
#include "vek/player/player_core.hpp"
#if defined(VEK_HAVE_SP_ENCODER)
#include "vek/sp/encoder.hpp"
#endif

namespace {

using Bytes = std::vector<std::uint8_t>;
namespace fs = std::filesystem;

fs::path g_out;
bool g_ok = true;

void put(const std::string& target, const std::string& name, const Bytes& bytes) {
    const fs::path dir = g_out / target;
    std::error_code ec;
    fs::create_directories(dir, ec);
    std::FILE* f = std::fopen((dir / name).c_str(), "wb");
    if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) g_ok = false;
    if (f && std::fclose(f) != 0) g_ok = false;
}

void put(const std::string& target, const std::string& name, const std::string& text) {
    put(target, name, Bytes(text.begin(), text.end()));
}

Bytes prefixed(std::uint8_t first, const Bytes& rest) {
    Bytes b{first};
    b.insert(b.end(), rest.begin(), rest.end());
    return b;
}

// ---------------------------------------------------------------- SC4 files

Bytes adpcmSc4(const std::vector<std::int16_t>& pcm, bool shq) {
    vek::AdpcmChannelState st;
    Bytes frames;
    std::uint8_t frame[vek::kAdpcmFrameBytes];
    for (std::size_t i = 0; i + vek::kAdpcmFrameSamples <= pcm.size(); i += vek::kAdpcmFrameSamples) {
        vek::adpcmEncodeFrame(st, &pcm[i], frame);
        frames.insert(frames.end(), frame, frame + sizeof frame);
    }
    vek::MemorySource in(frames.data(), frames.size());
    vek::MemorySink out;
    if (!vek::adpcmToSc4(in, out, shq)) g_ok = false;
    return out.bytes();
}

#if defined(VEK_HAVE_SP_ENCODER)
Bytes spSc4(const std::vector<std::int16_t>& pcm) {
    vek::SpEncoder encoder;
    if (!encoder.initialize()) {
        g_ok = false;
        return {};
    }
    Bytes out;
    std::vector<std::int16_t> block(vek::SpEncoder::kSectorSamples);
    std::uint8_t sector[vek::kSectorBytes];
    for (std::size_t i = 0; i < pcm.size(); i += block.size()) {
        std::fill(block.begin(), block.end(), 0);
        for (std::size_t k = 0; k < block.size() && i + k < pcm.size(); ++k) block[k] = pcm[i + k];
        if (!encoder.encodeSector(block.data(), sector)) g_ok = false;
        out.insert(out.end(), sector, sector + sizeof sector);
    }
    return out;
}
#endif

// ---------------------------------------------------------------- WAV files

// A WAV file of `format` written by libsndfile into memory (through a
// temporary file: the virtual I/O cannot write RF64).
Bytes soundFile(int format, int channels, int rate, const std::vector<std::int16_t>& mono) {
    const fs::path tmp = g_out / ".tmp.wav";
    SF_INFO info{};
    info.channels = channels;
    info.samplerate = rate;
    info.format = format;
    SNDFILE* sf = sf_open(tmp.c_str(), SFM_WRITE, &info);
    if (!sf) {
        std::fprintf(stderr, "vek_fuzzseeds: libsndfile cannot write format %#x: %s\n", format, sf_strerror(nullptr));
        g_ok = false;
        return {};
    }
    std::vector<short> frames;
    for (auto s : mono)
        for (int c = 0; c < channels; ++c) frames.push_back(static_cast<short>(c % 2 ? -s : s));
    sf_writef_short(sf, frames.data(), static_cast<sf_count_t>(mono.size()));
    sf_close(sf);
    Bytes bytes;
    if (std::FILE* f = std::fopen(tmp.c_str(), "rb")) {
        std::uint8_t buf[4096];
        for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) bytes.insert(bytes.end(), buf, buf + n);
        std::fclose(f);
    }
    fs::remove(tmp);
    return bytes;
}

struct WavKind {
    const char* name;
    int format;
    int channels;
};

const WavKind kWavKinds[] = {
    {"u8-mono", SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 1},
    {"u8-stereo", SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 2},
    {"s16-mono", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1},
    {"s16-stereo", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2},
    {"s24-mono", SF_FORMAT_WAV | SF_FORMAT_PCM_24, 1},
    {"s32-stereo", SF_FORMAT_WAV | SF_FORMAT_PCM_32, 2},
    {"float-mono", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 1},
    {"double-stereo", SF_FORMAT_WAV | SF_FORMAT_DOUBLE, 2},
    {"ext-s16-mono", SF_FORMAT_WAVEX | SF_FORMAT_PCM_16, 1},
    {"ext-s24-stereo", SF_FORMAT_WAVEX | SF_FORMAT_PCM_24, 2},
    {"ext-float-mono", SF_FORMAT_WAVEX | SF_FORMAT_FLOAT, 1},
    {"ext-s16-3ch", SF_FORMAT_WAVEX | SF_FORMAT_PCM_16, 3},
    {"s16-3ch", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 3},
    {"rifx-s16-mono", SF_FORMAT_WAV | SF_FORMAT_PCM_16 | SF_ENDIAN_BIG, 1},
    {"ima-adpcm", SF_FORMAT_WAV | SF_FORMAT_IMA_ADPCM, 1},
    {"ms-adpcm", SF_FORMAT_WAV | SF_FORMAT_MS_ADPCM, 1},
    {"ulaw", SF_FORMAT_WAV | SF_FORMAT_ULAW, 1},
    {"alaw", SF_FORMAT_WAV | SF_FORMAT_ALAW, 1},
    {"gsm610", SF_FORMAT_WAV | SF_FORMAT_GSM610, 1},
    {"rf64-s16-mono", SF_FORMAT_RF64 | SF_FORMAT_PCM_16, 1},
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: vek_fuzzseeds OUTDIR\n", stderr);
        return 2;
    }
    g_out = argv[1];
    std::error_code ec;
    fs::create_directories(g_out, ec);

    const auto voice8 = vek::samples::synthesise(8000.0, 2.6);
    const auto voice11 = vek::samples::synthesise(11025.0, 2.0);
    auto part = [](const std::vector<std::int16_t>& v, std::size_t n) {
        return std::vector<std::int16_t>(v.begin(), v.begin() + static_cast<long>(std::min(n, v.size())));
    };

    // SC4 files of several lengths: under a sector, a few sectors, past one
    // group of 100 frames, and the longest that fits the input limit.
    std::vector<std::pair<std::string, Bytes>> sc4;
    for (std::size_t frames : {3u, 17u, 100u, 130u, 560u}) {
        sc4.push_back({"hq-" + std::to_string(frames), adpcmSc4(part(voice8, frames * 58), false)});
        sc4.push_back({"shq-" + std::to_string(frames), adpcmSc4(part(voice11, frames * 58), true)});
    }
#if defined(VEK_HAVE_SP_ENCODER)
    for (std::size_t sectors : {1u, 2u, 5u}) sc4.push_back({"sp-" + std::to_string(sectors), spSc4(part(voice8, sectors * 4000))});
    // The SP decoder target takes sector bodies without their tags, 502
    // bytes each; the raw pass also sees one whole tagged sector.
    const Bytes sp = spSc4(part(voice8, 5 * 4000));
    for (std::size_t sectors : {1u, 2u, 5u}) {
        Bytes bodies;
        for (std::size_t s = 0; s < sectors; ++s)
            bodies.insert(bodies.end(), sp.begin() + static_cast<long>(s * 512 + 10),
                          sp.begin() + static_cast<long>((s + 1) * 512));
        put("fuzz_sp_decoder", "bodies-" + std::to_string(sectors), bodies);
    }
    put("fuzz_sp_decoder", "sector", Bytes(sp.begin(), sp.begin() + 512));
#endif
    for (const auto& [name, bytes] : sc4) {
        put("fuzz_sc4_reader", name + ".sc4", bytes);
        put("fuzz_player_render", name + ".sc4", prefixed(0, bytes));
        put("fuzz_conversion_jobs", name + ".sc4", prefixed(0, bytes));
    }

    // Self-playing files: the player target puts the stub of the mode in
    // front of the 12-byte header and the recording (kind byte 1 or 2).
    for (const auto& [name, bytes] : sc4) {
        const bool isSp = name.rfind("sp-", 0) == 0;
        if (!isSp && name.find("-560") == std::string::npos && name.find("-100") == std::string::npos) continue;
        Bytes payload;
        vek::MemorySource in(bytes.data(), bytes.size());
        vek::MemorySink frames;
        if (isSp) {
            payload = bytes;
        } else if (vek::sc4ToAdpcm(in, frames)) {
            payload = frames.bytes();
        }
        const std::uint8_t mode = isSp ? 4 : (name.rfind("shq", 0) == 0 ? 6 : 5);
        for (int effect : {0, 3, 6, 9, 12, 16}) {
            vek::player::PayloadHeader h;
            h.mode = mode;
            h.effect = static_cast<std::uint8_t>(effect);
            h.level = static_cast<std::uint8_t>(40 + effect * 5);
            Bytes file(vek::player::kHeaderBytes);
            h.write(file.data());
            file.insert(file.end(), payload.begin(), payload.end());
            put("fuzz_player_render", "exe-" + name + "-fx" + std::to_string(effect), prefixed(isSp ? 1 : 2, file));
        }
    }

    // WAV files of every kind the reader takes (and the kinds it refuses).
    for (const auto& k : kWavKinds) {
        for (int rate : {8000, 22050}) {
            const Bytes wav = soundFile(k.format, k.channels, rate, part(voice8, 700));
            if (wav.empty()) continue;
            const std::string name = std::string(k.name) + "-" + std::to_string(rate) + ".wav";
            put("fuzz_wav_reader", name, wav);
            // The job target: byte 0 chooses WAV -> SC4 and its mode.
            put("fuzz_conversion_jobs", name + "-sp", prefixed(1, wav));
            if (rate == 8000) put("fuzz_conversion_jobs", name + "-hq", prefixed(3, wav));
            else put("fuzz_conversion_jobs", name + "-shq", prefixed(5, wav));
        }
    }

    // Voice effects: effect, level, block-length byte, then the samples.
    for (int effect = 0; effect < vek::kEffectCount; ++effect) {
        Bytes b{static_cast<std::uint8_t>(effect), 60, 7};
        for (std::size_t i = 0; i < 1500; ++i) {
            const auto u = static_cast<std::uint16_t>(voice8[i]);
            b.push_back(static_cast<std::uint8_t>(u & 0xFF));
            b.push_back(static_cast<std::uint8_t>(u >> 8));
        }
        put("fuzz_voice_effect", "effect-" + std::to_string(effect), b);
    }

    // Settings files.
    put("fuzz_ini", "manager.ini",
        "[Settings]\r\nLastFolder=/home/user/Voice Files/\r\nConvMode=4\r\nSplash=1\r\n\r\n"
        "[MainForm]\r\nLeft=120\r\nTop=80\r\nWidth=640\r\nHeight = 480 \r\n");
    put("fuzz_ini", "quoted.ini",
        "; comment\n[Player]\nTitle=\"  spaced  \"\nOther='x'\nEmpty=\nnoequals\n[player]\nTitle=second\n"
        "  [ Spaced Section ]  \nKey = -42abc\n");
    put("fuzz_ini", "mixed-eol.ini", "[A]\r\nk=1\n[B]\nk=2\r\n[A]\nk=3\n=novalue\n[]\nx=y");

    // Window registry request lines (and replies, which take the same
    // fields), one line each.
    const char* const requests[] = {
        "FIND\tVekShellMain\tvoice%20lumo%20manager",
        "FIND\t\t\tall",
        "FIND\tVekPlayer\t%E2%80%9Cmemo%E2%80%9D%09tab",
        "ISICONIC\t1",
        "SHOW\t1\tminimize",
        "SHOW\t2\tnormal",
        "FOREGROUND\t1",
        "SEND\t1\t74\tL2hvbWUvdXNlci9tZW1vLnNjNA==",
        ("1\tVekShellMain\tvoice%20lumo%20manager\x1f" "2\tVekPlayer\tmemo"),
    };
    for (std::size_t i = 0; i < std::size(requests); ++i)
        put("fuzz_winreg_request", "line-" + std::to_string(i), std::string(requests[i]));

    // Clipboard file lists: byte 0 chooses the format (0 the GNOME list with
    // its verb, 1 a URI list with the KDE cut mark, 2 a URI list alone).
    put("fuzz_clipboard_files", "gnome-copy",
        std::string(1, '\0') + "copy\nfile:///home/user/Voice%20Files/memo.sc4\nfile:///tmp/a%0Ab.wav");
    put("fuzz_clipboard_files", "gnome-cut", std::string(1, '\0') + "cut\nfile:///media/rec/VOICE/REC0001.SC4\n");
    put("fuzz_clipboard_files", "kde-cut", std::string("\x01" "1\nfile:///home/user/a.sc4\r\nfile:///home/user/%C3%A9t%C3%A9.wav\r\n"));
    put("fuzz_clipboard_files", "uri-list", std::string("\x02" "#comment\r\nfile:///tmp/x\r\nhttp://example.org/y\r\n"));

    if (!g_ok) {
        std::fprintf(stderr, "vek_fuzzseeds: cannot write every seed into '%s'\n", argv[1]);
        return 1;
    }
    return 0;
}
