// The tests a folder pair passes before a run may start: two trees that never touch,
// one run per mirror, the system volume, an empty master.
#include "engine/paths.h"
#include "engine/sync_engine.h"

namespace vardell {
namespace {

bool isInside(const std::string& inner, const std::string& outer) {
  return outer == "/" ? inner != "/" : inner.size() > outer.size() && inner.compare(0, outer.size(), outer) == 0 &&
                                           inner[outer.size()] == '/';
}

}  // namespace

std::string SyncEngine::canonicalPath(const std::string& path) {
  std::string resolved;
  if (!fs_.realPath(path, resolved)) return resolved;
  const std::string full = fs_.fullPath(path);
  if (full == "/") return full;
  return joinPath(canonicalPath(parentFolder(full)), lastComponent(full));
}

bool SyncEngine::hasAncestor(const std::string& realPath, const FileIdentity& folder) {
  for (std::string up = realPath; up != "/";) {
    up = parentFolder(up);
    FileIdentity id;
    if (!fs_.identify(up, id) && id == folder) return true;
  }
  return false;
}

bool SyncEngine::liesWithin(const std::string& inner, const std::string& outer) {
  const std::string realInner = canonicalPath(inner);
  const std::string realOuter = canonicalPath(outer);
  if (realInner == realOuter || isInside(realInner, realOuter)) return true;
  FileIdentity outerId, innerId;
  if (!fs_.identify(outer, outerId)) {
    if (!fs_.identify(inner, innerId) && innerId == outerId) return true;
    if (hasAncestor(realInner, outerId)) return true;
  }
  // A bind mount shows a folder in a second place; within the file system itself the
  // two places are one.
  const FileSystemLocation a = fs_.locationInFileSystem(realInner), b = fs_.locationInFileSystem(realOuter);
  return a.fileSystem == b.fileSystem && (a.path == b.path || isInside(a.path, b.path));
}

std::string SyncEngine::checkFolderPair(const std::string& master, const std::string& mirror) {
  const bool mirrorWithin = liesWithin(mirror, master);
  const bool masterWithin = liesWithin(master, mirror);
  if (mirrorWithin && masterWithin) return "The master and mirror folders are the same folder: " + canonicalPath(master);
  if (mirrorWithin) return "The mirror folder " + canonicalPath(mirror) + " is inside the master folder";
  if (masterWithin) return "The master folder " + canonicalPath(master) + " is inside the mirror folder";
  return {};
}

std::string SyncEngine::lockMirror(const std::string& mirror) {
  runLock_.reset();
  std::error_code ec;
  // A lock on the folder itself is met by every process, whatever path, mount or
  // environment it comes through.
  runLock_ = fs_.tryLockFolder(mirror, ec);
  if (runLock_) return {};
  if (ec == std::errc::resource_unavailable_try_again) return "Another run is busy with the mirror folder " + mirror;
  return "Cannot lock the mirror folder " + mirror + ": " + describeError(ec);
}

std::string SyncEngine::runLogFolder(const std::string& master, const std::string& mirror) {
  const std::string& settings = setup_.settingsFolder;
  // A log inside either tree would be part of the run it records.
  if (setup_.perUserFolder.empty() || settings.empty()) return settings;
  const std::string folder = withoutTrailingSeparator(settings);
  if (liesWithin(folder, master) || liesWithin(folder, mirror)) return setup_.perUserFolder;
  return settings;
}

bool SyncEngine::folderHasEntries(const std::string& folder) {
  std::vector<DirEntry> entries;
  if (fs_.listFolder(folder, entries, ListingDetail::NamesAndKinds)) return false;
  for (const auto& e : entries) {
    if (!e.isDotEntry()) return true;
  }
  return false;
}

long long SyncEngine::countEntries(const std::string& folder) {
  std::vector<DirEntry> entries;
  if (fs_.listFolder(folder, entries, ListingDetail::NamesAndKinds)) return 0;
  long long count = 0;
  for (const auto& e : entries) {
    if (e.isDotEntry()) continue;
    ++count;
    if (e.isFolder()) count += countEntries(joinPath(folder, e.Name));
  }
  return count;
}

}  // namespace vardell
