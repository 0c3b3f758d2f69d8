// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// Placing the controls in a larger client area.
#include "shell/stretch_layout.h"

#include <QWidget>

#include <algorithm>
#include <cmath>

namespace vardell {
namespace {

// Shares round down, so two controls that split the extra room never overlap.
int share(double part, int extra) { return int(std::floor(part * extra)); }

}  // namespace

void StretchLayout::add(QWidget* control, Stretch stretch) { items_.push_back({control, control->geometry(), stretch}); }

void StretchLayout::apply(int extraWidth, int extraHeight) const {
  const int dx = std::max(0, extraWidth), dy = std::max(0, extraHeight);
  for (const Item& item : items_) {
    const Stretch& s = item.stretch;
    item.control->setGeometry(item.standard.x() + share(s.moveX, dx), item.standard.y() + share(s.moveY, dy),
                              item.standard.width() + share(s.growX, dx), item.standard.height() + share(s.growY, dy));
  }
}

}  // namespace vardell
