// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// The read-ahead thread of the walks and the walk's hand-over of what it read.
#include "engine/walk_read_ahead.h"

#include "engine/paths.h"

#include <algorithm>
#include <functional>

namespace vardell {
namespace {

// True when a change of the entry at `changed` may have changed the listing of `folder`:
// the folder itself, an entry inside it, or a folder around it.
bool changeReaches(const std::string& changed, const std::string& folder) {
  return changed == folder || isBelow(changed, folder) || isBelow(folder, changed);
}

}  // namespace

template <typename Jobs>
typename Jobs::value_type* WalkReadAhead::claimWithinReach(Jobs& jobs, std::size_t walkAt, std::size_t from,
                                                           std::size_t reach, bool peek) {
  const std::size_t end = std::min(jobs.size(), walkAt + reach);
  for (std::size_t i = std::max(from, walkAt); i < end; ++i) {
    std::uint8_t pending = Pending;
    if (peek ? jobs[i].state == Pending : jobs[i].state.compare_exchange_strong(pending, Reading)) return &jobs[i];
  }
  return nullptr;
}

WalkReadAhead::~WalkReadAhead() {
  {
    const std::lock_guard lock(mutex_);
    quit_ = true;
  }
  wake_.notify_one();
  if (thread_.joinable()) thread_.join();
}

void WalkReadAhead::beginFolder(FolderPlan plan) {
  auto folder = std::make_unique<Folder>();
  folder->jobs = std::vector<Job>(plan.pairs.size());
  for (std::size_t i = 0; i < plan.pairs.size(); ++i) folder->jobs[i].pair = std::move(plan.pairs[i]);
  folder->listings = std::vector<ListingJob>(plan.subfolders.size());
  folder->plan = std::move(plan);
  {
    const std::lock_guard lock(mutex_);
    innermost_ = folder.get();
    folders_.push_back(std::move(folder));
  }
  if (startThread()) wake_.notify_one();
}

bool WalkReadAhead::startThread() {
  if (thread_.joinable()) return true;
  try {
    thread_ = std::thread([this] { run(); });
  } catch (const std::system_error&) {
    return false;  // no second thread to be had: the walk lists and reads everything itself
  }
  return true;
}

void WalkReadAhead::listAside(const std::string& folder, ListingDetail detail) {
  dropAside();
  if (!startThread()) return;
  {
    const std::lock_guard lock(mutex_);
    aside_.path = folder;
    aside_.detail = detail;
    aside_.entries.clear();
    aside_.error.clear();
    aside_.outdated = false;
    aside_.wanted = true;
    aside_.state = Pending;
  }
  wake_.notify_one();
}

void WalkReadAhead::dropAside() {
  aside_.wanted = false;
  std::uint8_t pending = Pending;
  aside_.state.compare_exchange_strong(pending, LeftToWalk);
  while (aside_.state == Reading) std::this_thread::yield();
}

WalkReadAhead::AsideListing* WalkReadAhead::takeAside(const std::string& folder, ListingDetail detail) {
  if (!aside_.wanted || aside_.path != folder || aside_.detail != detail) return nullptr;
  aside_.wanted = false;
  std::uint8_t pending = Pending;
  if (aside_.state.compare_exchange_strong(pending, LeftToWalk)) return nullptr;  // quicker listed here
  while (aside_.state.load(std::memory_order_acquire) != Done) std::this_thread::yield();
  // A failure is listed again here, so it is reported as always.
  return aside_.error || aside_.outdated ? nullptr : &aside_;
}

void WalkReadAhead::endFolder() {
  Folder* const folder = folders_.back().get();
  {
    // Under the mutex, where the thread decides which folder to work in.
    const std::lock_guard lock(mutex_);
    folder->ending = true;
  }
  // The thread leaves the folder once the job it is on is done.
  while (threadIn_ == folder) std::this_thread::yield();
  {
    const std::lock_guard lock(mutex_);
    folders_.pop_back();
    innermost_ = folders_.empty() ? nullptr : folders_.back().get();
  }
  wake_.notify_one();  // the folder around it may have work left
}

bool WalkReadAhead::takeListing(const std::string& folder, ListingDetail detail, std::vector<DirEntry>& entries) {
  if (AsideListing* const aside = takeAside(folder, detail)) {
    entries = std::move(aside->entries);
    return true;
  }
  if (folders_.empty()) return false;
  Folder& parent = *folders_.back();
  const FolderPlan& plan = parent.plan;
  if (plan.subfolders.empty() || plan.detail != detail) return false;
  const std::string name = lastComponent(folder);
  int side = -1;
  if (folder == joinPath(plan.listedFolder, name)) {
    side = 0;
  } else if (!plan.counterpartFolder.empty() && folder == joinPath(plan.counterpartFolder, name)) {
    side = 1;
  } else {
    return false;
  }
  // The walk enters subfolders in listing order, so the one asked for is at or after its
  // place, and the first side listed is asked for first.
  const int firstSide = plan.skipListed ? 1 : 0;
  std::size_t at = parent.listingsAt;
  if (side != firstSide && at > 0 && plan.subfolders[at - 1] == name) --at;
  while (at < plan.subfolders.size() && plan.subfolders[at] != name) ++at;
  if (at == plan.subfolders.size()) return false;
  ListingJob& job = parent.listings[at];
  if (side == firstSide) {
    parent.listingsAt = at + 1;
    wakeThread(true);
    std::uint8_t pending = Pending;
    if (job.state.compare_exchange_strong(pending, LeftToWalk)) return false;  // quicker listed here
    awaitDone(parent, job.state, parent.walkAt, at + 1);
  } else if (job.state.load(std::memory_order_acquire) != Done) {
    return false;
  }
  if (job.taken[side]) return false;
  job.taken[side] = true;
  // Listed again here: a failure, so that it is reported as always, or a listing that a
  // change the walk made since may have outdated.
  if (job.errors[side] || job.outdated[side]) return false;
  entries = std::move(job.entries[side]);
  return true;
}

void WalkReadAhead::noteChange(const std::string& path) {
  // A listing still pending is made after the change; one that is not is outdated.
  if (aside_.wanted && aside_.state != Pending && changeReaches(path, aside_.path)) aside_.outdated = true;
  for (const auto& folder : folders_) {
    const FolderPlan& plan = folder->plan;
    const std::string* const sides[2] = {&plan.listedFolder, &plan.counterpartFolder};
    for (int side = 0; side < 2; ++side) {
      const std::string& parent = *sides[side];
      if (parent.empty() || !changeReaches(path, parent)) continue;
      // Listings are made only within the walk's reach, and none before the subfolder it
      // has entered is handed over (see takeListing).
      const std::size_t at = folder->listingsAt;
      const std::size_t end = std::min(plan.subfolders.size(), at + kReadAheadListings);
      for (std::size_t i = at > 0 ? at - 1 : 0; i < end; ++i) {
        ListingJob& job = folder->listings[i];
        if (job.state != Pending && changeReaches(path, joinPath(parent, plan.subfolders[i]))) {
          job.outdated[side] = true;
        }
      }
    }
  }
}

std::optional<PairReading> WalkReadAhead::takeReading(const DirEntry& listed, const DirEntry& counterpart) {
  if (folders_.empty()) return std::nullopt;
  Folder& folder = *folders_.back();
  // Jobs are in listing order, and so are the walk's requests; entries the walk passed
  // over (letter-case twins, for one) are skipped. An entry of another listing (of a
  // subfolder with nothing read ahead) is none of this folder's.
  const std::less<const DirEntry*> before;
  if (folder.jobs.empty() || before(&listed, folder.jobs.front().pair.listed) ||
      before(folder.jobs.back().pair.listed, &listed)) {
    return std::nullopt;
  }
  std::size_t at = folder.walkAt;
  while (at < folder.jobs.size() && before(folder.jobs[at].pair.listed, &listed)) ++at;
  if (at == folder.jobs.size() || folder.jobs[at].pair.listed != &listed) {
    folder.walkAt = at;
    return std::nullopt;
  }
  Job& job = folder.jobs[at];
  folder.walkAt = at + 1;
  wakeThread(at + 1 >= wakeAt_);
  std::uint8_t pending = Pending;
  if (job.state.compare_exchange_strong(pending, LeftToWalk)) return std::nullopt;  // quicker read here
  awaitDone(folder, job.state, at + 1, folder.listingsAt);
  if (!job.usable || job.pair.counterpartName != counterpart.Name) return std::nullopt;
  return job.reading;
}

void WalkReadAhead::awaitDone(Folder& folder, const std::atomic<std::uint8_t>& state, std::size_t pairsFrom,
                              std::size_t listingsFrom) {
  while (state.load(std::memory_order_acquire) != Done) {
    if (ListingJob* listing = claimListing(folder, listingsFrom)) {
      list(folder, *listing);
    } else if (Job* later = claimPair(folder, pairsFrom)) {
      read(folder, *later, walkBuffers_);
    } else {
      std::this_thread::yield();
    }
  }
}

void WalkReadAhead::wakeThread(bool worthIt) {
  if (worthIt && asleep_) {
    const std::lock_guard lock(mutex_);
    wake_.notify_one();
  }
}

WalkReadAhead::Folder* WalkReadAhead::folderWithWork() {
  Folder* const folder = innermost_;
  if (!folder || folder->ending) return nullptr;
  const bool listings = claimWithinReach(folder->listings, folder->listingsAt, 0, kReadAheadListings, true);
  const bool pairs = claimWithinReach(folder->jobs, folder->walkAt, folder->threadAt, kReadAheadPairs, true);
  return listings || pairs ? folder : nullptr;
}

void WalkReadAhead::run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    if (quit_) return;
    if (std::uint8_t pending = Pending; aside_.state.compare_exchange_strong(pending, Reading)) {
      lock.unlock();
      aside_.error = fs_.listFolder(aside_.path, aside_.entries, aside_.detail);
      aside_.state.store(Done, std::memory_order_release);
      lock.lock();
      continue;
    }
    if (Folder* const folder = folderWithWork()) {
      threadIn_ = folder;
      lock.unlock();
      readFolder(*folder);
      threadIn_ = nullptr;
      lock.lock();
      continue;
    }
    // Announced before looking again, so a walk that moves on meanwhile wakes us: at once
    // when it lists a folder, after half the reach of pairs otherwise.
    if (Folder* const innermost = innermost_) wakeAt_ = innermost->walkAt + kReadAheadPairs / 2;
    asleep_ = true;
    if (!folderWithWork() && aside_.state != Pending) wake_.wait(lock);
    asleep_ = false;
  }
}

