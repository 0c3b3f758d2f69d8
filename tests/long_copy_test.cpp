// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// Long copies report as they go and stop on Abort; copies written under hidden names
// where unnamed files are missing behave like the others.
#include "tests/support/command_fixture.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

using namespace vardell;
using namespace vardell::test;

namespace {

// A file of `bytes` with some data at its start, middle and end.
void writeLargeFile(const std::string& path, std::int64_t bytes) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::ftruncate(fd, bytes), 0);
  for (const std::int64_t at : {std::int64_t(0), bytes / 2, bytes - 8}) ASSERT_EQ(::pwrite(fd, "contents", 8, at), 8);
  ::close(fd);
}

Lines leftoverTemporaries(const std::string& folder) {
  Lines names;
  for (const auto& e : std::filesystem::directory_iterator(folder)) {
    if (e.path().filename().string().starts_with(".vardell-")) names.push_back(e.path().filename());
  }
  return names;
}

struct LongCopyTest : CommandTest {
  static constexpr std::int64_t kSize = 300LL << 20;
  void prepareReplacement() {
    writeLargeFile(master("big"), kSize);
    tree.setTime("m/big", 1600000100);
    tree.writeFile("r/big", "the old mirror file");
  }
};

TEST_F(LongCopyTest, ALongCopyMovesTheFileBarAndKeepsTheWindowAlive) {
  prepareReplacement();
  std::vector<std::string> progressTexts;
  window.onProcessEvents = [&] { progressTexts.push_back(window.run->fileProgressText()); };
  engine->ReplicateBtnClick();  // (the master's 300 MB are not read back for a snapshot)
  EXPECT_EQ(std::filesystem::file_size(mirror("big")), std::uintmax_t(kSize));
  const auto moving = std::count_if(window.fileProgress.begin(), window.fileProgress.end(), [](int p) { return p > 0 && p < 100; });
  EXPECT_GE(moving, 50) << "one update per piece of a 300 MB copy";
  EXPECT_TRUE(std::is_sorted(window.fileProgress.begin(), window.fileProgress.end() - 1));
  EXPECT_EQ(window.fileProgress.back(), 0);  // cleared at the end
  EXPECT_GE(std::count(progressTexts.begin(), progressTexts.end(), "Copying big"), 50);
  EXPECT_EQ(window.run->fileProgressText(), "");
}

TEST_F(LongCopyTest, AbortInTheMiddleOfACopyLeavesTheOldMirrorFileUntouched) {
  prepareReplacement();
  window.onProcessEvents = [&] {
    if (!window.fileProgress.empty() && window.fileProgress.back() >= 30) window.run->requestAbort();
  };
  engine->ReplicateBtnClick();
  const Lines lines = findings();
  EXPECT_EQ(tree.readFile("r/big"), "the old mirror file");
  EXPECT_EQ(leftoverTemporaries(mirror()), Lines{});
  EXPECT_EQ(trashedNames(), Lines{});
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "Copy completed"), 0);
  EXPECT_EQ(lines.back(), "Replication aborted");
  EXPECT_EQ(engine->lastRun().outcome, RunOutcome::SyncAborted);
  EXPECT_LT(window.fileProgress.back(), 100);
}

// As on a file system without unnamed temporary files (FAT, many network file systems).
struct NamedTemporaryTest : CommandTest {
  NamedTemporaryTest() { fs.useRealFileSystem(PosixOptions{false}); }
};

TEST_F(NamedTemporaryTest, CopiesAndReplacementsLeaveNoHiddenFileBehind) {
  tree.writeFile("m/new", "n");
  tree.writeFile("m/changed", "new text", 1600000100);
  tree.writeFile("r/changed", "old", 1600000000);
  tree.makeLink("m/link", "target");
  sync();
  EXPECT_EQ(tree.listing("r"), (Lines{"changed=new text", "link->target", "new=n"}));
  EXPECT_EQ(tree.readFile("data/Trash/files/changed"), "old");
}

TEST_F(NamedTemporaryTest, AFailedOrAbortedCopyLeavesNoHiddenFileBehind) {
  tree.writeFile("m/a", "a");
  writeLargeFile(master("big"), 64LL << 20);
  failOn(Op::CommitCopy, "/r/a", std::errc::io_error);
  window.onProcessEvents = [&] {
    if (!window.fileProgress.empty() && window.fileProgress.back() > 0) window.run->requestAbort();
  };
  sync();
  EXPECT_EQ(leftoverTemporaries(mirror()), Lines{});
  EXPECT_FALSE(tree.exists("r/big"));
}

}  // namespace
