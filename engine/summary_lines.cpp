// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// The verdict and summary lines.
#include "engine/summary_lines.h"

namespace vardell {

bool isVerdictOrSummaryLine(std::string_view line) {
  static constexpr std::string_view starts[] = {
      "Folders match",        "Folders do not match", "Compare aborted", "Replication completed",
      "Replication aborted",  "Modified ",            "Files Copied: ",  "Files Removed: ",
      "Failed actions: ",     "Disk full"};
  for (const std::string_view start : starts) {
    if (line.substr(0, start.size()) == start) return true;
  }
  return false;
}

}  // namespace vardell
