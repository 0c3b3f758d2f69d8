// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// The batch mode through the window: the option letters at the first showing, each tick of
// Timer1 with the intervals of parameter 4, runs once or repeated, and the exit status.
#include "tests/shell/shell_fixture.h"

#include "shell/batch_mode.h"
#include "shell/folder_list.h"
#include "shell/status_memo.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <filesystem>

namespace vardell::test {
namespace {

class BatchTest : public ::testing::Test {
 protected:
  void TearDown() override {
    batch_.reset();
    window_.reset();
  }
  // Builds the window and the batch mode on master/mirror with these letters and
  // further parameters, and shows the window (which applies the letters).
  void start(const std::string& letters, std::vector<std::string> more = {}) {
    master_ = std::make_unique<ScopedFolder>();
    mirror_ = std::make_unique<ScopedFolder>();
    master_->writeFile("a.txt", "alpha");
    master_->writeFile("sub/b.txt", "beta");
    mirror_->writeFile("stale.txt", "old");
    std::vector<std::string> parameters{master_->path(), mirror_->path(), letters};
    parameters.insert(parameters.end(), more.begin(), more.end());
    ShellConfig config;
    config.runLogFolders = {logs_.path() + "/"};
    config.commandLine.present = true;
    config.commandLine.letters = letters;
    window_ = std::make_unique<TMainForm>(config, prompts_, &updatePrompts_);
    ASSERT_TRUE(window_->setMasterFolder(master_->path()));
    ASSERT_TRUE(window_->setMirrorFolder(mirror_->path()));
    batch_ = std::make_unique<TBatchMode>(*window_, parameters);
    finished_ = std::make_unique<QSignalSpy>(batch_.get(), &TBatchMode::finished);
    window_->setFirstShowHandler([this] { batch_->FormShow(); });
    window_->show();
  }
  bool synced() const {
    return mirror_->exists("a.txt") && mirror_->exists("sub/b.txt") && !mirror_->exists("stale.txt");
  }
  int runsLogged() const { return window_->Memo1->lines().filter(QStringLiteral("Elapsed Time:")).size(); }

