// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// The window during runs on slow media: a content compare or a copy whose reads take long
// still lets the window handle its events at least every 100 ms, with the same status lines
// as ever; and a close during a run lets the run finish before the program ends.
#include "tests/shell/shell_fixture.h"

#include "shell/status_memo.h"
#include "shell/title_bar.h"
#include "tests/support/fault_filesystem.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <chrono>
#include <thread>

namespace vardell::test {
namespace {

// Large enough to be read and copied in many pieces, each slowed down below.
const std::string kBigContent = [] {
  std::string content(9 << 20, 'x');
  for (std::size_t i = 0; i < content.size(); i += 4096) content[i] = char('a' + i / 4096 % 26);
  return content;
}();

class ResponsiveRunTest : public MainFormTest {
 protected:
  void configure(ShellConfig& config) override {
    config.makeFileSystem = [this] {
      auto fs = std::make_unique<FaultFileSystem>();
      fs_ = fs.get();
      return fs;
    };
  }

  // Every read of a file (a quarter megabyte) or piece of a copy takes `delay`, as on a
  // volume that reads about 10 MB a second.
  void slowDown(Op op, std::chrono::milliseconds delay) {
    fs_->fault = [op, delay](Op called, const std::string&) {
      if (called == op) std::this_thread::sleep_for(delay);
      return std::error_code();
    };
  }

  // Notes when the event loop served a 5 ms timer during runs; `during` is called on each.
  void watchEvents(std::function<void()> during = {}) {
    watcher_.setInterval(5);
    QObject::connect(&watcher_, &QTimer::timeout, [this, during] {
      if (!window_->running()) return;
      served_.push_back(clock_.elapsed());
      if (during) during();
    });
    clock_.start();
    watcher_.start();
  }

  // A binary Compare of two equal big files, every read slowed down by `delay`.
  void prepareBinaryCompareOfTwoEqualBigFiles(const ScopedFolder& trees, std::chrono::milliseconds delay) {
    trees.writeFile("master/Big/film.mkv", kBigContent);
    trees.writeFile("mirror/Big/film.mkv", kBigContent);
    showFolders(trees / "master/Big", trees / "mirror/Big");
    QTest::mouseClick(window_->CompareTypeButtons->button(1), Qt::LeftButton, Qt::NoModifier, QPoint(7, 9));
    slowDown(Op::Read, delay);
  }

  qint64 longestGap() const {
    qint64 longest = 0;
    for (std::size_t i = 1; i < served_.size(); ++i) longest = std::max(longest, served_[i] - served_[i - 1]);
    return longest;
  }

  FaultFileSystem* fs_ = nullptr;
  QTimer watcher_;
  QElapsedTimer clock_;
  std::vector<qint64> served_;
};

TEST_F(ResponsiveRunTest, SlowContentCompareHandlesEventsAtLeastEvery100Ms) {
  ScopedFolder trees;
  prepareBinaryCompareOfTwoEqualBigFiles(trees, std::chrono::milliseconds(20));
  QStringList captions;
  watchEvents([&] { captions << window_->FileStatusLabel->text(); });
  click(window_->CompareBtn);

  ASSERT_GT(served_.size(), 10u) << "the window handled no events during the compare";
  EXPECT_LE(longestGap(), 100) << "the window stopped handling events during a block";
  EXPECT_TRUE(captions.contains(QStringLiteral("Comparing film.mkv"))) << "the caption names the file being read";
  const QStringList lines = statusLines();
  ASSERT_GE(lines.size(), 3);
  EXPECT_TRUE(lines.contains(QStringLiteral("Folders match"))) << lines.join(QLatin1Char('\n')).toStdString();
  EXPECT_EQ(window_->engine().lastRun().outcome, RunOutcome::FoldersMatch);
}

TEST_F(ResponsiveRunTest, SlowCopyHandlesEventsAtLeastEvery100MsAndCopiesWhole) {
  ScopedFolder trees;
  trees.writeFile("master/Big/film.mkv", kBigContent);
  trees.makeFolder("mirror/Big");
  showFolders(trees / "master/Big", trees / "mirror/Big");
  window_->ProtectCBtn->setChecked(false);
  window_->DriveComboBox2Change();
  slowDown(Op::CopyPiece, std::chrono::milliseconds(250));
  watchEvents();
  click(window_->ReplicateBtn);

  ASSERT_GT(served_.size(), 10u);
  EXPECT_LE(longestGap(), 100) << "the window stopped handling events during a piece of the copy";
  EXPECT_EQ(trees.read("mirror/Big/film.mkv"), kBigContent);
  EXPECT_TRUE(statusLines().contains(QStringLiteral("Copy completed")));
}

TEST_F(ResponsiveRunTest, AbortDuringASlowBlockShowsAtOnceAndEndsTheRunAfterTheBlock) {
  ScopedFolder trees;
  prepareBinaryCompareOfTwoEqualBigFiles(trees, std::chrono::milliseconds(20));
  bool aborted = false;
  QString captionAfterAbort;
  int readsAtAbort = 0;
  watchEvents([&] {
    if (aborted || fs_->calls(Op::Read) < 6) return;
    aborted = true;
    readsAtAbort = fs_->calls(Op::Read);
    click(window_->AbortBtn);
    captionAfterAbort = window_->CompLabel->text();
  });
  click(window_->CompareBtn);

  ASSERT_TRUE(aborted);
  EXPECT_EQ(captionAfterAbort, QStringLiteral("Aborting Operation...")) << "shown while the block is read";
  EXPECT_LT(readsAtAbort, 72) << "clicked in the middle of the file's one block";
  EXPECT_EQ(window_->engine().lastRun().outcome, RunOutcome::CompareAborted);
}

// The close box during a run: the run goes on to its own end, then the window closes.
TEST_F(ResponsiveRunTest, CloseBoxDuringARunLetsTheRunFinishThenCloses) {
  ScopedFolder trees;
  prepareBinaryCompareOfTwoEqualBigFiles(trees, std::chrono::milliseconds(5));
  bool closed = false;
  bool visibleAfterClose = false;
  watchEvents([&] {
    if (closed) return;
    closed = true;
    QTest::mouseClick(window_->TitleBar->CloseBox, Qt::LeftButton);
    visibleAfterClose = window_->isVisible() && window_->running();
  });
  click(window_->CompareBtn);

  ASSERT_TRUE(closed);
  EXPECT_TRUE(visibleAfterClose) << "the window stays while the run goes on";
  EXPECT_EQ(window_->engine().lastRun().outcome, RunOutcome::FoldersMatch) << "the close box does not abort the run";
  EXPECT_TRUE(statusLines().contains(QStringLiteral("Folders match")));
  EXPECT_FALSE(window_->isVisible()) << "closed once the run had finished";
  EXPECT_FALSE(window_->closePending());
}

}  // namespace
}  // namespace vardell::test
