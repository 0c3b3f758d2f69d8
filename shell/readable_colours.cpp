// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// Contrast of colours.
#include "shell/readable_colours.h"

#include <cmath>

namespace vardell {
namespace {

double linear(double channel) {
  return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
}

double luminance(const QColor& colour) {
  const QColor rgb = colour.toRgb();
  return 0.2126 * linear(rgb.redF()) + 0.7152 * linear(rgb.greenF()) + 0.0722 * linear(rgb.blueF());
}

QColor mixed(const QColor& from, const QColor& to, double share) {
  const QColor a = from.toRgb(), b = to.toRgb();
  auto channel = [share](int x, int y) { return int(std::lround(x + (y - x) * share)); };
  return QColor(channel(a.red(), b.red()), channel(a.green(), b.green()), channel(a.blue(), b.blue()));
}

}  // namespace

double contrastRatio(const QColor& a, const QColor& b) {
  const double la = luminance(a), lb = luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor readableOn(const QColor& preferred, const QColor& background) {
  const QColor extreme = contrastRatio(Qt::white, background) > contrastRatio(Qt::black, background) ? QColor(Qt::white)
                                                                                                      : QColor(Qt::black);
  // Ten per cent at a time keeps as much of the colour's hue as the contrast allows.
  for (int step = 0; step <= 10; ++step) {
    const QColor candidate = mixed(preferred, extreme, step / 10.0);
    if (contrastRatio(candidate, background) >= kReadableContrast) return candidate;
  }
  return extreme;
}

}  // namespace vardell
