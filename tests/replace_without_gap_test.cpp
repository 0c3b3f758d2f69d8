// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// Replacing a mirror file where the trash cannot get a hard link of it: the complete copy
// and the old file trade names, so the name never goes missing, and the old file reaches
// the trash recorded under its own name, or keeps its name when the trash refuses it.
#include "tests/support/command_fixture.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>

using namespace vardell;
using namespace vardell::test;

namespace {

// Copies written as unnamed files (given a hidden name before the exchange) or, as on
// file systems without unnamed files, under a hidden name from the start.
struct Temporaries {
  const char* name;
  bool unnamed;
};
void PrintTo(const Temporaries& temporaries, std::ostream* out) { *out << temporaries.name; }

// Makes a folder immutable, or mutable again: then nothing can be moved into it, not even
// by root. False where the file system has no such flag.
bool makeImmutable(const std::string& folder, bool immutable) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  int flags = 0;
  bool done = fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
  flags = immutable ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
  done = done && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
  if (fd >= 0) ::close(fd);
  return done;
}

struct ReplaceWithoutGapTest : CommandTest, ::testing::WithParamInterface<Temporaries> {
  ReplaceWithoutGapTest() {
    fs.useRealFileSystem(PosixOptions{GetParam().unnamed});
    tree.writeFile("m/f", "new content", 1600000100);
    tree.writeFile("r/f", "old", 1600000000);
  }
  // What the mirror name holds now, whole, or "<missing>".
  std::string heldByName() const {
    struct stat st {};
    return ::lstat(mirror("f").c_str(), &st) == 0 ? tree.readFile("r/f") : "<missing>";
  }
  // Refuses the hard link of the mirror file, as FAT or fs.protected_hardlinks do, notes
  // what the name holds at each step of the replacement, and passes every step to `then`.
  void refuseLinkAndWatch(std::function<std::error_code(Op)> then = nullptr) {
    fs.fault = [this, then](Op op, const std::string& path) -> std::error_code {
      if (path != mirror("f")) return {};
      if (op == Op::TrashLink) return std::make_error_code(std::errc::operation_not_permitted);
      if (op == Op::CommitCopy) steps.push_back("commit: " + heldByName());
      if (op == Op::ExchangeCopy) steps.push_back("exchange: " + heldByName());
      if (op == Op::Trash) steps.push_back("trash: " + heldByName());
      return then ? then(op) : std::error_code{};
    };
  }
  ~ReplaceWithoutGapTest() override {
    if (trashRefuses) makeImmutable(trash("files"), false);
  }
  // Makes the trash refuse what is moved into it from now on (its files/ folder made
  // immutable), the rest of the trash working; false where that cannot be done.
  bool trashCanRefuse() {
    tree.makeFolder("data/Trash/files");
    tree.makeFolder("data/Trash/info");
    return makeImmutable(trash("files"), true) && makeImmutable(trash("files"), false);
  }
  void refuseInTheTrash() { trashRefuses = trashRefuses || makeImmutable(trash("files"), true); }
  bool trashRefuses = false;
  bool copyCompleted() const { return anyLineContains("Copy completed"); }
  Lines steps;
};

TEST_P(ReplaceWithoutGapTest, LinkRefusedTheOldFileLeavesForTheTrashOnlyOnceTheCopyHasItsName) {
  Lines atTrashMove;
  refuseLinkAndWatch([&](Op op) {
    if (op == Op::Trash) atTrashMove = tree.listing("r");
    return std::error_code{};
  });
  sync();
  EXPECT_TRUE(copyCompleted());
  EXPECT_EQ(steps, (Lines{"commit: old", "exchange: old", "trash: new content"}));
  // When it is moved to the trash, the old file is under the copy's temporary name.
  ASSERT_EQ(atTrashMove.size(), 2u);
  EXPECT_TRUE(atTrashMove[0].starts_with(".vardell-") && atTrashMove[0].ends_with("=old")) << atTrashMove[0];
  EXPECT_EQ(atTrashMove[1], "f=new content");

  EXPECT_EQ(tree.listing("r"), (Lines{"f=new content"}));  // no temporary name left
  EXPECT_EQ(tree.listing("data/Trash/files"), (Lines{"f=old"}));
  const std::string info = tree.readFile("data/Trash/info/f.trashinfo");
  EXPECT_TRUE(info.starts_with("[Trash Info]\nPath=" + mirror("f") + "\n")) << info;
  EXPECT_EQ(entry(mirror("f")).MtimeNs, 1600000100LL * 1000000000LL);
  EXPECT_EQ(engine->state().FilesCopied, 1);
}

