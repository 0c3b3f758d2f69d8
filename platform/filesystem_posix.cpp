// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// The file-system service on POSIX. Paths below the run's folder roots are reached through
// TreeAccess, never through a link; listing, reading, copies and locks live in their own
// files (posix_services.h).
#include "platform/filesystem.h"
#include "platform/path_text.h"
#include "platform/posix_services.h"
#include "platform/trash.h"
#include "platform/volumes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdio>
#include <utility>

namespace vardell {
namespace {

using posix::lastError;
using posix::Place;

// True for an absolute path with no empty, "." or ".." component and no trailing "/".
bool isNormalAbsolute(const std::string& path) {
  if (path.empty() || path[0] != '/') return false;
  if (path == "/") return true;
  if (path.back() == '/') return false;
  for (std::size_t start = 1; start <= path.size();) {
    const std::size_t end = std::min(path.find('/', start), path.size());
    const std::size_t length = end - start;
    if (length == 0 || (length == 1 && path[start] == '.') || (length == 2 && path.compare(start, 2, "..") == 0)) {
      return false;
    }
    start = end + 1;
  }
  return true;
}

// The run log and other files of the program's own: written through a buffer, every
// write and the close checked.
class PosixWritableFile final : public WritableFile {
 public:
  explicit PosixWritableFile(std::FILE* file) : file_(file) {}
  ~PosixWritableFile() override {
    if (file_) std::fclose(file_);
  }
  std::error_code write(std::string_view data) override {
    if (std::fwrite(data.data(), 1, data.size(), file_) != data.size()) return lastError();
    return {};
  }
  std::error_code close() override {
    std::FILE* file = std::exchange(file_, nullptr);
    if (!file) return {};
    const bool flushed = std::fflush(file) == 0;
    const auto flushError = lastError();
    if (std::fclose(file) != 0 || !flushed) return flushed ? lastError() : flushError;
    return {};
  }

 private:
  std::FILE* file_;
};

// A buffered writer on fd, the file's full path given back in `path`.
std::unique_ptr<WritableFile> writableFile(int fd, const std::string& opened, std::string& path, std::error_code& ec) {
  std::FILE* file = ::fdopen(fd, "wb");
  if (!file) {
    ec = lastError();
    ::close(fd);
    return nullptr;
  }
  std::setvbuf(file, nullptr, _IOFBF, 1 << 16);
  ec.clear();
  path = opened;
  return std::make_unique<PosixWritableFile>(file);
}

// Opens one of the program's own files, `name` in the open folder `folder`, for writing,
// emptied. A link or a hard link found under its name is not followed or emptied: the
// name alone is removed and made anew, so whatever else the name was shared with keeps
// its content. A read-only file of ours is made writable, as each run replaces it.
int openOwnFileAt(int folder, const std::string& name, std::error_code& ec) {
  for (int attempt = 0; attempt < 4; ++attempt) {
    const int fd = ::openat(folder, name.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644);
    if (fd < 0 && errno != ELOOP && errno != EACCES) break;
    struct stat st {};
    if (fd >= 0 && ::fstat(fd, &st) != 0) {
      ec = lastError();
      ::close(fd);
      return -1;
    }
    if (fd >= 0 && !S_ISREG(st.st_mode)) {  // a device or FIFO is no file of ours
      ::close(fd);
      ec = std::make_error_code(std::errc::operation_not_supported);
      return -1;
    }
    if (fd >= 0 && st.st_nlink == 1) {
      if ((st.st_mode & S_IWUSR) == 0 && ::fchmod(fd, (st.st_mode & 07777) | S_IWUSR) != 0) {
        ec = lastError();
        ::close(fd);
        return -1;
      }
      if (::ftruncate(fd, 0) == 0 && ::fcntl(fd, F_SETFL, 0) == 0) {
        ec.clear();
        return fd;
      }
      ec = lastError();
      ::close(fd);
      return -1;
    }
    // A link, a file that shares its content with another name, or one we may not write.
    if (fd >= 0) ::close(fd);
    if (::unlinkat(folder, name.c_str(), 0) != 0) break;
  }
  ec = lastError();
  return -1;
}

class PosixFileSystem final : public FileSystem {
 public:
  explicit PosixFileSystem(const PosixOptions& options) : options_(options) {}

  std::error_code enterTrees(const FolderTrees& trees) override { return trees_.enter(trees); }
  void leaveTrees() override { trees_.leave(); }

