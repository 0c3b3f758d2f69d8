// Instance numbers shared by every running copy of the program: number n is held by the
// process that holds an exclusive flock on the lock file "Vardell<n>" in the user's
// runtime folder. The operating system releases it when the process ends, however it ends.
#pragma once

#include "platform/filesystem.h"

#include <memory>
#include <string>

namespace vardell {

class InstanceLocks {
 public:
  // Lock files live in `folder` (ending in "/"), taken through fs.tryLock.
  InstanceLocks(FileSystem& fs, std::string folder) : fs_(fs), folder_(std::move(folder)) {}

  // The lock file's name for number n: "Vardell" + n in decimal.
  static std::string lockName(int n) { return "Vardell" + std::to_string(n); }

  // True when another open lock (another process, or another claim in this one) holds n.
  // Never waits: the probe takes the lock and lets it go at once when it is free.
  // A lock file that cannot be opened counts as held, so it is never claimed.
  bool isHeld(int n) const;

  // Takes number n and returns its lock, or null when it is held or cannot be taken
  // (ec says which: resource_unavailable_try_again when held).
  std::unique_ptr<HeldLock> claim(int n, std::error_code& ec) const;

  const std::string& folder() const { return folder_; }

 private:
  FileSystem& fs_;
  std::string folder_;
};

}  // namespace vardell
