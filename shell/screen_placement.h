// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// Where a window goes so that the user can reach it: a saved position on a screen that is
// no longer there (a second monitor unplugged, a smaller display) is brought back.
#pragma once

#include <QList>
#include <QPoint>
#include <QRect>

namespace vardell {

// The top left for a window whose frame is `frame` and whose title bar is the top
// `titleHeight` pixels of it: `frame`'s own when its title bar lies whole on one of
// `screens` (their available areas), else the place on the screen nearest to it where
// the frame lies whole on that screen (or, larger than it, starts at its top left). No
// screens: `frame`'s own.
QPoint reachablePosition(const QRect& frame, int titleHeight, const QList<QRect>& screens);

}  // namespace vardell
