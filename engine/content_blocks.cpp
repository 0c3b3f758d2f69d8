// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// Reading and comparing one block of two files.
#include "engine/content_blocks.h"

#include <algorithm>
#include <cstring>

namespace vardell {

// A block flows through the two buffers in pieces of kCompareChunkSize, each compared
// while it is still in the processor's cache: streaming whole blocks through memory costs
// more than the reading itself once the files are cached.
ContentBlock readAndCompareBlock(ReadableFile& listedFile, ReadableFile& counterpartFile, char* listedBuffer,
                                 char* counterpartBuffer, std::int64_t blockSize) {
  constexpr auto chunk = std::int64_t(kCompareChunkSize);
  ContentBlock block;
  block.listedCount = 0;
  block.counterpartCount = 0;
  bool more = true;
  while (more) {
    const std::int64_t wanted = std::min(chunk, blockSize - block.listedCount);
    std::size_t listedRead = 0, counterpartRead = 0;
    const bool listedFailed = bool(listedFile.read(listedBuffer, std::size_t(wanted), listedRead));
    const bool counterpartFailed = bool(counterpartFile.read(counterpartBuffer, std::size_t(wanted), counterpartRead));
    const auto n = std::int64_t(listedRead), m = std::int64_t(counterpartRead);
    if (listedFailed || counterpartFailed) {
      // A failed read ends the block, which then differs: bytes that could not be read
      // are never taken for equal, not even when both sides failed.
      block.listedCount = listedFailed ? -1 : block.listedCount + n;
      block.counterpartCount = counterpartFailed ? -1 : block.counterpartCount + m;
      block.same = false;
      break;
    }
    if (n != m || std::memcmp(listedBuffer, counterpartBuffer, std::size_t(n)) != 0) block.same = false;
    block.listedCount += n;
    block.counterpartCount += m;
    more = n == wanted && m == wanted && block.listedCount < blockSize;
  }
  if (block.listedCount != block.counterpartCount) block.same = false;
  return block;
}

}  // namespace vardell
