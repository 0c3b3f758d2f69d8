// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// A file system that remembers changes instead of making them.
#include "engine/dry_run_file_system.h"

#include "platform/path_text.h"

#include <algorithm>
#include <optional>
#include <set>

namespace vardell {
namespace {

std::error_code missing() { return std::make_error_code(std::errc::no_such_file_or_directory); }

DirEntry dotEntry(const char* name) {
  DirEntry entry;
  entry.Name = name;
  entry.Attr = kAttrFolder;
  entry.Kind = EntryKind::Folder;
  return entry;
}

// A copy that is complete at once and takes its name without writing a byte.
class RememberedCopy final : public FileCopy {
 public:
  RememberedCopy(FileSystem& fs, CopySource source, std::string target)
      : fs_(fs), source_(source), target_(std::move(target)) {}
  const CopySource& source() const override { return source_; }
  const std::string& targetPath() const override { return target_; }
  std::int64_t bytesCopied() const override { return committed_ ? source_.size : 0; }
  std::error_code copyPiece(bool& finished) override {
    finished = true;
    return {};
  }
  std::error_code trashExisting(TrashAction) override { return {}; }
  std::error_code exchangeWithExisting() override { return {}; }
  std::error_code trashDisplaced() override { return {}; }
  std::string keptPath() const override { return {}; }
  bool targetExists() const override { return fs_.fileExists(target_); }
  std::error_code commit(bool replaceExisting) override {
    if (!replaceExisting && targetExists()) return std::make_error_code(std::errc::file_exists);
    committed_ = true;
    return {};
  }
  const CopySource* committed() const override { return committed_ ? &source_ : nullptr; }

 private:
  FileSystem& fs_;
  CopySource source_;
  std::string target_;
  bool committed_ = false;
};

class DryRunFileSystem final : public FileSystem {
 public:
  explicit DryRunFileSystem(FileSystem& real) : real_(real) {}

  std::error_code enterTrees(const FolderTrees& trees) override { return real_.enterTrees(trees); }
  void leaveTrees() override {
    gone_.clear();
    made_.clear();
    real_.leaveTrees();
  }
  bool treeLiesWithin(const std::string& inner, const std::string& outer) override {
    return real_.treeLiesWithin(inner, outer);
  }
  std::vector<std::string> mountPointsBelow(const std::string& root) override { return real_.mountPointsBelow(root); }

  std::error_code listFolder(const std::string& folder, std::vector<DirEntry>& entries, ListingDetail detail) override {
    entries.clear();
    if (made_.count(folder)) {
      entries = {dotEntry("."), dotEntry("..")};
      return {};
    }
    if (isGone(folder)) return missing();
    if (const auto ec = real_.listFolder(folder, entries, detail)) return ec;
    std::erase_if(entries, [&](const DirEntry& e) { return !e.isDotEntry() && gone_.count(joinPath(folder, e.Name)); });
    return {};
  }
  std::error_code statEntry(const std::string& path, DirEntry& entry) override {
    if (made_.count(path)) {
      entry = dotEntry(".");
      entry.Name = lastComponent(path);
      return {};
    }
    return isGone(path) ? missing() : real_.statEntry(path, entry);
  }
  bool fileExists(const std::string& path) override {
    return !made_.count(path) && !isGone(path) && real_.fileExists(path);
  }
  bool folderExists(const std::string& path) override {
    return made_.count(path) || (!isGone(path) && real_.folderExists(path));
  }
  std::error_code identify(const std::string& path, FileIdentity& id) override {
    return isGone(path) ? missing() : real_.identify(path, id);
  }
  std::error_code identifyEntry(const std::string& path, FileIdentity& id) override {
    return isGone(path) ? missing() : real_.identifyEntry(path, id);
  }
  std::error_code realPath(const std::string& path, std::string& resolved) override {
    return real_.realPath(path, resolved);
  }
  // A lock on the folder itself leaves no file behind, and keeps a dry run from reading a
  // mirror another run is changing.
  std::unique_ptr<HeldLock> tryLockFolder(const std::string& path, std::error_code& ec) override {
    return real_.tryLockFolder(path, ec);
  }
  std::string fullPath(const std::string& path) override { return real_.fullPath(path); }

  std::error_code createFolder(const std::string& path) override {
    if (folderExists(path)) return {};
    if (fileExists(path)) return std::make_error_code(std::errc::file_exists);
    if (!folderExists(parentFolder(path))) return missing();
    made_.insert(path);
    gone_.erase(path);
    return {};
  }
  std::error_code setFolderTimeAndMode(const std::string& path, std::int64_t, std::uint32_t) override {
    return folderExists(path) ? std::error_code() : missing();
  }
  std::error_code setFileTime(const std::string& path, std::int64_t mtimeNs, std::int64_t& keptNs) override {
    if (!fileExists(path)) return missing();
    keptNs = mtimeNs;
    return {};
  }
  std::error_code flushWrites(const std::string&) override { return {}; }
  bool foldsLetterCase(const std::string& root) override;
  std::error_code removeFolder(const std::string& path) override {
    std::vector<DirEntry> entries;
    if (const auto ec = listFolder(path, entries, ListingDetail::NamesAndKinds)) return ec;
    for (const DirEntry& entry : entries) {
      if (!entry.isDotEntry()) return std::make_error_code(std::errc::directory_not_empty);
    }
    made_.erase(path);
    gone_.insert(path);
    return {};
  }
  std::error_code resetAttributes(const std::string& path) override {
    return fileExists(path) || folderExists(path) ? std::error_code() : missing();
  }

