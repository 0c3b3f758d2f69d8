// The read-ahead thread of the walks and the walk's hand-over of what it read.
#include "engine/walk_read_ahead.h"

#include "engine/paths.h"

#include <algorithm>
#include <functional>

namespace vardell {

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
  folder->plan = std::move(plan);
  {
    const std::lock_guard lock(mutex_);
    // What was listed ahead since this folder's own listings were taken belongs to a
    // folder after it, while the walk enters this folder's subfolders first.
    if (!folder->plan.subfolders.empty()) {
      if (next_.state == NextListings::Ready) next_ = NextListings{};
      if (next_.state == NextListings::Listing) next_.stale = true;
    }
    innermost_ = folder.get();
    folders_.push_back(std::move(folder));
    listingsWanted_ = next_.state == NextListings::Empty;
  }
  if (!thread_.joinable()) {
    try {
      thread_ = std::thread([this] { run(); });
    } catch (const std::system_error&) {
      return;  // no second thread to be had: the walk lists and reads everything itself
    }
  }
  wake_.notify_one();
}

void WalkReadAhead::noteEntered(const std::string& folder) {
  if (folders_.empty()) return;
  Folder& parent = *folders_.back();
  const auto& names = parent.plan.subfolders;
  const std::string name = lastComponent(folder);
  if (folder != joinPath(parent.plan.listedFolder, name) &&
      (parent.plan.counterpartFolder.empty() || folder != joinPath(parent.plan.counterpartFolder, name))) {
    return;
  }
  const auto entered = std::find(names.begin() + std::ptrdiff_t(parent.nextSubfolder), names.end(), name);
  if (entered != names.end()) parent.nextSubfolder = std::size_t(entered - names.begin()) + 1;
}

void WalkReadAhead::endFolder() {
  Folder* const folder = folders_.back().get();
  {
    // Under the mutex, where the thread decides which folder to read in.
    const std::lock_guard lock(mutex_);
    folder->ending = true;
  }
  // The thread leaves the folder once the pair it is reading is done.
  while (threadIn_ == folder) std::this_thread::yield();
  {
    const std::lock_guard lock(mutex_);
    folders_.pop_back();
    innermost_ = folders_.empty() ? nullptr : folders_.back().get();
    // The walk is over: nothing listed for it may be taken by a later walk.
    if (folders_.empty() && next_.state == NextListings::Ready) next_ = NextListings{};
    if (folders_.empty() && next_.state == NextListings::Listing) next_.stale = true;
  }
  wake_.notify_one();  // the folder around it may have pairs left to read
}

bool WalkReadAhead::takeListing(const std::string& folder, ListingDetail detail, std::vector<DirEntry>& entries) {
  std::unique_lock lock(mutex_);
  const auto side = [&]() -> int {
    if (next_.state == NextListings::Empty || next_.detail != detail) return -1;
    for (int i = 0; i < 2; ++i) {
      if (!next_.taken[i] && !next_.paths[i].empty() && next_.paths[i] == folder) return i;
    }
    return -1;
  };
  int i = side();
  // Being listed now: waiting costs less than listing it a second time.
  while (i >= 0 && next_.state == NextListings::Listing) {
    lock.unlock();
    std::this_thread::yield();
    lock.lock();
    i = side();
  }
  noteEntered(folder);
  if (i < 0) return false;
  next_.taken[i] = true;
  const bool listed = !next_.errors[i];
  if (listed) entries = std::move(next_.entries[i]);
  if (next_.taken[0] && next_.taken[1]) {
    next_ = NextListings{};  // on to the folder after this one
    listingsWanted_ = true;
    lock.unlock();
    wake_.notify_one();
  }
  return listed;  // a failure is listed again here, so it is reported as always
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
  wakeThread(at + 1);
  std::uint8_t pending = Pending;
  if (job.state.compare_exchange_strong(pending, LeftToWalk)) return std::nullopt;  // quicker read here
  // The thread is on it: read a later pair meanwhile rather than wait idle.
  while (job.state.load(std::memory_order_acquire) != Done) {
    if (Job* later = claimWithinReach(folder, at + 1)) {
      read(folder, *later, walkBuffers_);
    } else {
      std::this_thread::yield();
    }
  }
  if (!job.usable || job.pair.counterpartName != counterpart.Name) return std::nullopt;
  return job.reading;
}