  bool treeLiesWithin(const std::string& inner, const std::string& outer) override {
    const posix::TreeRoot* innerRoot = trees_.rootNamed(inner);
    const posix::TreeRoot* outerRoot = trees_.rootNamed(outer);
    return innerRoot && outerRoot && trees_.rootLiesWithin(*innerRoot, *outerRoot);
  }

  std::vector<std::string> mountPointsBelow(const std::string& rootPath) override {
    std::vector<std::string> below;
    const posix::TreeRoot* root = trees_.rootNamed(rootPath);
    if (!root || !root->handle) return below;
    for (const Volume& mount : mountTable()) {
      if (isBelow(mount.mountPoint, root->realPath)) {
        below.push_back(joinPath(rootPath, mount.mountPoint.substr(root->realPath == "/" ? 1 : root->realPath.size() + 1)));
      }
    }
    return below;
  }

  std::error_code realPath(const std::string& path, std::string& resolved) override {
    if (const posix::TreeRoot* root = trees_.rootNamed(path)) return realPathOfRoot(*root, resolved);
    char buffer[PATH_MAX];
    if (!::realpath(path.c_str(), buffer)) return lastError();
    resolved = buffer;
    return {};
  }

  std::unique_ptr<HeldLock> tryLockFolder(const std::string& path, std::error_code& ec) override {
    if (const posix::TreeRoot* root = trees_.rootNamed(path)) {
      // flock needs a handle opened for reading; the folder is the one opened at the start.
      return posix::lockHandle(::openat(trees_.rootOrParent(*root), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC), ec);
    }
    std::string folder = fullPath(path);
    int fd = -1;
    for (;;) {
      fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
      if (fd >= 0 || errno != ENOENT || folder == "/") break;
      folder = parentFolder(folder);
    }
    return posix::lockHandle(fd, ec);
  }

  std::error_code listFolder(const std::string& folder, std::vector<DirEntry>& entries,
                             ListingDetail detail) override {
    return posix::listFolderAt(trees_, folder, entries, detail);
  }

  std::error_code statEntry(const std::string& path, DirEntry& entry) override {
    struct stat st {};
    if (auto ec = posix::statAt(trees_, path, st)) return ec;
    entry.Name = lastComponent(path);
    posix::fillEntry(st, entry);
    return {};
  }

  bool fileExists(const std::string& path) override {
    struct stat st {};
    return !posix::statAt(trees_, path, st) && !S_ISDIR(st.st_mode);
  }

  bool folderExists(const std::string& path) override {
    struct stat st {};
    return !posix::statAt(trees_, path, st) && S_ISDIR(st.st_mode);
  }

  std::error_code identify(const std::string& path, FileIdentity& id) override {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return lastError();
    id = FileIdentity{std::uint64_t(st.st_dev), std::uint64_t(st.st_ino), S_ISDIR(st.st_mode)};
    return {};
  }

  std::error_code identifyEntry(const std::string& path, FileIdentity& id) override {
    struct stat st {};
    if (auto ec = posix::statAt(trees_, path, st)) return ec;
    id = FileIdentity{std::uint64_t(st.st_dev), std::uint64_t(st.st_ino), S_ISDIR(st.st_mode)};
    return {};
  }

  std::string fullPath(const std::string& path) override {
    if (isNormalAbsolute(path)) return path;
    std::string absolute = path;
    if (absolute.empty() || absolute[0] != '/') {
      char cwd[4096];
      absolute = joinPath(::getcwd(cwd, sizeof cwd) ? cwd : "/", path);
    }
    return lexicallyNormal(absolute);
  }

  std::error_code createFolder(const std::string& path) override {
    if (const posix::TreeRoot* root = trees_.rootNamed(path); root && !root->handle) return trees_.createRoot(*root);
    Place place;
    if (auto ec = trees_.locate(path, place)) return ec;
    if (::mkdirat(place.folder, place.name.c_str(), 0777) == 0) return {};
    const auto ec = lastError();
    struct stat st {};
    const int flags = place.followsRoot() ? 0 : AT_SYMLINK_NOFOLLOW;
    if (errno == EEXIST && ::fstatat(place.folder, place.name.c_str(), &st, flags) == 0 && S_ISDIR(st.st_mode)) {
      return {};  // a folder that is there already is what was asked for
    }
    return ec;
  }

  std::error_code setFolderTimeAndMode(const std::string& path, std::int64_t mtimeNs, std::uint32_t mode) override {
    std::error_code ec;
    const posix::UniqueFd folder(trees_.open(path, O_RDONLY | O_DIRECTORY | O_NOFOLLOW, 0, ec));
    if (!folder) return ec;
    std::error_code result;
    struct stat st {};
    if (::fstat(folder.get(), &st) == 0 && (st.st_mode & 07777) != mode && ::fchmod(folder.get(), mode) != 0) {
      result = lastError();
    }
    const posix::StampTimes stamp(mtimeNs);
    if (::futimens(folder.get(), stamp.times) != 0 && !result) result = lastError();
    return result;
  }

