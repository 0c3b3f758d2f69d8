// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// A master and a mirror folder in a temporary tree, with the trash kept inside the tree,
// an engine on a fault-injecting file system and a recording window.
#pragma once

#include "engine/sync_engine.h"
#include "tests/support/fault_filesystem.h"
#include "tests/support/recording_window.h"
#include "tests/support/temp_tree.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vardell::test {

struct EngineFixture : ::testing::Test {
  TempTree tree;
  RecordingWindow window;
  FaultFileSystem fs;
  std::unique_ptr<SyncEngine> engine;

  EngineFixture();
  // Builds the engine again with these command-line options (exclusions, letters).
  void useCommandLine(CommandLineOptions options);

  std::string master(const std::string& relative = "") const { return join("m", relative); }
  std::string mirror(const std::string& relative = "") const { return join("r", relative); }
  std::string trash(const std::string& relative) const { return tree.path("data/Trash/" + relative); }
  // Names in the home trash's files/ folder, sorted.
  std::vector<std::string> trashedNames() const;
  DirEntry entry(const std::string& path);
  // Fails the operation `op` with `error` on paths ending in `suffix`, `times` times.
  void failOn(Op op, const std::string& suffix, std::errc error, int times = 1000);

 private:
  std::string join(const char* top, const std::string& relative) const {
    return tree.path(relative.empty() ? std::string(top) : std::string(top) + "/" + relative);
  }
};

}  // namespace vardell::test
