// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// The paired folder walk behind all four passes: reverse and forward (Compare),
// removal and copy (Sync).
#include "engine/counterpart_index.h"
#include "engine/paths.h"
#include "engine/sync_engine.h"

namespace vardell {
namespace {

std::string withSeparator(const std::string& folder) { return folder == "/" ? folder : folder + "/"; }

// True when a neighbour in the sorted listing has the same name with A-Z folded: master
// entries (files, folders or one of each) that one mirror folder cannot hold apart.
bool sharesFoldedName(const std::vector<DirEntry>& listing, std::size_t i) {
  const auto sameFolded = [&](std::size_t j) { return compareFolded(listing[i].Name, listing[j].Name) == 0; };
  return (i > 0 && sameFolded(i - 1)) || (i + 1 < listing.size() && sameFolded(i + 1));
}

// True when an entry before it in the sorted listing has the same folded name: only the
// first of such master entries is mirrored.
bool followsFoldedTwin(const std::vector<DirEntry>& listing, std::size_t i) {
  return i > 0 && compareFolded(listing[i].Name, listing[i - 1].Name) == 0;
}

}  // namespace

ListingDetail SyncEngine::listingDetail() const {
  // Passes that list the mirror compare no pairs, so they need no sizes or times.
  return state_.ReversePass || state_.RemovalPass ? ListingDetail::NamesAndKinds : ListingDetail::Full;
}

bool SyncEngine::readsContents() const {
  const CompareType type = window_.compareType();
  return !state_.ReversePass && !state_.RemovalPass && (type == CompareType::Binary || type == CompareType::AllOfTheAbove);
}

std::error_code SyncEngine::listForWalk(const std::string& folder, std::vector<DirEntry>& entries,
                                        ListingDetail detail) {
  // The reverse pass reads a kept master listing; the forward pass, its last user, takes it.
  if (state_.ReversePass ? keptListings_.copyTo(folder, entries) : keptListings_.moveTo(folder, entries)) return {};
  if (readAhead_.takeListing(folder, detail, entries)) return {};
  return fs_.listFolder(folder, entries, detail);
}

FolderReadAhead SyncEngine::readAheadOf(const std::string& listedFolder, const std::string& counterpartFolder,
                                        const std::vector<DirEntry>& listed, const CounterpartIndex* counterpart,
                                        ListingDetail detail) {
  if (!readAhead_.available()) return {};
  WalkReadAhead::FolderPlan plan;
  const bool oneSided = counterpartFolder.empty();
  plan.listedFolder = listedFolder;
  plan.counterpartFolder = counterpartFolder;
  plan.detail = detail;
  // A missing counterpart folder is created by the copy pass, which then enters the
  // subfolders; their counterparts are missing too, so only the master side is listed ahead.
  plan.skipListed = keptListings_.holds(listedFolder);
  plan.skipCounterpart = !oneSided && (!counterpart || keptListings_.holds(counterpartFolder));
  // In the passes that change the mirror, a listing made ahead is handed over only when
  // nothing the walk changed since reaches it (see WalkReadAhead::noteChange).
  // A missing mirror folder of the run itself is made as a tree root, which resets the
  // trees' state that every listing reads: nothing is listed ahead until it exists.
  const bool makesTheMirrorRoot = !counterpart && !oneSided && counterpartFolder == mirrorRoot_;
  const bool entersSubfolders = window_.includeSubfolders() && !excludedByCommandLine(listedFolder) &&
                                (counterpart || oneSided || (state_.CopyPass && !makesTheMirrorRoot));
  if (entersSubfolders) {
    for (const DirEntry& entry : listed) {
      if (entry.isFolder() && !entry.isDotEntry()) plan.subfolders.push_back(entry.Name);
    }
  }
  if (counterpart && readsContents()) {
    for (std::size_t i = 0; i < listed.size(); ++i) {
      const DirEntry& entry = listed[i];
      if (entry.Kind != EntryKind::File || entry.Size >= kReadAheadFileLimit) continue;
      const DirEntry* partner = counterpart->partnerOf(i);
      if (partner && partner->Kind == EntryKind::File && partner->Size < kReadAheadFileLimit) {
        plan.pairs.push_back({&entry, partner->Name, partner->Size});
      }
    }
  }
  if (plan.pairs.empty() && plan.subfolders.empty()) return {};
  return FolderReadAhead(readAhead_, std::move(plan));
}

bool SyncEngine::excludedByCommandLine(const std::string& folder) const {
  for (const auto& exclusion : setup_.commandLine.exclusions) {
    if (occursIn(exclusion, folder)) return true;
  }
  return false;
}

bool SyncEngine::WalkFolderPair(const std::string& listedFolder, const std::string& counterpartFolder) {
  // The counterpart root is listed on the other core while this one lists the first: in a
  // tree of one big folder that is half the listing. Not for a root that is not there (the
  // file system settles its handle on this thread).
  const bool listAside = readAhead_.available() && !keptListings_.holds(listedFolder) &&
                         !keptListings_.holds(counterpartFolder) &&
                         fs_.folderExists(counterpartFolder);
  if (listAside) readAhead_.listAside(counterpartFolder, listingDetail());
  const bool equal = walkFolderPair(listedFolder, counterpartFolder, nullptr, nullptr);
  if (listAside) readAhead_.dropAside();
  return equal;
}

bool SyncEngine::walkFolderPair(const std::string& listedFolder, const std::string& counterpartFolder,
                                const DirEntry* listedSelf, const DirEntry* counterpartSelf) {
  if (state_.DiskFull || state_.MirrorGone) return false;
  const int mirrorChangesBefore = mirrorChanges_;
  const bool mirrorListed = state_.ReversePass || state_.RemovalPass;
  const char* const unpairedFolder = unpairedFolderKeyword(mirrorListed);
  const char* const unpairedFile = mirrorListed ? "Unpaired mirror file " : "Unpaired master file ";

  std::vector<DirEntry> listed;
  if (const auto ec = listForWalk(listedFolder, listed, listingDetail())) {
    if (mirrorListed && noteVolumeGone(ec)) return false;
    if (ec == TreeError::OtherTree) {
      reportOtherTree(listedFolder);
      return false;
    }
    LogStatus(unpairedFolder + listedFolder, Colour::Maroon, true);
    if (ec != std::errc::no_such_file_or_directory) noteFailedAction();  // a missing folder is a finding, not a failure
    return false;
  }
  CounterpartIndex counterpart;
  const CounterpartState found = listCounterpart(counterpartFolder, listed, counterpart);
  if (found == CounterpartState::Unreadable) return false;
  bool result = true;
  bool counterpartMissing = found == CounterpartState::Missing;
  const FolderReadAhead readAhead = readAheadOf(listedFolder, counterpartFolder, listed,
                                               counterpartMissing ? nullptr : &counterpart, listingDetail());

  for (std::size_t i = 0; i < listed.size() && !state_.AbortRequested && !state_.MirrorGone; ++i) {
    window_.processEvents();
    if (counterpartMissing) {
      result = false;
      LogStatus(unpairedFolder, Colour::Olive, false);
      LogStatus(withSeparator(listedFolder), Colour::Grey, true);
      if (!state_.CopyPass) {
        if (state_.RemovalPass) {
          RemoveFolderTree(listedFolder);
          readAhead_.noteChange(listedFolder);
          window_.processEvents();
        }
        break;
      }
      if (excludedByCommandLine(listedFolder)) break;
      const bool created = createCounterpartFolder(counterpartFolder);
      readAhead_.noteChange(counterpartFolder);
      if (!created) break;
      counterpart.clear();
      counterpartMissing = false;
      --i;  // the same entry again, against the new empty folder
      continue;
    }
    const DirEntry& entry = listed[i];
    const std::string path = joinPath(listedFolder, entry.Name);
    state_.CurrentPath = path;
    window_.processEvents();
    if (entry.isDotEntry()) continue;
    if (entry.isFolder() && !window_.includeSubfolders()) continue;
    const bool foldedNamesClash = !window_.caseSensitiveNames() || mirrorFoldsCase_;
    if (foldedNamesClash && !mirrorListed && sharesFoldedName(listed, i)) {
      LogStatus("Names differ only in letter case ", Colour::Maroon, false);
      LogStatus(path, Colour::Black, true);
      // One mirror folder holds only the first of them: the others never replace or trash
      // what it has, or every Sync would put one in place of the other. Compare goes on
      // and reports them as it reports any entry.
      if (followsFoldedTwin(listed, i)) {
        result = false;
        if (state_.CopyPass) {
          noteFailedAction();
          continue;
        }
      }
    }
    const DirEntry* partner = counterpart.partnerOf(i);
    if (entry.isFolder()) {
      if (excludedByCommandLine(listedFolder)) {
        result = false;
        continue;
      }
      // A folder paired by its folded name is entered under the counterpart's own name,
      // which a Sync leaves as it is. A mirror file or link paired with it goes, as one of
      // the folder's own name would.
      const bool pairedFolder = partner && partner->isFolder();
      if (state_.CopyPass && partner && !pairedFolder && partner->Name != entry.Name &&
          !(mirrorFoldsCase_ && compareFolded(partner->Name, entry.Name) == 0)) {
        trashMirrorFile(joinPath(counterpartFolder, partner->Name), kWalkRemovalLines);
        readAhead_.noteChange(joinPath(counterpartFolder, partner->Name));
      }
      const std::string counterpartPath = joinPath(counterpartFolder, pairedFolder ? partner->Name : entry.Name);
      if (!walkFolderPair(path, counterpartPath, &entry, pairedFolder ? partner : nullptr)) result = false;
      continue;
    }
    if (!partner) {
      result = false;
      LogStatus(unpairedFile, Colour::Olive, false);
      LogStatus(path, Colour::Grey, true);
      if (state_.RemovalPass && state_.RemoveUnpaired) {
        const bool goesOn = trashMirrorFile(path, kWalkRemovalLines);
        readAhead_.noteChange(path);
        if (!goesOn) return false;
      }
      if (state_.CopyPass) {
        CopyAFile(listedFolder, counterpartFolder, entry);
        readAhead_.noteChange(joinPath(counterpartFolder, entry.Name));
      }
      continue;
    }
    if (CompareFiles(listedFolder, counterpartFolder, entry, *partner)) continue;
    result = false;
    if (!state_.CopyPass) continue;
    const bool timeSet = setTimeInPlace(listedFolder, counterpartFolder, entry, *partner);
    if (!timeSet && !state_.AbortRequested) replaceDifferingFile(listedFolder, counterpartFolder, entry, *partner);
    readAhead_.noteChange(joinPath(counterpartFolder, entry.Name));
    readAhead_.noteChange(joinPath(counterpartFolder, partner->Name));
  }
  if (state_.CopyPass && !counterpartMissing && !state_.AbortRequested && !state_.DiskFull) {
    matchFolderTimeAndMode(listedFolder, counterpartFolder, listedSelf, counterpartSelf,
                           mirrorChanges_ != mirrorChangesBefore);
    readAhead_.noteChange(counterpartFolder);
  }
  return result;
}

void SyncEngine::matchFolderTimeAndMode(const std::string& masterFolder, const std::string& mirrorFolder,
                                        const DirEntry* masterSelf, const DirEntry* mirrorSelf, bool changed) {
  DirEntry master, mirror;
  if (!masterSelf) {
    if (fs_.statEntry(masterFolder, master)) return;
    masterSelf = &master;
  }
  if (!changed && !mirrorSelf) {
    if (fs_.statEntry(mirrorFolder, mirror)) return;
    mirrorSelf = &mirror;
  }
  if (!changed && mirrorSelf->MtimeNs == masterSelf->MtimeNs && mirrorSelf->Mode == masterSelf->Mode) return;
  // Best effort, with no status line: some file systems keep neither (FAT).
  fs_.setFolderTimeAndMode(mirrorFolder, masterSelf->MtimeNs, masterSelf->Mode);
}

SyncEngine::CounterpartState SyncEngine::listCounterpart(const std::string& folder, const std::vector<DirEntry>& listed,
                                                         CounterpartIndex& index) {
  std::vector<DirEntry> entries;
  const auto ec = listForWalk(folder, entries, listingDetail());
  if (!ec) {
    const bool listedIsMaster = !(state_.ReversePass || state_.RemovalPass);
    index.pair(listed, std::move(entries), listedIsMaster, window_.caseSensitiveNames(), mirrorFoldsCase_);
    return CounterpartState::Listed;
  }
  if (ec == std::errc::no_such_file_or_directory || ec == std::errc::not_a_directory) return CounterpartState::Missing;
  const bool counterpartIsMirror = !(state_.ReversePass || state_.RemovalPass);
  if (counterpartIsMirror && noteVolumeGone(ec)) return CounterpartState::Unreadable;
  if (ec == TreeError::OtherTree) {
    reportOtherTree(folder);
    return CounterpartState::Unreadable;
  }
  // The folder is there but cannot be read: never treat it as missing, which would
  // remove the mirror folder in the removal pass.
  LogStatus(unpairedFolderKeyword(counterpartIsMirror) + folder, Colour::Maroon, true);
  window_.reportFailure("Cannot list " + folder + ": " + describeError(ec));
  noteFailedAction();
  return CounterpartState::Unreadable;
}

bool SyncEngine::createCounterpartFolder(const std::string& folder) {
  // A mirror file standing where the master has a folder is replaced like a differing
  // file: it goes to the trash, or nothing is created in its place.
  if (fs_.fileExists(folder) && RecycleFile(folder) && !fs_.fileExists(folder)) {
    LogStatus("Removed ", Colour::Green, false);
    LogStatus(folder, Colour::Black, true);
    ++state_.FilesRemoved;
  }
  if (const auto ec = fs_.createFolder(folder)) {
    if (noteVolumeGone(ec)) return false;
    LogStatus("Cannot create folder " + folder + ": " + describeError(ec), Colour::Red, true);
    noteFailedAction();
    return false;
  }
  ++mirrorChanges_;
  LogStatus("Create folder ", Colour::Blue, false);
  LogStatus(withSeparator(folder), Colour::Black, true);
  return true;
}

void SyncEngine::replaceDifferingFile(const std::string& masterFolder, const std::string& mirrorFolder,
                                      const DirEntry& entry, const DirEntry& partner) {
  if (partner.isFolder()) return replaceFolderWithFile(masterFolder, mirrorFolder, entry, partner);
  const std::string mirrorPath = joinPath(mirrorFolder, entry.Name);
  if (fs_.fileExists(mirrorPath) && !ResetAttributes(mirrorPath)) {
    LogStatus("Cant change file attributes", Colour::Red, true);
  }
  const bool copied = CopyAFile(masterFolder, mirrorFolder, entry);
  // Paired without regard to letter case: the copy has taken the master's name, and only
  // now does the mirror file it replaces go to the trash, as a replaced file would.
  if (!copied || partner.Name == entry.Name) return;
  // On a volume that folds letter case both spellings are the copy itself, whatever
  // identity the volume reports for each.
  if (mirrorFoldsCase_ && compareFolded(partner.Name, entry.Name) == 0) return;
  const std::string partnerPath = joinPath(mirrorFolder, partner.Name);
  if (sameEntry(partnerPath, mirrorPath)) return;  // one file under both spellings
  RecycleFile(partnerPath);
}

void SyncEngine::replaceFolderWithFile(const std::string& masterFolder, const std::string& mirrorFolder,
                                       const DirEntry& entry, const DirEntry& partner) {
  const std::string folder = joinPath(mirrorFolder, partner.Name);
  RemoveFolderTree(folder);
  if (fs_.folderExists(folder)) {
    LogStatus("Not copied, the mirror folder in its place was not removed: ", Colour::Red, false);
    LogStatus(folder, Colour::Black, true);
    noteFailedAction();
    return;
  }
  CopyAFile(masterFolder, mirrorFolder, entry);
}

bool SyncEngine::sameEntry(const std::string& a, const std::string& b) {
  FileIdentity first, second;
  return !fs_.identifyEntry(a, first) && !fs_.identifyEntry(b, second) && first == second;
}

}  // namespace vardell
