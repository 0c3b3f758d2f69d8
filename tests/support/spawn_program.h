// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// Starting another program from a test: its input empty, its output into files.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace vardell::test {

// Starts args[0] (a path) with args, stdin from /dev/null, stdout into `stdoutPath` and
// stderr into `stderrPath` (into stdout's file when empty). Gives the process id, or -1
// when it could not be started.
pid_t spawnProgram(const std::vector<std::string>& args, const std::string& stdoutPath,
                   const std::string& stderrPath = "");

}  // namespace vardell::test
