// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// A dry run: the Sync's own walk over real trees, every action said and none done.
#include "engine/run_texts.h"
#include "tests/support/command_fixture.h"
#include "tests/support/fuse_volume.h"

#include <algorithm>
#include <memory>
#include <new>

namespace vardell::test {
namespace {

struct DryRun : CommandTest {
  DryRun() {
    // Every action a Sync takes: a removal, a folder removal, an exclusion that spares a
    // folder, a copy, a folder creation, a replacement and a name clash.
    tree.writeFile("r/old", "o");
    tree.writeFile("r/gone/deep/x", "x");
    tree.writeFile("r/spared/y", "y");
    tree.writeFile("m/a", "a");
    tree.writeFile("m/newdir/n", "n");
    tree.writeFile("m/sub/b", "new b");
    tree.writeFile("r/sub/b", "old", TempTree::kDefaultTime - 3600);
    tree.writeFile("m/Clash", "1");
    tree.writeFile("m/clash", "2");
  }
  void useEngine(bool dryRun) {
    CommandLineOptions commandLine;
    commandLine.exclusions = {mirror("spared")};
    EngineSetup setup{{tree.path("cfg") + "/"}, commandLine, {}};
    setup.dryRun = dryRun;
    engine = std::make_unique<SyncEngine>(fs, window, std::move(setup));
  }
  // The lines of a run as a dry run words them (see notDoneOpening).
  Lines asNotDone(const std::vector<StatusLine>& lines) const {
    Lines worded;
    for (const StatusLine& line : lines) {
      if (line.fragments.empty()) continue;
      std::string text = line.text();
      if (const auto notDone = notDoneOpening(line.fragments[0].text)) {
        if (notDone->empty()) continue;
        text = std::string(*notDone) + text.substr(line.fragments[0].text.size());
      }
      worded.push_back(text);
    }
    return Lines(worded.begin() + 1, worded.end() - 2);  // no header, verdict or elapsed time
  }
  // A dry run, then a real Sync on a new engine: the Sync's lines once worded as not done,
  // and its count of failed actions, are the dry run's.
  void expectSyncDoesWhatTheDryRunListed() {
    useEngine(true);
    engine->ReplicateBtnClick();
    const Lines listed = asNotDone(window.lines);
    const int failedWhenDry = engine->lastRun().failedActions;
    useEngine(false);
    engine->ReplicateBtnClick();
    EXPECT_EQ(asNotDone(window.lines), listed);
    EXPECT_EQ(engine->lastRun().failedActions, failedWhenDry);
  }
};

TEST_F(DryRun, SaysEveryActionAndLeavesBothTreesTheTrashAndTheLogsAsTheyWere) {
  useEngine(true);
  const Lines before = tree.snapshot();
  const Lines lines = sync();
  EXPECT_EQ(tree.snapshot(), before);
  EXPECT_TRUE(trashedNames().empty());
  const Lines expected{
      removing(),
      "Unpaired mirror folder " + mirror("gone") + "/",
      "Would remove " + mirror("gone/deep/x"),
      "Would remove folder " + mirror("gone/deep"),
      "Would remove folder " + mirror("gone"),
      "Unpaired mirror file " + mirror("old"),
      "Would remove " + mirror("old"),
      "Unpaired mirror folder " + mirror("spared") + "/",
      syncing(),
      "Unpaired master file " + master("a"),
      "Would copy to " + mirror("a"),
      "Names differ only in letter case " + master("Clash"),
      "Unpaired master file " + master("Clash"),
      "Would copy to " + mirror("Clash"),
      "Names differ only in letter case " + master("clash"),
      "Unpaired master folder " + master("newdir") + "/",
      "Would create folder " + mirror("newdir") + "/",
      "Unpaired master file " + master("newdir/n"),
      "Would copy to " + mirror("newdir/n"),
      "Size mismatch, Time mismatch " + master("sub/b"),
      "Would copy to " + mirror("sub/b"),
      "Modified " + mirror(),
      "Files Copied: 4",
      "Files Removed: 2",
      "Failed actions: 1",
      kDryRunVerdict,
  };
  EXPECT_EQ(lines, expected);
  // The clash cannot be mirrored: the status the real Sync would end with.
  EXPECT_EQ(engine->lastRun().outcome, RunOutcome::SyncCompleted);
  EXPECT_EQ(engine->lastRun().failedActions, 1);
  EXPECT_TRUE(engine->runLogPath().empty());
}

TEST_F(DryRun, ARealSyncAfterItDoesWhatItListed) {
  expectSyncDoesWhatTheDryRunListed();
  EXPECT_TRUE(tree.exists("r/spared/y"));
  EXPECT_FALSE(tree.exists("r/gone"));
  EXPECT_EQ(tree.readFile("r/sub/b"), "new b");
}

TEST_F(DryRun, IsRefusedAsTheSyncIsAndCreatesNoMirrorFolder) {
  useEngine(true);
  // Folder names that differ, answered "create": the folder is walked as it would be
  // made, empty, and not made.
  window.folderAnswer = NameAnswer::CreateFolderThenContinue;
  window.mirror = tree.path("r/sub");
  tree.makeFolder("empty");
  const Lines before = tree.snapshot();
  const Lines lines = sync();
  EXPECT_EQ(tree.snapshot(), before);
  EXPECT_NE(std::find(lines.begin(), lines.end(), "Would copy to " + mirror("sub/m/a")), lines.end());
  EXPECT_EQ(lines.back(), kDryRunVerdict);

  // An empty master facing a full mirror is refused, with nothing written.
  window.mirror = mirror();
  window.folderAnswer = NameAnswer::ContinueWithDifferentNames;
  window.master = tree.path("empty");
  sync();
  EXPECT_EQ(engine->lastRun().outcome, RunOutcome::Refused);
  EXPECT_EQ(tree.snapshot(), before);
}

// The engine's members are made in the order they are declared: the file system it works
// on is never chosen from a member not made yet, whatever the memory held before.
TEST_F(DryRun, WritesNothingWhateverTheMemoryTheEngineIsMadeIn) {
  static_assert(alignof(SyncEngine) <= __STDCPP_DEFAULT_NEW_ALIGNMENT__);
  const auto storage = std::make_unique<unsigned char[]>(sizeof(SyncEngine));  // zeroed
  EngineSetup setup{{tree.path("cfg") + "/"}, {}, {}};
  setup.dryRun = true;
  SyncEngine* dry = new (storage.get()) SyncEngine(fs, window, std::move(setup));
  const Lines before = tree.snapshot();
  dry->ReplicateBtnClick();
  EXPECT_EQ(tree.snapshot(), before);
  dry->~SyncEngine();
}

// What only the real file system knows beforehand: a mirror link the Sync trashes to make
// a folder leads elsewhere (the new folder is empty all the same), and a master file the
// run may not read fails its copy.
TEST_F(DryRun, ForeseesAReplacedLinkAndAnUnreadableSource) {
  tree.writeFile("out/deep/kept", "k");
  tree.writeFile("m/newdir/deep/n", "n");
  tree.makeLink("r/newdir", outside());
  fs.fault = [](Op op, const std::string& path) {
    const bool readsA = (op == Op::Open || op == Op::PrepareCopy) && path.ends_with("/m/a");
    return readsA ? std::make_error_code(std::errc::permission_denied) : std::error_code();
  };
  expectSyncDoesWhatTheDryRunListed();
  EXPECT_TRUE(anyLineContains("Create folder " + mirror("newdir/deep")));
  EXPECT_FALSE(tree.exists("r/a"));
  EXPECT_EQ(tree.readFile("out/deep/kept"), "k");
}

// A run repeated (--every) on the same engine starts from the trees as they are: the
// changes a dry run remembered are forgotten when it ends.
TEST_F(DryRun, ASecondDryRunSaysWhatTheFirstSaid) {
  useEngine(true);
  engine->ReplicateBtnClick();
  const Lines first = asNotDone(window.lines);
  engine->ReplicateBtnClick();
  EXPECT_EQ(asNotDone(window.lines), first);
}

// The Sync learns whether the mirror's volume folds letter case by making a file in it; a
// dry run, which makes none, must learn the same from names: here the mirror folder is
// empty, so only its own name in the folder above it can tell.
TEST_F(DryRun, FindsAVolumeThatFoldsLetterCaseWithoutMakingAFile) {
  const std::string missing = FuseVolume::missingRequirement(VolumeKind::ExFat);
  if (!missing.empty()) GTEST_SKIP() << "an exFAT volume needs " << missing << ", which is missing";
  FuseVolume volume(VolumeKind::ExFat, tree.path("volume.img"), tree.path("volume"));
  ASSERT_TRUE(volume.mounted()) << volume.failure();
  tree.makeFolder("volume/r");
  window.mirror = tree.path("volume/r");
  window.caseSensitive = true;  // "Clash" and "clash" are two files, which this volume cannot hold
  expectSyncDoesWhatTheDryRunListed();
  EXPECT_EQ(engine->lastRun().failedActions, 1);
}

}  // namespace
}  // namespace vardell::test
