// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// The freedesktop.org trash on POSIX, used by the file-system service.
#pragma once

#include "platform/filesystem.h"

#include <sys/stat.h>

#include <string>
#include <system_error>

namespace vardell::posix {
class TreeAccess;
}

namespace vardell {

// Puts the object at path (a file, link or special file) into the trash of its volume:
// the home trash ($XDG_DATA_HOME/Trash) when it lives on the same volume, otherwise
// $topdir/.Trash/$uid (when $topdir/.Trash is a sticky folder, not a link) or
// $topdir/.Trash-$uid. A trash folder that lies inside one of the run's folder trees is
// passed over (TreeError::NoTrashOutsideTrees when all are). The entry is reached as
// `trees` reaches it, never through a link. Writes the .trashinfo first and removes it
// again when the move fails; never copies and never deletes. Fails with the rename's
// (or link's) error, or with the error of creating the trash folders. A hard link the
// volume refuses, whatever its error (EPERM, EIO, ENOSYS...), fails with
// operation_not_supported, and during a run that mount's trash is not asked for a link
// again; a link count at its limit fails with too_many_links.
std::error_code trashEntry(const posix::TreeAccess& trees, const std::string& path, TrashAction action);

// The same for the entry `entry` of the open folder `folder`, recorded as `original`.
// `trashed` gets what was put into the trash.
std::error_code trashEntryAt(const posix::TreeAccess& trees, int folder, const std::string& entry,
                             const std::string& original, TrashAction action, struct stat& trashed);

// The path the trash records for an entry: below a tree, the tree's real root and the
// entry's path below it (never what a link might now resolve to); elsewhere the real folder.
std::error_code recordedPathOf(const posix::TreeAccess& trees, const std::string& path, std::string& original);

}  // namespace vardell
