// The file comparison: size, time and content tests of one paired file.
#include "engine/paths.h"
#include "engine/sync_engine.h"
#include "engine/time_test.h"

#include <cstring>

namespace vardell {
namespace {

void appendMismatch(std::string& text, bool& ok, const char* finding) {
  if (!ok) text += ", ";
  ok = false;
  text += finding;
}

int percentOf(std::int64_t part, std::int64_t whole) {
  return int(double(part) / double(whole) * 100.0);
}

}  // namespace

bool SyncEngine::CompareFiles(const std::string& listedFolder, const std::string& counterpartFolder,
                              const DirEntry& listed, const DirEntry& counterpart) {
  const std::string listedPath = joinPath(listedFolder, listed.Name);
  state_.CurrentPath = listedPath;
  if (state_.ReversePass || state_.RemovalPass) return true;  // these passes look only for unpaired entries

  const int type = window_.compareType();
  bool ok = true;
  std::string mismatch;
  if (type == kSizeAndTime || type == kAllOfTheAbove) {
    if (listed.Size != counterpart.Size) appendMismatch(mismatch, ok, "Size mismatch");
    if (!TimesCountEqual(listed.Time, counterpart.Time, listed.MtimeNs, counterpart.MtimeNs)) {
      appendMismatch(mismatch, ok, "Time mismatch");
    }
  }
  if (type == kBinary || type == kAllOfTheAbove) {
    bool openFailed = false;
    const bool same = contentsMatch(listedPath, joinPath(counterpartFolder, counterpart.Name), listed, openFailed);
    if (openFailed) {
      ok = false;
      mismatch = "Can't open ";
    } else if (!same) {
      appendMismatch(mismatch, ok, "Binary mismatch");
    }
  }
  if (ok) return true;
  LogStatus(mismatch + " ", Colour::Maroon, false);
  LogStatus(listedPath, Colour::Black, true);
  return false;
}

bool SyncEngine::contentsMatch(const std::string& listedPath, const std::string& counterpartPath,
                               const DirEntry& listed, bool& openFailed) {
  std::error_code ec;
  auto listedFile = fs_.openForReading(listedPath, ec);
  auto counterpartFile = listedFile ? fs_.openForReading(counterpartPath, ec) : nullptr;
  if (!listedFile || !counterpartFile) {
    openFailed = true;
    return false;
  }
  if (!listedBuffer_) {
    listedBuffer_ = std::make_unique_for_overwrite<char[]>(kCompareBlockSize);
    counterpartBuffer_ = std::make_unique_for_overwrite<char[]>(kCompareBlockSize);
  }
  bool same = true;
  std::int64_t bytesRead = 0;
  std::int64_t listedCount = 1, counterpartCount = 1;
  while (listedCount > 0 && counterpartCount > 0 && !state_.AbortRequested) {
    listedCount = listedFile->read(listedBuffer_.get(), kCompareBlockSize);
    counterpartCount = counterpartFile->read(counterpartBuffer_.get(), kCompareBlockSize);
    if (listedCount != counterpartCount) {
      same = false;
    } else if (listedCount > 0 &&
               std::memcmp(listedBuffer_.get(), counterpartBuffer_.get(), std::size_t(listedCount)) != 0) {
      same = false;
    }
    state_.FileProgressText = "Comparing " + listed.Name;
    state_.CurrentPath = listedPath;
    // A failed read counts as nothing read for the progress figures.
    const std::int64_t counted = listedCount > 0 ? listedCount : 0;
    bytesRead += counted;
    if (listed.Size > 0) window_.setFileProgress(percentOf(bytesRead, listed.Size));
    state_.BytesDone += counted;
    if (state_.TotalBytes > 0) window_.setOverallProgress(percentOf(state_.BytesDone, state_.TotalBytes));
    window_.processEvents();
  }
  window_.setFileProgress(0);
  return same;
}

}  // namespace vardell
