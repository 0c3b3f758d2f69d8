// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// Colours a reader can tell from their background, whatever the desktop's theme: the
// contrast of two colours as screen-reading guidelines measure it, and a colour moved
// toward black or white until it reaches a contrast.
#pragma once

#include <QColor>

namespace vardell {

// The least contrast of text against its background (normal-size text).
inline constexpr double kReadableContrast = 4.5;

// (L1 + 0.05) / (L2 + 0.05) of the two relative luminances, lighter over darker: 1 for
// equal colours, 21 for black on white.
double contrastRatio(const QColor& a, const QColor& b);

// `preferred` when it has kReadableContrast against `background`; otherwise the first mix
// of it with black or white (whichever the background contrasts with more) that has.
QColor readableOn(const QColor& preferred, const QColor& background);

}  // namespace vardell
