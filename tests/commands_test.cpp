// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// Compare and Sync end to end through the engine, on real temporary trees.
#include "engine/run_texts.h"
#include "tests/support/command_fixture.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

using namespace vardell;
using namespace vardell::test;

namespace {

TEST_F(CommandTest, IdenticalTreesMatchAndTheLogHoldsEveryLine) {
  tree.writeFile("m/a", "1");
  tree.writeFile("m/sub/b", "2");
  tree.writeFile("r/a", "1");
  tree.writeFile("r/sub/b", "2");
  EXPECT_EQ(compare(), (Lines{comparing(), "Folders match"}));
  EXPECT_EQ(engine->lastRun().outcome, RunOutcome::FoldersMatch);
  std::string expectedLog;
  for (const auto& line : window.texts()) expectedLog += line + "\r\n";
  EXPECT_EQ(tree.readFile("cfg/" + engine->runLogFileName(mirror())), expectedLog);
  EXPECT_TRUE(window.formEnabled);
  EXPECT_TRUE(engine->state().RunIdle);
}

TEST_F(CommandTest, CompareReportsMirrorOnlyEntriesBeforeMasterSideFindings) {
  writeBoth("same", "s");
  tree.writeFile("m/differs", "master");
  tree.writeFile("r/differs", "mirror!");
  tree.writeFile("r/extra", "x");
  tree.writeFile("r/ExtraDir/f", "x");
  tree.writeFile("m/new", "n");
  tree.writeFile("m/NewDir/f", "n");
  const Lines expected{comparing(),
                       "Unpaired mirror file " + mirror("extra"),
                       "Unpaired mirror folder " + mirror("ExtraDir") + "/",
                       "Size mismatch " + master("differs"),
                       "Unpaired master file " + master("new"),
                       "Unpaired master folder " + master("NewDir") + "/",
                       "Folders do not match"};
  EXPECT_EQ(compare(), expected);
  EXPECT_EQ(window.compareTypesSeen, (std::vector<CompareType>{CompareType::SizeAndTime, CompareType::SizeAndTime}));
}

TEST_F(CommandTest, ContentCompareMeasuresTheMasterFirst) {
  tree.writeFile("m/a", "12345");
  tree.writeFile("m/b/c", "67890");
  tree.writeFile("r/a", "12345");
  tree.writeFile("r/b/c", "67890");
  window.type = CompareType::Binary;
  EXPECT_EQ(compare(), (Lines{"Calculating folder size: 10 bytes", comparing(), "Folders match"}));
  EXPECT_EQ(window.compareTypesSeen, (std::vector<CompareType>{CompareType::SizeAndTime, CompareType::Binary}));
  EXPECT_EQ(engine->state().TotalBytes, 10);
}

TEST_F(CommandTest, CaseInsensitivePairingFoldsOnlyAsciiLetters) {
  tree.writeFile("m/Readme.txt", "r");
  tree.writeFile("r/README.TXT", "r");
  tree.writeFile("m/\xc3\x89t\xc3\xa9", "e");  // "Été"
  tree.writeFile("r/\xc3\xa9t\xc3\xa9", "e");  // "été": É is not folded
  EXPECT_EQ(compare(), (Lines{comparing(), "Unpaired mirror file " + mirror("\xc3\xa9t\xc3\xa9"),
                              "Unpaired master file " + master("\xc3\x89t\xc3\xa9"), "Folders do not match"}));
  window.caseSensitive = true;
  EXPECT_EQ(compare(), (Lines{comparing(), "Unpaired mirror file " + mirror("README.TXT"),
                              "Unpaired mirror file " + mirror("\xc3\xa9t\xc3\xa9"),
                              "Unpaired master file " + master("Readme.txt"),
                              "Unpaired master file " + master("\xc3\x89t\xc3\xa9"), "Folders do not match"}));
}

TEST_F(CommandTest, MasterNamesDifferingOnlyInCaseAreFlagged) {
  tree.writeFile("m/a.txt", "1");
  tree.writeFile("m/A.txt", "1");
  tree.writeFile("r/a.txt", "1");
  const Lines lines = compare();
  EXPECT_NE(std::find(lines.begin(), lines.end(), "Names differ only in letter case " + master("a.txt")), lines.end());
}

TEST_F(CommandTest, WithoutSubfoldersNothingBelowTheTopIsReported) {
  tree.writeFile("m/a", "1");
  tree.writeFile("r/a", "1");
  tree.writeFile("m/only/x", "1");
  tree.writeFile("r/other/y", "1");
  window.subfolders = false;
  EXPECT_EQ(compare(), (Lines{comparing(), "Folders match"}));
}

TEST_F(CommandTest, AnExclusionKeepsTheWalkOutOfSubfoldersAndMakesTheResultFalse) {
  useCommandLine(CommandLineOptions{true, "S", {"/Old"}});
  tree.writeFile("m/Old/f", "1");
  tree.writeFile("r/Old/f", "1");
  tree.writeFile("m/Old/Sub/g", "new");
  EXPECT_EQ(compare(), (Lines{comparing(), "Folders do not match"}));
}

TEST_F(CommandTest, AbortStopsBothPassesOfALargeCompare) {
  for (int i = 0; i < 300; ++i) {
    tree.writeFile("m/f" + std::to_string(i), "x");
    tree.writeFile("r/f" + std::to_string(i), "x");
  }
  int events = 0;
  window.onProcessEvents = [&] {
    if (++events == 20) engine->state().AbortRequested = true;
  };
  EXPECT_EQ(compare(), (Lines{comparing(), "Compare aborted"}));
  EXPECT_LT(events, 30);
  EXPECT_EQ(engine->lastRun().outcome, RunOutcome::CompareAborted);
}

TEST_F(CommandTest, AnUnopenableLogStopsTheCompareAndIsReported) {
  ASSERT_EQ(::mkdir(tree.path("cfg/" + engine->runLogFileName(mirror())).c_str(), 0700), 0);  // a folder in the log's place
  engine->CompareBtnClick();
  ASSERT_EQ(window.messages.size(), 1u);
  EXPECT_NE(window.messages[0].second.find("Cannot open the run log"), std::string::npos);
  EXPECT_EQ(engine->lastRun().outcome, RunOutcome::Refused);
  EXPECT_TRUE(window.formEnabled);
  EXPECT_TRUE(engine->state().RunIdle);
}

TEST_F(CommandTest, SyncRemovesThenCopiesAndSummarises) {
  tree.writeFile("m/new", "n");
  tree.writeFile("r/old", "o");
  const Lines expected{removing(),
                       "Unpaired mirror file " + mirror("old"),
                       "Removed " + mirror("old"),
                       syncing(),
                       "Unpaired master file " + master("new"),
                       "Copying to " + mirror("new"),
                       "Copy completed",
                       "Modified " + mirror(),
                       "Files Copied: 1",
                       "Files Removed: 1",
                       "Replication completed"};
  const Lines masterBefore = tree.listing("m");
  EXPECT_EQ(sync(), expected);
  EXPECT_EQ(tree.listing("m"), masterBefore);
  EXPECT_TRUE(treesEqual());
  EXPECT_EQ(trashedNames(), Lines{"old"});
  EXPECT_EQ(engine->lastRun().failedActions, 0);
}

TEST_F(CommandTest, SyncOfANestedTreeLeavesTheTreesEqualAndASecondSyncFindsNothing) {
  tree.writeFile("m/a", "1");
  tree.writeFile("m/d1/b", "22");
  tree.writeFile("m/d1/d2/c", "333");
  tree.makeFolder("m/empty");
  tree.writeFile("m/changed", "new content");
  tree.writeFile("r/changed", "old", TempTree::kDefaultTime - 100);
  tree.writeFile("r/gone/deep/x", "x");
  tree.writeFile("r/d1/stale", "s");
  ::chmod(mirror("changed").c_str(), 0444);
  const Lines masterBefore = tree.listing("m");
  sync();
  EXPECT_EQ(tree.listing("m"), masterBefore);
  EXPECT_TRUE(treesEqual());
  EXPECT_EQ(engine->state().FilesCopied, 4);
  EXPECT_EQ(engine->state().FilesRemoved, 2);
  window.lines.clear();
  EXPECT_EQ(sync(), (Lines{removing(), syncing(), "Replication completed"}));
  EXPECT_EQ(compare(), (Lines{comparing(), "Folders match"}));
}

TEST_F(CommandTest, TheCopyPassCreatesMissingFoldersAndWalksInside) {
  tree.writeFile("m/d/f", "1");
  tree.makeFolder("m/e");
  const Lines lines = sync();
  const Lines expected{removing(),
                       syncing(),
                       "Unpaired master folder " + master("d") + "/",
                       "Create folder " + mirror("d") + "/",
                       "Unpaired master file " + master("d/f"),
                       "Copying to " + mirror("d/f"),
                       "Copy completed",
                       "Unpaired master folder " + master("e") + "/",
                       "Create folder " + mirror("e") + "/",
                       "Modified " + mirror(),
                       "Files Copied: 1",
                       "Replication completed"};
  EXPECT_EQ(lines, expected);
}

TEST_F(CommandTest, AMirrorFileWhereTheMasterHasAFolderIsReplacedByTheFolder) {
  tree.writeFile("m/x/f", "1");
  tree.writeFile("r/x", "a file");
  tree.writeFile("m/y", "2");
  tree.writeFile("r/y/g", "a folder");
  sync();
  EXPECT_TRUE(treesEqual());
  EXPECT_EQ(trashedNames(), (Lines{"g", "x"}));
  window.lines.clear();
  EXPECT_EQ(sync(), (Lines{removing(), syncing(), "Replication completed"}));
}

TEST_F(CommandTest, LinksAreMirroredAsLinksAndLoopsAreNeverFollowed) {
  tree.writeFile("m/d/f", "1");
  ASSERT_EQ(::symlink("loop", master("loop").c_str()), 0);
  ASSERT_EQ(::symlink("..", master("d/up").c_str()), 0);
  ASSERT_EQ(::symlink("/nonexistent/target", master("dangling").c_str()), 0);
  sync();
  EXPECT_EQ(tree.listing("r"), (Lines{"d/", "d/f=1", "d/up->..", "dangling->/nonexistent/target", "loop->loop"}));
  EXPECT_EQ(engine->lastRun().failedActions, 0);
  window.type = CompareType::AllOfTheAbove;
  EXPECT_EQ(compare(), (Lines{"Calculating folder size: " + std::to_string(1 + 4 + 2 + 19) + " bytes", comparing(),
                              "Folders match"}));
}

TEST_F(CommandTest, AFolderThatCannotBeCreatedIsReportedOnce) {
  tree.writeFile("m/d/f", "1");
  failOn(Op::CreateFolder, "/r/d", std::errc::permission_denied);
  const Lines lines = sync();
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "Unpaired master folder " + master("d") + "/"), 1);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "Cannot create folder " + mirror("d") + ": Permission denied"), 1);
  EXPECT_EQ(engine->lastRun().failedActions, 1);
}

