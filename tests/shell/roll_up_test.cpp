// The roll-up heights: 40 pixels per tick, down to 0 and back, reversing mid-way.
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
  roll.start(372);
  EXPECT_TRUE(roll.RollingUp);
  EXPECT_EQ(runToEnd(roll), (std::vector<int>{332, 292, 252, 212, 172, 132, 92, 52, 12, 0}));
  roll.start(0);
  EXPECT_FALSE(roll.RollingUp);
  EXPECT_EQ(runToEnd(roll), (std::vector<int>{40, 80, 120, 160, 200, 240, 280, 320, 360, 372}));
  EXPECT_EQ(roll.FullClientHeight, 372);
}

TEST(RollUp, ReversingAt200RemembersItAsTheFullHeight) {
  RollUp roll(372);
  roll.start(372);
  runToEnd(roll);
  roll.start(0);
  int height = 0;
  while (roll.tick(height) && height < 200) {
  }
  ASSERT_EQ(height, 200);
  roll.start(height);
  EXPECT_EQ(runToEnd(roll), (std::vector<int>{160, 120, 80, 40, 0}));
  roll.start(0);
  EXPECT_EQ(runToEnd(roll), (std::vector<int>{40, 80, 120, 160, 200}));
}

TEST(RollUp, BelowTheThresholdItRollsDownFromZero) {
  RollUp roll(372);
  roll.start(39);  // a client area lower than 40 pixels
  EXPECT_FALSE(roll.RollingUp);
  EXPECT_EQ(roll.RolledHeight, 0);
  EXPECT_EQ(roll.FullClientHeight, 372);
  EXPECT_EQ(runToEnd(roll).back(), 372);
  roll.start(40);  // exactly 40 rolls up
  EXPECT_TRUE(roll.RollingUp);
  EXPECT_EQ(runToEnd(roll), (std::vector<int>{0}));
}

TEST(RollUp, AnEndedAnimationChangesNothing) {
  RollUp roll(372);
  int height = 123;
  EXPECT_FALSE(roll.tick(height));  // rolled down already
  EXPECT_EQ(height, 123);
}

}  // namespace
}  // namespace vardell
