// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// The program's own pictures, drawn in code: the application icon, the pictures on the
// command buttons and menu item, and the folder list's folder pictures.
#pragma once

#include <QIcon>

namespace vardell {

QIcon applicationIcon();      // two folders with an arrow from the master to the mirror
QIcon comparePicture();       // two sheets side by side with an equals sign
QIcon syncPicture();          // a circling arrow
QIcon abortPicture();         // a red stop sign
QIcon exitPicture();          // a door with an arrow
QIcon updatePicture();        // a globe
QIcon quitPicture();          // a red cross
QIcon createFolderPicture();  // a folder with a plus
QIcon openFolderPicture();    // the folder list's folders on the way to the current one
QIcon closedFolderPicture();  // the folder list's subfolders

}  // namespace vardell
