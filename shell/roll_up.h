// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// The roll-up of the main window to its bare title bar and back: the heights the client
// area takes, 40 pixels per tick of a 10 ms timer. Each right-click on the title bar turns
// the animation toward the other end, whenever it comes, so the window always ends rolled
// up or at its full height, never in between.
#pragma once

namespace vardell {

inline constexpr int kRollUpStep = 40;  // pixels per tick
inline constexpr int kRollUpIntervalMs = 10;

class RollUp {
 public:
  explicit RollUp(int clientHeight) : FullClientHeight(clientHeight), RolledHeight(clientHeight) {}

  // A right-click on the title bar: rolls up when the window is at its full height or on
  // its way there, else rolls down to FullClientHeight. The caller then runs the timer.
  void start() { RollingUp = !RollingUp; }

  // One tick. Returns false when the animation has reached its end (the timer stops,
  // nothing changes); otherwise true with `clientHeight` set to the next height.
  bool tick(int& clientHeight);

  // True at the full height with no animation to run: the user may resize the window.
  bool atFullHeight() const { return !RollingUp && RolledHeight == FullClientHeight; }
  // The user gave the window another height (at the full height only).
  void setFullClientHeight(int height);

  int FullClientHeight;  // the client height to roll down to
  int RolledHeight;      // the client height the animation has reached
  bool RollingUp = false;
};

}  // namespace vardell
