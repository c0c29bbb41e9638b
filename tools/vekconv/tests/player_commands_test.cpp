// vekconv effect / render / make-exe: run as a user runs them, checked with
// the codec library and arithmetic of their own, not with the player code.
// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli_harness.hpp"

#include <cmath>
#include <cstring>

#include "vek/codec/adpcm.hpp"
#include "vek/codec/bytestream.hpp"
#include "vek/codec/sc4.hpp"

namespace vekconv::testing {
namespace {

using PlayerCommands = CliTest;

Bytes wav16(const std::vector<std::int16_t>& s, std::uint32_t rate, std::uint16_t channels = 1) {
    Bytes b;
    auto u32 = [&b](std::uint32_t x) {
        for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(x >> (8 * i)));
    };
    auto u16 = [&b](std::uint16_t x) {
        b.push_back(static_cast<std::uint8_t>(x));
        b.push_back(static_cast<std::uint8_t>(x >> 8));
    };
    auto tag = [&b](const char* t) {
        for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(t[i]));
    };
    tag("RIFF");
    u32(static_cast<std::uint32_t>(36 + 2 * s.size()));
    tag("WAVE");
    tag("fmt ");
    u32(16);
    u16(1);
    u16(channels);
    u32(rate);
    u32(rate * 2 * channels);
    u16(static_cast<std::uint16_t>(2 * channels));
    u16(16);
    tag("data");
    u32(static_cast<std::uint32_t>(2 * s.size()));
    for (auto v : s) u16(static_cast<std::uint16_t>(v));
    return b;
}

std::vector<std::int16_t> wavSamples(const Bytes& b, std::uint32_t* rate = nullptr) {
    EXPECT_GE(b.size(), 44u);
    if (b.size() < 44) return {};
    if (rate) *rate = b[24] | b[25] << 8 | b[26] << 16;
    std::vector<std::int16_t> s((b.size() - 44) / 2);
    std::memcpy(s.data(), b.data() + 44, s.size() * 2);
    return s;
}

TEST_F(PlayerCommands, EffectEchoOnAClickAndDryAtLevel127) {
    std::vector<std::int16_t> click(12000, 0);
    click[0] = 10000;
    write("click.wav", wav16(click, 8000));
    auto r = run("effect --effect 5 --level 0 click.wav echo.wav");
    ASSERT_EQ(r.status, 0) << r.err;
    std::uint32_t rate = 0;
    const auto out = wavSamples(read("echo.wav"), &rate);
    EXPECT_EQ(rate, 8000u);
    ASSERT_EQ(out.size(), click.size());
    // Dry weight 1/128; the repeat 4003 samples later at 1.3 (as a float)
    // times the click in the wet path at weight 127/128.
    EXPECT_EQ(out[0], 10000 / 128);
    EXPECT_EQ(out[4003], 127 * static_cast<int>(10000 * static_cast<double>(1.3f)) / 128);
    const int second = static_cast<int>(static_cast<double>(static_cast<float>(10000 * static_cast<double>(0.7f))) *
                                        static_cast<double>(1.3f));
    EXPECT_EQ(out[8006], 127 * second / 128);
    for (std::size_t i = 1; i < out.size(); ++i) {
        if (i != 4003 && i != 8006) {
            ASSERT_EQ(out[i], 0) << i;
        }
    }
    // Level byte 127: every sample unchanged, whatever the effect.
    std::vector<std::int16_t> voice(9000);
    for (std::size_t i = 0; i < voice.size(); ++i) voice[i] = static_cast<std::int16_t>(9000 * std::sin(i * 0.03));
    write("voice.wav", wav16(voice, 11025));
    for (int e : {3, 8, 14}) {
        r = run("effect --effect " + std::to_string(e) + " --level 127 voice.wav dry.wav");
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(wavSamples(read("dry.wav"), &rate), voice);
        EXPECT_EQ(rate, 11025u);
    }
    r = run("effect --effect 14 --level 0 voice.wav wet.wav");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(wavSamples(read("wet.wav")), voice);
}

TEST_F(PlayerCommands, EffectRejectsBadInputAndLeavesNoOutput) {
    std::vector<std::int16_t> s(100, 1);
    write("stereo.wav", wav16(s, 8000, 2));
    write("junk.wav", randomBytes(300, 3));
    EXPECT_EQ(run("effect --effect 5 stereo.wav o.wav").status, 1);
    EXPECT_EQ(run("effect --effect 5 junk.wav o.wav").status, 1);
    EXPECT_EQ(run("effect --effect 5 missing.wav o.wav").status, 1);
    EXPECT_EQ(run("effect --effect 17 junk.wav o.wav").status, 2);
    EXPECT_EQ(run("effect --level 128 junk.wav o.wav").status, 2);
    EXPECT_EQ(run("effect --effect 5 junk.wav").status, 2);
    EXPECT_FALSE(exists("o.wav"));
    EXPECT_EQ(listing(), (std::vector<std::string>{"junk.wav", "stereo.wav"}));
}

