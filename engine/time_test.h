// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// The time test of the file comparison, as a pure function.
#pragma once

#include <cstdint>
#include <string>

namespace vardell {

// Packed stamps less than this many units apart are equal (6 s within one minute,
// less across a minute boundary).
inline constexpr std::int64_t kPackedTimeTolerance = 4;
// Stamps whose real difference is at most this many seconds are equal as well, so a
// mirror that rounds to even seconds (FAT) is not copied again across an hour or day
// boundary.
inline constexpr std::int64_t kRealTimeToleranceSeconds = 2;
// Stamps whose real difference is more than this many seconds are never equal, whatever
// their packed local forms say: the hour the autumn clock change repeats gives two real
// times one local time.
inline constexpr std::int64_t kRealTimeLimitSeconds = 8;

// Whether two last-write times count as equal. `packed*` are packed local times (0 when
// the stamp is outside 1980..2107 and has none); such stamps are compared by their full
// times `*Ns` (nanoseconds since the epoch) within kRealTimeToleranceSeconds. Full times
// more than kRealTimeLimitSeconds apart are never equal.
bool TimesCountEqual(std::uint32_t listedPacked, std::uint32_t counterpartPacked, std::int64_t listedNs,
                     std::int64_t counterpartNs);

// A full time (nanoseconds since the epoch) as local "yyyy-mm-dd hh:mm:ss" text.
std::string LocalTimeText(std::int64_t ns);

// A packed time as "yyyy-mm-dd hh:mm:ss" text.
std::string PackedTimeText(std::uint32_t packed);

}  // namespace vardell
