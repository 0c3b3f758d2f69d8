// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// Where the program's own files live, and the folders made for them: from the environment
// a run starts in, never inside the trees, never through a link.
#include "platform/filesystem.h"
#include "platform/folders.h"
#include "tests/support/scoped_mount.h"
#include "tests/support/temp_tree.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <map>
#include <optional>

using namespace vardell;
using namespace vardell::test;

namespace {

// Sets environment variables for one test and puts the old values back afterwards.
class ScopedEnvironment {
 public:
  ~ScopedEnvironment() {
    for (const auto& [name, old] : saved_) {
      if (old) {
        ::setenv(name.c_str(), old->c_str(), 1);
      } else {
        ::unsetenv(name.c_str());
      }
    }
  }
  void set(const std::string& name, const std::optional<std::string>& value) {
    if (!saved_.count(name)) {
      const char* old = std::getenv(name.c_str());
      saved_[name] = old ? std::optional<std::string>(old) : std::nullopt;
    }
    if (value) {
      ::setenv(name.c_str(), value->c_str(), 1);
    } else {
      ::unsetenv(name.c_str());
    }
  }

 private:
  std::map<std::string, std::optional<std::string>> saved_;
};

mode_t modeOf(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 ? st.st_mode : 0;
}

TEST(OwnFolders, FollowTheXdgFoldersAndFallBackToTheHomeFolderAsCronGivesIt) {
  TempTree tree;
  ScopedEnvironment env;
  env.set("HOME", tree.path("home"));
  env.set("XDG_CONFIG_HOME", std::nullopt);
  env.set("XDG_STATE_HOME", std::nullopt);
  env.set("XDG_RUNTIME_DIR", tree.path("run"));
  tree.makeFolder("run");
  // The test program is a portable copy: it belongs to the user, in a folder it may write.
  OwnFolders folders = ownFolders();
  EXPECT_EQ(folders.settings, folders.program);
  EXPECT_EQ(folders.runtime, tree.path("run/vardell/"));
  EXPECT_EQ(folders.runLogs, (std::vector<std::string>{folders.program, tree.path("home/.local/state/vardell/"),
                                                       tree.path("run/vardell/"),
                                                       "/tmp/vardell-" + std::to_string(::geteuid()) + "/"}));

  env.set("XDG_STATE_HOME", tree.path("state"));
  env.set("XDG_CONFIG_HOME", "relative/config");  // not a full path: to be ignored
  env.set("XDG_RUNTIME_DIR", std::nullopt);
  folders = ownFolders();
  EXPECT_EQ(folders.runLogs.at(1), tree.path("state/vardell/"));
  const std::string session = "/run/user/" + std::to_string(::geteuid());
  struct stat st {};
  const bool sessionIsOurs = ::lstat(session.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid();
  EXPECT_EQ(folders.runtime, sessionIsOurs ? session + "/vardell/" : "/tmp/vardell-" + std::to_string(::geteuid()) + "/");
  EXPECT_TRUE(ownFolders().runLogs.size() >= 3u);
}

TEST(OwnFolders, InstalledIsToldFromTheProgramsPlaceNotFromItsDocumentation) {
  for (const char* folder : {"/usr/bin", "/usr/local/bin/", "/opt/vardell", "/bin", "/snap/vardell/12/bin",
                             "/home/u/prefix/bin", "/srv/tools/sbin"}) {
    EXPECT_TRUE(isInstalledProgramFolder(folder)) << folder;
  }
  for (const char* folder : {"/home/u/vardell", "/home/u/build", "/usr-local/x", "/media/usb/tools", "/optional"}) {
    EXPECT_FALSE(isInstalledProgramFolder(folder)) << folder;
  }
}

TEST(OwnFolders, AFolderIsMadeOnlyOutsideTheTreesToldByIdentity) {
  TempTree tree;
  tree.makeFolder("master/home");
  tree.makeFolder("mirror");
  std::string inside;
  // Missing folders below the master: nothing is made there.
  EXPECT_EQ(prepareOwnFolder(tree.path("master/home/.local/state/vardell"), {tree.path("master"), tree.path("mirror")},
                             inside),
            TreeError::OwnFolderInsideTrees);
  EXPECT_EQ(inside, tree.path("master"));
  EXPECT_FALSE(tree.exists("master/home/.local"));
  // Through a link to the mirror, and through a second mount of the master.
  ASSERT_EQ(::symlink(tree.path("mirror").c_str(), tree.path("to-mirror").c_str()), 0);
  EXPECT_EQ(prepareOwnFolder(tree.path("to-mirror/vardell"), {tree.path("master"), tree.path("mirror")}, inside),
            TreeError::OwnFolderInsideTrees);
  EXPECT_EQ(inside, tree.path("mirror"));
  const ScopedMount view = ScopedMount::bind(tree.path("master/home"), tree.path("view"));
  if (view.mounted()) {
    EXPECT_EQ(prepareOwnFolder(tree.path("view/vardell"), {tree.path("master")}, inside), TreeError::OwnFolderInsideTrees);
    EXPECT_FALSE(tree.exists("master/home/vardell"));
  }
  EXPECT_EQ(tree.listing("mirror"), std::vector<std::string>{});
  // Outside both: made, private to the user.
  EXPECT_FALSE(prepareOwnFolder(tree.path("state/vardell"), {tree.path("master"), tree.path("mirror")}, inside));
  EXPECT_EQ(modeOf(tree.path("state/vardell")) & 0777, 0700u);
}

TEST(OwnFolders, TheOwnFolderItselfIsNeverALinkAndMustBeTheUsers) {
  TempTree tree;
  tree.makeFolder("elsewhere");
  ASSERT_EQ(::symlink(tree.path("elsewhere").c_str(), tree.path("vardell").c_str()), 0);
  std::string inside;
  EXPECT_EQ(prepareOwnFolder(tree.path("vardell"), {}, inside), std::errc::too_many_symbolic_link_levels);
  tree.makeFolder("theirs");
  ASSERT_EQ(::chown(tree.path("theirs").c_str(), 4242, 4242), 0);
  EXPECT_EQ(prepareOwnFolder(tree.path("theirs"), {}, inside), std::errc::permission_denied);
  // A link above the own folder is the user's own layout (a linked ~/.config) and is followed.
  ASSERT_EQ(::symlink(tree.path("elsewhere").c_str(), tree.path("config").c_str()), 0);
  EXPECT_FALSE(prepareOwnFolder(tree.path("config/vardell"), {}, inside));
  EXPECT_TRUE(tree.exists("elsewhere/vardell"));
}

TEST(OwnFolders, APathThroughAMissingFolderAndUpAgainMakesNothingOnTheWay) {
  TempTree tree;
  tree.makeFolder("master");
  ASSERT_EQ(::symlink(tree.path("master").c_str(), tree.path("link").c_str()), 0);
  std::string inside;
  EXPECT_EQ(prepareOwnFolder(tree.path("missing/../link/state"), {tree.path("master")}, inside),
            TreeError::OwnFolderInsideTrees);
  EXPECT_FALSE(tree.exists("missing"));
  EXPECT_FALSE(tree.exists("master/state"));
}

TEST(OwnFolders, ACheckMakesAndChangesNothingAndRefusesWhatPreparingWould) {
  TempTree tree;
  tree.makeFolder("master");
  tree.makeFolder("open");
  ASSERT_EQ(::chmod(tree.path("open").c_str(), 0777), 0);
  std::string inside;
  EXPECT_FALSE(checkOwnFolder(tree.path("state/vardell"), {tree.path("master")}, inside));
  EXPECT_FALSE(tree.exists("state"));
  EXPECT_EQ(checkOwnFolder(tree.path("master/vardell"), {tree.path("master")}, inside), TreeError::OwnFolderInsideTrees);
  ASSERT_EQ(::chown(tree.path("open").c_str(), 4242, 4242), 0);
  EXPECT_EQ(checkOwnFolder(tree.path("open"), {}, inside), std::errc::permission_denied);
  EXPECT_EQ(modeOf(tree.path("open")) & 0777, 0777u);
}

TEST(OwnFolders, AFolderOfOursInTheSharedTemporaryFolderIsMadePrivate) {
  const std::string folder = "/tmp/vardell-test-" + std::to_string(::getpid());
  ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
  std::string inside;
  EXPECT_FALSE(prepareOwnFolder(folder + "/", {}, inside));
  EXPECT_EQ(modeOf(folder) & 0777, 0700u);
  ::rmdir(folder.c_str());
}

}  // namespace
