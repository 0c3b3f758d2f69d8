// The roll-up animation's heights.
#include "shell/roll_up.h"

#include <algorithm>

namespace vardell {

void RollUp::start(int clientHeight) {
  if (clientHeight >= kRollUpThreshold) {
    FullClientHeight = clientHeight;
    RolledHeight = clientHeight;
    RollingUp = true;
  } else {
    RolledHeight = 0;
    RollingUp = false;
  }
}

bool RollUp::tick(int& clientHeight) {
  if (RollingUp) {
    if (RolledHeight <= 0) return false;
    RolledHeight = std::max(0, RolledHeight - kRollUpStep);
  } else {
    if (RolledHeight >= FullClientHeight) return false;
    RolledHeight = std::min(FullClientHeight, RolledHeight + kRollUpStep);
  }
  clientHeight = RolledHeight;
  return true;
}

}  // namespace vardell