TEST_F(CommandTest, KeepExtraLeavesMirrorOnlyEntries) {
  useCommandLine(CommandLineOptions{true, "NR", {}});
  tree.writeFile("m/a", "1");
  tree.writeFile("r/extra", "x");
  tree.writeFile("r/extraDir/y", "y");
  const Lines lines = sync();
  EXPECT_EQ(lines.front(), syncing());
  EXPECT_TRUE(tree.exists("r/extra"));
  EXPECT_TRUE(tree.exists("r/extraDir/y"));
  EXPECT_EQ(window.folderQuestions, 0);  // R answers the name question
}

TEST_F(CommandTest, RemovalPassRemovesMirrorOnlyFoldersThroughTheTrash) {
  tree.writeFile("m/keep", "k");
  tree.writeFile("r/keep", "k");
  tree.writeFile("r/A/f", "1");
  const Lines expected{removing(), "Unpaired mirror folder " + mirror("A") + "/", "Removing " + mirror("A/f"),
                       "Remove folder " + mirror("A"), syncing(), "Modified " + mirror(), "Files Removed: 1",
                       "Replication completed"};
  EXPECT_EQ(sync(), expected);
  EXPECT_FALSE(tree.exists("r/A"));
}

TEST_F(CommandTest, CaseInsensitiveSyncReplacesTheMirrorFileUnderTheMastersName) {
  tree.writeFile("m/Readme.txt", "new text");
  tree.writeFile("r/README.TXT", "old");
  sync();
  EXPECT_EQ(tree.listing("r"), Lines{"Readme.txt=new text"});
  EXPECT_EQ(trashedNames(), Lines{"README.TXT"});
  window.lines.clear();
  EXPECT_EQ(sync(), (Lines{removing(), syncing(), "Replication completed"}));
}

