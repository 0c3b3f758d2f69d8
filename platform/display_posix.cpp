// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// Display detection on POSIX: the environment variables the window systems set.
#include "platform/display.h"

#include <cstdlib>

namespace vardell {
namespace {
bool named(const char* variable) {
  const char* value = std::getenv(variable);
  return value && value[0] != '\0';
}
}  // namespace

bool displayAvailable() { return named("QT_QPA_PLATFORM") || named("DISPLAY") || named("WAYLAND_DISPLAY"); }

}  // namespace vardell
