// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// Texts the commands write: sizes, the start header, the elapsed time and a dry run's
// action lines.
#pragma once

#include "platform/locale_format.h"

#include <chrono>
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

namespace vardell {

// A byte count in GB, MB or kB (decimal units, at most 4 significant digits, one decimal,
// locale separators) or in bytes below 1,000: 1,234,567,890 gives "1.2 GB".
std::string FormatSizeText(std::int64_t bytes, const LocaleFormat& locale);

// "ddd mmm d, yyyy h:mm:ss AM/PM" with the locale's abbreviated names.
std::string HeaderDateText(const std::tm& local, const LocaleFormat& locale);

// "<h> hrs  <m> mins  <s> secs"; whole days are not shown.
std::string ElapsedTimeText(std::chrono::system_clock::duration elapsed);

// The last line of a dry run, in place of "Replication completed" (after "Replication
// aborted").
inline constexpr const char* kDryRunVerdict = "Dry run: nothing was changed";

// How a dry run words the line that starts with `opening` (a line's first fragment):
// nothing when it names no action; an empty text for a line it leaves out ("Copy
// completed"); otherwise the action's "Would ..." form: "Copying to " gives "Would copy
// to ", "Removed " and "Removing " give "Would remove ", "Remove folder " gives "Would
// remove folder ", "Create folder " gives "Would create folder ", "Time set " gives
// "Would set the time of ".
std::optional<std::string_view> notDoneOpening(std::string_view opening);

}  // namespace vardell
