// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// The tests a folder pair passes before a run may start: two trees that never touch,
// one run per mirror, the system volume, an empty master.
#include "engine/folder_pair_checks.h"

#include "engine/paths.h"

namespace vardell {

std::string FolderPairChecks::canonicalPath(const std::string& path) {
  std::string resolved;
  if (!fs_.realPath(path, resolved)) return resolved;
  const std::string full = fs_.fullPath(path);
  if (full == "/") return full;
  return joinPath(canonicalPath(parentFolder(full)), lastComponent(full));
}

std::string FolderPairChecks::checkFolderPair(const std::string& master, const std::string& mirror) {
  // Told from the folders the run has opened, never from what the paths name now.
  const bool mirrorWithin = fs_.treeLiesWithin(mirror, master);
  const bool masterWithin = fs_.treeLiesWithin(master, mirror);
  if (mirrorWithin && masterWithin) return "The master and mirror folders are the same folder: " + canonicalPath(master);
  if (mirrorWithin) return "The mirror folder " + canonicalPath(mirror) + " is inside the master folder";
  if (masterWithin) return "The master folder " + canonicalPath(master) + " is inside the mirror folder";
  return {};
}

std::unique_ptr<HeldLock> FolderPairChecks::lockMirror(const std::string& mirror, std::string& refusal) {
  std::error_code ec;
  // A lock on the folder itself is met by every process, whatever path, mount or
  // environment it comes through.
  auto lock = fs_.tryLockFolder(mirror, ec);
  if (lock) return lock;
  refusal = ec == std::errc::resource_unavailable_try_again
                ? "Another run is busy with the mirror folder " + mirror
                : "Cannot lock the mirror folder " + mirror + ": " + describeError(ec);
  return nullptr;
}

bool FolderPairChecks::folderHasEntries(const std::string& folder) {
  std::vector<DirEntry> entries;
  if (fs_.listFolder(folder, entries, ListingDetail::NamesAndKinds)) return false;
  for (const auto& e : entries) {
    if (!e.isDotEntry()) return true;
  }
  return false;
}

long long FolderPairChecks::countEntries(const std::string& folder) {
  std::vector<DirEntry> entries;
  if (fs_.listFolder(folder, entries, ListingDetail::NamesAndKinds)) return 0;
  long long count = 0;
  for (const auto& e : entries) {
    if (e.isDotEntry()) continue;
    ++count;
    if (e.isFolder()) count += countEntries(joinPath(folder, e.Name));
  }
  return count;
}

}  // namespace vardell
