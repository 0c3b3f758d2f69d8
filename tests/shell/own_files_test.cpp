// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// The programs' own files as real runs leave them: a home folder mirrored from an
// environment without XDG variables (as cron starts a run), a portable copy kept inside
// the master, and a start refused for its folder parameter. The master stays byte for byte
// as it was, and the runtime folder holds nothing of the program's once it has ended.
#include "tests/shell/shell_fixture.h"

#include <QProcess>
#include <QProcessEnvironment>

#include <filesystem>
#include <fstream>

#include <unistd.h>

namespace vardell::test {
namespace {

struct Finished {
  int status = -1;
  std::string error;
};

class OwnFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    master_.writeFile("a.txt", "alpha");
    master_.writeFile("sub/b.txt", "beta");
    master_.makeFolder("tools");
    work_.makeFolder("prefix/bin");
    work_.makeFolder("home");
    work_.makeFolder("mirror");
  }

  // Copies the two programs into `folder`, as a portable copy or an installed one.
  void placePrograms(const std::string& folder) const {
    for (const char* name : {"vardell", "vardell-cli"}) {
      std::filesystem::copy_file(std::string(VARDELL_BUILD_DIR) + "/" + name, folder + "/" + name,
                                 std::filesystem::copy_options::overwrite_existing);
    }
  }

  QProcessEnvironment cronEnvironment(const std::string& home) const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XDG_CONFIG_HOME", "XDG_STATE_HOME",
                             "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR"}) {
      env.remove(name);
    }
    env.insert("HOME", QString::fromStdString(home));
    if (!runtime_.empty()) env.insert("XDG_RUNTIME_DIR", QString::fromStdString(runtime_));
    return env;
  }

  // A run as cron starts it: no display and no XDG variable, the home folder as given.
  Finished run(const std::string& program, const QStringList& arguments, const std::string& home) const {
    QProcess process;
    process.setProcessEnvironment(cronEnvironment(home));
    process.start(QString::fromStdString(program), arguments);
    Finished done;
    if (!process.waitForFinished(60000)) {
      process.kill();
      process.waitForFinished();
      done.error = "did not end";
      return done;
    }
    done.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    done.error = process.readAllStandardError().toStdString();
    return done;
  }

  // A batch Compare off screen runs once and ends with its verdict: the mirror is still
  // empty, so the folders differ.
  void runBatchCompare(const std::string& program, const std::string& home) const {
    const Finished done =
        run(program, {QString::fromStdString(master_.path()), QString::fromStdString(work_ / "mirror"), "PQS"}, home);
    EXPECT_EQ(done.status, 1) << done.error;
  }

  // Every run a user may start on this pair: a batch Compare of the desktop program, Sync
  // and Compare from the terminal front end, then a batch Sync.
  void runEveryWay(const std::string& programs, const std::string& home) const {
    runBatchCompare(programs + "/vardell", home);
    const QString master = QString::fromStdString(master_.path());
    const QString mirror = QString::fromStdString(work_ / "mirror");
    const struct {
      const char* program;
      QStringList arguments;
    } runs[] = {
        {"vardell-cli", {"sync", "--allow-system-volume", "--names-differ", "continue", master, mirror}},
        {"vardell-cli", {"compare", master, mirror}},
        {"vardell", {master, mirror, "RQS"}},
    };
    for (const auto& each : runs) {
      const Finished done = run(programs + "/" + each.program, each.arguments, home);
      EXPECT_EQ(done.status, 0) << each.program << " " << each.arguments.join(' ').toStdString() << ": " << done.error;
    }
    EXPECT_EQ(work_.read("mirror/a.txt"), "alpha");
    EXPECT_EQ(work_.read("mirror/sub/b.txt"), "beta");
  }

  std::vector<std::string> logsIn(const std::string& folder) const {
    std::vector<std::string> logs;
    if (!std::filesystem::is_directory(folder)) return logs;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
      const std::string name = entry.path().filename();
      if (name.starts_with("log-")) logs.push_back(name);
    }
    return logs;
  }

  std::vector<std::string> programFilesIn(const std::string& folder) const {
    std::vector<std::string> left;
    if (!std::filesystem::is_directory(folder)) return left;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) left.push_back(entry.path().filename());
    return left;
  }

  ScopedFolder master_;
  ScopedFolder work_;
  std::string runtime_;  // XDG_RUNTIME_DIR for the runs; unset when empty
};

