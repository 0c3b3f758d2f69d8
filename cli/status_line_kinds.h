// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// What a status line says, read from its coloured fragments: a stable kind name and the
// paths, reasons and counts it carries. The names are the jsonl format's (see the manual).
#pragma once

#include "engine/run_state.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vardell::cli {

struct LineFragment {
  std::string text;
  Colour colour;
};

struct LineFacts {
  std::string kind;                  // "mismatch", "would_copy", "verdict"...; "note" or "failure" for others
  std::string path;                  // the entry or folder the line names; empty when none
  std::string master, mirror;        // the two folders of a run's or pass's opening line
  std::vector<std::string> reasons;  // a mismatch's: "size", "time", "binary", "type", "cannot_open"
  std::string reason;                // a failed copy's, in words
  std::optional<long long> count;    // files_copied, files_removed, failed_actions
  std::string text;                  // the whole line, for kinds without a path
};

// Reads one completed status line, its fragments in order.
LineFacts readStatusLine(const std::vector<LineFragment>& fragments);

// True for the kinds that name a file whose size and time a reader may want.
bool namesAFile(std::string_view kind);

}  // namespace vardell::cli
