// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// Instance numbers shared by every running copy of the program: number n is held by the
// process that holds an exclusive flock on the lock file "Vardell<n>" in the user's
// runtime folder. The operating system releases it when the process ends, however it ends;
// the file itself is removed by the holder that gives the number up, or by the next probe
// when the holder was killed.
#pragma once

#include "platform/filesystem.h"

#include <memory>
#include <string>
#include <system_error>

namespace vardell {

class InstanceLocks {
 public:
  // Lock files live in `folder` (a trailing "/" is allowed), which the caller makes. The
  // folder is opened at the first probe or claim, never through a link in its place, and
  // kept open: every lock file is then reached through that handle, so renaming or
  // replacing the folder later changes nothing. While it cannot be opened every number
  // counts as held, and the next probe or claim tries again.
  explicit InstanceLocks(std::string folder);

  // The lock file's name for number n: "Vardell" + n in decimal.
  static std::string lockName(int n) { return "Vardell" + std::to_string(n); }

  // True when another open lock (another process, or another claim in this one) holds n.
  // Never waits and creates nothing: a missing lock file means free. A lock file nobody
  // holds is what a killed holder left behind; it is removed and n is free. Anything that
  // is not a plain lock file of this user (a link, a folder, a FIFO, a file with other
  // names) counts as held and is left as it is.
  bool isHeld(int n) const;

  // Takes number n and returns its lock, or null when it is held or cannot be taken (ec
  // says which: resource_unavailable_try_again when held or when something other than a
  // lock file has its name; the folder's or the file's own error otherwise). The lock
  // file is made with mode 0600 when missing, never through a link. Destroying the lock
  // removes the file while still holding it, then lets the number go.
  std::unique_ptr<HeldLock> claim(int n, std::error_code& ec) const;

  const std::string& folder() const { return folder_; }

 private:
  struct Folder;  // the open runtime folder, shared by the locks taken in it

  // The runtime folder's handle, opened now if it is not open yet; null with ec set when it
  // cannot be opened.
  const Folder* openFolder(std::error_code& ec) const;

  std::string folder_;
  mutable std::shared_ptr<const Folder> handle_;  // null until the folder could be opened
};

}  // namespace vardell