TEST_F(CommandTest, CaseSensitiveSyncTreatsCaseVariantsAsTwoFiles) {
  window.caseSensitive = true;
  tree.writeFile("m/Readme.txt", "r");
  tree.writeFile("r/README.TXT", "r");
  sync();
  EXPECT_EQ(tree.listing("r"), Lines{"Readme.txt=r"});
  EXPECT_EQ(trashedNames(), Lines{"README.TXT"});
}

TEST_F(CommandTest, AbortDuringTheRemovalPassEndsTheCopyPassAtOnce) {
  for (int i = 0; i < 50; ++i) tree.writeFile("r/x" + std::to_string(i), "x");
  tree.writeFile("m/new", "n");
  window.onProcessEvents = [&] {
    if (engine->state().FilesRemoved == 3) engine->state().AbortRequested = true;
  };
  const Lines lines = sync();
  EXPECT_EQ(lines.back(), "Replication aborted");
  EXPECT_FALSE(tree.exists("r/new"));
  EXPECT_LE(engine->state().FilesRemoved, 4);
  EXPECT_EQ(engine->lastRun().outcome, RunOutcome::SyncAborted);
}

TEST_F(CommandTest, AbortDuringTheCopyPassStopsCopying) {
  for (int i = 0; i < 50; ++i) tree.writeFile("m/x" + std::to_string(i), "x");
  window.onProcessEvents = [&] {
    if (engine->state().FilesCopied == 3) engine->state().AbortRequested = true;
  };
  const Lines lines = sync();
  EXPECT_EQ(lines.back(), "Replication aborted");
  EXPECT_LE(engine->state().FilesCopied, 5);
  EXPECT_EQ(tree.listing("r").size(), std::size_t(engine->state().FilesCopied));  // no temporary files
}

