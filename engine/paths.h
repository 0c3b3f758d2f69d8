// Path texts as the engine uses them: "/"-separated, no trailing "/" except "/" itself.
#pragma once

#include <string>

namespace vardell {

// folder + "/" + name, never doubling the separator.
std::string joinPath(const std::string& folder, const std::string& name);

// Removes one trailing "/" unless the path is "/".
std::string withoutTrailingSeparator(std::string path);

// The last component of a folder path, or `rootTag` when the path is a volume root.
// So /backup/Photos gives Photos and the root "/" gives its tag "root".
std::string folderNameOf(const std::string& folder, const std::string& rootTag);

// True when `text` occurs inside `within` (case-sensitive).
inline bool occursIn(const std::string& text, const std::string& within) {
  return within.find(text) != std::string::npos;
}

}  // namespace vardell
