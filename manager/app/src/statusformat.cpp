// SPDX-License-Identifier: GPL-3.0-or-later
#include "statusformat.hpp"

#include <cmath>

namespace vekshell {

namespace {
// The patterns group by three digits and print ASCII digits; only the two
// separator characters come from the user's locale. (Formatting in the
// locale itself would also take its digits and its grouping rules: no
// separator in "4883" for Spanish or Polish, "12,34,567" for Indian English.)
QString withLocaleSeparators(double v, int decimals, const QLocale& loc) {
    QLocale c = QLocale::c();
    c.setNumberOptions(c.numberOptions() & ~QLocale::OmitGroupSeparator);
    const QString plain = c.toString(v, 'f', decimals);  // "1,234,567.89"
    const QString group = loc.groupSeparator();
    const QString point = loc.decimalPoint();
    QString out;
    out.reserve(plain.size());
    for (const QChar ch : plain) {
        if (ch == u',')
            out += group;
        else if (ch == u'.')
            out += point;
        else
            out += ch;
    }
    return out;
}

QString kbOrMb(float k, const QLocale& loc) {
    if (k >= 1024.0f) return formatFixed2(double(k / 1024.0f), loc) + QStringLiteral("MB");
    return formatFixed2(double(k), loc) + QStringLiteral("KB");
}
}  // namespace

QString formatFixed2(double v, const QLocale& loc) { return withLocaleSeparators(v, 2, loc); }

QString formatGroupedInt(double v, const QLocale& loc) {
    const double r = std::nearbyint(v);  // ties to even
    if (r == 0.0) return QString();      // "#" digits only: nothing for zero
    return withLocaleSeparators(r, 0, loc);
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
