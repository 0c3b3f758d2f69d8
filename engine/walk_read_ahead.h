// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// What a walk will need next, read on a second thread: the listings of the next
// subfolders it will enter, and the contents of the next pairs of the folder it is in.
// While the walk writes the findings of one pair, the other core reads the next; while
// the walk lists one folder, the other core lists the next.
//
// The walk takes everything strictly in its own order and alone drives the window, the
// status lines and the run's counters; the thread only lists, opens, reads and compares.
// A reading or listing that does not match what the walk asks for, or a listing of the
// mirror that a change the Sync made since may have outdated, is never used: the walk then
// lists or reads for itself, so what the user sees is the same either way.
#pragma once

#include "engine/content_blocks.h"
#include "platform/dir_entry.h"
#include "platform/filesystem.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

namespace vardell {

// Files smaller than this are read ahead: one block holds them whole. Larger ones are
// read by the walk itself, block by block with progress between blocks.
inline constexpr std::int64_t kReadAheadFileLimit = 4 * std::int64_t(kCompareChunkSize);
// How many pairs may be read ahead of the walk: enough to keep both cores busy, few
// enough that an Abort leaves little reading to be thrown away.
inline constexpr std::size_t kReadAheadPairs = 64;
// How many subfolders may be listed ahead of the walk (their listings are held meanwhile).
inline constexpr std::size_t kReadAheadListings = 4;

// What reading a pair ahead found: the blocks the content test reads, in order.
struct PairReading {
  static constexpr int kMaxBlocks = 4;
  bool openFailed = false;
  int blockCount = 0;
  ContentBlock blocks[kMaxBlocks];
};

class WalkReadAhead {
 public:
  explicit WalkReadAhead(FileSystem& fs) : fs_(fs) {}
  ~WalkReadAhead();
  WalkReadAhead(const WalkReadAhead&) = delete;
  WalkReadAhead& operator=(const WalkReadAhead&) = delete;

  // False when the file system allows no second thread: nothing is read ahead.
  bool available() const { return fs_.readsFromAnotherThread(); }

  // A pair to read ahead: an entry of the folder's listing (which outlives the folder's
  // read-ahead) and the name of its counterpart file.
  struct Pair {
    const DirEntry* listed;
    std::string counterpartName;
    std::int64_t counterpartSize;
  };
  // A folder the walk has listed and now walks.
  struct FolderPlan {
    std::string listedFolder;
    std::string counterpartFolder;  // empty when the walk lists one side only
    std::vector<Pair> pairs;        // in listing order
    // Subfolders the walk will enter, in order, and how it lists them.
    std::vector<std::string> subfolders;
    ListingDetail detail = ListingDetail::Full;
    // Sides whose subfolder listings are not listed ahead: the walk holds them already, or
    // the counterpart folder is missing (the copy pass creates it, and its subfolders).
    bool skipListed = false;
    bool skipCounterpart = false;
  };

  // Starts reading ahead for a folder. Folders nest as the walk enters them; the
  // innermost one is served first.
  void beginFolder(FolderPlan plan);
  // Ends the innermost folder, once the thread has let go of it.
  void endFolder();

  // The reading of `listed` against `counterpart` in the innermost folder; nothing when
  // the caller must read the pair itself (not read ahead, a different counterpart, or a
  // file that outgrew its listing).
  std::optional<PairReading> takeReading(const DirEntry& listed, const DirEntry& counterpart);
  // Lists `folder` on the other thread while the walk lists another (the two roots of a
  // pass): taken with takeListing until dropAside.
  void listAside(const std::string& folder, ListingDetail detail);
  // Forgets the folder listed aside, once the thread has let go of it.
  void dropAside();
  // The walk has changed the entry at `path` (made, replaced, retimed or removed it, a
  // folder with all it held): a listing made ahead of the walk that the change may have
  // outdated (of that folder, a folder inside it, or the folder that holds the entry) is
  // not handed over, and the walk lists that folder again itself. A listing made after
  // the change is handed over.
  void noteChange(const std::string& path);

  // Moves the listing of `folder`, a subfolder (or its counterpart) of the innermost
  // folder, into `entries` when it was read ahead with `detail` and could be read; false
  // when the caller must list it itself.
  bool takeListing(const std::string& folder, ListingDetail detail, std::vector<DirEntry>& entries);

