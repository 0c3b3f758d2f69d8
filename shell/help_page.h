// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// Where the program's help page is: beside the program, or where installing put it.
#pragma once

#include <string>

namespace vardell {

inline constexpr const char* kHelpPageName = "vardell-help.html";

// The first existing one of: programFolder + "vardell-help.html" (a portable copy or the
// build folder), programFolder + "../share/doc/vardell/vardell-help.html" (installed under
// a prefix), programFolder + "../docs/vardell-help.html" (a build folder inside the source
// tree). Empty when none exists. `programFolder` ends in "/".
std::string findHelpPage(const std::string& programFolder);

}  // namespace vardell
