// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// A master or mirror folder that vanishes while the window shows it: the list keeps naming
// it, a run started by a button or by the batch timer is refused instead of going to the
// folder above it, and the run after the folder is back goes ahead on it.
#include "tests/shell/shell_fixture.h"

#include "shell/batch_mode.h"
#include "shell/folder_list.h"
#include "shell/status_memo.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <filesystem>

namespace vardell::test {
namespace {

// The master src/photos and the mirror backup/photos, each beside other content of its
// parent that a run must never reach.
void writeTrees(const ScopedFolder& trees) {
  trees.writeFile("src/photos/a.jpg", "alpha");
  trees.writeFile("src/photos/sub/b.jpg", "beta");
  trees.writeFile("src/docs/letter.txt", "dear");
  trees.writeFile("backup/photos/stale.jpg", "old");
  trees.writeFile("backup/notes.txt", "mine");
  trees.writeFile("backup/music/song.ogg", "la la");
}

std::string refusalFor(const char* side, const std::string& folder) {
  return std::string("The ") + side + " folder " + folder + " does not exist";
}

TEST(FolderList, VanishedFolderStaysTheListsFolderUntilItIsBack) {
  ScopedFolder trees;
  trees.makeFolder("a/b/c");
  auto fs = makePosixFileSystem();
  TDirectoryListBox list(*fs);
  ASSERT_TRUE(list.setDirectory(trees / "a/b"));
  QSignalSpy vanished(&list, &TDirectoryListBox::vanished);
  QSignalSpy changed(&list, &TDirectoryListBox::directoryChanged);

  std::filesystem::remove_all(trees / "a/b");
  list.Update();
  list.Update();
  EXPECT_EQ(list.Directory(), trees / "a/b");
  EXPECT_TRUE(list.folderMissing());
  ASSERT_NE(list.currentItem(), nullptr);
  EXPECT_EQ(list.currentItem()->text(), QStringLiteral("b"));
  EXPECT_EQ(list.currentRow(), list.count() - 1) << "no subfolder is shown for a folder that is gone";
  ASSERT_EQ(vanished.size(), 1) << "the vanish is noted once, not at every reading";
  EXPECT_EQ(vanished.at(0).at(0).toString().toStdString(), trees / "a/b");
  EXPECT_EQ(changed.size(), 0);

  trees.makeFolder("a/b/d");
  list.Update();
  EXPECT_FALSE(list.folderMissing());
  EXPECT_EQ(list.item(list.count() - 1)->text(), QStringLiteral("d"));
  std::filesystem::remove_all(trees / "a/b");
  list.Update();
  EXPECT_EQ(vanished.size(), 2) << "a second vanish is noted again";
}

class VanishedByButton : public MainFormTest {
 protected:
  void SetUp() override {
    MainFormTest::SetUp();
    writeTrees(trees_);
    showFolders(trees_ / "src/photos", trees_ / "backup/photos");
    if (window_->ProtectCBtn->isChecked()) QTest::mouseClick(window_->ProtectCBtn, Qt::LeftButton);
  }
  ScopedFolder trees_;
};

TEST_F(VanishedByButton, ClickAfterTheMirrorVanishedIsRefusedAndNeverUsesItsParent) {
  std::filesystem::remove_all(trees_ / "backup/photos");
  const std::vector<std::string> before = trees_.snapshot("backup");
  const std::string refusal = refusalFor("mirror", trees_ / "backup/photos");
  for (QPushButton* button : {window_->CompareBtn, window_->ReplicateBtn}) {
    click(button);
    EXPECT_EQ(window_->engine().lastRun().outcome, RunOutcome::Refused) << button->text().toStdString();
    EXPECT_EQ(statusLines().join('\n').toStdString(), refusal) << button->text().toStdString();
    const auto fragments = window_->Memo1->fragmentsOf(0);
    ASSERT_FALSE(fragments.empty());
    EXPECT_EQ(fragments.front().second, qColorOf(Colour::Red));
    EXPECT_EQ(window_->mirrorFolder(), trees_ / "backup/photos");
    EXPECT_EQ(window_->MirrorPathEdit->text().toStdString(), trees_ / "backup/photos");
    EXPECT_EQ(trees_.snapshot("backup"), before) << "a run reached the parent of the vanished mirror";
    EXPECT_TRUE(window_->ReplicateBtn->isEnabled() && window_->CompareBtn->isEnabled());
  }

  trees_.makeFolder("backup/photos");
  click(window_->ReplicateBtn);
  EXPECT_EQ(window_->engine().lastRun().outcome, RunOutcome::SyncCompleted);
  EXPECT_EQ(trees_.read("backup/photos/sub/b.jpg"), "beta");
  EXPECT_EQ(trees_.read("backup/notes.txt"), "mine");
}

TEST_F(VanishedByButton, ChooserClickNotesTheVanishedFolderWithoutMovingTheList) {
  std::filesystem::remove_all(trees_ / "backup/photos");
  window_->DriveComboBox2Click();
  EXPECT_EQ(statusLines().value(statusLines().size() - 1).toStdString(),
            "The folder " + trees_ / "backup/photos" + " is no longer there");
  EXPECT_EQ(window_->mirrorFolder(), trees_ / "backup/photos");
}

// --- The batch timer -------------------------------------------------------------------------

class VanishedInBatch : public ::testing::Test {
 protected:
  void TearDown() override {
    batch_.reset();
    window_.reset();
  }
  void start(const std::string& letters) {
    writeTrees(trees_);
    ShellConfig config;
    config.runLogFolders = {logs_.path() + "/"};
    config.commandLine.present = true;
    config.commandLine.letters = letters;
    window_ = std::make_unique<TMainForm>(config, prompts_, &updatePrompts_);
    ASSERT_TRUE(window_->setMasterFolder(trees_ / "src/photos"));
    ASSERT_TRUE(window_->setMirrorFolder(trees_ / "backup/photos"));
    batch_ = std::make_unique<TBatchMode>(*window_,
                                          std::vector<std::string>{trees_ / "src/photos", trees_ / "backup/photos", letters});
    finished_ = std::make_unique<QSignalSpy>(batch_.get(), &TBatchMode::finished);
    window_->setFirstShowHandler([this] { batch_->FormShow(); });
    window_->show();
  }
  // One tick of Timer1; what it wrote on stderr.
  std::string tick() {
    ::testing::internal::CaptureStderr();
    batch_->Timer1Timer();
    return ::testing::internal::GetCapturedStderr();
  }
  // After a refused tick of a repeating run: nothing ends, and the next tick may run.
  void expectRefusedAndArmed(const std::string& refusal, const std::string& stderrText) {
    EXPECT_EQ(window_->engine().lastRun().outcome, RunOutcome::Refused);
    EXPECT_EQ(window_->engine().lastRun().refusal, refusal);
    EXPECT_EQ(window_->Memo1->lines().value(0).toStdString(), refusal);
    EXPECT_NE(stderrText.find(refusal), std::string::npos) << stderrText;
    EXPECT_EQ(batch_->lastRunStatus(), 2);
    EXPECT_FALSE(window_->engine().state().AbortRequested) << "a refused run would stop the repetition";
    EXPECT_TRUE(batch_->Timer1->isActive());
    EXPECT_EQ(finished_->size(), 0);
  }

