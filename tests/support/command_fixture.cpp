// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// The command fixture.
#include "tests/support/command_fixture.h"

#include <cstdlib>

namespace vardell::test {

CommandTest::CommandTest() { tree.makeFolder("out"); }

Lines CommandTest::findings() const {
  Lines all = window.texts();
  const RunOutcome outcome = engine->lastRun().outcome;
  if (outcome == RunOutcome::Refused || outcome == RunOutcome::Cancelled) return all;  // no header, no time
  EXPECT_GE(all.size(), 2u);
  if (all.size() < 2) return all;
  EXPECT_TRUE(all.back().starts_with("Elapsed Time:  ")) << all.back();
  return Lines(all.begin() + 1, all.end() - 1);
}

Lines CommandTest::compare() {
  const Lines masterBefore = tree.snapshot("m"), mirrorBefore = tree.snapshot("r");
  engine->CompareBtnClick();
  EXPECT_EQ(tree.snapshot("m"), masterBefore) << "Compare wrote the master";
  EXPECT_EQ(tree.snapshot("r"), mirrorBefore) << "Compare wrote the mirror";
  return findings();
}

Lines CommandTest::sync() {
  const std::string masterFolder = window.master.substr(tree.root().size() + 1);
  const Lines masterBefore = tree.snapshot(masterFolder), outsideBefore = tree.snapshot("out");
  engine->ReplicateBtnClick();
  EXPECT_EQ(tree.snapshot(masterFolder), masterBefore) << "the master was written";
  EXPECT_EQ(tree.snapshot("out"), outsideBefore) << "the folder outside both trees was written";
  return findings();
}

bool CommandTest::anyLineContains(const std::string& text) const {
  for (const auto& line : window.texts()) {
    if (line.find(text) != std::string::npos) return true;
  }
  return false;
}

bool CommandTest::treesEqual() const {
  return std::system(("diff -r --no-dereference " + master() + " " + mirror() + " >/dev/null").c_str()) == 0;
}

}  // namespace vardell::test