TEST_F(OwnFilesTest, AHomeFolderMirroredWithoutXdgVariablesStaysAsItWas) {
  // The home folder is the master, and the installed programs keep their files below the
  // home folder by default: settings, logs and locks all have to go elsewhere.
  work_.makeFolder("run");
  runtime_ = work_ / "run";
  placePrograms(work_ / "prefix/bin");
  const auto before = master_.snapshot("", true);
  runEveryWay(work_ / "prefix/bin", master_.path());
  EXPECT_EQ(master_.snapshot("", true), before) << "the master was written";
  EXPECT_FALSE(master_.exists(".config"));
  EXPECT_FALSE(master_.exists(".local"));
  EXPECT_EQ(logsIn(work_ / "run/vardell").size(), 1u) << "the run log goes to the runtime folder";
  EXPECT_EQ(programFilesIn(work_ / "prefix/bin"), (std::vector<std::string>{"vardell", "vardell-cli"}));
  std::vector<std::string> left = programFilesIn(work_ / "run/vardell");
  std::erase_if(left, [](const std::string& name) { return name.starts_with("log-"); });
  EXPECT_EQ(left, std::vector<std::string>{}) << "lock files stayed behind";
}

TEST_F(OwnFilesTest, APortableCopyKeptInTheMasterWritesNothingThere) {
  placePrograms(master_ / "tools");
  const auto before = master_.snapshot("", true);
  runEveryWay(master_ / "tools", work_ / "home");
  EXPECT_EQ(master_.snapshot("", true), before) << "the master was written";
  EXPECT_EQ(logsIn(work_ / "home/.local/state/vardell").size(), 1u) << "the run log goes to the state folder";
  EXPECT_FALSE(work_.exists("home/.config/vardell/KELPO.ini")) << "settings belong beside a portable copy or nowhere";
}

TEST_F(OwnFilesTest, ARuntimeOrSettingsFolderLeadingIntoTheMasterIsNotUsed) {
  // The runtime folder is the master itself, and the settings folder a link into it.
  placePrograms(work_ / "prefix/bin");
  work_.makeFolder("home/.config");
  ASSERT_EQ(::symlink((master_ / "sub").c_str(), (work_ / "home/.config/vardell").c_str()), 0);
  runtime_ = master_.path();
  const auto before = master_.snapshot("", true);
  const Finished done =
      run(work_ / "prefix/bin/vardell", {QString::fromStdString(master_.path()), QString::fromStdString(work_ / "mirror"), "RQS"},
          work_ / "home");
  EXPECT_EQ(done.status, 0) << done.error;
  EXPECT_EQ(work_.read("mirror/sub/b.txt"), "beta");
  EXPECT_EQ(master_.snapshot("", true), before) << "the master was written";
  EXPECT_FALSE(work_.exists("mirror/vardell")) << "lock files were copied";
  EXPECT_FALSE(work_.exists("mirror/sub/KELPO.ini")) << "settings were copied";
}

TEST_F(OwnFilesTest, AStartRefusedForItsFolderWritesNothingAndKeepsTheSavedPair) {
  placePrograms(work_ / "prefix/bin");
  const std::string saved = "[Instance0]\ndir1=" + master_.path() + "\ndir2=" + (work_ / "mirror") + "\n";
  work_.writeFile("home/.config/vardell/KELPO.ini", saved);
  work_.makeFolder("run");
  runtime_ = work_ / "run";
  const auto before = work_.snapshot("", true);
  for (const QStringList& arguments : {QStringList{"/nonexistent", QString::fromStdString(work_ / "mirror")},
                                       QStringList{QString::fromStdString(master_.path()), "", "RQS"},
                                       QStringList{"/nonexistent", QString::fromStdString(work_ / "mirror"), "RQS"}}) {
    const Finished done = run(work_ / "prefix/bin/vardell", arguments, work_ / "home");
    EXPECT_EQ(done.status, 2) << arguments.join(' ').toStdString() << ": " << done.error;
  }
  // A runtime folder that does not exist yet is not made, wherever it points.
  const auto masterBefore = master_.snapshot("", true);
  runtime_ = master_ / "runtime";
  const Finished done = run(work_ / "prefix/bin/vardell", {"/nonexistent", QString::fromStdString(work_ / "mirror"), "RQS"},
                            work_ / "home");
  EXPECT_EQ(done.status, 2) << done.error;
  EXPECT_EQ(master_.snapshot("", true), masterBefore);
  EXPECT_EQ(work_.snapshot("", true), before) << "a refused start wrote something";
  EXPECT_EQ(work_.read("home/.config/vardell/KELPO.ini"), saved);
}

}  // namespace
}  // namespace vardell::test
