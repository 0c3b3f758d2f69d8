// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// The program's own folders on POSIX.
#include "platform/folders.h"

#include "platform/path_text.h"
#include "platform/posix_services.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <climits>
#include <cstdlib>

#ifndef VARDELL_INSTALL_BINDIR
#define VARDELL_INSTALL_BINDIR ""
#endif

namespace vardell {
namespace {

std::string programFile() {
  char buffer[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  return n > 0 ? std::string(buffer, std::size_t(n)) : std::string();
}

std::string withSlash(std::string folder) {
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

std::string withoutTrailingSlash(std::string folder) {
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}

bool isAtOrBelow(const std::string& folder, const std::string& prefix) {
  const std::string inner = withoutTrailingSlash(folder);
  const std::string outer = withoutTrailingSlash(prefix);
  return inner == outer || isBelow(inner, outer);
}

std::string homeFolder() {
  const char* home = std::getenv("HOME");
  if (home && home[0] == '/') return home;
  const passwd* user = ::getpwuid(::getuid());
  return user && user->pw_dir && user->pw_dir[0] == '/' ? user->pw_dir : "/";
}

// An XDG base folder: the variable when it holds a full path (a relative one is to be
// ignored), else its default below the home folder.
std::string baseFolder(const char* variable, const char* fallbackBelowHome) {
  const char* value = std::getenv(variable);
  if (value && value[0] == '/') return withoutTrailingSlash(value);
  return joinPath(homeFolder(), fallbackBelowHome);
}

std::string privateTemporaryFolder() { return "/tmp/vardell-" + std::to_string(::geteuid()) + "/"; }

bool isUsersFolder(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid();
}

std::string runtimeFolder() {
  const char* xdg = std::getenv("XDG_RUNTIME_DIR");
  struct stat st {};
  if (xdg && xdg[0] == '/' && ::stat(xdg, &st) == 0 && S_ISDIR(st.st_mode)) {
    return withSlash(joinPath(withoutTrailingSlash(xdg), "vardell"));
  }
  const std::string session = "/run/user/" + std::to_string(::geteuid());
  if (isUsersFolder(session)) return session + "/vardell/";
  return privateTemporaryFolder();
}

bool isPortableCopy(const std::string& file, const std::string& folder) {
  struct stat st {};
  return !file.empty() && ::stat(file.c_str(), &st) == 0 && st.st_uid == ::geteuid() &&
         ::access(folder.c_str(), W_OK) == 0 && !isInstalledProgramFolder(folder);
}

void addOnce(std::vector<std::string>& folders, const std::string& folder) {
  for (const std::string& known : folders) {
    if (known == folder) return;
  }
  folders.push_back(folder);
}

// A shared folder such as /tmp lets anyone make a name first; a folder of ours there is
// used only when nobody else can reach into it.
bool mustBePrivate(const std::string& folder) { return isAtOrBelow(folder, "/tmp") || isAtOrBelow(folder, "/var/tmp"); }

// A folder of the user's own; one that must be private is made so when it is about to be used.
std::error_code checkFolderIsOurs(int fd, const std::string& folder, posix::OwnFolderUse use) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) return posix::lastError();
  if (st.st_uid != ::geteuid()) return std::make_error_code(std::errc::permission_denied);
  if (use == posix::OwnFolderUse::Make && mustBePrivate(folder) && (st.st_mode & 077) != 0 &&
      ::fchmod(fd, 0700) != 0) {
    return posix::lastError();
  }
  return {};
}

}  // namespace

bool isInstalledProgramFolder(const std::string& folder) {
  static constexpr std::array<const char*, 7> systemPrefixes{"/usr", "/opt", "/bin", "/sbin", "/snap", "/app", "/nix"};
  for (const char* prefix : systemPrefixes) {
    if (isAtOrBelow(folder, prefix)) return true;
  }
  const std::string built = VARDELL_INSTALL_BINDIR;
  if (!built.empty() && isAtOrBelow(folder, built)) return true;
  const std::string name = lastComponent(withoutTrailingSlash(folder));
  return name == "bin" || name == "sbin";  // <prefix>/bin, wherever the prefix is
}

void dropUnusableRuntimeVariable() {
  const char* value = std::getenv("XDG_RUNTIME_DIR");
  struct stat st {};
  if (value && (value[0] != '/' || ::stat(value, &st) != 0 || !S_ISDIR(st.st_mode))) ::unsetenv("XDG_RUNTIME_DIR");
}

OwnFolders ownFolders() {
  const std::string file = programFile();
  const auto slash = file.find_last_of('/');
  OwnFolders folders;
  folders.program = slash == std::string::npos ? "./" : file.substr(0, slash + 1);
  const bool portable = isPortableCopy(file, folders.program);
  folders.runtime = runtimeFolder();
  folders.fallback = privateTemporaryFolder();
  folders.settings = portable ? folders.program : withSlash(joinPath(baseFolder("XDG_CONFIG_HOME", ".config"), "vardell"));
  if (portable) folders.runLogs.push_back(folders.program);
  addOnce(folders.runLogs, withSlash(joinPath(baseFolder("XDG_STATE_HOME", ".local/state"), "vardell")));
  addOnce(folders.runLogs, folders.runtime);
  addOnce(folders.runLogs, folders.fallback);
  return folders;
}

namespace posix {

UniqueFd openOwnFolder(const std::string& path, const std::function<bool(int folder)>& insideTrees,
                       OwnFolderUse use, std::error_code& ec) {
  if (path.empty() || path[0] != '/') {
    ec = std::make_error_code(std::errc::invalid_argument);
    return {};
  }
  // Resolved by its text first: a ".." after a missing name would make that name on the way.
  const std::string folder = lexicallyNormal(path);
  // The nearest folder that exists. The own folder itself is never reached through a
  // link; the folders above it are the user's own layout (~/.config may be a link).
  std::vector<std::string> missing;
  std::string existing = folder;
  UniqueFd fd;
  for (;;) {
    const int noFollow = missing.empty() ? O_NOFOLLOW : 0;
    fd = UniqueFd(::open(existing.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | noFollow));
    if (fd) break;
    if (errno != ENOENT || existing == "/") {
      ec = lastError();
      struct stat st {};
      // O_DIRECTORY answers a link with "not a folder"; say what it is.
      if (noFollow && errno == ENOTDIR && ::lstat(existing.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        ec = std::make_error_code(std::errc::too_many_symbolic_link_levels);
      }
      return {};
    }
    missing.push_back(lastComponent(existing));
    existing = parentFolder(existing);
  }
  if (insideTrees && insideTrees(fd.get())) {
    ec = make_error_code(TreeError::OwnFolderInsideTrees);
    return {};
  }
  if (use == OwnFolderUse::Check) {
    ec = missing.empty() ? checkFolderIsOurs(fd.get(), folder, use) : std::error_code();
    return ec ? UniqueFd() : std::move(fd);
  }
  for (auto name = missing.rbegin(); name != missing.rend(); ++name) {
    if (::mkdirat(fd.get(), name->c_str(), 0700) != 0 && errno != EEXIST) {
      ec = lastError();
      return {};
    }
    UniqueFd below(::openat(fd.get(), name->c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!below) {
      ec = lastError();
      return {};
    }
    fd = std::move(below);
  }
  ec = checkFolderIsOurs(fd.get(), folder, use);
  if (ec) return {};
  return fd;
}

}  // namespace posix

namespace {

std::error_code openOwnFolderOutside(const std::string& folder, const std::vector<std::string>& trees, std::string& tree,
                                     posix::OwnFolderUse use) {
  tree.clear();
  std::error_code ec;
  const posix::UniqueFd fd = posix::openOwnFolder(folder, [&](int opened) {
    for (const std::string& root : trees) {
      if (root.empty() || root[0] != '/') continue;
      posix::TreeAccess access;
      if (access.enter(FolderTrees{{withoutTrailingSlash(root)}, {}}) || !access.holdsFolder(opened)) continue;
      tree = root;
      return true;
    }
    return false;
  }, use, ec);
  return ec;
}

}  // namespace

std::error_code prepareOwnFolder(const std::string& folder, const std::vector<std::string>& trees, std::string& tree) {
  return openOwnFolderOutside(folder, trees, tree, posix::OwnFolderUse::Make);
}

std::error_code checkOwnFolder(const std::string& folder, const std::vector<std::string>& trees, std::string& tree) {
  return openOwnFolderOutside(folder, trees, tree, posix::OwnFolderUse::Check);
}

}  // namespace vardell