TEST_F(CommandTest, ADifferingFileIsNotCopiedOnceAbortIsSet) {
  tree.writeFile("m/a", "new!");
  tree.writeFile("r/a", "old");
  window.onProcessEvents = [&] {
    if (engine->state().CopyPass && engine->state().CurrentPath == master("a")) engine->state().AbortRequested = true;
  };
  sync();
  EXPECT_EQ(tree.readFile("r/a"), "old");
}

TEST_F(CommandTest, TheSystemVolumeGuardEndsTheProgramWithoutWriting) {
  window.protect = true;  // the temporary trees live on the volume mounted at /
  tree.writeFile("m/a", "1");
  engine->ReplicateBtnClick();
  EXPECT_EQ(window.quitRequests, 1);
  EXPECT_TRUE(window.texts().empty());
  EXPECT_FALSE(tree.exists("r/a"));
  EXPECT_EQ(tree.listing("cfg"), Lines{});
  EXPECT_EQ(engine->lastRun().outcome, RunOutcome::Refused);
  EXPECT_TRUE(window.formEnabled);  // usable again should the program not end
  EXPECT_TRUE(engine->state().RunIdle);
}

TEST_F(CommandTest, TheSystemVolumeGuardGoesByWhatTheFileSystemSays) {
  tree.writeFile("m/a", "1");
  window.protect = true;
  fs.systemVolumeAt = tree.path("elsewhere");  // the trees are not on the system volume
  sync();
  EXPECT_EQ(engine->lastRun().outcome, RunOutcome::SyncCompleted);
  fs.systemVolumeAt = mirror();
  engine->ReplicateBtnClick();
  EXPECT_EQ(engine->lastRun().outcome, RunOutcome::Refused);
  EXPECT_EQ(engine->lastRun().refusal, "The mirror folder " + mirror() + " is on the protected system volume /");
  EXPECT_TRUE(engine->state().RunIdle);
}

