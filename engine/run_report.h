// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// How the last command ended, for callers that need more than the status lines.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vardell {

enum class RunOutcome { None, FoldersMatch, FoldersDiffer, CompareAborted, SyncCompleted, SyncAborted, Refused, Cancelled };

struct RunReport {
  RunOutcome outcome = RunOutcome::None;
  std::string refusal;    // why the run was refused, for Refused
  int failedActions = 0;  // copies, removals, listings and safety stops that could not be done
  bool masterVanished = false;                // removal stopped because the master folder went away
  std::optional<std::uint64_t> masterDevice;  // the master folder's volume when the run started
  // The volumes mounted inside the master when the run started (folder, device): removal
  // stops when one is gone, and a repeating run waits for all of them again.
  std::vector<std::pair<std::string, std::uint64_t>> masterMounts;
};

}  // namespace vardell
