// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// Size, date and elapsed-time texts.
#include "engine/run_texts.h"

#include <cmath>
#include <cstdio>
#include <utility>

namespace vardell {
namespace {

std::string groupThousands(std::int64_t whole, const std::string& separator) {
  std::string digits = std::to_string(whole);
  for (int i = int(digits.size()) - 3; i > 0; i -= 3) digits.insert(std::size_t(i), separator);
  return digits;
}

// At most 4 significant digits and exactly one decimal; exponent form from 10,000 on.
std::string formatQuotient(double value, const LocaleFormat& locale) {
  const double rounded = value >= 1000.0 ? std::round(value) : std::round(value * 10.0) / 10.0;
  if (rounded >= 10000.0) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3E", value);
    std::string result = text;
    const auto dot = result.find('.');
    if (dot != std::string::npos) result.replace(dot, 1, locale.decimalSeparator);
    return result;
  }
  const auto tenths = std::int64_t(std::llround(rounded * 10.0));
  return groupThousands(tenths / 10, locale.thousandsSeparator) + locale.decimalSeparator +
         std::to_string(tenths % 10);
}

}  // namespace

std::string FormatSizeText(std::int64_t bytes, const LocaleFormat& locale) {
  if (bytes < 1000) return std::to_string(bytes) + " bytes";
  if (bytes < 1000000) return formatQuotient(double(bytes) / 1e3, locale) + " kB";
  if (bytes < 1000000000) return formatQuotient(double(bytes) / 1e6, locale) + " MB";
  return formatQuotient(double(bytes) / 1e9, locale) + " GB";
}

std::string HeaderDateText(const std::tm& local, const LocaleFormat& locale) {
  const int hour12 = local.tm_hour % 12 == 0 ? 12 : local.tm_hour % 12;
  char time[32];
  std::snprintf(time, sizeof time, "%d:%02d:%02d %s", hour12, local.tm_min, local.tm_sec,
                local.tm_hour < 12 ? "AM" : "PM");
  return locale.shortDayNames[std::size_t(local.tm_wday)] + " " + locale.shortMonthNames[std::size_t(local.tm_mon)] +
         " " + std::to_string(local.tm_mday) + ", " + std::to_string(local.tm_year + 1900) + " " + time;
}

std::string ElapsedTimeText(std::chrono::system_clock::duration elapsed) {
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(elapsed).count();
  const long long ofDay = ((seconds % 86400) + 86400) % 86400;
  return std::to_string(ofDay / 3600) + " hrs  " + std::to_string(ofDay / 60 % 60) + " mins  " +
         std::to_string(ofDay % 60) + " secs";
}

std::optional<std::string_view> notDoneOpening(std::string_view opening) {
  static constexpr std::pair<std::string_view, std::string_view> forms[] = {
      {"Copying to ", "Would copy to "},         {"Copy completed", ""},
      {"Removed ", "Would remove "},             {"Removing ", "Would remove "},
      {"Remove folder ", "Would remove folder "}, {"Create folder ", "Would create folder "},
      {"Time set ", "Would set the time of "},
  };
  for (const auto& [done, notDone] : forms) {
    if (opening == done) return notDone;
  }
  return std::nullopt;
}

}  // namespace vardell
