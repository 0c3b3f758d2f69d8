// The program's folders on POSIX.
#include "platform/folders.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

namespace vardell {
namespace {

std::string programFile() {
  char buffer[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  return n > 0 ? std::string(buffer, std::size_t(n)) : std::string();
}

bool makePrivateFolders(const std::string& path) {
  for (std::size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
    ::mkdir(path.substr(0, slash).c_str(), 0700);
  }
  return ::mkdir(path.c_str(), 0700) == 0 || errno == EEXIST;
}

std::string configHome() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg && xdg[0] == '/') return xdg;
  const char* home = std::getenv("HOME");
  return std::string(home && home[0] ? home : "/root") + "/.config";
}

}  // namespace

std::string programFolder() {
  const std::string file = programFile();
  const auto slash = file.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : file.substr(0, slash);
}

// An installed program has its help page under ../share/doc/vardell; its bin/ folder is
// no place for settings and logs, whoever may write it.
bool isInstalled(const std::string& folder) {
  struct stat st {};
  return ::stat((folder + "/../share/doc/vardell").c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string settingsFolder() {
  const std::string file = programFile();
  const std::string folder = programFolder();
  struct stat st {};
  if (!file.empty() && ::stat(file.c_str(), &st) == 0 && st.st_uid == ::geteuid() &&
      ::access(folder.c_str(), W_OK) == 0 && !isInstalled(folder)) {
    return folder == "/" ? "/" : folder + "/";
  }
  return perUserSettingsFolder();
}

std::string perUserSettingsFolder() {
  const std::string own = configHome() + "/vardell";
  makePrivateFolders(own);
  return own + "/";
}

std::string runtimeFolder() {
  const char* xdg = std::getenv("XDG_RUNTIME_DIR");
  struct stat st {};
  if (xdg && xdg[0] == '/' && ::stat(xdg, &st) == 0 && S_ISDIR(st.st_mode) && ::access(xdg, W_OK) == 0) {
    return std::string(xdg) + "/";
  }
  const std::string own = configHome() + "/vardell/run";
  makePrivateFolders(own);
  return own + "/";
}

}  // namespace vardell
