// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// The standard output of an unattended run: the verdict and summary lines of each run as
// plain text, for the mail of a cron job or a service's journal.
#pragma once

#include <string>
#include <string_view>

namespace vardell {

class SummaryEcho {
 public:
  void append(std::string_view text) { line_.append(text); }
  // Prints the finished line when it is a verdict or summary line.
  void endLine();
  void clear() { line_.clear(); }

 private:
  std::string line_;
};

}  // namespace vardell
