// Transcription playback: the speed goes to the engine while the position
// stays in blocks, and a pause by Stop steps back a few seconds in the
// mode's blocks.
// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "fakes.hpp"

namespace vek::transport::test {
namespace {

TEST(TransportPauseRewind, BlocksOfWholeSeconds) {
    // 2 s: 4 x 0.5, 4 x 0.493 (1.972 s), 6 x 0.3577 (2.146 s); 5 s is one
    // fast-forward step in every mode.
    EXPECT_EQ(blocksForSeconds(kModeSP, 2), 4);
    EXPECT_EQ(blocksForSeconds(kModeHQ, 2), 4);
    EXPECT_EQ(blocksForSeconds(kModeSHQ, 2), 6);
    for (std::uint8_t mode : {kModeSP, kModeHQ, kModeSHQ})
        EXPECT_EQ(blocksForSeconds(mode, 5), modeInfo(mode).seekStep);
    EXPECT_EQ(blocksForSeconds(kModeSHQ, 0), 0);
    Rig r;
    r.t.setPauseRewind(9);
    EXPECT_EQ(r.t.pauseRewind(), 5);
    r.t.setPauseRewind(-1);
    EXPECT_EQ(r.t.pauseRewind(), 0);
}

TEST(TransportPauseRewind, PauseAtTenSecondsResumesAtEight) {
    // Blocks handed over when the running time shows 10 s, and where Play
    // resumes 2 s earlier.
    struct Case {
        std::uint8_t mode;
        int atTen, resume;
    };
    for (Case c : {Case{kModeSP, 20, 16}, Case{kModeHQ, 20, 16}, Case{kModeSHQ, 28, 22}}) {
        Rig r;
        r.loadWorkFile(c.mode, 40);
        r.t.setPauseRewind(2);
        r.t.setPlaySpeed(1.5);
        EXPECT_EQ(r.engine.speed, 1.5);
        r.t.playClick();
        r.pump(c.atTen);
        ASSERT_EQ(r.view.running(), "00:00:10") << int(c.mode);
        r.t.stopClick();
        EXPECT_EQ(r.t.state(), State::Stopped);
        EXPECT_EQ(r.t.curTCount(), c.resume);
        EXPECT_EQ(r.view.running(), "00:00:08") << int(c.mode);
        r.pump();  // requests left over from the paused playback
        const std::size_t before = r.engine.played.size();
        r.t.playClick();
        EXPECT_EQ(r.view.running(), "00:00:08");
        r.pump(1);
        ASSERT_GT(r.engine.played.size(), before);
        EXPECT_EQ(r.engine.played[before], blockOf(c.mode, c.resume)) << int(c.mode);
        // A second Stop while stopped still goes back to the start.
        r.t.stopClick();
        r.t.stopClick();
        EXPECT_EQ(r.view.trackPos, 0);
        EXPECT_EQ(r.view.running(), "00:00:00");
    }
}

TEST(TransportPauseRewind, NeverBeforeTheStartAndOnlyForAPausedPlayback) {
    Rig r;
    r.loadWorkFile(kModeSP, 40);
    r.t.setPauseRewind(5);
    r.t.playClick();
    r.pump(3);
    r.t.stopClick();
    EXPECT_EQ(r.t.curTCount(), 0);
    EXPECT_EQ(r.view.trackPos, 0);
    EXPECT_EQ(r.view.running(), "00:00:00");

    // Playback that runs to its end is not a pause: it stops where the
    // designed transport stops, with or without the option.
    Rig plain, rewinding;
    rewinding.t.setPauseRewind(3);
    for (Rig* q : {&plain, &rewinding}) {
        q->loadWorkFile(kModeHQ, 12);
        q->t.playClick();
        q->pump();
        EXPECT_EQ(q->t.state(), State::Stopped);
    }
    EXPECT_EQ(rewinding.view.trackPos, plain.view.trackPos);
    EXPECT_EQ(rewinding.t.curTCount(), plain.t.curTCount());
    EXPECT_EQ(rewinding.view.running(), plain.view.running());

    // Nor is the Stop that ends a recording.
    Rig recPlain, recRewinding;
    recRewinding.t.setPauseRewind(5);
    for (Rig* q : {&recPlain, &recRewinding}) {
        q->loadWorkFile(kModeSP, 30);
        q->t.setTrackPosition(q->t.getTrackPosFromTCount(25));
        q->record(kModeSP, 6);
        EXPECT_EQ(q->t.state(), State::Stopped);
    }
    EXPECT_EQ(recRewinding.t.curTCount(), recPlain.t.curTCount());
    EXPECT_EQ(recRewinding.view.trackPos, recPlain.view.trackPos);
    EXPECT_EQ(recRewinding.work(), recPlain.work());
}

}  // namespace
}  // namespace vek::transport::test
