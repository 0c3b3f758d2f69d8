// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// Which status lines say how a run ended: the verdict and the summary after it. A terminal
// asked to be quiet, and an unattended run's standard output, show only these.
#pragma once

#include <string_view>

namespace vardell {

bool isVerdictOrSummaryLine(std::string_view line);

}  // namespace vardell
