// The freedesktop.org trash on POSIX, used by the file-system service.
#pragma once

#include <string>
#include <system_error>

namespace vardell {

// Moves the object at path (a file, link or special file) into the trash of its volume:
// the home trash ($XDG_DATA_HOME/Trash) when it lives on the same volume, otherwise
// $topdir/.Trash/$uid (when $topdir/.Trash is a sticky folder, not a link) or
// $topdir/.Trash-$uid. Writes the .trashinfo first and removes it again when the move
// fails; never copies and never deletes. Fails with the rename's error, or with the
// error of creating the trash folders (for example read_only_file_system).
std::error_code moveFileToTrash(const std::string& path);

}  // namespace vardell
