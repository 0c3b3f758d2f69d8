// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// The verdict and summary lines.
#include "engine/summary_lines.h"

namespace vardell {

bool isVerdictOrSummaryLine(std::string_view line) {
  // The summary lines open with these and go on with a path or a count.
  static constexpr std::string_view openings[] = {"Modified ", "Files Copied: ", "Files Removed: ",
                                                  "Failed actions: ", "Disk full"};
  for (const std::string_view verdict : kVerdictLines) {
    if (line == verdict) return true;
  }
  for (const std::string_view opening : openings) {
    if (line.substr(0, opening.size()) == opening) return true;
  }
  return false;
}

}  // namespace vardell
