// Engine construction and small shared operations.
#include "engine/sync_engine.h"

#include "engine/paths.h"

namespace vardell {

SyncEngine::SyncEngine(FileSystem& fs, RunWindow& window, EngineSetup setup)
    : fs_(fs), window_(window), setup_(std::move(setup)), log_(window, fs) {
  state_.RunIdle = true;
  window_.attachRun(*this);
}

std::string SyncEngine::runLogNameFor(const std::string& mirror) {
  return runLogNameFor(withoutTrailingSeparator(window_.masterFolder()), mirror);
}

std::string SyncEngine::runLogNameFor(const std::string& master, const std::string& mirror) {
  const Volume volume = fs_.volumeOf(mirror);
  const std::string rootTag = fs_.isVolumeRoot(mirror) ? volume.tag : std::string();
  return RunLogName(checks_.runLogFolder(setup_.settingsFolder, setup_.perUserFolder, master, mirror), volume.tag, folderNameOf(mirror, rootTag));
}

std::error_code SyncEngine::openRunLog(const std::string& name, Colour resetFailureColour) {
  if (fs_.fileExists(name) && !ResetAttributes(name)) {
    LogStatus("Cant change file attributes, log.txt", resetFailureColour, true);
  }
  return log_.openRunLog(name);
}

bool SyncEngine::ResetAttributes(const std::string& path) { return !fs_.resetAttributes(path); }

}  // namespace vardell
