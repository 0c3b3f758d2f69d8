// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// Installing into a temporary prefix, then a batch run of the installed program without a
// display, as cron starts it: the mirror is synced, the exit status is 0, and the
// installed program finds its help page.
#include "tests/shell/shell_fixture.h"

#include "shell/help_page.h"

#include <QProcess>
#include <QProcessEnvironment>

#include <filesystem>

namespace vardell::test {
namespace {

TEST(Installed, InstallIntoAPrefixThenABatchRunOfTheInstalledProgram) {
  ScopedFolder prefix, master, mirror, home;
  QProcess install;
  install.start(QStringLiteral("cmake"), {"--install", VARDELL_BUILD_DIR, "--prefix", QString::fromStdString(prefix.path())});
  ASSERT_TRUE(install.waitForFinished(60000));
  ASSERT_EQ(install.exitCode(), 0) << install.readAllStandardError().toStdString();
  for (const char* file : {"bin/vardell", "bin/vardell-cli", "share/doc/vardell/vardell-help.html",
                           "share/applications/vardell.desktop", "share/icons/hicolor/scalable/apps/vardell.svg"}) {
    EXPECT_TRUE(prefix.exists(file)) << file;
  }
  EXPECT_EQ(findHelpPage(prefix.path() + "/bin/"), prefix / "share/doc/vardell/vardell-help.html");

  master.writeFile("a.txt", "alpha");
  master.writeFile("sub/b.txt", "beta");
  mirror.writeFile("stale.txt", "old");
  QProcess run;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) env.remove(name);
  env.insert("HOME", QString::fromStdString(home.path()));
  env.insert("XDG_CONFIG_HOME", QString::fromStdString(home / "config"));
  env.insert("XDG_DATA_HOME", QString::fromStdString(home / "data"));
  run.setProcessEnvironment(env);
  run.start(QString::fromStdString(prefix / "bin/vardell"),
            {QString::fromStdString(master.path()), QString::fromStdString(mirror.path()), "RQS"});
  ASSERT_TRUE(run.waitForFinished(30000));
  EXPECT_EQ(run.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(run.exitCode(), 0) << run.readAllStandardError().toStdString();
  EXPECT_EQ(mirror.read("a.txt"), "alpha");
  EXPECT_EQ(mirror.read("sub/b.txt"), "beta");
  EXPECT_FALSE(mirror.exists("stale.txt"));
  // An installed program keeps its settings in the configuration folder and its run logs
  // in the state folder, never in bin/.
  for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(prefix / "bin"))) {
    const std::string name = entry.path().filename();
    EXPECT_FALSE(name.starts_with("log-") || name == "KELPO.ini") << name << " written beside the installed program";
  }
  EXPECT_TRUE(home.exists("config/vardell/KELPO.ini"));
  bool logged = false;
  for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(home / ".local/state/vardell"))) {
    logged = logged || entry.path().filename().string().starts_with("log-");
  }
  EXPECT_TRUE(logged) << "no run log in the state folder";

  // A folder that is not there: nothing runs and the status says it refused.
  run.start(QString::fromStdString(prefix / "bin/vardell"),
            {QString::fromStdString(master / "gone"), QString::fromStdString(mirror.path()), "RQS"});
  ASSERT_TRUE(run.waitForFinished(30000));
  EXPECT_EQ(run.exitCode(), 2);
}

}  // namespace
}  // namespace vardell::test
