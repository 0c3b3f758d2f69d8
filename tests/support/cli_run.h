// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// Runs of the vardell-cli program from a test, to their end.
#pragma once

#include <string>
#include <vector>

namespace vardell::test {

struct CliRun {
  int exitCode = -1;  // 128 + the signal when it was killed
  std::string out;    // the status lines
  std::string err;
};

// Runs vardell-cli with `args` until it ends, its output kept in `stem`.stdout and .stderr.
CliRun runVardellCli(const std::vector<std::string>& args, const std::string& stem);

}  // namespace vardell::test
