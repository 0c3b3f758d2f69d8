// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// Exclusive locks on POSIX: flock, released by the system when the process ends.
#include "platform/posix_services.h"

#include <sys/file.h>
#include <unistd.h>

namespace vardell::posix {
namespace {

class FlockHolder final : public HeldLock {
 public:
  explicit FlockHolder(UniqueFd fd) : fd_(std::move(fd)) {}

 private:
  UniqueFd fd_;
};

}  // namespace

std::unique_ptr<HeldLock> lockHandle(int fd, std::error_code& ec) {
  ec.clear();
  if (fd < 0) {
    ec = lastError();
    return nullptr;
  }
  UniqueFd handle(fd);
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ec = errno == EWOULDBLOCK ? std::make_error_code(std::errc::resource_unavailable_try_again) : lastError();
    return nullptr;
  }
  return std::make_unique<FlockHolder>(std::move(handle));
}

}  // namespace vardell::posix
