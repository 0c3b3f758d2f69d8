// The fault-injecting file system.
#include "tests/support/fault_filesystem.h"

#include <ctime>

namespace vardell::test {
namespace {

// A reader whose reads fail once the hook says so.
class FaultyReader : public ReadableFile {
 public:
  FaultyReader(std::unique_ptr<ReadableFile> real, std::function<bool()> fails)
      : real_(std::move(real)), fails_(std::move(fails)) {}
  std::int64_t read(char* buffer, std::size_t size) override { return fails_() ? -1 : real_->read(buffer, size); }

 private:
  std::unique_ptr<ReadableFile> real_;
  std::function<bool()> fails_;
};

}  // namespace

std::error_code FaultFileSystem::inject(Op op, const std::string& path) {
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

std::unique_ptr<ReadableFile> FaultFileSystem::openForReading(const std::string& path, std::error_code& ec) {
  if ((ec = inject(Op::Open, path))) return nullptr;
  auto file = real_->openForReading(path, ec);
  if (!file) return nullptr;
  return std::make_unique<FaultyReader>(std::move(file), [this, path] { return bool(inject(Op::Read, path)); });
}

std::error_code FaultFileSystem::prepareCopy(const std::string& source, const std::string& targetFolder,
                                             const std::string& name, PreparedCopy& copy) {
  if (auto ec = inject(Op::PrepareCopy, source)) return ec;
  return real_->prepareCopy(source, targetFolder, name, copy);
}

std::error_code FaultFileSystem::commitCopy(const PreparedCopy& copy, bool replaceExisting) {
  if (auto ec = inject(Op::CommitCopy, copy.targetPath)) {
    real_->discardCopy(copy);
    return ec;
  }
  return real_->commitCopy(copy, replaceExisting);
}

std::error_code FaultFileSystem::moveToTrash(const std::string& path) {
  if (auto ec = inject(Op::Trash, path)) return ec;
  return real_->moveToTrash(path);
}

}  // namespace vardell::test

namespace vardell::test {

std::error_code FaultFileSystem::linkToTrash(const std::string& path) {
  if (auto ec = inject(Op::TrashLink, path)) return ec;
  return real_->linkToTrash(path);
}

}  // namespace vardell::test