  std::unique_ptr<ReadableFile> openForReading(const std::string& path, std::error_code& ec) override {
    return real_.openForReading(path, ec);
  }
  std::unique_ptr<ReadableFile> openListedFile(const std::string& path, std::int64_t listedSize,
                                               std::error_code& ec) override {
    return real_.openListedFile(path, listedSize, ec);
  }
  // What is remembered is kept on one thread; the walk then reads without reading ahead.
  bool readsFromAnotherThread() const override { return false; }

  std::unique_ptr<WritableFile> openOwnFile(const std::vector<std::string>&, const std::string&, std::string& path,
                                            std::error_code& ec) override {
    path.clear();
    ec = std::make_error_code(std::errc::read_only_file_system);
    return nullptr;
  }
  std::unique_ptr<FileCopy> startCopy(const std::string& source, const std::string& targetFolder,
                                      const std::string& name, std::error_code& ec) override;
  std::error_code moveToTrash(const std::string& path) override {
    if (!fileExists(path)) return missing();
    gone_.insert(path);
    return {};
  }

  Volume volumeOf(const std::string& path) override { return real_.volumeOf(path); }
  bool isVolumeRoot(const std::string& path) override { return real_.isVolumeRoot(path); }
  bool isOnSystemVolume(const std::string& path) override { return real_.isOnSystemVolume(path); }

 private:
  // True when the entry at path, or a folder above it, was trashed or removed, or when a
  // folder above it was created: a new folder holds only the folders made in it, whatever
  // stood at its path before (a link the run trashed may lead to a full folder).
  bool isGone(const std::string& path) const {
    if (gone_.empty() && made_.empty()) return false;
    for (std::string at = path; at.size() > 1; at = parentFolder(at)) {
      if (made_.count(at)) return at != path;
      if (gone_.count(at)) return true;
    }
    return false;
  }

  FileSystem& real_;
  std::set<std::string> gone_;  // entries the run would have trashed or removed
  std::set<std::string> made_;  // folders the run would have created
};

// `name` with its ASCII letters in the other case; the same text when it has none.
std::string withLetterCaseSwapped(std::string name) {
  for (char& c : name) c = c >= 'a' && c <= 'z' ? char(c - 32) : c >= 'A' && c <= 'Z' ? char(c + 32) : c;
  return name;
}

// Whether `name`, listed in `folder` among `listed`, is found in other letter case: a
// volume that keeps case apart finds that name only when it is listed itself. Nothing when
// the name has no letters.
std::optional<bool> swappedNameIsFound(FileSystem& fs, const std::string& folder, const std::vector<DirEntry>& listed,
                                       const std::string& name) {
  const std::string other = withLetterCaseSwapped(name);
  if (other == name) return std::nullopt;
  if (std::any_of(listed.begin(), listed.end(), [&](const DirEntry& e) { return e.Name == other; })) return false;
  // Not the identity: some network volumes number each spelling of a name anew.
  FileIdentity found;
  return !fs.identifyEntry(joinPath(folder, other), found);
}

bool DryRunFileSystem::foldsLetterCase(const std::string& root) {
  // The Sync's own test makes a file in the root; this one looks names up in other letter
  // case instead: first the root's entries, then the root's own name in the folder above
  // it, when that folder is on the root's volume.
  std::vector<DirEntry> entries;
  if (made_.count(root) || real_.listFolder(root, entries, ListingDetail::NamesAndKinds)) return false;
  for (const DirEntry& entry : entries) {
    if (entry.isDotEntry()) continue;
    if (const auto folds = swappedNameIsFound(real_, root, entries, entry.Name)) return *folds;
  }
  FileIdentity rootId, aboveId;
  const std::string above = parentFolder(root);
  if (real_.identify(root, rootId) || real_.identify(above, aboveId) || rootId.device != aboveId.device ||
      real_.listFolder(above, entries, ListingDetail::NamesAndKinds)) {
    return false;
  }
  return swappedNameIsFound(real_, above, entries, lastComponent(root)).value_or(false);
}

std::unique_ptr<FileCopy> DryRunFileSystem::startCopy(const std::string& source, const std::string& targetFolder,
                                                      const std::string& name, std::error_code& ec) {
  DirEntry from;
  if ((ec = statEntry(source, from))) return nullptr;
  if (from.Kind == EntryKind::Folder) ec = std::make_error_code(std::errc::is_a_directory);
  if (from.Kind == EntryKind::Special) ec = std::make_error_code(std::errc::operation_not_supported);
  // A source the run may not read fails the copy that would read it; opening writes nothing.
  if (!ec && !real_.openForReading(source, ec)) return nullptr;
  if (!ec && !folderExists(targetFolder)) ec = missing();
  if (ec) return nullptr;
  const CopySource facts{from.Kind == EntryKind::Symlink, from.Size, from.MtimeNs};
  return std::make_unique<RememberedCopy>(*this, facts, joinPath(targetFolder, name));
}

}  // namespace

std::unique_ptr<FileSystem> makeDryRunFileSystem(FileSystem& real) { return std::make_unique<DryRunFileSystem>(real); }

}  // namespace vardell
