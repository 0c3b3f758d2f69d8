// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// The services behind the POSIX file system, one file each: listing and reading
// (listing_posix.cpp), copies (file_copy_posix.cpp) and locks (locks_posix.cpp). Internal
// to platform/; every path below the run's roots goes through TreeAccess.
#pragma once

#include "platform/filesystem.h"
#include "platform/tree_access_posix.h"

#include <cerrno>
#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

namespace vardell::posix {

inline std::error_code lastError() { return std::error_code(errno, std::generic_category()); }
inline std::int64_t toNs(const timespec& ts) { return std::int64_t(ts.tv_sec) * 1000000000LL + ts.tv_nsec; }
// The error of opening a path whose last component is a link.
inline bool isLinkError(const std::error_code& ec) { return ec == std::errc::too_many_symbolic_link_levels; }

// The entry at path itself, reached without following links; a root is followed.
std::error_code statAt(const TreeAccess& trees, const std::string& path, struct stat& st);
// The target text of the link at path.
std::error_code readLinkAt(const TreeAccess& trees, const std::string& path, std::string& target);
// Fills an entry's kind, attributes, size and times from its stat.
void fillEntry(const struct stat& st, DirEntry& e);

std::error_code listFolderAt(const TreeAccess& trees, const std::string& folder, std::vector<DirEntry>& entries,
                             ListingDetail detail);
std::unique_ptr<ReadableFile> openFileForReading(const TreeAccess& trees, const std::string& path, std::error_code& ec);
// The same for a file a listing showed as a regular file of listedSize bytes: a small one
// is read without a stat of its own.
std::unique_ptr<ReadableFile> openListedFileForReading(const TreeAccess& trees, const std::string& path,
                                                       std::int64_t listedSize, std::error_code& ec);

// Starts a copy of source into `folder`, the open target folder at targetFolder, as
// `name`; with allowUnnamed false the copy is written under a hidden temporary name even
// where unnamed files are possible.
std::unique_ptr<FileCopy> startFileCopy(const TreeAccess& trees, const std::string& source,
                                        std::shared_ptr<const UniqueFd> folder, const std::string& targetFolder,
                                        const std::string& name, bool allowUnnamed, std::error_code& ec);

inline timespec toTimespec(std::int64_t ns) {
  timespec t{time_t(ns / 1000000000LL), long(ns % 1000000000LL)};
  if (t.tv_nsec < 0) {
    t.tv_nsec += 1000000000L;
    t.tv_sec -= 1;
  }
  return t;
}

// Both times of an entry, given outright: some drivers (exFAT and FAT through FUSE) drop a
// new last-write time when the access time is left as it is. The access time is now.
struct StampTimes {
  timespec times[2];
  explicit StampTimes(std::int64_t mtimeNs) {
    ::clock_gettime(CLOCK_REALTIME, &times[0]);
    times[1] = toTimespec(mtimeNs);
  }
};

// Opens the program's own folder at path (see prepareOwnFolder in folders.h), making it and
// the folders missing above it only once the nearest existing one was found outside the
// trees by `insideTrees`; fails with TreeError::OwnFolderInsideTrees otherwise.
enum class OwnFolderUse { Make, Check };  // Check makes and changes nothing
UniqueFd openOwnFolder(const std::string& path, const std::function<bool(int folder)>& insideTrees, OwnFolderUse use,
                       std::error_code& ec);

// An exclusive flock on `fd` (closed on failure), held until the lock is destroyed.
std::unique_ptr<HeldLock> lockHandle(int fd, std::error_code& ec);

}  // namespace vardell::posix
