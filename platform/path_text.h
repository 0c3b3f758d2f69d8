// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// Path texts, "/"-separated: joining and splitting without touching the disk. The one
// place that knows how paths are spelled; engine/paths.h builds on it.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

namespace vardell {

// folder + "/" + name, never doubling the separator.
inline std::string joinPath(const std::string& folder, const std::string& name) {
  std::string path;
  path.reserve(folder.size() + 1 + name.size());
  path += folder;
  if (path.empty() || path.back() != '/') path += '/';
  path += name;
  return path;
}

// The folder part of a path: "/a/b" gives "/a", "/a" gives "/", "a" gives ".".
inline std::string parentFolder(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// True when path lies strictly below folder: "/a/b" is below "/a" and "/", "/ab" is not.
inline bool isBelow(const std::string& path, const std::string& folder) {
  if (folder == "/") return path.size() > 1 && path[0] == '/';
  return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 && path[folder.size()] == '/';
}

// An absolute path with "." and ".." resolved by the text alone and no empty component
// or trailing "/": "/a/./b/../c/" gives "/a/c".
inline std::string lexicallyNormal(const std::string& absolute) {
  std::vector<std::string> parts;
  for (std::size_t start = 0; start <= absolute.size();) {
    const std::size_t end = std::min(absolute.find('/', start), absolute.size());
    const std::string part = absolute.substr(start, end - start);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    start = end + 1;
  }
  std::string result;
  for (const auto& part : parts) result += "/" + part;
  return result.empty() ? "/" : result;
}

// The last component of a path.
inline std::string lastComponent(const std::string& path) { return path.substr(path.find_last_of('/') + 1); }

}  // namespace vardell
