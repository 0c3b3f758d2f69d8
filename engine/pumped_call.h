// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// Reads and copies of large files run on a helper thread while the window's thread handles
// its events, so the window answers Abort, paints and animates every few tens of
// milliseconds even on a volume that reads 10 MB a second. The helper only reads, compares
// and copies; the run's state, the window and the status log stay with the window's thread.
#pragma once

#include "engine/run_window.h"
#include "platform/filesystem.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <system_error>
#include <thread>

namespace vardell {

// How often the window handles its events while a call runs on the helper thread.
inline constexpr std::chrono::milliseconds kPumpedCallInterval{20};
// Files from this size on are read or copied on the helper thread. A smaller one takes less
// than 100 ms on slow media, and handing it over would cost more than its reading.
inline constexpr std::int64_t kPumpedCallMinimumSize = 512 * 1024;

class PumpedCall {
 public:
  // What runs on the helper thread: it reads and writes files, nothing else.
  using Call = std::function<void()>;

  explicit PumpedCall(RunWindow& window) : window_(window) {}
  ~PumpedCall();
  PumpedCall(const PumpedCall&) = delete;
  PumpedCall& operator=(const PumpedCall&) = delete;

  // Runs `call` on the helper thread and lets the window handle its events every
  // kPumpedCallInterval until it has returned. Where no helper thread can be had, or a
  // call is already running (an event handled meanwhile started another), it runs here.
  void run(const Call& call);

 private:
  bool startThread();
  void serve();

  RunWindow& window_;
  std::mutex mutex_;
  std::condition_variable wake_;
  const Call* job_ = nullptr;  // handed to the helper, taken by it
  bool done_ = false;          // the helper has returned from the job
  bool quit_ = false;
  bool busy_ = false;          // a call is running (window's thread only)
  std::thread thread_;
};

// Copies the next piece of `copy` (FileCopy::copyPiece) through `pumped` when the file is
// large enough to keep the window waiting.
std::error_code copyPieceWhilePumping(PumpedCall& pumped, FileCopy& copy, bool& finished);

}  // namespace vardell
