// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// Moving files to the freedesktop.org trash: files/ holds the object, info/ its
// .trashinfo with the original path and the deletion date.
#include "platform/trash.h"

#include "platform/path_text.h"
#include "platform/tree_access_posix.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>

namespace vardell {
namespace {

std::error_code lastError() { return std::error_code(errno, std::generic_category()); }

std::string dataHome() {
  const char* xdg = std::getenv("XDG_DATA_HOME");
  if (xdg && xdg[0] == '/') return xdg;
  const char* home = std::getenv("HOME");
  return std::string(home && home[0] ? home : "/root") + "/.local/share";
}

// Creates path and its missing parents with the given mode.
std::error_code makeFolders(const std::string& path, mode_t mode) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) == 0) {
    return S_ISDIR(st.st_mode) ? std::error_code{} : std::make_error_code(std::errc::not_a_directory);
  }
  const auto slash = path.find_last_of('/');
  if (slash != std::string::npos && slash > 0) {
    if (auto ec = makeFolders(path.substr(0, slash), 0700)) return ec;
  }
  if (::mkdir(path.c_str(), mode) != 0 && errno != EEXIST) return lastError();
  return {};
}

// Opens the folder `name` in `folder`, making it first when it is missing; never through
// a link, and only a folder.
posix::UniqueFd openOrMakeFolder(int folder, const std::string& name, mode_t mode, std::error_code& ec) {
  if (::mkdirat(folder, name.c_str(), mode) != 0 && errno != EEXIST) {
    ec = lastError();
    return {};
  }
  posix::UniqueFd fd(::openat(folder, name.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (!fd) ec = errno == ELOOP ? std::make_error_code(std::errc::not_a_directory) : lastError();
  return fd;
}

// The top folder of the mount holding the open folder `folder`, found by walking up
// through ".." while the mount stays the same (the device, where the kernel does not
// number mounts): no name is looked up, so no link or renamed folder can lead elsewhere.
posix::UniqueFd openTopFolder(int folder, std::error_code& ec) {
  posix::FolderIdentity start;
  posix::UniqueFd top(::openat(folder, ".", O_PATH | O_DIRECTORY | O_CLOEXEC));
  if (!top || !posix::identifyFolder(top.get(), start)) {
    ec = lastError();
    return {};
  }
  for (int depth = 0; depth < 4096; ++depth) {
    posix::UniqueFd up(::openat(top.get(), "..", O_PATH | O_DIRECTORY | O_CLOEXEC));
    posix::FolderIdentity above;
    if (!up || !posix::identifyFolder(up.get(), above)) break;
    const bool sameMount = start.mountKnown && above.mountKnown ? above.mountId == start.mountId
                                                                : above.st.st_dev == start.st.st_dev;
    const bool sameFolder = above.st.st_dev == start.st.st_dev && above.st.st_ino == start.st.st_ino;
    if (!sameMount || sameFolder) break;
    start.st = above.st;
    top = std::move(up);
  }
  return top;
}

// The trash folders `trash` (opened) holds, made as needed; fails when either lies inside
// a tree (nothing is made then) or cannot be made.
std::error_code openTrashFolders(const posix::TreeAccess& trees, int trash, posix::TreeAccess::ChosenTrash& chosen) {
  if (trees.holdsFolder(trash)) return make_error_code(TreeError::NoTrashOutsideTrees);
  std::error_code ec;
  chosen.files = openOrMakeFolder(trash, "files", 0700, ec);
  if (chosen.files) chosen.info = openOrMakeFolder(trash, "info", 0700, ec);
  if (ec) return ec;
  if (trees.holdsFolder(chosen.files.get()) || trees.holdsFolder(chosen.info.get())) {
    return make_error_code(TreeError::NoTrashOutsideTrees);
  }
  return {};
}

// The home trash, when it lies on the device of the entry and outside the trees.
bool openHomeTrash(const posix::TreeAccess& trees, dev_t device, posix::TreeAccess::ChosenTrash& chosen) {
  const std::string home = dataHome();
  std::string existing = home;
  posix::UniqueFd above;
  while (!(above = posix::UniqueFd(::open(existing.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC))) && existing != "/") {
    existing = parentFolder(existing);
  }
  // A home trash inside a tree is never made there, nor any folder on the way to it.
  if (!above || trees.holdsFolder(above.get()) || makeFolders(home, 0700)) return false;
  const posix::UniqueFd homeFolder(::open(home.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  struct stat st {};
  if (!homeFolder || ::fstat(homeFolder.get(), &st) != 0 || st.st_dev != device) return false;
  if (trees.holdsFolder(homeFolder.get())) return false;  // a trash inside a tree is never made or used
  std::error_code ec;
  const posix::UniqueFd trash = openOrMakeFolder(homeFolder.get(), "Trash", 0700, ec);
  if (!trash || openTrashFolders(trees, trash.get(), chosen)) return false;
  chosen.top.clear();
  return true;
}

// The trash at the top of the volume: $topdir/.Trash/$uid when $topdir/.Trash is a sticky
// folder (not a link), otherwise $topdir/.Trash-$uid, each made and checked beneath the
// top folder's handle and passed over when it lies inside a tree.
std::error_code openVolumeTrash(const posix::TreeAccess& trees, int folder, posix::TreeAccess::ChosenTrash& chosen) {
  std::error_code ec;
  const posix::UniqueFd top = openTopFolder(folder, ec);
  if (!top) return ec;
  if (trees.holdsFolder(top.get())) return make_error_code(TreeError::NoTrashOutsideTrees);  // a tree is the whole volume
  const std::string uid = std::to_string(::getuid());
  struct stat admin {};
  if (::fstatat(top.get(), ".Trash", &admin, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(admin.st_mode) &&
      (admin.st_mode & S_ISVTX)) {
    const posix::UniqueFd shared(::openat(top.get(), ".Trash", O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    const posix::UniqueFd own = shared ? openOrMakeFolder(shared.get(), uid, 0700, ec) : posix::UniqueFd();
    if (own && !openTrashFolders(trees, own.get(), chosen)) {
      chosen.top = posix::pathOfHandle(top.get());
      return {};
    }
    ec.clear();
  }
  const posix::UniqueFd own = openOrMakeFolder(top.get(), ".Trash-" + uid, 0700, ec);
  if (!own) return ec;
  struct stat st {};
  if (::fstat(own.get(), &st) != 0 || st.st_uid != ::getuid()) return std::make_error_code(std::errc::permission_denied);
  if (auto trashEc = openTrashFolders(trees, own.get(), chosen)) return trashEc;
  chosen.top = posix::pathOfHandle(top.get());
  return {};
}

// The trash for an entry of the open folder `folder` on `device`: the home trash on the
// same volume, otherwise the volume's own (always the volume's with `volumeOnly`). During
// a run each mount's trash is chosen once; outside a run `unkept` holds it.
std::error_code chooseTrash(const posix::TreeAccess& trees, int folder, dev_t device, bool volumeOnly,
                            posix::TreeAccess::ChosenTrash& unkept, posix::TreeAccess::ChosenTrash*& trash) {
  const std::uint64_t mount = posix::mountIdOf(folder);
  const std::uint64_t key = (mount ? mount : std::uint64_t(device)) * 2 + (volumeOnly ? 1 : 0);
  auto& chosen = trees.chosenTrashes();
  if (auto known = chosen.find(key); known != chosen.end()) {
    trash = &known->second;
    return {};
  }
  posix::TreeAccess::ChosenTrash made;
  if (volumeOnly || !openHomeTrash(trees, device, made)) {
    if (auto ec = openVolumeTrash(trees, folder, made)) return ec;
  }
  trash = trees.active() ? &(chosen[key] = std::move(made)) : &(unkept = std::move(made));
  return {};
}

std::string percentEncode(const std::string& path) {
  static const char digits[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(path.size());
  for (const unsigned char c : path) {
    const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '/' ||
                       c == '-' || c == '_' || c == '.' || c == '~';
    if (plain) {
      out += char(c);
    } else {
      out += '%';
      out += digits[c >> 4];
      out += digits[c & 15];
    }
  }
  return out;
}

std::string deletionDate() {
  const time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
  return text;
}

// Creates info/<name>.trashinfo exclusively under the first free name; `name` gets it.
std::error_code writeTrashInfo(const posix::TreeAccess::ChosenTrash& trash, const std::string& base,
                               const std::string& originalPath, std::string& name) {
  std::string stem = base.size() > 200 ? base.substr(0, 200) : base;
  const std::string content = "[Trash Info]\nPath=" + percentEncode(originalPath) + "\nDeletionDate=" + deletionDate() + "\n";
  for (int n = 1; n < 100000; ++n) {
    name = n == 1 ? stem : stem + "." + std::to_string(n);
    struct stat st {};
    if (::fstatat(trash.files.get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) continue;
    const std::string info = name + ".trashinfo";
    const int fd = ::openat(trash.info.get(), info.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return lastError();
    }
    const bool written = ::write(fd, content.data(), content.size()) == ssize_t(content.size());
    if (::close(fd) != 0 || !written) {
      const auto ec = written ? lastError() : std::make_error_code(std::errc::no_space_on_device);
      ::unlinkat(trash.info.get(), info.c_str(), 0);
      return ec;
    }
    return {};
  }
  return std::make_error_code(std::errc::file_exists);
}

// True when a failed hard link says the volume has none, whatever words it uses (FAT
// says EPERM, some network and FUSE file systems EIO or ENOSYS): anything but the entry
// being gone, the disk being full, a link count at its limit (the file's own), another
// mount, or a name taken meanwhile.
bool volumeRefusesLinks(int error) {
  switch (error) {
    case ENOENT: case ENOTDIR: case ESTALE: case ENOSPC: case EDQUOT: case EMLINK: case EXDEV: case EEXIST:
      return false;
    default:
      return true;
  }
}

// The path a .trashinfo records: relative to the volume's top folder when the trash
// lives there and the entry lies below it, otherwise the full path.
std::string recordedFor(const posix::TreeAccess::ChosenTrash& trash, const std::string& original) {
  if (trash.top.empty() || trash.top == "/") return original;
  return isBelow(original, trash.top) ? original.substr(trash.top.size() + 1) : original;
}

// The path recorded for restoring: below a tree, the tree's real root and the entry's
// path below it (never what a link might now resolve to); elsewhere the real folder.
}  // namespace

std::error_code recordedPathOf(const posix::TreeAccess& trees, const std::string& path, std::string& original) {
  std::string relative;
  if (const posix::TreeRoot* root = trees.treeOf(path, relative); root && !relative.empty() && root->handle) {
    original = joinPath(root->realPath, relative);
    return {};
  }
  char resolved[PATH_MAX];
  if (!::realpath(parentFolder(path).c_str(), resolved)) return lastError();
  original = joinPath(resolved, lastComponent(path));
  return {};
}

std::error_code trashEntry(const posix::TreeAccess& trees, const std::string& path, TrashAction action) {
  posix::Place place;
  if (auto ec = trees.locate(path, place)) return ec;
  std::string original;
  if (auto ec = recordedPathOf(trees, path, original)) return ec;
  struct stat trashed {};
  if (place.folder == AT_FDCWD) {
    // Outside the trees: the folder that holds it, opened once, finds its trash.
    posix::UniqueFd folder(::open(parentFolder(path).c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!folder) return lastError();
    return trashEntryAt(trees, folder.get(), lastComponent(path), original, action, trashed);
  }
  return trashEntryAt(trees, place.folder, place.name, original, action, trashed);
}

std::error_code trashEntryAt(const posix::TreeAccess& trees, int folder, const std::string& entry,
                             const std::string& original, TrashAction action, struct stat& trashed) {
  if (::fstatat(folder, entry.c_str(), &trashed, AT_SYMLINK_NOFOLLOW) != 0) return lastError();
  std::error_code ec;
  // The home trash may share the volume but not the mount (a bind mount): the volume's
  // own trash takes the entry then.
  for (const bool volumeOnly : {false, true}) {
    posix::TreeAccess::ChosenTrash unkept;
    posix::TreeAccess::ChosenTrash* trash = nullptr;
    if ((ec = chooseTrash(trees, folder, trashed.st_dev, volumeOnly, unkept, trash))) return ec;
    // A volume that refused one link refuses them all: it is not asked again during the run.
    if (action == TrashAction::Link && trash->refusesLinks) return std::make_error_code(std::errc::operation_not_supported);
    std::string name;
    if ((ec = writeTrashInfo(*trash, lastComponent(original), recordedFor(*trash, original), name))) return ec;
    const int moved = action == TrashAction::Move ? ::renameat(folder, entry.c_str(), trash->files.get(), name.c_str())
                                                  : ::linkat(folder, entry.c_str(), trash->files.get(), name.c_str(), 0);
    if (moved == 0) return {};
    const int error = errno;
    ec = lastError();
    ::unlinkat(trash->info.get(), (name + ".trashinfo").c_str(), 0);
    if (action == TrashAction::Link && volumeRefusesLinks(error)) {
      trash->refusesLinks = true;
      return std::make_error_code(std::errc::operation_not_supported);
    }
    if (ec != std::errc::cross_device_link || !trash->top.empty()) return ec;
  }
  return ec;
}

}  // namespace vardell
