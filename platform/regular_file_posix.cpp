// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// Reading a regular file whole on POSIX: opened without following a link and without
// waiting for a writer (a pipe would block the open), then asked what it is before a byte
// is read.
#include "platform/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <limits>

namespace vardell {
namespace {

std::error_code lastError() { return {errno, std::generic_category()}; }

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);  // opened for reading only: a failed close loses nothing
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

std::error_code readUpTo(int fd, std::size_t most, std::string& bytes) {
  char buffer[65536];
  while (bytes.size() < most) {
    const ssize_t n = ::read(fd, buffer, std::min(sizeof buffer, most - bytes.size()));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return lastError();
    if (n == 0) break;
    bytes.append(buffer, std::size_t(n));
  }
  return {};
}

}  // namespace

std::error_code readRegularFile(const std::string& path, std::size_t limit, std::string& bytes) {
  bytes.clear();
  const FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC));
  if (fd.get() < 0) {
    // A socket cannot be opened at all; it is no regular file either.
    if (errno == ENXIO) return std::make_error_code(std::errc::operation_not_supported);
    return lastError();
  }
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0) return lastError();
  if (S_ISDIR(st.st_mode)) return std::make_error_code(std::errc::is_a_directory);
  if (!S_ISREG(st.st_mode)) return std::make_error_code(std::errc::operation_not_supported);
  if (st.st_size < 0 || std::uintmax_t(st.st_size) > limit) return std::make_error_code(std::errc::file_too_large);
  // The size can grow while the file is read: the byte past the limit tells.
  const std::size_t most = limit == std::numeric_limits<std::size_t>::max() ? limit : limit + 1;
  bytes.reserve(std::size_t(st.st_size));
  std::error_code ec = readUpTo(fd.get(), most, bytes);
  if (!ec && bytes.size() > limit) ec = std::make_error_code(std::errc::file_too_large);
  if (ec) bytes.clear();
  return ec;
}

}  // namespace vardell
