// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// The status log: fragments, colours, line completion and the run log file.
#include "engine/paths.h"
#include "engine/sync_engine.h"
#include "tests/support/fault_filesystem.h"
#include "tests/support/recording_window.h"
#include "tests/support/temp_tree.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace vardell;
using namespace vardell::test;

namespace {

struct LogFixture : ::testing::Test {
  TempTree tree;
  RecordingWindow window;
  FaultFileSystem fs;
  SyncEngine engine{fs, window, EngineSetup{{tree.root() + "/"}, {}, {}}};
  // Opens the status log's run log `name` in the tree's folder.
  std::error_code openLog(const std::string& name) {
    std::string path;
    return engine.statusLog().openRunLog({tree.root()}, name, path);
  }
};

TEST_F(LogFixture, FragmentsJoinIntoOneLineWithTheirOwnColours) {
  ASSERT_FALSE(openLog("log.txt"));
  engine.LogStatus("Comparing ", Colour::Navy, false);
  engine.LogStatus("/m", Colour::Black, false);
  engine.LogStatus(" to ", Colour::Navy, false);
  engine.LogStatus("/r", Colour::Black, true);
  ASSERT_FALSE(engine.statusLog().closeRunLog());

  ASSERT_EQ(window.texts(), std::vector<std::string>{"Comparing /m to /r"});
  const std::vector<Fragment> expected{
      {"Comparing ", Colour::Navy}, {"/m", Colour::Black}, {" to ", Colour::Navy}, {"/r", Colour::Black}};
  EXPECT_EQ(window.lines[0].fragments, expected);
  EXPECT_EQ(tree.readFile("log.txt"), "Comparing /m to /r\r\n");
}

TEST_F(LogFixture, UnfinishedLineReachesTheLogOnlyWithTheNextLineEnd) {
  ASSERT_FALSE(openLog("log.txt"));
  engine.LogStatus("Folders match", Colour::Green, true);
  const int writesAfterTheFirstLine = fs.calls(Op::WriteLog);
  engine.LogStatus("Size mismatch ", Colour::Maroon, false);
  // Shown at once in the window, not yet handed to the log.
  EXPECT_EQ(window.lines.back().text(), "Size mismatch ");
  EXPECT_EQ(fs.calls(Op::WriteLog), writesAfterTheFirstLine);
  engine.LogStatus("/m/a", Colour::Black, true);
  EXPECT_EQ(fs.calls(Op::WriteLog), writesAfterTheFirstLine + 1);
  ASSERT_FALSE(engine.statusLog().closeRunLog());
  EXPECT_EQ(tree.readFile("log.txt"), "Folders match\r\nSize mismatch /m/a\r\n");
}

TEST_F(LogFixture, LinesWithoutAnOpenLogStillReachTheWindow) {
  engine.LogStatus("Replication completed", Colour::Green, true);
  EXPECT_EQ(window.texts(), std::vector<std::string>{"Replication completed"});
  EXPECT_FALSE(engine.statusLog().closeRunLog());
}

TEST_F(LogFixture, EachRunReplacesTheLogAndAReadOnlyLogIsMadeWritable) {
  const std::string log = tree.path("log-x-Photos.txt");
  tree.writeFile("log-x-Photos.txt", "an earlier run\r\nwith two lines\r\n");
  ASSERT_EQ(::chmod(log.c_str(), 0444), 0);
  ASSERT_FALSE(engine.openRunLog("log-x-Photos.txt"));
  EXPECT_EQ(engine.runLogPath(), log);
  engine.LogStatus("new run", Colour::Purple, true);
  ASSERT_FALSE(engine.statusLog().closeRunLog());
  EXPECT_EQ(tree.readFile("log-x-Photos.txt"), "new run\r\n");
  struct stat st {};
  ASSERT_EQ(::stat(log.c_str(), &st), 0);
  EXPECT_TRUE(st.st_mode & S_IWUSR);
  EXPECT_EQ(window.texts(), std::vector<std::string>{"new run"});
}

TEST_F(LogFixture, AWriteErrorIsReportedWhenTheLogCloses) {
  ASSERT_FALSE(openLog("log.txt"));
  engine.LogStatus("first", Colour::Black, true);
  fs.fault = [](Op op, const std::string&) {
    return op == Op::WriteLog ? std::make_error_code(std::errc::no_space_on_device) : std::error_code{};
  };
  engine.LogStatus("second", Colour::Black, true);
  engine.LogStatus("third", Colour::Black, true);
  EXPECT_EQ(engine.statusLog().closeRunLog(), std::errc::no_space_on_device);
  EXPECT_EQ(window.texts(), (std::vector<std::string>{"first", "second", "third"}));  // the window has every line
}

TEST_F(LogFixture, ARunLogNameSharedWithAnotherFileNeverChangesThatFile) {
  tree.writeFile("precious", "master data");
  ASSERT_EQ(::chmod(tree.path("precious").c_str(), 0444), 0);
  ASSERT_EQ(::link(tree.path("precious").c_str(), tree.path("hard.txt").c_str()), 0);
  tree.makeLink("soft.txt", tree.path("precious"));
  for (const char* name : {"hard.txt", "soft.txt"}) {
    ASSERT_FALSE(engine.openRunLog(name)) << name;
    engine.LogStatus("a line", Colour::Black, true);
    ASSERT_FALSE(engine.statusLog().closeRunLog());
    EXPECT_EQ(tree.readFile(name), "a line\r\n") << name;
  }
  EXPECT_EQ(tree.readFile("precious"), "master data");
  struct stat st {};
  ASSERT_EQ(::stat(tree.path("precious").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0444u);
  EXPECT_EQ(st.st_nlink, 1u);
}

TEST_F(LogFixture, ControlCharactersInNamesAreEscapedSoEachLineStaysOneLine) {
  ASSERT_FALSE(openLog("log.txt"));
  engine.LogStatus("Unpaired master file ", Colour::Olive, false);
  engine.LogStatus("/m/two\nlines\tand\x01", Colour::Grey, true);
  ASSERT_FALSE(engine.statusLog().closeRunLog());
  EXPECT_EQ(tree.readFile("log.txt"), "Unpaired master file /m/two\\nlines\\tand\\x01\r\n");
}

TEST(RunLogName, UsesTheLastFolderNameAndTheVolumeTag) {
  EXPECT_EQ(RunLogName("usb", folderNameOf("/media/usb/Backup/Photos", "")), "log-usb-Photos.txt");
  // Two mirrors with the same last folder name share one log.
  EXPECT_EQ(folderNameOf("/d/Old/Photos", ""), folderNameOf("/d/Photos/", ""));
  EXPECT_EQ(folderNameOf("/", "root"), "root");
  EXPECT_EQ(folderNameOf("/media/usb", "usb"), "usb");
}

TEST_F(LogFixture, RunLogNameOfANestedFolderAndOfTheRootVolume) {
  tree.makeFolder("Backup/Photos");
  const std::string nested = engine.runLogFileName(tree.path("Backup/Photos"));
  EXPECT_TRUE(nested.starts_with("log-")) << nested;
  EXPECT_TRUE(nested.ends_with("-Photos.txt")) << nested;
  EXPECT_EQ(engine.runLogFileName("/"), "log-root-root.txt");
}

TEST(Paths, JoiningNeverDoublesTheSeparator) {
  EXPECT_EQ(joinPath("/", "a"), "/a");
  EXPECT_EQ(joinPath("/m", "a"), "/m/a");
  EXPECT_EQ(withoutTrailingSeparator("/m/"), "/m");
  EXPECT_EQ(withoutTrailingSeparator("/"), "/");
}

}  // namespace
