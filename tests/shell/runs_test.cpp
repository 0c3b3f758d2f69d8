// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// Runs through the window: the controls during and after a real Compare and Sync on
// temporary folders, Abort, the folder-name dialog's answers, the empty-master question,
// refusals and the status caption.
#include "tests/shell/shell_fixture.h"

#include "engine/version.h"
#include "shell/continue_form.h"
#include "shell/drive_chooser.h"
#include "shell/folder_list.h"
#include "shell/shorten_path.h"
#include "shell/status_memo.h"
#include "shell/title_bar.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QToolButton>
#include <QTimer>

#include <filesystem>

namespace vardell::test {
namespace {

// Which commands and choosers could be used, sampled while a run goes on.
struct RunSample {
  bool compare, sync, abort, exit, update, drive1, drive2, list1, list2, options, memo;
  bool fileCaption, overallCaption;
};

class RunTest : public MainFormTest {
 protected:
  // Samples the controls on every pass of the event loop while a run is going on, and
  // calls `during` (once per sample) so a test can act in the middle of the run.
  void sampleDuringRuns(std::function<void()> during = {}) {
    sampler_ = std::make_unique<QTimer>();
    sampler_->setInterval(0);
    QObject::connect(sampler_.get(), &QTimer::timeout, [this, during] {
      if (!window_->running()) return;
      TMainForm& w = *window_;
      samples_.push_back({w.CompareBtn->isEnabled(), w.ReplicateBtn->isEnabled(), w.AbortBtn->isEnabled(),
                          w.ExitBtn->isEnabled(), w.GetNewBtn->isEnabled(), w.DriveComboBox1->isEnabled(),
                          w.DriveComboBox2->isEnabled(), w.DirectoryListBox1->isEnabled(),
                          w.DirectoryListBox2->isEnabled(),
                          w.SubDirectoryCheckBox->isEnabled() || w.ProtectCBtn->isEnabled() ||
                              w.CaseChkBox->isEnabled() || w.CompareType->isEnabled(),
                          w.Memo1->isEnabled(), w.FileStatusLabel->isEnabled(), w.OverallProgressLabel->isEnabled()});
      if (during) during();
    });
    sampler_->start();
  }

  void expectLockedInEverySample() {
    ASSERT_FALSE(samples_.empty()) << "the run never let the window handle its events";
    for (const RunSample& s : samples_) {
      EXPECT_TRUE(s.abort);
      EXPECT_TRUE(s.update);
      EXPECT_TRUE(s.memo);
      EXPECT_FALSE(s.compare || s.sync || s.exit || s.drive1 || s.drive2 || s.list1 || s.list2 || s.options);
    }
  }

  void expectIdleControls() {
    TMainForm& w = *window_;
    EXPECT_TRUE(w.CompareBtn->isEnabled());
    EXPECT_FALSE(w.AbortBtn->isEnabled());
    EXPECT_TRUE(w.ExitBtn->isEnabled());
    EXPECT_TRUE(w.DriveComboBox1->isEnabled() && w.DriveComboBox2->isEnabled());
    EXPECT_TRUE(w.DirectoryListBox1->isEnabled() && w.DirectoryListBox2->isEnabled());
    EXPECT_TRUE(w.ProtectCBtn->isEnabled() && w.CaseChkBox->isEnabled() && w.CompareType->isEnabled());
    EXPECT_FALSE(w.running());
    EXPECT_FALSE(w.StatusCaptionTimer->isActive());
    EXPECT_EQ(w.CompLabel->text(), QStringLiteral("Status"));
    EXPECT_EQ(w.OverallProgressBar->value(), 0);
  }

  void protectionOff() {
    if (window_->ProtectCBtn->isChecked()) QTest::mouseClick(window_->ProtectCBtn, Qt::LeftButton);
    ASSERT_FALSE(window_->ProtectCBtn->isChecked());
  }

