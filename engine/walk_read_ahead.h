// What a walk will need next, read on a second thread: the listings of the folder it
// will enter next, and the contents of the next pairs of the folder it is in. While the
// walk writes the findings of one pair, the other core reads the next.
//
// The walk takes everything strictly in its own order and alone drives the window, the
// status lines and the run's counters; the thread only lists, opens, reads and compares.
// A reading or listing that does not match what the walk asks for is never used: the
// walk then lists or reads for itself, so what the user sees is the same either way.
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
  };
  // A folder the walk has listed and now walks.
  struct FolderPlan {
    std::string listedFolder;
    std::string counterpartFolder;  // empty when the walk lists one side only
    std::vector<Pair> pairs;        // in listing order
    // Subfolders the walk will enter, in order, and how it lists them; none when their
    // listings must not be read ahead (the pass changes the trees).
    std::vector<std::string> subfolders;
    ListingDetail detail = ListingDetail::Full;
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
  // Moves the listing of `folder` into `entries` when it was read ahead with `detail` and
  // could be read; false when the caller must list it itself.
  bool takeListing(const std::string& folder, ListingDetail detail, std::vector<DirEntry>& entries);

 private:
  enum JobState : std::uint8_t { Pending, Reading, Done, LeftToWalk };
  struct Job {
    Pair pair;
    std::atomic<std::uint8_t> state = Pending;
    bool usable = false;  // false when the files went past what a read-ahead reads
    PairReading reading;
  };
  struct Folder {
    FolderPlan plan;
    std::vector<Job> jobs;
    std::atomic<std::size_t> walkAt = 0;  // the job the walk takes next
    std::size_t threadAt = 0;             // the job the thread looks at next (its own)
    std::size_t nextSubfolder = 0;        // the first subfolder the walk has not entered
    std::atomic<bool> ending = false;     // the walk has left it: nothing more is read
  };
  // The listings of the folder the walk is predicted to enter next.
  struct NextListings {
    enum State { Empty, Listing, Ready } state = Empty;
    std::string paths[2];  // the listed side, then the counterpart (empty: not listed)
    ListingDetail detail = ListingDetail::Full;
    std::vector<DirEntry> entries[2];
    std::error_code errors[2];
    bool taken[2] = {};
    bool stale = false;  // the walk entered another folder while these were listed
  };
  // Buffers of kCompareChunkSize for one reader.
  struct Buffers {
    std::unique_ptr<char[]> listed = std::make_unique_for_overwrite<char[]>(kCompareChunkSize);
    std::unique_ptr<char[]> counterpart = std::make_unique_for_overwrite<char[]>(kCompareChunkSize);
  };

  void run();
  // With the mutex held: what the thread should do next, marked as taken on.
  bool claimListings();
  Folder* folderWithWork();
  // Lists the folder `next_` names, outside the mutex.
  void readListings();
  // Reads the folder's pending pairs within reach of the walk until none is left, the
  // folder ends, a folder inside it begins, or listings are wanted.
  void readFolder(Folder& folder);
  // The first pending job at or after `from` within reach of the walk, claimed for
  // reading; nullptr when there is none.
  static Job* claimWithinReach(Folder& folder, std::size_t from);
  static bool workWithinReach(const Folder& folder, std::size_t from);
  // Reads one claimed job and marks it done.
  void read(const Folder& folder, Job& job, Buffers& buffers);
  // Wakes the thread when it sleeps and has enough to do again.
  void wakeThread(std::size_t walkAt);
  // Notes that the walk lists `folder`: when it is a subfolder of the innermost folder,
  // the listings read ahead next are those of the folder after it (mutex held).
  void noteEntered(const std::string& folder);

  FileSystem& fs_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::vector<std::unique_ptr<Folder>> folders_;  // innermost last; changed by the walk only
  std::atomic<Folder*> innermost_ = nullptr;
  std::atomic<Folder*> threadIn_ = nullptr;  // the folder whose pairs the thread reads
  NextListings next_;                        // under the mutex, except while Listing
  std::atomic<bool> listingsWanted_ = false;  // the thread should list before reading on
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
