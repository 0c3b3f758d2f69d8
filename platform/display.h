// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// Whether the program can reach a display, so a window can be shown.
#pragma once

namespace vardell {

// True when the environment names a display the window system can use: QT_QPA_PLATFORM
// is set (the caller's own choice of platform), or DISPLAY or WAYLAND_DISPLAY is set and
// not empty. A cron job or a system service has none of them.
bool displayAvailable();

}  // namespace vardell
