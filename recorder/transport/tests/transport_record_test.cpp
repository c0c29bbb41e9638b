// Recording (new, appended, inserted), the cuts, and what happens when the
// disk refuses data or a command comes while a recording is being finished.
// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "fakes.hpp"

namespace vek::transport::test {
namespace {

Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

Bytes blocks(std::uint8_t mode, int from, int to) {  // blocks from..to-1 of loadWorkFile
    Bytes out;
    for (int i = from; i < to; ++i)
        out = concat({out, blockOf(mode, i)});
    return out;
}

Bytes recorded(std::uint8_t mode, int n) {  // what Rig::record captures
    Bytes out;
    for (int i = 0; i < n; ++i)
        out = concat({out, Bytes(crp2::blockBytesOf(mode), static_cast<std::uint8_t>(0xA0 + i))});
    return out;
}

void putBarAt(Rig& r, int block) { r.t.setTrackPosition(r.t.getTrackPosFromTCount(block)); }

TEST(TransportRecord, FreshRecordingCreatesTheWorkingFile) {
    Rig r;
    r.t.recClick(kModeHQ);
    ASSERT_EQ(r.t.state(), State::Recording);
    EXPECT_EQ(r.t.recStartPos(), -1);
    EXPECT_EQ(r.engine.mode, kModeHQ);
    EXPECT_EQ(r.view.title, kTitleRecording);
    EXPECT_EQ(r.view.status[0], "Recording...");
    EXPECT_EQ(r.view.status[2], "HQ");
    EXPECT_EQ(r.view.totalColor, kColorSilver);
    EXPECT_TRUE(r.view.modified);
    for (Group g : {Group::RecSP, Group::RecHQ, Group::RecSHQ, Group::Play, Group::Seek, Group::TrackBar, Group::Cuts})
        EXPECT_FALSE(r.t.enabled(g));
    r.engine.capture(0xA0, 16400);
    r.pump();
    EXPECT_EQ(r.view.meter, 0);  // a constant block: no deviation from its mean
    r.t.stopClick();
    // Stopped but still recording until the next block: commands are on, the bar not yet.
    EXPECT_EQ(r.t.state(), State::Recording);
    EXPECT_TRUE(r.t.finishing());
    EXPECT_TRUE(r.t.enabled(Group::Play));
    EXPECT_FALSE(r.t.enabled(Group::TrackBar));
    EXPECT_EQ(r.engine.postWaveInCalls, 0);
    r.engine.capture(0xA1);
    r.pump();
    EXPECT_EQ(r.t.state(), State::Stopped);
    EXPECT_EQ(r.engine.postWaveInCalls, 1);
    EXPECT_EQ(r.work(), recorded(kModeHQ, 2));
    EXPECT_EQ(r.view.totalColor, kColorWhite);
    EXPECT_TRUE(r.t.enabled(Group::TrackBar));
    EXPECT_EQ(r.t.workFileSize(), 2 * 1972);
    EXPECT_EQ(r.view.status[1], "File Size 5KB");  // 3944 -> 4080 -> 4085 -> 4101 bytes
    EXPECT_EQ(r.view.title, kTitleIdle);
    EXPECT_EQ(r.view.busyNotices, (std::vector<bool>{true, false}));
    EXPECT_EQ(r.view.trackPos, kTrackMax);
    EXPECT_EQ(r.t.curTCount(), 2);
    EXPECT_EQ(r.view.running(), "00:00:01");
    // A block that comes after the recording ended is ignored.
    r.engine.capture(0xA2);
    r.pump();
    EXPECT_EQ(r.work().size(), 2u * 1972);
}

TEST(TransportRecord, InsertKeepsHeadAndTailAndGrowsByTheRecordedBlocks) {
    for (std::uint8_t mode : {kModeSP, kModeHQ, kModeSHQ}) {
        Rig r;
        r.loadWorkFile(mode, 10);
        putBarAt(r, 4);
        r.record(mode, 3);  // the third arrives after Stop and is kept
        EXPECT_EQ(r.work(), concat({blocks(mode, 0, 4), recorded(mode, 3), blocks(mode, 4, 10)})) << int(mode);
        EXPECT_EQ(r.t.recEndTCount(), 7);
        EXPECT_EQ(r.t.workFileSize(), 13 * crp2::blockBytesOf(mode));
        EXPECT_EQ(r.view.trackPos, r.t.getTrackPosFromTCount(7));
        EXPECT_EQ(r.t.curTCount(), 7);
        EXPECT_EQ(r.fs.files[kTail], blocks(mode, 4, 10));
    }
}

TEST(TransportRecord, RecordingLongerThanTheTailAndAtTheEnd) {
    Rig r;
    r.loadWorkFile(kModeSP, 6);
    putBarAt(r, 5);
    r.record(kModeSP, 4);
    EXPECT_EQ(r.work(), concat({blocks(kModeSP, 0, 5), recorded(kModeSP, 4), blocks(kModeSP, 5, 6)}));

    Rig e;
    e.loadWorkFile(kModeSP, 6);
    e.t.setTrackPosition(kTrackMax);
    e.record(kModeSP, 2);
    EXPECT_EQ(e.work(), concat({blocks(kModeSP, 0, 6), recorded(kModeSP, 2)}));
}

TEST(TransportRecord, PartialAdpcmBlockRoundingUpAndDown) {
    // 3 blocks and 40 frames: the end rounds up to block 4; the gap is zero frames.
    Rig up;
    up.loadWorkFile(kModeHQ, 3, 40 * 29);
    up.t.setTrackPosition(kTrackMax);
    up.record(kModeHQ, 2);
    Bytes gap(4 * 1972 - (3 * 1972 + 40 * 29), 0);
    EXPECT_EQ(gap.size() % 29, 0u);
    EXPECT_EQ(up.work(), concat({blocks(kModeHQ, 0, 3), Bytes(40 * 29, 0x7F), gap, recorded(kModeHQ, 2)}));

    // 3 blocks and 20 frames: rounds down to block 3; the partial block is the tail.
    Rig down;
    down.loadWorkFile(kModeSHQ, 3, 20 * 29);
    down.t.setTrackPosition(kTrackMax);
    down.record(kModeSHQ, 2);
    EXPECT_EQ(down.work(), concat({blocks(kModeSHQ, 0, 3), recorded(kModeSHQ, 2), Bytes(20 * 29, 0x7F)}));
}

TEST(TransportRecord, RefusedRecordingRestoresTheSizeText) {
    for (int result : {5, 6}) {
        Rig r;
        r.loadWorkFile(kModeSP, 4);
        r.engine.inResult = result;
        r.t.recClick(kModeHQ);
        EXPECT_EQ(r.t.state(), State::Stopped);
        ASSERT_EQ(r.view.messages.size(), 1u);
        EXPECT_EQ(r.view.messages[0].first, result == 5 ? kMsgNoDevice : kMsgNoMemory);
        EXPECT_EQ(r.view.busyNotices, (std::vector<bool>{true, false}));
        EXPECT_EQ(r.t.voiceMode(), kModeHQ);  // the new mode stays, as the tail file does
        // 2048 bytes counted as HQ: 2118 -> 2118 -> 2126 bytes, 3 KB.
        EXPECT_EQ(r.view.status[1], "File Size 3KB");
        EXPECT_EQ(r.work(), blocks(kModeSP, 0, 4));
    }
}

TEST(TransportRecord, CommandsGivenBeforeTheFinalBlockWaitForIt) {
    Rig r;
    r.loadWorkFile(kModeSP, 4);
    r.t.setTrackPosition(kTrackMax);
    r.t.recClick(kModeSP);
    r.engine.capture(0xA0);
    r.pump();
    r.t.stopClick();
    r.t.playClick();
    r.t.fastForwardClick();
    bool external = false;
    r.t.runWhenIdle([&] { external = true; });
    EXPECT_EQ(r.t.state(), State::Recording);
    EXPECT_FALSE(r.engine.playing);
    EXPECT_FALSE(external);
    r.engine.capture(0xA1);
    r.pump(1);
    EXPECT_EQ(r.t.state(), State::Stopped);
    EXPECT_FALSE(external);
    r.pump(1);
    // The final block is in the file, then Play ran (from the bar: the end, so
    // from the start), then fast forward, then the window's own command.
    EXPECT_EQ(r.work(), concat({blocks(kModeSP, 0, 4), recorded(kModeSP, 2)}));
    EXPECT_EQ(r.t.state(), State::Playing);
    EXPECT_EQ(r.t.curTCount(), 6);
    EXPECT_TRUE(external);
    r.pump();
    // Fast forward had moved to the end before the first request.
    EXPECT_EQ(r.engine.played.front(), Bytes(512, 0));
}

TEST(TransportRecord, LateBlocksOfAFinishedRecordingNeverReachTheNextOne) {
    Rig r;
    r.t.recClick(kModeSP);
    r.engine.capture(0xA0);
    r.pump();
    r.t.stopClick();
    r.t.recClick(kModeSP);  // waits for the final block
    r.engine.capture(0xA1);  // the final block
    r.engine.capture(0xA2);  // captured before the engine was closed
    r.pump();
    ASSERT_EQ(r.t.state(), State::Recording);  // the waiting command started a new recording
    r.engine.capture(0xB0);
    r.pump();
    r.t.stopClick();
    r.engine.capture(0xB1);
    r.pump();
    EXPECT_EQ(r.work(), concat({recorded(kModeSP, 2), Bytes(512, 0xB0), Bytes(512, 0xB1)}));
}

TEST(TransportRecord, CutAskedBeforeTheFinalBlockRunsAfterIt) {
    Rig r;
    r.loadWorkFile(kModeSP, 4);
    r.t.recClick(kModeSP);  // at the start
    r.engine.capture(0xA0);
    r.pump();
    r.t.stopClick();
    r.t.deleteAfterClick();
    EXPECT_TRUE(r.view.questions.empty());
    r.engine.capture(0xA1);
    r.pump();
    ASSERT_EQ(r.view.questions.size(), 1u);
    // The bar stands behind the two new blocks: everything after them goes.
    EXPECT_EQ(r.work(), recorded(kModeSP, 2));
}

TEST(TransportRecord, BlocksHandledWhileTheDeviceClosesAreLate) {
    // The device's closing runs the window's messages: one more captured block
    // arrives in there (and, while playing, one more request).
    Rig r;
    r.loadWorkFile(kModeSP, 6);
    putBarAt(r, 2);
    r.engine.whileClosing = [&r, inside = false]() mutable {
        if (inside)
            return;
        inside = true;
        if (r.engine.capturing)
            r.engine.capture(0xB0);
        r.pump();
        inside = false;
    };
    r.record(kModeSP, 2);
    EXPECT_EQ(r.t.state(), State::Stopped);
    EXPECT_EQ(r.work(), concat({blocks(kModeSP, 0, 2), recorded(kModeSP, 2), blocks(kModeSP, 2, 6)}));
    EXPECT_EQ(r.engine.postWaveInCalls, 1);
    EXPECT_EQ(r.t.recEndTCount(), 4);

    r.t.setTrackPosition(0);
    r.t.playClick();
    r.pump(2);
    const auto handed = r.engine.played.size();
    const auto at = r.t.curTCount();
    r.engine.autoRequest = false;
    r.target.post(crp2::kMmWomDone, 0);  // queued when Stop comes
    r.t.stopClick();
    EXPECT_EQ(r.engine.played.size(), handed);
    EXPECT_EQ(r.t.curTCount(), at) << "the paused position stays";
    EXPECT_EQ(r.engine.postWaveOutCalls, 1);
}

TEST(TransportRecord, CloseDuringARecordingFinishesTheFileFirst) {
    Rig r;
    r.loadWorkFile(kModeHQ, 5);
    putBarAt(r, 2);
    r.t.recClick(kModeHQ);
    r.engine.capture(0xA0);
    r.engine.capture(0xA1);
    r.pump();
    r.t.playClick();  // not run: the recording is still going
    r.t.closeDown();
    EXPECT_EQ(r.engine.postWaveInCalls, 1);
    EXPECT_FALSE(r.engine.capturing);
    EXPECT_EQ(r.t.state(), State::Stopped);
    EXPECT_EQ(r.work(), concat({blocks(kModeHQ, 0, 2), recorded(kModeHQ, 2), blocks(kModeHQ, 2, 5)}));
    EXPECT_FALSE(r.engine.playing);
    EXPECT_EQ(r.view.busyNotices.back(), false);
    EXPECT_TRUE(r.t.enabled(Group::Play));
    // A close the user then cancels leaves a transport that works on.
    r.t.playClick();
    EXPECT_EQ(r.t.state(), State::Playing);
    r.t.stopClick();
    // Also after a stop request whose final block never came.
    Rig s;
    s.t.recClick(kModeSP);
    s.engine.capture(0xA0);
    s.pump();
    s.t.stopClick();
    s.t.recClick(kModeSP);
    s.t.closeDown();
    EXPECT_EQ(s.work(), recorded(kModeSP, 1));
    EXPECT_EQ(s.engine.postWaveInCalls, 1);
    EXPECT_FALSE(s.engine.capturing);
}

TEST(TransportRecordFaults, FailedBlockEndsTheRecordingKeepingEarlierBlocksAndTail) {
    Rig r;
    r.loadWorkFile(kModeSP, 10);
    putBarAt(r, 4);
    r.t.recClick(kModeSP);
    r.fs.writesBeforeFailure = 3;  // the fourth block does not reach the disk
    for (int i = 0; i < 6; ++i)
        r.engine.capture(static_cast<std::uint8_t>(0xA0 + i));
    r.pump();
    EXPECT_EQ(r.t.state(), State::Stopped);
    EXPECT_EQ(r.engine.postWaveInCalls, 1);
    EXPECT_FALSE(r.engine.capturing);
    EXPECT_EQ(r.work(), concat({blocks(kModeSP, 0, 4), recorded(kModeSP, 3), blocks(kModeSP, 4, 10)}));
    ASSERT_EQ(r.view.messages.size(), 1u);
    EXPECT_EQ(r.view.messages[0].first, kMsgRecordWriteKept);
    EXPECT_EQ(r.view.title, kTitleIdle);
    EXPECT_TRUE(r.t.enabled(Group::Play));
    EXPECT_TRUE(r.t.enabled(Group::TrackBar));
    EXPECT_EQ(r.t.recEndTCount(), 7);
    EXPECT_EQ(r.view.busyNotices, (std::vector<bool>{true, false}));
}

TEST(TransportRecordFaults, FullDiskKeepsTheOldRecordingWhenTheTailNoLongerFits) {
    Rig r;
    r.loadWorkFile(kModeSP, 10);
    putBarAt(r, 4);
    // Room for the saved tail and one block beyond the old end.
    r.fs.capacity = 10 * 512 + 6 * 512 + 512;
    Bytes before = r.work();
    r.t.recClick(kModeSP);
    for (int i = 0; i < 9; ++i)
        r.engine.capture(static_cast<std::uint8_t>(0xA0 + i));
    r.pump();
    EXPECT_EQ(r.t.state(), State::Stopped);
    ASSERT_EQ(r.view.messages.size(), 1u);
    EXPECT_EQ(r.view.messages[0].first, kMsgRecordWriteLost);
    EXPECT_EQ(r.work(), before);
    EXPECT_EQ(r.t.workFileSize(), 10 * 512);
}

TEST(TransportRecordFaults, FullDiskOnAFreshRecordingKeepsTheWholeBlocks) {
    Rig r;
    r.fs.capacity = 3 * 1972 + 1000;
    r.t.recClick(kModeSHQ);
    for (int i = 0; i < 5; ++i)
        r.engine.capture(static_cast<std::uint8_t>(0xA0 + i));
    r.pump();
    EXPECT_EQ(r.work(), recorded(kModeSHQ, 3));  // the block written in part is gone
    EXPECT_EQ(r.view.messages.at(0).first, kMsgRecordWriteKept);
}

TEST(TransportRecordFaults, DriveGoneDuringARecordingIsReportedNotCrashed) {
    Rig r;
    r.loadWorkFile(kModeSP, 3);
    r.t.recClick(kModeSP);
    r.engine.capture(0xA0);
    r.pump();
    r.fs.gone = true;
    r.engine.capture(0xA1);
    r.pump();
    EXPECT_EQ(r.t.state(), State::Stopped);
    EXPECT_EQ(r.view.messages.at(0).first, kMsgRecordWriteBroken);
    EXPECT_FALSE(r.engine.capturing);
}

TEST(TransportRecordFaults, DeviceLostMidRecordingEndsItKeepingBlocksAndTail) {
    // Lost while recording, and lost after Stop was pressed (the padded block
    // is then the final one Stop waits for): both end with the tail put back.
    for (bool stopFirst : {false, true}) {
        Rig r;
        r.loadWorkFile(kModeHQ, 6);
        putBarAt(r, 2);
        r.t.recClick(kModeHQ);
        r.engine.capture(0xA0);
        r.engine.capture(0xA1);
        r.pump();
        if (stopFirst) {
            r.t.stopClick();
            r.t.playClick();  // waits for the end of the recording
        }
        r.engine.loseInput(0xA2);
        r.pump(1);
        EXPECT_EQ(r.t.state(), State::Stopped) << stopFirst;
        EXPECT_EQ(r.work(), concat({blocks(kModeHQ, 0, 2), recorded(kModeHQ, 3), blocks(kModeHQ, 2, 6)}));
        EXPECT_EQ(r.engine.postWaveInCalls, 1);
        EXPECT_FALSE(r.engine.capturing);
        ASSERT_EQ(r.view.messages.size(), 1u);
        EXPECT_EQ(r.view.messages[0].first, kMsgRecordDeviceLost);
        EXPECT_EQ(r.view.title, kTitleIdle);
        EXPECT_EQ(r.view.busyNotices.back(), false);
        EXPECT_TRUE(r.t.enabled(Group::Play));
        EXPECT_TRUE(r.t.enabled(Group::TrackBar));
        EXPECT_EQ(r.t.recEndTCount(), 5);
        // A Play given after Stop runs after the recording, on a device that
        // works again.
        r.pump(1);
        EXPECT_EQ(r.t.state(), stopFirst ? State::Playing : State::Stopped);
    }
}

TEST(TransportRecordFaults, TailThatCannotBeSavedRefusesTheRecording) {
    Rig r;
    r.loadWorkFile(kModeSP, 10);
    putBarAt(r, 2);
    r.fs.capacity = 10 * 512 + 4000;  // the 4096-byte tail copy stops short
    r.t.recClick(kModeSP);
    EXPECT_EQ(r.t.state(), State::Stopped);
    EXPECT_FALSE(r.engine.capturing);
    EXPECT_TRUE(r.view.busyNotices.empty());
    EXPECT_EQ(r.view.messages.at(0).first, kMsgTailSaveFailed);
    EXPECT_EQ(r.work(), blocks(kModeSP, 0, 10));
    EXPECT_FALSE(r.fs.files.count(kTail));
    EXPECT_EQ(r.view.cursorDepth, 0);
}

TEST(TransportCut, DeleteAfterAndBeforeTheMiddle) {
    Rig a;
    a.loadWorkFile(kModeHQ, 8);
    putBarAt(a, 3);
    a.t.deleteAfterClick();
    EXPECT_EQ(a.view.questions, (std::vector<std::string>{kMsgConfirmDelAfter}));
    EXPECT_EQ(a.work(), blocks(kModeHQ, 0, 3));
    EXPECT_EQ(a.view.trackPos, kTrackMax);
    EXPECT_EQ(a.t.workFileSize(), 3 * 1972);
    EXPECT_EQ(a.view.running(), "00:00:01");  // 5916 * 0.00025 = 1.479
    EXPECT_EQ(a.view.total(), "00:00:01");
    EXPECT_TRUE(a.view.modified);
    EXPECT_FALSE(a.fs.files.count(kTail));
    EXPECT_EQ(a.view.cursorDepth, 0);

    Rig b;
    b.loadWorkFile(kModeSP, 8);
    putBarAt(b, 3);
    b.t.dspTimeSec(5);
    b.t.deleteBeforeClick();
    EXPECT_EQ(b.view.questions, (std::vector<std::string>{kMsgConfirmDelBefore}));
    EXPECT_EQ(b.work(), blocks(kModeSP, 3, 8));
    EXPECT_EQ(b.view.trackPos, 0);
    EXPECT_EQ(b.view.running(), "00:00:00");
    EXPECT_EQ(b.view.total(), "00:00:02");  // 2560 / 1024 = 2.5 -> 2
}

TEST(TransportCut, AtTheEndsWhilePlayingOrAnsweredNoNothingChanges) {
    Rig r;
    r.loadWorkFile(kModeSP, 8);
    Bytes before = r.work();
    r.t.setTrackPosition(kTrackMax);
    r.t.deleteAfterClick();
    r.t.setTrackPosition(0);
    r.t.deleteBeforeClick();
    EXPECT_EQ(r.view.questions.size(), 2u);
    putBarAt(r, 4);
    r.view.answer = false;
    r.t.deleteAfterClick();
    r.t.deleteBeforeClick();
    r.view.answer = true;
    r.t.playClick();
    r.t.deleteAfterClick();
    r.t.deleteBeforeClick();
    EXPECT_EQ(r.view.questions.size(), 6u);
    EXPECT_EQ(r.work(), before);
    EXPECT_FALSE(r.view.modified);
}

TEST(TransportCut, DeleteBeforeAtOrPastTheEndLeavesAnEmptyFile) {
    Rig r;
    r.loadWorkFile(kModeHQ, 3, 20 * 29);
    r.t.setTrackPosition(kTrackMax - 1);  // rounds to block 3, before the partial one
    r.t.deleteBeforeClick();
    EXPECT_EQ(r.work(), Bytes(20 * 29, 0x7F));
    Rig s;
    s.loadWorkFile(kModeHQ, 3, 40 * 29);
    s.t.setTrackPosition(kTrackMax - 1);  // rounds to block 4, past the end
    s.t.deleteBeforeClick();
    EXPECT_TRUE(s.work().empty());
    EXPECT_EQ(s.view.status[1], "File Size 0KB");
}

TEST(TransportCutFaults, CopyOrReplaceFailingLeavesTheWorkingFileAsItWas) {
    for (int fault = 0; fault < 3; ++fault) {
        Rig r;
        r.loadWorkFile(kModeSP, 20);
        putBarAt(r, fault == 1 ? 2 : 15);
        Bytes before = r.work();
        if (fault == 0)
            r.fs.capacity = 20 * 512 + 5000;  // full after the first piece of the copy
        else if (fault == 1)
            r.fs.writesBeforeFailure = 1;
        else
            r.fs.failReplace = true;
        if (fault == 1)
            r.t.deleteBeforeClick();
        else
            r.t.deleteAfterClick();
        EXPECT_EQ(r.work(), before) << fault;
        EXPECT_FALSE(r.fs.files.count(kTail)) << fault;
        ASSERT_EQ(r.view.messages.size(), 1u) << fault;
        EXPECT_EQ(r.view.messages[0].first, kMsgCutFailed);
        EXPECT_FALSE(r.view.modified);
        EXPECT_EQ(r.t.workFileSize(), 20 * 512);
        EXPECT_EQ(r.view.cursorDepth, 0);
    }
}

}  // namespace
}  // namespace vek::transport::test