TEST_P(ReplaceWithoutGapTest, WithoutTheExchangeTheOldFileGoesToTheTrashBeforeTheCopyTakesItsName) {
  refuseLinkAndWatch([](Op op) {
    return op == Op::ExchangeCopy ? std::make_error_code(std::errc::operation_not_supported) : std::error_code{};
  });
  sync();
  EXPECT_TRUE(copyCompleted());
  EXPECT_EQ(steps, (Lines{"commit: old", "exchange: old", "trash: old", "commit: <missing>"}));
  EXPECT_EQ(tree.listing("r"), (Lines{"f=new content"}));
  EXPECT_EQ(tree.listing("data/Trash/files"), (Lines{"f=old"}));
}

TEST_P(ReplaceWithoutGapTest, AnOldFileTheTrashRefusesAfterTheExchangeTakesItsNameBack) {
  if (!trashCanRefuse()) GTEST_SKIP() << "no immutable folders here";
  refuseLinkAndWatch([&](Op op) {
    if (op == Op::Trash) refuseInTheTrash();
    return std::error_code{};
  });
  sync();
  EXPECT_FALSE(copyCompleted());
  EXPECT_TRUE(anyLineContains("File copy failed"));
  EXPECT_EQ(tree.listing("r"), (Lines{"f=old"}));  // the copy is gone, the old file back
  EXPECT_EQ(entry(mirror("f")).MtimeNs, 1600000000LL * 1000000000LL);
  EXPECT_EQ(fs.calls(Op::Trash), 1);  // one attempt, never a second copy
  ASSERT_FALSE(window.failures.empty());
  EXPECT_NE(window.failures[0].find("Operation not permitted"), std::string::npos) << window.failures[0];
  EXPECT_EQ(tree.listing("data/Trash"), (Lines{"files/", "info/"}));
  EXPECT_EQ(engine->state().FilesCopied, 0);
}

TEST_P(ReplaceWithoutGapTest, AnOldFileNeverMovedToTheTrashTakesItsNameBackWhenTheCopyIsDropped) {
  refuseLinkAndWatch([](Op op) {
    return op == Op::Trash ? std::make_error_code(std::errc::io_error) : std::error_code{};
  });
  sync();
  EXPECT_TRUE(anyLineContains("File copy failed"));
  EXPECT_EQ(tree.listing("r"), (Lines{"f=old"}));
  EXPECT_EQ(trashedNames(), Lines{});
}

TEST_P(ReplaceWithoutGapTest, AnOldFileThatCanGoNeitherToTheTrashNorBackIsKeptAndNamed) {
  if (!trashCanRefuse()) GTEST_SKIP() << "no immutable folders here";
  refuseLinkAndWatch([&](Op op) {
    if (op == Op::Trash && !tree.exists("intruder")) {
      refuseInTheTrash();
      tree.writeFile("intruder", "another program's file");  // takes the name from the copy
      EXPECT_EQ(std::rename(tree.path("intruder").c_str(), mirror("f").c_str()), 0);
      tree.writeFile("intruder", "done");
    }
    return std::error_code{};
  });
  sync();
  const Lines mirrorNow = tree.listing("r");
  ASSERT_EQ(mirrorNow.size(), 2u);
  EXPECT_EQ(mirrorNow[1], "f=another program's file");  // put back by the second attempt
  const std::string kept = mirrorNow[0].substr(0, mirrorNow[0].find('='));
  EXPECT_EQ(mirrorNow[0], kept + "=old");
  const auto named = std::count_if(window.failures.begin(), window.failures.end(), [&](const std::string& text) {
    return text.ends_with("could not go to the trash; it was kept as " + mirror(kept));
  });
  EXPECT_EQ(named, 1) << ::testing::PrintToString(window.failures);
  EXPECT_TRUE(anyLineContains("File copy failed"));
}