TEST_F(CommandTest, ARunLogThatCannotBeOpenedStopsACompareButNotASync) {
  tree.writeFile("m/a", "1");
  failOn(Op::WriteLog, ".txt", std::errc::read_only_file_system);
  engine->CompareBtnClick();
  EXPECT_EQ(engine->lastRun().outcome, RunOutcome::Refused);
  ASSERT_EQ(window.messages.size(), 1u);
  EXPECT_NE(window.messages[0].second.find("Cannot open the run log"), std::string::npos) << window.messages[0].second;
  EXPECT_TRUE(engine->state().RunIdle);
  sync();  // its lines are all in the window
  EXPECT_EQ(engine->lastRun().outcome, RunOutcome::SyncCompleted);
  EXPECT_EQ(tree.listing("r"), Lines{"a=1"});
}

TEST_F(CommandTest, AFolderReplacedByAFileBetweenTwoListingsIsReportedNotWalked) {
  tree.writeFile("m/sub/a", "1");
  tree.writeFile("m/b", "2");
  fs.fault = [&](Op op, const std::string& path) {
    if (op == Op::List && path == master("sub") && tree.exists("m/sub/a")) {
      std::filesystem::remove_all(master("sub"));
      tree.writeFile("m/sub", "now a file");
    }
    return std::error_code{};
  };
  engine->ReplicateBtnClick();
  const Lines lines = findings();
  EXPECT_NE(std::find(lines.begin(), lines.end(), "Unpaired master folder " + master("sub")), lines.end())
      << ::testing::PrintToString(lines);
  EXPECT_EQ(tree.readFile("r/b"), "2");
  EXPECT_GT(engine->lastRun().failedActions, 0);
}

TEST_F(CommandTest, ACommandStartedWhileARunGoesOnIsRefusedByTheEngine) {
  tree.writeFile("m/a", "1");
  tree.writeFile("r/extra", "x");
  int startsDuringTheRun = 0;
  window.onProcessEvents = [&] {
    if (startsDuringTheRun++ < 3) {
      engine->CompareBtnClick();  // through pumped events, as a second click would
      engine->ReplicateBtnClick();
      EXPECT_FALSE(window.run->runIdle());
    }
  };
  const Lines expected{removing(), "Unpaired mirror file " + mirror("extra"), "Removed " + mirror("extra"), syncing(),
                       "Unpaired master file " + master("a"), "Copying to " + mirror("a"), "Copy completed",
                       "Modified " + mirror(), "Files Copied: 1", "Files Removed: 1", "Replication completed"};
  EXPECT_EQ(sync(), expected);
  EXPECT_EQ(engine->lastRun().outcome, RunOutcome::SyncCompleted);
  EXPECT_TRUE(window.run->runIdle());
}

TEST_F(CommandTest, AMirrorThatKeepsTwoSecondStampsIsNotCopiedAgain) {
  fs.evenSecondStampsBelow = mirror();  // as a FAT mirror rounds them
  tree.writeFile("m/odd", "odd second", localTime(2021, 6, 1, 12, 59, 59));
  tree.writeFile("m/even", "even second", localTime(2021, 6, 1, 12, 0, 58));
  tree.writeFile("m/sub/deep", "x", localTime(2021, 12, 31, 23, 59, 59));
  sync();
  EXPECT_EQ(engine->state().FilesCopied, 3);
  EXPECT_EQ(engine->lastRun().failedActions, 0);
  window.lines.clear();
  EXPECT_EQ(sync(), (Lines{removing(), syncing(), "Replication completed"}));
  EXPECT_EQ(compare(), (Lines{comparing(), "Folders match"}));
}