  std::unique_ptr<ScopedFolder> master_, mirror_;
  ScopedFolder logs_;
  RecordingPrompts prompts_;
  RecordingUpdatePrompts updatePrompts_;
  std::unique_ptr<TMainForm> window_;
  std::unique_ptr<TBatchMode> batch_;
  std::unique_ptr<QSignalSpy> finished_;
};

struct LettersRow {
  const char* letters;
  bool armed;
  int compareType;
  bool caseSense, subFolders, protect;
};

TEST_F(BatchTest, LettersSetTheOptionsAndArmTheTimer) {
  const LettersRow rows[] = {
      {"BS", false, 1, false, true, false},  {"rq", false, 0, false, false, false},
      {"N", true, 0, false, false, false},   {"RQ", true, 0, false, false, false},
      {"QTBA", true, 0, false, false, false}, {"xAxCxDx", false, 2, true, false, true},
      {"PBAS", false, 1, false, true, false},
  };
  for (const LettersRow& row : rows) {
    start(row.letters);
    EXPECT_EQ(batch_->Timer1->isActive(), row.armed) << row.letters;
    EXPECT_EQ(batch_->Timer1->interval(), 1000) << row.letters;
    EXPECT_EQ(window_->CompareTypeButtons->checkedId(), row.compareType) << row.letters;
    EXPECT_EQ(window_->CaseChkBox->isChecked(), row.caseSense) << row.letters;
    EXPECT_EQ(window_->SubDirectoryCheckBox->isChecked(), row.subFolders) << row.letters;
    EXPECT_EQ(window_->ProtectCBtn->isChecked(), row.protect) << row.letters;
    TearDown();
  }
}

struct TickRow {
  const char* name;
  std::string letters;
  std::vector<std::string> more;
  bool syncs;        // the mirror equals the master after the tick
  int runs;          // runs in the tick
  bool timerOn;      // Timer1 still on after the tick
  int interval;      // Timer1's interval after the tick
  bool ends;         // the program is told to end
  int status = 0;    // its exit status then
};

TEST_F(BatchTest, EachTickRunsWhatTheLettersSay) {
  const TickRow rows[] = {
      {"RQ once then end", "RQS", {}, true, 1, false, 1000, true},
      {"PQ once and stay", "PQS", {}, false, 1, false, 1000, false},
      {"R repeats every second", "RS", {}, true, 1, true, 1000, false},
      // The Compare clears the status window: its one run shows, and it finds the Sync done.
      {"RPQ Sync then Compare then end", "RPQS", {}, true, 1, false, 1000, true},
      {"R with 30 minutes", "RS", {"30"}, true, 1, true, 30 * 60000, false},
      {"R with 0: one Sync and stay", "RS", {"0"}, true, 1, false, 0, false},
      {"R with -4 keeps the interval", "RS", {"-4"}, true, 1, true, 1000, false},
      {"RQ with x: the Sync runs, then the end", "RQS", {"x"}, true, 1, false, 1000, true, 2},
      {"R with 40000: the Sync runs, then the end", "RS", {"40000"}, true, 1, false, 1000, true, 2},
      {"N alone only ticks", "N", {}, false, 0, true, 1000, false},
  };
  for (const TickRow& row : rows) {
    start(row.letters, row.more);
    batch_->Timer1Timer();
    EXPECT_EQ(synced(), row.syncs) << row.name;
    EXPECT_EQ(runsLogged(), row.runs) << row.name;
    if (row.letters.find('P') != std::string::npos) {
      EXPECT_EQ(window_->Memo1->lines().contains(QStringLiteral("Folders match")), row.syncs) << row.name;
    }
    EXPECT_EQ(batch_->Timer1->isActive(), row.timerOn) << row.name;
    if (row.interval) {
      EXPECT_EQ(batch_->Timer1->interval(), row.interval) << row.name;
    }
    EXPECT_EQ(finished_->size(), row.ends ? 1 : 0) << row.name;
    if (row.ends && finished_->size() == 1) {
      EXPECT_EQ(finished_->at(0).at(0).toInt(), row.status) << row.name;
    }
    if (row.status == 2) {
      // Said after the run's own lines, which clear the window, so it is still there to read.
      const QString shown = window_->Memo1->lines().join(QLatin1Char('\n'));
      EXPECT_GT(shown.indexOf(QStringLiteral("The minutes between runs")), shown.indexOf(QStringLiteral("Elapsed Time:")))
          << row.name << ": " << shown.toStdString();
    }
    EXPECT_EQ(prompts_.folderQuestions, 0) << row.name << ": a batch run asked a question";
    TearDown();
  }
}

TEST_F(BatchTest, RQRunsOneSecondAfterStartThroughTheRealTimer) {
  start("RQS");
  ASSERT_TRUE(finished_->wait(5000));
  EXPECT_TRUE(synced());
  EXPECT_EQ(finished_->at(0).at(0).toInt(), 0);
  EXPECT_FALSE(window_->trayIconShown());
}

TEST_F(BatchTest, EmptyMasterInABatchRunRemovesNothingAndEndsWithStatusTwo) {
  master_ = std::make_unique<ScopedFolder>();
  mirror_ = std::make_unique<ScopedFolder>();
  mirror_->writeFile("precious.txt", "keep");
  std::vector<std::string> parameters{master_->path(), mirror_->path(), "RQS"};
  ShellConfig config;
  config.runLogFolders = {logs_.path() + "/"};
  config.commandLine.present = true;
  config.commandLine.letters = "RQS";
  window_ = std::make_unique<TMainForm>(config, prompts_, &updatePrompts_);
  ASSERT_TRUE(window_->setMasterFolder(master_->path()));
  ASSERT_TRUE(window_->setMirrorFolder(mirror_->path()));
  batch_ = std::make_unique<TBatchMode>(*window_, parameters);
  QSignalSpy finished(batch_.get(), &TBatchMode::finished);
  window_->setFirstShowHandler([this] { batch_->FormShow(); });
  window_->show();
  batch_->Timer1Timer();
  EXPECT_TRUE(mirror_->exists("precious.txt"));
  EXPECT_TRUE(prompts_.questions.isEmpty()) << "an unattended run asked about the empty master";
  ASSERT_EQ(finished.size(), 1);
  EXPECT_EQ(finished.at(0).at(0).toInt(), 2);
  EXPECT_EQ(window_->Memo1->lines().filter(QStringLiteral("is empty")).size(), 1);
}

TEST_F(BatchTest, LettersThatStartNoRunLeaveTheSessionToTheUser) {
  // B and S only set options: whoever started the program is at the window, so an empty
  // master is asked about, as in any session.
  start("BS");
  std::filesystem::remove_all(master_->path() + "/a.txt");
  std::filesystem::remove_all(master_->path() + "/sub");
  prompts_.yesNoAnswers = {false};
  window_->ReplicateBtnClick();
  EXPECT_EQ(prompts_.questions.size(), 1);
  EXPECT_TRUE(mirror_->exists("stale.txt"));
  EXPECT_EQ(finished_->size(), 0);
}

struct StatusRow {
  RunOutcome outcome;
  int failed;
  int status;
};

TEST(BatchExitStatus, MeansWhatTheTerminalFrontEndsStatusMeans) {
  const StatusRow rows[] = {
      {RunOutcome::SyncCompleted, 0, 0}, {RunOutcome::SyncCompleted, 3, 1}, {RunOutcome::SyncAborted, 0, 1},
      {RunOutcome::Refused, 0, 2},       {RunOutcome::Cancelled, 0, 2},     {RunOutcome::FoldersMatch, 0, 0},
      {RunOutcome::FoldersDiffer, 0, 1}, {RunOutcome::None, 0, 2},
  };
  for (const StatusRow& row : rows) {
    RunReport report;
    report.outcome = row.outcome;
    report.failedActions = row.failed;
    EXPECT_EQ(batchExitStatus(report), row.status) << int(row.outcome) << " " << row.failed;
  }
}

}  // namespace
}  // namespace vardell::test
