// The arithmetic of the displays: meter, file-size text, total time, the
// digit pairs and the position conversions.
// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <vector>

#include "fakes.hpp"

namespace vek::transport::test {
namespace {

TEST(TransportDisplay, MeterFromOneBlock) {
    std::vector<std::int16_t> b(4000, 0);
    EXPECT_EQ(meterLevel(b.data(), 4000), 0);
    for (std::size_t i = 0; i < b.size(); ++i)
        b[i] = i % 2 ? 32767 : -32767;
    EXPECT_EQ(meterLevel(b.data(), 4000), 99);
    // A -32768 sample against a mean of 0: its deviation does not fit 16 bits.
    std::vector<std::int16_t> c(3944, 0);
    c[10] = -32768;
    c[11] = 32767;  // mean round(-1 / 3944) = 0
    EXPECT_EQ(meterLevel(c.data(), 3944), 99);
    // Ten samples of 3280 beside it: mean round(32 / 3944) = 0, the -32768 is
    // ignored and 3280 gives 10.
    for (int i = 11; i <= 20; ++i)
        c[i] = 3280;
    EXPECT_EQ(meterLevel(c.data(), 3944), 10);
    // A negative mean (round(-32768 / 3944) = -8): the -32768 counts, 32760 -> 99.
    c[21] = -16400;
    c[22] = -16400;
    EXPECT_EQ(meterLevel(c.data(), 3944), 99);
    // An offset is not loudness: a constant block shows 0.
    std::vector<std::int16_t> d(4000, -20000);
    EXPECT_EQ(meterLevel(d.data(), 4000), 0);
    EXPECT_EQ(meterLevel(nullptr, 4000), 0);

    Rig r;
    r.t.displayAmp(nullptr);
    EXPECT_EQ(r.view.meter, -1);  // nothing happens for a missing block
    r.t.setVoiceMode(kModeSP);
    r.t.displayAmp(b.data());
    EXPECT_EQ(r.view.meter, 99);
}

TEST(TransportDisplay, FileSizeTextEstimatesTheSavedFile) {
    EXPECT_EQ(estimatedKilobytes(kModeHQ, 2900), 3);  // 3000, 3005, 3015 bytes
    EXPECT_EQ(estimatedKilobytes(kModeSP, 2900), 3);
    EXPECT_EQ(estimatedKilobytes(kModeSP, 1024), 1);
    EXPECT_EQ(estimatedKilobytes(kModeSP, 1025), 2);
    EXPECT_EQ(estimatedKilobytes(kModeSHQ, 0), 0);
    // 29000 bytes: 30000, 30050, 30050 + 58 * 2 = 30166 -> 30 KB (29.46)
    EXPECT_EQ(estimatedKilobytes(kModeSHQ, 29000), 30);
    Rig r;
    r.t.setVoiceMode(kModeHQ);
    r.t.dspSize(2900);
    EXPECT_EQ(r.view.status[1], "File Size 3KB");
    EXPECT_EQ(r.t.workFileSize(), 2900);
    r.t.dspSize(0);
    EXPECT_EQ(r.view.status[1], "File Size 0KB");
}

TEST(TransportDisplay, TotalTimeOfAWorkingFile) {
    Rig r;
    r.fs.files[kWork] = Bytes(1536, 0);
    r.t.setVoiceMode(kModeSP);
    EXPECT_EQ(r.t.showTotalTime(kWork, false), 1536);
    EXPECT_EQ(r.t.totalSecs(), 2);  // 1.5 -> 2
    EXPECT_EQ(r.view.total(), "00:00:02");
    EXPECT_EQ(r.view.running(), "00:00:00");
    r.fs.files[kWork] = Bytes(2560, 0);
    r.t.showTotalTime(kWork, true);
    EXPECT_EQ(r.t.totalSecs(), 2);  // 2.5 -> 2
    EXPECT_EQ(r.view.running(), "00:00:02");
    r.t.setVoiceMode(kModeHQ);
    r.fs.files[kWork] = Bytes(1972, 0);
    r.t.showTotalTime(kWork, false);
    EXPECT_EQ(r.t.totalSecs(), 0);
    r.t.setVoiceMode(kModeSHQ);
    r.fs.files[kWork] = Bytes(20186000, 0);  // 3661.86 s
    r.t.showTotalTime(kWork, false);
    EXPECT_EQ(r.view.total(), "01:01:02");
    r.view.status[1] = "File Size 9KB";
    r.fs.files.clear();
    EXPECT_EQ(r.t.showTotalTime(kWork, false), 0);
    EXPECT_EQ(r.view.total(), "00:00:00");
    EXPECT_EQ(r.view.status[1], "");
}

TEST(TransportDisplay, DigitPairsAndTheirCache) {
    Rig r;
    r.t.dspTimeHour(7);
    r.t.dspTimeMin(59);
    r.t.dspTimeSec(0);
    EXPECT_EQ(r.view.running(), "07:59:00");
    r.t.dspTimeHour(123);  // only two digits: 123 mod 100
    EXPECT_EQ(r.view.running(), "23:59:00");
    r.t.dsptTimeHour(100);
    EXPECT_EQ(r.view.total(), "00:00:00");
    // DisplayTime redraws only the pairs that changed; the cache holds 123.
    int writes[3] = {r.view.runPairWrites[0], r.view.runPairWrites[1], r.view.runPairWrites[2]};
    r.t.setVoiceMode(kModeSP);
    r.t.displayTime(2);  // 1 s: seconds change, minutes 0 and hours 0 change too
    EXPECT_EQ(r.view.running(), "00:00:01");
    EXPECT_EQ(r.view.runPairWrites[0], writes[0] + 1);
    EXPECT_EQ(r.view.runPairWrites[1], writes[1] + 1);
    EXPECT_EQ(r.view.runPairWrites[2], writes[2] + 1);
    r.t.displayTime(3);  // 1.5 s -> 2
    EXPECT_EQ(r.view.runPairWrites[1], writes[1] + 1);
    EXPECT_EQ(r.view.runPairWrites[0], writes[0] + 1);
    EXPECT_EQ(r.view.running(), "00:00:02");
    r.t.displayTime(2 * 3725);  // 3725 s
    EXPECT_EQ(r.view.running(), "01:02:05");
    r.t.displayTime(-4);
    EXPECT_EQ(r.view.running(), "00:00:00");
}

TEST(TransportDisplay, PositionConversionsRoundTiesToEven) {
    EXPECT_EQ(roundEven(1.5), 2);
    EXPECT_EQ(roundEven(2.5), 2);
    EXPECT_EQ(roundEven(-2.5), -2);
    EXPECT_EQ(roundEven(1e300), 2147483647);
    EXPECT_EQ(roundEven(0.0 / 0.0 * 0), 0);
    Rig r;
    EXPECT_EQ(r.t.getTrackPosFromTCount(5), 0);  // empty file
    EXPECT_EQ(r.t.getTCountFromTrackPos(), 0);
    r.t.setVoiceMode(kModeSP);
    r.t.dspSize(4 * 512);
    // A bar at a quarter and a half of a block: 0.25 -> 0, 0.5 -> 0, 1.5 -> 2.
    r.t.setTrackPosition(kTrackMax / 16);
    EXPECT_EQ(r.t.getTCountFromTrackPos(), 0);
    r.t.setTrackPosition(kTrackMax / 8);
    EXPECT_EQ(r.t.getTCountFromTrackPos(), 0);
    r.t.setTrackPosition(3 * kTrackMax / 8);
    EXPECT_EQ(r.t.getTCountFromTrackPos(), 2);
    EXPECT_EQ(r.t.getFilePosFromTrackPos(), 1024);
    EXPECT_EQ(r.t.getTrackPosFromTCount(1), 8190);
    // DisplayPos never moves the bar back, except to 0.
    r.t.setTrackPosition(20000);
    r.t.displayPos(1);
    EXPECT_EQ(r.view.trackPos, 20000);
    r.t.displayPos(3);
    EXPECT_EQ(r.view.trackPos, 24570);
    r.t.displayPos(0);
    EXPECT_EQ(r.view.trackPos, 0);
}

TEST(TransportDisplay, ModeNamesAndConstants) {
    EXPECT_STREQ(modeText(4), "SP");
    EXPECT_STREQ(modeText(5), "HQ");
    EXPECT_STREQ(modeText(6), "SHQ");
    EXPECT_STREQ(modeText(9), "SHQ");
    EXPECT_EQ(modeInfo(kModeSP).blockBytes, 512);
    EXPECT_EQ(modeInfo(kModeHQ).blockSamples, 3944);
    EXPECT_EQ(modeInfo(kModeSHQ).seekStep, 14);
    EXPECT_EQ(modeInfo(kModeHQ).seekStep, 10);
    Rig r;
    r.t.changeFMode(5);
    EXPECT_EQ(r.view.status[2], "HQ");
}

}  // namespace
}  // namespace vek::transport::test
