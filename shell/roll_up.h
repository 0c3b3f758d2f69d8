// The roll-up of the main window to its bare title bar and back: the heights the client
// area takes, 40 pixels per tick of a 10 ms timer.
#pragma once

namespace vardell {

inline constexpr int kRollUpStep = 40;       // pixels per tick
inline constexpr int kRollUpThreshold = 40;  // a client area lower than this rolls down
inline constexpr int kRollUpIntervalMs = 10;

class RollUp {
 public:
  explicit RollUp(int clientHeight) : FullClientHeight(clientHeight), RolledHeight(clientHeight) {}

  // A right-click on the title bar with the client area `clientHeight` high: from 40
  // pixels up it rolls up and remembers that height to roll down to; below that it rolls
  // down from 0. The caller then runs the timer.
  void start(int clientHeight);

  // One tick. Returns false when the animation has ended (the timer stops, nothing
  // changes); otherwise true with `clientHeight` set to the next height.
  bool tick(int& clientHeight);

  int FullClientHeight;  // the client height to roll down to
  int RolledHeight;      // the client height the animation has reached
  bool RollingUp = false;
};

}  // namespace vardell
