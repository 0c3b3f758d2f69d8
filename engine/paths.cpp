// Path text helpers.
#include "engine/paths.h"

namespace vardell {

std::string joinPath(const std::string& folder, const std::string& name) {
  if (!folder.empty() && folder.back() == '/') return folder + name;
  std::string path;
  path.reserve(folder.size() + 1 + name.size());
  path += folder;
  path += '/';
  path += name;
  return path;
}

std::string withoutTrailingSeparator(std::string path) {
  if (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

std::string folderNameOf(const std::string& folder, const std::string& rootTag) {
  const std::string path = withoutTrailingSeparator(folder);
  if (!rootTag.empty()) return rootTag;
  return path.substr(path.find_last_of('/') + 1);
}

}  // namespace vardell
