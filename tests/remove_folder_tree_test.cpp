// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// Removing mirror-only folders.
#include "tests/support/engine_fixture.h"

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>

#include <cstdio>

using namespace vardell;
using namespace vardell::test;

namespace {

using Lines = std::vector<std::string>;

struct RemoveTest : EngineFixture {};

TEST_F(RemoveTest, FilesGoFirstThenFoldersDeepestFirst) {
  tree.writeFile("r/A/f", "1");
  tree.writeFile("r/A/B/g", "2");
  ::chmod(mirror("A/B/g").c_str(), 0444);
  engine->RemoveFolderTree(mirror("A"));
  // "B" lists before "f": entries come in name order.
  EXPECT_EQ(window.texts(), (Lines{"Removing " + mirror("A/B/g"), "Remove folder " + mirror("A/B"),
                                   "Removing " + mirror("A/f"), "Remove folder " + mirror("A")}));
  EXPECT_EQ(window.lines[0].fragments[0].colour, Colour::Blue);
  EXPECT_EQ(engine->state().FilesRemoved, 2);
  EXPECT_FALSE(tree.exists("r/A"));
  EXPECT_EQ(trashedNames(), (Lines{"f", "g"}));
}

TEST_F(RemoveTest, FilesListedBeforeASubfolderAreRemovedBeforeIt) {
  tree.writeFile("r/A/a", "1");
  tree.writeFile("r/A/B/g", "2");
  engine->RemoveFolderTree(mirror("A"));
  EXPECT_EQ(window.texts(), (Lines{"Removing " + mirror("A/a"), "Removing " + mirror("A/B/g"),
                                   "Remove folder " + mirror("A/B"), "Remove folder " + mirror("A")}));
}

TEST_F(RemoveTest, AnEmptyFolderGivesOneLine) {
  tree.makeFolder("r/empty");
  engine->RemoveFolderTree(mirror("empty"));
  EXPECT_EQ(window.texts(), Lines{"Remove folder " + mirror("empty")});
  EXPECT_FALSE(tree.exists("r/empty"));
}

TEST_F(RemoveTest, ExclusionTextsSpareFoldersWhosePathTheyContain) {
  useCommandLine(CommandLineOptions{true, "S", {mirror("Old/Keep")}});
  for (const char* name : {"Old", "Ol", "Older", "Other"}) tree.writeFile(std::string("r/") + name + "/x", "x");
  for (const char* name : {"Old", "Ol", "Older", "Other"}) engine->RemoveFolderTree(mirror(name));
  EXPECT_TRUE(tree.exists("r/Old/x"));
  EXPECT_TRUE(tree.exists("r/Ol/x"));
  EXPECT_FALSE(tree.exists("r/Older"));
  EXPECT_FALSE(tree.exists("r/Other"));
}

TEST_F(RemoveTest, ExclusionTextsAreCaseSensitive) {
  std::string upper = mirror("OLD/Keep");
  useCommandLine(CommandLineOptions{true, "S", {upper}});
  tree.writeFile("r/Old/x", "x");
  engine->RemoveFolderTree(mirror("Old"));
  EXPECT_FALSE(tree.exists("r/Old"));
}

TEST_F(RemoveTest, AVanishedMasterStopsAllRemovalAndAsksToQuit) {
  for (const char* name : {"a", "b", "c"}) tree.writeFile(std::string("r/A/") + name, "x");
  engine->rememberMasterVolume();
  window.onProcessEvents = [&] {
    if (engine->state().FilesRemoved == 1 && tree.exists("m")) std::rename(master().c_str(), tree.path("gone").c_str());
  };
  engine->RemoveFolderTree(mirror("A"));
  EXPECT_EQ(window.texts(), (Lines{"Removing " + mirror("A/a"), "Master folder vanished, removal stopped: " + master()}));
  EXPECT_EQ(window.lines[1].fragments[0].colour, Colour::Red);
  EXPECT_TRUE(engine->lastRun().masterVanished);
  EXPECT_TRUE(tree.exists("r/A/b"));
  EXPECT_TRUE(tree.exists("r/A/c"));
  EXPECT_GE(window.quitRequests, 1);
}

TEST_F(RemoveTest, AMasterWhoseDriveWasUnmountedCountsAsVanished) {
  if (::mount("vardell-test", master().c_str(), "tmpfs", 0, "size=1m") != 0) GTEST_SKIP() << "cannot mount here";
  tree.writeFile("r/A/a", "x");
  engine->rememberMasterVolume();
  ASSERT_EQ(::umount2(master().c_str(), MNT_DETACH), 0);  // the empty mount point stays
  engine->RemoveFolderTree(mirror("A"));
  EXPECT_EQ(window.texts(), Lines{"Master folder vanished, removal stopped: " + master()});
  EXPECT_TRUE(tree.exists("r/A/a"));
  EXPECT_EQ(window.quitRequests, 1);
}

TEST_F(RemoveTest, AbortKeepsTheRestAndWarnsOncePerFolderLevel) {
  for (const char* name : {"a", "b", "c"}) tree.writeFile(std::string("r/A/B/") + name, "x");
  tree.writeFile("r/A/d", "x");
  window.onProcessEvents = [&] {
    if (engine->state().FilesRemoved == 1) engine->state().AbortRequested = true;
  };
  engine->RemoveFolderTree(mirror("A"));
  // The abort is seen before the entry after the one whose events raised it.
  EXPECT_EQ(window.texts(), (Lines{"Removing " + mirror("A/B/a"), "Removing " + mirror("A/B/b"),
                                   "Remove folder " + mirror("A/B"), "Remove folder " + mirror("A")}));
  EXPECT_TRUE(tree.exists("r/A/B/c"));
  EXPECT_TRUE(tree.exists("r/A/d"));
  const std::pair<std::string, std::string> warning{"Warning", "Cannot remove directory"};
  EXPECT_EQ(window.messages, (std::vector<std::pair<std::string, std::string>>{warning, warning}));
}

TEST_F(RemoveTest, AFolderThatIsBusyForAWhileIsRemovedWithoutAWarning) {
  tree.makeFolder("r/A");
  failOn(Op::RemoveFolder, "/r/A", std::errc::device_or_resource_busy, 60);
  engine->RemoveFolderTree(mirror("A"));
  EXPECT_FALSE(tree.exists("r/A"));
  EXPECT_TRUE(window.messages.empty());
}

TEST_F(RemoveTest, AFileStillInPlaceIsReportedAsNotRemoved) {
  tree.writeFile("r/A/a", "x");
  failOn(Op::Trash, "/A/a", std::errc::permission_denied);
  engine->RemoveFolderTree(mirror("A"));
  ASSERT_GE(window.lines.size(), 2u);
  EXPECT_EQ(window.texts()[0], "Failed to remove file " + mirror("A/a"));
  EXPECT_EQ(window.lines[0].fragments[0].colour, Colour::Red);
  EXPECT_EQ(engine->state().FilesRemoved, 0);
  EXPECT_TRUE(tree.exists("r/A/a"));
}

TEST_F(RemoveTest, ARefusedAttributeChangeIsReportedAndRemovalStillTried) {
  tree.writeFile("r/A/a", "x");
  failOn(Op::ResetAttributes, "/A/a", std::errc::operation_not_permitted);
  engine->RemoveFolderTree(mirror("A"));
  EXPECT_EQ(window.texts(), (Lines{"Cant change file attributes", "Removing " + mirror("A/a"),
                                   "Remove folder " + mirror("A")}));
}

}  // namespace
