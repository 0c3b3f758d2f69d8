// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// The standard output of an unattended run.
#include "shell/summary_echo.h"

#include "engine/summary_lines.h"

#include <cstdio>

namespace vardell {

void SummaryEcho::endLine() {
  if (isVerdictOrSummaryLine(line_)) {
    line_ += '\n';
    std::fwrite(line_.data(), 1, line_.size(), stdout);
    std::fflush(stdout);  // cron mail keeps the order of stdout and stderr lines
  }
  line_.clear();
}

}  // namespace vardell
