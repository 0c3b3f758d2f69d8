// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// A mirror on cloud storage reached through `rclone mount` (a local folder standing for the
// cloud): the volume has no hard links and answers them with EIO, yet replaced files go to
// its trash, every run ends with exit 0 and the mirror converges, also in the cloud itself.
#include "tests/support/cli_run.h"
#include "tests/support/fuse_volume.h"
#include "tests/support/temp_tree.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <thread>

using namespace vardell::test;

namespace {

using Lines = std::vector<std::string>;

constexpr int kFolders = 10;
constexpr int kFilesPerFolder = 50;

Lines linesOf(const std::string& text) {
  Lines lines;
  std::stringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

int linesStartingWith(const std::string& text, const std::string& start) {
  int count = 0;
  for (const std::string& line : linesOf(text)) count += line.rfind(start, 0) == 0 ? 1 : 0;
  return count;
}

// Each entry's last-write time to the nanosecond, by its place in the listing.
std::map<std::string, std::int64_t> timesBelow(const TempTree& tree, const std::string& relative) {
  std::map<std::string, std::int64_t> times;
  for (const std::string& entry : tree.listing(relative)) {
    const std::string name = entry.substr(0, entry.find('='));
    struct stat st {};
    if (name.back() == '/' || ::lstat(tree.path(relative + "/" + name).c_str(), &st) != 0) continue;
    times[name] = std::int64_t(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
  }
  return times;
}

struct RcloneMirror : ::testing::Test {
  TempTree tree;  // declared first: it outlives the mount inside it
  int runs = 0;

  RcloneMirror() {
    tree.makeFolder("home");
    tree.makeFolder("run");
    ::chmod(tree.path("run").c_str(), 0700);
    // The home trash and the run logs go below this home, never into the user's own.
    ::setenv("HOME", tree.path("home").c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", tree.path("run").c_str(), 1);
    for (const char* name : {"XDG_DATA_HOME", "XDG_STATE_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME"}) {
      ::unsetenv(name);
    }
  }

  std::string master() const { return tree.path("Photos"); }
  std::string mirror() const { return tree.path("cloud/Photos"); }

  CliRun runCli(const std::string& command, const Lines& options = {}) {
    Lines args{command, "--color", "never"};
    args.insert(args.end(), options.begin(), options.end());
    args.insert(args.end(), {master(), mirror()});
    return runVardellCli(args, tree.path("run" + std::to_string(++runs)));
  }

  static std::string fileName(int folder, int file) {
    return "album " + std::to_string(folder) + "/photo " + std::to_string(folder) + "-" + std::to_string(file) + ".jpg";
  }

  // Five hundred files of a few KiB in ten folders, dated in the past.
  void makeMaster() {
    for (int folder = 0; folder < kFolders; ++folder) {
      for (int file = 0; file < kFilesPerFolder; ++file) {
        const std::string content(std::size_t(1000 + 97 * file + 13 * folder), char('a' + (file + folder) % 26));
        tree.writeFile("Photos/" + fileName(folder, file), content, TempTree::kDefaultTime - 3600 * (file + 1));
      }
    }
  }

  // The entries whose names, bytes or times differ between the master and `copy`.
  std::set<std::string> differencesFrom(const std::string& copy) const {
    std::set<std::string> differing;
    for (const auto& [a, b] : {std::pair{tree.listing("Photos"), tree.listing(copy)},
                               std::pair{tree.listing(copy), tree.listing("Photos")}}) {
      std::set_difference(a.begin(), a.end(), b.begin(), b.end(), std::inserter(differing, differing.end()));
    }
    const auto masterTimes = timesBelow(tree, "Photos");
    for (const auto& [name, time] : timesBelow(tree, copy)) {
      if (masterTimes.count(name) && masterTimes.at(name) != time) differing.insert(name + " (its time)");
    }
    return differing;
  }

  // The mirror holds the master's names and bytes, each file with the master's time.
  void expectMirrorEqualsMaster(const std::string& copy, const char* when) {
    const std::set<std::string> differing = differencesFrom(copy);
    EXPECT_TRUE(differing.empty()) << when << ", " << differing.size() << " entries differ, the first "
                                   << differing.begin()->substr(0, 80);
  }

  // rclone uploads a written file a few seconds after it is closed (and not at all when
  // it is unmounted before then): waits, up to a minute, until the cloud holds the master.
  bool cloudCaughtUp() const {
    for (int tenth = 0; tenth < 600; ++tenth) {
      if (differencesFrom("backend/Photos").empty()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
  }
};

TEST_F(RcloneMirror, ReplacesRemovesAndAddsIntoTheVolumesTrashAndConverges) {
  const std::string missing = FuseVolume::missingRequirement(VolumeKind::Rclone);
  if (!missing.empty()) GTEST_SKIP() << "a mirror on an rclone mount needs " << missing << ", which is missing";
  makeMaster();
  const Lines masterBefore = tree.snapshot("Photos");

  FuseVolume cloud(VolumeKind::Rclone, tree.path("backend"), tree.path("cloud"));
  ASSERT_TRUE(cloud.mounted()) << cloud.failure();
  ASSERT_EQ(::mkdir(mirror().c_str(), 0755), 0) << std::strerror(errno);

  const CliRun first = runCli("sync");
  EXPECT_EQ(first.exitCode, 0) << first.out << first.err;
  EXPECT_EQ(linesStartingWith(first.out, "Copy completed"), kFolders * kFilesPerFolder) << first.out;
  expectMirrorEqualsMaster("cloud/Photos", "after the first Sync");
  const CliRun compared = runCli("compare");
  EXPECT_EQ(compared.exitCode, 0) << compared.out << compared.err;
  EXPECT_NE(compared.out.find("Folders match"), std::string::npos) << compared.out;
  const CliRun idle = runCli("sync");
  EXPECT_EQ(idle.exitCode, 0) << idle.out << idle.err;
  EXPECT_EQ(linesStartingWith(idle.out, "Copying to"), 0) << "the second Sync copied again:\n" << idle.out;
  EXPECT_EQ(tree.snapshot("Photos"), masterBefore) << "a run wrote the master";

  // Changed, removed and added master files: each replaced and removed mirror file goes to
  // the volume's trash with its record, the old bytes kept.
  std::map<std::string, std::string> trashedBytes;  // trash name -> the mirror file's bytes before
  for (int folder = 0; folder < kFolders; ++folder) {
    for (int file : {1, 2}) {
      const std::string rel = fileName(folder, file);
      trashedBytes[rel.substr(rel.find('/') + 1)] = tree.readFile("cloud/Photos/" + rel);
      tree.writeFile("Photos/" + rel, "edited " + rel, TempTree::kDefaultTime);
    }
    const std::string removed = fileName(folder, 3);
    trashedBytes[removed.substr(removed.find('/') + 1)] = tree.readFile("cloud/Photos/" + removed);
    ASSERT_EQ(::unlink(tree.path("Photos/" + removed).c_str()), 0);
    tree.writeFile("Photos/" + fileName(folder, kFilesPerFolder), "added", TempTree::kDefaultTime);
  }
  tree.writeFile("Photos/new album/photo.jpg", "added", TempTree::kDefaultTime);
  const Lines masterChanged = tree.snapshot("Photos");

  const CliRun changes = runCli("sync");
  EXPECT_EQ(changes.exitCode, 0) << changes.out << changes.err;
  EXPECT_EQ(changes.out.find("failed"), std::string::npos) << changes.out;
  // Every changed or added file is copied once, and once only.
  EXPECT_EQ(linesStartingWith(changes.out, "Copying to"), kFolders * 3 + 1) << changes.out;
  EXPECT_EQ(linesStartingWith(changes.out, "Copy completed"), kFolders * 3 + 1) << changes.out;
  expectMirrorEqualsMaster("cloud/Photos", "after the Sync of the changes");

  const std::string trash = "cloud/.Trash-" + std::to_string(::getuid());
  std::map<std::string, std::string> inTrash;
  for (const std::string& entry : tree.listing(trash + "/files")) {
    const std::string name = entry.substr(0, entry.find('='));
    inTrash[name] = entry.substr(entry.find('=') + 1);
    const std::string info = tree.readFile(trash + "/info/" + name + ".trashinfo");
    EXPECT_EQ(info.rfind("[Trash Info]\nPath=Photos/album%20", 0), 0u) << name << ":\n" << info;
  }
  EXPECT_EQ(inTrash, trashedBytes);
  EXPECT_EQ(tree.listing(trash + "/info").size(), trashedBytes.size());

  const CliRun binary = runCli("compare", {"--type", "binary"});
  EXPECT_EQ(binary.exitCode, 0) << binary.out << binary.err;
  EXPECT_NE(binary.out.find("Folders match"), std::string::npos) << binary.out;
  const CliRun idleAgain = runCli("sync");
  EXPECT_EQ(idleAgain.exitCode, 0) << idleAgain.out << idleAgain.err;
  EXPECT_EQ(linesStartingWith(idleAgain.out, "Copying to"), 0) << idleAgain.out;

  // The cloud itself holds the mirror, times included, once rclone has uploaded it.
  EXPECT_TRUE(cloudCaughtUp());
  ASSERT_TRUE(cloud.unmount()) << cloud.failure();
  expectMirrorEqualsMaster("backend/Photos", "in the cloud after unmounting");
  EXPECT_EQ(tree.snapshot("Photos"), masterChanged) << "a run wrote the master";
}

}  // namespace
