// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// The desktop program's --help and --version texts.
#include "shell/program_help.h"

#include "engine/version.h"

#include <cstdio>

namespace vardell {

std::string desktopHelpText() {
  return "Usage: vardell [MASTER MIRROR [LETTERS [MINUTES [EXCLUSION...]]]]\n"
         "Keeps a mirror folder equal to a master folder: the desktop program.\n"
         "\n"
         "Without parameters the window opens on the folders of the last session; with MASTER\n"
         "and MIRROR (full paths) it opens on that pair. LETTERS set the options and run\n"
         "Compare or Sync by themselves, in any order (upper case):\n"
         "  R  Sync at every tick               P  Compare at every tick\n"
         "  Q  run once; after a Sync the program ends\n"
         "  N  arm the timer; Sync removes nothing that is only in the mirror\n"
         "  T  compare size and time            B  compare content\n"
         "  A  compare both                     S  include subfolders\n"
         "  C  case-sensitive names             D  don't modify the volume mounted at /\n"
         "  M  start minimised to the notification area\n"
         "MINUTES is the time between runs, 0 to 35791 (without it, runs follow each other).\n"
         "Each EXCLUSION is a text: a folder whose path contains it is not walked into.\n"
         "\n"
         "Without a display the program runs off screen; LETTERS must then hold R or P.\n"
         "vardell-cli is the terminal front end for scripts and cron.\n"
         "\n"
         "  -h, --help     show this help and exit\n"
         "  -V, --version  show the version and exit\n"
         "\n"
         "Exit status of a batch run: 0 all done (Compare: the folders match), 1 the folders\n"
         "differ, an action failed, the run was aborted or a safety stop ended it, 2 nothing\n"
         "was run (a missing folder, bad parameters).\n"
         "See vardell(1). Home page: <https://vardell.org/>\n";
}

std::optional<int> answerHelpOrVersion(const std::vector<std::string>& parameters) {
  if (parameters.empty()) return std::nullopt;
  const std::string& first = parameters.front();
  std::string answer;
  if (first == "-h" || first == "--help") {
    answer = desktopHelpText();
  } else if (first == "-V" || first == "--version") {
    answer = versionText("vardell");
  } else {
    return std::nullopt;
  }
  const bool written = std::fputs(answer.c_str(), stdout) >= 0 && std::fflush(stdout) == 0;
  return written ? 0 : 1;
}

}  // namespace vardell
