// The outgoing MP3 file: mode by mode it decodes back (libsndfile) at the
// mode's rate and length and follows the player's rendering of the same
// recording; names, saving first and the lock check as for the executable;
// a failure leaves nothing behind.
// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <sndfile.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>

#include "fixtures.hpp"
#include "vek/player/decoders.hpp"
#include "vek/player/render.hpp"
#include "vek/recpexe/mp3.hpp"
#include "vek/recpexe/outgoing.hpp"
#include "vek/testsupport/fixtures.hpp"
#include "vek/testsupport/signals.hpp"
#include "vek/testsupport/tmpfs.hpp"
#if defined(VEK_TEST_HAVE_SPENC)
#include "vek/sp/encoder.hpp"
#endif

using namespace pexetest;
using namespace vek::recpexe;
namespace ts = vek::testsupport;

namespace {

struct Decoded {
    int rate = 0, channels = 0;
    ts::Samples samples;
};

std::optional<Decoded> decodeMp3(const fs::path& p) {
    SF_INFO info{};
    SNDFILE* sf = sf_open(p.c_str(), SFM_READ, &info);
    if (!sf) return std::nullopt;
    Decoded d;
    d.rate = info.samplerate;
    d.channels = info.channels;
    if ((info.format & SF_FORMAT_TYPEMASK) != SF_FORMAT_MPEG) d.rate = -1;
    short buf[4096];
    for (sf_count_t n; (n = sf_read_short(sf, buf, 4096)) > 0;) d.samples.insert(d.samples.end(), buf, buf + n);
    sf_close(sf);
    return d;
}

// The best correlation of `test` against `ref` over small delays either way
// (a decoder that does not trim the encoder's delay lags by up to 1105).
double bestCorrelation(const ts::Samples& ref, const ts::Samples& test) {
    double best = -1;
    for (std::size_t d = 0; d <= 1200; ++d) best = std::max(best, ts::correlation(ref, test, d));
    return best;
}

// The working file of a mode holding `seconds` of speech.
Bytes workingFile(std::uint8_t mode, double seconds) {
    const unsigned rate = mode == 6 ? 11025 : 8000;
    const ts::Samples pcm = ts::glidingVoice(static_cast<std::size_t>(seconds * rate), rate);
    if (mode != 4) return ts::adpcmFrames(pcm);
#if defined(VEK_TEST_HAVE_SPENC)
    vek::SpEncoder enc;
    EXPECT_TRUE(enc.initialize());
    Bytes out;
    for (std::size_t at = 0; at + 4000 <= pcm.size(); at += 4000) {
        std::uint8_t sector[512];
        EXPECT_TRUE(enc.encodeSector(pcm.data() + at, sector));
        out.insert(out.end(), sector, sector + 512);
    }
    return out;
#else
    return ts::spNoiseFile(static_cast<std::size_t>(seconds * 2), 7);
#endif
}

// What the recorder plays of an SC4 file (each block decoded once), through
// the player's in-memory path.
ts::Samples reference(const Bytes& sc4, EffectSettings fx) {
    auto in = vek::player::sc4Input(sc4, fx.effect, fx.level);
    EXPECT_TRUE(in.has_value());
    if (!in) return {};
    in->layout.decodeFirstBlockTwice = false;
    vek::player::MemoryPlayerFile file(in->file);
    vek::player::AdpcmBlockDecoder adpcm;
    vek::player::BlockDecoder* dec = in->mode == vek::RecordingMode::SP ? vek::player::spBlockDecoder() : &adpcm;
    vek::VoiceEffect effect;
    return vek::player::renderPlayback(in->layout, file, *dec, effect);
}

// The window's side over a working file on disk.
class Host : public OutgoingHost {
public:
    Host(fs::path work, std::uint8_t mode) : m_work(std::move(work)), m_mode(mode) {}
    void show(const std::string& text, const std::string&, Icon) override { shown.push_back(text); }
    bool save() override {
        ++saves;
        return saveResult && vek::recpexe::writeWorkingAsSc4(m_work, m_mode, savedTo);
    }
    bool writeWorkingAsSc4(const fs::path& p) override { return vek::recpexe::writeWorkingAsSc4(m_work, m_mode, p); }
    std::vector<std::string> shown;
    int saves = 0;
    bool saveResult = true;
    fs::path savedTo;

private:
    fs::path m_work;
    std::uint8_t m_mode;
};

struct Recording {
    Scratch s;
    RecorderFiles st;
    fs::path work;
    explicit Recording(std::uint8_t mode, double seconds = 3.0) {
        st.programDir = s.program;  // no stubs: the MP3 kind needs none
        st.dataDir = s.data;
        st.mode = mode;
        work = s.data / "work.tmp";
        writeFile(work, workingFile(mode, seconds));
    }
};

}  // namespace

