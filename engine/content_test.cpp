// The content test: blocks of both files read and compared through small buffers.
#include "engine/content_test.h"

#include <algorithm>
#include <cstring>

namespace vardell {
namespace {

// A block flows through the two buffers in pieces of this size, each compared while it
// is still in the processor's cache: streaming whole blocks through memory costs more
// than the reading itself once the files are cached.
constexpr std::int64_t kChunk = std::int64_t(kCompareChunkSize);
constexpr auto kBlock = std::int64_t(kCompareBlockSize);

}  // namespace

ContentTest::BlockResult ContentTest::readAndCompareBlock(ReadableFile& listedFile, ReadableFile& counterpartFile) {
  char* const a = listedBuffer_.get();
  char* const b = counterpartBuffer_.get();
  BlockResult block;
  block.listedCount = 0;
  block.counterpartCount = 0;
  bool more = true;
  while (more) {
    const std::int64_t wanted = std::min(kChunk, kBlock - block.listedCount);
    std::size_t listedRead = 0, counterpartRead = 0;
    const bool listedFailed = bool(listedFile.read(a, std::size_t(wanted), listedRead));
    const bool counterpartFailed = bool(counterpartFile.read(b, std::size_t(wanted), counterpartRead));
    const auto n = std::int64_t(listedRead), m = std::int64_t(counterpartRead);
    if (listedFailed || counterpartFailed) {
      // A failed read ends the block; it differs unless both sides failed.
      block.listedCount = listedFailed ? -1 : block.listedCount + n;
      block.counterpartCount = counterpartFailed ? -1 : block.counterpartCount + m;
      break;
    }
    if (n != m || std::memcmp(a, b, std::size_t(n)) != 0) block.same = false;
    block.listedCount += n;
    block.counterpartCount += m;
    more = n == wanted && m == wanted && block.listedCount < kBlock;
  }
  if (block.listedCount != block.counterpartCount) block.same = false;
  return block;
}

bool ContentTest::contentsMatch(const std::string& listedPath, const std::string& counterpartPath,
                               const DirEntry& listed, bool& openFailed) {
  std::error_code ec;
  auto listedFile = fs_.openForReading(listedPath, ec);
  auto counterpartFile = listedFile ? fs_.openForReading(counterpartPath, ec) : nullptr;
  if (!listedFile || !counterpartFile) {
    openFailed = true;
    return false;
  }
  if (!listedBuffer_) {
    listedBuffer_ = std::make_unique_for_overwrite<char[]>(kCompareChunkSize);
    counterpartBuffer_ = std::make_unique_for_overwrite<char[]>(kCompareChunkSize);
  }
  bool same = true;
  std::int64_t bytesRead = 0;
  BlockResult block;
  while (block.listedCount > 0 && block.counterpartCount > 0 && !state_.AbortRequested) {
    block = readAndCompareBlock(*listedFile, *counterpartFile);
    same = same && block.same;
    state_.FileProgressText = "Comparing " + listed.Name;
    state_.CurrentPath = listedPath;
    // A failed read counts as nothing read for the progress figures.
    const std::int64_t counted = block.listedCount > 0 ? block.listedCount : 0;
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
