// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// The jsonl output: one JSON object a status line, and a summary object after each run.
#pragma once

#include "cli/status_line_kinds.h"
#include "engine/run_report.h"
#include "platform/filesystem.h"

#include <string>

namespace vardell::cli {

// Where a run is when a line is written, for the facts the line itself does not carry.
struct RunPlace {
  std::string master, mirror;  // the run's two folders
  std::string currentPath;     // the entry the run is at (the master file of a copy)
};

struct RunSummary {
  const char* command;  // "compare" or "sync"
  bool dryRun = false;
  RunOutcome outcome = RunOutcome::None;
  int copied = 0, removed = 0, failed = 0;
  int exitStatus = 0;
};

class JsonLines {
 public:
  explicit JsonLines(FileSystem& fs) : fs_(fs) {}

  // The object for one status line, without a line end. Lines that name a file get the
  // size and last-write time it has now, when it is there: the master file of a copy as
  // "source", the mirror file of a mismatch as "mirror_size" and "mirror_mtime".
  std::string objectFor(const LineFacts& facts, const RunPlace& place);
  // The object that ends a run's lines: its outcome, counts and exit status.
  static std::string summaryObject(const RunSummary& summary);

 private:
  FileSystem& fs_;
  std::string lastCopyTarget_;  // named by "copying", completed by "copied"
};

}  // namespace vardell::cli
