// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// A mount made by a test and undone when the test ends: a small tmpfs volume, or a
// bind mount that shows a folder in a second place.
#pragma once

#include <string>

namespace vardell::test {

class ScopedMount {
 public:
  // A tmpfs at `where` (created if missing) with mount options such as "size=1m".
  static ScopedMount tmpfs(const std::string& where, const char* options = "size=4m");
  // `folder` shown again at `where` (created if missing).
  static ScopedMount bind(const std::string& folder, const std::string& where);
  ~ScopedMount();
  ScopedMount(ScopedMount&& other) noexcept : where_(std::move(other.where_)), mounted_(other.mounted_) {
    other.mounted_ = false;
  }
  ScopedMount(const ScopedMount&) = delete;
  ScopedMount& operator=(const ScopedMount&) = delete;

  bool mounted() const { return mounted_; }

 private:
  ScopedMount(std::string where, bool mounted) : where_(std::move(where)), mounted_(mounted) {}
  std::string where_;
  bool mounted_ = false;
};

}  // namespace vardell::test
