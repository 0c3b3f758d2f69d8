// Texts the commands write: sizes, the start header and the elapsed time.
#pragma once

#include "platform/locale_format.h"

#include <chrono>
#include <cstdint>
#include <ctime>
#include <string>

namespace vardell {

// A byte count in GB, MB or kB (decimal units, at most 4 significant digits, one decimal,
// locale separators) or in bytes below 1,000: 1,234,567,890 gives "1.2 GB".
std::string FormatSizeText(std::int64_t bytes, const LocaleFormat& locale);

// "ddd mmm d, yyyy h:mm:ss AM/PM" with the locale's abbreviated names.
std::string HeaderDateText(const std::tm& local, const LocaleFormat& locale);

// "<h> hrs  <m> mins  <s> secs"; whole days are not shown.
std::string ElapsedTimeText(std::chrono::system_clock::duration elapsed);

}  // namespace vardell
