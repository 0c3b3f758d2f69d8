// The file-system service on POSIX: readdir + fstatat listings with raw byte names,
// reading without following links, and copies made through a temporary name. Paths
// below the run's folder roots are reached through TreeAccess, never through a link.
#include "platform/filesystem.h"
#include "platform/path_text.h"
#include "platform/trash_posix.h"
#include "platform/tree_access_posix.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <random>

namespace vardell {
namespace {

using posix::Place;
using posix::UniqueFd;

std::error_code lastError() { return std::error_code(errno, std::generic_category()); }

std::int64_t toNs(const timespec& ts) { return std::int64_t(ts.tv_sec) * 1000000000LL + ts.tv_nsec; }

std::uint32_t packedLocalTime(const timespec& ts) {
  std::tm local{};
  const time_t seconds = ts.tv_sec;
  if (!localtime_r(&seconds, &local)) return 0;
  return packLocalTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                       local.tm_sec);
}

void fillEntry(const struct stat& st, DirEntry& e) {
  e.Attr = 0;
  if (S_ISDIR(st.st_mode)) {
    e.Kind = EntryKind::Folder;
    e.Attr |= kAttrFolder;
  } else if (S_ISLNK(st.st_mode)) {
    e.Kind = EntryKind::Symlink;
  } else if (S_ISREG(st.st_mode)) {
    e.Kind = EntryKind::File;
  } else {
    e.Kind = EntryKind::Special;
  }
  if ((st.st_mode & S_IWUSR) == 0 && !S_ISLNK(st.st_mode)) e.Attr |= kAttrReadOnly;
  if (!e.Name.empty() && e.Name[0] == '.' && !e.isDotEntry()) e.Attr |= kAttrHidden;
  e.Size = S_ISDIR(st.st_mode) ? 0 : std::int64_t(st.st_size);
  e.Time = packedLocalTime(st.st_mtim);
  e.MtimeNs = toNs(st.st_mtim);
}

// The kind from the folder entry's type, when the file system gives one.
bool fillKind(unsigned char type, DirEntry& e) {
  switch (type) {
    case DT_DIR: e.Kind = EntryKind::Folder; e.Attr = kAttrFolder; return true;
    case DT_REG: e.Kind = EntryKind::File; return true;
    case DT_LNK: e.Kind = EntryKind::Symlink; return true;
    case DT_UNKNOWN: return false;
    default: e.Kind = EntryKind::Special; return true;
  }
}

bool isHousekeepingName(const std::string& name) {
  if (name == ".Trash" || name == "lost+found") return true;
  if (name.rfind(".Trash-", 0) != 0 || name.size() == 7) return false;
  return std::all_of(name.begin() + 7, name.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// A folder is a volume root when its parent lives on another device or is itself.
bool folderIsVolumeRoot(int dirFd) {
  struct stat self {}, parent {};
  if (fstat(dirFd, &self) != 0 || fstatat(dirFd, "..", &parent, 0) != 0) return false;
  return self.st_dev != parent.st_dev || self.st_ino == parent.st_ino;
}

class FdReader final : public ReadableFile {
 public:
  explicit FdReader(int fd) : fd_(fd) {}
  ~FdReader() override { ::close(fd_); }
  std::int64_t read(char* buffer, std::size_t size) override {
    std::size_t done = 0;
    while (done < size) {
      const ssize_t n = ::read(fd_, buffer + done, size - done);
      if (n < 0) {
        if (errno == EINTR) continue;
        return -1;
      }
      if (n == 0) break;
      done += std::size_t(n);
    }
    return std::int64_t(done);
  }

 private:
  int fd_;
};

class TextReader final : public ReadableFile {
 public:
  explicit TextReader(std::string text) : text_(std::move(text)) {}
  std::int64_t read(char* buffer, std::size_t size) override {
    const std::size_t n = std::min(size, text_.size() - offset_);
    std::memcpy(buffer, text_.data() + offset_, n);
    offset_ += n;
    return std::int64_t(n);
  }

 private:
  std::string text_;
  std::size_t offset_ = 0;
};

std::error_code readLinkText(int folder, const std::string& name, std::string& text) {
  std::string buffer(256, '\0');
  for (;;) {
    const ssize_t n = ::readlinkat(folder, name.c_str(), buffer.data(), buffer.size());
    if (n < 0) return lastError();
    if (std::size_t(n) < buffer.size()) {
      buffer.resize(std::size_t(n));
      text = std::move(buffer);
      return {};
    }
    buffer.resize(buffer.size() * 2);
  }
}

mode_t currentUmask() {
  static const mode_t mask = [] {
    const mode_t m = ::umask(0);
    ::umask(m);
    return m;
  }();
  return mask;
}

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

std::string temporaryName() {
  static std::mt19937_64 random{std::random_device{}()};
  static const char digits[] = "0123456789abcdef";
  std::string name = ".vardell-";
  std::uint64_t r = random();
  for (int i = 0; i < 12; ++i, r >>= 4) name += digits[r & 15];
  return name + ".part";
}

// Copies the bytes of one open file to another: in the kernel where it can, then with
// sendfile, then with a plain loop.
std::error_code copyBytes(int in, int out) {
  bool kernelCopy = true;
  for (;;) {
    const ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, 1 << 30, 0);
    if (n == 0) return {};
    if (n > 0) continue;
    if (errno == EINTR) continue;
    if (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP || errno == EBADF) {
      kernelCopy = false;
      break;
    }
    return lastError();
  }
  if (!kernelCopy) {
    for (;;) {
      const ssize_t n = ::sendfile(out, in, nullptr, 1 << 30);
      if (n == 0) return {};
      if (n > 0) continue;
      if (errno == EINTR) continue;
      if (errno == EINVAL || errno == ENOSYS) break;
      return lastError();
    }
  }
  std::vector<char> buffer(1 << 20);
  for (;;) {
    const ssize_t n = ::read(in, buffer.data(), buffer.size());
    if (n == 0) return {};
    if (n < 0) {
      if (errno == EINTR) continue;
      return lastError();
    }
    for (ssize_t done = 0; done < n;) {
      const ssize_t w = ::write(out, buffer.data() + done, std::size_t(n - done));
      if (w < 0) {
        if (errno == EINTR) continue;
        return lastError();
      }
      done += w;
    }
  }
}

std::error_code setTimes(int folder, const std::string& name, std::int64_t mtimeNs) {
  timespec times[2];
  times[0].tv_sec = 0;
  times[0].tv_nsec = UTIME_OMIT;
  times[1].tv_sec = time_t(mtimeNs / 1000000000LL);
  times[1].tv_nsec = long(mtimeNs % 1000000000LL);
  if (times[1].tv_nsec < 0) {
    times[1].tv_nsec += 1000000000L;
    times[1].tv_sec -= 1;
  }
  if (::utimensat(folder, name.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0) return lastError();
  return {};
}

bool isLinkError(const std::error_code& ec) { return ec == std::errc::too_many_symbolic_link_levels; }

class FlockHolder final : public HeldLock {
 public:
  explicit FlockHolder(int fd) : fd_(fd) {}
  ~FlockHolder() override { ::close(fd_); }

 private:
  int fd_;
};

class PosixFileSystem final : public FileSystem {
 public:
  std::error_code enterTrees(const FolderTrees& trees) override { return trees_.enter(trees); }
  void leaveTrees() override { trees_.leave(); }

  std::error_code realPath(const std::string& path, std::string& resolved) override {
    char buffer[PATH_MAX];
    if (!::realpath(path.c_str(), buffer)) return lastError();
    resolved = buffer;
    return {};
  }

  std::unique_ptr<HeldLock> tryLock(const std::string& path, std::error_code& ec) override {
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    return lockHandle(fd, ec);
  }

  std::unique_ptr<HeldLock> tryLockFolder(const std::string& path, std::error_code& ec) override {
    std::string folder = fullPath(path);
    int fd = -1;
    for (;;) {
      fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
      if (fd >= 0 || errno != ENOENT || folder == "/") break;
      folder = parentFolder(folder);
    }
    return lockHandle(fd, ec);
  }

  std::error_code listFolder(const std::string& folder, std::vector<DirEntry>& entries,
                             ListingDetail detail) override {
    entries.clear();
    std::error_code ec;
    const int fd = trees_.open(folder, O_RDONLY | O_DIRECTORY, 0, ec);
    if (fd < 0) return isLinkError(ec) ? std::make_error_code(std::errc::not_a_directory) : ec;
    std::string relative;
    const bool inTree = trees_.treeOf(folder, relative) != nullptr;
    struct stat self {};
    if (inTree && ::fstat(fd, &self) != 0) self = {};
    if (inTree && !relative.empty() && trees_.isRootIdentity(self)) {
      ::close(fd);
      return make_error_code(TreeError::OtherTree);
    }
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
      ec = lastError();
      ::close(fd);
      return ec;
    }
    bool housekeepingSeen = false;
    errno = 0;
    while (const dirent* d = ::readdir(dir)) {
      DirEntry e;
      e.Name = d->d_name;
      if (detail == ListingDetail::Full || !fillKind(d->d_type, e)) {
        struct stat st {};
        if (::fstatat(fd, d->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;  // vanished meanwhile
        fillEntry(st, e);
      }
      housekeepingSeen = housekeepingSeen || (e.isFolder() && isHousekeepingName(e.Name));
      entries.push_back(std::move(e));
      errno = 0;
    }
    const int readError = errno;
    if (housekeepingSeen && folderIsVolumeRoot(fd)) {
      std::erase_if(entries, [](const DirEntry& e) { return e.isFolder() && isHousekeepingName(e.Name); });
    }
    if (inTree) std::erase_if(entries, [&](const DirEntry& e) { return trees_.hidesEntry(self, e.Name); });
    ::closedir(dir);
    if (readError != 0) return std::error_code(readError, std::generic_category());
    // "." and ".." first, then every other name in listing order.
    const auto names = std::stable_partition(entries.begin(), entries.end(), [](const DirEntry& e) { return e.isDotEntry(); });
    std::sort(entries.begin(), names, [](const DirEntry& a, const DirEntry& b) { return a.Name.size() < b.Name.size(); });
    std::sort(names, entries.end(), [](const DirEntry& a, const DirEntry& b) { return listingOrderLess(a.Name, b.Name); });
    return {};
  }

  std::error_code statEntry(const std::string& path, DirEntry& entry) override {
    struct stat st {};
    if (auto ec = statAt(path, st)) return ec;
    entry.Name = lastComponent(path);
    fillEntry(st, entry);
    return {};
  }

  bool fileExists(const std::string& path) override {
    struct stat st {};
    return !statAt(path, st) && !S_ISDIR(st.st_mode);
  }

  bool folderExists(const std::string& path) override {
    struct stat st {};
    return !statAt(path, st) && S_ISDIR(st.st_mode);
  }

  std::error_code identify(const std::string& path, FileIdentity& id) override {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return lastError();
    id = FileIdentity{std::uint64_t(st.st_dev), std::uint64_t(st.st_ino), S_ISDIR(st.st_mode)};
    return {};
  }

  std::error_code identifyEntry(const std::string& path, FileIdentity& id) override {
    struct stat st {};
    if (auto ec = statAt(path, st)) return ec;
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
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= absolute.size()) {
      const std::size_t end = std::min(absolute.find('/', start), absolute.size());
      const std::string part = absolute.substr(start, end - start);
      if (part == "..") {
        if (!parts.empty()) parts.pop_back();
      } else if (!part.empty() && part != ".") {
        parts.push_back(part);
      }
      start = end + 1;
    }
    std::string result;
    for (const auto& part : parts) result += "/" + part;
    return result.empty() ? "/" : result;
  }

  std::error_code createFolder(const std::string& path) override {
    Place place;
    if (auto ec = trees_.locate(path, place)) return ec;
    if (::mkdirat(place.folder, place.name.c_str(), 0777) != 0) return lastError();
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
    if (auto ec = statAt(path, st)) return ec;
    std::string relative;
    // Inside the trees the write bit keeps nothing from being trashed or replaced, and a
    // mode change would reach every hard link of the file, a master file's included.
    if (trees_.treeOf(path, relative) || S_ISLNK(st.st_mode) || (st.st_mode & S_IWUSR) != 0) return {};
    if (::fchmodat(AT_FDCWD, path.c_str(), (st.st_mode & 07777) | S_IWUSR, 0) != 0) return lastError();
    return {};
  }

  std::unique_ptr<ReadableFile> openForReading(const std::string& path, std::error_code& ec) override {
    const int fd = trees_.open(path, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY, 0, ec);
    if (fd < 0) {
      if (!isLinkError(ec)) return nullptr;
      std::string target;
      if ((ec = readLinkAt(path, target))) return nullptr;
      return std::make_unique<TextReader>(std::move(target));
    }
    struct stat opened {};
    if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
      ec = std::make_error_code(S_ISDIR(opened.st_mode) ? std::errc::is_a_directory : std::errc::operation_not_supported);
      ::close(fd);
      return nullptr;
    }
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    return std::make_unique<FdReader>(fd);
  }

  std::error_code prepareCopy(const std::string& source, const std::string& targetFolder, const std::string& name,
                              PreparedCopy& copy) override {
    copy.targetPath = joinPath(targetFolder, name);
    std::error_code ec;
    UniqueFd in(trees_.open(source, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY, 0, ec));
    struct stat st {};
    if (!in && isLinkError(ec)) ec = statAt(source, st);
    if (ec) return ec;
    if (in && ::fstat(in.get(), &st) != 0) return lastError();
    copy.mtimeNs = toNs(st.st_mtim);
    copy.size = std::int64_t(st.st_size);
    copy.isLink = S_ISLNK(st.st_mode);
    if (!copy.isLink && !S_ISREG(st.st_mode)) {
      return std::make_error_code(S_ISDIR(st.st_mode) ? std::errc::is_a_directory
                                                      : std::errc::operation_not_supported);
    }
    UniqueFd folder(trees_.open(targetFolder, O_PATH | O_DIRECTORY, 0, ec));
    if (!folder) return isLinkError(ec) ? make_error_code(TreeError::LinkInPath) : ec;
    copy.folderHandle = folder.get();
    ec = copy.isLink ? prepareLinkCopy(source, copy) : copyContent(in.get(), st, copy);
    if (ec) return ec;  // the folder handle closes with `folder`
    folder.release();   // kept until the copy is committed or discarded
    return {};
  }

  std::error_code commitCopy(const PreparedCopy& copy, bool replaceExisting) override {
    const auto ec = giveName(copy, replaceExisting);
    if (ec == std::errc::file_exists && !replaceExisting) return ec;  // kept for a replacing commit
    if (ec) {
      discardCopy(copy);
    } else {
      closeHandles(copy);
    }
    return ec;
  }

  void discardCopy(const PreparedCopy& copy) override {
    if (!copy.temporaryName.empty()) ::unlinkat(copy.folderHandle, copy.temporaryName.c_str(), 0);
    closeHandles(copy);
  }

  std::error_code moveToTrash(const std::string& path) override {
    return trashEntry(trees_, path, TrashAction::Move);
  }
  std::error_code linkToTrash(const std::string& path) override {
    return trashEntry(trees_, path, TrashAction::Link);
  }

 private:
  static std::unique_ptr<HeldLock> lockHandle(int fd, std::error_code& ec) {
    ec.clear();
    if (fd < 0) {
      ec = lastError();
      return nullptr;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      ec = errno == EWOULDBLOCK ? std::make_error_code(std::errc::resource_unavailable_try_again) : lastError();
      ::close(fd);
      return nullptr;
    }
    return std::make_unique<FlockHolder>(fd);
  }

  // The entry at path itself, reached without following links; a root is followed.
  std::error_code statAt(const std::string& path, struct stat& st) {
    Place place;
    if (auto ec = trees_.locate(path, place)) return ec;
    const int flags = place.isRoot() ? 0 : AT_SYMLINK_NOFOLLOW;
    if (::fstatat(place.folder, place.name.c_str(), &st, flags) != 0) return lastError();
    return {};
  }

  std::error_code readLinkAt(const std::string& path, std::string& target) {
    Place place;
    if (auto ec = trees_.locate(path, place)) return ec;
    return readLinkText(place.folder, place.name, target);
  }

  // Writes the bytes of `in` into a temporary file in the copy's folder, with the
  // source's mode and last-write time. On failure nothing is left behind.
  std::error_code copyContent(int in, const struct stat& st, PreparedCopy& copy) {
    ::posix_fadvise(in, 0, 0, POSIX_FADV_SEQUENTIAL);
    UniqueFd out(createTemporary(copy, st.st_mode & 0777));
    if (!out) return lastError();
    std::error_code ec = copyBytes(in, out.get());
    if (!ec) {
      // The umask (or special bits) may have left the mode short; best effort, as some
      // file systems refuse modes.
      if ((st.st_mode & 07777) != (st.st_mode & 0777 & ~currentUmask())) ::fchmod(out.get(), st.st_mode & 07777);
      const timespec times[2] = {{0, UTIME_OMIT}, st.st_mtim};
      if (::futimens(out.get(), times) != 0) ec = lastError();
    }
    if (copy.unnamedHandle >= 0) {
      out.release();  // stays open until it is given its name
      if (ec) {
        ::close(copy.unnamedHandle);
        copy.unnamedHandle = -1;
      }
      return ec;
    }
    if (::close(out.release()) != 0 && !ec) ec = lastError();
    if (ec) ::unlinkat(copy.folderHandle, copy.temporaryName.c_str(), 0);
    return ec;
  }

  // Opens the file a copy is written to: unnamed where the file system allows, else
  // under a fresh hidden name. Returns the descriptor, or -1 with errno set.
  static int createTemporary(PreparedCopy& copy, mode_t mode) {
    copy.temporaryName.clear();
    copy.unnamedHandle = ::openat(copy.folderHandle, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
    if (copy.unnamedHandle >= 0) return copy.unnamedHandle;
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) return -1;
    int out = -1;
    for (int attempt = 0; attempt < 16 && out < 0; ++attempt) {
      copy.temporaryName = temporaryName();
      out = ::openat(copy.folderHandle, copy.temporaryName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
      if (out < 0 && errno != EEXIST) break;
    }
    if (out < 0) copy.temporaryName.clear();
    return out;
  }

  std::error_code prepareLinkCopy(const std::string& source, PreparedCopy& copy) {
    std::string target;
    if (auto ec = readLinkAt(source, target)) return ec;
    for (int attempt = 0; attempt < 16; ++attempt) {
      copy.temporaryName = temporaryName();
      if (::symlinkat(target.c_str(), copy.folderHandle, copy.temporaryName.c_str()) == 0) {
        const auto ec = setTimes(copy.folderHandle, copy.temporaryName, copy.mtimeNs);
        if (ec) ::unlinkat(copy.folderHandle, copy.temporaryName.c_str(), 0);
        return ec;
      }
      if (errno != EEXIST) break;
    }
    const auto ec = errno == EEXIST ? std::make_error_code(std::errc::file_exists) : lastError();
    copy.temporaryName.clear();
    return ec;
  }

  // Links the unnamed file as `name` in the copy's folder; never replaces an entry.
  static std::error_code linkUnnamed(const PreparedCopy& copy, const std::string& name) {
    const std::string self = "/proc/self/fd/" + std::to_string(copy.unnamedHandle);
    if (::linkat(copy.unnamedHandle, "", copy.folderHandle, name.c_str(), AT_EMPTY_PATH) == 0 ||
        ::linkat(AT_FDCWD, self.c_str(), copy.folderHandle, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
      return {};
    }
    return lastError();
  }

  // Gives the copy its name in one step: the name holds the old entry or the complete
  // copy at every instant.
  std::error_code giveName(const PreparedCopy& copy, bool replaceExisting) {
    const std::string name = lastComponent(copy.targetPath);
    if (copy.unnamedHandle >= 0) {
      auto ec = linkUnnamed(copy, name);
      if (ec != std::errc::file_exists || !replaceExisting) return ec;
      // Replacing: link under a hidden name, then rename over the target.
      std::string hidden;
      for (int attempt = 0; attempt < 16 && ec == std::errc::file_exists; ++attempt) {
        hidden = temporaryName();
        ec = linkUnnamed(copy, hidden);
      }
      if (ec) return ec;
      if (::renameat(copy.folderHandle, hidden.c_str(), copy.folderHandle, name.c_str()) == 0) return {};
      ec = lastError();
      ::unlinkat(copy.folderHandle, hidden.c_str(), 0);
      return ec;
    }
    const unsigned flags = replaceExisting ? 0 : RENAME_NOREPLACE;
    if (::renameat2(copy.folderHandle, copy.temporaryName.c_str(), copy.folderHandle, name.c_str(), flags) == 0) {
      return {};
    }
    if (!replaceExisting && errno == EINVAL) return giveName(copy, true);  // no RENAME_NOREPLACE here
    return lastError();
  }

  static void closeHandles(const PreparedCopy& copy) {
    if (copy.unnamedHandle >= 0) ::close(copy.unnamedHandle);
    if (copy.folderHandle >= 0) ::close(copy.folderHandle);
  }

  posix::TreeAccess trees_;
};

}  // namespace

std::unique_ptr<FileSystem> makePosixFileSystem() { return std::make_unique<PosixFileSystem>(); }

namespace {

class TreeErrorCategory final : public std::error_category {
 public:
  const char* name() const noexcept override { return "vardell-tree"; }
  std::string message(int value) const override {
    switch (TreeError(value)) {
      case TreeError::LinkInPath: return "a symbolic link stands in the path, and links are never followed";
      case TreeError::OtherTree: return "the folder is the master or mirror folder itself, reached another way";
      case TreeError::NoTrashOutsideTrees: return "every trash folder for it lies inside the master or mirror folder";
    }
    return "unknown folder tree error";
  }
};

}  // namespace

std::error_code make_error_code(TreeError error) {
  static const TreeErrorCategory category;
  return {int(error), category};
}

std::string describeError(const std::error_code& ec) { return ec.message(); }

}  // namespace vardell
