// vekconv effect: exact echo values on a click, the dry signal at level 127,
// and bad input rejected without output.
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

using EffectCommand = CliTest;

TEST_F(EffectCommand, EffectEchoOnAClickAndDryAtLevel127) {
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

TEST_F(EffectCommand, EffectRejectsBadInputAndLeavesNoOutput) {
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

}  // namespace
}  // namespace vekconv::testing