TEST_P(ReplaceWithoutGapTest, AFolderThatTookTheNameBeforeTheExchangeIsPutBackNotTrashed) {
  refuseLinkAndWatch([&](Op op) {
    if (op == Op::ExchangeCopy && !tree.exists("x")) {
      tree.makeFolder("x");
      EXPECT_EQ(std::rename(mirror("f").c_str(), tree.path("x/f").c_str()), 0);
      tree.writeFile("r/f/inside", "i");
    }
    return std::error_code{};
  });
  sync();
  EXPECT_TRUE(anyLineContains("File copy failed"));
  EXPECT_EQ(tree.listing("r"), (Lines{"f/", "f/inside=i"}));
  EXPECT_EQ(trashedNames(), Lines{});
}

INSTANTIATE_TEST_SUITE_P(Copies, ReplaceWithoutGapTest,
                         ::testing::Values(Temporaries{"UnnamedCopy", true}, Temporaries{"NamedCopy", false}),
                         [](const auto& info) { return std::string(info.param.name); });

struct GapFreeReplaceTest : CommandTest {};

TEST_F(GapFreeReplaceTest, AFolderMovedBeforeTheExchangeOfALongCopyIsRefused) {
  tree.writeFile("m/b/big", "");
  ASSERT_EQ(::truncate(master("b/big").c_str(), 3 * kCopyPieceSize), 0);
  tree.setTime("m/b/big", 1600000100);
  tree.writeFile("r/b/big", "old", 1600000000);
  fs.fault = [&](Op op, const std::string& path) -> std::error_code {
    if (op != Op::TrashLink || path != mirror("b/big")) return {};
    if (tree.exists("r/b")) {
      EXPECT_EQ(std::rename(mirror("b").c_str(), mirror("moved").c_str()), 0);
    }
    return std::make_error_code(std::errc::operation_not_permitted);
  };
  sync();
  EXPECT_EQ(fs.calls(Op::ExchangeCopy), 1);
  EXPECT_EQ(tree.listing("r/moved"), (Lines{"big=old"}));  // untouched, no temporary file
  EXPECT_EQ(trashedNames(), Lines{});
  EXPECT_TRUE(anyLineContains("File copy failed"));
}

// Not injected: fs.protected_hardlinks refuses a user the hard link of another user's
// file that the user may not write, on any file system. Root is exempt, so the copy runs
// in a child process as nobody.
TEST_F(GapFreeReplaceTest, AnotherUsersFileUnderProtectedHardLinksIsReplacedByTheExchange) {
  std::ifstream setting("/proc/sys/fs/protected_hardlinks");
  int protectedLinks = 0;
  if (::getuid() != 0 || !(setting >> protectedLinks) || protectedLinks != 1) {
    GTEST_SKIP() << "needs root and fs.protected_hardlinks=1";
  }
  const uid_t nobody = 65534;
  tree.writeFile("m/f", "new content", 1600000100);
  tree.writeFile("r/f", "old", 1600000000);  // root's, mode 0644: nobody may not write it
  tree.makeFolder("data");
  ASSERT_EQ(::chmod(tree.root().c_str(), 0755), 0);
  ASSERT_EQ(::chown(mirror().c_str(), nobody, nobody), 0);
  ASSERT_EQ(::chown(tree.path("data").c_str(), nobody, nobody), 0);
  const DirEntry source = entry(master("f"));
  std::fflush(nullptr);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    bool newAtTrashMove = false;
    fs.fault = [&](Op op, const std::string&) {
      if (op == Op::Trash) newAtTrashMove = tree.readFile("r/f") == "new content";
      return std::error_code{};
    };
    if (::setresgid(nobody, nobody, nobody) != 0 || ::setresuid(nobody, nobody, nobody) != 0) ::_exit(99);
    const bool copied = engine->CopyAFile(master(), mirror(), source);
    ::_exit((copied ? 0 : 1) | (fs.calls(Op::ExchangeCopy) == 1 ? 0 : 2) | (newAtTrashMove ? 0 : 4));
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "1: not copied, 2: no exchange, 4: name not the copy at the trash move";
  EXPECT_EQ(tree.listing("r"), (Lines{"f=new content"}));
  EXPECT_EQ(tree.listing("data/Trash/files"), (Lines{"f=old"}));
  EXPECT_TRUE(tree.readFile("data/Trash/info/f.trashinfo").starts_with("[Trash Info]\nPath=" + mirror("f") + "\n"));
}

}  // namespace
