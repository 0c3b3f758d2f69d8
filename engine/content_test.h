// The content test of a paired file: both files read block by block and compared, with
// the progress bars driven and pending events handled after each block.
#pragma once

#include "engine/run_state.h"
#include "engine/run_window.h"
#include "platform/dir_entry.h"
#include "platform/filesystem.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace vardell {

// Bytes read per side per block: progress, pending events and the abort test come once
// per block.
inline constexpr std::size_t kCompareBlockSize = 80'000'000;
// Bytes per side that pass through the content buffers at a time within a block.
inline constexpr std::size_t kCompareChunkSize = 256 * 1024;

class ContentTest {
 public:
  ContentTest(FileSystem& fs, RunWindow& window, RunState& state) : fs_(fs), window_(window), state_(state) {}

  // True when both files hold the same bytes. False when they differ, and false with
  // `openFailed` when either cannot be opened. Updates CurrentPath, FileProgressText,
  // BytesDone and both progress bars; an abort ends the reading after the current block.
  bool contentsMatch(const std::string& listedPath, const std::string& counterpartPath, const DirEntry& listed,
                     bool& openFailed);

 private:
  // One block: the counts read from each file (-1 after a read error) and whether the
  // bytes read were equal.
  struct BlockResult {
    std::int64_t listedCount = 1;
    std::int64_t counterpartCount = 1;
    bool same = true;
  };
  BlockResult readAndCompareBlock(ReadableFile& listedFile, ReadableFile& counterpartFile);

  FileSystem& fs_;
  RunWindow& window_;
  RunState& state_;
  // Buffers of kCompareChunkSize each, allocated on the first content test and kept.
  std::unique_ptr<char[]> listedBuffer_;
  std::unique_ptr<char[]> counterpartBuffer_;
};

}  // namespace vardell
