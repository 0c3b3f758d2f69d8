// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// The synchronisation engine: the Compare and Sync commands, the paired walk they run,
// the file comparison, the copy and trash family and the removal of mirror-only folders.
// One engine serves one window (the main window, the terminal front end or a test).
#pragma once

#include "engine/content_test.h"
#include "engine/counterpart_index.h"
#include "engine/engine_setup.h"
#include "engine/folder_pair_checks.h"
#include "engine/kept_listings.h"
#include "engine/run_report.h"
#include "engine/run_state.h"
#include "engine/run_window.h"
#include "engine/status_log.h"
#include "engine/walk_read_ahead.h"
#include "platform/dir_entry.h"
#include "platform/filesystem.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace vardell {

class SyncEngine final : public RunControl {
 public:
  // With setup.dryRun the engine works on fs only through a dry-run view of it (see
  // makeDryRunFileSystem), so no run of this engine changes anything.
  SyncEngine(FileSystem& fs, RunWindow& window, EngineSetup setup);

  void requestAbort() override { state_.AbortRequested = true; }
  const std::string& currentPath() const override { return state_.CurrentPath; }
  const std::string& fileProgressText() const override { return state_.FileProgressText; }
  bool runIdle() const override { return state_.RunIdle; }

  RunState& state() { return state_; }
  const RunReport& lastRun() const { return report_; }

  // The Compare command: reports mirror-only entries, then master-only entries and
  // differing files, then the verdict. Changes nothing but the run log. Like the Sync
  // command, it does nothing when started while a run is going on.
  void CompareBtnClick();
  // The Sync command: removes mirror-only entries to the trash, then copies missing and
  // differing master files. Refuses to start on an unsafe folder pair.
  void ReplicateBtnClick();
  // A run that the window does not start (a folder it shows is no longer there): the
  // reason as a red line, and the run counted as refused, as a refused command would be.
  void refuseBeforeStart(const std::string& reason);
  // The bytes below a folder (subfolders only when the window includes them).
  std::int64_t FolderSize(const std::string& folder);

  // Writes a status fragment (see StatusLog::LogStatus).
  void LogStatus(std::string_view text, Colour colour, bool lineEnd) { log_.LogStatus(text, colour, lineEnd); }
  StatusLog& statusLog() { return log_; }

  // The run log's file name for a mirror folder: named after the mirror volume's tag and
  // the mirror folder's name (the tag again for a volume root).
  std::string runLogFileName(const std::string& mirror);
  // Opens the run log `fileName`, replacing an earlier run's, in the first run log folder
  // that lies outside both trees of the run. When every one lies inside them the run goes
  // on without a log (a log inside a tree would be part of the run it records): nothing
  // fails, and the header is followed by a line that says why.
  std::error_code openRunLog(const std::string& fileName);
  // The full path of the run log the last run opened; empty when it had none.
  const std::string& runLogPath() const { return runLogPath_; }
  // The folders run logs go to, best first.
  const std::vector<std::string>& runLogFolders() const { return setup_.runLogFolders; }

  // Makes a file writable so it can be replaced or removed; false when refused.
  bool ResetAttributes(const std::string& path);

  // Whether a paired file counts as equal under the window's compare type. Writes one
  // mismatch line when it does not, and drives both progress bars while reading.
  bool CompareFiles(const std::string& listedFolder, const std::string& counterpartFolder, const DirEntry& listed,
                    const DirEntry& counterpart);

  // Makes mirrorFolder/<entry name> a copy of masterFolder/<entry name>, the old mirror
  // file going to the trash, with its status lines. Counts FilesCopied only when the
  // mirror file is really there with the master's size and time afterwards, and returns
  // whether it is. A failure is one red line with its reason; the copy is never made twice.
  bool CopyAFile(const std::string& masterFolder, const std::string& mirrorFolder, const DirEntry& masterEntry);
  // Copies a file into a folder under its own name: the copy is made as a temporary file
  // in that folder, then an existing file of that name goes to the trash, then the copy
  // takes the name. Does nothing (not_found) when no file is at source. Reports failures through
  // the window, except a full disk, which the caller reports.
  std::error_code ShellCopyFile(const std::string& source, const std::string& destinationFolder);
  // Moves one file to the trash. False when no file (or a folder) is at path; otherwise
  // true on success, and after a reported failure whether the file is still there.
  bool RecycleFile(const std::string& path);
  // Removes a mirror-only folder: files to the trash, folders deepest first, sparing
  // folders named by an exclusion text and stopping when the master folder has vanished.
  void RemoveFolderTree(const std::string& folder);

