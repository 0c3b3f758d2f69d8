// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// Packed local times and the listing order.
#include "platform/dir_entry.h"

#include <cstring>

namespace vardell {

std::uint32_t packLocalTime(int year, int month, int day, int hour, int minute, int second) {
  if (year < 1980 || year > 2107) return 0;
  return (std::uint32_t(year - 1980) << 25) | (std::uint32_t(month) << 21) | (std::uint32_t(day) << 16) |
         (std::uint32_t(hour) << 11) | (std::uint32_t(minute) << 5) | std::uint32_t(second / 2);
}

PackedFields unpackLocalTime(std::uint32_t packed) {
  return PackedFields{int(packed >> 25) + 1980, int((packed >> 21) & 0x0F), int((packed >> 16) & 0x1F),
                      int((packed >> 11) & 0x1F), int((packed >> 5) & 0x3F), int(packed & 0x1F) * 2};
}

int compareFolded(const std::string& a, const std::string& b) {
  const std::size_t n = a.size() < b.size() ? a.size() : b.size();
  for (std::size_t i = 0; i < n; ++i) {
    if (a[i] == b[i]) continue;  // names in one folder often share long prefixes
    const unsigned char x = static_cast<unsigned char>(foldAsciiLetter(a[i]));
    const unsigned char y = static_cast<unsigned char>(foldAsciiLetter(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  return 0;
}

bool listingOrderLess(const std::string& a, const std::string& b) {
  const int folded = compareFolded(a, b);
  if (folded != 0) return folded < 0;
  return a < b;
}

}  // namespace vardell
