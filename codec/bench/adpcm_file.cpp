// vek_adpcm_file encode IN.raw OUT.adp | decode IN.adp OUT.raw
// Streams a whole file through the library exports in conversion-sized
// blocks (68 frames), as the conversion jobs do. For side-by-side timing.
// SPDX-License-Identifier: GPL-3.0-or-later
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "vekcdc5.h"

int main(int argc, char** argv) {
    if (argc != 4 || (std::strcmp(argv[1], "encode") && std::strcmp(argv[1], "decode"))) {
        std::fputs("usage: vek_adpcm_file encode IN.raw OUT.adp | decode IN.adp OUT.raw\n", stderr);
        return 2;
    }
    const bool encode = std::strcmp(argv[1], "encode") == 0;
    std::FILE* in = std::fopen(argv[2], "rb");
    std::FILE* out = in ? std::fopen(argv[3], "wb") : nullptr;
    if (!in || !out) {
        std::fputs("vek_adpcm_file: cannot open the files\n", stderr);
        return 1;
    }
    const std::size_t inBlock = encode ? 7888 : 1972;
    std::vector<std::uint8_t> ib(inBlock), ob(8000);
    int32_t count = 0;
    AudioCodecBlock b{ib.data(), 0, 0, ob.data(), &count};
    InitializeAudioEncoder_A();
    std::size_t n;
    while ((n = std::fread(ib.data(), 1, inBlock, in)) > 0) {
        b.inputLength = static_cast<uint32_t>(n);
        if (!(encode ? AudioEncoding_A(&b) : AudioDecoding_A(&b))) return 1;
        if (std::fwrite(ob.data(), 1, static_cast<std::size_t>(count), out) != static_cast<std::size_t>(count)) return 1;
    }
    std::fclose(in);
    return std::fclose(out) == 0 ? 0 : 1;
}
