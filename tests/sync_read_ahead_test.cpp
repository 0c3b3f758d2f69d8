// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// A Sync that lists ahead on a second thread shows and does exactly what a Sync that lists
// everything itself shows and does: the same lines in the same order, the same progress,
// the same mirror afterwards, also when aborted halfway or when folders change under it;
// and a mirror folder swapped for a link is never written through.
#include "tests/support/read_ahead_fixture.h"

#include <algorithm>
#include <filesystem>
#include <string>

namespace vardell::test {
namespace {

struct SyncReadAhead : ReadAheadFixture {
  SyncReadAhead() {
    CommandLineOptions excluding;
    excluding.exclusions = exclusions();
    useCommandLine(excluding);
  }
  // Folders below d2/s1 are not entered; one mirror-only folder is spared by its name.
  std::vector<std::string> exclusions() const { return {"/d2/s1", mirror("d1/s0/spared")}; }

  // Eight folders of two subfolders, each with every action a Sync takes: files
  // copied, replaced, retimed and removed, folders created and removed, a folder spared by
  // an exclusion, a name clash, and a file and a folder standing where the other kind is.
  void buildTrees() {
    for (const char* top : {"m", "r", "data"}) std::filesystem::remove_all(tree.path(top));
    tree.makeFolder("m");
    tree.makeFolder("r");
    for (int folder = 0; folder < 8; ++folder) {
      const std::string top = "d" + std::to_string(folder);
      for (int sub = 0; sub < 2; ++sub) {
        const std::string dir = top + "/s" + std::to_string(sub);
        for (int file = 0; file < 8; ++file) {
          const std::string name = dir + "/f" + std::to_string(file);
          const std::string content(std::size_t(file * 37 + folder), char('a' + file));
          tree.writeFile("m/" + name, content);
          if (file == 0) continue;  // copied
          if (file == 1) tree.writeFile("r/" + name, content + "longer");  // replaced
          else if (file == 2) tree.writeFile("r/" + name, content, TempTree::kDefaultTime - 7200);  // retimed
          else tree.writeFile("r/" + name, content);
        }
        tree.writeFile("r/" + dir + "/old", "o");
        tree.writeFile("r/" + dir + "/gone/deep/x", "x");
        tree.writeFile("r/" + dir + "/spared/y", "y");
        tree.writeFile("m/" + dir + "/new/inner/n", "n");
      }
      tree.writeFile("m/" + top + "/Clash", "1");
      tree.writeFile("m/" + top + "/clash", "2");
      tree.makeFolder("m/" + top + "/kind");
      tree.writeFile("m/" + top + "/kind/k", "k");
      tree.writeFile("r/" + top + "/kind", "file");
      tree.writeFile("m/" + top + "/wasFolder", "w");
      tree.writeFile("r/" + top + "/wasFolder/w", "w");
    }
    tree.makeFolder("m/d7/only-master/a/b/c");
    tree.writeFile("r/d6/only-mirror/a/b/c", "c");
  }

  // Faults and changes through the file system, the same whichever thread meets them: a
  // master folder and a mirror folder that cannot be listed, and (with `changes`) mirror
  // folders changed just before the master folder above them is first listed: a file
  // gone from one, a file added to another.
  void injectFaults(bool changes) {
    bool changed = !changes;
    fs.fault = [this, changed](Op op, const std::string& path) mutable {
      if (op == Op::List) listers.insert(std::this_thread::get_id());
      if (op == Op::List && (path == master("d5/s1") || path == mirror("d4/s0"))) {
        return std::make_error_code(std::errc::permission_denied);
      }
      if (!changed && op == Op::List && path == master("d3")) {
        changed = true;
        std::filesystem::remove(tree.path("r/d3/s0/f3"));
        tree.writeFile("r/d3/s1/gone/late", "late");
      }
      return std::error_code{};
    };
  }

