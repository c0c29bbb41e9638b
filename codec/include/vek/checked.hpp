// Checked array access for the decoders and the effects. In the fuzz and
// sanitizer builds (VEK_CHECKED_ACCESS defined) every index that comes from
// the data is compared with the length of its own array, so an index a few
// places off is a crash even when it still lands inside the same object,
// where AddressSanitizer sees nothing. In every other build the checks are
// compiled out: vek::at(a, i) is a[i] and the macros are empty, so neither
// the speed nor a single output bit changes.
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(VEK_CHECKED_ACCESS)
#include <cstdio>
#include <cstdlib>
#endif

namespace vek {

#if defined(VEK_CHECKED_ACCESS)
[[noreturn]] inline void checkedAccessFailed(const char* file, int line, const char* what, long long index,
                                             long long length) {
    std::fprintf(stderr, "%s:%d: checked access failed: %s (index %lld, length %lld)\n", file, line, what, index,
                 length);
    std::abort();
}
// 0 <= i < n, with i of any integer type (a negative i always fails).
#define VEK_CHECK_INDEX(i, n)                                                                                   \
    ((static_cast<long long>(i) >= 0 && static_cast<long long>(i) < static_cast<long long>(n))                  \
         ? static_cast<void>(0)                                                                                 \
         : ::vek::checkedAccessFailed(__FILE__, __LINE__, #i " < " #n, static_cast<long long>(i),               \
                                      static_cast<long long>(n)))
// The elements [first, first + count) lie within [begin, begin + length).
inline void checkRange(std::ptrdiff_t offset, std::ptrdiff_t count, std::ptrdiff_t length, const char* file,
                       int line, const char* what) {
    if (offset < 0 || count < 0 || offset > length - count) checkedAccessFailed(file, line, what, offset, length);
}
#define VEK_CHECK_RANGE(first, count, begin, length)                                                             \
    ::vek::checkRange((first) - (begin), static_cast<std::ptrdiff_t>(count), static_cast<std::ptrdiff_t>(length), \
                      __FILE__, __LINE__, "range of " #first)
#else
#define VEK_CHECK_INDEX(i, n) static_cast<void>(0)
#define VEK_CHECK_RANGE(first, count, begin, length) static_cast<void>(0)
#endif

// a[i] for a built-in array, checked in the checked builds.
template <class T, std::size_t N, class I>
constexpr T& at(T (&a)[N], I i) {
    VEK_CHECK_INDEX(i, N);
    return a[i];
}

}  // namespace vek
