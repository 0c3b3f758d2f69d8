// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// The state a Compare or Sync run shares between its parts, and the status colours.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace vardell {

// Status colours as 0x00BBGGRR values.
enum class Colour : std::uint32_t {
  Black = 0x000000,
  Maroon = 0x000080,
  Green = 0x008000,
  Olive = 0x008080,
  Navy = 0x800000,
  Purple = 0x800080,
  Grey = 0x808080,
  Red = 0x0000FF,
  Blue = 0xFF0000,
};

// Compare types, numbered as the compare type selector lists them.
enum class CompareType { SizeAndTime = 0, Binary = 1, AllOfTheAbove = 2 };

// A progress bar's position: part of whole in percent, 0 to 100.
inline int percentOf(std::int64_t part, std::int64_t whole) {
  return whole > 0 ? int(double(part) / double(whole) * 100.0) : 0;
}

struct RunState {
  bool ReversePass = false;     // Compare's first walk: mirror listed against the master
  bool RemovalPass = false;     // Sync's removal walk: mirror listed, mirror-only entries removed
  bool CopyPass = false;        // Sync's copy walk: master listed, missing/differing files copied
  bool AbortRequested = false;  // the user asked the running command to stop
  bool RunIdle = false;         // no Compare or Sync is running
  bool RemoveUnpaired = false;  // the Sync's removal pass is enabled
  bool DiskFull = false;        // a copy ran out of space: the walk stops listing
  bool MirrorGone = false;      // the mirror's file system went away: the walk stops
  std::int32_t FilesCopied = 0;   // files copied by the current Sync
  std::int32_t FilesRemoved = 0;  // mirror files removed by the current Sync
  std::int64_t TotalBytes = 0;    // master folder size, measured for content compares
  std::int64_t BytesDone = 0;     // master-side bytes read by content compares since measuring
  std::string CurrentPath;        // entry being walked, measured or compared
  std::string FileProgressText;   // "Comparing " or "Copying " + name while a file is read or copied
  std::chrono::system_clock::time_point StartTime{};
  std::chrono::system_clock::time_point EndTime{};
};

}  // namespace vardell
