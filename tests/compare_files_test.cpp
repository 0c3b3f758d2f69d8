// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// The file comparison on real files: each compare type, the mismatch line, progress
// bars, unreadable and special files.
#include "engine/sync_engine.h"
#include "tests/support/fault_filesystem.h"
#include "tests/support/recording_window.h"
#include "tests/support/temp_tree.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace vardell;
using namespace vardell::test;

namespace {

struct CompareFixture : ::testing::Test {
  TempTree tree;
  RecordingWindow window;
  FaultFileSystem fs;
  SyncEngine engine{fs, window, EngineSetup{{tree.root() + "/"}, {}, {}}};

  CompareFixture() {
    tree.makeFolder("m");
    tree.makeFolder("r");
  }
  DirEntry entry(const std::string& relative) {
    DirEntry e;
    EXPECT_FALSE(fs.statEntry(tree.path(relative), e)) << relative;
    return e;
  }
  // Compares m/<name> with r/<name> under a compare type.
  bool compare(const std::string& name, CompareType type) {
    window.type = type;
    return engine.CompareFiles(tree.path("m"), tree.path("r"), entry("m/" + name), entry("r/" + name));
  }
  std::string mismatchLine(const std::string& findings, const std::string& name) {
    return findings + " " + tree.path("m/" + name);
  }
};

TEST_F(CompareFixture, EqualFilesWriteNothingUnderEveryType) {
  tree.writeFile("m/a", "same");
  tree.writeFile("r/a", "same");
  for (CompareType type : {CompareType::SizeAndTime, CompareType::Binary, CompareType::AllOfTheAbove}) EXPECT_TRUE(compare("a", type)) << int(type);
  EXPECT_TRUE(window.texts().empty());
  EXPECT_EQ(engine.state().CurrentPath, tree.path("m/a"));
}

struct MismatchRow {
  const char* master;
  const char* mirror;
  int secondsApart;
  CompareType type;
  const char* findings;  // nullptr: equal
};

void PrintTo(const MismatchRow& row, std::ostream* out) {
  *out << row.master << " vs " << row.mirror << ", " << row.secondsApart << " s apart, type " << int(row.type);
}

class MismatchTable : public CompareFixture, public ::testing::WithParamInterface<MismatchRow> {};

TEST_P(MismatchTable, WritesOneLineNamingEveryFinding) {
  const MismatchRow& row = GetParam();
  tree.writeFile("m/f", row.master);
  tree.writeFile("r/f", row.mirror, TempTree::kDefaultTime + row.secondsApart);
  const bool equal = compare("f", row.type);
  EXPECT_EQ(equal, row.findings == nullptr);
  if (row.findings == nullptr) {
    EXPECT_TRUE(window.texts().empty());
    return;
  }
  ASSERT_EQ(window.texts(), std::vector<std::string>{mismatchLine(row.findings, "f")});
  const std::vector<Fragment> expected{{std::string(row.findings) + " ", Colour::Maroon},
                                       {tree.path("m/f"), Colour::Black}};
  EXPECT_EQ(window.lines[0].fragments, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, MismatchTable,
    ::testing::Values(MismatchRow{"abc", "abcd", 0, CompareType::SizeAndTime, "Size mismatch"},
                      MismatchRow{"abc", "abd", 60, CompareType::SizeAndTime, "Time mismatch"},
                      MismatchRow{"abc", "xyz", 0, CompareType::SizeAndTime, nullptr},  // contents are not read
                      MismatchRow{"abc", "abcd", 60, CompareType::SizeAndTime, "Size mismatch, Time mismatch"},
                      MismatchRow{"abc", "abd", 0, CompareType::Binary, "Binary mismatch"},
                      MismatchRow{"abc", "abcd", 0, CompareType::Binary, "Binary mismatch"},  // no size finding
                      MismatchRow{"abc", "abc", 3600, CompareType::Binary, nullptr},          // times are not looked at
                      MismatchRow{"abc", "abdd", 60, CompareType::AllOfTheAbove, "Size mismatch, Time mismatch, Binary mismatch"},
                      MismatchRow{"abc", "abc", 4, CompareType::AllOfTheAbove, nullptr},
                      MismatchRow{"abc", "abc", 8, CompareType::AllOfTheAbove, "Time mismatch"}),
    [](const auto& info) { return "row" + std::to_string(info.index); });

TEST_F(CompareFixture, TimeToleranceHoldsAcrossAMinuteBoundaryOnDisk) {
  tree.writeFile("m/a", "x", localTime(2021, 6, 1, 12, 0, 58));
  tree.writeFile("r/a", "x", localTime(2021, 6, 1, 12, 1, 0));
  tree.writeFile("m/b", "x", localTime(2021, 6, 1, 12, 0, 56));
  tree.writeFile("r/b", "x", localTime(2021, 6, 1, 12, 1, 0));
  EXPECT_TRUE(compare("a", CompareType::SizeAndTime));
  EXPECT_FALSE(compare("b", CompareType::SizeAndTime));
  EXPECT_EQ(window.texts(), std::vector<std::string>{mismatchLine("Time mismatch", "b")});
}

TEST_F(CompareFixture, StampsOutsideThePackedYearsNeverEndTheRun) {
  tree.writeFile("m/old", "x", localTime(1970, 1, 2, 0, 0, 0));
  tree.writeFile("r/old", "x", localTime(1970, 1, 2, 0, 0, 0));
  tree.writeFile("m/far", "x", localTime(2200, 1, 2, 0, 0, 0));
  tree.writeFile("r/far", "x", localTime(2020, 1, 2, 0, 0, 0));
  EXPECT_EQ(entry("m/old").Time, 0u);
  EXPECT_TRUE(compare("old", CompareType::SizeAndTime));
  EXPECT_FALSE(compare("far", CompareType::SizeAndTime));
}

TEST_F(CompareFixture, PassesThatLookOnlyForUnpairedEntriesCountEveryPairEqual) {
  tree.writeFile("m/a", "one");
  tree.writeFile("r/a", "other content", TempTree::kDefaultTime + 500);
  engine.state().ReversePass = true;
  EXPECT_TRUE(compare("a", CompareType::AllOfTheAbove));
  engine.state().ReversePass = false;
  engine.state().RemovalPass = true;
  EXPECT_TRUE(compare("a", CompareType::AllOfTheAbove));
  EXPECT_TRUE(window.texts().empty());
  EXPECT_EQ(fs.calls(Op::Open), 0);
}

TEST_F(CompareFixture, EmptyFilesAreEqualAndLeaveTheFileBarAlone) {
  tree.writeFile("m/e", "");
  tree.writeFile("r/e", "");
  EXPECT_TRUE(compare("e", CompareType::Binary));
  EXPECT_EQ(window.fileProgress, std::vector<int>{0});
}

TEST_F(CompareFixture, UnopenableFileGivesCantOpenInPlaceOfOtherFindings) {
  tree.writeFile("m/u", "abc");
  tree.writeFile("r/u", "abcdef", TempTree::kDefaultTime + 100);
  const std::string mirrorSide = tree.path("r/u");
  fs.fault = [&](Op op, const std::string& path) {
    return op == Op::Open && path == mirrorSide ? std::make_error_code(std::errc::permission_denied)
                                                : std::error_code{};
  };
  EXPECT_FALSE(compare("u", CompareType::AllOfTheAbove));
  EXPECT_EQ(window.texts(), std::vector<std::string>{"Can't open  " + tree.path("m/u")});
}

TEST_F(CompareFixture, AReadErrorOnOneSideMarksThePairDifferent) {
  tree.writeFile("m/r", "abc");
  tree.writeFile("r/r", "abc");
  const std::string masterSide = tree.path("m/r");
  fs.fault = [&](Op op, const std::string& path) {
    return op == Op::Read && path == masterSide ? std::make_error_code(std::errc::io_error) : std::error_code{};
  };
  EXPECT_FALSE(compare("r", CompareType::Binary));
  EXPECT_EQ(window.texts(), std::vector<std::string>{mismatchLine("Binary mismatch", "r")});
}

TEST_F(CompareFixture, ReadErrorsOnBothSidesNeverMakeAPairEqual) {
  tree.writeFile("m/r", "abc");
  tree.writeFile("r/r", "abc");
  fs.fault = [](Op op, const std::string&) { return op == Op::Read ? std::make_error_code(std::errc::io_error) : std::error_code{}; };
  EXPECT_FALSE(compare("r", CompareType::Binary));
  EXPECT_EQ(window.texts(), std::vector<std::string>{mismatchLine("Binary mismatch", "r")});
}

TEST_F(CompareFixture, FoldersThatTookBothNamesAfterTheListingAreNoMatch) {
  tree.writeFile("m/x", "abc");
  tree.writeFile("r/x", "abc");
  const DirEntry listed = entry("m/x"), counterpart = entry("r/x");
  for (const char* side : {"m/x", "r/x"}) {
    ::unlink(tree.path(side).c_str());
    tree.makeFolder(side);
  }
  window.type = CompareType::Binary;
  EXPECT_FALSE(engine.CompareFiles(tree.path("m"), tree.path("r"), listed, counterpart));
  EXPECT_EQ(window.texts(), std::vector<std::string>{mismatchLine("Binary mismatch", "x")});
}

TEST_F(CompareFixture, AFifoPairedWithAFileIsNeverOpened) {
  tree.writeFile("m/p", "data");
  ASSERT_EQ(::mkfifo(tree.path("r/p").c_str(), 0600), 0);
  EXPECT_FALSE(compare("p", CompareType::Binary));  // would hang if the FIFO were opened for reading
  EXPECT_EQ(window.texts(), std::vector<std::string>{"Can't open  " + tree.path("m/p")});
}

TEST_F(CompareFixture, LinksAreComparedByTheirTargetText) {
  ASSERT_EQ(::symlink("target-one", tree.path("m/l").c_str()), 0);
  ASSERT_EQ(::symlink("target-two", tree.path("r/l").c_str()), 0);
  ASSERT_EQ(::symlink("target-one", tree.path("r/same").c_str()), 0);
  ASSERT_EQ(::symlink("target-one", tree.path("m/same").c_str()), 0);
  EXPECT_FALSE(compare("l", CompareType::Binary));
  EXPECT_TRUE(compare("same", CompareType::Binary));
  EXPECT_EQ(entry("m/l").Kind, EntryKind::Symlink);
  EXPECT_EQ(entry("m/l").Size, 10);
}

// Sparse files larger than two blocks that differ only in their last byte.
void writeSparse(const std::string& path, std::int64_t size, char last) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::ftruncate(fd, size - 1), 0);
  ASSERT_EQ(::pwrite(fd, &last, 1, size - 1), 1);
  ::close(fd);
}

