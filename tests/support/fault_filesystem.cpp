// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// The fault-injecting file system.
#include "tests/support/fault_filesystem.h"
#include "platform/path_text.h"

#include <ctime>

namespace vardell::test {
namespace {

// A reader whose reads fail once the hook says so.
class FaultyReader : public ReadableFile {
 public:
  FaultyReader(std::unique_ptr<ReadableFile> real, std::function<std::error_code()> fault)
      : real_(std::move(real)), fault_(std::move(fault)) {}
  std::error_code read(char* buffer, std::size_t size, std::size_t& count) override {
    count = 0;
    if (auto ec = fault_()) return ec;
    return real_->read(buffer, size, count);
  }

 private:
  std::unique_ptr<ReadableFile> real_;
  std::function<std::error_code()> fault_;
};

}  // namespace

// A copy whose pieces, trash steps and commits pass the hook first.
class FaultyCopy : public FileCopy {
 public:
  FaultyCopy(FaultFileSystem& fs, std::unique_ptr<FileCopy> real, std::string source)
      : fs_(fs), real_(std::move(real)), sourcePath_(std::move(source)) {}
  const CopySource& source() const override { return real_->source(); }
  const std::string& targetPath() const override { return real_->targetPath(); }
  std::int64_t bytesCopied() const override { return real_->bytesCopied(); }
  const CopySource* committed() const override { return real_ ? real_->committed() : nullptr; }
  std::error_code copyPiece(bool& finished) override {
    finished = false;
    if (auto ec = fs_.inject(Op::CopyPiece, sourcePath_)) {
      real_.reset();  // a failed piece discards the copy, as the real one does
      return ec;
    }
    return real_ ? real_->copyPiece(finished) : std::make_error_code(std::errc::invalid_argument);
  }
  bool targetExists() const override { return real_ && real_->targetExists(); }
  std::error_code trashExisting(TrashAction action) override {
    if (auto ec = fs_.inject(action == TrashAction::Link ? Op::TrashLink : Op::Trash, targetPath())) return ec;
    return real_->trashExisting(action);
  }
  std::error_code commit(bool replaceExisting) override {
    if (auto ec = fs_.inject(Op::CommitCopy, targetPath())) return ec;
    return real_->commit(replaceExisting);
  }
  std::error_code exchangeWithExisting() override {
    if (auto ec = fs_.inject(Op::ExchangeCopy, targetPath())) return ec;
    return real_->exchangeWithExisting();
  }
  // A fault here leaves the old file displaced: the real copy puts it back when destroyed.
  std::error_code trashDisplaced() override {
    if (auto ec = fs_.inject(Op::Trash, targetPath())) return ec;
    return real_->trashDisplaced();
  }
  std::string keptPath() const override { return real_ ? real_->keptPath() : std::string(); }

 private:
  FaultFileSystem& fs_;
  std::unique_ptr<FileCopy> real_;
  std::string sourcePath_;
};

// A run log whose writes fail once the hook says so.
class FaultyLog : public WritableFile {
 public:
  FaultyLog(FaultFileSystem& fs, std::unique_ptr<WritableFile> real, std::string path)
      : fs_(fs), real_(std::move(real)), path_(std::move(path)) {}
  std::error_code write(std::string_view data) override {
    if (auto ec = fs_.inject(Op::WriteLog, path_)) return ec;
    return real_->write(data);
  }
  std::error_code close() override { return real_->close(); }

