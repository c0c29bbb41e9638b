// The real stubs under Wine: a self-playing file built by vekconv make-exe
// plays on a PulseAudio null sink; what the sink heard must match what
// vekconv render says the player plays, and the window title must count up
// to the recording's length. Skipped where Wine, Xvfb or PulseAudio is
// missing (scripts/player-wine-run exits 77 then).
// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <unistd.h>

#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "vek/player/render.hpp"
#include "vek/player/wav.hpp"
#include "vek/testsupport/files.hpp"
#include "vek/testsupport/fixtures.hpp"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

int shell(const std::string& cmd) {
    // One Wine prefix for all runs of this build: making a prefix takes
    // seconds and hundreds of megabytes, and the tests run one at a time.
    const std::string withPrefix = "VEK_WINE_PREFIX='" VEK_WINE_PREFIX "' " + cmd;
    const int st = std::system(withPrefix.c_str());
    return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
}

// A scratch folder of this process, so that runs from two builds at once
// never share files.
fs::path scratch(const std::string& name) {
    return fs::temp_directory_path() / ("vek-wine-test-" + name + "-" + std::to_string(::getpid()));
}

std::string tail(const fs::path& log) {
    std::FILE* f = std::fopen(log.c_str(), "rb");
    if (!f) return "(no log)";
    std::string text;
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
    std::fclose(f);
    return text.size() > 3000 ? text.substr(text.size() - 3000) : text;
}

// An HQ or SHQ recording of `seconds` of voice.
Bytes adpcmSc4(bool shq, double seconds) {
    const unsigned rate = shq ? 11025 : 8000;
    const auto frames = static_cast<std::size_t>(seconds * rate / 58);
    const Bytes sc4 = vek::testsupport::adpcmSc4FromPcm(vek::testsupport::glidingVoice(frames * 58, rate), shq);
    EXPECT_FALSE(sc4.empty());
    return sc4;
}

Bytes spSc4(int sectors) { return vek::testsupport::spNoiseFile(static_cast<std::size_t>(sectors), 4711); }

std::vector<std::int16_t> readRaw(const fs::path& p) {
    const auto b = vek::player::readFileBytes(p.string());
    std::vector<std::int16_t> s;
    if (!b) return s;
    s.resize(b->size() / 2);
    std::memcpy(s.data(), b->data(), s.size() * 2);
    return s;
}

double correlationAt(const std::vector<std::int16_t>& rec, const std::vector<std::int16_t>& expect, std::size_t from,
                     std::size_t n, long lag) {
    double xy = 0, xx = 0, yy = 0;
    for (std::size_t i = from; i < from + n && i < expect.size(); ++i) {
        const long j = lag + static_cast<long>(i);
        const double y = expect[i];
        const double x = (j >= 0 && j < static_cast<long>(rec.size())) ? rec[static_cast<std::size_t>(j)] : 0.0;
        xy += x * y;
        xx += x * x;
        yy += y * y;
    }
    return (xx > 0 && yy > 0) ? xy / std::sqrt(xx * yy) : 0.0;
}

// Correlations of quarter-second pieces of `expect` with the recording. The
// first piece is looked for around the lag that lines up the onsets; each
// later one at the previous lag or somewhat later, since a sound server that
// falls behind under load inserts gaps but never drops played samples.
std::vector<double> pieceCorrelations(const std::vector<std::int16_t>& rec, const std::vector<std::int16_t>& expect,
                                      unsigned rate) {
    auto onset = [](const std::vector<std::int16_t>& s) {
        for (std::size_t i = 0; i < s.size(); ++i)
            if (std::abs(s[i]) > 300) return static_cast<long>(i);
        return -1L;
    };
    std::vector<double> out;
    const long a = onset(rec), b = onset(expect);
    if (a < 0 || b < 0) return out;
    const std::size_t piece = rate / 4;
    long lo = a - b - 600, hi = a - b + 600;
    for (std::size_t from = 0; from + piece <= expect.size(); from += piece) {
        double best = 0;
        long bestLag = lo;
        for (long lag = lo; lag <= hi; ++lag) {
            const double c = correlationAt(rec, expect, from, piece, lag);
            if (c > best) best = c, bestLag = lag;
        }
        out.push_back(best);
        lo = bestLag - 20;
        hi = bestLag + static_cast<long>(rate) / 2;
    }
    return out;
}

struct Case {
    const char* name;
    Bytes sc4;
    int effect, level;
    unsigned rate;
};

