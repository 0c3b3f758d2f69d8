// Where the program keeps its settings and run logs, and the per-user runtime folder.
#pragma once

#include <string>

namespace vardell {

// The folder of the running program file, without a trailing "/".
std::string programFolder();

// The program folder when the program file belongs to the user running it, that user
// may write its folder and the program is not an installed one (a portable copy);
// otherwise $XDG_CONFIG_HOME/vardell (created with mode 0700). Returned with a trailing "/" so file names can be appended.
std::string settingsFolder();

// The per-user folder $XDG_CONFIG_HOME/vardell (created with mode 0700), with a
// trailing "/": where settings and logs go when the program folder may not hold them.
std::string perUserSettingsFolder();

// The user's runtime folder for lock files: $XDG_RUNTIME_DIR when usable, else a
// private folder under the settings folder. With a trailing "/".
std::string runtimeFolder();

}  // namespace vardell
