// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// The desktop program's answers to --help and --version, given before anything starts.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vardell {

// The text of `vardell --help`: the parameters, the option letters, the exit status.
std::string desktopHelpText();

// When the first parameter is -h or --help, or -V or --version, writes the help or the
// version to stdout and gives the exit status (0; 1 when stdout could not take it).
// Otherwise gives nothing: the parameters are folders and letters, and nothing was written.
std::optional<int> answerHelpOrVersion(const std::vector<std::string>& parameters);

}  // namespace vardell
