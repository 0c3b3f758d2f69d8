// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// Listing folders and reading files on POSIX: readdir + fstatat with raw byte names,
// links never followed, FIFOs, sockets and devices never read.
#include "platform/path_text.h"
#include "platform/posix_services.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace vardell::posix {
namespace {

std::uint32_t packedLocalTime(const timespec& ts) {
  std::tm local{};
  const time_t seconds = ts.tv_sec;
  if (!localtime_r(&seconds, &local)) return 0;
  return packLocalTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                       local.tm_sec);
}

}  // namespace

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
  e.Mode = std::uint32_t(st.st_mode & 07777);
  e.Time = packedLocalTime(st.st_mtim);
  e.MtimeNs = toNs(st.st_mtim);
}

namespace {

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

// A regular file's bytes up to the size it had when it was opened: a file that grows
// meanwhile is compared as it was, and the end is known without another read.
class FdReader final : public ReadableFile {
 public:
  FdReader(UniqueFd fd, std::int64_t size) : fd_(std::move(fd)), remaining_(size) {}
  std::error_code read(char* buffer, std::size_t size, std::size_t& count) override {
    count = 0;
    const std::size_t wanted = std::size_t(std::min<std::int64_t>(std::int64_t(size), remaining_));
    while (count < wanted) {
      const ssize_t n = ::read(fd_.get(), buffer + count, wanted - count);
      if (n < 0) {
        if (errno == EINTR) continue;
        return lastError();
      }
      if (n == 0) {
        remaining_ = 0;  // it shrank
        break;
      }
      count += std::size_t(n);
    }
    remaining_ -= std::int64_t(count);
    return {};
  }

 private:
  UniqueFd fd_;
  std::int64_t remaining_;
};

// The refusal of an opened file that is not a regular file.
std::error_code notARegularFile(const struct stat& opened) {
  return std::make_error_code(S_ISDIR(opened.st_mode) ? std::errc::is_a_directory : std::errc::operation_not_supported);
}

// A file a listing showed to be a regular file of `listed` bytes. When the first read
// asks for more than that, it asks for one byte more than listed: a regular file's read
// returns less than asked only at its end, so the listed size back shows the whole file,
// and the file's own stat is saved (the listing has just made one). Any other answer, and
// a first read that asks for no more than listed, asks the opened file what it is: a
// folder, FIFO or device that took the name meanwhile is not read further, and a file
// that changed is read on as FdReader reads, to the size it has now. The first read is a
// pread at offset 0, which a FIFO, socket or terminal refuses without giving up any of
// its data; a block or memory-like device would give its first bytes, but only someone
// who may make device nodes can put one under a name the listing showed as a file.
class ListedFileReader final : public ReadableFile {
 public:
  ListedFileReader(UniqueFd fd, std::int64_t listed) : fd_(std::move(fd)), listed_(listed) {}
  std::error_code read(char* buffer, std::size_t size, std::size_t& count) override {
    count = 0;
    if (judged_) return rest_ ? rest_->read(buffer, size, count) : std::error_code{};
    judged_ = true;
    ssize_t n = 0;
    if (size > std::size_t(listed_)) {
      do {
        n = ::pread(fd_.get(), buffer, std::size_t(listed_) + 1, 0);
      } while (n < 0 && errno == EINTR);
      if (n == listed_) {
        count = std::size_t(n);
        return {};
      }
    }
    const std::error_code readError = n < 0 ? lastError() : std::error_code{};
    struct stat opened {};
    if (::fstat(fd_.get(), &opened) != 0) return lastError();
    if (!S_ISREG(opened.st_mode)) return notARegularFile(opened);
    if (readError) return readError;
    if (n > 0 && ::lseek(fd_.get(), n, SEEK_SET) < 0) return lastError();
    count = std::size_t(n);
    rest_ = std::make_unique<FdReader>(std::move(fd_), std::max<std::int64_t>(0, std::int64_t(opened.st_size) - n));
    std::size_t more = 0;
    const std::error_code ec = rest_->read(buffer + count, size - count, more);
    count += more;
    return ec;
  }

 private:
  UniqueFd fd_;
  std::int64_t listed_;
  bool judged_ = false;                 // the first read is done
  std::unique_ptr<ReadableFile> rest_;  // reads on after a first read that was not the whole file
};

class TextReader final : public ReadableFile {
 public:
  explicit TextReader(std::string text) : text_(std::move(text)) {}
  std::error_code read(char* buffer, std::size_t size, std::size_t& count) override {
    count = std::min(size, text_.size() - offset_);
    std::memcpy(buffer, text_.data() + offset_, count);
    offset_ += count;
    return {};
  }

 private:
  std::string text_;
  std::size_t offset_ = 0;
};

}  // namespace

std::error_code statAt(const TreeAccess& trees, const std::string& path, struct stat& st) {
  // A root is the folder opened when the trees were entered, not what its path names now.
  if (const TreeRoot* root = trees.rootNamed(path); root && root->handle) {
    if (::fstat(root->handle.get(), &st) != 0) return lastError();
    return {};
  }
  Place place;
  if (auto ec = trees.locate(path, place)) return ec;
  const int flags = place.followsRoot() ? 0 : AT_SYMLINK_NOFOLLOW;
  if (::fstatat(place.folder, place.name.c_str(), &st, flags) != 0) return lastError();
  return {};
}

