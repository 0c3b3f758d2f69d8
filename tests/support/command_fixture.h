// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// Compare and Sync runs through the engine, each checked to leave alone what it may not
// write: a Compare both trees, a Sync the master and the folder outside both trees.
#pragma once

#include "tests/support/engine_fixture.h"

#include <string>
#include <vector>

namespace vardell::test {

using Lines = std::vector<std::string>;

struct CommandTest : EngineFixture {
  CommandTest();
  // The run's lines without the date header and the elapsed time (all of a refused run's).
  Lines findings() const;
  // A Compare, checked to change neither tree.
  Lines compare();
  // A Sync, checked never to write the master (modes and inodes included) nor the
  // outside folder, which holds what links in the trees point to.
  Lines sync();
  std::string outside(const std::string& relative = "") const {
    return relative.empty() ? tree.path("out") : tree.path("out/" + relative);
  }
  std::string comparing() const { return "Comparing " + master() + " to " + mirror(); }
  std::string removing() const { return "Removing files in " + mirror() + " that don't exist in " + master(); }
  std::string syncing() const { return "Sync folder " + master() + " ---> " + mirror(); }
  bool treesEqual() const;
  // Writes the same file, with the same time, into the master and the mirror.
  void writeBoth(const std::string& relative, const std::string& content) {
    tree.writeFile("m/" + relative, content);
    tree.writeFile("r/" + relative, content);
  }
  // True when a completed status line holds `text`.
  bool anyLineContains(const std::string& text) const;
};

}  // namespace vardell::test
