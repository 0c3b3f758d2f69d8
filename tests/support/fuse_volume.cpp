// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// Volumes of foreign file systems in image files, mounted through their FUSE drivers.
#include "tests/support/fuse_volume.h"
#include "tests/support/spawn_program.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

extern char** environ;

namespace vardell::test {

namespace {

constexpr off_t kImageSize = 64 << 20;

// The full path of an installed program, looked up along PATH and the administrators'
// folders (mkfs tools live in sbin, which a test's PATH may lack); empty when not found.
std::string findProgram(const std::string& name) {
  std::string folders = std::getenv("PATH") ? std::getenv("PATH") : "";
  folders += ":/usr/local/sbin:/usr/sbin:/sbin:/usr/bin:/bin";
  std::stringstream list(folders);
  for (std::string folder; std::getline(list, folder, ':');) {
    if (folder.empty()) continue;
    const std::string candidate = folder + "/" + name;
    if (::access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return {};
}

std::string readText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Starts a program with stdin from /dev/null and stdout and stderr into `output`; returns its
// process id, or -1 when it could not be started.
pid_t startProgram(const std::vector<std::string>& args, const std::string& output) {
  const std::string program = findProgram(args.front());
  if (program.empty()) return -1;
  std::vector<std::string> all = args;
  all.front() = program;
  return spawnProgram(all, output);
}

struct ToolResult {
  int exitCode = -1;   // -1 when the tool could not be started or was killed
  std::string output;  // stdout and stderr together
};

ToolResult runTool(const std::vector<std::string>& args, const std::string& output) {
  ToolResult result;
  const pid_t pid = startProgram(args, output);
  if (pid < 0) {
    result.output = "cannot start " + args.front();
    return result;
  }
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
  result.output = readText(output);
  ::unlink(output.c_str());
  return result;
}

// True when `folder` is the root of a mount of its own (its device differs from its
// parent's). A mount whose driver has died answers ENOTCONN and counts as not mounted.
bool isMountPoint(const std::string& folder) {
  struct stat self {}, parent {};
  if (::stat(folder.c_str(), &self) != 0) return false;
  if (::stat((folder + "/..").c_str(), &parent) != 0) return false;
  return self.st_dev != parent.st_dev;
}

// Waits up to `limit` for `pid` to end; true when it ended.
bool waitForExit(pid_t pid, std::chrono::seconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (true) {
    int status = 0;
    const pid_t done = ::waitpid(pid, &status, WNOHANG);
    if (done == pid || (done < 0 && errno == ECHILD)) return true;
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

std::string trimmed(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  return text;
}

}  // namespace

const char* volumeKindName(VolumeKind kind) {
  switch (kind) {
    case VolumeKind::ExFat: return "exFAT";
    case VolumeKind::Fat32: return "FAT32";
    case VolumeKind::Ntfs: return "NTFS";
    case VolumeKind::Rclone: return "rclone";
  }
  return "?";
}

std::string FuseVolume::missingRequirement(VolumeKind kind) {
  if (::geteuid() != 0) return "root (making loop devices and unmounting need it)";
  if (::access("/dev/fuse", R_OK | W_OK) != 0) return "/dev/fuse";
  std::vector<std::string> programs;
  switch (kind) {
    case VolumeKind::ExFat: programs = {"mkfs.exfat", "mount.exfat-fuse", "losetup"}; break;
    case VolumeKind::Fat32: programs = {"mkfs.vfat", "fusefat"}; break;
    case VolumeKind::Ntfs: programs = {"mkntfs", "ntfs-3g"}; break;
    case VolumeKind::Rclone: programs = {"rclone", "fusermount3"}; break;
  }
  for (const auto& program : programs) {
    if (findProgram(program).empty()) return "the program " + program;
  }
  if (kind == VolumeKind::ExFat) {
    if (::access("/dev/loop-control", R_OK | W_OK) != 0) return "/dev/loop-control (loop devices)";
    char scratch[] = "/tmp/vardell-loop-XXXXXX";
    const int fd = ::mkstemp(scratch);
    if (fd < 0) return "a writable /tmp";
    ::close(fd);
    const ToolResult free = runTool({"losetup", "-f"}, std::string(scratch) + ".out");
    ::unlink(scratch);
    if (free.exitCode != 0) return "a free loop device (" + trimmed(free.output) + ")";
  }
  return {};
}

FuseVolume::FuseVolume(VolumeKind kind, std::string image, std::string where)
    : kind_(kind), image_(std::move(image)), where_(std::move(where)) {
  ::mkdir(where_.c_str(), 0755);
  if (kind_ == VolumeKind::Rclone) {
    if (::mkdir(image_.c_str(), 0755) != 0) {
      fail(image_ + ": " + std::strerror(errno));
      return;
    }
    mount();
    return;
  }
  const int fd = ::open(image_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0 || ::ftruncate(fd, kImageSize) != 0) {
    fail(image_ + ": " + std::strerror(errno));
    if (fd >= 0) ::close(fd);
    return;
  }
  ::close(fd);
  std::vector<std::string> format;
  switch (kind_) {
    case VolumeKind::ExFat: format = {"mkfs.exfat", image_}; break;
    case VolumeKind::Fat32: format = {"mkfs.vfat", "-F", "32", image_}; break;
    case VolumeKind::Ntfs: format = {"mkntfs", "-F", "-Q", image_}; break;
  }
  const ToolResult made = runTool(format, image_ + ".mkfs");
  if (made.exitCode != 0) {
    fail(format.front() + " failed: " + made.output);
    return;
  }
  mount();
}

FuseVolume::~FuseVolume() {
  if (mounted() && !unmount()) {
    ADD_FAILURE() << "could not unmount " << where_ << ": " << failure_;
    // Never leave the test's folder tree reaching into a volume that its removal would walk.
    ::umount2(where_.c_str(), MNT_DETACH);
    ::kill(driver_, SIGKILL);
    waitForExit(driver_, std::chrono::seconds(10));
    driver_ = -1;
  }
  if (!loopDevice_.empty() && !detachLoopDevice()) ADD_FAILURE() << failure_;
}

bool FuseVolume::fail(std::string why) {
  failure_ = std::move(why);
  return false;
}

bool FuseVolume::mount() {
  if (mounted()) return true;
  std::vector<std::string> driver;
  std::string log = image_ + ".driver";
  switch (kind_) {
    case VolumeKind::ExFat: {
      // As root this driver takes only a block device, and it stays in the foreground only
      // with its debug output on, which is of no use here.
      const ToolResult attached = runTool({"losetup", "-f", "--show", image_}, image_ + ".losetup");
      if (attached.exitCode != 0) return fail("losetup failed: " + attached.output);
      loopDevice_ = trimmed(attached.output);
      driver = {"mount.exfat-fuse", "-d", loopDevice_, where_};
      log = "/dev/null";
      break;
    }
    case VolumeKind::Fat32: driver = {"fusefat", "-f", "-o", "rw+", image_, where_}; break;
    case VolumeKind::Ntfs: driver = {"ntfs-3g", "-o", "no_detach", image_, where_}; break;
    case VolumeKind::Rclone:
      // As a user mounts cloud storage: the write cache lets a file be written anywhere and
      // renamed while open. Nothing is read from or written to the user's own rclone setup.
      driver = {"rclone", "mount", image_, where_, "--vfs-cache-mode", "writes", "--cache-dir", image_ + ".cache",
                "--config", image_ + ".conf"};
      break;
  }
  const pid_t pid = startProgram(driver, log);
  if (pid < 0) return fail("cannot start " + driver.front());
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!isMountPoint(where_)) {
    int status = 0;
    if (::waitpid(pid, &status, WNOHANG) == pid) {
      const std::string output = log == "/dev/null" ? std::string() : readText(log);
      detachLoopDevice();
      return fail(driver.front() + " ended without mounting: " + output);
    }
    if (std::chrono::steady_clock::now() > end) {
      ::kill(pid, SIGKILL);
      waitForExit(pid, std::chrono::seconds(10));
      detachLoopDevice();
      return fail(driver.front() + " did not mount " + where_);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  driver_ = pid;
  return true;
}

bool FuseVolume::unmount() {
  if (!mounted()) return true;
  // A run that just ended may still hold the volume for a moment (a closing descriptor).
  int result = -1;
  for (int attempt = 0; attempt < 200; ++attempt) {
    result = ::umount2(where_.c_str(), 0);
    if (result == 0 || errno != EBUSY) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
  }
  if (result != 0) return fail(std::string("umount: ") + std::strerror(errno));
  // The driver writes what it still holds into the image when the kernel lets it go, and
  // ends after that: only then is the image complete.
  if (!waitForExit(driver_, std::chrono::seconds(60))) return fail("the driver did not end after unmounting");
  driver_ = -1;
  if (isMountPoint(where_)) return fail(where_ + " is still a mount point");
  return detachLoopDevice();
}

bool FuseVolume::detachLoopDevice() {
  if (loopDevice_.empty()) return true;
  const ToolResult detached = runTool({"losetup", "-d", loopDevice_}, image_ + ".losetup");
  if (detached.exitCode != 0) return fail("losetup -d " + loopDevice_ + " failed: " + detached.output);
  loopDevice_.clear();
  return true;
}

}  // namespace vardell::test
