// Moving files to the freedesktop.org trash: files/ holds the object, info/ its
// .trashinfo with the original path and the deletion date.
#include "platform/trash.h"

#include "platform/path_text.h"
#include "platform/tree_access_posix.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>

namespace vardell {
namespace {

std::error_code lastError() { return std::error_code(errno, std::generic_category()); }

std::string dataHome() {
  const char* xdg = std::getenv("XDG_DATA_HOME");
  if (xdg && xdg[0] == '/') return xdg;
  const char* home = std::getenv("HOME");
  return std::string(home && home[0] ? home : "/root") + "/.local/share";
}

// Creates path and its missing parents with the given mode.
std::error_code makeFolders(const std::string& path, mode_t mode) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) == 0) {
    return S_ISDIR(st.st_mode) ? std::error_code{} : std::make_error_code(std::errc::not_a_directory);
  }
  const auto slash = path.find_last_of('/');
  if (slash != std::string::npos && slash > 0) {
    if (auto ec = makeFolders(path.substr(0, slash), 0700)) return ec;
  }
  if (::mkdir(path.c_str(), mode) != 0 && errno != EEXIST) return lastError();
  return {};
}

// The mount point of the volume holding the folder `folder` (a real path).
std::string topDirectoryOf(const std::string& folder, dev_t device) {
  std::string top = folder;
  while (top != "/") {
    const std::string up = parentFolder(top);
    struct stat st {};
    if (::stat(up.c_str(), &st) != 0 || st.st_dev != device) break;
    top = up;
  }
  return top;
}

std::string percentEncode(const std::string& path) {
  static const char digits[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(path.size());
  for (const unsigned char c : path) {
    const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '/' ||
                       c == '-' || c == '_' || c == '.' || c == '~';
    if (plain) {
      out += char(c);
    } else {
      out += '%';
      out += digits[c >> 4];
      out += digits[c & 15];
    }
  }
  return out;
}

std::string deletionDate() {
  const time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
  return text;
}

// Picks the trash folder for an object on `device` whose folder's real path is `folder`,
// passing over trash folders that lie inside the run's trees. `relativeTo` receives the
// top directory when the trash lives there (paths in its .trashinfo files are then
// relative to it), or stays empty for the home trash.
std::error_code chooseTrash(const posix::TreeAccess& trees, const std::string& folder, dev_t device,
                            std::string& trash, std::string& relativeTo) {
  const std::string home = dataHome();
  if (!trees.containsFolder(home + "/Trash/files") && !trees.containsFolder(home + "/Trash/info")) {
    if (auto ec = makeFolders(home, 0700)) return ec;
    struct stat homeStat {};
    if (::stat(home.c_str(), &homeStat) == 0 && homeStat.st_dev == device) {
      trash = home + "/Trash";
      relativeTo.clear();
      return {};
    }
  }
  const std::string top = topDirectoryOf(folder, device);
  const std::string uid = std::to_string(::getuid());
  const std::string base = top == "/" ? "" : top;
  struct stat admin {};
  const bool adminTrash = ::lstat((base + "/.Trash").c_str(), &admin) == 0 && S_ISDIR(admin.st_mode) &&
                          (admin.st_mode & S_ISVTX) && !trees.containsFolder(base + "/.Trash");
  trash = adminTrash ? base + "/.Trash/" + uid : base + "/.Trash-" + uid;
  if (adminTrash && (trees.containsFolder(trash + "/files") || trees.containsFolder(trash + "/info"))) {
    trash = base + "/.Trash-" + uid;
  }
  if (trees.containsFolder(trash + "/files") || trees.containsFolder(trash + "/info")) {
    return make_error_code(TreeError::NoTrashOutsideTrees);
  }
  struct stat existing {};
  if (::lstat(trash.c_str(), &existing) == 0) {
    if (!S_ISDIR(existing.st_mode) || existing.st_uid != ::getuid()) return std::make_error_code(std::errc::permission_denied);
  } else if (::mkdir(trash.c_str(), 0700) != 0) {
    return lastError();
  }
  relativeTo = top;
  return {};
}

// Creates info/<name>.trashinfo exclusively under the first free name; `name` gets it.
std::error_code writeTrashInfo(const std::string& trash, const std::string& base, const std::string& originalPath,
                               std::string& name) {
  std::string stem = base.size() > 200 ? base.substr(0, 200) : base;
  const std::string content = "[Trash Info]\nPath=" + percentEncode(originalPath) + "\nDeletionDate=" + deletionDate() + "\n";
  for (int n = 1; n < 100000; ++n) {
    name = n == 1 ? stem : stem + "." + std::to_string(n);
    struct stat st {};
    if (::lstat((trash + "/files/" + name).c_str(), &st) == 0) continue;
    const std::string info = trash + "/info/" + name + ".trashinfo";
    const int fd = ::open(info.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return lastError();
    }
    const bool written = ::write(fd, content.data(), content.size()) == ssize_t(content.size());
    if (::close(fd) != 0 || !written) {
      const auto ec = written ? lastError() : std::make_error_code(std::errc::no_space_on_device);
      ::unlink(info.c_str());
      return ec;
    }
    return {};
  }
  return std::make_error_code(std::errc::file_exists);
}


// The path recorded for restoring: below a tree, the tree's real root and the entry's
// path below it (never what a link might now resolve to); elsewhere the real folder.
}  // namespace

std::error_code recordedPathOf(const posix::TreeAccess& trees, const std::string& path, std::string& original) {
  std::string relative;
  if (const posix::TreeRoot* root = trees.treeOf(path, relative); root && !relative.empty() && root->handle) {
    original = joinPath(root->realPath, relative);
    return {};
  }
  char resolved[PATH_MAX];
  if (!::realpath(parentFolder(path).c_str(), resolved)) return lastError();
  original = joinPath(resolved, lastComponent(path));
  return {};
}

std::error_code trashEntry(const posix::TreeAccess& trees, const std::string& path, TrashAction action) {
  posix::Place place;
  if (auto ec = trees.locate(path, place)) return ec;
  std::string original;
  if (auto ec = recordedPathOf(trees, path, original)) return ec;
  struct stat trashed {};
  return trashEntryAt(trees, place.folder, place.name, original, action, trashed);
}

std::error_code trashEntryAt(const posix::TreeAccess& trees, int folder, const std::string& entry,
                             const std::string& original, TrashAction action, struct stat& trashed) {
  if (::fstatat(folder, entry.c_str(), &trashed, AT_SYMLINK_NOFOLLOW) != 0) return lastError();
  std::string trash, top;
  if (auto ec = chooseTrash(trees, parentFolder(original), trashed.st_dev, trash, top)) return ec;
  if (auto ec = makeFolders(trash + "/files", 0700)) return ec;
  if (auto ec = makeFolders(trash + "/info", 0700)) return ec;

  const std::string recorded = top.empty() || top == "/" ? original : original.substr(top.size() + 1);
  std::string name;
  if (auto ec = writeTrashInfo(trash, lastComponent(original), recorded, name)) return ec;
  const posix::UniqueFd files(::open((trash + "/files").c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  const int moved = !files ? -1
                    : action == TrashAction::Move
                        ? ::renameat(folder, entry.c_str(), files.get(), name.c_str())
                        : ::linkat(folder, entry.c_str(), files.get(), name.c_str(), 0);
  if (moved != 0) {
    const auto ec = lastError();
    ::unlink((trash + "/info/" + name + ".trashinfo").c_str());
    return ec;
  }
  return {};
}

}  // namespace vardell