 private:
  enum JobState : std::uint8_t { Pending, Reading, Done, LeftToWalk };
  struct Job {
    Pair pair;
    std::atomic<std::uint8_t> state = Pending;
    bool usable = false;  // false when the files went past what a read-ahead reads
    PairReading reading;
  };
  // The listings of one subfolder: the listed side, then the counterpart (when listed).
  struct ListingJob {
    std::atomic<std::uint8_t> state = Pending;
    std::vector<DirEntry> entries[2];
    std::error_code errors[2];
    bool taken[2] = {};
    bool outdated[2] = {};  // made before a change of the walk's in it (the walk's own)
  };
  // One folder listed aside, on its own.
  struct AsideListing {
    std::atomic<std::uint8_t> state = Done;
    bool wanted = false;  // posted and not yet taken or dropped (the walk's own)
    std::string path;
    ListingDetail detail = ListingDetail::Full;
    std::vector<DirEntry> entries;
    std::error_code error;
    bool outdated = false;  // as in ListingJob
  };
  struct Folder {
    FolderPlan plan;
    std::vector<Job> jobs;
    std::vector<ListingJob> listings;  // one per plan.subfolders entry
    std::atomic<std::size_t> walkAt = 0;         // the pair the walk takes next
    std::atomic<std::size_t> listingsAt = 0;     // the subfolder the walk lists next
    std::size_t threadAt = 0;                    // the pair the thread looks at next (its own)
    std::atomic<bool> ending = false;            // the walk has left it: nothing more is read
  };
  // Buffers of kCompareChunkSize for one reader.
  struct Buffers {
    std::unique_ptr<char[]> listed = std::make_unique_for_overwrite<char[]>(kCompareChunkSize);
    std::unique_ptr<char[]> counterpart = std::make_unique_for_overwrite<char[]>(kCompareChunkSize);
  };

  void run();
  // Starts the thread unless it runs; false when no thread can be had.
  bool startThread();
  // The folder listed aside when it is `folder`, waiting while the thread lists it;
  // nullptr when it is another or the walk must list it itself.
  AsideListing* takeAside(const std::string& folder, ListingDetail detail);
  // The innermost folder when it has work within reach of the walk (mutex held).
  Folder* folderWithWork();
  // Lists and reads what the folder has within reach of the walk until nothing is left,
  // the folder ends or a folder inside it begins.
  void readFolder(Folder& folder);
  // Claims the first pending job in [from, from + reach) at or after the walk's place;
  // nullptr when there is none. `peek` looks without claiming.
  template <typename Jobs>
  static typename Jobs::value_type* claimWithinReach(Jobs& jobs, std::size_t walkAt, std::size_t from,
                                                     std::size_t reach, bool peek = false);
  Job* claimPair(Folder& folder, std::size_t from) {
    return claimWithinReach(folder.jobs, folder.walkAt, from, kReadAheadPairs);
  }
  ListingJob* claimListing(Folder& folder, std::size_t from) {
    return claimWithinReach(folder.listings, folder.listingsAt, from, kReadAheadListings);
  }
  // Does one claimed job and marks it done.
  void read(const Folder& folder, Job& job, Buffers& buffers);
  void list(const Folder& folder, ListingJob& job);
  // Waits for a job the thread is on, doing a later job of the folder meanwhile.
  void awaitDone(Folder& folder, const std::atomic<std::uint8_t>& state, std::size_t pairsFrom, std::size_t listingsFrom);
  // Wakes the thread when it sleeps and the walk's step was worth waking it for.
  void wakeThread(bool worthIt);

  FileSystem& fs_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::vector<std::unique_ptr<Folder>> folders_;  // innermost last; changed by the walk only
  std::atomic<Folder*> innermost_ = nullptr;
  std::atomic<Folder*> threadIn_ = nullptr;  // the folder the thread lists and reads in
  AsideListing aside_;
  std::atomic<bool> asleep_ = false;
  // The walk position from which the sleeping thread has enough to read again: waking it
  // for every single pair would cost more than the reading.
  std::atomic<std::size_t> wakeAt_ = 0;
  bool quit_ = false;
  std::thread thread_;  // started with the first folder
  Buffers threadBuffers_, walkBuffers_;
};

// A folder's read-ahead from construction to destruction (none when made empty).
class FolderReadAhead {
 public:
  FolderReadAhead() = default;
  FolderReadAhead(WalkReadAhead& readAhead, WalkReadAhead::FolderPlan plan) : readAhead_(&readAhead) {
    readAhead.beginFolder(std::move(plan));
  }
  ~FolderReadAhead() {
    if (readAhead_) readAhead_->endFolder();
  }
  FolderReadAhead(const FolderReadAhead&) = delete;
  FolderReadAhead& operator=(const FolderReadAhead&) = delete;

 private:
  WalkReadAhead* readAhead_ = nullptr;
};

}  // namespace vardell
