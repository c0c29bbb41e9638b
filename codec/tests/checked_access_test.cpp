// The checked-access helpers as the sanitizer and fuzz builds have them
// (this file defines VEK_CHECKED_ACCESS itself, so the checks are on in every
// build): an index or range off its array by one in either direction aborts,
// one just inside does not.
// SPDX-License-Identifier: GPL-3.0-or-later
#include "vek/checked.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <iterator>

#if !defined(VEK_CHECKED_ACCESS)
#error "this test is built with VEK_CHECKED_ACCESS"
#endif

namespace {

int g_table[8] = {10, 11, 12, 13, 14, 15, 16, 17};

struct Holder {
    float line[16];
    float after[4];  // an overrun of line lands here, inside the object
};

int readAt(long i) { return vek::at(g_table, i); }

void touchRange(Holder& h, std::ptrdiff_t first, std::ptrdiff_t count) {
    VEK_CHECK_RANGE(h.line + first, count, h.line, std::size(h.line));
    for (std::ptrdiff_t k = 0; k < count; ++k) h.line[first + k] = 1.0f;
}

}  // namespace

TEST(CheckedAccessDeathTest, IndexOffByOneEitherWayAborts) {
    EXPECT_EQ(readAt(0), 10);
    EXPECT_EQ(readAt(7), 17);
    EXPECT_DEATH(readAt(8), "checked access failed.*index 8, length 8");
    EXPECT_DEATH(readAt(-1), "checked access failed.*index -1, length 8");
    // Unsigned indices that wrapped below zero are caught as huge ones.
    const unsigned wrapped = static_cast<unsigned>(-3);
    EXPECT_DEATH(vek::at(g_table, wrapped), "checked access failed");
    // The reference is the element itself.
    vek::at(g_table, 3) = 99;
    EXPECT_EQ(g_table[3], 99);
}

TEST(CheckedAccessDeathTest, RangeInsideOneObjectIsChecked) {
    Holder h{};
    touchRange(h, 0, 16);
    touchRange(h, 12, 4);
    touchRange(h, 16, 0);  // an empty range at the end is fine
    EXPECT_EQ(h.after[0], 0.0f);
    EXPECT_DEATH(touchRange(h, 13, 4), "checked access failed.*range of h.line \\+ first");
    EXPECT_DEATH(touchRange(h, -1, 2), "checked access failed");
    EXPECT_DEATH(touchRange(h, 17, 0), "checked access failed");
    EXPECT_DEATH(touchRange(h, 4, -1), "checked access failed");
}

TEST(CheckedAccessDeathTest, MacroIndexWithSignedAndSizeTypes) {
    const std::size_t n = 5;
    VEK_CHECK_INDEX(std::size_t{4}, n);
    VEK_CHECK_INDEX(std::int16_t{0}, n);
    EXPECT_DEATH(VEK_CHECK_INDEX(std::int16_t{-2}, n), "index -2, length 5");
    EXPECT_DEATH(VEK_CHECK_INDEX(n, n), "index 5, length 5");
}
