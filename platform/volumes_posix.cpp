// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// Volumes from /proc/self/mountinfo.
#include "platform/volumes.h"

#include "platform/path_text.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace vardell {
namespace {

// mountinfo escapes blanks and backslashes in octal (\040).
std::string unescapeMountField(const std::string& field) {
  std::string out;
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size()) {
      const std::string octal = field.substr(i + 1, 3);
      if (octal.find_first_not_of("01234567") == std::string::npos) {
        out += char(std::strtol(octal.c_str(), nullptr, 8));
        i += 3;
        continue;
      }
    }
    out += field[i];
  }
  return out;
}

// Every mount in the order the system lists them; with `checkReady` each is examined for
// whether it can be read, which costs two system calls a mount.
std::vector<Volume> allMounts(bool checkReady = true) {
  std::vector<Volume> mounts;
  std::ifstream in("/proc/self/mountinfo");
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string id, parent, majorMinor, root, mountPoint, token;
    fields >> id >> parent >> majorMinor >> root >> mountPoint;
    while (fields >> token && token != "-") {
    }
    Volume v;
    fields >> v.fsType;
    v.mountPoint = unescapeMountField(mountPoint);
    v.fileSystem = majorMinor;
    v.mountId = std::strtoull(id.c_str(), nullptr, 10);
    v.source = unescapeMountField(root);
    v.tag = volumeTag(v.mountPoint);
    if (checkReady) {
      struct stat st {};
      v.ready = ::stat(v.mountPoint.c_str(), &st) == 0 && ::access(v.mountPoint.c_str(), R_OK | X_OK) == 0;
      v.device = v.ready ? std::uint64_t(st.st_dev) : 0;
    }
    mounts.push_back(std::move(v));
  }
  return mounts;
}

bool userCares(const Volume& v) {
  static const char* const skipped[] = {"proc", "sysfs", "cgroup", "cgroup2", "devtmpfs", "devpts", "mqueue",
                                        "debugfs", "tracefs", "securityfs", "pstore", "bpf", "configfs",
                                        "fusectl", "hugetlbfs", "autofs", "binfmt_misc", "efivarfs"};
  for (const char* type : skipped) {
    if (v.fsType == type) return false;
  }
  const std::string& m = v.mountPoint;
  return m == "/" || m == "/home" || m.rfind("/home/", 0) == 0 || m.rfind("/media/", 0) == 0 ||
         m.rfind("/run/media/", 0) == 0 || m.rfind("/mnt/", 0) == 0;
}

bool contains(const std::string& mountPoint, const std::string& path) {
  if (mountPoint == "/") return true;
  return path == mountPoint || isBelow(path, mountPoint);
}

// The real path of path, or of its nearest existing ancestor.
std::string realLocation(std::string path) {
  char resolved[PATH_MAX];
  while (!path.empty()) {
    if (::realpath(path.c_str(), resolved)) return resolved;
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) break;
    path = slash == 0 ? "/" : path.substr(0, slash);
    if (path == "/") return "/";
  }
  return "/";
}

}  // namespace

std::string volumeTag(const std::string& mountPoint) {
  if (mountPoint.empty() || mountPoint == "/") return "root";
  std::string last = mountPoint.substr(mountPoint.find_last_of('/') + 1);
  for (char& c : last) {
    const bool kept = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' ||
                      c == '_' || c == '-';
    if (!kept) c = '_';
  }
  return last.empty() ? "root" : last;
}

std::vector<Volume> listVolumes() {
  std::vector<Volume> volumes;
  for (auto& v : allMounts()) {
    if (!userCares(v)) continue;
    bool seen = false;
    for (auto& known : volumes) {
      if (known.mountPoint == v.mountPoint) {
        known = v;  // a later mount on the same point hides the earlier one
        seen = true;
      }
    }
    if (!seen) volumes.push_back(std::move(v));
  }
  return volumes;
}

Volume volumeOf(const std::string& path) {
  const std::string real = realLocation(path.empty() ? "/" : path);
  Volume best;
  best.mountPoint = "/";
  best.tag = "root";
  for (auto& v : allMounts()) {
    if (contains(v.mountPoint, real) && v.mountPoint.size() >= best.mountPoint.size()) best = v;
  }
  return best;
}

Volume systemVolume() { return volumeOf("/"); }

bool isOnSystemVolume(const std::string& path) {
  struct stat folder {}, system {};
  if (::stat(realLocation(path.empty() ? "/" : path).c_str(), &folder) != 0 || ::stat("/", &system) != 0) return false;
  return folder.st_dev == system.st_dev;
}

std::vector<Volume> mountTable() { return allMounts(false); }

FileSystemLocation locationBelowMount(const Volume& mount, const std::string& realPath) {
  const std::string rest = mount.mountPoint == "/" ? realPath.substr(1)
                                                   : realPath.substr(std::min(realPath.size(), mount.mountPoint.size() + 1));
  std::string inside = mount.source.empty() ? "/" : mount.source;
  if (!rest.empty()) inside = inside == "/" ? "/" + rest : inside + "/" + rest;
  return {mount.fileSystem, inside};
}

bool locationWithin(const FileSystemLocation& inner, const FileSystemLocation& outer) {
  if (inner.fileSystem != outer.fileSystem) return false;
  const std::string& o = outer.path;
  return inner.path == o || o == "/" || isBelow(inner.path, o);
}

FileSystemLocation locationInFileSystem(const std::string& realPath) {
  Volume best;
  best.mountPoint = "/";
  best.source = "/";
  for (auto& v : allMounts(false)) {
    // A later mount on the same point hides the earlier one.
    if (contains(v.mountPoint, realPath) && v.mountPoint.size() >= best.mountPoint.size()) best = v;
  }
  return locationBelowMount(best, realPath);
}

bool isVolumeRoot(const std::string& path) {
  struct stat self {}, parent {};
  if (::stat(path.c_str(), &self) != 0) return false;
  const std::string up = path == "/" ? "/" : path + "/..";
  if (::stat(up.c_str(), &parent) != 0) return false;
  return self.st_dev != parent.st_dev || self.st_ino == parent.st_ino;
}

}  // namespace vardell
