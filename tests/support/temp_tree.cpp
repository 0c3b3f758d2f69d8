// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// Temporary trees for tests.
#include "tests/support/temp_tree.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace vardell::test {

TempTree::TempTree() {
  std::string pattern = (fs::temp_directory_path() / "vardell-test-XXXXXX").string();
  if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  root_ = pattern;
}

TempTree::~TempTree() {
  std::error_code ec;
  // Read-only folders would stop the removal; make everything writable first.
  for (auto it = fs::recursive_directory_iterator(root_, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    if (it->is_directory(ec) && !it->is_symlink(ec)) ::chmod(it->path().c_str(), 0700);
  }
  fs::remove_all(root_, ec);
  if (ec) ADD_FAILURE() << "could not remove " << root_ << ": " << ec.message();
}

std::string TempTree::path(const std::string& relative) const {
  return relative.empty() ? root_ : root_ + "/" + relative;
}

void TempTree::writeFile(const std::string& relative, const std::string& content, std::time_t mtime) {
  const fs::path p = path(relative);
  fs::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary | std::ios::trunc) << content;
  setTime(relative, mtime);
}

void TempTree::makeFolder(const std::string& relative) { fs::create_directories(path(relative)); }

void TempTree::setTime(const std::string& relative, std::time_t mtime) {
  timespec times[2] = {{mtime, 0}, {mtime, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, path(relative).c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << relative;
}

std::string TempTree::readFile(const std::string& relative) const {
  std::ifstream in(path(relative), std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

bool TempTree::exists(const std::string& relative) const {
  struct stat st {};
  return ::lstat(path(relative).c_str(), &st) == 0;
}

std::vector<std::string> TempTree::listing(const std::string& relative) const {
  std::vector<std::string> entries;
  const fs::path base = path(relative);
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(base, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    const std::string rel = it->path().lexically_relative(base).string();
    const auto type = it->symlink_status().type();  // links are listed, never followed
    if (type == fs::file_type::symlink) {
      it.disable_recursion_pending();
      entries.push_back(rel + "->" + fs::read_symlink(it->path()).string());
    } else if (type == fs::file_type::directory) {
      entries.push_back(rel + "/");
    } else {
      entries.push_back(rel + "=" + readFile(it->path().lexically_relative(root_).string()));
    }
  }
  EXPECT_FALSE(ec) << base << ": " << ec.message();
  std::sort(entries.begin(), entries.end());
  return entries;
}

std::vector<std::string> TempTree::snapshot(const std::string& relative) const {
  std::vector<std::string> entries = listing(relative);
  for (std::string& entry : entries) {
    const std::string name = entry.substr(0, std::min(entry.find('='), entry.find("->")));
    struct stat st {};
    ::lstat(path(relative.empty() ? name : relative + "/" + name).c_str(), &st);
    entry += " mode=" + std::to_string(st.st_mode) + " inode=" + std::to_string(st.st_ino) +
             " mtime=" + std::to_string(st.st_mtim.tv_sec) + "." + std::to_string(st.st_mtim.tv_nsec);
  }
  return entries;
}

void TempTree::makeLink(const std::string& relative, const std::string& target) {
  fs::create_directories(fs::path(path(relative)).parent_path());
  ASSERT_EQ(::symlink(target.c_str(), path(relative).c_str()), 0) << relative;
}

std::time_t localTime(int year, int month, int day, int hour, int minute, int second) {
  std::tm t{};
  t.tm_year = year - 1900;
  t.tm_mon = month - 1;
  t.tm_mday = day;
  t.tm_hour = hour;
  t.tm_min = minute;
  t.tm_sec = second;
  t.tm_isdst = -1;
  return std::mktime(&t);
}

}  // namespace vardell::test
