// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// How the main window sets up its update-check component WebFileInfo1.
#pragma once

#include <QFont>
#include <QString>

namespace vardell {

class TWebFileInfo;

// The product's information page on its own web site.
inline const QString kProductHomeURL = QStringLiteral("https://vardell.org/update/vardell.html");

// "Microsoft Sans Serif" at 13 pixels, plain; where that family is not installed, the
// desktop's default sans-serif at 13 pixels.
QFont updateWindowsFont();

// Configures the component as the main window uses it: the running version, the home
// page above, the tags "date", "download" and "version", opening the download and then
// ending the program, versions compared as plain text, and updateWindowsFont().
void configureWebFileInfo1(TWebFileInfo& WebFileInfo1);

// Whether this build offers the update check in its window: false in builds made with
// VARDELL_UPDATE_CHECK off, whose updates come from a package manager.
bool updateCheckOffered();

}  // namespace vardell
