// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// Runs of one command with and without the read-ahead, and what the user saw of each:
// reading ahead on a second thread must change nothing of it.
#pragma once

#include "tests/support/command_fixture.h"

#include <set>
#include <thread>
#include <vector>

namespace vardell::test {

struct ReadAheadFixture : CommandTest {
  struct Seen {
    Lines lines;
    std::vector<int> fileProgress, overallProgress;
    int processEvents = 0;
  };
  // A run with or without the read-ahead, aborted at the given call of processEvents (0: never).
  template <typename Command>
  Seen run(bool readAhead, int abortAt, Command command) {
    fs.concurrentReads = readAhead;
    window.fileProgress.clear();
    window.overallProgress.clear();
    window.processEventsCalls = 0;
    window.onProcessEvents = [this, abortAt] {
      if (abortAt > 0 && window.processEventsCalls == abortAt) window.run->requestAbort();
    };
    command();
    return {findings(), window.fileProgress, window.overallProgress, window.processEventsCalls};
  }

  // Notes which threads open files and list folders.
  void watchThreads() {
    fs.fault = [this](Op op, const std::string&) {
      if (op == Op::Open) openers.insert(std::this_thread::get_id());
      if (op == Op::List) listers.insert(std::this_thread::get_id());
      return std::error_code{};
    };
  }
  std::set<std::thread::id> openers, listers;
};

inline void expectSame(const ReadAheadFixture::Seen& alone, const ReadAheadFixture::Seen& ahead) {
  EXPECT_EQ(alone.lines, ahead.lines);
  EXPECT_EQ(alone.fileProgress, ahead.fileProgress);
  EXPECT_EQ(alone.overallProgress, ahead.overallProgress);
  EXPECT_EQ(alone.processEvents, ahead.processEvents);
}

}  // namespace vardell::test