  std::error_code flushWrites(const std::string& root) override {
    const posix::TreeRoot* tree = trees_.rootNamed(root);
    if (!tree || !tree->handle) return std::make_error_code(std::errc::no_such_file_or_directory);
    std::vector<dev_t> flushed;
    const auto flush = [&flushed](int handle) -> std::error_code {
      // The handles kept for a run only name folders; syncfs needs one opened for reading.
      const posix::UniqueFd fd(::openat(handle, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
      struct stat st {};
      if (!fd || ::fstat(fd.get(), &st) != 0) return lastError();
      for (const dev_t done : flushed) {
        if (done == st.st_dev) return {};
      }
      flushed.push_back(st.st_dev);
      return ::syncfs(fd.get()) == 0 ? std::error_code() : lastError();
    };
    std::error_code first = flush(tree->handle.get());
    for (const auto& [mount, trash] : trees_.chosenTrashes()) {
      if (const auto ec = flush(trash.files.get()); ec && !first) first = ec;
    }
    return first;
  }

  bool foldsLetterCase(const std::string& root) override {
    const posix::TreeRoot* tree = trees_.rootNamed(root);
    if (!tree || !tree->handle) return false;
    const int folder = ::openat(tree->handle.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0) return false;
    const posix::UniqueFd held(folder);
    const std::string lower = ".vardell-case-" + std::to_string(::getpid()) + "-probe";
    std::string upper = lower;
    for (char& c : upper) c = char(std::toupper(static_cast<unsigned char>(c)));
    const int made = ::openat(folder, lower.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (made < 0) return false;
    ::close(made);
    struct stat st {};
    const bool folds = ::fstatat(folder, upper.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
    ::unlinkat(folder, lower.c_str(), 0);
    return folds;
  }

  std::error_code setFileTime(const std::string& path, std::int64_t mtimeNs, std::int64_t& keptNs) override {
    Place place;
    if (auto ec = trees_.locate(path, place)) return ec;
    const int folder = place.folder;
    const char* name = place.name.c_str();
    struct stat st {};
    if (::fstatat(folder, name, &st, AT_SYMLINK_NOFOLLOW) != 0) return lastError();
    // A time set through one name reaches every other name of the file, a master file's too.
    if (!(S_ISREG(st.st_mode) || S_ISLNK(st.st_mode)) || st.st_nlink != 1) {
      return std::make_error_code(std::errc::operation_not_permitted);
    }
    const posix::StampTimes stamp(mtimeNs);
    if (::utimensat(folder, name, stamp.times, AT_SYMLINK_NOFOLLOW) != 0) return lastError();
    if (::fstatat(folder, name, &st, AT_SYMLINK_NOFOLLOW) != 0) return lastError();
    keptNs = posix::toNs(st.st_mtim);
    return {};
  }

  std::error_code removeFolder(const std::string& path) override {
    Place place;
    if (auto ec = trees_.locate(path, place)) return ec;
    if (::unlinkat(place.folder, place.name.c_str(), AT_REMOVEDIR) != 0) return lastError();
    return {};
  }

  std::error_code resetAttributes(const std::string& path) override {
    struct stat st {};
    if (auto ec = posix::statAt(trees_, path, st)) return ec;
    std::string relative;
    // Inside the trees the write bit keeps nothing from being trashed or replaced, and a
    // mode change would reach every hard link of the file, a master file's included.
    if (trees_.treeOf(path, relative) || !S_ISREG(st.st_mode) || (st.st_mode & S_IWUSR) != 0) return {};
    // One of the program's own files: changed only when it is a file of its own, never
    // through a link nor when another name shares it (openOwnFile replaces those).
    const posix::UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat opened {};
    if (!fd || ::fstat(fd.get(), &opened) != 0 || !S_ISREG(opened.st_mode) || opened.st_nlink != 1) return {};
    if (::fchmod(fd.get(), (opened.st_mode & 07777) | S_IWUSR) != 0) return lastError();
    return {};
  }

  std::unique_ptr<ReadableFile> openForReading(const std::string& path, std::error_code& ec) override {
    return posix::openFileForReading(trees_, path, ec);
  }
  std::unique_ptr<ReadableFile> openListedFile(const std::string& path, std::int64_t listedSize,
                                               std::error_code& ec) override {
    return posix::openListedFileForReading(trees_, path, listedSize, ec);
  }
  // Listing and opening beneath a root only read the trees' state, which is settled
  // before any folder of a run is listed, and the mount table, which has its own lock.
  bool readsFromAnotherThread() const override { return true; }

  std::unique_ptr<WritableFile> openOwnFile(const std::vector<std::string>& folders, const std::string& name,
                                            std::string& path, std::error_code& ec) override {
    std::error_code firstError;
    std::string firstFailed;
    for (const std::string& folder : folders) {
      // The program's own files never go into a tree, whatever path leads there.
      const posix::UniqueFd opened =
          posix::openOwnFolder(folder, [this](int fd) { return trees_.holdsFolder(fd); }, posix::OwnFolderUse::Make, ec);
      const int fd = opened ? openOwnFileAt(opened.get(), name, ec) : -1;
      if (fd >= 0) return writableFile(fd, joinPath(folder, name), path, ec);
      if (!firstError && ec != TreeError::OwnFolderInsideTrees) {
        firstError = ec;
        firstFailed = joinPath(folder, name);
      }
    }
    ec = firstError ? firstError : make_error_code(TreeError::OwnFolderInsideTrees);
    path = firstFailed;
    return nullptr;
  }


  std::unique_ptr<FileCopy> startCopy(const std::string& source, const std::string& targetFolder,
                                      const std::string& name, std::error_code& ec) override {
    auto folder = copyFolder(targetFolder, ec);
    if (!folder) return nullptr;
    return posix::startFileCopy(trees_, source, std::move(folder), targetFolder, name, options_.unnamedTemporaryFiles,
                                ec);
  }

  std::error_code moveToTrash(const std::string& path) override {
    return trashEntry(trees_, path, TrashAction::Move);
  }

  Volume volumeOf(const std::string& path) override { return vardell::volumeOf(path); }
  bool isVolumeRoot(const std::string& path) override { return vardell::isVolumeRoot(path); }
  bool isOnSystemVolume(const std::string& path) override {
    const posix::TreeRoot* root = trees_.rootNamed(path);
    if (!root) return vardell::isOnSystemVolume(path);
    struct stat folder {}, system {};
    return ::fstat(trees_.rootOrParent(*root), &folder) == 0 && ::stat("/", &system) == 0 &&
           folder.st_dev == system.st_dev;
  }

 private:
  // The target folder of one copy, reached beneath its root without a link when the copy
  // begins; a copy is never written anywhere else.
  std::shared_ptr<const posix::UniqueFd> copyFolder(const std::string& folder, std::error_code& ec) {
    posix::UniqueFd fd(trees_.open(folder, O_PATH | O_DIRECTORY, 0, ec));
    if (!fd) {
      if (posix::isLinkError(ec)) ec = make_error_code(TreeError::LinkInPath);
      return nullptr;
    }
    return std::make_shared<const posix::UniqueFd>(std::move(fd));
  }

  // Where a root's handle lies now; for a root still to be made, where it will be made.
  std::error_code realPathOfRoot(const posix::TreeRoot& root, std::string& resolved) {
    const std::string folder = posix::pathOfHandle(trees_.rootOrParent(root));
    if (folder.empty()) return std::make_error_code(std::errc::no_such_file_or_directory);
    resolved = root.handle ? folder : joinPath(folder, lastComponent(root.path));
    return {};
  }

  PosixOptions options_;
  posix::TreeAccess trees_;
};

class TreeErrorCategory final : public std::error_category {
 public:
  const char* name() const noexcept override { return "vardell-tree"; }
  std::string message(int value) const override {
    switch (TreeError(value)) {
      case TreeError::LinkInPath: return "a symbolic link stands in the path, and links are never followed";
      case TreeError::OtherTree: return "the folder is the master or mirror folder itself, reached another way";
      case TreeError::NoTrashOutsideTrees: return "every trash folder for it lies inside the master or mirror folder";
      case TreeError::FolderMoved: return "the folder was moved or replaced while the copy was written";
      case TreeError::RootIsLink: return "a symbolic link has the name of the folder to create, and links are never followed";
      case TreeError::OwnFolderInsideTrees: return "the folder lies inside the master or mirror folder";
    }
    return "unknown folder tree error";
  }
};

}  // namespace

std::unique_ptr<FileSystem> makePosixFileSystem(const PosixOptions& options) {
  return std::make_unique<PosixFileSystem>(options);
}

std::error_code make_error_code(TreeError error) {
  static const TreeErrorCategory category;
  return {int(error), category};
}

std::string describeError(const std::error_code& ec) { return ec.message(); }

}  // namespace vardell
