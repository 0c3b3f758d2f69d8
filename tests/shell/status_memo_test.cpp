// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// The status window: fragments in their colours, batching, plain lines, clearing.
#include "shell/status_memo.h"

#include <QApplication>
#include <QTest>

#include <gtest/gtest.h>

namespace vardell {
namespace {

TEST(StatusMemo, NineColoursAreTheirWindowsValues) {
  EXPECT_EQ(qColorOf(Colour::Navy), QColor(0, 0, 0x80));
  EXPECT_EQ(qColorOf(Colour::Maroon), QColor(0x80, 0, 0));
  EXPECT_EQ(qColorOf(Colour::Red), QColor(0xFF, 0, 0));
  EXPECT_EQ(qColorOf(Colour::Blue), QColor(0, 0, 0xFF));
  EXPECT_EQ(qColorOf(Colour::Olive), QColor(0x80, 0x80, 0));
  EXPECT_EQ(qColorOf(Colour::Green), QColor(0, 0x80, 0));
  EXPECT_EQ(qColorOf(Colour::Purple), QColor(0x80, 0, 0x80));
  EXPECT_EQ(qColorOf(Colour::Grey), QColor(0x80, 0x80, 0x80));
  EXPECT_EQ(qColorOf(Colour::Black), QColor(0, 0, 0));
}

TEST(StatusMemo, FragmentsKeepTheirColoursOnOneLine) {
  TStatusMemo memo;
  memo.clearAll();
  memo.insertFragment("Unpaired mirror file ", Colour::Olive);
  memo.insertFragment("/m/x.txt", Colour::Grey);
  memo.endLine();
  memo.insertFragment("Folders match", Colour::Green);
  memo.endLine();
  EXPECT_EQ(memo.lines(), (QStringList{"Unpaired mirror file /m/x.txt", "Folders match", ""}));
  const auto fragments = memo.fragmentsOf(0);
  ASSERT_EQ(fragments.size(), 2u);
  EXPECT_EQ(fragments[0], std::make_pair(QStringLiteral("Unpaired mirror file "), QColor(0x80, 0x80, 0)));
  EXPECT_EQ(fragments[1], std::make_pair(QStringLiteral("/m/x.txt"), QColor(0x80, 0x80, 0x80)));
}

TEST(StatusMemo, LinesWaitForTheNextBatchAndArriveWithoutAnyCall) {
  TStatusMemo memo;
  memo.clearAll();
  memo.insertFragment("first", Colour::Black);
  memo.endLine();
  EXPECT_EQ(memo.document()->toPlainText(), QString()) << "not laid out line by line";
  EXPECT_TRUE(QTest::qWaitFor([&] { return memo.document()->toPlainText() == QStringLiteral("first\n"); }, 2000))
      << "the batch timer puts pending lines in";
}

TEST(StatusMemo, PlainLinesStandOnTheirOwnLine) {
  TStatusMemo memo;
  memo.clearAll();
  memo.insertFragment("half a line", Colour::Navy);
  memo.addPlainLine(QStringLiteral("ExitBtnClick called "));
  EXPECT_EQ(memo.lines(), (QStringList{"half a line", "ExitBtnClick called ", ""}));
}

TEST(StatusMemo, ClearDropsPendingFragmentsToo) {
  TStatusMemo memo;
  memo.insertFragment("gone", Colour::Black);
  memo.endLine();
  memo.clearAll();
  EXPECT_EQ(memo.lines(), (QStringList{""}));
}

TEST(StatusMemo, ManyLinesArriveInOrder) {
  TStatusMemo memo;
  memo.clearAll();
  for (int i = 0; i < 5000; ++i) {
    memo.insertFragment("line ", Colour::Navy);
    memo.insertFragment(std::to_string(i), Colour::Black);
    memo.endLine();
    if (i % 997 == 0) memo.flushPending();
  }
  const QStringList lines = memo.lines();
  ASSERT_EQ(lines.size(), 5001);
  EXPECT_EQ(lines[0], QStringLiteral("line 0"));
  EXPECT_EQ(lines[4999], QStringLiteral("line 4999"));
  EXPECT_EQ(memo.document()->blockCount(), 5001);
}

}  // namespace
}  // namespace vardell
