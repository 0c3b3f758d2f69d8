// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// Pairing by name through whole runs: names that differ only in letter case, files and
// folders of folded-equal names, and times an hour apart. Every Sync row runs twice: the
// second run must find nothing to move to the trash.
#include "tests/support/command_fixture.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <optional>

using namespace vardell;
using namespace vardell::test;

namespace {

struct PairingRow {
  const char* name;
  Lines master;      // "path=content" files and "path/" folders
  Lines mirror;
  bool caseSensitive;
  Lines compared;    // Compare's lines, "M/" and "R/" standing for the two folders
  Lines mirrorAfter;  // the mirror after two Syncs
  Lines trashed;      // what the first Sync moved to the trash
  int notDone;        // actions a Sync counts as not done, on each run
};

struct PairingRuns : CommandTest, ::testing::WithParamInterface<PairingRow> {
  void make(const std::string& root, const Lines& entries) {
    for (const std::string& entry : entries) {
      const auto equals = entry.find('=');
      if (equals == std::string::npos) {
        tree.makeFolder(root + entry);
      } else {
        tree.writeFile(root + entry.substr(0, equals), entry.substr(equals + 1));
      }
    }
  }
  std::string expand(const std::string& line) const {
    std::string out = line;
    for (const auto& [mark, folder] : {std::pair{std::string("M/"), master() + "/"}, std::pair{std::string("R/"), mirror() + "/"}}) {
      for (auto at = out.find(mark); at != std::string::npos; at = out.find(mark, at + folder.size())) {
        if (at == 0 || out[at - 1] == ' ') out.replace(at, mark.size(), folder);
      }
    }
    return out;
  }
};

TEST_P(PairingRuns, CompareReportsAndTwoSyncsConverge) {
  const PairingRow& row = GetParam();
  make("m/", row.master);
  make("r/", row.mirror);
  window.caseSensitive = row.caseSensitive;
  Lines expected{comparing()};
  for (const std::string& line : row.compared) expected.push_back(expand(line));
  EXPECT_EQ(compare(), expected) << row.name;

  sync();
  EXPECT_EQ(trashedNames(), row.trashed) << row.name;
  EXPECT_EQ(engine->lastRun().failedActions, row.notDone) << row.name;
  const Lines trashedOnce = trashedNames();
  window.lines.clear();
  sync();
  EXPECT_EQ(trashedNames(), trashedOnce) << row.name << ": the second Sync moved something to the trash";
  EXPECT_EQ(engine->lastRun().failedActions, row.notDone) << row.name;
  EXPECT_EQ(tree.listing("r"), row.mirrorAfter) << row.name;
}

INSTANTIATE_TEST_SUITE_P(
    Names, PairingRuns,
    ::testing::Values(
        PairingRow{"a stale file behind a case variant",
                   {"a.txt=new"},
                   {"A.txt=new", "a.txt=stale!"},
                   false,
                   {"Unpaired mirror file R/A.txt", "Size mismatch M/a.txt", "Folders do not match"},
                   {"a.txt=new"},
                   {"A.txt", "a.txt"},
                   0},
        PairingRow{"a folder and a file of one folded name",
                   {"X/f=1", "x=2"},
                   {},
                   false,
                   {"Names differ only in letter case M/X", "Unpaired master folder M/X/",
                    "Names differ only in letter case M/x", "Unpaired master file M/x", "Folders do not match"},
                   {"X/", "X/f=1"},
                   {},
                   1},
        // The mirror's aB keeps its own master file; AB, the first, is mirrored beside it.
        PairingRow{"two files and a folder between them",
                   {"AB=1", "Ab/g=2", "aB=3"},
                   {"aB=3"},
                   false,
                   {"Names differ only in letter case M/AB", "Unpaired master file M/AB",
                    "Names differ only in letter case M/Ab", "Unpaired master folder M/Ab/",
                    "Names differ only in letter case M/aB", "Folders do not match"},
                   {"AB=1", "aB=3"},
                   {},
                   2},
        PairingRow{"a mirror-only file beside a master folder of another case",
                   {"X/f=1"},
                   {"X/f=1", "x=9"},
                   false,
                   {"Unpaired mirror file R/x", "Folders do not match"},
                   {"X/", "X/f=1"},
                   {"x"},
                   0},
        PairingRow{"folders pair across letter case",
                   {"Docs/f=1", "README.txt=r"},
                   {"docs/f=1", "readme.TXT=r"},
                   false,
                   {"Folders match"},
                   {"docs/", "docs/f=1", "readme.TXT=r"},
                   {},
                   0},
        PairingRow{"every master file of a clash is reported",
                   {"Delta.txt=1", "delta.txt=2"},
                   {},
                   false,
                   {"Names differ only in letter case M/Delta.txt", "Unpaired master file M/Delta.txt",
                    "Names differ only in letter case M/delta.txt", "Unpaired master file M/delta.txt",
                    "Folders do not match"},
                   {"Delta.txt=1"},
                   {},
                   1},
        PairingRow{"letter case counting pairs equal names only",
                   {"a.txt=1", "Docs/f=1"},
                   {"A.txt=1", "docs/f=1"},
                   true,
                   {"Unpaired mirror file R/A.txt", "Unpaired mirror folder R/docs/", "Unpaired master file M/a.txt",
                    "Unpaired master folder M/Docs/", "Folders do not match"},
                   {"Docs/", "Docs/f=1", "a.txt=1"},
                   {"A.txt", "f"},
                   0}),
    [](const auto& info) {
      std::string n = info.param.name;
      for (char& c : n) {
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
      }
      return n;
    });

// Sets TZ for one test.
class ScopedTimeZone {
 public:
  explicit ScopedTimeZone(const char* zone) {
    if (const char* old = std::getenv("TZ")) old_ = old;
    ::setenv("TZ", zone, 1);
    ::tzset();
  }
  ~ScopedTimeZone() {
    if (old_) {
      ::setenv("TZ", old_->c_str(), 1);
    } else {
      ::unsetenv("TZ");
    }
    ::tzset();
  }