void WalkReadAhead::readFolder(Folder& folder) {
  while (!folder.ending && innermost_ == &folder) {
    // Listings first: the walk needs the next folder's as soon as it is done with this one.
    if (ListingJob* const listing = claimListing(folder, 0)) {
      list(folder, *listing);
      continue;
    }
    Job* const job = claimPair(folder, folder.threadAt);
    if (!job) return;
    folder.threadAt = std::size_t(job - folder.jobs.data()) + 1;
    read(folder, *job, threadBuffers_);
  }
}

void WalkReadAhead::list(const Folder& folder, ListingJob& job) {
  const FolderPlan& plan = folder.plan;
  const std::string& name = plan.subfolders[std::size_t(&job - folder.listings.data())];
  if (plan.skipListed) {
    job.taken[0] = true;
  } else {
    job.errors[0] = fs_.listFolder(joinPath(plan.listedFolder, name), job.entries[0], plan.detail);
  }
  if (plan.counterpartFolder.empty() || plan.skipCounterpart) {
    job.taken[1] = true;
  } else {
    job.errors[1] = fs_.listFolder(joinPath(plan.counterpartFolder, name), job.entries[1], plan.detail);
  }
  job.state.store(Done, std::memory_order_release);
}

void WalkReadAhead::read(const Folder& folder, Job& job, Buffers& buffers) {
  PairReading& reading = job.reading;
  job.usable = true;
  std::error_code ec;
  const DirEntry& listed = *job.pair.listed;
  const auto listedFile = fs_.openListedFile(joinPath(folder.plan.listedFolder, listed.Name), listed.Size, ec);
  const auto counterpartFile =
      listedFile ? fs_.openListedFile(joinPath(folder.plan.counterpartFolder, job.pair.counterpartName),
                                      job.pair.counterpartSize, ec)
                 : nullptr;
  if (!listedFile || !counterpartFile) {
    reading.openFailed = true;
  } else {
    // Blocks are read as the walk reads them, but never up to kReadAheadFileLimit: a block
    // that reaches it belongs to a file that grew since it was listed, which the walk
    // reads itself with progress between its blocks.
    ContentBlock block;
    while (readsOnAfter(block) && job.usable) {
      block = readAndCompareBlock(*listedFile, *counterpartFile, buffers.listed.get(), buffers.counterpart.get(),
                                  kReadAheadFileLimit);
      job.usable = block.listedCount < kReadAheadFileLimit && reading.blockCount < PairReading::kMaxBlocks;
      if (job.usable) reading.blocks[reading.blockCount++] = block;
    }
  }
  job.state.store(Done, std::memory_order_release);
}

}  // namespace vardell
