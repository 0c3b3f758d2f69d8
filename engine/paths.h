// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// Path texts as the engine uses them: "/"-separated, no trailing "/" except "/" itself.
#pragma once

#include "platform/path_text.h"

#include <string>

namespace vardell {

// Removes one trailing "/" unless the path is "/".
std::string withoutTrailingSeparator(std::string path);

// The last component of a folder path, or `rootTag` when the path is a volume root.
// So /backup/Photos gives Photos and the root "/" gives its tag "root".
std::string folderNameOf(const std::string& folder, const std::string& rootTag);

// The keyword of a line naming a folder without partner (or one that cannot be listed)
// on the mirror side or the master side.
inline const char* unpairedFolderKeyword(bool mirrorSide) {
  return mirrorSide ? "Unpaired mirror folder " : "Unpaired master folder ";
}

// True when `text` occurs inside `within` (case-sensitive).
inline bool occursIn(const std::string& text, const std::string& within) {
  return within.find(text) != std::string::npos;
}

}  // namespace vardell
