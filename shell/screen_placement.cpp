// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// Bringing a window back onto a screen.
#include "shell/screen_placement.h"

#include <algorithm>
#include <limits>

namespace vardell {
namespace {

// How far a point lies outside a rectangle (0 inside), squared.
long long distanceSquared(const QRect& area, const QPoint& point) {
  const long long dx = point.x() < area.left() ? area.left() - point.x() : std::max(0, point.x() - area.right());
  const long long dy = point.y() < area.top() ? area.top() - point.y() : std::max(0, point.y() - area.bottom());
  return dx * dx + dy * dy;
}

}  // namespace

QPoint reachablePosition(const QRect& frame, int titleHeight, const QList<QRect>& screens) {
  const QRect titleBar(frame.topLeft(), QSize(frame.width(), titleHeight));
  const QRect* nearest = nullptr;
  long long nearestDistance = std::numeric_limits<long long>::max();
  for (const QRect& screen : screens) {
    if (screen.contains(titleBar)) return frame.topLeft();
    const long long distance = distanceSquared(screen, frame.center());
    if (distance < nearestDistance) {
      nearestDistance = distance;
      nearest = &screen;
    }
  }
  if (!nearest) return frame.topLeft();
  const int x = std::max(nearest->left(), std::min(frame.left(), nearest->right() + 1 - frame.width()));
  const int y = std::max(nearest->top(), std::min(frame.top(), nearest->bottom() + 1 - frame.height()));
  return {x, y};
}

}  // namespace vardell
