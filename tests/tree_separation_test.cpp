// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// Master and mirror never touch: nesting told by identity, the trash and the run log
// outside both trees, one run per mirror, nothing written before a refusal, and safety
// stops that count as failures.
#include "tests/support/command_fixture.h"
#include "tests/support/scoped_mount.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

using namespace vardell;
using namespace vardell::test;

namespace {

struct SeparationTest : CommandTest {
  // The engine with its run log folders where a test wants them.
  void useRunLogFolders(std::vector<std::string> folders) {
    engine = std::make_unique<SyncEngine>(fs, window, EngineSetup{std::move(folders), {}, {}});
  }
  std::vector<std::string> filesIn(const std::string& relative) const {
    return tree.exists(relative) ? tree.listing(relative) : std::vector<std::string>{};
  }
};

#define REQUIRE_MOUNTED(m) \
  if (!(m).mounted()) GTEST_SKIP() << "mounting is refused here"

TEST_F(SeparationTest, AMasterThatIsABindMountOfAMirrorFolderIsRefused) {
  tree.writeFile("r/m/doc.txt", "only copy");
  const auto mount = ScopedMount::bind(mirror("m"), master());
  REQUIRE_MOUNTED(mount);
  sync();
  EXPECT_EQ(engine->lastRun().outcome, RunOutcome::Refused);
  EXPECT_NE(engine->lastRun().refusal.find("is inside the mirror folder"), std::string::npos) << engine->lastRun().refusal;
  EXPECT_EQ(tree.listing("r"), (Lines{"m/", "m/doc.txt=only copy"}));
  EXPECT_EQ(trashedNames(), Lines{});
}

TEST_F(SeparationTest, AMirrorThatIsABindMountOfAMasterFolderIsRefused) {
  tree.writeFile("m/sub/a", "a");
  tree.writeFile("m/b", "b");
  const auto mount = ScopedMount::bind(master("sub"), mirror());
  REQUIRE_MOUNTED(mount);
  sync();  // checks that the master was not written
  EXPECT_EQ(engine->lastRun().outcome, RunOutcome::Refused);
  EXPECT_NE(engine->lastRun().refusal.find("is inside the master folder"), std::string::npos) << engine->lastRun().refusal;
}

TEST_F(SeparationTest, AMasterMountedInsideTheMirrorIsNeverEntered) {
  tree.writeFile("m/doc.txt", "master");
  const auto mount = ScopedMount::bind(master(), mirror("inner"));
  REQUIRE_MOUNTED(mount);
  const Lines lines = sync();
  EXPECT_TRUE(anyLineContains("Folder not entered, it is the master or mirror folder itself: " + mirror("inner")))
      << ::testing::PrintToString(lines);
  EXPECT_EQ(tree.listing("m"), (Lines{"doc.txt=master"}));
  EXPECT_EQ(trashedNames(), Lines{});
  EXPECT_GT(engine->lastRun().failedActions, 0);
}

TEST_F(SeparationTest, AMirrorMountedInsideItselfIsNeverWalkedAgain) {
  writeBoth("a", "a");
  const auto mount = ScopedMount::bind(mirror(), mirror("loop"));
  REQUIRE_MOUNTED(mount);
  EXPECT_EQ(compare(), (Lines{comparing(), "Folder not entered, it is the master or mirror folder itself: " + mirror("loop"),
                              "Folders do not match"}));
}

TEST_F(SeparationTest, AHardLinkedMirrorFileNeverChangesTheMasterFileMode) {
  tree.writeFile("m/ro.txt", "read only");
  ASSERT_EQ(::chmod(master("ro.txt").c_str(), 0444), 0);
  ASSERT_EQ(::link(master("ro.txt").c_str(), mirror("extra").c_str()), 0);
  tree.writeFile("r/ro.txt", "read only");
  ASSERT_EQ(::chmod(mirror("ro.txt").c_str(), 0444), 0);
  sync();  // checks the master's modes and inodes
  EXPECT_EQ(trashedNames(), (Lines{"extra"}));
  struct stat st {};
  ASSERT_EQ(::stat(master("ro.txt").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0444u);
}

// The trees on a volume of their own, so the trash a run falls back to is that volume's.
struct VolumeSeparationTest : SeparationTest {
  ScopedMount volume = ScopedMount::tmpfs(tree.path("vol"));
  VolumeSeparationTest() {
    tree.makeFolder("vol/m");
    tree.makeFolder("vol/r");
    window.master = tree.path("vol/m");
    window.mirror = tree.path("vol/r");
  }
  std::string volumeTrash() const { return "vol/.Trash-" + std::to_string(::getuid()) + "/files"; }
};

TEST_F(VolumeSeparationTest, ATrashInsideTheMasterIsNeverUsed) {
  REQUIRE_MOUNTED(volume);
  tree.writeFile("vol/m/a", "new", 1600000100);
  tree.writeFile("vol/r/a", "old");
  tree.writeFile("vol/r/extra", "x");
  tree.makeFolder("vol/m/.local/share");
  ::setenv("XDG_DATA_HOME", tree.path("vol/m/.local/share").c_str(), 1);
  sync();
  EXPECT_EQ(tree.listing("vol/m/.local"), (Lines{"share/"}));  // no trash made in the master
  EXPECT_EQ(tree.listing(volumeTrash()), (Lines{"a=old", "extra=x"}));
  EXPECT_EQ(tree.readFile("vol/r/a"), "new");
}

TEST_F(VolumeSeparationTest, ATrashInsideTheMirrorIsNeverUsed) {
  REQUIRE_MOUNTED(volume);
  tree.writeFile("vol/m/a", "a");
  tree.writeFile("vol/r/a", "a");
  tree.writeFile("vol/r/extra", "x");
  ::setenv("XDG_DATA_HOME", tree.path("vol/r/.local/share").c_str(), 1);
  sync();
  EXPECT_EQ(tree.listing("vol/r"), (Lines{"a=a"}));
  EXPECT_EQ(tree.listing(volumeTrash()), (Lines{"extra=x"}));
  window.lines.clear();
  EXPECT_EQ(sync(), (Lines{"Removing files in " + tree.path("vol/r") + " that don't exist in " + tree.path("vol/m"),
                           "Sync folder " + tree.path("vol/m") + " ---> " + tree.path("vol/r"), "Replication completed"}));
}

TEST_F(VolumeSeparationTest, ATrashReachedThroughALinkIntoTheMasterIsNeverUsed) {
  REQUIRE_MOUNTED(volume);
  tree.writeFile("vol/m/sub/keep", "k");
  tree.writeFile("vol/r/sub/keep", "k");
  tree.writeFile("vol/r/extra", "x");
  tree.makeFolder("vol/data");
  tree.makeLink("vol/data/Trash", tree.path("vol/m/sub"));        // the trash itself is a link
  tree.makeLink("vol/via", tree.path("vol/m/sub"));               // a folder above the trash is one
  for (const std::string home : {"vol/data", "vol/via/data"}) {
    tree.writeFile("vol/r/extra", "x");
    ::setenv("XDG_DATA_HOME", tree.path(home).c_str(), 1);
    const Lines before = tree.snapshot("vol/m");
    engine->ReplicateBtnClick();
    EXPECT_EQ(tree.snapshot("vol/m"), before) << home;
    EXPECT_FALSE(tree.exists("vol/r/extra")) << home;
  }
  EXPECT_EQ(tree.listing(volumeTrash()), (Lines{"extra.2=x", "extra=x"}));
}

TEST_F(VolumeSeparationTest, MasterFoldersMountedInsideTheMirrorAreNeverEntered) {
  REQUIRE_MOUNTED(volume);
  tree.writeFile("vol/m/sub/empty/keep", "k");
  tree.writeFile("vol/m/other/o", "o");
  tree.writeFile("vol/m/q/new", "new");
  const auto mirrorOnly = ScopedMount::bind(tree.path("vol/m/sub"), tree.path("vol/r/mnt"));
  const auto paired = ScopedMount::bind(tree.path("vol/m/other"), tree.path("vol/r/q"));
  REQUIRE_MOUNTED(mirrorOnly);
  REQUIRE_MOUNTED(paired);
  const Lines before = tree.snapshot("vol/m");
  engine->ReplicateBtnClick();
  EXPECT_EQ(tree.snapshot("vol/m"), before);
  EXPECT_TRUE(anyLineContains("Folder not entered, it is the master or mirror folder itself: " + tree.path("vol/r/mnt")));
  EXPECT_TRUE(anyLineContains("Folder not entered, it is the master or mirror folder itself: " + tree.path("vol/r/q")));
  EXPECT_GT(engine->lastRun().failedActions, 0);
}

TEST_F(VolumeSeparationTest, AnotherVolumeMountedInsideTheMirrorIsMirroredInto) {
  REQUIRE_MOUNTED(volume);
  tree.writeFile("vol/m/disk/a", "a");
  const auto disk = ScopedMount::tmpfs(tree.path("vol/r/disk"));
  REQUIRE_MOUNTED(disk);
  engine->ReplicateBtnClick();
  EXPECT_EQ(tree.listing("vol/r/disk"), (Lines{"a=a"}));
  EXPECT_EQ(engine->lastRun().failedActions, 0);
}

TEST_F(SeparationTest, AWholeVolumeMirrorWhoseOnlyTrashIsInsideItRemovesNothing) {
  const auto volume = ScopedMount::tmpfs(tree.path("r"));
  REQUIRE_MOUNTED(volume);
  writeBoth("a", "a");
  tree.writeFile("r/extra", "x");
  const Lines lines = sync();
  EXPECT_TRUE(anyLineContains("The file could not be moved to the recycle bin")) << ::testing::PrintToString(lines);
  EXPECT_EQ(tree.listing("r"), (Lines{"a=a", "extra=x"}));
  EXPECT_GT(engine->lastRun().failedActions, 0);
}

TEST_F(SeparationTest, OneRunPerMirrorHoldsThroughABindMountOfIt) {
  tree.writeFile("m/a", "a");
  const auto view = ScopedMount::bind(mirror(), tree.path("view"));
  REQUIRE_MOUNTED(view);
  std::error_code ec;
  const auto otherRun = fs.tryLockFolder(tree.path("view"), ec);  // another process, another path
  ASSERT_TRUE(otherRun) << ec.message();
  sync();
  EXPECT_EQ(engine->lastRun().outcome, RunOutcome::Refused);
  EXPECT_EQ(engine->lastRun().refusal, "Another run is busy with the mirror folder " + mirror());
  EXPECT_EQ(tree.listing("r"), Lines{});
}

TEST_F(SeparationTest, TheSystemVolumeGuardHoldsThroughABindMount) {
  struct stat tmp {}, root {};
  ASSERT_EQ(::stat(tree.root().c_str(), &tmp), 0);
  ASSERT_EQ(::stat("/", &root), 0);
  if (tmp.st_dev != root.st_dev) GTEST_SKIP() << "the temporary folder is not on the volume mounted at /";
  tree.writeFile("m/a", "a");
  const auto view = ScopedMount::bind(mirror(), tree.path("view"));
  REQUIRE_MOUNTED(view);
  window.protect = true;
  window.mirror = tree.path("view");
  engine->ReplicateBtnClick();
  EXPECT_EQ(engine->lastRun().outcome, RunOutcome::Refused);
  EXPECT_NE(engine->lastRun().refusal.find("protected system volume"), std::string::npos);
  EXPECT_EQ(tree.listing("r"), Lines{});
}

TEST_F(SeparationTest, ARefusedRunWritesNothingAnywhere) {
  tree.writeFile("m/Photos/p.jpg", "p");
  tree.makeFolder("m/Photos/bk");
  window.master = master("Photos");
  window.mirror = master("Photos/bk");
  window.folderAnswer = NameAnswer::CreateFolderThenContinue;
  const Lines before = tree.snapshot();
  engine->ReplicateBtnClick();
  EXPECT_EQ(engine->lastRun().outcome, RunOutcome::Refused);
  EXPECT_NE(engine->lastRun().refusal.find("inside the master folder"), std::string::npos) << engine->lastRun().refusal;
  EXPECT_EQ(tree.snapshot(), before);  // no folder, no log, no lock file
  EXPECT_TRUE(window.formEnabled);
}

TEST_F(SeparationTest, ARunLogFolderInsideEitherTreeIsPassedOverForTheNextOne) {
  tree.writeFile("m/a", "a");
  tree.makeFolder("m/portable");
  tree.makeFolder("m/state");
  tree.makeFolder("r/state");
  const auto view = ScopedMount::bind(master(), tree.path("view"));  // the master shown a second time
  // The log folders below the master's view and below the mirror do not exist yet: nothing
  // may be made there either.
  useRunLogFolders({master("portable") + "/", (view.mounted() ? tree.path("view/.local/state/vardell") : master("x")) + "/",
                    mirror("state/vardell") + "/", tree.path("logs") + "/"});
  sync();  // checks that the master was not written
  EXPECT_EQ(filesIn("m/portable"), Lines{});
  EXPECT_EQ(tree.listing("r"), (Lines{"a=a", "portable/", "state/"}));
  EXPECT_TRUE(engine->runLogPath().starts_with(tree.path("logs/log-"))) << engine->runLogPath();
  EXPECT_EQ(filesIn("logs").size(), 1u);
}

TEST_F(SeparationTest, WithEveryRunLogFolderInsideATreeTheRunGoesOnWithoutALog) {
  tree.writeFile("m/a", "a");
  tree.makeFolder("m/.config");
  useRunLogFolders({master(".config") + "/", master(".local/state/vardell") + "/"});  // nowhere else to go
  const std::string why = "No run log is written: every folder for it lies inside the master or mirror folder";
  EXPECT_EQ(sync().front(), why);
  EXPECT_EQ(tree.listing("r"), (Lines{".config/", "a=a"}));
  EXPECT_FALSE(tree.exists("m/.local"));
  EXPECT_EQ(engine->runLogPath(), "");
  window.lines.clear();
  EXPECT_EQ(compare(), (Lines{why, comparing(), "Folders match"}));
  EXPECT_EQ(engine->lastRun().outcome, RunOutcome::FoldersMatch);
}

TEST_F(SeparationTest, AMasterThatVanishesDuringRemovalStopsWithARedLineAndAFailure) {
  tree.writeFile("m/keep", "k");
  for (const char* name : {"a", "b", "c"}) tree.writeFile(std::string("r/") + name, "x");
  window.onProcessEvents = [&] {
    if (engine->state().FilesRemoved == 1 && tree.exists("m")) std::rename(master().c_str(), tree.path("gone").c_str());
  };
  engine->ReplicateBtnClick();
  EXPECT_TRUE(anyLineContains("Master folder vanished, removal stopped: " + master()));
  EXPECT_TRUE(engine->lastRun().masterVanished);
  EXPECT_GT(engine->lastRun().failedActions, 0);
  EXPECT_EQ(trashedNames().size(), 1u);
}

TEST_F(SeparationTest, MasterNamesDifferingOnlyInLetterCaseDoNotReplaceEachOther) {
  tree.writeFile("m/File.txt", "upper");
  tree.writeFile("m/file.txt", "lower!");
  sync();
  EXPECT_EQ(tree.listing("r"), (Lines{"File.txt=upper"}));
  EXPECT_EQ(engine->lastRun().failedActions, 1);
  window.lines.clear();
  const Lines twice{removing(), syncing(), "Names differ only in letter case " + master("File.txt"),
                    "Names differ only in letter case " + master("file.txt"), "Modified " + mirror(),
                    "Failed actions: 1", "Replication completed"};
  EXPECT_EQ(sync(), twice);
  EXPECT_EQ(trashedNames(), Lines{});
  EXPECT_EQ(engine->lastRun().failedActions, 1);
}

}  // namespace