std::error_code readLinkAt(const TreeAccess& trees, const std::string& path, std::string& target) {
  Place place;
  if (auto ec = trees.locate(path, place)) return ec;
  std::string buffer(256, '\0');
  for (;;) {
    const ssize_t n = ::readlinkat(place.folder, place.name.c_str(), buffer.data(), buffer.size());
    if (n < 0) return lastError();
    if (std::size_t(n) < buffer.size()) {
      buffer.resize(std::size_t(n));
      target = std::move(buffer);
      return {};
    }
    buffer.resize(buffer.size() * 2);
  }
}

std::error_code listFolderAt(const TreeAccess& trees, const std::string& folder, std::vector<DirEntry>& entries,
                             ListingDetail detail) {
  entries.clear();
  std::error_code ec;
  const int fd = trees.open(folder, O_RDONLY | O_DIRECTORY, 0, ec);
  if (fd < 0) return isLinkError(ec) ? std::make_error_code(std::errc::not_a_directory) : ec;
  std::string relative;
  const TreeRoot* root = trees.treeOf(folder, relative);
  const bool inTree = root != nullptr;
  FolderIdentity identity;
  if (inTree && !identifyFolder(fd, identity)) identity = {};
  const struct stat& self = identity.st;
  if (inTree && !relative.empty() && (trees.isRootIdentity(self) || trees.showsATreeAgain(*root, relative, identity))) {
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
      if (::fstatat(fd, d->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0) {
        fillEntry(st, e);
      } else if (errno == ENOENT) {
        continue;  // vanished meanwhile
      } else if (!fillKind(d->d_type, e)) {
        // Named but not to be looked at (in a folder without search permission): listed by
        // its kind alone, or as a special file, so the walk reports it instead of passing
        // over it, whatever detail the listing was asked for.
        e.Kind = EntryKind::Special;
      }
    }
    housekeepingSeen = housekeepingSeen || (e.isFolder() && isHousekeepingName(e.Name));
    entries.push_back(std::move(e));
    errno = 0;
  }
  const int readError = errno;
  if (housekeepingSeen && folderIsVolumeRoot(fd)) {
    std::erase_if(entries, [](const DirEntry& e) { return e.isFolder() && isHousekeepingName(e.Name); });
  }
  ::closedir(dir);
  if (readError != 0) return std::error_code(readError, std::generic_category());
  // "." and ".." first, then every other name in listing order.
  const auto names = std::stable_partition(entries.begin(), entries.end(), [](const DirEntry& e) { return e.isDotEntry(); });
  std::sort(entries.begin(), names, [](const DirEntry& a, const DirEntry& b) { return a.Name.size() < b.Name.size(); });
  std::sort(names, entries.end(), [](const DirEntry& a, const DirEntry& b) { return listingOrderLess(a.Name, b.Name); });
  return {};
}

namespace {

// Opens a file beneath its root without following a link and without waiting on a FIFO.
UniqueFd openToRead(const TreeAccess& trees, const std::string& path, std::error_code& ec) {
  return UniqueFd(trees.open(path, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY, 0, ec));
}

// After a failed open: the target text when a link has the name, nothing otherwise.
std::unique_ptr<ReadableFile> linkTextReader(const TreeAccess& trees, const std::string& path, std::error_code& ec) {
  if (!isLinkError(ec)) return nullptr;
  std::string target;
  if ((ec = readLinkAt(trees, path, target))) return nullptr;
  return std::make_unique<TextReader>(std::move(target));
}

// Files above this size take many reads, beside which one stat costs nothing.
constexpr std::int64_t kLargeFile = 1 << 20;

std::unique_ptr<ReadableFile> regularFileReader(UniqueFd fd, std::error_code& ec) {
  struct stat opened {};
  if (::fstat(fd.get(), &opened) != 0 || !S_ISREG(opened.st_mode)) {
    ec = notARegularFile(opened);
    return nullptr;
  }
  // Read-ahead hints pay only for files that take more than a few reads.
  if (opened.st_size > kLargeFile) ::posix_fadvise(fd.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
  return std::make_unique<FdReader>(std::move(fd), std::int64_t(opened.st_size));
}

}  // namespace

std::unique_ptr<ReadableFile> openFileForReading(const TreeAccess& trees, const std::string& path, std::error_code& ec) {
  UniqueFd fd = openToRead(trees, path, ec);
  if (!fd) return linkTextReader(trees, path, ec);
  return regularFileReader(std::move(fd), ec);
}

std::unique_ptr<ReadableFile> openListedFileForReading(const TreeAccess& trees, const std::string& path,
                                                       std::int64_t listedSize, std::error_code& ec) {
  UniqueFd fd = openToRead(trees, path, ec);
  if (!fd) return linkTextReader(trees, path, ec);
  if (listedSize < 0 || listedSize > kLargeFile) return regularFileReader(std::move(fd), ec);
  return std::make_unique<ListedFileReader>(std::move(fd), listedSize);
}

}  // namespace vardell::posix
