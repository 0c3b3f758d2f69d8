// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// A file system for tests that passes every call to the real one unless a fault is
// injected for it: a hook sees each operation and path and may return an error.
#pragma once

#include "platform/filesystem.h"

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace vardell::test {

// Operations a fault can be injected into.
// A copy's trashDisplaced passes Op::Trash, its exchangeWithExisting Op::ExchangeCopy.
enum class Op { List, Open, Read, ResetAttributes, PrepareCopy, CommitCopy, Trash, CreateFolder, RemoveFolder, TrashLink, Stat, CopyPiece, WriteLog, ExchangeCopy, SetTime, Flush, Identify };
inline constexpr int kOpCount = int(Op::Identify) + 1;

class FaultFileSystem : public FileSystem {
 public:
  explicit FaultFileSystem(const PosixOptions& options = {}) : real_(makePosixFileSystem(options)) {}
  // Passes calls on to a real file system made with these options from now on.
  void useRealFileSystem(const PosixOptions& options) { real_ = makePosixFileSystem(options); }

  // Returns an error to make the operation fail; an empty code lets it through.
  std::function<std::error_code(Op, const std::string& path)> fault;
  // Entries below this folder report their times rounded up to an even second, as a
  // FAT file system keeps them (empty: off).
  std::string evenSecondStampsBelow;
  // Counts calls per operation, whether they failed or not.
  int calls(Op op) const { return counts_[int(op)]; }
  // Lets the engine list and read on a second thread; the hook is then called from either
  // thread, one call at a time.
  bool concurrentReads = false;
  bool readsFromAnotherThread() const override { return concurrentReads; }

  // Called just before and just after a run opens its folders: a test swaps a folder there
  // to show that the run tests and uses the folders it opened, whatever the paths name.
  std::function<void()> beforeEnteringTrees;
  std::function<void()> afterEnteringTrees;
  std::error_code enterTrees(const FolderTrees& trees) override {
    if (beforeEnteringTrees) beforeEnteringTrees();
    const auto ec = real_->enterTrees(trees);
    if (!ec && afterEnteringTrees) afterEnteringTrees();
    return ec;
  }
  void leaveTrees() override { real_->leaveTrees(); }
  bool treeLiesWithin(const std::string& inner, const std::string& outer) override {
    return real_->treeLiesWithin(inner, outer);
  }
  std::vector<std::string> mountPointsBelow(const std::string& root) override { return real_->mountPointsBelow(root); }
  std::error_code listFolder(const std::string& folder, std::vector<DirEntry>& entries, ListingDetail detail) override;
  std::error_code statEntry(const std::string& path, DirEntry& entry) override;
  bool fileExists(const std::string& path) override { return real_->fileExists(path); }
  bool folderExists(const std::string& path) override { return real_->folderExists(path); }
  std::error_code identify(const std::string& path, FileIdentity& id) override { return real_->identify(path, id); }
  std::error_code identifyEntry(const std::string& path, FileIdentity& id) override {
    if (auto ec = inject(Op::Identify, path)) return ec;
    return real_->identifyEntry(path, id);
  }
  std::string fullPath(const std::string& path) override { return real_->fullPath(path); }
  std::error_code realPath(const std::string& path, std::string& resolved) override {
    return real_->realPath(path, resolved);
  }
  std::unique_ptr<HeldLock> tryLockFolder(const std::string& path, std::error_code& ec) override {
    return real_->tryLockFolder(path, ec);
  }
  std::error_code createFolder(const std::string& path) override;
  std::error_code removeFolder(const std::string& path) override;
  std::error_code flushWrites(const std::string& root) override {
    if (auto ec = inject(Op::Flush, root)) return ec;
    return real_->flushWrites(root);
  }
  bool foldsLetterCase(const std::string& root) override { return foldsCase ? *foldsCase : real_->foldsLetterCase(root); }
  std::optional<bool> foldsCase;  // what the mirror's volume is said to do with letter case
  std::error_code setFileTime(const std::string& path, std::int64_t mtimeNs, std::int64_t& keptNs) override {
    if (auto ec = inject(Op::SetTime, path)) return ec;
    return real_->setFileTime(path, mtimeNs, keptNs);
  }
  std::error_code setFolderTimeAndMode(const std::string& path, std::int64_t mtimeNs, std::uint32_t mode) override {
    return real_->setFolderTimeAndMode(path, mtimeNs, mode);
  }
  std::error_code resetAttributes(const std::string& path) override;
  std::unique_ptr<ReadableFile> openForReading(const std::string& path, std::error_code& ec) override;
  std::unique_ptr<ReadableFile> openListedFile(const std::string& path, std::int64_t listedSize,
                                               std::error_code& ec) override;
  std::unique_ptr<WritableFile> openOwnFile(const std::vector<std::string>& folders, const std::string& name,
                                            std::string& path, std::error_code& ec) override;
  std::unique_ptr<FileCopy> startCopy(const std::string& source, const std::string& targetFolder, const std::string& name,
                                      std::error_code& ec) override;
  std::error_code moveToTrash(const std::string& path) override;

  // Paths at or below this folder are on the system volume (empty: ask the real system).
  std::string systemVolumeAt;
  Volume volumeOf(const std::string& path) override { return real_->volumeOf(path); }
  bool isVolumeRoot(const std::string& path) override { return real_->isVolumeRoot(path); }
  bool isOnSystemVolume(const std::string& path) override;

 private:
  std::error_code inject(Op op, const std::string& path);
  // The file, when there is one, with reads that go through the hook first.
  std::unique_ptr<ReadableFile> faultyReader(const std::string& path, std::unique_ptr<ReadableFile> file);
  friend class FaultyCopy;
  friend class FaultyLog;
  void roundStamp(const std::string& folder, DirEntry& entry) const;
  std::unique_ptr<FileSystem> real_;
  int counts_[kOpCount] = {};
  std::recursive_mutex hookMutex_;  // a hook may call the file system again
};

}  // namespace vardell::test
