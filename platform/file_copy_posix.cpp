// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// Copies on POSIX: the bytes go into an unnamed temporary file in the target folder (or
// one under a hidden name where unnamed files are missing), piece by piece in the kernel
// where it can, then the copy is linked, renamed or exchanged into place in one step.
#include "platform/path_text.h"
#include "platform/posix_services.h"
#include "platform/trash.h"

#include <fcntl.h>
#include <linux/magic.h>
#include <stdio.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <random>

#ifndef RENAME_NOREPLACE
#define RENAME_NOREPLACE (1 << 0)
#endif
#ifndef RENAME_EXCHANGE
#define RENAME_EXCHANGE (1 << 1)
#endif

namespace vardell::posix {
namespace {

// renameat2, through the system call where the C library has no wrapper (glibc before
// 2.28); ENOSYS where the kernel has neither.
int renameAt2(int fromFolder, const std::string& from, int toFolder, const std::string& to, unsigned flags) {
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 28))
  return ::renameat2(fromFolder, from.c_str(), toFolder, to.c_str(), flags);
#elif defined(SYS_renameat2)
  return int(::syscall(SYS_renameat2, fromFolder, from.c_str(), toFolder, to.c_str(), flags));
#else
  errno = ENOSYS;
  return -1;
#endif
}

// How renameat2 says the file system cannot do what a flag asks.
bool flagUnsupported(int error) { return error == EINVAL || error == ENOSYS || error == EOPNOTSUPP; }

mode_t currentUmask() {
  static const mode_t mask = [] {
    const mode_t m = ::umask(0);
    ::umask(m);
    return m;
  }();
  return mask;
}

// True when the file system of the open file `fd` is one of the kernel's own disk or memory
// file systems: a file there keeps its number under every name and what it was given
// before its close, so what the copy's own handle shows is what its name holds. Network
// and FUSE file systems are not, and their copies are read again by name after the close.
// Asked of every copy's own handle: a device number is reused by the next volume mounted
// after one goes, so an answer kept by device could be another volume's.
bool keepsWhatItIsGiven(int fd) {
  struct statfs fs {};
  if (::fstatfs(fd, &fs) != 0) return false;
  switch (static_cast<unsigned long>(fs.f_type)) {
    case EXT4_SUPER_MAGIC: case XFS_SUPER_MAGIC: case BTRFS_SUPER_MAGIC: case TMPFS_MAGIC: case F2FS_SUPER_MAGIC:
      return true;
    default: return false;
  }
}

// Below this size the kernel's own read-ahead covers a file whole: advising it costs a
// system call per file for nothing.
constexpr off_t kAdviseSequentialFrom = 256 << 10;

std::string temporaryName() {
  static std::mt19937_64 random{std::random_device{}()};
  static const char digits[] = "0123456789abcdef";
  std::string name = ".vardell-";
  std::uint64_t r = random();
  for (int i = 0; i < 12; ++i, r >>= 4) name += digits[r & 15];
  return name + ".part";
}


class PosixFileCopy final : public FileCopy {
 public:
  PosixFileCopy(const TreeAccess& trees, std::shared_ptr<const UniqueFd> folder, std::string targetPath,
                CopySource source)
      : trees_(trees), folderHandle_(std::move(folder)), folder_(*folderHandle_), targetPath_(std::move(targetPath)),
        source_(source) {}
  ~PosixFileCopy() override {
    if (!displaced_.empty()) putBack();  // never trashed: the old entry keeps its name
    if (!committed_ && !hiddenName_.empty()) ::unlinkat(folder_.get(), hiddenName_.c_str(), 0);
  }

  const CopySource& source() const override { return source_; }
  const std::string& targetPath() const override { return targetPath_; }
  std::int64_t bytesCopied() const override { return copied_; }
  const CopySource* committed() const override { return committed_ ? &committedFacts_ : nullptr; }
  std::string keptPath() const override { return kept_; }