  // Walks the listed folder against the counterpart folder in the pass the RunState
  // flags name. True when everything was paired and equal (an abort may end it true).
  bool WalkFolderPair(const std::string& listedFolder, const std::string& counterpartFolder);

  // Remembers the master folder's volume, so a removal can tell when it has gone.
  void rememberMasterVolume();
  // True when the master folder is gone, or no longer on the volume it was on.
  bool masterFolderVanished();
  // The safety stop when the master has vanished: the program is asked to quit, and the
  // first stop of a run writes a red line and counts as a failure.
  void stopRemovalForVanishedMaster();
  // A folder that is one of the two trees reached another way: a red line, a failure.
  void reportOtherTree(const std::string& folder);

 private:
  // Starts a run; false when one is already going on (a command started again through
  // pumped events).
  bool beginRun();
  void writeHeader();
  // The "Calculating folder size" line and the master's size for the progress bars.
  void measureMaster(const std::string& master);
  // The same for Compare, keeping the master's listings and the mirror root's for the
  // two passes after it.
  void measureMasterKeepingListings(const std::string& master, const std::string& mirror);
  void writeElapsedTime();
  // The opening line of a run or pass: navy opening text, the first folder, the text
  // between in its colour, the second folder ending the line.
  void writeFolderPairLine(const char* opening, const std::string& first, const char* between, Colour betweenColour,
                           const std::string& second);
  void writeSummary(const std::string& mirror);
  // Refuses a Sync whose mirror lies on the protected system volume, whatever path
  // reaches it; true when it did.
  bool refuseSystemVolume(const std::string& mirror);
  // Ends a run that may not start: a red line, the window idle again.
  void refuseRun(const std::string& reason);
  // Why the run's folders could not be opened, for its refusal.
  static std::string cannotOpenFolders(const std::string& master, const std::string& mirror, const std::error_code& ec);
  // Captions reset, controls enabled, the overall bar at 0, RunIdle set.
  void returnWindowToIdle();
  void writeVerdict(const char* text, Colour colour, RunOutcome outcome);
  // The folder-pair test and the per-mirror lock, taken for this run; the refusal or empty.
  std::string checkPairAndLockMirror(const std::string& master, const std::string& mirror);
  NameAnswer answerFolderNames(const std::string& mirrorShown);

  // WalkFolderPair with the folders' own entries from their parents' listings (nullptr
  // for the two roots), which the copy pass needs for the folder's time and mode.
  bool walkFolderPair(const std::string& listedFolder, const std::string& counterpartFolder,
                      const DirEntry* listedSelf, const DirEntry* counterpartSelf);
  // Copy pass, once a folder's content is done: the mirror folder gets the master
  // folder's last-write time and permission bits when it was changed or they differ, so
  // the mirror's folders look like the master's (deepest first, nothing moves them later).
  void matchFolderTimeAndMode(const std::string& masterFolder, const std::string& mirrorFolder,
                              const DirEntry* masterSelf, const DirEntry* mirrorSelf, bool changed);
  enum class CounterpartState { Listed, Missing, Unreadable };
  // Lists the counterpart folder and pairs the listed folder's entries with it; reports a
  // folder that exists but cannot be read.
  CounterpartState listCounterpart(const std::string& folder, const std::vector<DirEntry>& listed,
                                   CounterpartIndex& index);
  // Creates a missing mirror folder in the copy pass; reports a failure.
  bool createCounterpartFolder(const std::string& folder);
  // The texts of a mirror file's removal: the walk's and the folder removal's differ.
  struct RemovalLines {
    const char* removed;    // the keyword of the line naming a removed file
    Colour removedColour;
    Colour refusedColour;   // of "The file could not be moved to the recycle bin"
  };
  static constexpr RemovalLines kWalkRemovalLines{"Removed ", Colour::Green, Colour::Red};
  static constexpr RemovalLines kFolderRemovalLines{"Removing ", Colour::Blue, Colour::Maroon};
  // Moves a mirror file to the trash with its status line; counts it in FilesRemoved only
  // when it is really gone. False (nothing removed) when the master folder has vanished.
  bool trashMirrorFile(const std::string& path, const RemovalLines& lines);
  // Copy pass: a mirror folder stands where the master has a file or link. The folder goes
  // to the trash through the folder removal, then the file is copied; nothing is copied
  // when the removal spared anything.
  void replaceFolderWithFile(const std::string& masterFolder, const std::string& mirrorFolder, const DirEntry& entry,
                             const DirEntry& partner);
  // True when the two paths name one and the same entry (as on a file system that
  // ignores letter case).
  bool sameEntry(const std::string& a, const std::string& b);
  // Copy pass: replaces a mirror file that differs from its master file.
  void replaceDifferingFile(const std::string& masterFolder, const std::string& mirrorFolder, const DirEntry& entry,
                            const DirEntry& partner);
  // True when the current pass compares the contents of paired files.
  bool readsContents() const;
  // Lists a folder for a walk, taking the listing Compare kept or the read-ahead made when
  // there is one.
  std::error_code listForWalk(const std::string& folder, std::vector<DirEntry>& entries, ListingDetail detail);
  // The read-ahead of a folder being walked, listed as `listed`: the contents of its pairs
  // when the pass compares contents, the listings of the subfolders the walk will enter
  // when the pass changes nothing. `counterpart` is null when the counterpart is missing;
  // `counterpartFolder` is empty for a walk that lists one side (the folder size).
  FolderReadAhead readAheadOf(const std::string& listedFolder, const std::string& counterpartFolder,
                              const std::vector<DirEntry>& listed, const CounterpartIndex* counterpart,
                              ListingDetail detail);
  // What the current pass needs its listings to hold.
  ListingDetail listingDetail() const;
  // True when an exclusion text occurs in the folder's path.
  bool excludedByCommandLine(const std::string& folder) const;
  void noteFailedAction() { ++failedActions_; }