  ScopedFolder trees_, logs_;
  RecordingPrompts prompts_;
  RecordingUpdatePrompts updatePrompts_;
  std::unique_ptr<TMainForm> window_;
  std::unique_ptr<TBatchMode> batch_;
  std::unique_ptr<QSignalSpy> finished_;
};

TEST_F(VanishedInBatch, MirrorRemovedBetweenRepeatingTicksIsRefusedThenSyncedWhenBack) {
  start("RS");
  tick();
  ASSERT_EQ(trees_.read("backup/photos/a.jpg"), "alpha");
  std::filesystem::remove_all(trees_ / "backup/photos");
  const std::vector<std::string> parent = trees_.snapshot("backup");

  // Every tick while it is gone is refused: none goes on with the folder above it.
  for (int refused = 0; refused < 2; ++refused) {
    expectRefusedAndArmed(refusalFor("mirror", trees_ / "backup/photos"), tick());
  }
  EXPECT_EQ(trees_.snapshot("backup"), parent) << "a tick synced into the mirror's parent";
  EXPECT_EQ(window_->mirrorFolder(), trees_ / "backup/photos");

  trees_.makeFolder("backup/photos");
  tick();
  EXPECT_EQ(window_->engine().lastRun().outcome, RunOutcome::SyncCompleted);
  EXPECT_EQ(trees_.read("backup/photos/sub/b.jpg"), "beta");
  EXPECT_EQ(trees_.read("backup/music/song.ogg"), "la la");
  EXPECT_EQ(batch_->lastRunStatus(), 0);
}

TEST_F(VanishedInBatch, MasterRemovedBetweenRepeatingTicksIsRefusedThenSyncedWhenBack) {
  start("RS");
  tick();
  std::filesystem::remove_all(trees_ / "src/photos");
  const std::vector<std::string> mirror = trees_.snapshot("backup");

  for (int refused = 0; refused < 2; ++refused) {
    expectRefusedAndArmed(refusalFor("master", trees_ / "src/photos"), tick());
  }
  EXPECT_EQ(trees_.snapshot("backup"), mirror) << "a tick synced the master's parent into the mirror";
  EXPECT_EQ(window_->masterFolder(), trees_ / "src/photos");

  trees_.writeFile("src/photos/c.jpg", "gamma");
  tick();
  EXPECT_EQ(window_->engine().lastRun().outcome, RunOutcome::SyncCompleted);
  EXPECT_EQ(trees_.read("backup/photos/c.jpg"), "gamma");
  EXPECT_FALSE(trees_.exists("backup/photos/a.jpg"));
  EXPECT_FALSE(trees_.exists("backup/photos/letter.txt"));
}

TEST_F(VanishedInBatch, RepeatingCompareOnAVanishedMirrorSaysWhyOnStderr) {
  start("NPS");  // N arms the timer, P runs Compare at each tick
  std::filesystem::remove_all(trees_ / "backup/photos");
  expectRefusedAndArmed(refusalFor("mirror", trees_ / "backup/photos"), tick());
  trees_.makeFolder("backup/photos");
  tick();
  EXPECT_EQ(window_->engine().lastRun().outcome, RunOutcome::FoldersDiffer);
}

TEST_F(VanishedInBatch, SyncOnceOnAVanishedMirrorEndsWithStatusTwo) {
  start("RQS");
  std::filesystem::remove_all(trees_ / "backup/photos");
  const std::vector<std::string> parent = trees_.snapshot("backup");
  const std::string stderrText = tick();
  const std::string refusal = refusalFor("mirror", trees_ / "backup/photos");
  EXPECT_NE(stderrText.find(refusal), std::string::npos) << stderrText;
  ASSERT_EQ(finished_->size(), 1);
  EXPECT_EQ(finished_->at(0).at(0).toInt(), 2);
  EXPECT_EQ(trees_.snapshot("backup"), parent);
}

}  // namespace
}  // namespace vardell::test
