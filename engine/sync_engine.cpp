// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// Engine construction and small shared operations.
#include "engine/sync_engine.h"

#include "engine/dry_run_file_system.h"
#include "engine/paths.h"

namespace vardell {

SyncEngine::SyncEngine(FileSystem& fs, RunWindow& window, EngineSetup setup)
    : dryRunFs_(setup.dryRun ? makeDryRunFileSystem(fs) : nullptr), fs_(dryRunFs_ ? *dryRunFs_ : fs),
      window_(window), setup_(std::move(setup)), log_(window, fs_) {
  state_.RunIdle = true;
  if (setup_.dryRun) log_.markActionsNotDone();
  window_.attachRun(*this);
}

std::string SyncEngine::runLogFileName(const std::string& mirror) {
  const Volume volume = fs_.volumeOf(mirror);
  const std::string rootTag = fs_.isVolumeRoot(mirror) ? volume.tag : std::string();
  return RunLogName(volume.tag, folderNameOf(mirror, rootTag));
}

std::error_code SyncEngine::openRunLog(const std::string& fileName) {
  runLogPath_.clear();
  runLogNote_.clear();
  if (setup_.dryRun) return {};  // a dry run writes nothing, its log neither
  std::string path;
  const std::error_code ec = log_.openRunLog(setup_.runLogFolders, fileName, path);
  if (ec == TreeError::OwnFolderInsideTrees) {
    runLogNote_ = "No run log is written: every folder for it lies inside the master or mirror folder";
    return {};
  }
  if (ec) {
    runLogNote_ = "Cannot open the run log " + path + ": " + describeError(ec);
    return ec;
  }
  runLogPath_ = path;
  return {};
}

bool SyncEngine::ResetAttributes(const std::string& path) { return !fs_.resetAttributes(path); }

}  // namespace vardell
