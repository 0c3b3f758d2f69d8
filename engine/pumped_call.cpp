// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// The helper thread of large reads and copies, and the window's events meanwhile.
#include "engine/pumped_call.h"

namespace vardell {

PumpedCall::~PumpedCall() {
  if (!thread_.joinable()) return;
  {
    const std::lock_guard lock(mutex_);
    quit_ = true;
  }
  wake_.notify_all();
  thread_.join();
}

bool PumpedCall::startThread() {
  if (thread_.joinable()) return true;
  try {
    thread_ = std::thread([this] { serve(); });
  } catch (const std::system_error&) {
    return false;
  }
  return true;
}

void PumpedCall::run(const Call& call) {
  if (busy_ || !startThread()) {
    call();
    return;
  }
  busy_ = true;
  std::unique_lock lock(mutex_);
  job_ = &call;
  done_ = false;
  wake_.notify_all();
  while (!wake_.wait_for(lock, kPumpedCallInterval, [this] { return done_; })) {
    lock.unlock();
    window_.processEvents();
    lock.lock();
  }
  busy_ = false;
}

void PumpedCall::serve() {
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return quit_ || job_ != nullptr; });
    if (quit_) return;
    const Call* job = job_;
    job_ = nullptr;
    lock.unlock();
    (*job)();
    lock.lock();
    done_ = true;
    wake_.notify_all();
  }
}

std::error_code copyPieceWhilePumping(PumpedCall& pumped, FileCopy& copy, bool& finished) {
  if (copy.source().size < kPumpedCallMinimumSize) return copy.copyPiece(finished);
  std::error_code ec;
  pumped.run([&] { ec = copy.copyPiece(finished); });
  return ec;
}

}  // namespace vardell