struct NamedFolders : CommandTest {
  NamedFolders() {
    tree.writeFile("a/Photos/p.jpg", "p");
    tree.makeFolder("b/Backup");
    window.master = tree.path("a/Photos");
    window.mirror = tree.path("b/Backup");
  }
};

TEST_F(NamedFolders, EqualNamesAskNothing) {
  tree.makeFolder("b/Photos");
  window.mirror = tree.path("b/Photos");
  sync();
  EXPECT_EQ(window.folderQuestions, 0);
  EXPECT_TRUE(tree.exists("b/Photos/p.jpg"));
}

TEST_F(NamedFolders, ContinueSyncsTheChosenMirror) {
  window.folderAnswer = NameAnswer::ContinueWithDifferentNames;
  sync();
  EXPECT_EQ(window.folderQuestions, 1);
  EXPECT_TRUE(tree.exists("b/Backup/p.jpg"));
  EXPECT_TRUE(tree.exists("cfg/" + engine->runLogFileName(tree.path("b/Backup"))));
}

TEST_F(NamedFolders, CreateFolderSyncsIntoANewFolderNamedLikeTheMaster) {
  window.folderAnswer = NameAnswer::CreateFolderThenContinue;
  const Lines lines = sync();
  EXPECT_TRUE(tree.exists("b/Backup/Photos/p.jpg"));
  EXPECT_EQ(window.mirror, tree.path("b/Backup/Photos"));
  EXPECT_NE(std::find(lines.begin(), lines.end(), "Modified " + tree.path("b/Backup/Photos")), lines.end());
  EXPECT_TRUE(engine->runLogPath().ends_with("-Photos.txt"));
}

TEST_F(NamedFolders, CreateFolderThatCannotBeMadeRefusesTheRun) {
  window.folderAnswer = NameAnswer::CreateFolderThenContinue;
  failOn(Op::CreateFolder, "/b/Backup/Photos", std::errc::read_only_file_system);
  engine->ReplicateBtnClick();
  EXPECT_EQ(window.texts(), Lines{"Cannot create folder " + tree.path("b/Backup/Photos") + ": Read-only file system"});
  EXPECT_EQ(engine->lastRun().outcome, RunOutcome::Refused);
  EXPECT_TRUE(window.formEnabled);
}

TEST_F(NamedFolders, CancelDoesNothingAndLeavesTheWindowIdle) {
  window.folderAnswer = NameAnswer::Cancel;
  engine->ReplicateBtnClick();
  EXPECT_TRUE(window.texts().empty());
  EXPECT_FALSE(tree.exists("b/Backup/p.jpg"));
  EXPECT_TRUE(window.formEnabled);
  EXPECT_TRUE(engine->state().RunIdle);
  EXPECT_EQ(engine->lastRun().outcome, RunOutcome::Cancelled);
}

TEST_F(NamedFolders, TheLetterRAnswersWithoutAsking) {
  useCommandLine(CommandLineOptions{true, "RQ", {}});
  sync();
  EXPECT_EQ(window.folderQuestions, 0);
  EXPECT_TRUE(tree.exists("b/Backup/p.jpg"));
  EXPECT_EQ(window.quitRequests, 1);
  EXPECT_EQ(window.trayRemovals, 1);
}

TEST_F(CommandTest, AMirrorInsideTheMasterIsRefused) {
  tree.writeFile("m/a", "1");
  window.mirror = master("inner");
  engine->ReplicateBtnClick();
  EXPECT_EQ(engine->lastRun().outcome, RunOutcome::Refused);
  EXPECT_FALSE(tree.exists("m/inner"));
  window.mirror = master();
  engine->ReplicateBtnClick();
  EXPECT_EQ(engine->lastRun().outcome, RunOutcome::Refused);
  window.master = master("a/..");
  window.mirror = tree.root();
  engine->CompareBtnClick();
  EXPECT_EQ(engine->lastRun().outcome, RunOutcome::Refused);
  EXPECT_EQ(tree.listing("m"), Lines{"a=1"});
}

