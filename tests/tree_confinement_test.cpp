// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// Links are entries of their own and every operation stays beneath its tree's root, also
// when a folder is swapped for a link while the run goes on; replacements leave no gap.
#include "platform/path_text.h"
#include "tests/support/command_fixture.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>

using namespace vardell;
using namespace vardell::test;

namespace {

struct ConfinementTest : CommandTest {
  // Replaces the folder at `relative` by a link to `target`, as a hostile user might
  // while a run goes on: the folder itself is moved aside, outside both trees.
  void swapForLink(const std::string& relative, const std::string& target) {
    tree.makeFolder("aside");
    ASSERT_EQ(std::rename(tree.path(relative).c_str(), tree.path("aside/" + lastComponent(relative)).c_str()), 0);
    tree.makeLink(relative, target);
  }
  // Swaps `relative` for a link to `target` the first time `op` meets `path`; `swapped`
  // tells whether it happened.
  void swapForLinkOn(Op op, const std::string& path, const std::string& relative, const std::string& target) {
    fs.fault = [=, this](Op seen, const std::string& at) {
      if (seen == op && at == path && !swapped) {
        swapped = true;
        swapForLink(relative, target);
      }
      return std::error_code{};
    };
  }
  bool swapped = false;
};

TEST_F(ConfinementTest, SyncNeverWritesThroughAMirrorLinkToAFolder) {
  tree.writeFile("out/victim/m.txt", "outside");
  tree.makeLink("r/d", outside("victim"));
  tree.writeFile("m/d/m.txt", "master");
  const Lines expected{removing(),
                       syncing(),
                       "Unpaired master folder " + master("d") + "/",
                       "Removed " + mirror("d"),
                       "Create folder " + mirror("d") + "/",
                       "Unpaired master file " + master("d/m.txt"),
                       "Copying to " + mirror("d/m.txt"),
                       "Copy completed",
                       "Modified " + mirror(),
                       "Files Copied: 1",
                       "Files Removed: 1",
                       "Replication completed"};
  EXPECT_EQ(sync(), expected);
  EXPECT_EQ(tree.listing("r"), (Lines{"d/", "d/m.txt=master"}));
  EXPECT_EQ(trashedNames(), (Lines{"d"}));  // the link itself, restorable
}

TEST_F(ConfinementTest, SyncNeverCreatesFoldersThroughAnIntermediateMirrorLink) {
  tree.makeLink("r/a", outside());
  tree.writeFile("m/a/deep/c.txt", "c");
  sync();
  EXPECT_EQ(tree.listing("r"), (Lines{"a/", "a/deep/", "a/deep/c.txt=c"}));
  EXPECT_EQ(tree.listing("out"), Lines{});
  EXPECT_EQ(engine->lastRun().failedActions, 0);
}

TEST_F(ConfinementTest, CompareReportsAMirrorLinkWhereTheMasterHasAFolder) {
  tree.writeFile("out/victim/m.txt", "same");
  tree.makeLink("r/d", outside("victim"));
  tree.writeFile("m/d/m.txt", "same");
  EXPECT_EQ(compare(), (Lines{comparing(), "Unpaired master folder " + master("d") + "/", "Folders do not match"}));
}

TEST_F(ConfinementTest, AMasterLinkToAFolderIsMirroredAsALinkAndNeverListedThrough) {
  tree.writeFile("out/elsewhere/z", "outside");
  tree.makeLink("m/X", outside("elsewhere"));
  tree.writeFile("r/X/z", "mirror");
  const Lines first = sync();
  EXPECT_TRUE(anyLineContains("Removing " + mirror("X/z"))) << ::testing::PrintToString(first);
  EXPECT_EQ(tree.listing("r"), (Lines{"X->" + outside("elsewhere")}));
  EXPECT_EQ(trashedNames(), (Lines{"z"}));
  window.lines.clear();
  EXPECT_EQ(sync(), (Lines{removing(), syncing(), "Replication completed"}));
  EXPECT_EQ(compare(), (Lines{comparing(), "Folders match"}));
}

TEST_F(ConfinementTest, LinksOfEveryKindArePairedComparedAndCopiedAsLinks) {
  tree.writeFile("out/file", "f");
  tree.makeLink("m/toFile", outside("file"));
  tree.makeLink("m/dangling", outside("nothing-here"));
  tree.makeLink("m/loop", "loop");
  tree.makeLink("r/toFile", outside("other"));  // same name, other target text
  window.type = CompareType::AllOfTheAbove;
  sync();
  EXPECT_EQ(tree.listing("r"),
            (Lines{"dangling->" + outside("nothing-here"), "loop->loop", "toFile->" + outside("file")}));
  EXPECT_EQ(trashedNames(), (Lines{"toFile"}));
  window.lines.clear();
  EXPECT_EQ(compare().back(), "Folders match");
  EXPECT_TRUE(treesEqual());
}

TEST_F(ConfinementTest, AMasterFolderSwappedForALinkMidSyncCopiesNothingFromOutside) {
  tree.writeFile("m/sub/a", "a");
  tree.writeFile("m/sub/b", "b");
  tree.writeFile("out/secret/a", "secret a");
  tree.writeFile("out/secret/b", "secret b");
  const Lines outsideBefore = tree.snapshot("out");
  swapForLinkOn(Op::PrepareCopy, master("sub/a"), "m/sub", outside("secret"));
  engine->ReplicateBtnClick();
  ASSERT_TRUE(swapped);
  EXPECT_EQ(tree.listing("r"), (Lines{"sub/"}));
  EXPECT_EQ(tree.snapshot("out"), outsideBefore);
  EXPECT_TRUE(anyLineContains("File copy failed"));
  EXPECT_FALSE(anyLineContains("Copy completed"));
  ASSERT_FALSE(window.failures.empty());
  EXPECT_NE(window.failures[0].find("symbolic link"), std::string::npos) << window.failures[0];
  EXPECT_GT(engine->lastRun().failedActions, 0);
}

TEST_F(ConfinementTest, AMirrorFolderSwappedForALinkDuringRemovalTrashesNothingOutside) {
  writeBoth("kept", "k");
  tree.writeFile("r/sub/x", "x");
  tree.writeFile("r/sub/y", "y");
  tree.writeFile("out/victim/x", "keep x");
  tree.writeFile("out/victim/y", "keep y");
  const Lines outsideBefore = tree.snapshot("out");
  swapForLinkOn(Op::Trash, mirror("sub/x"), "r/sub", outside("victim"));
  engine->ReplicateBtnClick();
  ASSERT_TRUE(swapped);
  EXPECT_EQ(tree.snapshot("out"), outsideBefore);
  EXPECT_EQ(trashedNames(), Lines{});
  EXPECT_TRUE(anyLineContains("The file could not be moved to the recycle bin"));
  EXPECT_EQ(tree.listing("aside"), (Lines{"sub/", "sub/x=x", "sub/y=y"}));
}

TEST_F(ConfinementTest, AReplacedMirrorFileGoesToTheTrashAndTheNameHoldsTheCopy) {
  tree.writeFile("m/f", "new content", 1600000100);
  tree.writeFile("r/f", "old", 1600000000);
  sync();
  EXPECT_EQ(tree.readFile("r/f"), "new content");
  EXPECT_EQ(trashedNames(), (Lines{"f"}));
  EXPECT_EQ(tree.readFile("data/Trash/files/f"), "old");
  EXPECT_TRUE(tree.exists("data/Trash/info/f.trashinfo"));
}

TEST_F(ConfinementTest, AReplacementKilledBetweenTrashAndRenameLeavesTheOldFileInPlace) {
  tree.writeFile("m/f", "new content", 1600000100);
  tree.writeFile("r/f", "old", 1600000000);
  std::fflush(nullptr);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    fs.fault = [&](Op op, const std::string& path) {
      // The second commit of f is the replacing one: the trash holds its link by now.
      if (op == Op::CommitCopy && path == mirror("f") && fs.calls(Op::TrashLink) > 0) ::raise(SIGKILL);
      return std::error_code{};
    };
    engine->ReplicateBtnClick();
    ::_exit(0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "the hook was never reached";
  EXPECT_EQ(tree.readFile("r/f"), "old");
  EXPECT_EQ(tree.readFile("data/Trash/files/f"), "old");
  EXPECT_EQ(tree.listing("r"), (Lines{"f=old"}));  // no temporary file left behind
  sync();  // the next run finishes the job
  EXPECT_EQ(tree.readFile("r/f"), "new content");
}

TEST_F(ConfinementTest, AMirrorFolderRenamedDuringAReplacementLosesNothing) {
  tree.writeFile("m/b/f1", "new content", 1600000100);
  tree.writeFile("r/b/f1", "OLDCONTENT", 1600000000);
  bool renamed = false;
  fs.fault = [&](Op op, const std::string& path) {
    if (op == Op::TrashLink && path == mirror("b/f1") && !renamed) {
      renamed = true;
      EXPECT_EQ(std::rename(mirror("b").c_str(), mirror("b_old").c_str()), 0);
      tree.writeFile("r/b/f1", "decoy");
    }
    return std::error_code{};
  };
  engine->ReplicateBtnClick();
  ASSERT_TRUE(renamed);
  // The replaced file is restorable; the copy stayed in the folder it was begun in, and
  // what took the folder's place is untouched until the next run.
  EXPECT_EQ(tree.listing("data/Trash/files"), (Lines{"f1=OLDCONTENT"}));
  EXPECT_EQ(tree.readFile("r/b_old/f1"), "new content");
  EXPECT_EQ(tree.readFile("r/b/f1"), "decoy");
  fs.fault = nullptr;
  sync();
  EXPECT_EQ(tree.listing("r"), (Lines{"b/", "b/f1=new content"}));  // the moved folder was mirror-only
  EXPECT_EQ(tree.listing("data/Trash/files"), (Lines{"f1.2=new content", "f1.3=decoy", "f1=OLDCONTENT"}));
}

TEST_F(ConfinementTest, AMirrorFolderRenamedDuringManyReplacementsLosesNoOldFile) {
  for (int i = 0; i < 20; ++i) {
    tree.writeFile("m/many/f" + std::to_string(i), "new " + std::to_string(i), 1600000100);
    tree.writeFile("r/many/f" + std::to_string(i), "old " + std::to_string(i), 1600000000);
  }
  fs.fault = [&](Op op, const std::string& path) {
    if (op == Op::TrashLink && path == mirror("many/f0") && tree.exists("r/many")) {
      EXPECT_EQ(std::rename(mirror("many").c_str(), mirror("renamed").c_str()), 0);
    }
    return std::error_code{};
  };
  engine->ReplicateBtnClick();
  // Every old version is where it was or in the trash; nothing was written over.
  Lines trashed;
  for (const auto& name : trashedNames()) trashed.push_back(tree.readFile("data/Trash/files/" + name));
  for (int i = 0; i < 20; ++i) {
    const std::string old = "old " + std::to_string(i);
    const bool kept = tree.readFile("r/renamed/f" + std::to_string(i)) == old;
    EXPECT_TRUE(kept || std::find(trashed.begin(), trashed.end(), old) != trashed.end()) << old;
  }
  EXPECT_GT(engine->lastRun().failedActions, 0);  // the copies after the rename could not be made
}

TEST_F(ConfinementTest, AMirrorRootTheRunCreatesIsMadeWhereItWasCheckedNotThroughALink) {
  tree.writeFile("m/a", "a");
  tree.writeFile("m/sub/keep", "k");
  tree.makeFolder("p1");
  tree.makeLink("p", tree.path("p1"));
  window.mirror = tree.path("p/m");  // a mirror folder the run creates, below a link given by the user
  fs.fault = [&](Op op, const std::string& path) {
    if (op == Op::CreateFolder && path == tree.path("p/m") && tree.exists("p1")) {
      // The link above is turned to the master before the folder is made.
      EXPECT_EQ(::unlink(tree.path("p").c_str()), 0);
      tree.makeLink("p", master("sub"));
    }
    return std::error_code{};
  };
  sync();  // checks that the master was not written
  EXPECT_EQ(tree.listing("p1"), (Lines{"m/", "m/a=a", "m/sub/", "m/sub/keep=k"}));
}

TEST_F(ConfinementTest, AFileThatTakesTheNameDuringAReplacementGoesToTheTrashToo) {
  tree.writeFile("m/f", "new content", 1600000100);
  tree.writeFile("r/f", "old", 1600000000);
  fs.fault = [&](Op op, const std::string& path) {
    if (op == Op::CommitCopy && path == mirror("f") && fs.calls(Op::TrashLink) > 0 && !tree.exists("intruder")) {
      tree.writeFile("intruder", "intruder");
      std::rename(tree.path("intruder").c_str(), mirror("f").c_str());
      tree.writeFile("intruder", "seen");
    }
    return std::error_code{};
  };
  sync();
  EXPECT_EQ(tree.listing("r"), (Lines{"f=new content"}));
  EXPECT_EQ(tree.listing("data/Trash/files"), (Lines{"f.2=intruder", "f=old"}));
}

TEST_F(ConfinementTest, ALetterCaseReplacementCopiesBeforeTheOldNameIsTrashed) {
  tree.writeFile("m/Readme.txt", "new text");
  tree.writeFile("r/README.TXT", "old");
  std::string atTrashTime = "(never trashed)";
  fs.fault = [&](Op op, const std::string& path) {
    if (op == Op::Trash && path == mirror("README.TXT")) atTrashTime = tree.readFile("r/Readme.txt");
    return std::error_code{};
  };
  sync();
  EXPECT_EQ(atTrashTime, "new text");
  EXPECT_EQ(tree.listing("r"), (Lines{"Readme.txt=new text"}));
  EXPECT_EQ(trashedNames(), (Lines{"README.TXT"}));
}

TEST_F(ConfinementTest, ALetterCaseReplacementWhoseCopyFailsKeepsTheOldFile) {
  tree.writeFile("m/Readme.txt", "new text");
  tree.writeFile("r/README.TXT", "old");
  failOn(Op::PrepareCopy, "Readme.txt", std::errc::io_error);
  sync();
  EXPECT_EQ(tree.listing("r"), (Lines{"README.TXT=old"}));
  EXPECT_EQ(trashedNames(), Lines{});
}

TEST_F(ConfinementTest, AMirrorFolderWhereTheMasterHasAFileIsReplacedByIt) {
  useCommandLine({true, "N", {}});  // mirror-only entries are kept: only the copy pass meets it
  tree.writeFile("m/f", "file");
  tree.writeFile("r/f/g", "inside");
  tree.setTime("r/f", TempTree::kDefaultTime);
  const Lines expected{syncing(),
                       "Size mismatch " + master("f"),
                       "Removing " + mirror("f/g"),
                       "Remove folder " + mirror("f"),
                       "Copying to " + mirror("f"),
                       "Copy completed",
                       "Modified " + mirror(),
                       "Files Copied: 1",
                       "Files Removed: 1",
                       "Replication completed"};
  EXPECT_EQ(sync(), expected);
  EXPECT_EQ(tree.listing("r"), (Lines{"f=file"}));
  window.lines.clear();
  EXPECT_EQ(sync(), (Lines{syncing(), "Replication completed"}));
}

TEST_F(ConfinementTest, AMirrorFolderSparedByAnExclusionIsNotReplacedByTheFile) {
  useCommandLine({true, "N", {mirror("f") + "/keep"}});
  tree.writeFile("m/f", "file");
  tree.writeFile("r/f/g", "inside");
  const Lines lines = sync();
  EXPECT_TRUE(anyLineContains("Not copied, the mirror folder in its place was not removed: " + mirror("f")))
      << ::testing::PrintToString(lines);
  EXPECT_EQ(tree.listing("r"), (Lines{"f/", "f/g=inside"}));
  EXPECT_EQ(engine->lastRun().failedActions, 1);
}

}  // namespace