 private:
  std::optional<std::string> old_;
};

TEST_F(CommandTest, TimesAnHourApartInTheRepeatedHourOfTheClockChangeDiffer) {
  const ScopedTimeZone newYork("America/New_York");
  // 2021-11-07 01:30 EDT, and 01:30 EST an hour later: the same local time.
  tree.writeFile("m/a", "same", 1636263000 + 3600);
  tree.writeFile("r/a", "same", 1636263000);
  EXPECT_EQ(compare(), (Lines{comparing(), "Time mismatch " + master("a"), "Folders do not match"}));
  window.lines.clear();
  EXPECT_EQ(sync(), (Lines{removing(), syncing(), "Time mismatch " + master("a"), "Time set " + mirror("a"),
                           "Modified " + mirror(), "Replication completed"}));
  EXPECT_EQ(trashedNames(), Lines{}) << "the mirror file held the master's bytes: only its time was set";
  window.lines.clear();
  EXPECT_EQ(compare(), (Lines{comparing(), "Folders match"}));
}

}  // namespace

namespace {

// A mirror volume that folds letter case, as exFAT, FAT and NTFS under Windows rules do:
// the run is told so, and each row of the table runs against a mirror of one entry per
// folded name.
TEST_F(CommandTest, OnAVolumeThatFoldsLetterCaseTheFirstMasterNameTakesTheOneMirrorEntry) {
  fs.foldsCase = true;
  tree.writeFile("m/Docs/a", "D1");
  tree.writeFile("m/docs/b", "d2");
  tree.writeFile("r/docs/a", "D1");
  for (int run = 0; run < 2; ++run) {
    window.lines.clear();
    sync();
    EXPECT_EQ(trashedNames(), Lines{}) << "run " << run + 1;
    EXPECT_EQ(tree.listing("r"), (Lines{"docs/", "docs/a=D1"})) << "run " << run + 1;
    EXPECT_EQ(engine->lastRun().failedActions, 1) << "the second master name is not done";
  }
}

TEST_F(CommandTest, AMasterFolderTakesThePlaceOfAMirrorFileOfAnotherCaseInOneSync) {
  tree.writeFile("m/Docs/a", "A1");
  tree.writeFile("r/docs", "x");
  sync();
  EXPECT_EQ(tree.listing("r"), (Lines{"Docs/", "Docs/a=A1"}));
  EXPECT_EQ(trashedNames(), Lines{"docs"});
  window.lines.clear();
  sync();
  EXPECT_EQ(trashedNames(), Lines{"docs"}) << "the second Sync moved something to the trash";
}

}  // namespace
