// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// Copying master files onto the mirror and moving mirror files to the trash.
#include "engine/paths.h"
#include "engine/sync_engine.h"
#include "engine/time_test.h"
#include "engine/version.h"

#include <cerrno>

namespace vardell {

bool SyncEngine::noteDiskFull(const std::error_code& ec) {
  const bool full = ec == std::errc::no_space_on_device || (ec.category() == std::generic_category() && ec.value() == EDQUOT);
  if (full) state_.DiskFull = true;
  return full;
}

namespace {

// A volume without hard links (FAT, rclone and other network or FUSE file systems, whatever
// error they give) is reported as operation_not_supported; a file at its link limit, or
// another user's file under fs.protected_hardlinks, refuses one on its own.
bool hardLinksRefused(const std::error_code& ec) {
  return ec == std::errc::operation_not_permitted || ec == std::errc::operation_not_supported ||
         ec == std::errc::too_many_links;
}

// Replaces the old file where the trash cannot get a hard link of it: the complete copy
// and the old file trade names in one step, then the old file leaves its temporary name
// for the trash. Only where names cannot be traded either (exFAT) does the old file go
// to the trash first, the name being free until the copy takes it.
std::error_code replaceByExchange(FileCopy& copy) {
  const auto exchanged = copy.exchangeWithExisting();
  if (exchanged == std::errc::operation_not_supported) {
    if (auto trashed = copy.trashExisting(TrashAction::Move)) return trashed;
    return copy.commit(true);
  }
  if (exchanged) return exchanged;
  // Refused by the trash, the old file has its name back (or stays where keptPath says).
  return copy.trashDisplaced();
}

}  // namespace

std::error_code SyncEngine::copyIntoFolder(const std::string& source, const std::string& folder) {
  std::error_code ec;
  const auto copy = fs_.startCopy(source, folder, lastComponent(source), ec);
  if (!copy) return ec;
  lastCopied_ = copy->source();
  lastCommitted_.reset();
  if ((ec = copyAllPieces(*copy))) return ec;
  ec = copy->commit(false);
  if (ec == std::errc::file_exists) ec = replaceWithCopy(*copy);
  if (!ec && copy->committed()) lastCommitted_ = *copy->committed();
  if (!ec) ++mirrorChanges_;
  return ec;
}

std::error_code SyncEngine::copyAllPieces(FileCopy& copy) {
  bool finished = false;
  bool reported = false;
  std::error_code ec;
  while (!(ec = copyPieceWhilePumping(pumped_, copy, finished)) && !finished) {
    // A copy longer than one piece shows its progress and can be aborted between pieces.
    reported = true;
    state_.FileProgressText = "Copying " + lastComponent(copy.targetPath());
    window_.setFileProgress(percentOf(copy.bytesCopied(), copy.source().size));
    window_.processEvents();
    if (state_.AbortRequested) {
      ec = std::make_error_code(std::errc::operation_canceled);  // the copy discards itself
      break;
    }
  }
  if (reported) {
    window_.setFileProgress(0);
    state_.FileProgressText.clear();
  }
  return ec;
}

std::error_code SyncEngine::replaceWithCopy(FileCopy& copy) {
  // Asked of the folder the copy is written in, so a folder renamed meanwhile cannot part
  // the old file from its trash copy.
  if (copy.targetExists()) {
    // The old file keeps its name until the complete copy takes it in one step; the trash
    // holds a restorable hard link of it by then.
    const auto trashed = copy.trashExisting(TrashAction::Link);
    if (hardLinksRefused(trashed)) {
      const auto ec = replaceByExchange(copy);
      if (!copy.keptPath().empty()) {
        window_.reportFailure("The replaced file " + copy.targetPath() + " could not go to the trash; it was kept as " +
                              copy.keptPath());
      }
      return ec;
    }
    if (trashed) return trashed;  // it stays where it is rather than being overwritten
  }
  return copy.commit(true);
}

bool SyncEngine::copyIsComplete() {
  // What the name holds since the copy took it, as the file system keeps it.
  if (!lastCommitted_) return false;
  const CopySource& mirror = *lastCommitted_;
  if (lastCopied_.isLink != mirror.isLink) return false;
  // Full-resolution times, within what file systems that round stamps (FAT) lose.
  return lastCopied_.size == mirror.size && TimesCountEqual(0, 0, lastCopied_.mtimeNs, mirror.mtimeNs);
}

bool SyncEngine::CopyAFile(const std::string& masterFolder, const std::string& mirrorFolder,
                           const DirEntry& masterEntry) {
  const std::string masterPath = joinPath(masterFolder, masterEntry.Name);
  const std::string mirrorPath = joinPath(mirrorFolder, masterEntry.Name);
  LogStatus("Copying to ", Colour::Navy, false);
  LogStatus(mirrorPath, Colour::Black, true);
  window_.processEvents();

  const auto ec = ShellCopyFile(masterPath, mirrorFolder);
  if (ec == std::errc::operation_canceled) return false;  // aborted: the old mirror file is untouched
  if (noteDiskFull(ec)) window_.showMessage(MessageKind::Error, kApplicationTitle, "Copy failed, disk may be full");
  noteVolumeGone(ec);
  // An old file that stayed in place may look like the copy; only a copy that went
  // through and matches the master counts.
  if (!ec && copyIsComplete()) {
    LogStatus("Copy completed", Colour::Green, true);
    ++state_.FilesCopied;
    return true;
  }
  // Never a second copy: one that went through but kept another size or time stays (it
  // is the master's content), and a good file is never traded for a second attempt.
  const std::string reason = ec ? describeError(ec) : whyCopyDiffers();
  if (!ec) window_.reportFailure("Cannot copy " + masterPath + " to " + mirrorFolder + ": " + reason);
  LogStatus("File copy failed: " + reason + ": ", Colour::Red, false);
  LogStatus(mirrorPath, Colour::Black, true);
  noteFailedAction();
  return false;
}

std::string SyncEngine::whyCopyDiffers() const {
  if (!lastCommitted_) return "the copy did not take its name";
  const CopySource& kept = *lastCommitted_;
  if (kept.size != lastCopied_.size) {
    return "the mirror file holds " + std::to_string(kept.size) + " bytes, not " + std::to_string(lastCopied_.size);
  }
  if (kept.isLink != lastCopied_.isLink) return "the mirror volume did not keep it as a link";
  return "the mirror volume did not keep its last-write time (it holds " + LocalTimeText(kept.mtimeNs) + ", not " +
         LocalTimeText(lastCopied_.mtimeNs) + ")";
}

bool SyncEngine::noteVolumeGone(const std::error_code& ec) {
  // What a file system says once its device, server or driver has gone away. The error
  // may come from the master's side too (a bad block, a master on a network mount): it
  // counts only when the mirror folder itself cannot be reached any more.
  FileIdentity root;
  const bool suspect =
      ec == std::errc::not_connected || ec == std::errc::no_such_device || ec == std::errc::io_error;
  const bool gone = suspect && !mirrorRoot_.empty() && fs_.identifyEntry(mirrorRoot_, root);
  if (gone && !state_.MirrorGone) {
    state_.MirrorGone = true;
    LogStatus("The mirror volume is gone", Colour::Red, true);
  }
  return gone;
}

bool SyncEngine::setTimeInPlace(const std::string& masterFolder, const std::string& mirrorFolder,
                                const DirEntry& entry, const DirEntry& partner) {
  // Only a file (or link) that holds the master's bytes (or target) under the master's own
  // name and differs in its time alone: a volume that kept another time, or a copy whose
  // time did not stay.
  // Compared by size and time, whose pairs were not read yet.
  const bool fileOrLink = entry.Kind == EntryKind::File || entry.Kind == EntryKind::Symlink;
  if (window_.compareType() != CompareType::SizeAndTime || !fileOrLink || partner.Kind != entry.Kind ||
      entry.Size != partner.Size || entry.Name != partner.Name ||
      TimesCountEqual(entry.Time, partner.Time, entry.MtimeNs, partner.MtimeNs)) {
    return false;
  }
  const std::string masterPath = joinPath(masterFolder, entry.Name);
  const std::string mirrorPath = joinPath(mirrorFolder, partner.Name);
  bool openFailed = false;
  if (!content_.contentsMatch(masterPath, mirrorPath, entry, partner, openFailed) || state_.AbortRequested) return false;
  std::int64_t keptNs = 0;
  const auto ec = fs_.setFileTime(mirrorPath, entry.MtimeNs, keptNs);
  if (ec == std::errc::operation_not_permitted) return false;  // shared with another name: copied instead
  ++mirrorChanges_;
  if (!ec && TimesCountEqual(0, 0, entry.MtimeNs, keptNs)) {
    LogStatus("Time set ", Colour::Green, false);
    LogStatus(mirrorPath, Colour::Black, true);
    return true;
  }
  const std::string reason = ec ? describeError(ec) : "it holds " + LocalTimeText(keptNs) + ", not " + LocalTimeText(entry.MtimeNs);
  LogStatus("The mirror volume does not keep the last-write time of " + mirrorPath + ": " + reason, Colour::Red, true);
  window_.reportFailure("Cannot set the last-write time of " + mirrorPath + ": " + reason);
  noteFailedAction();
  return true;
}

std::error_code SyncEngine::ShellCopyFile(const std::string& source, const std::string& destinationFolder) {
  const std::string from = fs_.fullPath(source);
  const std::string to = fs_.fullPath(destinationFolder);
  const auto ec = copyIntoFolder(from, to);
  // No file at the source: nothing was submitted, so there is nothing to report.
  const bool noSourceFile =
      (ec == std::errc::no_such_file_or_directory || ec == std::errc::is_a_directory) && !fs_.fileExists(source);
  if (ec && !noSourceFile && !noteDiskFull(ec) && ec != std::errc::operation_canceled) {
    window_.reportFailure("Cannot copy " + from + " to " + to + ": " + describeError(ec));
  }
  return ec;
}

bool SyncEngine::RecycleFile(const std::string& path) {
  if (!fs_.fileExists(path)) return false;
  const std::string full = fs_.fullPath(path);
  const auto ec = fs_.moveToTrash(full);
  if (!ec) {
    ++mirrorChanges_;
    return true;
  }
  window_.reportFailure("Cannot move " + full + " to the trash: " + describeError(ec));
  if (ec == TreeError::NoTrashOutsideTrees) return false;  // refused before anything was tried
  return fs_.fileExists(path);
}

}  // namespace vardell
