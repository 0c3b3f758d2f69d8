// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// The tests a folder pair passes before a run may start: two trees that never touch,
// one run per mirror, and whether the master is empty.
#pragma once

#include "platform/filesystem.h"

#include <memory>
#include <string>

namespace vardell {

class FolderPairChecks {
 public:
  explicit FolderPairChecks(FileSystem& fs) : fs_(fs) {}

  // Why master and mirror may not be used together (the same folder, or one inside the
  // other, told from the folders opened when the trees were entered: by the identity of
  // every folder above, and by the place within the file system whatever mount shows
  // it), or empty. The trees must be entered.
  std::string checkFolderPair(const std::string& master, const std::string& mirror);
  // Takes the per-mirror lock on the mirror folder opened when the trees were entered (or
  // the folder it will be made in); `refusal` says why not when another run holds it or
  // it cannot be taken.
  std::unique_ptr<HeldLock> lockMirror(const std::string& mirror, std::string& refusal);
  // True when the folder lists anything besides "." and "..".
  bool folderHasEntries(const std::string& folder);
  // How many entries lie below the folder, at every depth.
  long long countEntries(const std::string& folder);
  // The real path of path, or of its nearest existing ancestor followed by the rest.
  std::string canonicalPath(const std::string& path);

 private:
  FileSystem& fs_;
};

}  // namespace vardell
