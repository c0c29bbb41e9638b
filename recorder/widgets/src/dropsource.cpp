// The drag source's rules and the CF_HDROP block.
// SPDX-License-Identifier: GPL-3.0-or-later
#include "vek/recwidgets/dropsource.hpp"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace vek::dropsource {

std::uint32_t allowedEffects(DragType type) {
    switch (type) {
    case DragType::Copy: return kDropEffectCopy;
    case DragType::Move: return kDropEffectMove;
    case DragType::Either: break;
    }
    return kDropEffectCopy | kDropEffectMove;
}

DragOutcome dragOutcome(HResult hr, std::uint32_t effect, std::uint32_t allowed) {
    if (hr == kE_OUTOFMEMORY) return DragOutcome::OutOfMemory;
    if (hr == kDRAGDROP_S_DROP) {
        if ((effect & allowed) == 0) return DragOutcome::Cancelled;
        return (effect & kDropEffectCopy) ? DragOutcome::DroppedCopy : DragOutcome::DroppedMove;
    }
    if (hr == kDRAGDROP_S_CANCEL) return DragOutcome::Cancelled;
    return DragOutcome::Other;
}

HResult DragLoop::giveFeedback(std::uint32_t effect) {
    m_lastEffect = effect;
    return kDRAGDROP_S_USEDEFAULTCURSORS;
}

HResult DragLoop::queryContinueDrag(bool escapePressed, bool leftButtonDown) {
    if (escapePressed) return kDRAGDROP_S_CANCEL;
    if (leftButtonDown) return kS_OK;
    const bool copy = (m_lastEffect & kDropEffectCopy) != 0;
    const bool move = !copy && (m_lastEffect & kDropEffectMove) != 0;
    if (!copy && !move) return kDRAGDROP_S_CANCEL;
    bool continueDrop = true;
    if (m_onDrop && ((copy && m_type != DragType::Move) || (move && m_type != DragType::Copy)))
        m_onDrop(copy, continueDrop);
    return continueDrop ? kDRAGDROP_S_DROP : kDRAGDROP_S_CANCEL;
}

const FormatEtc kDropFileFormats[2] = {
    {kCF_HDROP, 0, kDVASPECT_CONTENT, -1, kTYMED_HGLOBAL},
    {kCF_HDROP, 0, kDVASPECT_ICON, -1, kTYMED_HGLOBAL},
};

bool acceptableFormat(const FormatEtc& f) {
    return f.format == kCF_HDROP && (f.aspect == kDVASPECT_CONTENT || f.aspect == kDVASPECT_ICON) &&
           f.medium == kTYMED_HGLOBAL;
}

HResult queryGetData(const FormatEtc& f) { return acceptableFormat(f) ? kS_OK : kS_FALSE; }

namespace {

constexpr std::size_t kDropFilesHeader = 20;

void putLe32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

}  // namespace

std::size_t dropFilesBytes(const std::vector<std::string>& files) {
    std::size_t n = kDropFilesHeader + 1;
    for (const std::string& f : files) n += f.size() + 1;
    return n;
}

HResult fillDropFiles(std::uint8_t* block, std::size_t blockBytes, const std::vector<std::string>& files) {
    if (!block) return kE_OUTOFMEMORY;
    if (blockBytes < dropFilesBytes(files)) return kSTG_E_MEDIUMFULL;
    putLe32(block, kDropFilesHeader);  // pFiles
    putLe32(block + 16, 0);            // fWide: 8-bit strings
    std::uint8_t* p = block + kDropFilesHeader;
    for (const std::string& f : files) {
        std::memcpy(p, f.data(), f.size());
        p += f.size();
        *p++ = 0;
    }
    *p = 0;
    return kS_OK;
}

std::vector<std::uint8_t> makeDropFiles(const std::vector<std::string>& files) {
    std::vector<std::uint8_t> block(dropFilesBytes(files), 0);
    fillDropFiles(block.data(), block.size(), files);
    return block;
}

HResult FormatEnumerator::next(std::uint32_t wanted, FormatEtc* out, std::uint32_t* fetched) {
    std::uint32_t copied = 0;
    if (out) {
        while (copied < wanted && m_index < m_count) out[copied++] = m_records[m_index++];
    }
    if (fetched) *fetched = copied;
    return copied == wanted ? kS_OK : kS_FALSE;
}

HResult FormatEnumerator::skip(std::uint32_t n) {
    if (n > m_count - m_index) {
        m_index = m_count;
        return kS_FALSE;
    }
    m_index += n;
    return kS_OK;
}

std::unique_ptr<FormatEnumerator> FormatEnumerator::clone() const {
    return std::make_unique<FormatEnumerator>(m_records, m_count, m_index);
}

HResult enumFormatEtc(std::uint32_t direction, std::unique_ptr<FormatEnumerator>& out) {
    out.reset();
    if (direction == kDATADIR_GET) {
        out = std::make_unique<FormatEnumerator>(kDropFileFormats, 2);
        return kS_OK;
    }
    return direction == kDATADIR_SET ? kE_NOTIMPL : kE_INVALIDARG;
}

bool dragHandleStarts(int startX, int startY, int x, int y, unsigned shiftState) {
    if (shiftState != kLeftButton) return false;
    const long dx = std::labs(static_cast<long>(x) - startX);
    const long dy = std::labs(static_cast<long>(y) - startY);
    return dx >= kDragThresholdPixels || dy >= kDragThresholdPixels;
}

}  // namespace vek::dropsource
