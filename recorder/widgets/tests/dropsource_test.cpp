// The drag source's rules: effects and outcomes, the drop decision, the
// CF_HDROP block byte for byte, the format enumerator and the handle rule.
// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "vek/recwidgets/dropsource.hpp"

using namespace vek::dropsource;

namespace {

std::uint32_t le32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

}  // namespace

TEST(DropSourceExecute, AllowedEffectsAndOutcomes) {
    EXPECT_EQ(allowedEffects(DragType::Copy), kDropEffectCopy);
    EXPECT_EQ(allowedEffects(DragType::Move), kDropEffectMove);
    EXPECT_EQ(allowedEffects(DragType::Either), kDropEffectCopy | kDropEffectMove);

    const auto both = kDropEffectCopy | kDropEffectMove;
    EXPECT_EQ(dragOutcome(kE_OUTOFMEMORY, both, both), DragOutcome::OutOfMemory);
    EXPECT_EQ(dragOutcome(kDRAGDROP_S_DROP, kDropEffectCopy, kDropEffectCopy), DragOutcome::DroppedCopy);
    // Copy and move both reported: copy wins.
    EXPECT_EQ(dragOutcome(kDRAGDROP_S_DROP, both, both), DragOutcome::DroppedCopy);
    EXPECT_EQ(dragOutcome(kDRAGDROP_S_DROP, kDropEffectMove, both), DragOutcome::DroppedMove);
    // A move reported for a copy-only drag shares no bit: cancelled.
    EXPECT_EQ(dragOutcome(kDRAGDROP_S_DROP, kDropEffectMove, kDropEffectCopy), DragOutcome::Cancelled);
    EXPECT_EQ(dragOutcome(kDRAGDROP_S_DROP, 4 /* link */, kDropEffectCopy), DragOutcome::Cancelled);
    EXPECT_EQ(dragOutcome(kDRAGDROP_S_CANCEL, kDropEffectCopy, kDropEffectCopy), DragOutcome::Cancelled);
    EXPECT_EQ(dragOutcome(kS_OK, kDropEffectCopy, kDropEffectCopy), DragOutcome::Other);
    EXPECT_EQ(dragOutcome(kE_INVALIDARG, kDropEffectCopy, kDropEffectCopy), DragOutcome::Other);
}

TEST(DropSourceLoop, EscapeButtonAndDropDecision) {
    DragLoop loop(DragType::Copy);
    int calls = 0;
    bool sawCopy = false;
    loop.setOnDrop([&](bool isCopy, bool& cont) {
        ++calls;
        sawCopy = isCopy;
        EXPECT_TRUE(cont);  // preset
    });
    EXPECT_EQ(loop.giveFeedback(kDropEffectCopy), kDRAGDROP_S_USEDEFAULTCURSORS);
    EXPECT_EQ(loop.lastEffect(), kDropEffectCopy);
    EXPECT_EQ(loop.queryContinueDrag(true, true), kDRAGDROP_S_CANCEL);
    EXPECT_EQ(loop.queryContinueDrag(false, true), kS_OK);
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(loop.queryContinueDrag(false, false), kDRAGDROP_S_DROP);
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(sawCopy);

    // No effect over the target: no drop, no handler call.
    loop.giveFeedback(kDropEffectNone);
    EXPECT_EQ(loop.queryContinueDrag(false, false), kDRAGDROP_S_CANCEL);
    EXPECT_EQ(calls, 1);

    // A move during a copy-only drag: the handler is not asked, the drop goes on.
    loop.giveFeedback(kDropEffectMove);
    EXPECT_EQ(loop.queryContinueDrag(false, false), kDRAGDROP_S_DROP);
    EXPECT_EQ(calls, 1);

    // The handler can veto.
    DragLoop veto(DragType::Either);
    veto.setOnDrop([](bool isCopy, bool& cont) {
        EXPECT_FALSE(isCopy);
        cont = false;
    });
    veto.giveFeedback(kDropEffectMove);
    EXPECT_EQ(veto.queryContinueDrag(false, false), kDRAGDROP_S_CANCEL);

    // Without a handler a drop is a drop.
    DragLoop bare(DragType::Move);
    bare.giveFeedback(kDropEffectMove);
    EXPECT_EQ(bare.queryContinueDrag(false, false), kDRAGDROP_S_DROP);
}

TEST(DropFilesBlock, ExactBytesForOneAndTwoPaths) {
    const std::string path = "/tmp/DATA/Voice.sc4";
    const auto one = makeDropFiles({path});
    ASSERT_EQ(one.size(), 20 + path.size() + 2);
    EXPECT_EQ(dropFilesBytes({path}), one.size());
    EXPECT_EQ(le32(one, 0), 20u);          // offset of the list
    EXPECT_EQ(le32(one, 4), 0u);           // point x
    EXPECT_EQ(le32(one, 8), 0u);           // point y
    EXPECT_EQ(le32(one, 12), 0u);          // non-client flag
    EXPECT_EQ(le32(one, 16), 0u);          // wide flag: 8-bit strings
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(one.data() + 20)), path);
    EXPECT_EQ(one[20 + path.size()], 0);
    EXPECT_EQ(one.back(), 0);

    const auto two = makeDropFiles({"a.sc4", "bc.exe"});
    const std::vector<std::uint8_t> tail{'a', '.', 's', 'c', '4', 0, 'b', 'c', '.', 'e', 'x', 'e', 0, 0};
    ASSERT_EQ(two.size(), 20 + tail.size());
    EXPECT_EQ(std::vector<std::uint8_t>(two.begin() + 20, two.end()), tail);
    EXPECT_EQ(makeDropFiles({}).size(), 21u);
}

