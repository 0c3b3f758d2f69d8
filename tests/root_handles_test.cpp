// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// A run uses the folders it opened when it started: a folder swapped for a link, a link
// in the place of the folder a run creates, a second run on a mirror the first one made,
// and the trash, which is found from the folder an entry lies in, never from its path.
#include "tests/support/command_fixture.h"
#include "tests/support/scoped_mount.h"

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

using namespace vardell;
using namespace vardell::test;

namespace {

#define REQUIRE_MOUNTED(m) \
  if (!(m).mounted()) GTEST_SKIP() << "mounting is refused here"

struct RootHandleTest : CommandTest {
  // Puts a link to `target` where `folder` was, the folder itself moved to `movedTo`.
  void swapForLink(const std::string& folder, const std::string& movedTo, const std::string& target) {
    ASSERT_EQ(std::rename(folder.c_str(), movedTo.c_str()), 0);
    ASSERT_EQ(::symlink(target.c_str(), folder.c_str()), 0);
  }
};

TEST_F(RootHandleTest, AMirrorSwappedForALinkIntoTheMasterAfterItWasOpenedIsNeverReachedThroughIt) {
  tree.writeFile("m/a", "new", 1600000100);
  tree.writeFile("m/sub/b", "b");
  tree.writeFile("r/a", "old");
  tree.writeFile("r/extra", "x");
  fs.afterEnteringTrees = [&] { swapForLink(mirror(), tree.path("r-moved"), master("sub")); };
  for (const auto& line : sync()) EXPECT_EQ(line.find("Folders"), std::string::npos) << line;  // master checked by sync()
  EXPECT_EQ(engine->lastRun().outcome, RunOutcome::SyncCompleted);
  // The run went on in the folder it opened, wherever that folder went.
  EXPECT_EQ(tree.listing("r-moved"), (Lines{"a=new", "sub/", "sub/b=b"}));
  EXPECT_EQ(tree.listing("m/sub"), (Lines{"b=b"}));
  EXPECT_EQ(trashedNames(), (Lines{"a", "extra"}));
}

TEST_F(RootHandleTest, AMirrorSwappedForALinkIntoTheMasterJustBeforeItIsOpenedIsTestedAsOpenedAndRefused) {
  tree.writeFile("m/sub/b", "b");
  tree.writeFile("r/extra", "x");
  fs.beforeEnteringTrees = [&] { swapForLink(mirror(), tree.path("r-moved"), master("sub")); };
  sync();  // checks the master byte for byte
  EXPECT_EQ(engine->lastRun().outcome, RunOutcome::Refused);
  EXPECT_EQ(engine->lastRun().refusal, "The mirror folder " + master("sub") + " is inside the master folder");
  EXPECT_EQ(tree.listing("r-moved"), (Lines{"extra=x"}));
}

TEST_F(RootHandleTest, AMirrorThatIsALinkIntoTheMasterWhenTheRunStartsIsRefused) {
  tree.writeFile("m/sub/b", "b");
  ::rmdir(mirror().c_str());
  ASSERT_EQ(::symlink(master("sub").c_str(), mirror().c_str()), 0);
  sync();
  EXPECT_EQ(engine->lastRun().outcome, RunOutcome::Refused);
  EXPECT_EQ(engine->lastRun().refusal, "The mirror folder " + master("sub") + " is inside the master folder");
}

TEST_F(RootHandleTest, AMasterSwappedAfterItWasOpenedIsStillTheMasterTheRunReads) {
  tree.writeFile("m/a", "a");
  tree.writeFile("elsewhere/evil", "not the master");
  fs.afterEnteringTrees = [&] { swapForLink(master(), tree.path("m-moved"), tree.path("elsewhere")); };
  engine->ReplicateBtnClick();
  EXPECT_EQ(tree.listing("r"), (Lines{"a=a"}));
  EXPECT_EQ(tree.listing("elsewhere"), (Lines{"evil=not the master"}));
}

TEST_F(RootHandleTest, ALinkWhereTheRunWouldCreateTheMirrorIsRefusedAndNeverFollowed) {
  tree.writeFile("m/a", "master");
  tree.writeFile("out/keep", "k");
  ::rmdir(mirror().c_str());
  tree.makeFolder("backup");
  ASSERT_EQ(::symlink(outside().c_str(), tree.path("backup/m").c_str()), 0);
  window.mirror = tree.path("backup");
  window.folderAnswer = NameAnswer::CreateFolderThenContinue;
  engine->ReplicateBtnClick();
  EXPECT_EQ(engine->lastRun().outcome, RunOutcome::Refused);
  EXPECT_EQ(engine->lastRun().refusal, "The mirror folder " + tree.path("backup/m") +
                                           " is a symbolic link, not the folder the run would create");
  EXPECT_EQ(tree.listing("out"), (Lines{"keep=k"}));
  EXPECT_EQ(trashedNames(), Lines{});
}

TEST_F(RootHandleTest, AMirrorTheRunCreatesIsLockedFromTheMomentItExists) {
  tree.writeFile("m/a", "a");
  ::rmdir(mirror().c_str());
  std::unique_ptr<HeldLock> secondRun;
  std::error_code secondRunError;
  bool tried = false;
  window.onProcessEvents = [&] {
    if (tried || !tree.exists("r")) return;
    tried = true;
    // Another process starts on the mirror the first run has just made.
    secondRun = makePosixFileSystem()->tryLockFolder(mirror(), secondRunError);
  };
  sync();
  ASSERT_TRUE(tried);
  EXPECT_FALSE(secondRun);
  EXPECT_EQ(secondRunError, std::errc::resource_unavailable_try_again);
  EXPECT_EQ(tree.listing("r"), (Lines{"a=a"}));
  // No hidden folder is left behind where the mirror was made.
  for (const auto& name : tree.listing("")) EXPECT_EQ(name.find(".vardell-new-"), std::string::npos) << name;
}

TEST_F(RootHandleTest, AnEmptyOrRelativeFolderIsRefusedAndNeverTheWorkingFolder) {
  tree.writeFile("m/a", "a");
  const Lines outsideBefore = tree.snapshot("out");
  char cwd[4096];
  ASSERT_TRUE(::getcwd(cwd, sizeof cwd));
  ASSERT_EQ(::chdir(outside().c_str()), 0);
  window.mirror = "";
  engine->ReplicateBtnClick();
  EXPECT_EQ(engine->lastRun().outcome, RunOutcome::Refused);
  EXPECT_EQ(engine->lastRun().refusal, "The mirror folder \"\" is not a full path");
  window.mirror = mirror();
  window.master = "";
  engine->CompareBtnClick();
  EXPECT_EQ(engine->lastRun().outcome, RunOutcome::Refused);
  EXPECT_EQ(engine->lastRun().refusal, "The master folder \"\" is not a full path");
  ASSERT_EQ(::chdir(cwd), 0);
  EXPECT_EQ(tree.snapshot("out"), outsideBefore);
}

TEST_F(RootHandleTest, ADriveUnmountedFromInsideTheMasterDuringRemovalStopsItAsAVanishedMasterDoes) {
  tree.writeFile("m/a", "a");
  tree.writeFile("r/a", "a");
  const auto drive = ScopedMount::tmpfs(master("disk"));
  REQUIRE_MOUNTED(drive);
  writeBoth("disk/photo", "p");
  writeBoth("disk/deep/photo", "p");
  bool unmounted = false;
  window.onProcessEvents = [&] {
    if (unmounted || !engine->state().RemovalPass) return;
    unmounted = ::umount2(master("disk").c_str(), MNT_DETACH) == 0;  // the drive is unplugged
  };
  engine->ReplicateBtnClick();  // the master changes under the run: the drive is gone
  ASSERT_TRUE(unmounted);
  EXPECT_TRUE(anyLineContains("Master folder vanished, removal stopped: " + master("disk")));
  EXPECT_EQ(trashedNames(), Lines{});
  EXPECT_EQ(tree.listing("r/disk"), (Lines{"deep/", "deep/photo=p", "photo=p"}));
  EXPECT_TRUE(engine->lastRun().masterVanished);
  EXPECT_GT(engine->lastRun().failedActions, 0);
}

// The mirror on a volume of its own and a folder outside both trees on another, with the
// home trash elsewhere: the trash a run uses is the mirror volume's.
struct TrashFromHandleTest : RootHandleTest {
  ScopedMount mirrorVolume = ScopedMount::tmpfs(tree.path("vol"));
  ScopedMount outsideVolume = ScopedMount::tmpfs(tree.path("out"));
  TrashFromHandleTest() {
    tree.makeFolder("vol/r");
    window.mirror = tree.path("vol/r");
  }
  std::string volumeTrash() const { return "vol/.Trash-" + std::to_string(::getuid()); }
};

TEST_F(TrashFromHandleTest, AMirrorSwappedForALinkWhileACopyIsWrittenNeverPutsATrashOutside) {
  REQUIRE_MOUNTED(mirrorVolume);
  REQUIRE_MOUNTED(outsideVolume);
  tree.writeFile("m/sub/f", "new", 1600000100);
  tree.writeFile("vol/r/sub/f", "old");
  tree.writeFile("out/sub/keep", "k");
  bool swapped = false;
  fs.fault = [&](Op op, const std::string&) -> std::error_code {
    if ((op == Op::TrashLink || op == Op::Trash) && !swapped) {
      swapped = true;  // the copy's folder is open; the mirror's path now leads outside
      swapForLink(tree.path("vol/r"), tree.path("vol/r-moved"), outside());
    }
    return {};
  };
  sync();
  ASSERT_TRUE(swapped);
  EXPECT_EQ(tree.listing("out"), (Lines{"sub/", "sub/keep=k"}));
  EXPECT_EQ(tree.listing(volumeTrash() + "/files"), (Lines{"f=old"}));
  EXPECT_EQ(tree.readFile("vol/r-moved/sub/f"), "new");
}

TEST_F(TrashFromHandleTest, TheTrashRecordsThePathBelowTheVolumeTop) {
  REQUIRE_MOUNTED(mirrorVolume);
  tree.writeFile("m/a", "a");
  tree.writeFile("vol/r/a", "a");
  tree.writeFile("vol/r/extra", "x");
  sync();
  EXPECT_EQ(tree.listing(volumeTrash() + "/files"), (Lines{"extra=x"}));
  const std::string info = tree.readFile(volumeTrash() + "/info/extra.trashinfo");
  EXPECT_NE(info.find("\nPath=r/extra\n"), std::string::npos) << info;
}

}  // namespace
