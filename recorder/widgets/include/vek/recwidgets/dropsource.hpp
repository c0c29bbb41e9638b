// The drag source of the recorder's two drag handles, without the OLE
// plumbing: the allowed effects and outcome of a drag, the drop decision of
// the drag loop, the CF_HDROP data block and its format enumerator, and the
// rule that turns a mouse move on a handle into a drag. The result codes
// and constants are the OLE ones, so a Windows build wraps these in the COM
// objects unchanged; on Linux the drag itself is a Qt drag of a file URL
// (filedrag.hpp).
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vek::dropsource {

using HResult = std::int32_t;
inline constexpr HResult kS_OK = 0;
inline constexpr HResult kS_FALSE = 1;
inline constexpr HResult kDRAGDROP_S_DROP = 0x00040100;
inline constexpr HResult kDRAGDROP_S_CANCEL = 0x00040101;
inline constexpr HResult kDRAGDROP_S_USEDEFAULTCURSORS = 0x00040102;
inline constexpr HResult kE_NOTIMPL = static_cast<HResult>(0x80004001u);
inline constexpr HResult kE_OUTOFMEMORY = static_cast<HResult>(0x8007000Eu);
inline constexpr HResult kE_INVALIDARG = static_cast<HResult>(0x80070057u);
inline constexpr HResult kDV_E_FORMATETC = static_cast<HResult>(0x80040064u);
inline constexpr HResult kOLE_E_ADVISENOTSUPPORTED = static_cast<HResult>(0x80040003u);
inline constexpr HResult kSTG_E_MEDIUMFULL = static_cast<HResult>(0x80030070u);

inline constexpr std::uint32_t kDropEffectNone = 0;
inline constexpr std::uint32_t kDropEffectCopy = 1;
inline constexpr std::uint32_t kDropEffectMove = 2;

inline constexpr std::uint16_t kCF_HDROP = 15;
inline constexpr std::uint32_t kDVASPECT_CONTENT = 1;
inline constexpr std::uint32_t kDVASPECT_ICON = 4;
inline constexpr std::uint32_t kTYMED_HGLOBAL = 1;
inline constexpr std::uint32_t kDATADIR_GET = 1;
inline constexpr std::uint32_t kDATADIR_SET = 2;

enum class DragType { Either = 0, Copy = 1, Move = 2 };
enum class DragOutcome { DroppedCopy, DroppedMove, Cancelled, OutOfMemory, Other };

// Effects a drag of that type offers: Copy -> copy, Move -> move, Either ->
// both.
std::uint32_t allowedEffects(DragType type);
// What execute reports for DoDragDrop's result and returned effect.
DragOutcome dragOutcome(HResult doDragDropResult, std::uint32_t effect, std::uint32_t allowed);

// The drop decision of the drag loop (GiveFeedback / QueryContinueDrag).
class DragLoop {
public:
    // Called before a drop with copy (true) or move (false); setting the
    // flag to false turns the drop into a cancel.
    using DropHandler = std::function<void(bool isCopyNotMove, bool& continueDrop)>;

    explicit DragLoop(DragType type = DragType::Either) : m_type(type) {}
    void setDragType(DragType type) { m_type = type; }
    void setOnDrop(DropHandler h) { m_onDrop = std::move(h); }

    HResult giveFeedback(std::uint32_t effect);
    HResult queryContinueDrag(bool escapePressed, bool leftButtonDown);
    std::uint32_t lastEffect() const { return m_lastEffect; }

private:
    DragType m_type;
    DropHandler m_onDrop;
    std::uint32_t m_lastEffect = kDropEffectNone;
};

// One FORMATETC record as Win32 lays it out (20 bytes): format, target
// device pointer, aspect, index, medium.
struct FormatEtc {
    std::uint16_t format = 0;
    std::uint32_t targetDevice = 0;
    std::uint32_t aspect = 0;
    std::int32_t index = 0;
    std::uint32_t medium = 0;
    bool operator==(const FormatEtc&) const = default;
};

// The two formats the file source offers: CF_HDROP in HGLOBAL as content and
// as icon, index -1.
extern const FormatEtc kDropFileFormats[2];

// CF_HDROP, content or icon aspect, HGLOBAL medium.
bool acceptableFormat(const FormatEtc& f);
// S_OK for an acceptable format, S_FALSE otherwise.
HResult queryGetData(const FormatEtc& f);

// Bytes of the DROPFILES block for `files`: the 20-byte header, each path
// with its terminator, one final zero.
std::size_t dropFilesBytes(const std::vector<std::string>& files);
// GetDataHere into a caller's block: file-list offset 20 (little-endian
// 32-bit at 0), wide flag 0 (32-bit at 16), the point and non-client flag
// untouched; the paths from 20 as 8-bit strings with terminators, then the
// final zero. No block: E_OUTOFMEMORY; a block too small: STG_E_MEDIUMFULL
// and nothing written.
HResult fillDropFiles(std::uint8_t* block, std::size_t blockBytes, const std::vector<std::string>& files);
// GetData: a zero-filled block of dropFilesBytes filled as above.
std::vector<std::uint8_t> makeDropFiles(const std::vector<std::string>& files);

// IEnumFORMATETC over an array it does not own.
class FormatEnumerator {
public:
    FormatEnumerator(const FormatEtc* records, std::uint32_t count, std::uint32_t index = 0)
        : m_records(records), m_count(count), m_index(index) {}
    // Copies up to `wanted` records from the current index on and moves past
    // them; `fetched` (when given) receives how many. S_OK only when all
    // wanted records were copied.
    HResult next(std::uint32_t wanted, FormatEtc* out, std::uint32_t* fetched);
    // S_OK, or S_FALSE with the index at the end when fewer than n remain.
    HResult skip(std::uint32_t n);
    void reset() { m_index = 0; }
    std::unique_ptr<FormatEnumerator> clone() const;
    std::uint32_t index() const { return m_index; }

private:
    const FormatEtc* m_records;
    std::uint32_t m_count;
    std::uint32_t m_index;
};

// EnumFormatEtc: DATADIR_GET gives an enumerator over kDropFileFormats,
// DATADIR_SET E_NOTIMPL, anything else E_INVALIDARG.
HResult enumFormatEtc(std::uint32_t direction, std::unique_ptr<FormatEnumerator>& out);

// Mouse and key state of a mouse move, as bits.
enum ShiftState : unsigned {
    kShift = 1u << 0,
    kCtrl = 1u << 1,
    kAlt = 1u << 2,
    kLeftButton = 1u << 3,
    kRightButton = 1u << 4,
    kMiddleButton = 1u << 5,
};
inline constexpr int kDragThresholdPixels = 10;

// A move on a drag handle starts a drag when the state is exactly the left
// button (no Shift, Ctrl or Alt, no other button) and the pointer lies at
// least 10 pixels from the mouse-down point in x or in y.
bool dragHandleStarts(int startX, int startY, int x, int y, unsigned shiftState);

}  // namespace vek::dropsource
