// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// Which status lines say how a run ended: the verdict and the summary after it. A terminal
// asked to be quiet, and an unattended run's standard output, show only these.
#pragma once

#include "engine/run_texts.h"

#include <string_view>

namespace vardell {

// Every verdict, the last line of a run.
inline constexpr std::string_view kVerdictLines[] = {
    "Folders match", "Folders do not match", "Compare aborted", "Replication completed", "Replication aborted",
    kDryRunVerdict};

bool isVerdictOrSummaryLine(std::string_view line);

}  // namespace vardell
