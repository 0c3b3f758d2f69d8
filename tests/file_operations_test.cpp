// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// Copying onto the mirror and moving files to the trash, on real trees.
#include "engine/version.h"
#include "tests/support/command_fixture.h"
#include "tests/support/engine_fixture.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

using namespace vardell;
using namespace vardell::test;

namespace {

using Lines = std::vector<std::string>;

struct CopyTest : EngineFixture {
  void copy(const std::string& name) { engine->CopyAFile(master(), mirror(), entry(master(name))); }
  Lines copyLines(const std::string& name, const std::string& outcome) {
    return {"Copying to " + mirror(name), outcome};
  }
};

TEST_F(CopyTest, ANewFileIsCopiedWithItsTimeToTheNanosecondAndItsMode) {
  tree.writeFile("m/a.txt", "master data");
  timespec times[2] = {{1500000000, 123456789}, {1500000000, 123456789}};
  ASSERT_EQ(::utimensat(AT_FDCWD, master("a.txt").c_str(), times, 0), 0);
  ASSERT_EQ(::chmod(master("a.txt").c_str(), 0640), 0);
  copy("a.txt");
  EXPECT_EQ(window.texts(), copyLines("a.txt", "Copy completed"));
  EXPECT_EQ(window.lines[1].fragments[0].colour, Colour::Green);
  EXPECT_EQ(engine->state().FilesCopied, 1);
  EXPECT_EQ(tree.listing("r"), Lines{"a.txt=master data"});  // no temporary file left
  struct stat st {};
  ASSERT_EQ(::stat(mirror("a.txt").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(st.st_mtim.tv_sec, 1500000000);
  EXPECT_EQ(st.st_mtim.tv_nsec, 123456789);
  EXPECT_TRUE(trashedNames().empty());
}

TEST_F(CopyTest, ADifferingMirrorFileIsReplacedAndItsOldVersionTrashed) {
  tree.writeFile("m/a.txt", "new version");
  tree.writeFile("r/a.txt", "old");
  copy("a.txt");
  EXPECT_EQ(window.texts(), copyLines("a.txt", "Copy completed"));
  EXPECT_EQ(tree.readFile("r/a.txt"), "new version");
  ASSERT_EQ(trashedNames(), Lines{"a.txt"});
  EXPECT_EQ(tree.readFile("data/Trash/files/a.txt"), "old");
  const std::string info = tree.readFile("data/Trash/info/a.txt.trashinfo");
  EXPECT_TRUE(info.starts_with("[Trash Info]\nPath=" + mirror("a.txt") + "\nDeletionDate=20")) << info;
}

TEST_F(CopyTest, AReadOnlyMirrorFileIsReplaced) {
  tree.writeFile("m/a", "new");
  tree.writeFile("r/a", "old");
  ASSERT_EQ(::chmod(mirror("a").c_str(), 0444), 0);
  copy("a");
  EXPECT_EQ(tree.readFile("r/a"), "new");
  EXPECT_EQ(trashedNames(), Lines{"a"});
}

TEST_F(CopyTest, ALinkIsCopiedAsALinkWithItsOwnTime) {
  tree.writeFile("m/target", "data");
  ASSERT_EQ(::symlink("target", master("link").c_str()), 0);
  tree.setTime("m/link", 1400000000);
  copy("link");
  EXPECT_EQ(window.texts(), copyLines("link", "Copy completed"));
  EXPECT_EQ(tree.listing("r"), Lines{"link->target"});
  EXPECT_EQ(entry(mirror("link")).MtimeNs, 1400000000LL * 1000000000LL);
}

TEST_F(CopyTest, AFailedCopyIsOneRedLineWithItsReasonAndIsNotMadeAgain) {
  tree.writeFile("m/a", "data");
  failOn(Op::PrepareCopy, "/m/a", std::errc::io_error, 1);  // a bad block of the master, the mirror well
  copy("a");
  EXPECT_EQ(window.texts(), copyLines("a", "File copy failed: Input/output error: " + mirror("a")));
  EXPECT_EQ(fs.calls(Op::PrepareCopy), 1);
  EXPECT_FALSE(engine->state().MirrorGone);
  EXPECT_EQ(engine->state().FilesCopied, 0);
  EXPECT_EQ(tree.listing("r"), Lines{});
  ASSERT_EQ(window.failures.size(), 1u);
  EXPECT_NE(window.failures[0].find("Input/output error"), std::string::npos) << window.failures[0];
  EXPECT_TRUE(window.messages.empty());
}

TEST_F(CopyTest, AFailedCommitKeepsTheOldMirrorFile) {
  tree.writeFile("m/a", "new");
  tree.writeFile("r/a", "old");
  failOn(Op::CommitCopy, "/r/a", std::errc::permission_denied);
  copy("a");
  EXPECT_EQ(window.texts(), copyLines("a", "File copy failed: Permission denied: " + mirror("a")));
  EXPECT_EQ(window.lines[1].fragments[0].colour, Colour::Red);
  EXPECT_EQ(engine->state().FilesCopied, 0);
  EXPECT_EQ(window.failures.size(), 1u);
  EXPECT_TRUE(window.messages.empty());
  EXPECT_EQ(tree.listing("r"), Lines{"a=old"});  // no partial copy, and the old file is kept
  EXPECT_TRUE(trashedNames().empty());
}

TEST_F(CopyTest, AnOldFileThatCannotBeTrashedIsNeverOverwritten) {
  tree.writeFile("m/a", "new");  // same size and time: only a content compare tells them apart
  tree.writeFile("r/a", "old");
  failOn(Op::TrashLink, "/r/a", std::errc::read_only_file_system);
  copy("a");
  EXPECT_EQ(window.texts(), copyLines("a", "File copy failed: Read-only file system: " + mirror("a")));
  EXPECT_EQ(tree.listing("r"), Lines{"a=old"});
}

TEST_F(CopyTest, WithoutHardLinksTheOldFileIsTrashedBeforeTheCopyTakesItsName) {
  tree.writeFile("m/a", "new");
  tree.writeFile("r/a", "old");
  failOn(Op::TrashLink, "/r/a", std::errc::operation_not_permitted);  // as FAT answers
  copy("a");
  EXPECT_EQ(window.texts(), copyLines("a", "Copy completed"));
  EXPECT_EQ(tree.listing("r"), Lines{"a=new"});
  EXPECT_EQ(tree.readFile("data/Trash/files/a"), "old");
}

TEST_F(CopyTest, ACopyThatLooksDoneButIsStaleIsNotReportedCompleted) {
  tree.writeFile("m/a", "new contents");
  tree.writeFile("r/a", "old");
  fs.fault = [](Op op, const std::string&) {
    return op == Op::CommitCopy ? std::make_error_code(std::errc::io_error) : std::error_code{};
  };
  copy("a");
  EXPECT_EQ(window.texts().back(), "File copy failed: Input/output error: " + mirror("a"));
  EXPECT_EQ(tree.listing("r"), Lines{"a=old"});
  EXPECT_EQ(engine->state().FilesCopied, 0);
}

TEST_F(CopyTest, DiskFullRaisesTheFlagAndShowsTheBox) {
  tree.writeFile("m/a", "data");
  failOn(Op::PrepareCopy, "/m/a", std::errc::no_space_on_device);
  copy("a");
  EXPECT_TRUE(engine->state().DiskFull);
  ASSERT_FALSE(window.messages.empty());
  EXPECT_EQ(window.messages[0], std::make_pair(std::string(kApplicationTitle), std::string("Copy failed, disk may be full")));
  EXPECT_EQ(window.texts(), copyLines("a", "File copy failed: No space left on device: " + mirror("a")));
  EXPECT_EQ(tree.listing("r"), Lines{});
}

TEST_F(CommandTest, AVanishedMirrorVolumeEndsTheRunWithOneLine) {
  tree.writeFile("m/a", "1");
  tree.writeFile("m/b", "2");
  tree.writeFile("m/sub/c", "3");
  // What a FUSE volume says once its daemon died, about the copy and about the mirror folder.
  bool died = false;
  fs.fault = [&](Op op, const std::string& path) {
    died = died || (op == Op::PrepareCopy && path.ends_with("/m/a"));
    const bool mirrorAsked = op == Op::PrepareCopy || (op == Op::Identify && path == mirror());
    return died && mirrorAsked ? std::make_error_code(std::errc::not_connected) : std::error_code{};
  };
  const Lines lines = sync();
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "The mirror volume is gone"), 1);
  EXPECT_EQ(lines.back(), "Replication aborted");
  EXPECT_EQ(lines[lines.size() - 2], "Failed actions: 1");
  EXPECT_EQ(fs.calls(Op::PrepareCopy), 1) << "nothing is tried after the volume went";
  EXPECT_EQ(engine->lastRun().outcome, RunOutcome::SyncAborted);
}

TEST_F(CommandTest, AFailureFromTheMastersSideWithTheMirrorStillThereIsNoVanishedVolume) {
  tree.writeFile("m/a", "1");
  tree.writeFile("m/b", "2");
  failOn(Op::PrepareCopy, "/m/a", std::errc::not_connected);  // a master on a network mount that went away
  const Lines lines = sync();
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "The mirror volume is gone"), 0);
  EXPECT_EQ(tree.listing("r"), Lines{"b=2"});
  EXPECT_EQ(lines.back(), "Replication completed");
}