TEST(OutgoingMp3, EachModeDecodesBackAtItsRateAndLengthAndFollowsThePlayer) {
    if (!mp3Available(8000)) GTEST_SKIP() << "this libsndfile writes no MP3";
    for (const std::uint8_t mode : {std::uint8_t{4}, std::uint8_t{5}, std::uint8_t{6}}) {
        SCOPED_TRACE(int(mode));
        Recording t(mode);
        // An effect that changes the waveform: the MP3 carries it, as the
        // self-playing file does.
        for (const EffectSettings fx : {EffectSettings{0, 80}, EffectSettings{3, 40}}) {
            SCOPED_TRACE(int(fx.effect));
            t.st.fx = fx;
            Host host(t.work, mode);
            const auto out = prepareOutgoing(OutgoingKind::Mp3, t.st, host);
            ASSERT_TRUE(out.has_value());
            EXPECT_EQ(*out, t.s.data / "Voice.mp3");
            EXPECT_TRUE(host.shown.empty());
            // Only the working file and the MP3: no SC4, no temporary file.
            EXPECT_EQ(namesIn(t.s.data), (std::vector<std::string>{"Voice.mp3", "work.tmp"}));

            Bytes sc4;
            ASSERT_TRUE(vek::recpexe::writeWorkingAsSc4(t.work, mode, t.s.root / "ref.sc4"));
            sc4 = readFile(t.s.root / "ref.sc4");
            const ts::Samples want = reference(sc4, fx);
            const ts::Samples plain = reference(sc4, {});
            const auto got = decodeMp3(*out);
            ASSERT_TRUE(got.has_value());
            EXPECT_EQ(got->rate, mode == 6 ? 11025 : 8000);
            EXPECT_EQ(got->channels, 1);
            // The rendering is whole blocks: 6 SP sectors of 4000 samples,
            // or ceil(frames / 68) blocks of 3944.
            ASSERT_GE(want.size(), 20000u);
            EXPECT_NEAR(double(got->samples.size()), double(want.size()), 1152.0);
            const double c = bestCorrelation(want, got->samples);
            EXPECT_GT(c, 0.99);
            if (fx.effect != 0) {
                EXPECT_GT(c, bestCorrelation(plain, got->samples) + 0.05) << "the effect is applied";
            }
        }
    }
}

