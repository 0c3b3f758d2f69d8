// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// The download dialog's figures: grouped digits, a bar that only moves forward, Cancel.
#include "update/web_dl_progress.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include <gtest/gtest.h>

namespace vardell {
namespace {

TEST(GroupDigits, PutsACommaBeforeEachFullGroupOfThree) {
  const std::pair<qint64, const char*> rows[] = {
      {0, "0"},           {999, "999"},           {1000, "1,000"},     {999999, "999,999"},
      {1000000, "1,000,000"}, {-1, "-1"},          {-1234, "-1,234"},   {5000000000LL, "5,000,000,000"},
  };
  for (const auto& [n, expected] : rows) EXPECT_EQ(GroupDigits(n), expected) << n;
}

TEST(WebDlProgress, BarOnlyMovesForwardAndStaysWithoutALength) {
  TWebDlProgress dialog(QFont(), nullptr);
  dialog.ShowProgress(600, 1000);
  EXPECT_EQ(dialog.pbarProgress->value(), 60);
  EXPECT_EQ(dialog.lblProgress->text(), "600 of 1,000 bytes received.");
  dialog.ShowProgress(300, 1000);  // a smaller figure never moves it back
  EXPECT_EQ(dialog.pbarProgress->value(), 60);
  dialog.ShowProgress(2500, -1);
  EXPECT_EQ(dialog.pbarProgress->value(), 60);
  EXPECT_EQ(dialog.lblProgress->text(), "2,500 of -1 bytes received.");
  // Sizes beyond 32 bits: the percentage is computed without overflow.
  dialog.ShowProgress(4'000'000'000LL, 5'000'000'000LL);
  EXPECT_EQ(dialog.pbarProgress->value(), 80);
}

TEST(WebDlProgress, CancelSetsCancelledAbortsOnceAndFreezesTheFigures) {
  int aborts = 0;
  TWebDlProgress dialog(QFont(), [&] { ++aborts; });
  EXPECT_EQ(dialog.lblProgress->text(), "");
  dialog.ShowProgress(10, 100);
  dialog.btnCancel->click();
  dialog.btnCancel->click();
  EXPECT_TRUE(dialog.Cancelled);
  EXPECT_EQ(aborts, 1);
  dialog.ShowProgress(90, 100);
  EXPECT_EQ(dialog.pbarProgress->value(), 10);
  EXPECT_EQ(dialog.lblProgress->text(), "10 of 100 bytes received.");
}

}  // namespace
}  // namespace vardell
