// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// The file system a dry run sees: every read reaches the real one, every change is only
// remembered, so the Sync's own walk runs unchanged and writes nothing anywhere.
#pragma once

#include "platform/filesystem.h"

#include <memory>

namespace vardell {

// Wraps `real`, which must outlive it. What a change would do is answered from what it
// remembers: a file moved to the trash or a folder removed is gone from later listings and
// tests, a folder created lists empty (whatever stood at its path), a copy succeeds with
// its source's size and time. A copy of a folder, a special file or a source that cannot
// be opened fails as the real one would; failures that only the writing itself could show
// (a full disk) are not foreseen. The run log cannot be opened (read_only_file_system),
// and the letter-case test of a volume makes no file: it looks existing names up in other
// letter case.
std::unique_ptr<FileSystem> makeDryRunFileSystem(FileSystem& real);

}  // namespace vardell
