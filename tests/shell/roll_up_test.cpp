// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// The roll-up heights: 40 pixels per tick, down to 0 and back; every start turns the
// animation toward the other end, so it always ends rolled up or at the full height.
#include "shell/roll_up.h"

#include <gtest/gtest.h>

#include <vector>

namespace vardell {
namespace {

std::vector<int> runToEnd(RollUp& roll) {
  std::vector<int> heights;
  int height = 0;
  while (roll.tick(height)) heights.push_back(height);
  return heights;
}

TEST(RollUp, RollsUpInTenStepsAndDownAgain) {
  RollUp roll(372);
  EXPECT_TRUE(roll.atFullHeight());
  roll.start();
  EXPECT_TRUE(roll.RollingUp);
  EXPECT_EQ(runToEnd(roll), (std::vector<int>{332, 292, 252, 212, 172, 132, 92, 52, 12, 0}));
  roll.start();
  EXPECT_FALSE(roll.RollingUp);
  EXPECT_EQ(runToEnd(roll), (std::vector<int>{40, 80, 120, 160, 200, 240, 280, 320, 360, 372}));
  EXPECT_EQ(roll.FullClientHeight, 372);
  EXPECT_TRUE(roll.atFullHeight());
}

// A quick second right-click (a double click) or one while a run held the timer back: the
// window went on from where it was and ended between the two heights.
TEST(RollUp, ASecondStartMidWayTurnsBackToTheFullHeightNeverStopsBetween) {
  RollUp roll(372);
  roll.start();
  int height = 0;
  roll.tick(height);
  ASSERT_EQ(height, 332);
  roll.start();  // a double click
  EXPECT_EQ(runToEnd(roll), (std::vector<int>{372}));
  EXPECT_EQ(roll.FullClientHeight, 372);
  roll.start();
  for (int i = 0; i < 4; ++i) roll.tick(height);
  ASSERT_EQ(height, 212);
  roll.start();
  roll.start();  // two more: rolling up again
  EXPECT_EQ(runToEnd(roll), (std::vector<int>{172, 132, 92, 52, 12, 0}));
  roll.start();
  EXPECT_EQ(runToEnd(roll).back(), 372);
}

TEST(RollUp, AnEndedAnimationChangesNothingAndOnlyTheFullWindowTakesANewHeight) {
  RollUp roll(372);
  int height = 123;
  EXPECT_FALSE(roll.tick(height));  // rolled down already
  EXPECT_EQ(height, 123);
  roll.setFullClientHeight(500);  // resized by the user
  EXPECT_EQ(roll.FullClientHeight, 500);
  roll.start();
  runToEnd(roll);
  roll.setFullClientHeight(22);  // the rolled-up window is not a new full height
  EXPECT_EQ(roll.FullClientHeight, 500);
  roll.start();
  EXPECT_EQ(runToEnd(roll).back(), 500);
}

}  // namespace
}  // namespace vardell