TEST(DropFilesBlock, GetDataHereKeepsPointAndRefusesBadBlocks) {
    const std::vector<std::string> files{"x.sc4"};
    std::vector<std::uint8_t> block(dropFilesBytes(files), 0xAB);
    ASSERT_EQ(fillDropFiles(block.data(), block.size(), files), kS_OK);
    EXPECT_EQ(le32(block, 0), 20u);
    EXPECT_EQ(le32(block, 4), 0xABABABABu);  // point kept
    EXPECT_EQ(le32(block, 12), 0xABABABABu);  // non-client flag kept
    EXPECT_EQ(le32(block, 16), 0u);
    EXPECT_EQ(block.back(), 0);

    EXPECT_EQ(fillDropFiles(nullptr, 100, files), kE_OUTOFMEMORY);
    std::vector<std::uint8_t> small(dropFilesBytes(files) - 1, 0x11);
    EXPECT_EQ(fillDropFiles(small.data(), small.size(), files), kSTG_E_MEDIUMFULL);
    EXPECT_EQ(small, std::vector<std::uint8_t>(small.size(), 0x11));  // untouched
}

TEST(DropFilesFormats, AcceptedFormatsAndEnumeratorRules) {
    FormatEtc f{kCF_HDROP, 0, kDVASPECT_CONTENT, -1, kTYMED_HGLOBAL};
    EXPECT_EQ(queryGetData(f), kS_OK);
    f.aspect = kDVASPECT_ICON;
    EXPECT_EQ(queryGetData(f), kS_OK);
    f.aspect = 2;  // thumbnail
    EXPECT_EQ(queryGetData(f), kS_FALSE);
    f = {1 /* CF_TEXT */, 0, kDVASPECT_CONTENT, -1, kTYMED_HGLOBAL};
    EXPECT_FALSE(acceptableFormat(f));
    f = {kCF_HDROP, 0, kDVASPECT_CONTENT, -1, 4 /* TYMED_ISTREAM */};
    EXPECT_FALSE(acceptableFormat(f));

    std::unique_ptr<FormatEnumerator> e;
    EXPECT_EQ(enumFormatEtc(kDATADIR_SET, e), kE_NOTIMPL);
    EXPECT_FALSE(e);
    EXPECT_EQ(enumFormatEtc(3, e), kE_INVALIDARG);
    ASSERT_EQ(enumFormatEtc(kDATADIR_GET, e), kS_OK);
    ASSERT_TRUE(e);

    FormatEtc out[3]{};
    std::uint32_t got = 99;
    EXPECT_EQ(e->next(1, out, &got), kS_OK);
    EXPECT_EQ(got, 1u);
    EXPECT_EQ(out[0], (FormatEtc{kCF_HDROP, 0, kDVASPECT_CONTENT, -1, kTYMED_HGLOBAL}));
    auto copy = e->clone();
    EXPECT_EQ(copy->index(), 1u);
    // Asking for two with one left: one copied, S_FALSE.
    EXPECT_EQ(e->next(2, out, &got), kS_FALSE);
    EXPECT_EQ(got, 1u);
    EXPECT_EQ(out[0].aspect, kDVASPECT_ICON);
    EXPECT_EQ(e->next(1, out, nullptr), kS_FALSE);
    // The clone kept its own place.
    EXPECT_EQ(copy->next(1, out, &got), kS_OK);
    EXPECT_EQ(out[0].aspect, kDVASPECT_ICON);

    e->reset();
    EXPECT_EQ(e->skip(2), kS_OK);
    EXPECT_EQ(e->index(), 2u);
    e->reset();
    EXPECT_EQ(e->skip(1), kS_OK);
    EXPECT_EQ(e->skip(5), kS_FALSE);
    EXPECT_EQ(e->index(), 2u);
    EXPECT_EQ(e->next(0, out, &got), kS_OK);
    EXPECT_EQ(got, 0u);
}

TEST(DragHandle, ThresholdAndShiftState) {
    EXPECT_FALSE(dragHandleStarts(50, 50, 59, 59, kLeftButton));  // 9 and 9
    EXPECT_FALSE(dragHandleStarts(50, 50, 41, 41, kLeftButton));
    EXPECT_TRUE(dragHandleStarts(50, 50, 60, 50, kLeftButton));   // 10 in x
    EXPECT_TRUE(dragHandleStarts(50, 50, 50, 40, kLeftButton));   // 10 in y, upwards
    EXPECT_TRUE(dragHandleStarts(50, 50, 40, 59, kLeftButton));
    EXPECT_FALSE(dragHandleStarts(50, 50, 70, 70, kLeftButton | kShift));
    EXPECT_FALSE(dragHandleStarts(50, 50, 70, 70, kLeftButton | kCtrl));
    EXPECT_FALSE(dragHandleStarts(50, 50, 70, 70, kLeftButton | kAlt));
    EXPECT_FALSE(dragHandleStarts(50, 50, 70, 70, kLeftButton | kRightButton));
    EXPECT_FALSE(dragHandleStarts(50, 50, 70, 70, 0));  // no button: a hover
    EXPECT_FALSE(dragHandleStarts(50, 50, 70, 70, kRightButton));
    // Far-apart coordinates do not overflow.
    EXPECT_TRUE(dragHandleStarts(-2147483647, 0, 2147483647, 0, kLeftButton));
}
