// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// Removing mirror-only entries: one file to the trash with its status line, and a whole
// folder, its files to the trash and its folders deepest first.
#include "engine/paths.h"
#include "engine/sync_engine.h"

namespace vardell {

void SyncEngine::rememberMasterVolume() {
  // The master folder the run opened, whatever its path names by now.
  FileIdentity id;
  if (fs_.identifyEntry(withoutTrailingSeparator(window_.masterFolder()), id)) {
    masterDevice_.reset();
    masterInode_.reset();
  } else {
    masterDevice_ = id.device;
    masterInode_ = id.inode;
  }
  report_.masterDevice = masterDevice_;
  // A volume mounted inside the master, unmounted during the run, would look like an
  // empty folder: its folder and device are kept to tell.
  report_.masterMounts.clear();
  for (const std::string& folder : fs_.mountPointsBelow(withoutTrailingSeparator(window_.masterFolder()))) {
    if (!fs_.identifyEntry(folder, id) && id.folder) report_.masterMounts.emplace_back(folder, id.device);
  }
}

void SyncEngine::stopRemovalForVanishedMaster() {
  window_.requestQuit();
  if (report_.masterVanished) return;  // every later removal meets the same stop
  report_.masterVanished = true;
  noteFailedAction();
  LogStatus("Master folder vanished, removal stopped: ", Colour::Red, false);
  LogStatus(vanishedMasterFolder_, Colour::Black, true);
}

void SyncEngine::reportOtherTree(const std::string& folder) {
  LogStatus("Folder not entered, it is the master or mirror folder itself: ", Colour::Red, false);
  LogStatus(folder, Colour::Black, true);
  noteFailedAction();
}

bool SyncEngine::masterFolderVanished() {
  vanishedMasterFolder_ = withoutTrailingSeparator(window_.masterFolder());
  FileIdentity id;
  if (fs_.identify(vanishedMasterFolder_, id) || !id.folder) return true;
  // An unmounted drive leaves its empty mount point behind, on another volume; a folder
  // put in the master's place is not the master the run opened.
  if ((masterDevice_ && id.device != *masterDevice_) || (masterInode_ && id.inode != *masterInode_)) return true;
  // A drive mounted inside the master and unmounted now would look like empty folders.
  for (const auto& [folder, device] : report_.masterMounts) {
    if (fs_.identifyEntry(folder, id) || !id.folder || id.device != device) {
      vanishedMasterFolder_ = folder;
      return true;
    }
  }
  return false;
}

bool SyncEngine::trashMirrorFile(const std::string& path, const RemovalLines& lines) {
  if (!ResetAttributes(path)) LogStatus("Cant change file attributes", Colour::Maroon, true);
  if (masterFolderVanished()) {
    stopRemovalForVanishedMaster();
    return false;
  }
  if (!RecycleFile(path)) {
    LogStatus("The file could not be moved to the recycle bin", lines.refusedColour, true);
    noteFailedAction();
    return true;
  }
  // Only a file that is really gone counts as removed.
  const bool gone = !fs_.fileExists(path);
  LogStatus(gone ? lines.removed : "Failed to remove file ", gone ? lines.removedColour : Colour::Red, false);
  LogStatus(path, Colour::Black, true);
  if (gone) {
    ++state_.FilesRemoved;
  } else {
    noteFailedAction();
  }
  return true;
}

void SyncEngine::RemoveFolderTree(const std::string& folder) {
  for (const auto& exclusion : setup_.commandLine.exclusions) {
    if (occursIn(folder, exclusion)) return;
  }
  std::vector<DirEntry> entries;
  // An unlistable folder has no entries and its removal is still tried; another path to
  // a tree is left alone.
  if (fs_.listFolder(folder, entries, ListingDetail::NamesAndKinds) == TreeError::OtherTree) {
    return reportOtherTree(folder);
  }
  for (const DirEntry& entry : entries) {
    if (state_.AbortRequested) break;
    window_.processEvents();
    if (entry.isDotEntry()) continue;
    const std::string path = joinPath(folder, entry.Name);
    if (entry.isFolder()) {
      RemoveFolderTree(path);
      continue;
    }
    if (!trashMirrorFile(path, kFolderRemovalLines)) return;
  }
  window_.processEvents();
  if (masterFolderVanished()) return stopRemovalForVanishedMaster();
  LogStatus("Remove folder ", Colour::Blue, false);
  LogStatus(folder, Colour::Black, true);
  for (int attempt = 0; attempt < 100; ++attempt) {
    if (!fs_.removeFolder(folder)) {
      ++mirrorChanges_;
      return;
    }
  }
  noteFailedAction();
  window_.showMessage(MessageKind::Warning, "Warning", "Cannot remove directory");
}

}  // namespace vardell