TEST_F(CommandTest, AMirrorFileWithTheMastersBytesGetsItsTimeInPlaceOrOneRedLine) {
  tree.writeFile("m/a", "same", 1500000000);
  tree.writeFile("r/a", "same", 1600000000);
  Lines lines = sync();
  EXPECT_NE(std::find(lines.begin(), lines.end(), "Time set " + mirror("a")), lines.end());
  EXPECT_EQ(entry(mirror("a")).MtimeNs, 1500000000LL * 1000000000LL);
  EXPECT_EQ(trashedNames(), Lines{});
  // A volume that refuses the time: the file stays as it is, one red line, not done.
  tree.setTime("r/a", 1600000000);
  failOn(Op::SetTime, "/r/a", std::errc::operation_not_supported);
  window.lines.clear();
  lines = sync();
  EXPECT_NE(std::find(lines.begin(), lines.end(),
                      "The mirror volume does not keep the last-write time of " + mirror("a") + ": Operation not supported"),
            lines.end());
  EXPECT_EQ(engine->lastRun().failedActions, 1);
  EXPECT_EQ(trashedNames(), Lines{});
  EXPECT_EQ(tree.readFile("r/a"), "same");
}

TEST_F(CommandTest, ALinkWithTheMastersTargetGetsItsTimeInPlace) {
  tree.writeFile("m/target", "t");
  tree.writeFile("r/target", "t");
  ASSERT_EQ(::symlink("target", master("link").c_str()), 0);
  ASSERT_EQ(::symlink("target", mirror("link").c_str()), 0);
  const timespec masterTime[2] = {{0, UTIME_OMIT}, {1500000000, 0}};
  const timespec mirrored[2] = {{0, UTIME_OMIT}, {1600000000, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, master("link").c_str(), masterTime, AT_SYMLINK_NOFOLLOW), 0);
  ASSERT_EQ(::utimensat(AT_FDCWD, mirror("link").c_str(), mirrored, AT_SYMLINK_NOFOLLOW), 0);
  const Lines lines = sync();
  EXPECT_NE(std::find(lines.begin(), lines.end(), "Time set " + mirror("link")), lines.end());
  EXPECT_EQ(entry(mirror("link")).MtimeNs, 1500000000LL * 1000000000LL);
  EXPECT_EQ(trashedNames(), Lines{});
}

