// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// The roll-up animation's heights.
#include "shell/roll_up.h"

#include <algorithm>

namespace vardell {

bool RollUp::tick(int& clientHeight) {
  const int target = RollingUp ? 0 : FullClientHeight;
  if (RolledHeight == target) return false;
  RolledHeight = RollingUp ? std::max(target, RolledHeight - kRollUpStep) : std::min(target, RolledHeight + kRollUpStep);
  clientHeight = RolledHeight;
  return true;
}

void RollUp::setFullClientHeight(int height) {
  if (!atFullHeight()) return;
  FullClientHeight = height;
  RolledHeight = height;
}

}  // namespace vardell