void WalkReadAhead::wakeThread(std::size_t walkAt) {
  if (asleep_ && walkAt >= wakeAt_) {
    const std::lock_guard lock(mutex_);
    wake_.notify_one();
  }
}

bool WalkReadAhead::workWithinReach(const Folder& folder, std::size_t from) {
  const std::size_t walkAt = folder.walkAt;
  const std::size_t end = std::min(folder.jobs.size(), walkAt + kReadAheadPairs);
  for (std::size_t i = std::max(from, walkAt); i < end; ++i) {
    if (folder.jobs[i].state == Pending) return true;
  }
  return false;
}

WalkReadAhead::Job* WalkReadAhead::claimWithinReach(Folder& folder, std::size_t from) {
  const std::size_t walkAt = folder.walkAt;
  const std::size_t end = std::min(folder.jobs.size(), walkAt + kReadAheadPairs);
  for (std::size_t i = std::max(from, walkAt); i < end; ++i) {
    std::uint8_t pending = Pending;
    if (folder.jobs[i].state.compare_exchange_strong(pending, Reading)) return &folder.jobs[i];
  }
  return nullptr;
}

bool WalkReadAhead::claimListings() {
  listingsWanted_ = false;
  if (next_.state != NextListings::Empty) return false;
  // The walk enters the next subfolder of the innermost folder that has one left.
  for (auto frame = folders_.rbegin(); frame != folders_.rend(); ++frame) {
    const Folder& folder = **frame;
    const FolderPlan& plan = folder.plan;
    if (folder.nextSubfolder >= plan.subfolders.size()) continue;
    const std::string& name = plan.subfolders[folder.nextSubfolder];
    next_.paths[0] = joinPath(plan.listedFolder, name);
    next_.paths[1] = plan.counterpartFolder.empty() ? std::string() : joinPath(plan.counterpartFolder, name);
    next_.taken[1] = next_.paths[1].empty();
    next_.detail = plan.detail;
    next_.state = NextListings::Listing;
    return true;
  }
  return false;
}

WalkReadAhead::Folder* WalkReadAhead::folderWithWork() {
  Folder* const folder = innermost_;
  if (!folder || folder->ending || !workWithinReach(*folder, folder->threadAt)) return nullptr;
  return folder;
}

void WalkReadAhead::readListings() {
  for (int i = 0; i < 2; ++i) {
    if (!next_.paths[i].empty()) next_.errors[i] = fs_.listFolder(next_.paths[i], next_.entries[i], next_.detail);
  }
}

void WalkReadAhead::run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    if (quit_) return;
    if (claimListings()) {
      // The walk leaves the slot alone while it is Listing, so it is read unlocked.
      lock.unlock();
      readListings();
      lock.lock();
      if (next_.stale) {
        next_ = NextListings{};  // the walk went elsewhere meanwhile
      } else {
        next_.state = NextListings::Ready;
      }
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
    // Announced before looking again, so a walk that moves on meanwhile wakes us.
    if (Folder* const innermost = innermost_) wakeAt_ = innermost->walkAt + kReadAheadPairs / 2;
    asleep_ = true;
    if (!listingsWanted_ && !folderWithWork()) wake_.wait(lock);
    asleep_ = false;
  }
}

void WalkReadAhead::readFolder(Folder& folder) {
  while (!folder.ending && innermost_ == &folder && !listingsWanted_) {
    Job* const job = claimWithinReach(folder, folder.threadAt);
    if (!job) return;
    folder.threadAt = std::size_t(job - folder.jobs.data()) + 1;
    read(folder, *job, threadBuffers_);
  }
}

void WalkReadAhead::read(const Folder& folder, Job& job, Buffers& buffers) {
  PairReading& reading = job.reading;
  job.usable = true;
  std::error_code ec;
  const auto listedFile = fs_.openForReading(joinPath(folder.plan.listedFolder, job.pair.listed->Name), ec);
  const auto counterpartFile =
      listedFile ? fs_.openForReading(joinPath(folder.plan.counterpartFolder, job.pair.counterpartName), ec) : nullptr;
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