TEST_F(CommandTest, AMirrorInsideTheMasterThroughABindMountIsRefused) {
  tree.writeFile("m/a", "1");
  tree.makeFolder("view");
  if (std::system(("mount --bind " + master() + " " + tree.path("view") + " 2>/dev/null").c_str()) != 0) {
    GTEST_SKIP() << "cannot bind-mount here";
  }
  window.mirror = tree.path("view/inner");
  engine->ReplicateBtnClick();
  std::system(("umount " + tree.path("view")).c_str());
  EXPECT_EQ(engine->lastRun().outcome, RunOutcome::Refused);
  EXPECT_NE(engine->lastRun().refusal.find("inside the master"), std::string::npos);
  EXPECT_FALSE(tree.exists("m/inner"));
}

TEST_F(CommandTest, ASecondRunOnTheSameMirrorIsRefused) {
  tree.writeFile("m/a", "1");
  RecordingWindow otherWindow;
  otherWindow.master = master();
  otherWindow.mirror = mirror();
  SyncEngine other(fs, otherWindow, EngineSetup{{tree.path("cfg") + "/"}, {}, {}});
  window.onProcessEvents = [&] {
    if (other.lastRun().outcome == RunOutcome::None) other.ReplicateBtnClick();
  };
  sync();
  EXPECT_EQ(other.lastRun().outcome, RunOutcome::Refused);
  EXPECT_NE(other.lastRun().refusal.find("Another run is busy"), std::string::npos);
  window.onProcessEvents = nullptr;
  other.ReplicateBtnClick();  // free again once the first run has ended
  EXPECT_EQ(other.lastRun().outcome, RunOutcome::SyncCompleted);
}

TEST_F(CommandTest, AnEmptyMasterEmptiesTheMirrorOnlyWhenConfirmed) {
  tree.writeFile("r/a", "1");
  tree.writeFile("r/d/b", "2");
  window.emptyMasterAnswer = false;
  engine->ReplicateBtnClick();
  EXPECT_EQ(window.emptyMasterQuestions, 1);
  EXPECT_EQ(engine->lastRun().outcome, RunOutcome::Refused);
  EXPECT_EQ(tree.listing("r"), (Lines{"a=1", "d/", "d/b=2"}));
  window.emptyMasterAnswer = true;
  sync();
  EXPECT_EQ(tree.listing("r"), Lines{});
}

TEST_F(CommandTest, AnUnreadableMasterFolderNeverCountsAsMissing) {
  tree.writeFile("m/d/f", "1");
  tree.writeFile("r/d/f", "1");
  tree.writeFile("r/d/g", "2");
  const std::string locked = master("d");
  fs.fault = [&](Op op, const std::string& path) {
    return op == Op::List && path == locked ? std::make_error_code(std::errc::permission_denied) : std::error_code{};
  };
  sync();
  EXPECT_EQ(tree.listing("r"), (Lines{"d/", "d/f=1", "d/g=2"}));
  EXPECT_GT(engine->lastRun().failedActions, 0);
}

TEST_F(CommandTest, DiskFullIsReportedAndStopsTheWalk) {
  tree.writeFile("m/a", "1");
  tree.writeFile("m/b/c", "2");
  failOn(Op::PrepareCopy, "/m/a", std::errc::no_space_on_device);
  const Lines lines = sync();
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[lines.size() - 3], "Disk full");
  EXPECT_EQ(lines[lines.size() - 2], "Failed actions: 2");  // the copy, and the run that stopped
  EXPECT_FALSE(tree.exists("r/b"));
}

