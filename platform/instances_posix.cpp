// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// Instance numbers over lock files in the runtime folder. Every file is reached by name
// beneath the folder's handle and opened without following a link, so nothing placed in
// the folder can make the program open, create or remove anything outside it.
#include "platform/instances.h"

#include "platform/posix_services.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vardell {

struct InstanceLocks::Folder {
  posix::UniqueFd fd;
};

namespace {

std::error_code heldError() { return std::make_error_code(std::errc::resource_unavailable_try_again); }

// A lock file is removed by whoever gives it up, so the file a claim opened may lose its
// name before the claim locks it; the claim then starts over with the file now named.
// Only someone removing and recreating the file again and again, faster than a claim,
// runs out of attempts, and the number then counts as held.
constexpr int kLockAttempts = 8;

// The folder as open() should see it: without trailing "/", which would make the kernel
// follow a link in the folder's place despite O_NOFOLLOW.
std::string withoutTrailingSlash(std::string folder) {
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}

bool sameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// True when `name` in the folder is, right now, the file `locked` describes.
bool stillNamed(int folder, const std::string& name, const struct stat& locked) {
  struct stat now {};
  return ::fstatat(folder, name.c_str(), &now, AT_SYMLINK_NOFOLLOW) == 0 && sameFile(now, locked);
}

// Opens the lock file `name` beneath `folder`, creating it when `create` is set. Gives
// no_such_file_or_directory when it is missing and not created, heldError() when the name
// belongs to something that is not a lock file of this user (a link, a folder, a FIFO, a
// socket, a device, a file someone else owns or has linked elsewhere), else the open error.
std::error_code openLockFile(int folder, const std::string& name, bool create, posix::UniqueFd& file,
                             struct stat& st) {
  // O_NONBLOCK: a FIFO put in the file's place must not stop the program in open().
  // O_NOCTTY: nor may a terminal device become the program's controlling terminal.
  const int flags = O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | (create ? O_CREAT : 0);
  file = posix::UniqueFd(::openat(folder, name.c_str(), flags, 0600));
  if (!file) {
    switch (errno) {
      case ELOOP:        // a link
      case EISDIR:       // a folder
      case ENXIO:        // a socket
      case EWOULDBLOCK:  // a file under a lease
      case ETXTBSY:
        return heldError();
      default:
        return posix::lastError();
    }
  }
  if (::fstat(file.get(), &st) != 0) return posix::lastError();
  // A file of another user, or one with a second name elsewhere, was not made here as a lock
  // file; it is neither locked nor removed.
  if (!S_ISREG(st.st_mode) || st.st_uid != ::geteuid() || st.st_nlink > 1) {
    file = posix::UniqueFd();
    return heldError();
  }
  return {};
}

// Locks the lock file open at `file`; heldError() when another handle holds it.
std::error_code lockFile(const posix::UniqueFd& file) {
  if (::flock(file.get(), LOCK_EX | LOCK_NB) == 0) return {};
  return errno == EWOULDBLOCK ? heldError() : posix::lastError();
}

// A claimed number: the locked file, removed when the number is given up.
class InstanceLockFile final : public HeldLock {
 public:
  InstanceLockFile(std::shared_ptr<const posix::UniqueFd> folder, std::string name, posix::UniqueFd file,
                   const struct stat& st)
      : folder_(std::move(folder)), name_(std::move(name)), file_(std::move(file)), st_(st) {}

  ~InstanceLockFile() override {
    // The name goes while the lock is still held: whoever opened the file meanwhile finds,
    // once it gets the lock, that the name no longer leads to it, and starts over instead
    // of holding the number beside the next claimer. Whatever else has taken the name is
    // not ours to remove.
    if (stillNamed(folder_->get(), name_, st_)) ::unlinkat(folder_->get(), name_.c_str(), 0);
  }  // file_ closes after this, which releases the lock

 private:
  std::shared_ptr<const posix::UniqueFd> folder_;
  std::string name_;
  posix::UniqueFd file_;
  struct stat st_;
};

}  // namespace

InstanceLocks::InstanceLocks(std::string folder) : folder_(std::move(folder)) {}

const InstanceLocks::Folder* InstanceLocks::openFolder(std::error_code& ec) const {
  // Opened at first use rather than here: the caller may set the locks up before it makes
  // the folder.
  if (!handle_) {
    const std::string path = withoutTrailingSlash(folder_);
    posix::UniqueFd fd(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd) {
      ec = posix::lastError();
      return nullptr;
    }
    handle_ = std::make_shared<const Folder>(Folder{std::move(fd)});
  }
  return handle_.get();
}

bool InstanceLocks::isHeld(int n) const {
  std::error_code ec;
  const Folder* open = openFolder(ec);
  if (!open) return true;
  const int folder = open->fd.get();
  const std::string name = lockName(n);
  for (int attempt = 0; attempt < kLockAttempts; ++attempt) {
    posix::UniqueFd file;
    struct stat st {};
    if ((ec = openLockFile(folder, name, false, file, st))) return ec != std::errc::no_such_file_or_directory;
    if (lockFile(file)) return true;
    // Locked here, so no process holds it. If it still has its name it is a killed holder's
    // leftover: removed while locked, which a claimer that opened it meanwhile notices.
    // If it lost its name, whatever has the name now is looked at again.
    if (stillNamed(folder, name, st)) {
      ::unlinkat(folder, name.c_str(), 0);
      return false;
    }
  }
  return true;
}

std::unique_ptr<HeldLock> InstanceLocks::claim(int n, std::error_code& ec) const {
  ec.clear();
  const Folder* open = openFolder(ec);
  if (!open) return nullptr;
  const int folder = open->fd.get();
  const std::string name = lockName(n);
  for (int attempt = 0; attempt < kLockAttempts; ++attempt) {
    posix::UniqueFd file;
    struct stat st {};
    if ((ec = openLockFile(folder, name, true, file, st))) return nullptr;
    if ((ec = lockFile(file))) return nullptr;
    // A lock on a file that has lost its name holds nothing: the number's file is whatever
    // has the name now, and the next claimer would lock that one.
    if (stillNamed(folder, name, st)) {
      return std::make_unique<InstanceLockFile>(std::shared_ptr<const posix::UniqueFd>(handle_, &handle_->fd), name,
                                                std::move(file), st);
    }
  }
  ec = heldError();
  return nullptr;
}

}  // namespace vardell
