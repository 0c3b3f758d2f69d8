// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// The desktop program's engine.
#include "shell/window_engine.h"

#include "platform/folders.h"
#include "platform/locale_format.h"

namespace vardell {

WindowEngine makeWindowEngine(RunWindow& window, const ShellConfig& config) {
  WindowEngine made;
  made.fs = config.makeFileSystem ? config.makeFileSystem() : makePosixFileSystem();
  std::vector<std::string> logFolders = config.runLogFolders.empty() ? ownFolders().runLogs : config.runLogFolders;
  made.engine = std::make_unique<SyncEngine>(
      *made.fs, window, EngineSetup{std::move(logFolders), config.commandLine, systemLocaleFormat()});
  return made;
}

}  // namespace vardell
