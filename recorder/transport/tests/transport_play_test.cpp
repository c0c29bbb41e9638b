// Playback, pause and stop, seeking and the engine's refusals.
// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "fakes.hpp"

namespace vek::transport::test {
namespace {

TEST(TransportPlay, EmptySpFilePlaysOneZeroBlockAndStops) {
    Rig r;
    r.loadWorkFile(kModeSP, 0);
    r.t.playClick();
    ASSERT_EQ(r.t.state(), State::Playing);
    EXPECT_EQ(r.view.title, kTitlePlaying);
    EXPECT_EQ(r.view.status[0], "Playing...");
    EXPECT_FALSE(r.view.acceptDrops);
    r.pump();
    ASSERT_EQ(r.engine.played.size(), 1u);
    EXPECT_EQ(r.engine.played[0], Bytes(512, 0));
    EXPECT_EQ(r.t.state(), State::Stopped);
    EXPECT_EQ(r.engine.postWaveOutCalls, 1);
    EXPECT_EQ(r.view.running(), "00:00:00");
    EXPECT_EQ(r.view.title, kTitleIdle);
    EXPECT_EQ(r.view.status[0], "");
    EXPECT_EQ(r.view.busyNotices, (std::vector<bool>{true, false}));
    EXPECT_TRUE(r.view.acceptDrops);
    EXPECT_TRUE(r.view.messages.empty());
}

TEST(TransportPlay, WholeFileIsHandedOverInOrderThenOneZeroBlock) {
    for (std::uint8_t mode : {kModeSP, kModeHQ, kModeSHQ}) {
        Rig r;
        r.loadWorkFile(mode, 5);
        r.view.effect = 7;
        r.view.slider = 100;
        r.t.playClick();
        EXPECT_EQ(r.engine.effectIndex, 7);
        EXPECT_EQ(r.engine.effectLevel, 27);
        r.pump();
        ASSERT_EQ(r.engine.played.size(), 6u) << int(mode);
        for (int i = 0; i < 5; ++i)
            EXPECT_EQ(r.engine.played[i], blockOf(mode, i));
        EXPECT_EQ(r.engine.played[5], Bytes(crp2::blockBytesOf(mode), 0));
        EXPECT_EQ(r.engine.effectCalls, 6);
        EXPECT_EQ(r.t.state(), State::Stopped);
        EXPECT_EQ(r.t.curTCount(), 6);
        // The bar went forward with the blocks and the file is untouched.
        EXPECT_EQ(r.view.trackPos, r.t.getTrackPosFromTCount(5));
        EXPECT_EQ(r.fs.files[kWork].size(), 5u * crp2::blockBytesOf(mode));
    }
}

TEST(TransportPlay, PartialLastBlockIsFilledWithZeros) {
    Rig r;
    r.loadWorkFile(kModeHQ, 2, 29 * 3);
    r.t.playClick();
    r.pump();
    ASSERT_EQ(r.engine.played.size(), 4u);
    Bytes partial(1972, 0);
    std::fill(partial.begin(), partial.begin() + 87, 0x7F);
    EXPECT_EQ(r.engine.played[2], partial);
    EXPECT_EQ(r.engine.played[3], Bytes(1972, 0));
}

TEST(TransportPlay, RunningSecondsAfterSpBlocksRoundTiesToEven) {
    Rig q;
    q.loadWorkFile(kModeSP, 20);
    q.engine.autoRequest = false;
    q.t.playClick();
    std::vector<int> secs;
    std::vector<int> secWrites;
    for (int block = 1; block <= 7; ++block) {
        if (q.target.queue.empty())
            q.target.post(crp2::kMmWomDone, static_cast<crp2::Header>(block % 2));
        q.pump(1);
        secs.push_back((q.view.runDigits[4] - '0') * 10 + (q.view.runDigits[5] - '0'));
        secWrites.push_back(q.view.runPairWrites[2]);
    }
    EXPECT_EQ(secs, (std::vector<int>{0, 1, 2, 2, 2, 3, 4}));
    // The digit pair is redrawn only when its value changes: 1, 2, 3, 4.
    EXPECT_EQ(secWrites, (std::vector<int>{0, 1, 2, 2, 2, 3, 4}));
    EXPECT_EQ(q.view.runPairWrites[0], 0);
    EXPECT_EQ(q.view.runPairWrites[1], 0);
}

TEST(TransportPlay, RunningTimeNeverShowsMoreThanTheTotal) {
    Rig r;
    r.loadWorkFile(kModeHQ, 3);  // 5916 bytes: 1.479 s, total 1 s
    EXPECT_EQ(r.t.totalSecs(), 1);
    r.t.playClick();
    r.pump();
    EXPECT_EQ(r.view.running(), "00:00:01");
}

TEST(TransportPlay, BarAtOrNextToTheEndPlaysFromTheStart) {
    for (int pos : {kTrackMax, kTrackMax - 1, kTrackMax - 2}) {
        Rig r;
        r.loadWorkFile(kModeSP, 4);
        r.t.setTrackPosition(pos);
        r.t.playClick();
        r.pump(1);
        ASSERT_EQ(r.engine.played.size(), 1u);
        // Max - 2 of 4 blocks: round(32758 * 2048 / (32760 * 512)) = 4, the end.
        if (pos == kTrackMax - 2)
            EXPECT_EQ(r.engine.played[0], Bytes(512, 0)) << pos;
        else
            EXPECT_EQ(r.engine.played[0], blockOf(kModeSP, 0)) << pos;
    }
    // With more blocks one step below Max - 1 starts near the end.
    Rig r;
    r.loadWorkFile(kModeSP, 10000);
    r.t.setTrackPosition(kTrackMax - 2);
    r.t.playClick();
    EXPECT_EQ(r.t.curTCount(), 9999);  // round(32758 * 10000 / 32760) = 9999.39
}

TEST(TransportPlay, StopPausesThenGoesBackToTheStart) {
    Rig r;
    r.loadWorkFile(kModeSP, 20);
    r.t.playClick();
    r.pump(6);
    int at = r.t.curTCount();
    int bar = r.view.trackPos;
    EXPECT_GT(bar, 0);
    r.t.stopClick();
    EXPECT_EQ(r.t.state(), State::Stopped);
    EXPECT_EQ(r.engine.postWaveOutCalls, 1);
    EXPECT_EQ(r.view.trackPos, bar);
    EXPECT_EQ(r.view.meter, 0);
    r.pump();  // requests still queued from the stopped playback change nothing
    EXPECT_EQ(r.t.curTCount(), at);
    EXPECT_EQ(r.engine.postWaveOutCalls, 1);
    // Play again continues from the bar.
    // The bar marks block 5, the one handed over last.
    EXPECT_EQ(r.t.getTCountFromTrackPos(), 5);
    std::size_t before = r.engine.played.size();
    r.t.playClick();
    r.pump(1);
    EXPECT_EQ(r.engine.played[before], blockOf(kModeSP, 5));
    r.t.stopClick();
    r.t.stopClick();
    EXPECT_EQ(r.view.trackPos, 0);
    EXPECT_EQ(r.view.running(), "00:00:00");
}

TEST(TransportPlay, PausedPlaybackResumesAtTheSameBlock) {
    Rig r;
    r.loadWorkFile(kModeHQ, 30);
    r.engine.autoRequest = false;
    r.t.playClick();
    r.pump();  // blocks 0 and 1
    r.t.stopClick();
    r.t.playClick();
    r.pump(1);
    ASSERT_EQ(r.engine.played.size(), 3u);
    // The bar stood at block 1 (set when block 1 was handed over).
    EXPECT_EQ(r.engine.played[2], blockOf(kModeHQ, 1));
}

TEST(TransportPlay, FastForwardStopsAtTheLastWholeBlockAndRewindAtZero) {
    Rig r;
    r.loadWorkFile(kModeHQ, 10, 1972 / 2);  // 10.5 blocks (whole frames: 986 = 34 * 29)
    r.t.fastForwardClick();
    EXPECT_EQ(r.t.curTCount(), 10);
    r.t.fastForwardClick();
    EXPECT_EQ(r.t.curTCount(), 10);
    EXPECT_EQ(r.view.trackPos, r.t.getTrackPosFromTCount(10));
    r.t.rewindClick();
    EXPECT_EQ(r.t.curTCount(), 0);
    r.t.rewindClick();
    EXPECT_EQ(r.t.curTCount(), 0);
    EXPECT_EQ(r.view.trackPos, 0);

    Rig s;
    s.loadWorkFile(kModeSHQ, 40);
    s.t.fastForwardClick();
    EXPECT_EQ(s.t.curTCount(), 14);
    EXPECT_EQ(s.view.running(), "00:00:05");  // 14 * 0.357732426 = 5.008
}

TEST(TransportPlay, SeekingWhilePlayingMovesTheFile) {
    Rig r;
    r.loadWorkFile(kModeSP, 40);
    r.engine.autoRequest = false;
    r.t.playClick();
    r.pump();  // blocks 0, 1
    r.t.fastForwardClick();  // 2 + 10
    r.target.post(crp2::kMmWomDone, 0);
    r.pump();
    EXPECT_EQ(r.engine.played.back(), blockOf(kModeSP, 12));
    r.t.trackBarChange(kTrackMax / 2);  // block 20
    r.target.post(crp2::kMmWomDone, 1);
    r.pump();
    EXPECT_EQ(r.engine.played.back(), blockOf(kModeSP, 20));
    r.t.rewindClick();
    r.target.post(crp2::kMmWomDone, 0);
    r.pump();
    EXPECT_EQ(r.engine.played.back(), blockOf(kModeSP, 11));
}

TEST(TransportPlay, MouseUpMapsPixelsToTheBar) {
    Rig r;
    r.loadWorkFile(kModeSP, 100);
    r.t.trackBarMouseUp(0);
    EXPECT_EQ(r.view.trackPos, 0);
    r.t.trackBarMouseUp(6);
    EXPECT_EQ(r.view.trackPos, 140);
    EXPECT_EQ(r.t.curTCount(), 0);  // 140 * 51200 / (32760 * 512) = 0.43
    r.t.trackBarMouseUp(122);
    EXPECT_EQ(r.view.trackPos, 16380);
    EXPECT_EQ(r.t.curTCount(), 50);
    EXPECT_EQ(r.view.running(), "00:00:25");
    r.t.trackBarMouseUp(300);
    EXPECT_EQ(r.view.trackPos, kTrackMax);
}

TEST(TransportPlay, EngineRefusalsShowTheirMessageAndChangeNothing) {
    struct Case {
        int result;
        const char* text;
        Icon icon;
    };
    for (Case c : {Case{5, kMsgNoDevice, Icon::Information}, Case{6, kMsgNoMemory, Icon::Error}, Case{9, "", Icon::Error}}) {
        Rig r;
        r.loadWorkFile(kModeSP, 3);
        r.engine.outResult = c.result;
        r.t.playClick();
        EXPECT_EQ(r.t.state(), State::Stopped);
        EXPECT_TRUE(r.target.queue.empty());
        if (c.result == 9) {
            EXPECT_TRUE(r.view.messages.empty());
        } else {
            ASSERT_EQ(r.view.messages.size(), 1u);
            EXPECT_EQ(r.view.messages[0].first, c.text);
            EXPECT_EQ(r.view.messages[0].second, c.icon);
        }
        EXPECT_EQ(r.view.busyNotices, (std::vector<bool>{true, false}));
        EXPECT_TRUE(r.view.enabled.empty());  // controls unchanged
        EXPECT_EQ(r.view.title, "");
    }
}

TEST(TransportPlay, UndecodableDataStopsWithAMessageAndKeepsTheFile) {
    Rig r;
    r.loadWorkFile(kModeSP, 4);
    r.fs.files[kWork][2 * 512] = 0xEE;  // block 2 cannot be decoded
    Bytes before = r.fs.files[kWork];
    r.t.playClick();
    r.pump();
    EXPECT_EQ(r.engine.played.size(), 2u);
    EXPECT_EQ(r.t.state(), State::Stopped);
    EXPECT_EQ(r.engine.postWaveOutCalls, 1);
    ASSERT_EQ(r.view.messages.size(), 1u);
    EXPECT_EQ(r.view.messages[0].first, kMsgDecodeError);
    EXPECT_EQ(r.fs.files[kWork], before);
    EXPECT_EQ(r.view.busyNotices.back(), false);
}

TEST(TransportPlay, DeviceLostMidPlaybackStopsWithAMessage) {
    Rig r;
    r.loadWorkFile(kModeSP, 8);
    r.t.playClick();
    r.pump(3);
    ASSERT_EQ(r.t.state(), State::Playing);
    r.engine.outFailed = true;
    r.pump();
    // The request that brought the news hands over nothing more.
    EXPECT_EQ(r.engine.played.size(), 3u);
    EXPECT_EQ(r.t.state(), State::Stopped);
    EXPECT_EQ(r.engine.postWaveOutCalls, 1);
    ASSERT_EQ(r.view.messages.size(), 1u);
    EXPECT_EQ(r.view.messages[0].first, kMsgPlayDeviceLost);
    EXPECT_EQ(r.view.title, kTitleIdle);
    EXPECT_EQ(r.view.busyNotices.back(), false);
    EXPECT_TRUE(r.t.enabled(Group::Play));
    // Play again on a working device continues from the bar.
    r.engine.outFailed = false;
    r.t.playClick();
    EXPECT_EQ(r.t.state(), State::Playing);
    EXPECT_EQ(r.t.curTCount(), r.t.getTCountFromTrackPos());
}

TEST(TransportPlay, EnablingWhilePlayingAndAfterStop) {
    Rig r;
    r.loadWorkFile(kModeHQ, 10);
    r.t.playClick();
    for (Group g : {Group::RecSP, Group::RecHQ, Group::RecSHQ, Group::Play, Group::Mail, Group::Files, Group::Options,
                    Group::Cuts})
        EXPECT_FALSE(r.t.enabled(g)) << static_cast<int>(g);
    EXPECT_FALSE(r.view.enabled.count(static_cast<int>(Group::Seek)));  // unchanged by BtnDisable
    r.t.stopClick();
    EXPECT_TRUE(r.t.enabled(Group::RecHQ));
    EXPECT_FALSE(r.t.enabled(Group::RecSP));
    EXPECT_FALSE(r.t.enabled(Group::RecSHQ));
    for (Group g : {Group::Play, Group::Mail, Group::Files, Group::Options, Group::Cuts, Group::Seek})
        EXPECT_TRUE(r.t.enabled(g)) << static_cast<int>(g);
    EXPECT_EQ(r.view.repaints, 1);
    r.t.btnEnableAllRec();
    EXPECT_TRUE(r.t.enabled(Group::RecSP) && r.t.enabled(Group::RecSHQ));
    r.t.recBtnRefresh();
    EXPECT_TRUE(r.t.enabled(Group::RecHQ));
    EXPECT_FALSE(r.t.enabled(Group::RecSP) || r.t.enabled(Group::RecSHQ));
    EXPECT_TRUE(r.t.enabled(Group::Play));  // not touched by the record tables
}

}  // namespace
}  // namespace vek::transport::test