void playAndCompare(const Case& c) {
    const fs::path stubs = VEK_BIN_DIR;
    if (!fs::exists(stubs / "vekgplay.exe") || !fs::exists(stubs / "vekaplay.exe")) GTEST_SKIP() << "stubs not built";
    const fs::path dir = scratch(c.name);
    fs::remove_all(dir);
    fs::create_directories(dir);
    ASSERT_TRUE(vek::testsupport::writeFile(dir / "in.sc4", c.sc4));
    const std::string vekconv = VEKCONV_PATH;
    ASSERT_EQ(shell(vekconv + " make-exe --effect " + std::to_string(c.effect) + " --level " + std::to_string(c.level) +
                    " " + (dir / "in.sc4").string() + " " + (dir / "voice.exe").string()),
              0);
    ASSERT_EQ(shell(vekconv + " render " + (dir / "voice.exe").string() + " " + (dir / "expect.wav").string()), 0);
    const int rc = shell(std::string(VEK_WINE_SCRIPT) + " " + (dir / "voice.exe").string() + " 7 " +
                         std::to_string(c.rate) + " " + (dir / "rec.raw").string() + " " +
                         (dir / "titles.txt").string() + " 2>" + (dir / "run.log").string());
    if (rc == 77) {
        fs::remove_all(dir);
        GTEST_SKIP() << "Wine, Xvfb or PulseAudio missing";
    }
    ASSERT_EQ(rc, 0) << tail(dir / "run.log");

    std::string why;
    const auto expect = vek::player::parseWavMono16(*vek::player::readFileBytes((dir / "expect.wav").string()), why);
    ASSERT_TRUE(expect) << why;
    EXPECT_EQ(expect->sampleRate, c.rate);
    const auto rec = readRaw(dir / "rec.raw");
    const auto pieces = pieceCorrelations(rec, expect->samples, c.rate);
    ASSERT_GE(pieces.size(), 8u);
    std::size_t good = 0;
    double worst = 1;
    for (double p : pieces) {
        good += p > 0.9;
        worst = std::min(worst, p);
    }
    std::printf("%s: %zu of %zu quarter seconds correlate above 0.9 with vekconv render (worst %.4f)\n", c.name,
                good, pieces.size(), worst);
    // A gap from an overloaded sound server may spoil the piece it falls in.
    EXPECT_GE(good * 10, pieces.size() * 8);

    // Titles: the total never changes, the elapsed time only grows, and it
    // ends at the time of the whole recording.
    const auto titles = vek::player::readFileBytes((dir / "titles.txt").string());
    ASSERT_TRUE(titles);
    const std::string text(titles->begin(), titles->end());
    const std::regex re("\"Player \\[(\\d\\d):(\\d\\d):(\\d\\d)\\]-\\[(\\d\\d):(\\d\\d):(\\d\\d)\\]\"");
    std::set<std::string> totals;
    int last = -1;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), re); it != std::sregex_iterator(); ++it) {
        const auto& m = *it;
        const int elapsed = std::stoi(m[1]) * 3600 + std::stoi(m[2]) * 60 + std::stoi(m[3]);
        EXPECT_GE(elapsed, last);
        last = elapsed;
        totals.insert(m[4].str() + m[5].str() + m[6].str());
    }
    ASSERT_EQ(totals.size(), 1u) << text;
    const int total = std::stoi(totals.begin()->substr(4, 2));
    EXPECT_GE(total, 2);
    EXPECT_NEAR(last, total, 1) << text;
    if (!::testing::Test::HasFailure()) fs::remove_all(dir);  // kept for a look otherwise
}

TEST(WinePlayer, ShqSelfPlayingFilePlaysWhatRenderSays) {
    playAndCompare({"shq", adpcmSc4(true, 3.0), 8, 40, 11025});
}

TEST(WinePlayer, SpSelfPlayingFilePlaysWhatRenderSays) { playAndCompare({"sp", spSc4(6), 3, 60, 8000}); }

TEST(WinePlayer, WithoutSoundDeviceShowsTheMessageAndStaysStopped) {
    const fs::path stubs = VEK_BIN_DIR;
    if (!fs::exists(stubs / "vekgplay.exe")) GTEST_SKIP() << "stubs not built";
    const fs::path dir = scratch("nodev");
    fs::remove_all(dir);
    fs::create_directories(dir);
    ASSERT_TRUE(vek::testsupport::writeFile(dir / "in.sc4", spSc4(4)));
    ASSERT_EQ(shell(std::string(VEKCONV_PATH) + " make-exe " + (dir / "in.sc4").string() + " " +
                    (dir / "voice.exe").string()),
              0);
    const int rc = shell("VEK_WINE_NO_SOUND=1 " + std::string(VEK_WINE_SCRIPT) + " " + (dir / "voice.exe").string() +
                         " 4 8000 " + (dir / "rec.raw").string() + " " + (dir / "titles.txt").string() + " 2>" +
                         (dir / "run.log").string());
    if (rc == 77) {
        fs::remove_all(dir);
        GTEST_SKIP() << "Wine, Xvfb or PulseAudio missing";
    }
    ASSERT_EQ(rc, 0) << tail(dir / "run.log");
    const auto titles = vek::player::readFileBytes((dir / "titles.txt").string());
    ASSERT_TRUE(titles);
    const std::string text(titles->begin(), titles->end());
    // The message box (captioned "Player") beside a dialog that never counts;
    // four sectors make (2048 / 1024 + 0.5) = 2 seconds.
    EXPECT_NE(text.find("\"Player\""), std::string::npos) << text;
    EXPECT_NE(text.find("\"Player [00:00:00]-[00:00:02]\""), std::string::npos) << text;
    EXPECT_EQ(text.find("\"Player [00:00:01]"), std::string::npos) << text;
    if (!::testing::Test::HasFailure()) fs::remove_all(dir);
}

}  // namespace