TEST_F(CompareFixture, ALargeFileIsReadInBlocksWithTheBarsAdvancingOncePerBlock) {
  const std::int64_t size = 2 * std::int64_t(kCompareBlockSize) + 1000;
  writeSparse(tree.path("m/big"), size, 'a');
  writeSparse(tree.path("r/big"), size, 'b');
  engine.state().TotalBytes = 2 * size;
  engine.state().BytesDone = 0;
  EXPECT_FALSE(compare("big", CompareType::Binary));
  EXPECT_EQ(window.fileProgress, (std::vector<int>{49, 99, 100, 100, 0}));
  EXPECT_EQ(window.overallProgress, (std::vector<int>{24, 49, 50, 50}));
  EXPECT_EQ(engine.state().BytesDone, size);
  EXPECT_EQ(engine.state().FileProgressText, "Comparing big");
}

TEST_F(CompareFixture, AbortBetweenBlocksStopsReadingAndKeepsThePairEqual) {
  const std::int64_t size = 2 * std::int64_t(kCompareBlockSize) + 1000;
  writeSparse(tree.path("m/big"), size, 'a');
  writeSparse(tree.path("r/big"), size, 'b');
  window.onProcessEvents = [&] { engine.state().AbortRequested = true; };
  EXPECT_TRUE(compare("big", CompareType::Binary));  // the differing last byte was never read
  EXPECT_EQ(window.fileProgress, (std::vector<int>{49, 0}));
}

TEST_F(CompareFixture, OverallBarStaysStillWithoutAMeasuredTotal) {
  tree.writeFile("m/a", "abc");
  tree.writeFile("r/a", "abc");
  engine.state().TotalBytes = 0;
  EXPECT_TRUE(compare("a", CompareType::Binary));
  EXPECT_TRUE(window.overallProgress.empty());
}

}  // namespace
