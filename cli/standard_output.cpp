// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// Standard output and its first write error.
#include "cli/standard_output.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace vardell::cli {
namespace {

int firstError = 0;      // errno of the first write that failed; 0 while none has
bool errorTold = false;  // the reason is said once, however often it is asked for

// The reason is errno right after the call that failed: later calls overwrite it.
void keepReason(int error) {
  if (firstError == 0 && std::ferror(stdout)) firstError = error != 0 ? error : EIO;
}

}  // namespace

void writeOutput(std::string_view text) {
  errno = 0;
  std::fwrite(text.data(), 1, text.size(), stdout);
  keepReason(errno);
}

void flushOutput() {
  errno = 0;
  std::fflush(stdout);
  keepReason(errno);
}

bool outputWritten() {
  flushOutput();
  if (firstError == 0) return true;
  if (!errorTold) std::fprintf(stderr, "vardell-cli: cannot write to standard output: %s\n", std::strerror(firstError));
  errorTold = true;
  return false;
}

}  // namespace vardell::cli
