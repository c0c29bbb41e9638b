// SPDX-License-Identifier: GPL-3.0-or-later
#include "statusformat.hpp"

#include <cmath>

namespace vekshell {

namespace {
QLocale grouped(const QLocale& loc) {
    QLocale l = loc;
    l.setNumberOptions(l.numberOptions() & ~QLocale::OmitGroupSeparator);
    return l;
}

QString kbOrMb(float k, const QLocale& loc) {
    if (k >= 1024.0f) return formatFixed2(double(k / 1024.0f), loc) + QStringLiteral("MB");
    return formatFixed2(double(k), loc) + QStringLiteral("KB");
}
}  // namespace

QString formatFixed2(double v, const QLocale& loc) { return grouped(loc).toString(v, 'f', 2); }

QString formatGroupedInt(double v, const QLocale& loc) {
    const double r = std::nearbyint(v);  // ties to even
    if (r == 0.0) return QString();      // "#" digits only: nothing for zero
    return grouped(loc).toString(r, 'f', 0);
}

QString selectedSizeText(std::uint32_t bytes, const QLocale& loc) {
    const float k = float(bytes) / 1024.0f;
    if (k == 0.0f) return QString();
    return kbOrMb(k, loc);
}

QString totalSizeText(std::uint32_t totalBytes, std::uint32_t freeKB, const QLocale& loc) {
    const float f = float(freeKB) / 1024.0f;
    if (f == 0.0f) return QString();
    const float k = float(totalBytes) / 1024.0f;
    return kbOrMb(k, loc) + QStringLiteral(" (Disk free space: ") + formatGroupedInt(double(f), loc) +
           QStringLiteral("MB)");
}

}  // namespace vekshell
