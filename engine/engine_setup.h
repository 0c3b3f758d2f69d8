// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// What an engine is given when it is made: its folders, the command line and the locale.
#pragma once

#include "platform/locale_format.h"

#include <string>
#include <vector>

namespace vardell {

// What the command line says about runs (its third and later parameters).
struct CommandLineOptions {
  bool present = false;                 // three or more parameters were given
  std::string letters;                  // the third parameter: option letters
  std::vector<std::string> exclusions;  // the fifth and later parameters

  // True when the command line is in force and its letters contain `letter`.
  bool has(char letter) const { return present && letters.find(letter) != std::string::npos; }

  // True when the letters start runs without anyone at the window (N, R or Q arm the
  // batch timer); other letters only set options for a session someone attends.
  bool armsBatchTimer() const { return has('N') || has('R') || has('Q'); }
};

struct EngineSetup {
  // Where run logs may be written, best first, each ending with "/": a run takes the first
  // that lies outside both of its folders.
  std::vector<std::string> runLogFolders;
  CommandLineOptions commandLine;  // parameters 3 and later
  LocaleFormat locale;             // names and separators for dates and sizes
  // A dry run: the commands read both trees as always but change nothing anywhere (no
  // mirror entry, no trash, no run log), and a Sync's action lines say what it would do.
  bool dryRun = false;
};

}  // namespace vardell
