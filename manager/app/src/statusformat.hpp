// The status bar's texts. Sizes are single-precision values, formatted with
// two decimals and the locale's thousands and decimal separators
// ("###,##0.00KB", "###,##0.00MB"); the free space in whole MiB ("###,###MB",
// which prints nothing at all for a value that rounds to 0).
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLocale>
#include <QString>

#include <cstdint>

namespace vekshell {

// "1,234.57KB" / "1.21MB" for a sum of bytes; empty for less than one byte
// of KiB (K = 0).
QString selectedSizeText(std::uint32_t bytes, const QLocale& loc = QLocale());
// Panel 2 without a selection: empty when the free space is 0, otherwise the
// total followed by " (Disk free space: ", the free MiB and ")".
QString totalSizeText(std::uint32_t totalBytes, std::uint32_t freeKB, const QLocale& loc = QLocale());
// "###,##0.00" and "###,###".
QString formatFixed2(double v, const QLocale& loc);
QString formatGroupedInt(double v, const QLocale& loc);

}  // namespace vekshell