  // Copies into a folder through a temporary name; an old file of that name is replaced
  // without a gap (see replaceWithCopy).
  std::error_code copyIntoFolder(const std::string& source, const std::string& folder);
  // Copies every piece, reporting progress and pumping events between pieces of a long
  // copy; operation_canceled when Abort was asked for.
  std::error_code copyAllPieces(FileCopy& copy);
  // Gives a finished copy the name an existing entry holds: the old file is trashed
  // restorably and the copy renamed over it; otherwise the copy is left uncommitted.
  std::error_code replaceWithCopy(FileCopy& copy);
  // True when the last copy went through and what took the target's name has the size,
  // kind and time its source had when it was copied.
  bool copyIsComplete();
  // Why the last copy, which went through, does not count as complete.
  std::string whyCopyDiffers() const;
  // Copy pass: a mirror file with the master's bytes whose time alone differs gets the
  // master's time in place instead of a second copy; a time the volume does not keep is
  // one red line and a failed action. False when the pair is no such case.
  bool setTimeInPlace(const std::string& masterFolder, const std::string& mirrorFolder, const DirEntry& entry,
                      const DirEntry& partner);
  // Flushes the mirror's file system and the trash's to the device before the verdict; a
  // failure is a red line and a failed action.
  void flushMirror(const std::string& mirror);
  // Raises the mirror-gone flag, with its one red line, for an error that says the mirror's
  // file system has gone away; true when it was one.
  bool noteVolumeGone(const std::error_code& ec);
  // Raises the disk-full flag for an out-of-space error; true when it was one.
  bool noteDiskFull(const std::error_code& ec);

  // In a dry run, the file system the engine sees: made first, since fs_ is bound to it.
  std::unique_ptr<FileSystem> dryRunFs_;
  FileSystem& fs_;
  RunWindow& window_;
  EngineSetup setup_;
  RunState state_;
  StatusLog log_;
  WalkReadAhead readAhead_{fs_};
  KeptListings keptListings_;  // Compare's master listings, from the folder size on
  PumpedCall pumped_{window_};
  ContentTest content_{fs_, readAhead_, pumped_, window_, state_};
  FolderPairChecks checks_{fs_};
  std::optional<std::uint64_t> masterDevice_;  // the master folder's volume when the run started
  std::optional<std::uint64_t> masterInode_;   // and the master folder itself on it
  std::string vanishedMasterFolder_;  // the master folder whose vanishing stopped removal
  CopySource lastCopied_;  // the latest copy's source, as it was when copied
  std::optional<CopySource> lastCommitted_;  // what took the target's name, when the latest copy did
  int failedActions_ = 0;  // copies, removals and listings of this run that could not be done
  int mirrorChanges_ = 0;  // entries the run created, replaced or removed in the mirror
  RunReport report_;
  std::unique_ptr<HeldLock> runLock_;  // this run's hold on its mirror folder
  std::string runLogPath_;
  std::string runLogNote_;  // why this run writes no log, shown after the header
  bool mirrorFoldsCase_ = false;  // the Sync's mirror volume holds one name of each letter case
  std::string mirrorRoot_;        // the running command's mirror folder
};

}  // namespace vardell
