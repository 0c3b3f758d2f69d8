// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// The one place where the desktop program makes its engine: the file system, the
// engine's setup and the engine serving the main window.
#pragma once

#include "engine/sync_engine.h"
#include "platform/filesystem.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vardell {

struct ShellConfig {
  CommandLineOptions commandLine;  // parameters 3 and later, when given
  // Where run logs may go, best first, each ending in "/"; empty: the running program's.
  std::vector<std::string> runLogFolders;
  // The engine's file system; empty: the real one. Tests hand in one that injects faults.
  std::function<std::unique_ptr<FileSystem>()> makeFileSystem;
};

struct WindowEngine {
  std::unique_ptr<FileSystem> fs;
  std::unique_ptr<SyncEngine> engine;
};

// Makes the engine that serves `window`. The engine attaches itself to the window.
WindowEngine makeWindowEngine(RunWindow& window, const ShellConfig& config);

}  // namespace vardell