  std::unique_ptr<QTimer> sampler_;
  std::vector<RunSample> samples_;
};

TEST_F(RunTest, CompareWithDifferencesLocksTheWindowThenShowsColouredLines) {
  ScopedFolder trees;
  trees.writeFile("master/Photos/same.txt", "same");
  trees.writeFile("mirror/Photos/same.txt", "same");
  trees.writeFile("master/Photos/new.txt", "new");
  trees.writeFile("mirror/Photos/old.txt", "old");
  fillTree(trees, "master/Photos/many", 60);
  fillTree(trees, "mirror/Photos/many", 60);
  showFolders(trees / "master/Photos", trees / "mirror/Photos");
  sampleDuringRuns();
  click(window_->CompareBtn);
  expectLockedInEverySample();
  for (const RunSample& s : samples_) EXPECT_FALSE(s.fileCaption || s.overallCaption) << "Size and Time";
  expectIdleControls();

  const QStringList lines = statusLines();
  ASSERT_GE(lines.size(), 5);
  EXPECT_EQ(lines[1], QString::fromStdString("Comparing " + trees / "master/Photos" + " to " + trees / "mirror/Photos"));
  EXPECT_TRUE(lines.contains(QString::fromStdString("Unpaired mirror file " + trees / "mirror/Photos/old.txt")));
  EXPECT_TRUE(lines.contains(QString::fromStdString("Unpaired master file " + trees / "master/Photos/new.txt")));
  EXPECT_EQ(lines[lines.size() - 2], QStringLiteral("Folders do not match"));
  EXPECT_TRUE(lines.last().startsWith(QStringLiteral("Elapsed Time:  ")));
  // The colours of the fragments: the header purple, the verdict red.
  EXPECT_EQ(window_->Memo1->fragmentsOf(0).front().second, qColorOf(Colour::Purple));
  const auto verdict = window_->Memo1->fragmentsOf(int(lines.size()) - 2);
  ASSERT_EQ(verdict.size(), 1u);
  EXPECT_EQ(verdict[0].second, qColorOf(Colour::Red));
  const int mirrorLine = int(lines.indexOf(QString::fromStdString("Unpaired mirror file " + trees / "mirror/Photos/old.txt")));
  const auto unpaired = window_->Memo1->fragmentsOf(mirrorLine);
  ASSERT_EQ(unpaired.size(), 2u);
  EXPECT_EQ(unpaired[1].second, qColorOf(Colour::Grey));
  EXPECT_TRUE(trees.exists("mirror/Photos/old.txt")) << "Compare changes nothing";
}

TEST_F(RunTest, BinaryCompareEnablesTheProgressCaptionsDuringTheRun) {
  ScopedFolder trees;
  fillTree(trees, "master/Data", 40);
  fillTree(trees, "mirror/Data", 40);
  showFolders(trees / "master/Data", trees / "mirror/Data");
  QTest::mouseClick(window_->CompareTypeButtons->button(1), Qt::LeftButton, Qt::NoModifier, QPoint(7, 9));
  sampleDuringRuns();
  click(window_->CompareBtn);
  expectLockedInEverySample();
  for (const RunSample& s : samples_) EXPECT_TRUE(s.fileCaption && s.overallCaption);
  EXPECT_TRUE(statusLines().contains(QStringLiteral("Folders match")));
  EXPECT_EQ(window_->compareType(), CompareType::Binary) << "the user's choice is back after the run";
  EXPECT_TRUE(window_->FileStatusLabel->isEnabled());
  EXPECT_EQ(window_->FileStatusLabel->text(), QStringLiteral("Binary Compare Progress"));
}

TEST_F(RunTest, AbortMidRunEndsTheCompareAndKeepsItsCaption) {
  ScopedFolder trees;
  fillTree(trees, "master/Big", 1500);
  fillTree(trees, "mirror/Big", 1500);
  showFolders(trees / "master/Big", trees / "mirror/Big");
  QStringList captionsAfterAbort;
  bool aborted = false;
  sampleDuringRuns([&] {
    if (!aborted) {
      QTest::mouseClick(window_->AbortBtn, Qt::LeftButton);
      aborted = true;
      EXPECT_EQ(window_->CompLabel->text(), QStringLiteral("Aborting Operation...")) << "at once";
      EXPECT_FALSE(window_->StatusCaptionTimer->isActive());
    } else {
      captionsAfterAbort << window_->CompLabel->text();
    }
  });
  click(window_->CompareBtn);
  ASSERT_TRUE(aborted);
  for (const QString& caption : captionsAfterAbort) EXPECT_EQ(caption, QStringLiteral("Aborting Operation..."));
  const QStringList lines = statusLines();
  ASSERT_GE(lines.size(), 2);
  EXPECT_EQ(lines[lines.size() - 2], QStringLiteral("Compare aborted"));
  EXPECT_EQ(window_->engine().lastRun().outcome, RunOutcome::CompareAborted);
  expectIdleControls();
}

TEST_F(RunTest, SyncMakesTheMirrorEqualAndReappliesTheGuardAfterwards) {
  ScopedFolder trees;
  trees.writeFile("master/Photos/new.txt", "new");
  trees.writeFile("master/Photos/sub/inner.txt", "inner");
  trees.writeFile("mirror/Photos/extra.txt", "extra");
  fillTree(trees, "master/Photos/many", 50);
  showFolders(trees / "master/Photos", trees / "mirror/Photos");
  protectionOff();
  ASSERT_TRUE(window_->ReplicateBtn->isEnabled());
  sampleDuringRuns();
  click(window_->ReplicateBtn);
  expectLockedInEverySample();
  expectIdleControls();
  EXPECT_EQ(prompts_.folderQuestions, 0) << "the folder names are equal";
  EXPECT_EQ(trees.read("mirror/Photos/new.txt"), "new");
  EXPECT_EQ(trees.read("mirror/Photos/sub/inner.txt"), "inner");
  EXPECT_TRUE(trees.exists("mirror/Photos/many/d3/f13.txt"));
  EXPECT_FALSE(trees.exists("mirror/Photos/extra.txt"));
  const QStringList lines = statusLines();
  EXPECT_TRUE(lines.contains(QStringLiteral("Replication completed")));
  EXPECT_TRUE(lines.contains(QStringLiteral("Files Copied: 52")));
  EXPECT_TRUE(lines.contains(QStringLiteral("Files Removed: 1")));
  // The guard after the run: protection off keeps Sync; turning it on takes it away.
  EXPECT_TRUE(window_->ReplicateBtn->isEnabled());
  QTest::mouseClick(window_->ProtectCBtn, Qt::LeftButton);
  EXPECT_FALSE(window_->ReplicateBtn->isEnabled());
}

TEST_F(RunTest, RefusedNestedFoldersReachTheStatusWindowInRed) {
  ScopedFolder trees;
  trees.writeFile("master/a.txt", "a");
  trees.makeFolder("master/inside");
  showFolders(trees / "master", trees / "master/inside");
  click(window_->CompareBtn);
  const QStringList lines = statusLines();
  ASSERT_FALSE(lines.isEmpty());
  EXPECT_FALSE(lines.contains(QStringLiteral("Folders match")));
  EXPECT_EQ(window_->engine().lastRun().outcome, RunOutcome::Refused);
  EXPECT_EQ(lines.last(), QString::fromStdString(window_->engine().lastRun().refusal));
  EXPECT_EQ(window_->Memo1->fragmentsOf(int(lines.size()) - 1).front().second, qColorOf(Colour::Red));
  expectIdleControls();
}

// --- The folder-name dialog's answers -------------------------------------------------------

class FolderNameAnswers : public RunTest {
 protected:
  void SetUp() override {
    RunTest::SetUp();
    trees_.writeFile("D/Photos/p.jpg", "picture");
    trees_.writeFile("E/Backup/old.txt", "old");
    showFolders(trees_ / "D/Photos", trees_ / "E/Backup");
    protectionOff();
  }
  ScopedFolder trees_;
};

TEST_F(FolderNameAnswers, ContinueSyncsTheMirrorFolderItself) {
  prompts_.folderAnswers = {NameAnswer::ContinueWithDifferentNames};
  click(window_->ReplicateBtn);
  EXPECT_EQ(prompts_.folderQuestions, 1);
  EXPECT_EQ(trees_.read("E/Backup/p.jpg"), "picture");
  EXPECT_FALSE(trees_.exists("E/Backup/old.txt"));
  EXPECT_FALSE(trees_.exists("E/Backup/Photos"));
  EXPECT_TRUE(std::filesystem::exists(logs_ / "log-root-Backup.txt"));
  expectIdleControls();
}

TEST_F(FolderNameAnswers, CreateFolderSyncsIntoANewFolderNamedLikeTheMaster) {
  prompts_.folderAnswers = {NameAnswer::CreateFolderThenContinue};
  click(window_->ReplicateBtn);
  EXPECT_EQ(prompts_.folderQuestions, 1);
  EXPECT_EQ(trees_.read("E/Backup/Photos/p.jpg"), "picture");
  EXPECT_TRUE(trees_.exists("E/Backup/old.txt")) << "the folder that was chosen is left alone";
  EXPECT_EQ(window_->mirrorFolder(), trees_ / "E/Backup/Photos");
  EXPECT_TRUE(statusLines().contains(QString::fromStdString("Modified " + trees_ / "E/Backup/Photos")));
  EXPECT_TRUE(std::filesystem::exists(logs_ / "log-root-Photos.txt"));
  expectIdleControls();
}

TEST_F(FolderNameAnswers, CancelChangesNothingAndUnlocksTheWindow) {
  prompts_.folderAnswers = {NameAnswer::Cancel};
  click(window_->ReplicateBtn);
  EXPECT_EQ(prompts_.folderQuestions, 1);
  EXPECT_TRUE(trees_.exists("E/Backup/old.txt"));
  EXPECT_FALSE(trees_.exists("E/Backup/p.jpg"));
  EXPECT_EQ(window_->engine().lastRun().outcome, RunOutcome::Cancelled);
  EXPECT_TRUE(window_->CompareBtn->isEnabled());
  EXPECT_TRUE(window_->ReplicateBtn->isEnabled());
  EXPECT_FALSE(window_->AbortBtn->isEnabled());
}

TEST_F(FolderNameAnswers, TheDialogNamesTheMirrorFolderShortenedToTheListWidth) {
  prompts_.folderAnswers = {NameAnswer::Cancel};
  click(window_->ReplicateBtn);
  ASSERT_EQ(prompts_.folderHeadings.size(), 1);
  const QString heading = prompts_.folderHeadings[0];
  EXPECT_TRUE(heading.endsWith(QStringLiteral("Backup")));
  EXPECT_LE(window_->ContinueForm->ContinueForm->fontMetrics().horizontalAdvance(heading),
            window_->DirectoryListBox2->width());
  EXPECT_EQ(heading, ShortenPath(QString::fromStdString(trees_ / "E/Backup"), window_->DirectoryListBox2->width(),
                                 window_->ContinueForm->ContinueForm->font(), QStringLiteral("/")));
}

// --- The empty-master question ---------------------------------------------------------------

TEST_F(RunTest, EmptyMasterAsksHowManyEntriesGoAndNoKeepsThem) {
  ScopedFolder trees;
  trees.makeFolder("master/Data");
  trees.writeFile("mirror/Data/one.txt", "1");
  trees.writeFile("mirror/Data/two.txt", "2");
  showFolders(trees / "master/Data", trees / "mirror/Data");
  protectionOff();
  click(window_->ReplicateBtn);  // no answer preset: the default, No
  ASSERT_EQ(prompts_.questions.size(), 1);
  EXPECT_TRUE(prompts_.questions[0].contains(QStringLiteral("2 entries")));
  EXPECT_TRUE(prompts_.questions[0].contains(QString::fromStdString(trees / "master/Data")));
  EXPECT_TRUE(trees.exists("mirror/Data/one.txt"));
  EXPECT_TRUE(trees.exists("mirror/Data/two.txt"));
  EXPECT_EQ(window_->engine().lastRun().outcome, RunOutcome::Refused);
  EXPECT_TRUE(statusLines().last().contains(QStringLiteral("is empty")));
  expectIdleControls();
}

TEST_F(RunTest, EmptyMasterConfirmedEmptiesTheMirror) {
  ScopedFolder trees;
  trees.makeFolder("master/Data");
  trees.writeFile("mirror/Data/one.txt", "1");
  showFolders(trees / "master/Data", trees / "mirror/Data");
  protectionOff();
  prompts_.yesNoAnswers = {true};
  click(window_->ReplicateBtn);
  ASSERT_EQ(prompts_.questions.size(), 1);
  EXPECT_TRUE(prompts_.questions[0].contains(QStringLiteral("1 entry ")));
  EXPECT_FALSE(trees.exists("mirror/Data/one.txt"));
  EXPECT_TRUE(statusLines().contains(QStringLiteral("Replication completed")));
}

// --- The status caption ------------------------------------------------------------------------

TEST_F(RunTest, StatusCaptionShowsTheShortenedPathAndTheFileTextOnlyWhenEnabled) {
  const std::string deep = "/srv/" + std::string(120, 'x') + "/" + std::string(80, 'y') + "/file.dat";
  window_->engine().state().CurrentPath = deep;
  window_->engine().state().FileProgressText = "Comparing file.dat";
  window_->StatusCaptionTimerTimer();
  const QString caption = window_->CompLabel->text();
  EXPECT_EQ(caption, ShortenPath(QString::fromStdString(deep), 585, window_->CompLabel->font(), QStringLiteral("/")));
  EXPECT_TRUE(caption.startsWith(QStringLiteral("/.../"))) << caption.toStdString();
  EXPECT_LE(window_->CompLabel->fontMetrics().horizontalAdvance(caption), 585);
  // With Size and Time the file progress caption is disabled and keeps its text.
  EXPECT_EQ(window_->FileStatusLabel->text(), QStringLiteral("Binary Compare Progress"));
  QTest::mouseClick(window_->CompareTypeButtons->button(2), Qt::LeftButton, Qt::NoModifier, QPoint(7, 9));
  window_->StatusCaptionTimerTimer();
  EXPECT_EQ(window_->FileStatusLabel->text(), QStringLiteral("Comparing file.dat"));
}

}  // namespace
}  // namespace vardell::test
