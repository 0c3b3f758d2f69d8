// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// The Compare and Sync commands, from the folder pair to the verdict.
#include "engine/paths.h"
#include "engine/run_texts.h"
#include "engine/sync_engine.h"
#include "engine/version.h"

#include <cstdio>
#include <ctime>

namespace vardell {
namespace {

// Keeps the file system confined to a run's two folder trees while it lives.
class TreesEntered {
 public:
  explicit TreesEntered(FileSystem& fs) : fs_(fs) {}
  ~TreesEntered() { fs_.leaveTrees(); }
  TreesEntered(const TreesEntered&) = delete;
  TreesEntered& operator=(const TreesEntered&) = delete;

 private:
  FileSystem& fs_;
};

}  // namespace

std::int64_t SyncEngine::FolderSize(const std::string& folder) {
  std::vector<DirEntry> entries;
  if (listForWalk(folder, entries, ListingDetail::Full)) {
    const bool mirrorSide = state_.ReversePass || state_.RemovalPass;
    LogStatus(unpairedFolderKeyword(mirrorSide) + folder, Colour::Maroon, true);
    return 0;
  }
  const FolderReadAhead readAhead = readAheadOf(folder, "", entries, nullptr, ListingDetail::Full);
  std::int64_t total = 0;
  for (const DirEntry& entry : entries) {
    if (state_.AbortRequested) break;
    window_.processEvents();
    // A copy of its own: the nested measurement moves CurrentPath on.
    const std::string path = joinPath(folder, entry.Name);
    state_.CurrentPath = path;
    window_.processEvents();
    if (entry.isDotEntry()) continue;
    if (entry.isFolder()) {
      if (window_.includeSubfolders()) total += FolderSize(path);
    } else {
      total += entry.Size;
    }
  }
  keptListings_.keep(folder, std::move(entries));
  return total;
}

std::string SyncEngine::checkPairAndLockMirror(const std::string& master, const std::string& mirror) {
  runLock_.reset();
  std::string refusal = checks_.checkFolderPair(master, mirror);
  if (refusal.empty()) runLock_ = checks_.lockMirror(mirror, refusal);
  return refusal;
}

bool SyncEngine::refuseSystemVolume(const std::string& mirror) {
  if (!window_.protectSystemVolume() || !fs_.isOnSystemVolume(mirror)) return false;
  report_.outcome = RunOutcome::Refused;
  report_.refusal = "The mirror folder " + mirror + " is on the protected system volume /";
  returnWindowToIdle();
  window_.requestQuit();  // nothing is written, and the program ends
  return true;
}

std::string SyncEngine::cannotOpenFolders(const std::string& master, const std::string& mirror,
                                          const std::error_code& ec) {
  if (ec == TreeError::RootIsLink) {
    return "The mirror folder " + mirror + " is a symbolic link, not the folder the run would create";
  }
  if (ec == std::errc::invalid_argument) {
    return master.empty() || master[0] != '/' ? "The master folder \"" + master + "\" is not a full path"
                                              : "The mirror folder \"" + mirror + "\" is not a full path";
  }
  return "Cannot open the folders " + master + " and " + mirror + ": " + describeError(ec);
}

void SyncEngine::refuseRun(const std::string& reason) {
  LogStatus(reason, Colour::Red, true);
  returnWindowToIdle();
  report_.outcome = RunOutcome::Refused;
  report_.refusal = reason;
}

void SyncEngine::refuseBeforeStart(const std::string& reason) {
  if (!beginRun()) return;
  refuseRun(reason);
}

void SyncEngine::returnWindowToIdle() {
  window_.resetCaptions();
  window_.setCaptionTimer(false);
  window_.enableForm();
  window_.setOverallProgress(0);
  state_.RunIdle = true;
}

void SyncEngine::writeVerdict(const char* text, Colour colour, RunOutcome outcome) {
  LogStatus(text, colour, true);
  report_.outcome = outcome;
}

bool SyncEngine::beginRun() {
  if (!state_.RunIdle) return false;
  report_ = {};
  failedActions_ = 0;
  keptListings_.clear();
  state_.RunIdle = false;
  state_.AbortRequested = false;
  state_.DiskFull = false;
  state_.MirrorGone = false;
  mirrorFoldsCase_ = false;
  mirrorRoot_.clear();
  runLogPath_.clear();
  runLogNote_.clear();
  log_.clear();
  return true;
}

void SyncEngine::writeHeader() {
  state_.StartTime = std::chrono::system_clock::now();
  const std::time_t now = std::chrono::system_clock::to_time_t(state_.StartTime);
  LogStatus(HeaderDateText(*std::localtime(&now), setup_.locale), Colour::Purple, true);
  if (!runLogNote_.empty()) LogStatus(runLogNote_, Colour::Maroon, true);
}

void SyncEngine::measureMasterKeepingListings(const std::string& master, const std::string& mirror) {
  if (window_.compareType() == CompareType::SizeAndTime) return;
  // Both passes after it start with the mirror root, which is listed once for both, on
  // the other core while this one measures.
  const bool mirrorThere = fs_.folderExists(mirror);
  if (mirrorThere && readAhead_.available()) readAhead_.listAside(mirror, ListingDetail::Full);
  keptListings_.startTree(master);
  measureMaster(master);
  std::vector<DirEntry> mirrorRoot;
  if (mirrorThere && !state_.AbortRequested &&
      (readAhead_.takeListing(mirror, ListingDetail::Full, mirrorRoot) ||
       !fs_.listFolder(mirror, mirrorRoot, ListingDetail::Full))) {
    keptListings_.keep(mirror, std::move(mirrorRoot));
  }
  readAhead_.dropAside();
  keptListings_.finishTree(!state_.AbortRequested);
}

void SyncEngine::measureMaster(const std::string& master) {
  if (window_.compareType() == CompareType::SizeAndTime) return;
  LogStatus("Calculating folder size: ", Colour::Navy, false);
  state_.TotalBytes = FolderSize(master);
  state_.BytesDone = 0;
  LogStatus(FormatSizeText(state_.TotalBytes, setup_.locale), Colour::Green, true);
}

void SyncEngine::writeFolderPairLine(const char* opening, const std::string& first, const char* between,
                                     Colour betweenColour, const std::string& second) {
  LogStatus(opening, Colour::Navy, false);
  LogStatus(first, Colour::Black, false);
  LogStatus(between, betweenColour, false);
  LogStatus(second, Colour::Black, true);
}

void SyncEngine::writeElapsedTime() {
  state_.EndTime = std::chrono::system_clock::now();
  LogStatus("Elapsed Time:  " + ElapsedTimeText(state_.EndTime - state_.StartTime), Colour::Purple, true);
}

void SyncEngine::CompareBtnClick() {
  if (!beginRun()) return;
  state_.ReversePass = state_.RemovalPass = state_.CopyPass = false;
  window_.disableForm();
  const std::string masterShown = window_.masterFolder();
  const std::string mirrorShown = window_.mirrorFolder();
  log_.clear();
  window_.setCaptionTimer(true);
  const std::string master = withoutTrailingSeparator(masterShown);
  const std::string mirror = withoutTrailingSeparator(mirrorShown);
  // The folders are opened once, here; every test below and the whole run use them.
  if (const auto ec = fs_.enterTrees({{master, mirror}, {}})) {
    return refuseRun(cannotOpenFolders(master, mirror, ec));
  }
  const TreesEntered trees(fs_);
  mirrorRoot_ = mirror;
  if (std::string refusal = checkPairAndLockMirror(master, mirror); !refusal.empty()) return refuseRun(refusal);
  const CompareType savedType = window_.compareType();
  if (openRunLog(runLogFileName(mirror))) {
    const std::string reason = runLogNote_;
    window_.showMessage(MessageKind::Error, kApplicationTitle, reason);
    runLock_.reset();
    return refuseRun(reason);
  }
  writeHeader();
  measureMasterKeepingListings(master, mirror);
  writeFolderPairLine("Comparing ", masterShown, " to ", Colour::Navy, mirrorShown);

  window_.setCompareType(CompareType::SizeAndTime);
  state_.ReversePass = true;
  const bool mirrorOnlyNone = WalkFolderPair(mirror, master);
  state_.ReversePass = false;
  window_.setCompareType(savedType);
  const bool masterSideEqual = WalkFolderPair(master, mirror);

  if (mirrorOnlyNone && masterSideEqual && !state_.AbortRequested) {
    writeVerdict("Folders match", Colour::Green, RunOutcome::FoldersMatch);
  } else if (mirrorOnlyNone && masterSideEqual) {
    writeVerdict("Compare aborted", Colour::Red, RunOutcome::CompareAborted);
  } else {
    writeVerdict("Folders do not match", Colour::Red, RunOutcome::FoldersDiffer);
  }
  writeElapsedTime();
  returnWindowToIdle();
  if (const auto ec = log_.closeRunLog()) {
    window_.showMessage(MessageKind::Error, kApplicationTitle,
                        "Cannot write the run log " + runLogPath_ + ": " + describeError(ec));
  }
  runLock_.reset();
  keptListings_.clear();
  report_.failedActions = failedActions_;
}

NameAnswer SyncEngine::answerFolderNames(const std::string& mirrorShown) {
  if (setup_.commandLine.has('R')) return NameAnswer::NoAnswerContinue;
  return window_.askFolderNames(mirrorShown);
}

void SyncEngine::ReplicateBtnClick() {
  if (!beginRun()) return;
  state_.FilesCopied = 0;
  state_.FilesRemoved = 0;
  state_.ReversePass = false;
  window_.disableForm();
  std::string masterShown = window_.masterFolder();
  std::string mirrorShown = window_.mirrorFolder();
  log_.clear();

  const std::string master = withoutTrailingSeparator(masterShown);
  std::string mirror = withoutTrailingSeparator(mirrorShown);
  // Asked again of the folder opened below; refused here before any question is asked.
  if (refuseSystemVolume(mirror)) return;
  const std::string masterName = folderNameOf(master, fs_.isVolumeRoot(master) ? fs_.volumeOf(master).tag : "");
  const std::string mirrorName = folderNameOf(mirror, fs_.isVolumeRoot(mirror) ? fs_.volumeOf(mirror).tag : "");
  bool createMirror = false;
  if (masterName != mirrorName) {
    const NameAnswer answer = answerFolderNames(mirrorShown);
    if (answer == NameAnswer::Cancel) {
      window_.enableForm();
      state_.RunIdle = true;  // a cancelled question must not keep batch runs from starting
      report_.outcome = RunOutcome::Cancelled;
      return;
    }
    if (answer == NameAnswer::CreateFolderThenContinue) {
      // Every test below runs on the folder the run will use, before it is created.
      mirror = joinPath(mirror, masterName);
      createMirror = true;
    }
  }
  // The folders are opened once, here; every test below and the whole run use them. The
  // folder the run creates is never a link found under its name.
  if (const auto ec = fs_.enterTrees({{master, mirror}, createMirror ? mirror : std::string()})) {
    return refuseRun(cannotOpenFolders(master, mirror, ec));
  }
  const TreesEntered trees(fs_);
  mirrorRoot_ = mirror;
  if (refuseSystemVolume(mirror)) return;
  std::string refusal;
  FileIdentity masterId;
  if (fs_.identifyEntry(master, masterId) || !masterId.folder) refusal = "The master folder " + master + " does not exist";
  if (refusal.empty()) refusal = checkPairAndLockMirror(master, mirror);
  state_.RemoveUnpaired = !setup_.commandLine.has('N');
  if (refusal.empty() && state_.RemoveUnpaired && !checks_.folderHasEntries(master) &&
      checks_.folderHasEntries(mirror) && !window_.confirmEmptyMasterRemoval(master, checks_.countEntries(mirror))) {
    refusal = "The master folder " + master + " is empty: nothing is removed from the mirror folder " + mirror;
  }
  if (refusal.empty() && createMirror && !fs_.folderExists(mirror)) {
    if (const auto ec = fs_.createFolder(mirror)) refusal = "Cannot create folder " + mirror + ": " + describeError(ec);
  }
  if (!refusal.empty()) {
    runLock_.reset();
    return refuseRun(refusal);
  }
  if (createMirror) {
    window_.setMirrorFolder(mirror);
    mirrorShown = window_.mirrorFolder();
  }
  rememberMasterVolume();

  window_.setCaptionTimer(true);
  const CompareType savedType = window_.compareType();
  openRunLog(runLogFileName(mirror));  // without it the window still shows every line, the header why
  writeHeader();
  measureMaster(master);

  // A volume that folds letter case holds one entry for all master names that fold together.
  mirrorFoldsCase_ = fs_.foldsLetterCase(mirror);
  bool removalResult = true;
  if (state_.RemoveUnpaired) {
    state_.RemovalPass = true;
    window_.setCompareType(CompareType::SizeAndTime);
    writeFolderPairLine("Removing files in ", mirrorShown, " that don't exist in ", Colour::Navy, masterShown);
    removalResult = WalkFolderPair(mirror, master);
    state_.RemovalPass = false;
    window_.refreshMirrorFolder();
  }
  state_.CopyPass = true;
  window_.setCompareType(savedType);
  writeFolderPairLine("Sync folder ", masterShown, " ---> ", Colour::Green, mirrorShown);
  const bool copyResult = !state_.MirrorGone && WalkFolderPair(master, mirror);

  if (!copyResult || !removalResult) writeSummary(mirror);
  if (state_.DiskFull) {
    LogStatus("Disk full", Colour::Red, true);
    noteFailedAction();
  }
  flushMirror(mirror);
  if (failedActions_ > 0) LogStatus("Failed actions: " + std::to_string(failedActions_), Colour::Red, true);
  if (state_.AbortRequested || state_.MirrorGone) {
    writeVerdict("Replication aborted", Colour::Red, RunOutcome::SyncAborted);
  } else {
    // A dry run completes nothing: its last word says so instead.
    writeVerdict(setup_.dryRun ? kDryRunVerdict : "Replication completed", Colour::Green, RunOutcome::SyncCompleted);
  }
  if (setup_.dryRun && report_.outcome == RunOutcome::SyncAborted) LogStatus(kDryRunVerdict, Colour::Green, true);
  writeElapsedTime();
  state_.CopyPass = false;
  window_.refreshMirrorFolder();
  log_.closeRunLog();  // a Sync's lines are all in the window; a log failure is not reported
  returnWindowToIdle();
  runLock_.reset();
  report_.failedActions = failedActions_;
  // With P too, the Compare of the same tick runs to its end first; the batch ends the
  // program after it.
  if (setup_.commandLine.has('Q') && !setup_.commandLine.has('P')) {
    window_.removeTrayIcon();
    window_.requestQuit();
  }
}

void SyncEngine::flushMirror(const std::string& mirror) {
  if (state_.MirrorGone) return;
  // "Completed" means on the disk: a stick pulled out after the verdict keeps the run.
  if (const auto ec = fs_.flushWrites(mirror)) {
    if (!noteVolumeGone(ec)) LogStatus("Cannot flush the mirror volume: " + describeError(ec), Colour::Red, true);
    noteFailedAction();
  }
}

void SyncEngine::writeSummary(const std::string& mirror) {
  LogStatus("Modified ", Colour::Maroon, false);
  LogStatus(mirror, Colour::Black, true);
  if (state_.FilesCopied > 0) {
    LogStatus("Files Copied: ", Colour::Olive, false);
    LogStatus(std::to_string(state_.FilesCopied), Colour::Black, true);
  }
  if (state_.FilesRemoved > 0) {
    LogStatus("Files Removed: ", Colour::Olive, false);
    LogStatus(std::to_string(state_.FilesRemoved), Colour::Black, true);
  }
}

}  // namespace vardell
