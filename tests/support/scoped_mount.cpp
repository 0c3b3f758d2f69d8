// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// Mounts made by tests.
#include "tests/support/scoped_mount.h"

#include <sys/mount.h>
#include <sys/stat.h>

namespace vardell::test {

ScopedMount ScopedMount::tmpfs(const std::string& where, const char* options) {
  ::mkdir(where.c_str(), 0755);
  return ScopedMount(where, ::mount("vardell-test", where.c_str(), "tmpfs", 0, options) == 0);
}

ScopedMount ScopedMount::bind(const std::string& folder, const std::string& where) {
  ::mkdir(where.c_str(), 0755);
  return ScopedMount(where, ::mount(folder.c_str(), where.c_str(), nullptr, MS_BIND, nullptr) == 0);
}

ScopedMount::~ScopedMount() {
  if (mounted_) ::umount2(where_.c_str(), MNT_DETACH);
}

}  // namespace vardell::test
