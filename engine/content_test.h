// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// The content test of a paired file: both files read block by block and compared, with
// the progress bars driven and pending events handled after each block. A pair the walk's
// read-ahead has read gives the same blocks, and the window sees the same either way.
#pragma once

#include "engine/content_blocks.h"
#include "engine/pumped_call.h"
#include "engine/walk_read_ahead.h"
#include "engine/run_state.h"
#include "engine/run_window.h"
#include "platform/dir_entry.h"
#include "platform/filesystem.h"

#include <memory>
#include <string>

namespace vardell {

class ContentTest {
 public:
  ContentTest(FileSystem& fs, WalkReadAhead& readAhead, PumpedCall& pumped, RunWindow& window, RunState& state)
      : fs_(fs), readAhead_(readAhead), pumped_(pumped), window_(window), state_(state) {}

  // True when both files hold the same bytes. False when they differ, and false with
  // `openFailed` when either cannot be opened. Updates CurrentPath, FileProgressText,
  // BytesDone and both progress bars; an abort ends the reading after the current block.
  bool contentsMatch(const std::string& listedPath, const std::string& counterpartPath, const DirEntry& listed,
                     const DirEntry& counterpart, bool& openFailed);

 private:
  // The blocks of one pair, read here or ahead; the progress figures follow each block.
  template <typename NextBlock>
  bool compareBlocks(const std::string& listedPath, const DirEntry& listed, NextBlock nextBlock);
  std::unique_ptr<ReadableFile> openListed(const std::string& path, const DirEntry& entry, std::error_code& ec);

  FileSystem& fs_;
  WalkReadAhead& readAhead_;
  PumpedCall& pumped_;
  RunWindow& window_;
  RunState& state_;
  // Buffers of kCompareChunkSize each, allocated on the first content test and kept.
  std::unique_ptr<char[]> listedBuffer_;
  std::unique_ptr<char[]> counterpartBuffer_;
};

}  // namespace vardell