  struct Outcome {
    Seen seen;
    Lines mirrorAfter, trashed;
  };
  Outcome syncFreshTrees(bool readAhead, int abortAt = 0) {
    buildTrees();
    injectFaults(true);
    Seen seen = run(readAhead, abortAt, [this] { sync(); });
    return {seen, tree.listing("r"), trashedNames()};
  }
  void expectSameOutcome(const Outcome& alone, const Outcome& ahead) {
    expectSame(alone.seen, ahead.seen);
    EXPECT_EQ(alone.mirrorAfter, ahead.mirrorAfter) << testing::PrintToString(difference(alone.mirrorAfter, ahead.mirrorAfter));
    EXPECT_EQ(alone.trashed, ahead.trashed);
  }
  static Lines difference(const Lines& a, const Lines& b) {
    Lines only;
    std::set_symmetric_difference(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(only));
    return only;
  }
  int linesStartingWith(const Lines& lines, const std::string& opening) const {
    return int(std::count_if(lines.begin(), lines.end(), [&](const std::string& l) { return l.starts_with(opening); }));
  }
};

TEST_F(SyncReadAhead, EveryKindOfActionShowsAndDoesWhatTheWalkAloneDoes) {
  for (const CompareType type : {CompareType::SizeAndTime, CompareType::Binary}) {
    SCOPED_TRACE(int(type));
    window.type = type;
    const Outcome alone = syncFreshTrees(false);
    listers.clear();
    const Outcome ahead = syncFreshTrees(true);
    expectSameOutcome(alone, ahead);
    EXPECT_EQ(listers.size(), 2u) << "nothing was listed on the second thread";

    // The run did each kind of action, and met each fault.
    const Lines& lines = alone.seen.lines;
    for (const char* opening : {"Removed ", "Removing ", "Remove folder ", "Create folder ", "Copying ",
                                "Names differ only in letter case ", "Unpaired master folder "}) {
      EXPECT_GT(linesStartingWith(lines, opening), 0) << opening;
    }
    if (type == CompareType::SizeAndTime) {
      EXPECT_GT(linesStartingWith(lines, "Time set "), 0);
    }
    EXPECT_TRUE(tree.exists("r/d2/s1/gone/deep/x"));
    EXPECT_TRUE(tree.exists("r/d1/s0/spared/y"));
    EXPECT_FALSE(tree.exists("r/d0/s0/spared"));
    EXPECT_TRUE(tree.exists("r/d3/s0/f3"));
    EXPECT_FALSE(tree.exists("r/d3/s1/gone"));
    EXPECT_TRUE(tree.exists("r/d7/only-master/a/b/c"));
    EXPECT_FALSE(tree.exists("r/d6/only-mirror"));
    EXPECT_EQ(lines.back(), "Replication completed");
  }
}

TEST_F(SyncReadAhead, AnAbortHalfwayEndsBothRunsAtTheSameEntry) {
  const Outcome whole = syncFreshTrees(false);
  for (const int abortAt : {whole.seen.processEvents / 3, whole.seen.processEvents * 2 / 3}) {
    SCOPED_TRACE(abortAt);
    const Outcome alone = syncFreshTrees(false, abortAt);
    expectSameOutcome(alone, syncFreshTrees(true, abortAt));
    EXPECT_EQ(alone.seen.lines.back(), "Replication aborted");
    EXPECT_LT(alone.seen.lines.size(), whole.seen.lines.size());
  }
}

TEST_F(SyncReadAhead, ADryRunPrintsTheLinesItPrintedWithoutReadAhead) {
  // The dry run's file system answers from what it remembers on one thread only, so what
  // it prints does not depend on whether the file system below it reads on two.
  const auto dryRun = [this](bool readAhead) {
    CommandLineOptions excluding;
    excluding.exclusions = exclusions();
    EngineSetup setup{{tree.path("cfg") + "/"}, excluding, {}};
    setup.dryRun = true;
    engine = std::make_unique<SyncEngine>(fs, window, std::move(setup));
    buildTrees();
    injectFaults(false);
    const Lines mirrorBefore = tree.snapshot("r");
    const Seen seen = run(readAhead, 0, [this] { sync(); });
    EXPECT_EQ(tree.snapshot("r"), mirrorBefore) << "the dry run wrote the mirror";
    return seen;
  };
  const Seen alone = dryRun(false);
  expectSame(alone, dryRun(true));
  EXPECT_GT(linesStartingWith(alone.lines, "Would copy "), 0);
  EXPECT_EQ(linesStartingWith(alone.lines, "Copying "), 0);
}

// A mirror folder replaced by a link to a folder outside both trees, once after its
// listing (while the walk copies into it) and once before (while its master folder is
// listed): the copies into it fail and nothing outside changes, with or without the
// read-ahead, and both runs say the same.
TEST_F(SyncReadAhead, AMirrorFolderSwappedForALinkIsNeverWrittenThrough) {
  for (const Op swapAt : {Op::PrepareCopy, Op::List}) {
    SCOPED_TRACE(int(swapAt));
    Lines seenAlone;
    for (const bool readAhead : {false, true}) {
      for (const char* top : {"m", "r", "data", "out"}) std::filesystem::remove_all(tree.path(top));
      for (int i = 0; i < 6; ++i) {
        tree.writeFile("m/a/sub/f" + std::to_string(i), "new " + std::to_string(i));
        tree.writeFile("out/f" + std::to_string(i), "outside");
        tree.writeFile("m/b" + std::to_string(i) + "/g", "g");
      }
      tree.makeFolder("r/a/sub");
      const std::string trigger = swapAt == Op::List ? master("a/sub") : master("a/sub/f0");
      fs.fault = [&, swapAt](Op op, const std::string& path) {
        if (op == swapAt && path == trigger && !std::filesystem::is_symlink(tree.path("r/a/sub"))) {
          std::filesystem::rename(tree.path("r/a/sub"), tree.path("r/a/sub-was"));
          tree.makeLink("r/a/sub", outside());
        }
        return std::error_code{};
      };
      const Seen seen = run(readAhead, 0, [this] { sync(); });
      for (int i = 0; i < 6; ++i) EXPECT_EQ(tree.readFile("out/f" + std::to_string(i)), "outside");
      EXPECT_TRUE(std::filesystem::is_empty(tree.path("r/a/sub-was")));
      EXPECT_TRUE(tree.exists("r/b5/g"));  // the rest of the run went on
      if (readAhead) {
        EXPECT_EQ(seen.lines, seenAlone);
      }
      seenAlone = seen.lines;
    }
  }
}

}  // namespace
}  // namespace vardell::test
