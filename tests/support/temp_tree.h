// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// A real temporary folder tree for a test, removed when the test ends.
#pragma once

#include <ctime>
#include <string>
#include <vector>

namespace vardell::test {

class TempTree {
 public:
  TempTree();
  ~TempTree();  // removes the tree; a failed cleanup fails the test
  TempTree(const TempTree&) = delete;
  TempTree& operator=(const TempTree&) = delete;

  const std::string& root() const { return root_; }
  std::string path(const std::string& relative) const;

  // Creates a file (and missing parent folders) with content and a last-write time in
  // whole seconds (default: a fixed moment in the past).
  void writeFile(const std::string& relative, const std::string& content, std::time_t mtime = kDefaultTime);
  void makeFolder(const std::string& relative);
  void setTime(const std::string& relative, std::time_t mtime);
  std::string readFile(const std::string& relative) const;
  bool exists(const std::string& relative) const;

  // Every entry below `relative`, sorted, folders ending in "/", files as "name=content".
  std::vector<std::string> listing(const std::string& relative = "") const;
  // The listing with each entry's mode, inode and last-write time: what must not change
  // in a folder a run may not write.
  std::vector<std::string> snapshot(const std::string& relative = "") const;
  // Makes a symbolic link at `relative` with the target text `target`.
  void makeLink(const std::string& relative, const std::string& target);

  static constexpr std::time_t kDefaultTime = 1600000000;  // 2020-09-13

 private:
  std::string root_;
};

// A local time as seconds since the epoch.
std::time_t localTime(int year, int month, int day, int hour, int minute, int second);

}  // namespace vardell::test
