// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// Path text helpers.
#include "engine/paths.h"

namespace vardell {

std::string withoutTrailingSeparator(std::string path) {
  if (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

std::string folderNameOf(const std::string& folder, const std::string& rootTag) {
  const std::string path = withoutTrailingSeparator(folder);
  if (!rootTag.empty()) return rootTag;
  return lastComponent(path);
}

}  // namespace vardell
