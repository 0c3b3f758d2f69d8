// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// Reading ahead on a second thread changes nothing the user sees: the same lines in the
// same order, the same progress figures and the same pumping of events as a walk that
// lists and reads everything itself, also when the run is aborted halfway.
#include "tests/support/read_ahead_fixture.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <mutex>
#include <set>
#include <thread>

namespace vardell::test {
namespace {

struct ReadAheadTest : ReadAheadFixture {
  // A tree with thousands of differing pairs, unpaired files and folders on both sides,
  // empty files, files too large to read ahead, a link and a kind mismatch.
  void buildTrees() {
    std::filesystem::remove_all(tree.path("m"));
    std::filesystem::remove_all(tree.path("r"));
    std::filesystem::remove_all(tree.path("data"));
    tree.makeFolder("m");
    tree.makeFolder("r");
    for (int folder = 0; folder < 24; ++folder) {
      const std::string dir = "d" + std::to_string(folder) + "/s" + std::to_string(folder % 3);
      for (int file = 0; file < 150; ++file) {
        const std::string name = dir + "/f" + std::to_string(file);
        const std::string content(std::size_t((folder * 7 + file * 13) % 3000), char('a' + file % 26));
        tree.writeFile("m/" + name, content);
        if (file % 10 == 9) continue;  // master only
        std::string other = content;
        if (file % 2 == 1 && !other.empty()) other.back() = '#';  // same size and time, other bytes
        tree.writeFile("r/" + name, other);
      }
      tree.writeFile("r/" + dir + "/mirror-only", "x");
      tree.makeFolder("r/" + dir + "/mirror-only-folder/inner");
      tree.makeFolder("m/" + dir + "/master-only-folder");
      tree.writeFile("m/" + dir + "/master-only-folder/file", "y");
    }
    const std::string big(std::size_t(kReadAheadFileLimit) + 4096, 'b');
    writeBoth("d1/s1/big", big);
    tree.writeFile("m/d2/s2/bigger", big);
    tree.writeFile("r/d2/s2/bigger", big + "!");
    writeBoth("d3/s0/empty", "");
    tree.makeLink("m/d4/s1/link", "f1");
    tree.writeFile("r/d4/s1/link", "f1");
    tree.makeFolder("m/d5/s2/kind");
    tree.writeFile("r/d5/s2/kind", "file");
  }
};

TEST_F(ReadAheadTest, ContentCompareReadAheadShowsExactlyWhatTheWalkAloneShows) {
  buildTrees();
  window.type = CompareType::Binary;
  const auto compareRun = [this] { compare(); };
  const Seen alone = run(false, 0, compareRun);
  watchThreads();
  const Seen ahead = run(true, 0, compareRun);
  expectSame(alone, ahead);
  EXPECT_GT(std::count_if(alone.lines.begin(), alone.lines.end(),
                          [](const std::string& line) { return line.starts_with("Binary mismatch "); }),
            1000);
  EXPECT_EQ(alone.lines.back(), "Folders do not match");
  // Both threads did part of the work.
  EXPECT_EQ(openers.size(), 2u);
  EXPECT_EQ(listers.size(), 2u);

  // The same with every test of the compare, and with an abort in the middle of it.
  window.type = CompareType::AllOfTheAbove;
  expectSame(run(false, 0, compareRun), run(true, 0, compareRun));
  const int halfway = alone.processEvents / 2;
  const Seen abortedAlone = run(false, halfway, compareRun);
  const Seen abortedAhead = run(true, halfway, compareRun);
  expectSame(abortedAlone, abortedAhead);
  EXPECT_LT(abortedAlone.lines.size(), alone.lines.size() * 3 / 4);
}

TEST_F(ReadAheadTest, MetadataCompareListsAheadAndShowsExactlyWhatTheWalkAloneShows) {
  buildTrees();
  const auto compareRun = [this] { compare(); };
  window.type = CompareType::SizeAndTime;
  const Seen alone = run(false, 0, compareRun);
  watchThreads();
  expectSame(alone, run(true, 0, compareRun));
  EXPECT_EQ(listers.size(), 2u);
  EXPECT_EQ(openers.size(), 0u);  // nothing is read for a metadata compare
  const Seen abortedAlone = run(false, alone.processEvents / 3, compareRun);
  expectSame(abortedAlone, run(true, alone.processEvents / 3, compareRun));

  // Subfolders of an excluded folder are never entered, so none of them is taken from
  // what was listed ahead, and folders the walk skipped leave nothing behind for later.
  CommandLineOptions excluding;
  excluding.exclusions = {"/d1", "/s2"};
  useCommandLine(excluding);
  window.type = CompareType::Binary;
  const Seen excludedAlone = run(false, 0, compareRun);
  expectSame(excludedAlone, run(true, 0, compareRun));
  EXPECT_NE(excludedAlone.lines, alone.lines);
}

TEST_F(ReadAheadTest, SyncByContentReadAheadCopiesWhatTheWalkAloneCopies) {
  window.type = CompareType::Binary;
  const auto syncRun = [this] { sync(); };
  buildTrees();
  const Seen alone = run(false, 0, syncRun);
  EXPECT_TRUE(treesEqual());
  buildTrees();
  watchThreads();
  const Seen ahead = run(true, 0, syncRun);
  expectSame(alone, ahead);
  EXPECT_TRUE(treesEqual());
  EXPECT_EQ(openers.size(), 2u);

  // Aborted halfway, both leave the mirror in the same state.
  buildTrees();
  const Seen abortedAlone = run(false, alone.processEvents / 2, syncRun);
  const auto mirrorAlone = tree.listing("r");
  buildTrees();
  const Seen abortedAhead = run(true, alone.processEvents / 2, syncRun);
  expectSame(abortedAlone, abortedAhead);
  EXPECT_EQ(mirrorAlone, tree.listing("r"));
}

TEST_F(ReadAheadTest, APairThatChangesAfterItsListingIsReadByTheWalkItself) {
  // A file that grew past what is read ahead, between the listing and the reading.
  writeBoth("a", "small");
  writeBoth("b", "small");
  window.type = CompareType::Binary;
  fs.concurrentReads = true;
  bool grown = false;
  fs.fault = [&](Op op, const std::string& path) {
    if (op == Op::Open && !grown && path.ends_with("/b")) {
      grown = true;
      tree.writeFile("r/b", std::string(std::size_t(kReadAheadFileLimit) * 2, 'z'));
    }
    return std::error_code{};
  };
  engine->CompareBtnClick();
  EXPECT_TRUE(grown);
  EXPECT_EQ(findings(), (Lines{"Calculating folder size: 10 bytes", comparing(), "Binary mismatch " + master("b"),
                               "Folders do not match"}));
}

// The walk of a pass that changes the mirror says what it changed; a listing made ahead
// before that change reached it is not handed over, every other one is.
TEST_F(ReadAheadTest, AListingMadeBeforeTheWalkChangedItsFolderIsNotHandedOver) {
  for (const char* name : {"a", "ab", "b"}) {
    tree.writeFile("m/" + std::string(name) + "/f", "f");
    tree.writeFile("r/" + std::string(name) + "/f", "f");
  }
  fs.concurrentReads = true;
  std::mutex mutex;
  std::vector<std::string> listed;
  fs.fault = [&](Op op, const std::string& path) {
    const std::lock_guard lock(mutex);
    if (op == Op::List) listed.push_back(path);
    return std::error_code{};
  };
  const auto startedListing = [&](const std::string& path) {
    for (int wait = 0; wait < 10000; ++wait) {
      {
        const std::lock_guard lock(mutex);
        if (std::find(listed.begin(), listed.end(), path) != listed.end()) return true;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
  };
  WalkReadAhead readAhead(fs);
  WalkReadAhead::FolderPlan plan;
  plan.listedFolder = master();
  plan.counterpartFolder = mirror();
  plan.subfolders = {"a", "ab", "b"};
  readAhead.listAside(mirror(), ListingDetail::Full);
  ASSERT_TRUE(startedListing(mirror()));
  readAhead.noteChange(mirror("x"));  // a file in the root, made while the root was listed
  std::vector<DirEntry> entries;
  EXPECT_FALSE(readAhead.takeListing(mirror(), ListingDetail::Full, entries));
  readAhead.dropAside();

  const FolderReadAhead folder(readAhead, plan);
  // The thread lists the subfolders in order, each side in turn: once it has started on
  // the mirror side of "ab", both sides of "a" are listed.
  ASSERT_TRUE(startedListing(mirror("ab")));
  readAhead.noteChange(mirror("a/new"));
  readAhead.noteChange(mirror("abc"));  // a sibling whose name starts like one listed
  EXPECT_TRUE(readAhead.takeListing(master("a"), ListingDetail::Full, entries));
  EXPECT_FALSE(readAhead.takeListing(mirror("a"), ListingDetail::Full, entries));
  EXPECT_TRUE(readAhead.takeListing(master("ab"), ListingDetail::Full, entries));
  EXPECT_TRUE(readAhead.takeListing(mirror("ab"), ListingDetail::Full, entries));
  EXPECT_EQ(entries.size(), 3u);  // ".", ".." and f
}

}  // namespace
}  // namespace vardell::test
