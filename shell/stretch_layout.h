// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// The main window's controls in a client area larger than the standard one: each control
// keeps its standard place and moves and grows by fixed shares of the extra width and
// height, so the folder lists and the status window take the room the user gives.
#pragma once

#include <QRect>

#include <vector>

class QWidget;

namespace vardell {

// Shares of the extra width (x) and height (y) by which a control moves and grows.
struct Stretch {
  double moveX = 0;
  double moveY = 0;
  double growX = 0;
  double growY = 0;
};

class StretchLayout {
 public:
  // Takes the control's present geometry as its place in the standard client area.
  void add(QWidget* control, Stretch stretch);
  // Places every control for a client area `extraWidth` and `extraHeight` pixels larger
  // than the standard one (never smaller).
  void apply(int extraWidth, int extraHeight) const;

 private:
  struct Item {
    QWidget* control;
    QRect standard;
    Stretch stretch;
  };
  std::vector<Item> items_;
};

}  // namespace vardell
