// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// Reaching paths below the run's folder roots without following links: openat2 with
// RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS where the kernel has it, one component at a time
// with O_NOFOLLOW elsewhere.
#include "platform/tree_access_posix.h"

#include "platform/path_text.h"

#include <linux/openat2.h>
#include <sys/file.h>
#include <sys/sysmacros.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>

namespace vardell::posix {
namespace {

std::error_code lastError() { return std::error_code(errno, std::generic_category()); }

bool sameObject(const struct stat& a, dev_t device, ino_t inode) { return a.st_dev == device && a.st_ino == inode; }

// One component at a time, for kernels without openat2.
int openComponentwise(int base, const std::string& relative, int flags, mode_t mode) {
  UniqueFd current;
  int folder = base;
  std::size_t start = 0;
  for (std::size_t slash = relative.find('/'); slash != std::string::npos; slash = relative.find('/', start)) {
    const std::string component = relative.substr(start, slash - start);
    const int next = ::openat(folder, component.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (next < 0) {
      struct stat st {};
      if (errno == ENOTDIR && ::fstatat(folder, component.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
          S_ISLNK(st.st_mode)) {
        errno = ELOOP;
      }
      return -1;
    }
    current = UniqueFd(next);
    folder = next;
    start = slash + 1;
  }
  return ::openat(folder, relative.c_str() + start, flags | O_NOFOLLOW | O_CLOEXEC, mode);
}

}  // namespace

UniqueFd::~UniqueFd() {
  if (fd_ >= 0) ::close(fd_);
}

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = other.release();
  }
  return *this;
}

std::uint64_t mountIdOf(int fd) {
  FolderIdentity identity;
  return identifyFolder(fd, identity) ? identity.mountId : 0;
}

bool identifyFolder(int fd, FolderIdentity& identity) {
  struct statx sx {};
  if (::statx(fd, "", AT_EMPTY_PATH | AT_SYMLINK_NOFOLLOW, STATX_BASIC_STATS | STATX_MNT_ID, &sx) != 0) {
    return ::fstat(fd, &identity.st) == 0;
  }
  identity.st.st_dev = makedev(sx.stx_dev_major, sx.stx_dev_minor);
  identity.st.st_ino = sx.stx_ino;
  identity.st.st_mode = sx.stx_mode;
  identity.mountKnown = (sx.stx_mask & STATX_MNT_ID) != 0;
  identity.mountId = identity.mountKnown ? sx.stx_mnt_id : 0;
  return true;
}

int openBeneath(int base, const std::string& relative, int flags, mode_t mode) {
  static std::atomic<bool> haveOpenat2 = true;  // content reads may run on two threads
  if (haveOpenat2) {
    open_how how{};
    how.flags = std::uint64_t(flags | O_CLOEXEC);
    how.mode = (flags & (O_CREAT | __O_TMPFILE)) ? mode : 0;
    how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
    for (int attempt = 0; attempt < 8; ++attempt) {
      const long fd = ::syscall(SYS_openat2, base, relative.c_str(), &how, sizeof how);
      if (fd >= 0) return int(fd);
      if (errno == EAGAIN) continue;  // a rename elsewhere on the volume raced the lookup
      if (errno != ENOSYS) return -1;
      haveOpenat2 = false;
      break;
    }
    if (haveOpenat2) return -1;
  }
  return openComponentwise(base, relative, flags, mode);
}

std::string pathOfHandle(int fd) {
  char link[64];
  std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
  std::string target(PATH_MAX, '\0');
  const ssize_t n = ::readlink(link, target.data(), target.size());
  if (n <= 0 || target[0] != '/') return {};
  target.resize(std::size_t(n));
  return target;
}

FileSystemLocation locationOfHandle(int fd, const std::string& realPath) {
  const std::uint64_t mountId = mountIdOf(fd);
  if (mountId != 0) {
    for (const Volume& mount : mountTable()) {
      if (mount.mountId == mountId) return locationBelowMount(mount, realPath);
    }
  }
  return locationInFileSystem(realPath);
}

bool folderLiesWithin(int fd, dev_t device, ino_t inode) {
  UniqueFd current(::openat(fd, ".", O_PATH | O_DIRECTORY | O_CLOEXEC));
  struct stat st {};
  if (!current || ::fstat(current.get(), &st) != 0) return false;
  for (int depth = 0; depth < 4096; ++depth) {
    if (sameObject(st, device, inode)) return true;
    UniqueFd up(::openat(current.get(), "..", O_PATH | O_DIRECTORY | O_CLOEXEC));
    struct stat above {};
    if (!up || ::fstat(up.get(), &above) != 0) return false;
    if (above.st_dev == st.st_dev && above.st_ino == st.st_ino) return false;  // the top of the tree of folders
    current = std::move(up);
    st = above;
  }
  return false;
}

std::error_code TreeAccess::openRoot(TreeRoot& root, bool follow) {
  if (root.path.empty() || root.path[0] != '/') return std::make_error_code(std::errc::invalid_argument);
  if (follow) {
    const int fd = ::open(root.path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);  // a root given as a link is followed
    if (fd >= 0) {
      adopt(root, fd);
      return {};
    }
    if (errno != ENOENT) return lastError();
  }
  // Resolved once, now: the folder the run will create the root in.
  root.parent = UniqueFd(::open(parentFolder(root.path).c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  root.lockedWhenMade = true;
  if (follow || !root.parent) return {};
  const std::string name = lastComponent(root.path);
  const int fd = ::openat(root.parent.get(), name.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd >= 0) {
    root.lockedWhenMade = false;  // there already: locked by the run like any named folder
    adopt(root, fd);
    return {};
  }
  struct stat st {};
  if (::fstatat(root.parent.get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return {};  // to be made
  // A link is not the folder the run would make, and is never followed in its place.
  return S_ISLNK(st.st_mode) ? make_error_code(TreeError::RootIsLink) : std::make_error_code(std::errc::not_a_directory);
}

std::error_code TreeAccess::enter(const FolderTrees& trees) {
  leave();
  for (const std::string& path : trees.roots) {
    roots_.push_back(TreeRoot{});
    roots_.back().path = path;
    if (auto ec = openRoot(roots_.back(), path != trees.createdRoot)) {
      leave();
      return ec;
    }
  }
  return {};
}

void TreeAccess::leave() {
  roots_.clear();
  holdsCache_.clear();
  trashes_.clear();
  mounts_.clear();
}

void TreeAccess::adopt(TreeRoot& root, int fd) const {
  root.handle = UniqueFd(fd);
  struct stat st {};
  ::fstat(fd, &st);
  root.device = st.st_dev;
  root.inode = st.st_ino;
  root.realPath = pathOfHandle(fd);
  if (root.realPath.empty()) {
    char resolved[PATH_MAX];
    root.realPath = ::realpath(root.path.c_str(), resolved) ? std::string(resolved) : root.path;
  }
  root.location = locationOfHandle(fd, root.realPath);
  root.mountId = mountIdOf(fd);
  holdsCache_.clear();
}

const TreeRoot* TreeAccess::rootNamed(const std::string& path) const {
  for (const TreeRoot& root : roots_) {
    if (root.path == path) return &root;
  }
  return nullptr;
}

bool TreeAccess::rootLiesWithin(const TreeRoot& inner, const TreeRoot& outer) const {
  if (!outer.handle) return false;  // nothing lies in a folder not made yet
  const int innerFolder = rootOrParent(inner);
  if (innerFolder < 0) return false;
  if (folderLiesWithin(innerFolder, outer.device, outer.inode)) return true;
  const std::string innerReal = inner.handle ? inner.realPath : joinPath(pathOfHandle(innerFolder), lastComponent(inner.path));
  const FileSystemLocation innerLocation =
      inner.handle ? inner.location : locationOfHandle(innerFolder, innerReal);
  return locationWithin(innerLocation, outer.location);
}

std::error_code TreeAccess::createRoot(const TreeRoot& root) const {
  if (root.handle) return {};
  if (!root.parent) return std::make_error_code(std::errc::no_such_file_or_directory);
  static std::atomic<unsigned> made = 0;
  const std::string hidden = ".vardell-new-" + std::to_string(::getpid()) + "-" + std::to_string(made++);
  const int parent = root.parent.get();
  if (::mkdirat(parent, hidden.c_str(), 0777) != 0) return lastError();
  UniqueFd folder(::openat(parent, hidden.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (!folder || ::flock(folder.get(), LOCK_EX | LOCK_NB) != 0) {
    const auto ec = lastError();
    ::unlinkat(parent, hidden.c_str(), AT_REMOVEDIR);
    return ec;
  }
  const std::string name = lastComponent(root.path);
  if (::renameat2(parent, hidden.c_str(), parent, name.c_str(), RENAME_NOREPLACE) == 0) {
    adopt(roots_[std::size_t(&root - roots_.data())], folder.release());
    return {};
  }
  const int refused = errno;
  ::unlinkat(parent, hidden.c_str(), AT_REMOVEDIR);
  if (refused == EINVAL || refused == ENOSYS || refused == ENOTSUP) {
    // No rename that keeps an existing name here: made under its name and locked at once.
    if (::mkdirat(parent, name.c_str(), 0777) != 0 && errno != EEXIST) return lastError();
  } else if (refused != EEXIST) {
    return std::error_code(refused, std::generic_category());
  }
  return rootHandle(root) < 0 ? lastError() : std::error_code{};
}

int TreeAccess::rootHandle(const TreeRoot& root) const {
  if (!root.handle) {
    // A root missing at the start exists once the run has created it; a link found in
    // its place is not the folder the run created and is never followed. It is locked
    // before it is used, so a run that starts on it now meets this one.
    if (!root.parent) {
      errno = ENOENT;
      return -1;
    }
    const int fd = ::openat(root.parent.get(), lastComponent(root.path).c_str(),
                            O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return -1;
    if (root.lockedWhenMade && ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      const int refused = errno;
      ::close(fd);
      errno = refused == EWOULDBLOCK ? EBUSY : refused;
      return -1;
    }
    adopt(roots_[std::size_t(&root - roots_.data())], fd);
  }
  return root.handle.get();
}

const TreeRoot* TreeAccess::treeOf(const std::string& path, std::string& relative) const {
  const TreeRoot* best = nullptr;
  for (const TreeRoot& root : roots_) {
    const std::string& r = root.path;
    if ((path == r || isBelow(path, r)) && (!best || r.size() > best->path.size())) {
      best = &root;
      relative = path == r ? std::string() : path.substr(r == "/" ? 1 : r.size() + 1);
    }
  }
  return best;
}

int TreeAccess::open(const std::string& path, int flags, mode_t mode, std::error_code& ec) const {
  std::string relative;
  const TreeRoot* root = treeOf(path, relative);
  int fd = -1;
  if (!root) {
    fd = ::open(path.c_str(), flags | O_CLOEXEC, mode);
  } else if (relative.empty()) {
    const int base = rootHandle(*root);
    fd = base < 0 ? -1 : ::openat(base, ".", flags | O_CLOEXEC, mode);
  } else {
    const int base = rootHandle(*root);
    fd = base < 0 ? -1 : openBeneath(base, relative, flags | O_NOFOLLOW, mode);
  }
  if (fd >= 0) {
    ec.clear();
    return fd;
  }
  ec = lastError();
  if ((errno == ELOOP || errno == EXDEV) && root && !relative.empty()) {
    // The last component may be a link (a finding about that entry), or a folder on the
    // way may be one (the path is refused).
    Place place;
    if (errno == EXDEV || locate(path, place)) ec = make_error_code(TreeError::LinkInPath);
  }
  return -1;
}

std::error_code TreeAccess::locate(const std::string& path, Place& place) const {
  place = Place{};
  std::string relative;
  const TreeRoot* root = treeOf(path, relative);
  place.root = root;
  place.relative = relative;
  if (root && relative.empty() && !root->handle && root->parent) {
    place.folder = root->parent.get();  // a root the run creates, in the folder resolved at the start
    place.name = lastComponent(path);
    return {};
  }
  if (!root || relative.empty()) {
    place.name = path;
    return {};
  }
  const int base = rootHandle(*root);
  if (base < 0) return lastError();
  const auto slash = relative.find_last_of('/');
  place.name = slash == std::string::npos ? relative : relative.substr(slash + 1);
  if (slash == std::string::npos) {
    place.folder = base;
    return {};
  }
  const int fd = openBeneath(base, relative.substr(0, slash), O_PATH | O_DIRECTORY, 0);
  if (fd < 0) {
    if (errno == ELOOP || errno == EXDEV) return make_error_code(TreeError::LinkInPath);
    return lastError();
  }
  place.owned = UniqueFd(fd);
  place.folder = fd;
  return {};
}

bool TreeAccess::isRootIdentity(const struct stat& folder) const {
  for (const TreeRoot& root : roots_) {
    if (root.handle && sameObject(folder, root.device, root.inode)) return true;
  }
  return false;
}

bool TreeAccess::holdsFolder(int fd) const {
  struct stat st {};
  if (roots_.empty() || ::fstat(fd, &st) != 0) return false;
  const std::pair<dev_t, ino_t> key{st.st_dev, st.st_ino};
  if (const auto cached = holdsCache_.find(key); cached != holdsCache_.end()) return cached->second;
  bool inside = false;
  for (const TreeRoot& root : roots_) inside = inside || (root.handle && folderLiesWithin(fd, root.device, root.inode));
  if (!inside) {
    // The same folder may be shown by another mount (a bind mount of a tree).
    const FileSystemLocation location = locationOfHandle(fd, pathOfHandle(fd));
    for (const TreeRoot& root : roots_) inside = inside || (root.handle && locationWithin(location, root.location));
  }
  holdsCache_[key] = inside;
  return inside;
}

bool TreeAccess::showsATreeAgain(const TreeRoot& root, const std::string& relative, const FolderIdentity& folder) const {
  if (!folder.mountKnown || folder.mountId == root.mountId) return false;  // the root's own mount shows it once
  Volume volume;
  {
    const std::lock_guard lock(mountsMutex_);  // listings may run on two threads
    auto mount = mounts_.find(folder.mountId);
    if (mount == mounts_.end()) {
      for (Volume& v : mountTable()) mounts_[v.mountId] = std::move(v);
      mount = mounts_.find(folder.mountId);
      if (mount == mounts_.end()) return true;  // a mount the system does not list: not entered
    }
    volume = mount->second;
  }
  const std::string realPath = joinPath(root.realPath, relative);
  const FileSystemLocation shown = locationBelowMount(volume, realPath);
  const FileSystemLocation natural{root.location.fileSystem, joinPath(root.location.path, relative)};
  if (shown.fileSystem == natural.fileSystem && shown.path == natural.path) return false;
  for (const TreeRoot& other : roots_) {
    if (!other.handle) continue;
    // A part of a tree, or a folder holding a tree, met again below a root.
    if (locationWithin(shown, other.location) || locationWithin(other.location, shown)) return true;
  }
  return false;
}

}  // namespace vardell::posix
