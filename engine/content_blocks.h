// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// One block of a content test: both files read through two small buffers and compared.
// The walk's own content test and the read-ahead thread read blocks the same way, so a
// pair read ahead reports exactly the blocks the walk would have read.
#pragma once

#include "platform/filesystem.h"

#include <cstddef>
#include <cstdint>

namespace vardell {

// Bytes read per side per block: progress, pending events and the abort test come once
// per block.
inline constexpr std::size_t kCompareBlockSize = 80'000'000;
// Bytes per side that pass through the content buffers at a time within a block.
inline constexpr std::size_t kCompareChunkSize = 256 * 1024;

// The counts read from each file in one block (-1 after a read error) and whether the
// bytes read were equal.
struct ContentBlock {
  std::int64_t listedCount = 1;
  std::int64_t counterpartCount = 1;
  bool same = true;
};

// Reads one block from both files through the two buffers (kCompareChunkSize each): up to
// `blockSize` bytes of the listed file, a multiple of kCompareChunkSize, ending early at
// the first short read of either file.
ContentBlock readAndCompareBlock(ReadableFile& listedFile, ReadableFile& counterpartFile, char* listedBuffer,
                                 char* counterpartBuffer, std::int64_t blockSize = std::int64_t(kCompareBlockSize));

// True when the content test reads another block after this one: both files gave bytes.
inline bool readsOnAfter(const ContentBlock& block) { return block.listedCount > 0 && block.counterpartCount > 0; }

}  // namespace vardell
