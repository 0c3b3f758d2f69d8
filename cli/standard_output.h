// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// Standard output, whose first write error is kept with its reason.
#pragma once

#include <string_view>

namespace vardell::cli {

// Writes text to stdout (buffered), keeping the reason when the write fails.
void writeOutput(std::string_view text);
// Passes what is buffered on, keeping the reason when that fails.
void flushOutput();
// True when everything written so far has reached stdout; otherwise says on stderr, once,
// why the first write failed ("No space left on device", "Bad file descriptor"). A script
// must not take a cut-off output for a complete one: the caller then exits with 2.
bool outputWritten();

}  // namespace vardell::cli