TEST(OutgoingMp3, SavedRecordingIsSavedFirstAndGivesItsNameWithTheLockCheckArmed) {
    if (!mp3Available(8000)) GTEST_SKIP() << "this libsndfile writes no MP3";
    Recording t(5, 1.0);
    const fs::path talk = t.s.root / "talk.sc4";
    Host host(t.work, 5);
    host.savedTo = talk;
    t.st.currentFile = talk;
    t.st.modified = true;
    t.st.targetCheck = false;
    t.st.mp3TargetCheck = false;
    auto out = prepareOutgoing(OutgoingKind::Mp3, t.st, host);
    ASSERT_TRUE(out.has_value());
    EXPECT_EQ(*out, t.s.data / "talk.mp3");
    EXPECT_EQ(host.saves, 1);
    EXPECT_FALSE(t.st.modified);
    EXPECT_TRUE(t.st.targetCheck) << "a save with changes re-arms the executable's check";
    EXPECT_FALSE(t.st.mp3TargetCheck) << "cleared once built";
    ASSERT_TRUE(decodeMp3(*out).has_value());

    // With the check armed (New, Open, a save with changes), a locked MP3 is
    // not replaced: the "Can not make file" message, nothing handed out.
    const Bytes before = readFile(*out);
    const int fd = ::open(out->c_str(), O_RDWR);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX), 0);
    t.st.mp3TargetCheck = true;
    Host locked(t.work, 5);
    EXPECT_FALSE(prepareOutgoing(OutgoingKind::Mp3, t.st, locked).has_value());
    EXPECT_EQ(locked.shown, (std::vector<std::string>{kMsgCanNotMakeFile}));
    EXPECT_EQ(readFile(*out), before);
    ::close(fd);

    // A save that fails stops before anything is built.
    std::error_code ec;
    fs::remove(*out, ec);
    t.st.modified = true;
    Host failing(t.work, 5);
    failing.saveResult = false;
    EXPECT_FALSE(prepareOutgoing(OutgoingKind::Mp3, t.st, failing).has_value());
    EXPECT_FALSE(fs::exists(*out));
}

TEST(OutgoingMp3, FailuresLeaveNothingBehind) {
    if (!mp3Available(8000)) GTEST_SKIP() << "this libsndfile writes no MP3";
    // An empty recording: its message, no file.
    for (const std::uint8_t mode : {std::uint8_t{4}, std::uint8_t{5}}) {
        Recording t(mode);
        writeFile(t.work, {});
        Host host(t.work, mode);
        EXPECT_FALSE(prepareOutgoing(OutgoingKind::Mp3, t.st, host).has_value());
        EXPECT_EQ(host.shown, (std::vector<std::string>{kMsgMp3Empty}));
        EXPECT_EQ(namesIn(t.s.data), (std::vector<std::string>{"work.tmp"}));
    }
    // A saved HQ file that is no SC4 file: the MP3 message, the old MP3
    // untouched, no ".adp" or hidden file left.
    {
        Recording t(5);
        writeFile(t.s.data / "bad.sc4", Bytes(5000, 0x11));
        writeFile(t.s.data / "bad.mp3", Bytes{9, 9, 9});
        t.st.currentFile = t.s.data / "bad.sc4";
        Host host(t.work, 5);
        EXPECT_FALSE(prepareOutgoing(OutgoingKind::Mp3, t.st, host).has_value());
        EXPECT_EQ(host.shown, (std::vector<std::string>{kMsgMp3Failed}));
        EXPECT_EQ(readFile(t.s.data / "bad.mp3"), (Bytes{9, 9, 9}));
        EXPECT_EQ(namesIn(t.s.data), (std::vector<std::string>{"bad.mp3", "bad.sc4", "work.tmp"}));
        EXPECT_TRUE(t.st.mp3TargetCheck) << "not cleared by a failed build";
    }
    // A full disk under the data folder: the SP source lies elsewhere, the
    // MP3 does not fit.
    {
        Recording t(4, 20.0);
        const fs::path full = t.s.root / "full";
        ts::TmpfsMount mount(full, "8k");
        if (!mount.mounted()) GTEST_SKIP() << mount.skipReason();
        const fs::path talk = t.s.root / "talk.sc4";
        ASSERT_TRUE(vek::recpexe::writeWorkingAsSc4(t.work, 4, talk));
        t.st.dataDir = full;
        t.st.currentFile = talk;
        Host host(t.work, 4);
        EXPECT_FALSE(prepareOutgoing(OutgoingKind::Mp3, t.st, host).has_value());
        EXPECT_EQ(host.shown, (std::vector<std::string>{kMsgMp3Failed}));
        EXPECT_TRUE(namesIn(full).empty()) << namesIn(full).front();
    }
}