  // A copy of a link: the link is made whole at once.
  std::error_code startLink(const std::string& target) {
    for (int attempt = 0; attempt < 16; ++attempt) {
      hiddenName_ = temporaryName();
      if (::symlinkat(target.c_str(), folder_.get(), hiddenName_.c_str()) == 0) {
        // A link's own time is kept where the volume can (some network file systems follow
        // the link instead, or refuse); the copy is judged by what stayed, afterwards.
        const StampTimes stamp(source_.mtimeNs);
        ::utimensat(folder_.get(), hiddenName_.c_str(), stamp.times, AT_SYMLINK_NOFOLLOW);
        finished_ = true;
        copied_ = source_.size;
        return {};
      }
      if (errno != EEXIST) break;
    }
    const auto ec = errno == EEXIST ? std::make_error_code(std::errc::file_exists) : lastError();
    hiddenName_.clear();
    return ec;
  }

  // A copy of a file's bytes from `in`, written to a temporary file created now.
  std::error_code startContent(UniqueFd in, mode_t mode, bool allowUnnamed) {
    in_ = std::move(in);
    mode_ = mode;
    if (source_.size >= kAdviseSequentialFrom) ::posix_fadvise(in_.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
    if (allowUnnamed) {
      out_ = UniqueFd(::openat(folder_.get(), ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, mode & 0777));
      if (out_) return {};
      if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) return lastError();
    }
    for (int attempt = 0; attempt < 16 && !out_; ++attempt) {
      hiddenName_ = temporaryName();
      out_ = UniqueFd(::openat(folder_.get(), hiddenName_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                               mode & 0777));
      if (!out_ && errno != EEXIST) break;
    }
    if (out_) return {};
    const auto ec = lastError();
    hiddenName_.clear();
    return ec;
  }

  std::error_code copyPiece(bool& finished) override {
    ++pieces_;
    if (!finished_) {
      if (auto ec = copyBytes(kCopyPieceSize)) {
        discard();
        return ec;
      }
    }
    finished = finished_;
    return {};
  }

