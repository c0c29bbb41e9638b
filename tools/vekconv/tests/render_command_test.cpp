// vekconv render: HQ and SHQ recordings decode block by block as the ADPCM
// player plays them; effects from the header or the command line.
// SPDX-License-Identifier: GPL-3.0-or-later
#include "vekconv_test.hpp"

#include <cmath>
#include <cstring>
#include <filesystem>

#include "vek/codec/adpcm.hpp"
#include "vek/codec/bytestream.hpp"
#include "vek/codec/sc4.hpp"

namespace vekconv::testing {
namespace {

using RenderCommand = CliTest;

TEST_F(RenderCommand, RenderHqAndShqDecodesTheFrameStreamBlockByBlock) {
    for (bool shq : {false, true}) {
        Bytes stream;
        write("r.sc4", hqRecording(150, &stream, shq));
        auto r = run("render r.sc4 r.wav");
        ASSERT_EQ(r.status, 0) << r.err;
        std::uint32_t rate = 0;
        const auto out = wavSamples(read("r.wav"), &rate);
        EXPECT_EQ(rate, shq ? 11025u : 8000u);
        // Whole buffers of 68 frames; what the stream decodes to, then silence.
        vek::AdpcmCodec dec;
        std::vector<std::int16_t> expect(150 * 58);
        dec.decode(stream.data(), stream.size(), reinterpret_cast<std::uint8_t*>(expect.data()));
        ASSERT_EQ(out.size() % 3944, 0u);
        ASSERT_GE(out.size(), expect.size());
        EXPECT_TRUE(std::equal(expect.begin(), expect.end(), out.begin()));
        // Through a self-playing file with its own effect, and overridden.
        write("a.exe", Bytes(51200, 0));
        ASSERT_EQ(run("make-exe --stub a.exe --effect 9 --level 0 r.sc4 r.exe").status, 0);
        ASSERT_EQ(run("render r.exe fx.wav").status, 0);
        const auto fx = wavSamples(read("fx.wav"));
        ASSERT_EQ(fx.size(), out.size());
        EXPECT_NE(fx, out);
        // Robot Voice at full wet: the first 203 samples are the dry / 128.
        for (int i = 0; i < 203; ++i) ASSERT_EQ(fx[static_cast<std::size_t>(i)], out[static_cast<std::size_t>(i)] / 128) << i;
        ASSERT_EQ(run("render --level 127 r.exe dry.wav").status, 0);
        EXPECT_EQ(wavSamples(read("dry.wav")), out);
    }
}

TEST_F(RenderCommand, RenderRejectsUnknownInput) {
    write("junk.bin", randomBytes(100000, 9));
    EXPECT_EQ(run("render junk.bin o.wav").status, 1);
    EXPECT_EQ(run("render missing.sc4 o.wav").status, 1);
    EXPECT_EQ(run("render --effect x junk.bin o.wav").status, 2);
    EXPECT_FALSE(exists("o.wav"));
}

}  // namespace
}  // namespace vekconv::testing