TEST_F(CommandTest, ASyncFlushesTheMirrorBeforeItsVerdictAndAFailedFlushIsAFailure) {
  tree.writeFile("m/a", "1");
  sync();
  EXPECT_EQ(fs.calls(Op::Flush), 1);
  failOn(Op::Flush, "/r", std::errc::io_error);
  window.lines.clear();
  const Lines lines = sync();
  EXPECT_NE(std::find(lines.begin(), lines.end(), "Cannot flush the mirror volume: Input/output error"), lines.end());
  EXPECT_EQ(engine->lastRun().failedActions, 1);
}

// A small file system of its own, so a copy really runs out of space.
struct SmallVolume {
  std::string path;
  bool mounted = false;
  explicit SmallVolume(std::string where, const char* options) : path(std::move(where)) {
    ::mkdir(path.c_str(), 0755);
    mounted = ::mount("vardell-test", path.c_str(), "tmpfs", 0, options) == 0;
  }
  ~SmallVolume() {
    if (mounted) ::umount2(path.c_str(), MNT_DETACH);
  }
};

TEST_F(CopyTest, ARealFullDiskLeavesNoPartialFile) {
  SmallVolume volume(mirror("small"), "size=64k");
  if (!volume.mounted) GTEST_SKIP() << "cannot mount a tmpfs here";
  tree.writeFile("m/big", std::string(1 << 20, 'x'));
  engine->CopyAFile(master(), mirror("small"), entry(master("big")));
  EXPECT_TRUE(engine->state().DiskFull);
  EXPECT_EQ(window.texts().back(), "File copy failed: No space left on device: " + mirror("small/big"));
  EXPECT_EQ(tree.listing("r/small"), Lines{});
}

