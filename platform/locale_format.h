// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// Locale texts the status lines need: abbreviated day and month names, separators.
#pragma once

#include <array>
#include <string>

namespace vardell {

struct LocaleFormat {
  std::array<std::string, 7> shortDayNames{"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};  // Sunday first
  std::array<std::string, 12> shortMonthNames{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  std::string thousandsSeparator = ",";
  std::string decimalSeparator = ".";
};

// The system locale's names and separators (English names and "," "." for the C locale).
LocaleFormat systemLocaleFormat();
// The same for a named locale ("de_DE", "C").
LocaleFormat localeFormat(const std::string& name);

}  // namespace vardell