TEST(RunTexts, SizesInDecimalUnits) {
  const LocaleFormat en;
  EXPECT_EQ(FormatSizeText(0, en), "0 bytes");
  EXPECT_EQ(FormatSizeText(999, en), "999 bytes");
  EXPECT_EQ(FormatSizeText(1000, en), "1.0 kB");
  EXPECT_EQ(FormatSizeText(12345, en), "12.3 kB");
  EXPECT_EQ(FormatSizeText(999999999, en), "1,000.0 MB");
  EXPECT_EQ(FormatSizeText(1234567890, en), "1.2 GB");
  EXPECT_EQ(FormatSizeText(2500000000000LL, en), "2,500.0 GB");
  LocaleFormat de;
  de.thousandsSeparator = ".";
  de.decimalSeparator = ",";
  EXPECT_EQ(FormatSizeText(999999999, de), "1.000,0 MB");
  EXPECT_EQ(FormatSizeText(12345678900000LL, en), "1.235E+04 GB");
}

TEST(RunTexts, HeaderAndElapsedTime) {
  std::tm t{};
  t.tm_year = 2026 - 1900;
  t.tm_mon = 11;
  t.tm_mday = 7;
  t.tm_wday = 1;
  t.tm_hour = 0;
  t.tm_min = 5;
  t.tm_sec = 9;
  EXPECT_EQ(HeaderDateText(t, LocaleFormat{}), "Mon Dec 7, 2026 12:05:09 AM");
  t.tm_hour = 13;
  EXPECT_EQ(HeaderDateText(t, LocaleFormat{}), "Mon Dec 7, 2026 1:05:09 PM");
  using namespace std::chrono;
  EXPECT_EQ(ElapsedTimeText(hours(1) + minutes(2) + seconds(5)), "1 hrs  2 mins  5 secs");
  EXPECT_EQ(ElapsedTimeText(hours(25)), "1 hrs  0 mins  0 secs");
}

}  // namespace

namespace {

struct FolderFacts {
  std::int64_t mtimeNs;
  unsigned mode;
  bool operator==(const FolderFacts&) const = default;
};

FolderFacts factsOf(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
  return {std::int64_t(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec, unsigned(st.st_mode & 07777)};
}

void setFolderTime(const std::string& path, std::time_t seconds, long nanoseconds) {
  const timespec times[2] = {{seconds, nanoseconds}, {seconds, nanoseconds}};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
}

TEST_F(CommandTest, TheFolderSizeCountsEveryFileOfNestedFolders) {
  writeBoth("sub/a", "abc");
  writeBoth("sub/deep/b", "defgh");
  writeBoth("sub/deep/deeper/c", "ij");
  writeBoth("d", "k");
  window.type = CompareType::Binary;
  EXPECT_EQ(compare(), (Lines{"Calculating folder size: 11 bytes", comparing(), "Folders match"}));
}

TEST_F(CommandTest, MirrorFoldersTakeTheMasterFoldersTimesAndModesOnceTheirContentIsDone) {
  tree.writeFile("m/a/b/f", "1");
  tree.writeFile("m/a/g", "2");
  tree.makeFolder("m/empty");
  ASSERT_EQ(::chmod(master("a").c_str(), 0750), 0);
  const std::vector<std::string> folders{"", "a", "a/b", "empty"};
  long ns = 123456789;
  for (const auto& folder : {"a/b", "a", "empty", ""}) setFolderTime(master(folder), 1500000000, ns++);
  const Lines first = sync();
  for (const auto& folder : folders) EXPECT_EQ(factsOf(mirror(folder)), factsOf(master(folder))) << folder;

  // A change deep inside moves only the folders it touches, and they are set again.
  tree.writeFile("m/a/b/new", "n");
  setFolderTime(master("a/b"), 1500000100, 5);
  tree.writeFile("r/a/extra", "x");  // the removal pass changes the mirror's a
  window.lines.clear();
  const Lines second = sync();
  for (const auto& folder : folders) EXPECT_EQ(factsOf(mirror(folder)), factsOf(master(folder))) << folder;
  EXPECT_EQ(std::count(second.begin(), second.end(), "Copy completed"), 1);  // no status line of its own

  window.lines.clear();
  EXPECT_EQ(sync(), (Lines{removing(), syncing(), "Replication completed"}));
}

}  // namespace