TEST_F(CopyTest, PathsLongerThanTheOldBuffersAreCopied) {
  const std::string deep = std::string(120, 'd') + "/" + std::string(120, 'e') + "/" + std::string(60, 'f');
  tree.writeFile("m/" + deep + "/file", "x");
  tree.makeFolder("r/" + deep);
  engine->CopyAFile(master(deep), mirror(deep), entry(master(deep + "/file")));
  EXPECT_EQ(window.texts().back(), "Copy completed");
  EXPECT_GT(mirror(deep + "/file").size(), 300u);
}

struct RecycleTest : EngineFixture {};

TEST_F(RecycleTest, AFolderOrAMissingPathIsLeftAloneAndGivesFalse) {
  tree.makeFolder("r/folder");
  EXPECT_FALSE(engine->RecycleFile(mirror("folder")));
  EXPECT_FALSE(engine->RecycleFile(mirror("missing")));
  EXPECT_EQ(fs.calls(Op::Trash), 0);
  EXPECT_TRUE(tree.exists("r/folder"));
}

TEST_F(RecycleTest, AFailureWithTheFileStillThereGivesTrueAndIsReported) {
  tree.writeFile("r/a", "x");
  failOn(Op::Trash, "/r/a", std::errc::permission_denied);
  EXPECT_TRUE(engine->RecycleFile(mirror("a")));
  EXPECT_TRUE(tree.exists("r/a"));
  ASSERT_EQ(window.failures.size(), 1u);
  EXPECT_NE(window.failures[0].find("Permission denied"), std::string::npos);
}

TEST_F(RecycleTest, TheSameNameTrashedTwiceGetsTwoEntries) {
  tree.writeFile("r/a", "first");
  ASSERT_TRUE(engine->RecycleFile(mirror("a")));
  tree.writeFile("r/a", "second");
  ASSERT_TRUE(engine->RecycleFile(mirror("a")));
  EXPECT_EQ(trashedNames(), (Lines{"a", "a.2"}));
  EXPECT_EQ(tree.readFile("data/Trash/files/a.2"), "second");
  EXPECT_TRUE(tree.exists("data/Trash/info/a.2.trashinfo"));
}

TEST_F(RecycleTest, NamesThatAreNotUtf8AreTrashedWithAnEncodedPath) {
  tree.writeFile("r/caf\xe9 x", "x");
  ASSERT_TRUE(engine->RecycleFile(mirror("caf\xe9 x")));
  const std::string info = tree.readFile("data/Trash/info/caf\xe9 x.trashinfo");
  EXPECT_NE(info.find("/r/caf%E9%20x\n"), std::string::npos) << info;
}

TEST_F(RecycleTest, FilesOnAnotherVolumeGoToThatVolumesTrash) {
  SmallVolume volume(tree.path("vol"), "size=1m");
  if (!volume.mounted) GTEST_SKIP() << "cannot mount a tmpfs here";
  tree.writeFile("vol/sub/a", "x");
  ASSERT_TRUE(engine->RecycleFile(tree.path("vol/sub/a")));
  const std::string uid = std::to_string(::getuid());
  EXPECT_TRUE(tree.exists("vol/.Trash-" + uid + "/files/a"));
  const std::string info = tree.readFile("vol/.Trash-" + uid + "/info/a.trashinfo");
  EXPECT_NE(info.find("\nPath=sub/a\n"), std::string::npos) << info;
  EXPECT_TRUE(trashedNames().empty());

  // A shared, sticky .Trash folder is preferred when it exists.
  ASSERT_EQ(::mkdir(tree.path("vol/.Trash").c_str(), 01777), 0);
  ASSERT_EQ(::chmod(tree.path("vol/.Trash").c_str(), 01777), 0);
  tree.writeFile("vol/b", "y");
  ASSERT_TRUE(engine->RecycleFile(tree.path("vol/b")));
  EXPECT_TRUE(tree.exists("vol/.Trash/" + uid + "/files/b"));
}

}  // namespace