  bool targetExists() const override {
    struct stat st {};
    return ::fstatat(folder_.get(), lastComponent(targetPath_).c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
           !S_ISDIR(st.st_mode);
  }

  std::error_code trashExisting(TrashAction action) override {
    std::string original;
    if (auto ec = recordedPathOf(trees_, targetPath_, original)) return ec;
    struct stat trashed {};
    if (auto ec = trashEntryAt(trees_, folder_.get(), lastComponent(targetPath_), original, action, trashed)) return ec;
    linkedOld_ = action == TrashAction::Link;
    oldDevice_ = trashed.st_dev;
    oldInode_ = trashed.st_ino;
    return {};
  }

  std::error_code commit(bool replaceExisting) override {
    if (auto ec = readyToCommit()) return ec;
    const auto ec = giveName(replaceExisting);
    if (ec == std::errc::file_exists && !replaceExisting) return ec;  // kept for a replacing commit
    if (ec) {
      discard();
      return ec;
    }
    recordCommitted();
    committed_ = true;
    out_ = UniqueFd();
    return {};
  }

  std::error_code exchangeWithExisting() override {
    if (auto ec = readyToCommit()) return ec;
    const std::string name = lastComponent(targetPath_);
    std::string hidden;
    if (auto ec = linkHidden(hidden)) {
      discard();
      return ec;
    }
    if (renameAt2(folder_.get(), hidden, folder_.get(), name, RENAME_EXCHANGE) != 0) {
      const int error = errno;
      if (hiddenName_.empty()) ::unlinkat(folder_.get(), hidden.c_str(), 0);  // the unnamed copy keeps its handle
      struct stat st {};
      if (error == ENOENT && ::fstatat(folder_.get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        return commit(false);  // the old entry left meanwhile: the name is free
      }
      if (flagUnsupported(error)) return std::make_error_code(std::errc::operation_not_supported);
      discard();
      return std::error_code(error, std::generic_category());
    }
    // The hidden name now holds the old entry: it is never discarded as a temporary file.
    hiddenName_.clear();
    displaced_ = hidden;
    recordCommitted();
    committed_ = true;
    out_ = UniqueFd();
    struct stat old {};
    if (::fstatat(folder_.get(), displaced_.c_str(), &old, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(old.st_mode)) {
      // A folder took the name after it was looked at: it goes back, never to the trash.
      putBack();
      return std::make_error_code(std::errc::is_a_directory);
    }
    return {};
  }

  std::error_code trashDisplaced() override {
    if (displaced_.empty()) return {};
    std::string original;
    auto ec = recordedPathOf(trees_, targetPath_, original);
    struct stat trashed {};
    if (!ec) ec = trashEntryAt(trees_, folder_.get(), displaced_, original, TrashAction::Move, trashed);
    if (!ec) {
      displaced_.clear();
      return {};
    }
    putBack();
    return ec;
  }

 private:
  enum class Method { Kernel, Sendfile, ReadWrite };

  // Copies up to `budget` bytes; at the end of the source the copy gets its mode and time.
  std::error_code copyBytes(std::int64_t budget) {
    while (budget > 0) {
      const ssize_t n = transfer(std::size_t(budget));
      if (n < 0) {
        if (errno == EINTR) continue;
        if (fallBack()) continue;
        return lastError();
      }
      if (n == 0) return finishContent();
      copied_ += n;
      budget -= n;
    }
    return {};
  }

  ssize_t transfer(std::size_t budget) {
    switch (method_) {
      case Method::Kernel: return ::copy_file_range(in_.get(), nullptr, out_.get(), nullptr, budget, 0);
      case Method::Sendfile: return ::sendfile(out_.get(), in_.get(), nullptr, budget);
      case Method::ReadWrite: break;
    }
    if (buffer_.empty()) buffer_.resize(1 << 20);
    const ssize_t n = ::read(in_.get(), buffer_.data(), std::min(budget, buffer_.size()));
    for (ssize_t done = 0; n > 0 && done < n;) {
      const ssize_t w = ::write(out_.get(), buffer_.data() + done, std::size_t(n - done));
      if (w < 0 && errno != EINTR) return -1;
      if (w > 0) done += w;
    }
    return n;
  }

  // The next way of copying when the kernel says this one cannot be used here.
  bool fallBack() {
    if (method_ == Method::Kernel &&
        (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP || errno == EBADF)) {
      method_ = Method::Sendfile;
      return true;
    }
    if (method_ == Method::Sendfile && (errno == EINVAL || errno == ENOSYS)) {
      method_ = Method::ReadWrite;
      return true;
    }
    return false;
  }

  std::error_code finishContent() {
    in_ = UniqueFd();
    // The umask (or special bits) may have left the mode short; best effort, as some
    // file systems refuse modes.
    if ((mode_ & 07777) != (mode_ & 0777 & ~currentUmask())) ::fchmod(out_.get(), mode_ & 07777);
    const StampTimes stamp(source_.mtimeNs);
    if (::futimens(out_.get(), stamp.times) != 0) return lastError();
    finished_ = true;
    return {};
  }

  // Links the unnamed file as `name`; never replaces an entry.
  std::error_code linkUnnamed(const std::string& name) {
    const std::string self = "/proc/self/fd/" + std::to_string(out_.get());
    if (::linkat(out_.get(), "", folder_.get(), name.c_str(), AT_EMPTY_PATH) == 0 ||
        ::linkat(AT_FDCWD, self.c_str(), folder_.get(), name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
      return {};
    }
    return lastError();
  }

  // What the name now holds: the copy's own file, just given that name, as the file
  // system keeps it once the copy is closed. Closing sends what a network or FUSE file
  // system still held, and some stamp the file anew then: the time is set once more when
  // it did not stay.
  void recordCommitted() {
    const std::string name = lastComponent(targetPath_);
    struct stat st {};
    bool known = out_ ? ::fstat(out_.get(), &st) == 0
                      : ::fstatat(folder_.get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
    if (known && out_ && keepsWhatItIsGiven(out_.get())) {
      out_ = UniqueFd();
    } else if (known && out_) {
      const dev_t device = st.st_dev;
      out_ = UniqueFd();
      // Read by its name: some network file systems give a file another number under each
      // name it is reached by, so a regular file there on the same volume is the copy just
      // given that name.
      struct stat named {};
      if (::fstatat(folder_.get(), name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(named.st_mode) &&
          named.st_dev == device) {
        st = named;
      }
      if (toNs(st.st_mtim) != source_.mtimeNs) {
        const StampTimes stamp(source_.mtimeNs);
        if (::utimensat(folder_.get(), name.c_str(), stamp.times, AT_SYMLINK_NOFOLLOW) == 0 &&
            ::fstatat(folder_.get(), name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(named.st_mode)) {
          st = named;
        }
      }
    }
    committedFacts_ = known ? CopySource{S_ISLNK(st.st_mode), std::int64_t(st.st_size), toNs(st.st_mtim)} : CopySource{};
    if (!known) committedFacts_.size = -1;  // matches no source
    copyDevice_ = known ? st.st_dev : 0;
    copyInode_ = known ? st.st_ino : 0;
  }

  // Refuses a second commit or an unfinished copy; a long copy gave time to move its
  // folder away, so it only takes a name where the target folder still is.
  std::error_code readyToCommit() {
    if (committed_ || !finished_) return std::make_error_code(std::errc::invalid_argument);
    if (pieces_ > 1 && !folderStillInPlace()) {
      discard();
      return make_error_code(TreeError::FolderMoved);
    }
    return {};
  }

  // True when the entry `name` of the folder is the copy itself.
  bool holdsCopy(const std::string& name) const {
    struct stat st {};
    return copyInode_ != 0 && ::fstatat(folder_.get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
           st.st_dev == copyDevice_ && st.st_ino == copyInode_;
  }

  // Undoes an exchange whose old entry did not go to the trash: the old entry takes its
  // name back and the copy, now under the temporary name, is removed. Only the copy
  // itself is ever traded back or removed; when the name holds anything else, or the
  // exchange fails, the old entry stays under its temporary name (kept_).
  void putBack() {
    const std::string name = lastComponent(targetPath_);
    const std::string displaced = std::move(displaced_);
    displaced_.clear();
    struct stat st {};
    const bool nameTaken = ::fstatat(folder_.get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
    const bool back = nameTaken ? holdsCopy(name) && renameAt2(folder_.get(), displaced, folder_.get(), name,
                                                               RENAME_EXCHANGE) == 0
                                : renameAt2(folder_.get(), displaced, folder_.get(), name, RENAME_NOREPLACE) == 0;
    if (back) {
      if (holdsCopy(displaced)) ::unlinkat(folder_.get(), displaced.c_str(), 0);
      committed_ = false;
      return;
    }
    if (::fstatat(folder_.get(), displaced.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
      kept_ = joinPath(parentFolder(targetPath_), displaced);
    }
  }

  bool folderStillInPlace() const {
    std::error_code ec;
    const UniqueFd now(trees_.open(parentFolder(targetPath_), O_PATH | O_DIRECTORY, 0, ec));
    struct stat a {}, b {};
    return now && ::fstat(now.get(), &a) == 0 && ::fstat(folder_.get(), &b) == 0 && a.st_dev == b.st_dev &&
           a.st_ino == b.st_ino;
  }

  // The copy under a hidden name in the folder: the named temporary file, or a new link
  // to the unnamed one.
  std::error_code linkHidden(std::string& hidden) {
    if (!hiddenName_.empty()) {
      hidden = hiddenName_;
      return {};
    }
    std::error_code ec = std::make_error_code(std::errc::file_exists);
    for (int attempt = 0; attempt < 16 && ec == std::errc::file_exists; ++attempt) {
      hidden = temporaryName();
      ec = linkUnnamed(hidden);
    }
    return ec;
  }

  // The copy and the old entry trade names in one step; the old entry, whose hard link
  // is in the trash, then leaves its hidden name. An entry that took the name after it
  // was trashed goes to the trash itself.
  std::error_code exchangeWithOld(const std::string& name) {
    std::string hidden;
    if (auto ec = linkHidden(hidden)) return ec;
    if (renameAt2(folder_.get(), hidden, folder_.get(), name, RENAME_EXCHANGE) != 0) {
      const int error = errno;
      if (flagUnsupported(error)) {
        if (::renameat(folder_.get(), hidden.c_str(), folder_.get(), name.c_str()) == 0) {
          hiddenName_.clear();
          return {};
        }
      }
      const auto ec = lastError();
      if (hiddenName_.empty()) ::unlinkat(folder_.get(), hidden.c_str(), 0);
      return ec;
    }
    hiddenName_.clear();  // the hidden name now holds the old entry, never to be discarded blindly
    struct stat old {};
    if (::fstatat(folder_.get(), hidden.c_str(), &old, AT_SYMLINK_NOFOLLOW) != 0) return {};
    if (old.st_dev == oldDevice_ && old.st_ino == oldInode_ && !S_ISDIR(old.st_mode)) {
      ::unlinkat(folder_.get(), hidden.c_str(), 0);
      return {};
    }
    std::string original;
    struct stat trashed {};
    if (!recordedPathOf(trees_, targetPath_, original)) {
      trashEntryAt(trees_, folder_.get(), hidden, original, TrashAction::Move, trashed);  // else it stays, hidden
    }
    return {};
  }

  // Gives the copy its name in one step: the name holds the old entry or the complete
  // copy at every instant.
  std::error_code giveName(bool replaceExisting) {
    const std::string name = lastComponent(targetPath_);
    if (replaceExisting && linkedOld_) return exchangeWithOld(name);
    // Otherwise the name must be free (the old entry, if any, was moved to the trash):
    // nothing is ever overwritten that is not in the trash.
    if (hiddenName_.empty()) return linkUnnamed(name);
    if (renameAt2(folder_.get(), hiddenName_, folder_.get(), name, RENAME_NOREPLACE) == 0) {
      hiddenName_.clear();
      return {};
    }
    if (errno != EINVAL) return lastError();
    // No RENAME_NOREPLACE on this file system: a hard link cannot replace, then the
    // hidden name goes; where links are refused too, the name is tested first.
    if (::linkat(folder_.get(), hiddenName_.c_str(), folder_.get(), name.c_str(), 0) == 0) {
      ::unlinkat(folder_.get(), hiddenName_.c_str(), 0);
      hiddenName_.clear();
      return {};
    }
    if (errno == EEXIST) return lastError();
    struct stat st {};
    if (::fstatat(folder_.get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
      return std::make_error_code(std::errc::file_exists);
    }
    if (::renameat(folder_.get(), hiddenName_.c_str(), folder_.get(), name.c_str()) != 0) return lastError();
    hiddenName_.clear();
    return {};
  }

  void discard() {
    if (!hiddenName_.empty()) ::unlinkat(folder_.get(), hiddenName_.c_str(), 0);
    hiddenName_.clear();
    out_ = UniqueFd();
    in_ = UniqueFd();
  }

  const TreeAccess& trees_;
  std::shared_ptr<const UniqueFd> folderHandle_;  // the target folder, shared with later copies into it
  const UniqueFd& folder_;
  std::string targetPath_;
  CopySource source_;
  UniqueFd in_, out_;
  mode_t mode_ = 0;
  std::string hiddenName_;  // the copy's temporary name in the folder; empty for an unnamed file
  Method method_ = Method::Kernel;
  std::vector<char> buffer_;
  std::int64_t copied_ = 0;
  bool finished_ = false;
  bool committed_ = false;
  CopySource committedFacts_;
  int pieces_ = 0;
  bool linkedOld_ = false;  // the entry with the copy's name has a hard link in the trash
  dev_t oldDevice_ = 0;
  ino_t oldInode_ = 0;
  dev_t copyDevice_ = 0;  // the committed copy's identity, so only the copy is ever traded back
  ino_t copyInode_ = 0;
  std::string displaced_;  // the temporary name of the old entry the copy traded names with
  std::string kept_;       // where an old entry that went neither to the trash nor back stays
};

}  // namespace

std::unique_ptr<FileCopy> startFileCopy(const TreeAccess& trees, const std::string& source,
                                        std::shared_ptr<const UniqueFd> folder, const std::string& targetFolder,
                                        const std::string& name, bool allowUnnamed, std::error_code& ec) {
  UniqueFd in(trees.open(source, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY, 0, ec));
  struct stat st {};
  if (!in && isLinkError(ec)) ec = statAt(trees, source, st);
  if (ec) return nullptr;
  if (in && ::fstat(in.get(), &st) != 0) {
    ec = lastError();
    return nullptr;
  }
  const bool isLink = S_ISLNK(st.st_mode);
  if (!isLink && !S_ISREG(st.st_mode)) {
    ec = std::make_error_code(S_ISDIR(st.st_mode) ? std::errc::is_a_directory : std::errc::operation_not_supported);
    return nullptr;
  }
  auto copy = std::make_unique<PosixFileCopy>(trees, std::move(folder), joinPath(targetFolder, name),
                                              CopySource{isLink, std::int64_t(st.st_size), toNs(st.st_mtim)});
  if (isLink) {
    std::string target;
    ec = readLinkAt(trees, source, target);
    if (!ec) ec = copy->startLink(target);
  } else {
    ec = copy->startContent(std::move(in), st.st_mode, allowUnnamed);
  }
  if (ec) return nullptr;
  return copy;
}

}  // namespace vardell::posix
