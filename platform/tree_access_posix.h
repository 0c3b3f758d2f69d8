// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// The folder trees a run works in, and how a path at or below one of their roots is
// reached: beneath the root's handle, never through a symbolic link in any component.
// Internal to the POSIX file-system service and the trash.
#pragma once

#include "platform/filesystem.h"
#include "platform/volumes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <map>
#include <mutex>
#include <string>
#include <system_error>
#include <vector>

namespace vardell::posix {

// An owned file descriptor, closed when destroyed.
class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  ~UniqueFd();
  UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept;
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;

  int get() const { return fd_; }
  int release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }
  explicit operator bool() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

struct TreeRoot {
  std::string path;      // the root as the run names it: a full path without trailing "/"
  std::string realPath;  // where the root's handle lies now, for messages and the trash's records
  UniqueFd handle;       // the root folder; empty while it does not exist
  UniqueFd parent;       // for a root missing at the start: its folder, where the run creates it
  // A root missing at the start is opened for reading and locked the moment it exists, so
  // no second run can start on the folder this run creates.
  bool lockedWhenMade = false;
  dev_t device = 0;
  ino_t inode = 0;
  std::uint64_t mountId = 0;     // the mount the root lies on
  FileSystemLocation location;  // where the root lies within its file system
};

// What a listing needs to know about the folder it opened.
struct FolderIdentity {
  struct stat st {};
  std::uint64_t mountId = 0;
  bool mountKnown = false;
};

// Where an entry lives: the folder handle to act relative to and the entry's name there.
// For a path outside every tree, and for a root itself, the folder is AT_FDCWD and the
// name is the whole path (a root given through a link is followed, as the user gave it).
struct Place {
  UniqueFd owned;                  // the folder's handle when one was opened for this place
  int folder = AT_FDCWD;
  std::string name;
  const TreeRoot* root = nullptr;  // the tree holding the entry, if any
  std::string relative;            // the entry's path below the root; empty for the root
  bool isRoot() const { return root && relative.empty(); }
  // A root given through a link is followed; one the run creates never is.
  bool followsRoot() const { return isRoot() && folder == AT_FDCWD; }
};

class TreeAccess {
 public:
  // Opens the roots (following a link given as a root, once; never for the root the run
  // creates, TreeError::RootIsLink). A root that does not exist yet is opened, never
  // through a link, once the run has created it. Fails when a root exists but cannot be
  // opened as a folder, or a root is not a full path (invalid_argument).
  std::error_code enter(const FolderTrees& trees);
  void leave();

  // The root named exactly `path`, or null.
  const TreeRoot* rootNamed(const std::string& path) const;
  // The root's handle, or for a root still to be made the folder it will be made in.
  int rootOrParent(const TreeRoot& root) const { return root.handle ? root.handle.get() : root.parent.get(); }
  // True when `inner` is `outer` or lies below it, told from their handles: by walking up
  // from inner's folder through ".." (whatever the folders are named now), and by their
  // places within the file system (a bind mount shows a folder twice). A root still to
  // be made lies where the folder it will be made in lies.
  bool rootLiesWithin(const TreeRoot& inner, const TreeRoot& outer) const;
  // Makes a root that was missing at the start: it is made under a hidden name, locked,
  // and only then given its name, so it never exists unlocked. A folder another process
  // made under the name meanwhile is used once this run holds its lock.
  std::error_code createRoot(const TreeRoot& root) const;

  // The tree holding path (at or below its root), with the part below the root.
  const TreeRoot* treeOf(const std::string& path, std::string& relative) const;

  // Opens path with open(2) flags. Below a root: beneath the root's handle with no link
  // followed in any component (the last one included, unless flags hold O_PATH|O_NOFOLLOW,
  // which yield a link itself). A link in the path fails with TreeError::LinkInPath, a
  // link as the last component with too_many_symbolic_link_levels. Returns -1 on failure.
  int open(const std::string& path, int flags, mode_t mode, std::error_code& ec) const;
  // The folder holding path, opened as open() would, and the name in it.
  std::error_code locate(const std::string& path, Place& place) const;

  // True when a folder below a root has the identity of a root: another path to a tree.
  bool isRootIdentity(const struct stat& folder) const;
  // True when a folder below `root`, at `relative`, lies on another mount that shows a
  // part of one of the trees a second time (a bind mount of a master folder inside the
  // mirror, of a folder above it, or of the tree itself).
  bool showsATreeAgain(const TreeRoot& root, const std::string& relative, const FolderIdentity& folder) const;
  // True when the open folder `fd` lies at or below a root, whatever link or mount
  // reaches it: walked up through ".." by identity, and its place within its file system
  // compared with the roots'.
  bool holdsFolder(int fd) const;
  // The trash folders a run has chosen, by the mount they serve, so each is found once;
  // dropped when the run leaves its trees, so no handle outlives it.
  struct ChosenTrash {
    UniqueFd files;   // the trash's files/ folder
    UniqueFd info;    // its info/ folder
    std::string top;  // the volume's top folder the .trashinfo paths are relative to; empty for the home trash
    bool refusesLinks = false;  // the mount answered a hard link into this trash with a refusal
  };
  std::map<std::uint64_t, ChosenTrash>& chosenTrashes() const { return trashes_; }
  bool active() const { return !roots_.empty(); }

 private:
  mutable std::vector<TreeRoot> roots_;  // a missing root's handle is filled in once it exists
  // The root's handle, opened now (never through a link) when the root was missing at the
  // start; -1 with errno set while it does not exist.
  int rootHandle(const TreeRoot& root) const;
  void adopt(TreeRoot& root, int fd) const;
  // Opens a root's handle as `enter` does; the root itself when the user named it
  // (`follow`), or beneath its folder, never through a link, when the run creates it.
  std::error_code openRoot(TreeRoot& root, bool follow);

  mutable std::map<std::pair<dev_t, ino_t>, bool> holdsCache_;
  mutable std::map<std::uint64_t, ChosenTrash> trashes_;
  mutable std::map<std::uint64_t, Volume> mounts_;  // the mount table, read when a new mount is met
  mutable std::mutex mountsMutex_;
};

// The identity of an open folder, with its mount number where the kernel gives it.
// False when the folder cannot be examined.
bool identifyFolder(int fd, FolderIdentity& identity);
std::uint64_t mountIdOf(int fd);
// Where the open file or folder lies now, as the system names it; empty when unknown.
std::string pathOfHandle(int fd);
// Where the open folder lies within its file system, told by its own mount.
FileSystemLocation locationOfHandle(int fd, const std::string& realPath);
// True when the open folder `fd` is the folder (device, inode) or lies below it, found by
// walking up through "..": no name is looked up, so renames and links cannot mislead it.
bool folderLiesWithin(int fd, dev_t device, ino_t inode);

// Opens `relative` (no "." or ".." components) beneath the folder `base`, following no
// link. Returns -1 with errno set (ELOOP for any link met).
int openBeneath(int base, const std::string& relative, int flags, mode_t mode);

}  // namespace vardell::posix
