// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// The time test.
#include "engine/time_test.h"

#include "platform/dir_entry.h"

#include <cstdio>
#include <ctime>

namespace vardell {
namespace {

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = unsigned(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + std::int64_t(doe) - 719468;
}

std::int64_t packedSeconds(std::uint32_t packed) {
  const PackedFields f = unpackLocalTime(packed);
  return daysFromCivil(f.year, unsigned(f.month), unsigned(f.day)) * 86400 + f.hour * 3600 + f.minute * 60 +
         f.second;
}

std::int64_t distance(std::int64_t a, std::int64_t b) { return a > b ? a - b : b - a; }

}  // namespace

std::string PackedTimeText(std::uint32_t packed) {
  const PackedFields f = unpackLocalTime(packed);
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", f.year, f.month, f.day, f.hour, f.minute,
                f.second);
  return text;
}

std::string LocalTimeText(std::int64_t ns) {
  const std::time_t seconds = std::time_t(ns >= 0 ? ns / 1000000000LL : (ns - 999999999LL) / 1000000000LL);
  const std::tm* local = std::localtime(&seconds);
  if (!local) return "?";
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", local);
  return text;
}

bool TimesCountEqual(std::uint32_t listedPacked, std::uint32_t counterpartPacked, std::int64_t listedNs,
                     std::int64_t counterpartNs) {
  if (distance(listedNs, counterpartNs) > kRealTimeLimitSeconds * 1000000000LL) return false;
  if (listedPacked == 0 || counterpartPacked == 0) {
    return distance(listedNs, counterpartNs) <= kRealTimeToleranceSeconds * 1000000000LL;
  }
  const std::int64_t units = distance(std::int32_t(listedPacked), std::int32_t(counterpartPacked));
  if (units < kPackedTimeTolerance) return true;
  if (distance(packedSeconds(listedPacked), packedSeconds(counterpartPacked)) <= kRealTimeToleranceSeconds) return true;
  return PackedTimeText(listedPacked) == PackedTimeText(counterpartPacked);
}

}  // namespace vardell
