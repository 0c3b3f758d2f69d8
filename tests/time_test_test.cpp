// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// The time test, table-driven without a disk.
#include "engine/time_test.h"
#include "platform/dir_entry.h"

#include <gtest/gtest.h>

using namespace vardell;

namespace {

struct TimeCase {
  const char* name;
  int a[6];
  int b[6];
  bool equal;
  std::int64_t realSecondsApart = 0;  // the full times' difference where the packed forms do not show it
};

std::uint32_t pack(const int (&t)[6]) { return packLocalTime(t[0], t[1], t[2], t[3], t[4], t[5]); }

class TimeTable : public ::testing::TestWithParam<TimeCase> {};

TEST_P(TimeTable, DecidesLikeTheToleranceSays) {
  const TimeCase& c = GetParam();
  const std::int64_t apart = c.realSecondsApart * 1000000000LL;
  EXPECT_EQ(TimesCountEqual(pack(c.a), pack(c.b), 0, apart), c.equal) << c.name;
  EXPECT_EQ(TimesCountEqual(pack(c.b), pack(c.a), apart, 0), c.equal) << c.name << " (swapped)";
}

INSTANTIATE_TEST_SUITE_P(
    Stamps, TimeTable,
    ::testing::Values(
        TimeCase{"same", {2020, 5, 1, 12, 0, 10}, {2020, 5, 1, 12, 0, 10}, true},
        TimeCase{"2s in one minute", {2020, 5, 1, 12, 0, 10}, {2020, 5, 1, 12, 0, 12}, true},
        TimeCase{"6s in one minute", {2020, 5, 1, 12, 0, 10}, {2020, 5, 1, 12, 0, 16}, true},
        TimeCase{"8s in one minute", {2020, 5, 1, 12, 0, 10}, {2020, 5, 1, 12, 0, 18}, false},
        TimeCase{"2s across a minute", {2020, 5, 1, 12, 0, 58}, {2020, 5, 1, 12, 1, 0}, true},
        TimeCase{"4s across a minute", {2020, 5, 1, 12, 0, 56}, {2020, 5, 1, 12, 1, 0}, false},
        TimeCase{"2s across an hour", {2020, 5, 1, 12, 59, 58}, {2020, 5, 1, 13, 0, 0}, true},
        TimeCase{"2s across a day", {2020, 5, 1, 23, 59, 58}, {2020, 5, 2, 0, 0, 0}, true},
        TimeCase{"2s across a month", {2020, 2, 29, 23, 59, 58}, {2020, 3, 1, 0, 0, 0}, true},
        TimeCase{"2s across a year", {2019, 12, 31, 23, 59, 58}, {2020, 1, 1, 0, 0, 0}, true},
        TimeCase{"4s across an hour", {2020, 5, 1, 12, 59, 56}, {2020, 5, 1, 13, 0, 0}, false},
        TimeCase{"one minute", {2020, 5, 1, 12, 0, 0}, {2020, 5, 1, 12, 1, 0}, false},
        TimeCase{"years after 2043 (sign bit)", {2050, 1, 1, 0, 0, 0}, {2050, 1, 1, 0, 0, 2}, true},
        TimeCase{"one hour apart", {2020, 5, 1, 12, 0, 0}, {2020, 5, 1, 13, 0, 0}, false},
        // 01:30 EDT and 01:30 EST on the night the clocks go back: one local time, an hour apart.
        TimeCase{"the repeated hour of the clock change", {2021, 11, 7, 1, 30, 0}, {2021, 11, 7, 1, 30, 0}, false, 3600},
        TimeCase{"2s apart in the repeated hour", {2021, 11, 7, 1, 30, 0}, {2021, 11, 7, 1, 30, 2}, true, 2}),
    [](const auto& info) {
      std::string n = info.param.name;
      for (char& c : n) {
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
      }
      return n;
    });

TEST(TimeTest, StampsWithoutPackedFormCompareByTheirFullTimes) {
  const std::int64_t s = 1000000000LL;
  const std::int64_t year1970 = 3600 * s;
  EXPECT_EQ(packLocalTime(1970, 1, 1, 1, 0, 0), 0u);
  EXPECT_TRUE(TimesCountEqual(0, 0, year1970, year1970 + 2 * s));
  EXPECT_FALSE(TimesCountEqual(0, 0, year1970, year1970 + 3 * s));
  // One side packed, the other not (a stamp beyond 2107 against one in range).
  EXPECT_FALSE(TimesCountEqual(0, packLocalTime(2020, 1, 1, 0, 0, 0), 5000000000LL * s, 1577836800LL * s));
}

TEST(PackedTime, PacksTheFieldsIntoTheirBits) {
  const std::uint32_t p = packLocalTime(2021, 3, 14, 15, 9, 27);
  EXPECT_EQ(p >> 25, 41u);
  EXPECT_EQ((p >> 21) & 0xF, 3u);
  EXPECT_EQ((p >> 16) & 0x1F, 14u);
  EXPECT_EQ((p >> 11) & 0x1F, 15u);
  EXPECT_EQ((p >> 5) & 0x3F, 9u);
  EXPECT_EQ(p & 0x1F, 13u);
  EXPECT_EQ(PackedTimeText(p), "2021-03-14 15:09:26");
  EXPECT_EQ(packLocalTime(1979, 12, 31, 0, 0, 0), 0u);
  EXPECT_EQ(packLocalTime(2108, 1, 1, 0, 0, 0), 0u);
  EXPECT_NE(packLocalTime(2107, 12, 31, 23, 59, 58), 0u);
}

}  // namespace