// An HQ recording of `frames` encoded frames, as an SC4 file.
Bytes hqRecording(std::size_t frames, Bytes* stream, bool shq = false) {
    std::vector<std::int16_t> pcm(frames * 58);
    for (std::size_t i = 0; i < pcm.size(); ++i) {
        pcm[i] = static_cast<std::int16_t>(7000 * std::sin(i * 0.06) + 2000 * std::sin(i * 0.31));
    }
    vek::AdpcmCodec enc;
    stream->assign(frames * 29, 0);
    enc.encode(reinterpret_cast<const std::uint8_t*>(pcm.data()), pcm.size() * 2, stream->data());
    vek::MemorySource src(stream->data(), stream->size());
    vek::MemorySink sc4;
    EXPECT_TRUE(vek::adpcmToSc4(src, sc4, shq));
    return sc4.bytes();
}

TEST_F(PlayerCommands, MakeExeLayoutsForEachMode) {
    Bytes gstub = randomBytes(78848, 5), astub = randomBytes(51200, 6);
    write("g.exe", gstub);
    write("a.exe", astub);
    // SP: the SC4 file itself behind the header at 78848.
    Bytes sp(512 * 3, 0x33);
    const char tag[] = "dmr1data";
    for (int k = 0; k < 3; ++k) std::memcpy(sp.data() + 512 * k, tag, 8);
    write("sp.sc4", sp);
    auto r = run("make-exe --stub g.exe --effect 7 --level 33 sp.sc4 sp.exe");
    ASSERT_EQ(r.status, 0) << r.err;
    Bytes exe = read("sp.exe");
    ASSERT_EQ(exe.size(), 78848u + 12 + sp.size());
    EXPECT_TRUE(std::equal(gstub.begin(), gstub.end(), exe.begin()));
    EXPECT_EQ(std::memcmp(exe.data() + 78848, "TARKAVF\0", 8), 0);
    EXPECT_EQ(exe[78856], 4);
    EXPECT_EQ(exe[78857], 30);
    EXPECT_EQ(exe[78858], 7);
    EXPECT_EQ(exe[78859], 33);
    EXPECT_TRUE(std::equal(sp.begin(), sp.end(), exe.begin() + 78860));
    // HQ and SHQ: the frame stream sc4ToAdpcm makes, at 51200; default level 80.
    for (bool shq : {false, true}) {
        Bytes stream;
        const Bytes sc4 = hqRecording(120, &stream, shq);
        write("hq.sc4", sc4);
        r = run("make-exe --stub a.exe hq.sc4 hq.exe");
        ASSERT_EQ(r.status, 0) << r.err;
        exe = read("hq.exe");
        vek::MemorySource src(sc4.data(), sc4.size());
        vek::MemorySink frames;
        ASSERT_TRUE(vek::sc4ToAdpcm(src, frames));
        ASSERT_EQ(exe.size(), 51200u + 12 + frames.bytes().size());
        EXPECT_TRUE(std::equal(astub.begin(), astub.end(), exe.begin()));
        EXPECT_EQ(std::memcmp(exe.data() + 51200, "TARKAVF\0", 8), 0);
        EXPECT_EQ(exe[51208], shq ? 6 : 5);
        EXPECT_EQ(exe[51209], 30);
        EXPECT_EQ(exe[51210], 0);
        EXPECT_EQ(exe[51211], 80);
        EXPECT_TRUE(std::equal(frames.bytes().begin(), frames.bytes().end(), exe.begin() + 51212));
    }
}

TEST_F(PlayerCommands, MakeExeRefusesWrongStubsAndBadRecordings) {
    write("short.exe", randomBytes(50000, 7));
    write("bad.sc4", randomBytes(2048, 8));
    Bytes stream;
    write("hq.sc4", hqRecording(10, &stream));
    EXPECT_EQ(run("make-exe --stub short.exe hq.sc4 o.exe").status, 1);
    EXPECT_EQ(run("make-exe --stub short.exe bad.sc4 o.exe").status, 1);
    EXPECT_EQ(run("make-exe --stub nothere.exe hq.sc4 o.exe").status, 1);
    EXPECT_EQ(run("make-exe --effect 99 hq.sc4 o.exe").status, 2);
    EXPECT_FALSE(exists("o.exe"));
}

TEST_F(PlayerCommands, MakeExeFindsTheStubsBesideTheTool) {
    const std::string stub = std::string(VEK_BIN_DIR) + "/vekaplay.exe";
    if (!std::filesystem::exists(stub)) GTEST_SKIP() << "no vekaplay.exe in this build (mingw-w64 missing)";
    Bytes stream;
    write("hq.sc4", hqRecording(30, &stream));
    auto r = run("make-exe hq.sc4 o.exe");
    ASSERT_EQ(r.status, 0) << r.err;
    const Bytes exe = read("o.exe");
    EXPECT_EQ(std::filesystem::file_size(stub), 51200u);
    EXPECT_EQ(std::memcmp(exe.data() + 51200, "TARKAVF\0", 8), 0);
}

TEST_F(PlayerCommands, RenderHqAndShqDecodesTheFrameStreamBlockByBlock) {
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

TEST_F(PlayerCommands, RenderRejectsUnknownInput) {
    write("junk.bin", randomBytes(100000, 9));
    EXPECT_EQ(run("render junk.bin o.wav").status, 1);
    EXPECT_EQ(run("render missing.sc4 o.wav").status, 1);
    EXPECT_EQ(run("render --effect x junk.bin o.wav").status, 2);
    EXPECT_FALSE(exists("o.wav"));
}

}  // namespace
}  // namespace vekconv::testing
