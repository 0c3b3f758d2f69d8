// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// Qt's messages in a run without a display. The window lives off screen there, so Qt's
// warnings about what an off-screen window cannot do (masks, raising, the runtime folder a
// session would have) say nothing about the run; they would only fill a cron job's mail.
#pragma once

#include <QString>

namespace vardell {

// True for a Qt warning that only says the window system is absent.
bool isOffScreenNoise(const QString& message);

// From now on such warnings are dropped; every other message goes where it went before.
void dropOffScreenNoise();

}  // namespace vardell