 private:
  FaultFileSystem& fs_;
  std::unique_ptr<WritableFile> real_;
  std::string path_;
};

std::error_code FaultFileSystem::inject(Op op, const std::string& path) {
  const std::lock_guard lock(hookMutex_);
  ++counts_[int(op)];
  return fault ? fault(op, path) : std::error_code{};
}

std::error_code FaultFileSystem::listFolder(const std::string& folder, std::vector<DirEntry>& entries,
                                            ListingDetail detail) {
  if (auto ec = inject(Op::List, folder)) return ec;
  const auto ec = real_->listFolder(folder, entries, detail);
  for (auto& entry : entries) roundStamp(folder, entry);
  return ec;
}

std::error_code FaultFileSystem::statEntry(const std::string& path, DirEntry& entry) {
  if (auto ec = inject(Op::Stat, path)) return ec;
  const auto ec = real_->statEntry(path, entry);
  if (!ec) roundStamp(path.substr(0, path.find_last_of('/')), entry);
  return ec;
}

void FaultFileSystem::roundStamp(const std::string& folder, DirEntry& entry) const {
  if (evenSecondStampsBelow.empty() || folder.rfind(evenSecondStampsBelow, 0) != 0 || entry.MtimeNs == 0) return;
  const std::int64_t second = 1000000000LL;
  std::int64_t seconds = (entry.MtimeNs + second - 1) / second;
  seconds += seconds % 2;
  entry.MtimeNs = seconds * second;
  const time_t t = time_t(seconds);
  std::tm local{};
  localtime_r(&t, &local);
  entry.Time = packLocalTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                             local.tm_sec);
}

std::error_code FaultFileSystem::createFolder(const std::string& path) {
  if (auto ec = inject(Op::CreateFolder, path)) return ec;
  return real_->createFolder(path);
}

std::error_code FaultFileSystem::removeFolder(const std::string& path) {
  if (auto ec = inject(Op::RemoveFolder, path)) return ec;
  return real_->removeFolder(path);
}

std::error_code FaultFileSystem::resetAttributes(const std::string& path) {
  if (auto ec = inject(Op::ResetAttributes, path)) return ec;
  return real_->resetAttributes(path);
}

std::unique_ptr<ReadableFile> FaultFileSystem::faultyReader(const std::string& path, std::unique_ptr<ReadableFile> file) {
  if (!file) return nullptr;
  return std::make_unique<FaultyReader>(std::move(file), [this, path] { return inject(Op::Read, path); });
}

std::unique_ptr<ReadableFile> FaultFileSystem::openForReading(const std::string& path, std::error_code& ec) {
  if ((ec = inject(Op::Open, path))) return nullptr;
  return faultyReader(path, real_->openForReading(path, ec));
}

std::unique_ptr<ReadableFile> FaultFileSystem::openListedFile(const std::string& path, std::int64_t listedSize,
                                                             std::error_code& ec) {
  if ((ec = inject(Op::Open, path))) return nullptr;
  return faultyReader(path, real_->openListedFile(path, listedSize, ec));
}

std::unique_ptr<FileCopy> FaultFileSystem::startCopy(const std::string& source, const std::string& targetFolder,
                                                     const std::string& name, std::error_code& ec) {
  if ((ec = inject(Op::PrepareCopy, source))) return nullptr;
  auto copy = real_->startCopy(source, targetFolder, name, ec);
  if (!copy) return nullptr;
  return std::make_unique<FaultyCopy>(*this, std::move(copy), source);
}

std::unique_ptr<WritableFile> FaultFileSystem::openOwnFile(const std::vector<std::string>& folders,
                                                           const std::string& name, std::string& path,
                                                           std::error_code& ec) {
  if ((ec = inject(Op::WriteLog, folders.empty() ? name : joinPath(folders.front(), name)))) return nullptr;
  auto file = real_->openOwnFile(folders, name, path, ec);
  if (!file) return nullptr;
  return std::make_unique<FaultyLog>(*this, std::move(file), path);
}

bool FaultFileSystem::isOnSystemVolume(const std::string& path) {
  if (systemVolumeAt.empty()) return real_->isOnSystemVolume(path);
  return path == systemVolumeAt || path.rfind(systemVolumeAt + "/", 0) == 0;
}

std::error_code FaultFileSystem::moveToTrash(const std::string& path) {
  if (auto ec = inject(Op::Trash, path)) return ec;
  return real_->moveToTrash(path);
}

}  // namespace vardell::test
