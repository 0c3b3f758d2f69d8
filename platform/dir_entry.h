// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// One entry of a folder listing, as the engine sees it: name, attribute bits,
// size and the packed local last-write time.
#pragma once

#include <cstdint>
#include <string>

namespace vardell {

// Attribute bits, in the values the program has always used.
inline constexpr std::uint32_t kAttrReadOnly = 0x01;
inline constexpr std::uint32_t kAttrHidden = 0x02;
inline constexpr std::uint32_t kAttrFolder = 0x10;

// What an entry is on disk. Links are never followed; special files are never opened.
enum class EntryKind : std::uint8_t { File, Folder, Symlink, Special };

struct DirEntry {
  std::string Name;              // raw bytes as the file system gives them
  std::uint32_t Attr = 0;        // kAttr* bits; kAttrFolder only for real folders
  std::int64_t Size = 0;         // bytes; a link's size is the length of its target text
  std::uint32_t Time = 0;        // packed local time (see packLocalTime); 0 = no packed form
  std::int64_t MtimeNs = 0;      // last-write time, nanoseconds since the epoch
  EntryKind Kind = EntryKind::File;
  std::uint32_t Mode = 0;        // permission bits (07777); 0 in listings of names and kinds only

  bool isFolder() const { return (Attr & kAttrFolder) != 0; }
  bool isDotEntry() const {
    return !Name.empty() && Name.size() <= 2 && Name[0] == '.' && (Name.size() == 1 || Name[1] == '.');
  }
};

// Packs a broken-down local time into 32 bits: bits 31-25 year minus 1980, 24-21 month,
// 20-16 day, 15-11 hour, 10-5 minute, 4-0 seconds / 2. Returns 0 for years outside
// 1980..2107, which have no packed form.
std::uint32_t packLocalTime(int year, int month, int day, int hour, int minute, int second);

// The broken-down fields of a packed time.
struct PackedFields {
  int year, month, day, hour, minute, second;
};
PackedFields unpackLocalTime(std::uint32_t packed);

// Orders listing entries: names compared with A-Z folded to a-z, then bytewise, so
// listings (and logs) come out the same on every run.
bool listingOrderLess(const std::string& a, const std::string& b);
int compareFolded(const std::string& a, const std::string& b);

inline char foldAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

}  // namespace vardell
