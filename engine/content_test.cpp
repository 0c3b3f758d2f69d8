// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// The content test: blocks of both files read and compared, here or on the read-ahead
// thread, with the progress figures after each block.
#include "engine/content_test.h"

#include <algorithm>

namespace vardell {

template <typename NextBlock>
bool ContentTest::compareBlocks(const std::string& listedPath, const DirEntry& listed, NextBlock nextBlock) {
  bool same = true;
  std::int64_t bytesRead = 0;
  ContentBlock block;
  // The caption names the file from its first block on, not the file compared before it.
  state_.FileProgressText = "Comparing " + listed.Name;
  while (readsOnAfter(block) && !state_.AbortRequested && nextBlock(block)) {
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

std::unique_ptr<ReadableFile> ContentTest::openListed(const std::string& path, const DirEntry& entry,
                                                     std::error_code& ec) {
  // A file the listing has just shown needs no stat of its own to be read.
  if (entry.Kind == EntryKind::File) return fs_.openListedFile(path, entry.Size, ec);
  return fs_.openForReading(path, ec);
}

bool ContentTest::contentsMatch(const std::string& listedPath, const std::string& counterpartPath,
                               const DirEntry& listed, const DirEntry& counterpart, bool& openFailed) {
  if (const auto reading = readAhead_.takeReading(listed, counterpart)) {
    openFailed = reading->openFailed;
    if (openFailed) return false;
    int next = 0;
    return compareBlocks(listedPath, listed, [&](ContentBlock& block) {
      if (next == reading->blockCount) return false;
      block = reading->blocks[next++];
      return true;
    });
  }
  std::error_code ec;
  auto listedFile = openListed(listedPath, listed, ec);
  auto counterpartFile = listedFile ? openListed(counterpartPath, counterpart, ec) : nullptr;
  if (!listedFile || !counterpartFile) {
    openFailed = true;
    return false;
  }
  if (!listedBuffer_) {
    listedBuffer_ = std::make_unique_for_overwrite<char[]>(kCompareChunkSize);
    counterpartBuffer_ = std::make_unique_for_overwrite<char[]>(kCompareChunkSize);
  }
  // A block of a large file takes seconds on slow media: it is read on the helper thread
  // while the window handles its events (an Abort then ends the reading after the block).
  const bool large = std::max(listed.Size, counterpart.Size) >= kPumpedCallMinimumSize;
  return compareBlocks(listedPath, listed, [&](ContentBlock& block) {
    const auto readBlock = [&] {
      block = readAndCompareBlock(*listedFile, *counterpartFile, listedBuffer_.get(), counterpartBuffer_.get());
    };
    if (large) {
      pumped_.run(readBlock);
    } else {
      readBlock();
    }
    return true;
  });
}

}  // namespace vardell
