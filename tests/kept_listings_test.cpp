// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// Compare lists the master once: the folder-size walk's listings serve both passes after
// it, for a whole tree within the budget, and nothing else.
#include "engine/kept_listings.h"
#include "tests/support/command_fixture.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <mutex>

namespace vardell::test {
namespace {

std::vector<DirEntry> entriesNamed(std::initializer_list<const char*> names) {
  std::vector<DirEntry> entries;
  for (const char* name : names) entries.push_back({.Name = name});
  return entries;
}

TEST(KeptListings, ServeAWholeTreeWithinTheBudgetAndNothingElse) {
  KeptListings kept(300);  // bytes: the first tree below fits, the second does not
  std::vector<DirEntry> entries;
  kept.startTree("/m");
  kept.keep("/m", entriesNamed({"a", "d"}));
  kept.keep("/m/d", entriesNamed({"b"}));
  EXPECT_FALSE(kept.copyTo("/m", entries)) << "nothing is served before the whole tree is listed";
  kept.finishTree(true);
  EXPECT_TRUE(kept.holds("/m"));
  EXPECT_TRUE(kept.holds("/m/d/e"));
  EXPECT_FALSE(kept.holds("/mx"));
  ASSERT_TRUE(kept.copyTo("/m/d", entries));
  EXPECT_EQ(entries.front().Name, "b");
  ASSERT_TRUE(kept.moveTo("/m/d", entries));
  EXPECT_FALSE(kept.copyTo("/m/d", entries)) << "a listing taken is kept no more";
  EXPECT_TRUE(kept.copyTo("/m", entries));

  // A tree that outgrows the budget keeps nothing, and neither does an unfinished walk.
  kept.startTree("/m");
  kept.keep("/m", entriesNamed({"a", "b", "c"}));
  kept.keep("/m/d", entriesNamed({"e", "f", "g"}));
  kept.keep("/m/e", entriesNamed({}));
  kept.finishTree(true);
  EXPECT_FALSE(kept.holds("/m"));
  EXPECT_FALSE(kept.copyTo("/m", entries));
  EXPECT_FALSE(kept.copyTo("/m/e", entries));
  kept.startTree("/m");
  kept.keep("/m", entriesNamed({"a"}));
  kept.finishTree(false);
  EXPECT_FALSE(kept.holds("/m"));
  EXPECT_FALSE(kept.moveTo("/m", entries));
}

TEST(KeptListings, GiveBackEveryFieldOfEveryEntry) {
  const std::vector<DirEntry> listed = {
      {.Name = ".", .Attr = kAttrFolder, .Kind = EntryKind::Folder, .Mode = 0755},
      {.Name = std::string(255, 'n'), .Attr = kAttrReadOnly | kAttrHidden, .Size = std::int64_t(5) << 40,
       .Time = 0xfedcba98, .MtimeNs = -1'234'567'891, .Kind = EntryKind::File, .Mode = 07777},
      {.Name = std::string("lat\xe9\0x", 6), .Size = 11, .MtimeNs = 1'600'000'000'123'456'789, .Kind = EntryKind::Symlink},
      {.Name = "fifo", .Kind = EntryKind::Special, .Mode = 0600},
  };
  KeptListings kept;
  kept.startTree("/m");
  kept.keep("/m", std::vector<DirEntry>(listed));
  kept.keep("/m/empty", {});
  kept.finishTree(true);
  std::vector<DirEntry> served;
  for (const bool take : {false, true}) {
    ASSERT_TRUE(take ? kept.moveTo("/m", served) : kept.copyTo("/m", served));
    ASSERT_EQ(served.size(), listed.size());
    for (std::size_t i = 0; i < listed.size(); ++i) {
      const DirEntry &a = listed[i], &b = served[i];
      EXPECT_TRUE(a.Name == b.Name && a.Attr == b.Attr && a.Size == b.Size && a.Time == b.Time &&
                  a.MtimeNs == b.MtimeNs && a.Kind == b.Kind && a.Mode == b.Mode)
          << "entry " << i << " came back otherwise";
    }
  }
  ASSERT_TRUE(kept.copyTo("/m/empty", served));
  EXPECT_TRUE(served.empty());
}

struct ListedOnceTest : CommandTest {
  void buildTrees() {
    for (const char* folder : {"", "d/", "d/e/"}) {
      for (const char* file : {"a", "b", "c"}) writeBoth(std::string(folder) + file, std::string(folder) + file);
    }
    tree.writeFile("r/d/mirror-only", "x");
  }
  // Counts in `listings` how often each folder is listed from now on.
  void countListings() {
    listings.clear();
    fs.fault = [this](Op op, const std::string& path) {
      const std::lock_guard lock(mutex);
      if (op == Op::List) ++listings[path];
      return std::error_code{};
    };
  }
  std::mutex mutex;
  std::map<std::string, int> listings;
};

TEST_F(ListedOnceTest, ABinaryCompareListsEachMasterFolderOnce) {
  buildTrees();
  window.type = CompareType::Binary;
  for (const bool secondThread : {false, true}) {
    fs.concurrentReads = secondThread;
    countListings();
    EXPECT_EQ(compare(), (Lines{"Calculating folder size: 27 bytes", comparing(),
                                "Unpaired mirror file " + mirror("d/mirror-only"), "Folders do not match"}));
    for (const char* folder : {"", "d", "d/e"}) {
      EXPECT_EQ(listings[master(folder)], 1) << folder << (secondThread ? " with" : " without") << " a second thread";
    }
    // Each pass lists the mirror's folders, but its root is listed once for both.
    EXPECT_EQ(listings[mirror()], 1);
    EXPECT_EQ(listings[mirror("d")], 2);
    EXPECT_EQ(listings[mirror("d/e")], 2);
  }
}

TEST_F(ListedOnceTest, OnlyTheCompareThatListedUsesTheListings) {
  buildTrees();
  window.type = CompareType::Binary;
  compare();
  tree.writeFile("m/d/e/new", "new");
  EXPECT_EQ(compare(), (Lines{"Calculating folder size: 30 bytes", comparing(),
                              "Unpaired mirror file " + mirror("d/mirror-only"),
                              "Unpaired master file " + master("d/e/new"), "Folders do not match"}));
  tree.writeFile("m/d/e/newer", "newer");
  sync();
  EXPECT_EQ(tree.readFile("r/d/e/newer"), "newer");
  EXPECT_EQ(compare().back(), "Folders match");
}

TEST_F(ListedOnceTest, AMasterFileThatVanishesAfterTheFolderSizeIsStillReported) {
  buildTrees();
  window.type = CompareType::Binary;
  bool removed = false;
  fs.fault = [&](Op op, const std::string& path) {
    if (op == Op::List && path == mirror("d") && !removed) {
      removed = true;  // the reverse pass lists the mirror folder: the master file goes now
      std::filesystem::remove(tree.path("m/d/b"));
    }
    return std::error_code{};
  };
  engine->CompareBtnClick();
  const Lines lines = findings();
  EXPECT_TRUE(removed);
  EXPECT_EQ(lines.back(), "Folders do not match");
  EXPECT_EQ(std::count_if(lines.begin(), lines.end(), [&](const std::string& line) { return line.ends_with(master("d/b")) || line.ends_with(mirror("d/b")); }), 1);
}

}  // namespace
}  // namespace vardell::test
