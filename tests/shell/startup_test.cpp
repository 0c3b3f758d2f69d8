// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// Start-up of the window: the first start without a settings file, the eight keys, values
// as the file gives them, the legacy folder file, folders from the command line, a settings
// file that cannot be written, and F1.
#include "tests/shell/shell_fixture.h"

#include "platform/profile_file.h"
#include "shell/folder_list.h"
#include "shell/help_page.h"
#include "shell/program_start.h"
#include "shell/status_memo.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTest>

#include <filesystem>
#include <fstream>

#include <sys/stat.h>
#include <unistd.h>

namespace vardell::test {
namespace {

std::string readWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class StartupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_.makeFolder("program");
    root_.makeFolder("run");
    root_.makeFolder("master");
    root_.makeFolder("mirror");
    folders_ = {root_.path() + "/program/", root_.path() + "/program/", {root_.path() + "/program/"}, root_.path() + "/run/", root_.path() + "/run/"};
  }
  void TearDown() override {
    start_.reset();
    window_.reset();
  }
  // Creates the window as the program does, with these command-line parameters.
  void create(std::vector<std::string> parameters = {}) {
    ShellConfig config;
    config.runLogFolders = {folders_.settings};
    config.commandLine.present = parameters.size() >= 3;
    if (config.commandLine.present) config.commandLine.letters = parameters[2];
    window_ = std::make_unique<TMainForm>(config, prompts_, &updatePrompts_);
    start_ = std::make_unique<TProgramStart>(*window_, prompts_, *fs_, folders_, std::move(parameters));
    start_->setMessageBoxesSeen(boxesSeen_);
    start_->FormCreate();
  }
  std::string iniFile() const { return folders_.settings + "KELPO.ini"; }
  void writeIni(const std::string& text) {
    std::ofstream(iniFile(), std::ios::binary) << text;
  }
  std::string programFolderShown() const { return root_.path() + "/program"; }

  ScopedFolder root_;
  OwnFolders folders_;
  std::unique_ptr<FileSystem> fs_ = makePosixFileSystem();
  RecordingPrompts prompts_;
  RecordingUpdatePrompts updatePrompts_;
  std::unique_ptr<TMainForm> window_;
  std::unique_ptr<TProgramStart> start_;
  bool boxesSeen_ = true;
};

TEST_F(StartupTest, FirstStartWithoutSettingsShowsDefaultsAndWritesNothingUntilExit) {
  create();
  EXPECT_EQ(window_->DirectoryListBox1->Directory(), programFolderShown());
  EXPECT_EQ(window_->DirectoryListBox2->Directory(), programFolderShown());
  EXPECT_EQ(window_->CompareTypeButtons->checkedId(), 0);
  EXPECT_TRUE(window_->SubDirectoryCheckBox->isChecked());
  EXPECT_TRUE(window_->ProtectCBtn->isChecked());
  EXPECT_FALSE(window_->CaseChkBox->isChecked());
  EXPECT_EQ(window_->pos(), QPoint(0, 0));
  EXPECT_FALSE(root_.exists("program/KELPO.ini")) << "start-up wrote settings nobody chose";

  window_->ExitBtnClick();  // both lists still on the program folder: nothing to keep
  EXPECT_FALSE(root_.exists("program/KELPO.ini"));
  EXPECT_TRUE(prompts_.messages.isEmpty()) << prompts_.messages.join("\n").toStdString();
}

TEST_F(StartupTest, ExitWritesTheKeysInOrder) {
  create();
  ASSERT_TRUE(window_->setMasterFolder(root_ / "master"));
  ASSERT_TRUE(window_->setMirrorFolder(root_ / "mirror"));
  window_->CompareTypeButtons->button(2)->setChecked(true);
  window_->CaseChkBox->setChecked(true);
  window_->SubDirectoryCheckBox->setChecked(false);
  window_->move(30, 40);
  window_->ExitBtnClick();
  EXPECT_EQ(readWhole(iniFile()), "[Instance0]\ndir1=" + (root_ / "master") + "\ndir2=" + (root_ / "mirror") +
                                      "\nTop=40\nLeft=30\nCompareType=2\nSubFolders=0\nProtectC=1\nCaseSense=1\n"
                                      "Width=590\nHeight=394\n");
}

struct ValueRow {
  const char* name;
  const char* lines;
  int top, left, compareType;
  bool subFolders, protectC, caseSense;
};

TEST_F(StartupTest, ValuesAreReadAsTheFileGivesThemWithDefaultsForTheRest) {
  const ValueRow rows[] = {
      {"hexadecimal", "Top=0x10\nLeft=$20\nCompareType=0X1\n", 16, 32, 1, true, true, false},
      {"unparsable values take their defaults", "Top=12px\nLeft=\nCompareType=two\nSubFolders=no\n", 0, 0, 0, true,
       true, false},
      {"CompareType 7 is applied as 2", "CompareType=7\n", 0, 0, 2, true, true, false},
      {"CompareType -5 selects no choice", "CompareType=-5\n", 0, 0, -1, true, true, false},
      {"any non-zero boolean is true", "SubFolders=0\nProtectC=0\nCaseSense=-3\n", 0, 0, 0, false, false, true},
  };
  for (const ValueRow& row : rows) {
    writeIni("; my comment\n[Instance0]\ndir1=" + (root_ / "master") + "\ndir2=" + (root_ / "mirror") + "\n" +
             row.lines + "\n[Other]\nkey=kept\n");
    create();
    EXPECT_EQ(window_->y(), row.top) << row.name;
    EXPECT_EQ(window_->x(), row.left) << row.name;
    EXPECT_EQ(window_->CompareTypeButtons->checkedId(), row.compareType) << row.name;
    EXPECT_EQ(window_->SubDirectoryCheckBox->isChecked(), row.subFolders) << row.name;
    EXPECT_EQ(window_->ProtectCBtn->isChecked(), row.protectC) << row.name;
    EXPECT_EQ(window_->CaseChkBox->isChecked(), row.caseSense) << row.name;
    EXPECT_EQ(window_->DirectoryListBox1->Directory(), root_ / "master") << row.name;
    // The start-up save kept the comment and the other section.
    const std::string text = readWhole(iniFile());
    EXPECT_EQ(text.rfind("; my comment\n[Instance0]\n", 0), 0u) << row.name << "\n" << text;
    EXPECT_NE(text.find("\n[Other]\nkey=kept\n"), std::string::npos) << row.name << "\n" << text;
    start_.reset();
    window_.reset();
  }
}

TEST_F(StartupTest, DamagedSettingsFileGivesDefaultsAndANote) {
  std::string garbage = "[Instance0]\ndir1=";
  for (int i = 0; i < 3000; ++i) garbage += char(i % 256);
  writeIni(garbage);
  create();
  EXPECT_EQ(window_->CompareTypeButtons->checkedId(), 0);
  const QString shown = window_->Memo1->lines().join(QStringLiteral("\n"));
  EXPECT_NE(shown.indexOf(QStringLiteral("looks damaged")), -1) << shown.toStdString();
}

TEST_F(StartupTest, RefusedSettingsWriteIsReportedAndExitKeepsTheWindowOpen) {
  root_.writeFile("not-a-folder", "x");
  folders_.settings = root_.path() + "/not-a-folder/";
  create({root_ / "master", root_ / "mirror"});
  ASSERT_EQ(prompts_.messages.size(), 1);
  // The message as users know it; the system's reason on a line of its own.
  EXPECT_EQ(prompts_.messages[0].toStdString(), "Vardell v3.1.5|Unable to write to " + folders_.settings + "KELPO.ini");
  EXPECT_TRUE(window_->Memo1->lines().contains(
      QString::fromStdString("Unable to write to " + folders_.settings + "KELPO.ini: Not a directory")))
      << window_->Memo1->lines().join('\n').toStdString();
  window_->show();
  window_->ExitBtnClick();
  EXPECT_EQ(prompts_.messages.size(), 2);
  EXPECT_TRUE(window_->isVisible()) << "Exit closed the window although its settings were not saved";
}

TEST_F(StartupTest, LegacyFolderFileIsReadAndDeleted) {
  root_.writeFile("program/dirs.txt", "/somewhere\n/else\n12\n\n");
  create();
  EXPECT_FALSE(root_.exists("program/dirs.txt"));
  EXPECT_TRUE(prompts_.messages.isEmpty());
  EXPECT_TRUE(start_->settings().holdsLock());
}

TEST_F(StartupTest, LegacyFolderFileWithABadNumberStopsStartUpAndIsKept) {
  root_.writeFile("program/dirs.txt", "/somewhere\r\n/else\r\n12\r\nleft\r\n");
  create();
  ASSERT_EQ(prompts_.messages.size(), 1);
  EXPECT_EQ(prompts_.messages[0], QStringLiteral("Vardell v3.1.5|'left' is not a valid integer value"));
  EXPECT_TRUE(root_.exists("program/dirs.txt"));
  EXPECT_FALSE(start_->settings().holdsLock()) << "no instance number may be claimed";
  EXPECT_FALSE(root_.exists("program/KELPO.ini"));
}

TEST_F(StartupTest, ALegacyFolderFileThatIsNoSmallRegularFileIsReportedAndLeftAlone) {
  // A pipe would block a reader for ever; a huge file is no list of four short lines.
  ASSERT_EQ(::mkfifo((root_ / "program/dirs.txt").c_str(), 0600), 0);
  create();
  EXPECT_TRUE(prompts_.messages.isEmpty());
  EXPECT_TRUE(window_->Memo1->lines().join(QStringLiteral("\n")).contains(QStringLiteral("dirs.txt is not read and left as it is")));
  EXPECT_TRUE(root_.exists("program/dirs.txt"));
  EXPECT_TRUE(start_->settings().holdsLock()) << "start-up went on";
  start_.reset();
  window_.reset();
  ASSERT_EQ(::unlink((root_ / "program/dirs.txt").c_str()), 0);
  root_.writeFile("program/dirs.txt", "/somewhere\n/else\n" + std::string(8192, '1'));
  create();
  EXPECT_TRUE(window_->Memo1->lines().join(QStringLiteral("\n")).contains(QStringLiteral("it is too large")));
  EXPECT_TRUE(root_.exists("program/dirs.txt"));
}

TEST_F(StartupTest, LegacyFolderFileIsDeletedButNotReadWithParameters) {
  root_.writeFile("program/dirs.txt", "/a\n/b\nnot a number\n");
  create({root_ / "master", root_ / "mirror"});
  EXPECT_TRUE(prompts_.messages.isEmpty());
  EXPECT_FALSE(root_.exists("program/dirs.txt"));
  // Only the old file itself is removed, never what stands in its place.
  start_.reset();
  window_.reset();
  ASSERT_EQ(::mkfifo((root_ / "program/dirs.txt").c_str(), 0600), 0);
  create({root_ / "master", root_ / "mirror"});
  EXPECT_TRUE(root_.exists("program/dirs.txt"));
  EXPECT_TRUE(window_->Memo1->lines().join(QStringLiteral("\n")).contains(QStringLiteral("is left as it is")));
}

struct FolderRow {
  const char* name;
  std::vector<std::string> parameters;  // relative to the test's folder
  bool ends;
};

TEST_F(StartupTest, CommandLineFoldersAndMissingOnesEndTheProgram) {
  const FolderRow rows[] = {
      {"both exist", {"master", "mirror"}, false},
      {"master missing", {"gone", "mirror"}, true},
      {"mirror missing", {"master", "gone"}, true},
      {"only the master", {"master"}, false},
  };
  for (const FolderRow& row : rows) {
    std::vector<std::string> parameters;
    for (const std::string& p : row.parameters) parameters.push_back(root_ / p);
    create(parameters);
    EXPECT_EQ(start_->endRequested(), row.ends) << row.name;
    const std::string expectMaster = row.parameters[0] == "gone" ? programFolderShown() : root_ / "master";
    EXPECT_EQ(window_->DirectoryListBox1->Directory(), expectMaster) << row.name;
    if (row.parameters.size() > 1) {
      const std::string expectMirror = row.parameters[1] == "gone" ? programFolderShown() : root_ / "mirror";
      EXPECT_EQ(window_->DirectoryListBox2->Directory(), expectMirror) << row.name;
    }
    start_.reset();
    window_.reset();
  }
}

struct EmptyParameterRow {
  const char* name;
  std::vector<std::string> parameters;  // "" stays empty, others are relative to the test's folder
  bool boxesSeen;
  const char* side;  // the side whose parameter is refused
};

TEST_F(StartupTest, EmptyFolderParameterEndsTheProgramAndNeverStandsForTheWorkingFolder) {
  const EmptyParameterRow rows[] = {
      {"empty master", {"", "mirror"}, true, "master"},
      {"empty mirror in a batch run", {"master", "", "RQS"}, true, "mirror"},
      {"both empty", {"", "", "RQS"}, true, "master"},
      {"empty mirror off screen: no box waits", {"master", "", "RQS"}, false, "mirror"},
  };
  const std::string workingFolder = fs_->fullPath(".");
  for (const EmptyParameterRow& row : rows) {
    std::vector<std::string> parameters;
    for (const std::string& p : row.parameters) parameters.push_back(p.empty() || p == "RQS" ? p : root_ / p);
    boxesSeen_ = row.boxesSeen;
    prompts_.messages.clear();
    create(parameters);
    const std::string reason =
        std::string("The ") + row.side + " folder parameter is empty (it never stands for the working folder)";
    EXPECT_EQ(start_->endReason(), reason) << row.name;
    EXPECT_EQ(prompts_.messages, row.boxesSeen ? QStringList{QString::fromStdString("Vardell v3.1.5|" + reason +
                                                                                    ". Nothing was run.")}
                                               : QStringList{})
        << row.name;
    EXPECT_NE(window_->masterFolder(), workingFolder) << row.name;
    EXPECT_NE(window_->mirrorFolder(), workingFolder) << row.name;
    start_.reset();
    window_.reset();
  }
}

TEST_F(StartupTest, FolderParameterThatIsALinkToAFolderIsFollowedOnce) {
  root_.writeFile("file.txt", "x");
  ASSERT_EQ(::symlink((root_ / "master").c_str(), (root_ / "to-master").c_str()), 0);
  ASSERT_EQ(::symlink((root_ / "mirror").c_str(), (root_ / "to-mirror").c_str()), 0);
  ASSERT_EQ(::symlink((root_ / "gone").c_str(), (root_ / "to-nothing").c_str()), 0);
  ASSERT_EQ(::symlink((root_ / "file.txt").c_str(), (root_ / "to-file").c_str()), 0);
  const FolderRow rows[] = {
      {"links to both folders", {"to-master", "to-mirror", "RQS"}, false},
      {"a link to nothing", {"to-nothing", "mirror", "RQS"}, true},
      {"a link to a file", {"master", "to-file", "RQS"}, true},
  };
  for (const FolderRow& row : rows) {
    std::vector<std::string> parameters;
    for (const std::string& p : row.parameters) parameters.push_back(p == "RQS" ? p : root_ / p);
    create(parameters);
    EXPECT_EQ(start_->endRequested(), row.ends) << row.name << ": " << start_->endReason();
    if (!row.ends) {
      EXPECT_EQ(window_->masterFolder(), root_ / "master") << "the list shows the folder the link leads to";
      EXPECT_EQ(window_->mirrorFolder(), root_ / "mirror");
    } else {
      EXPECT_NE(start_->endReason().find(" does not exist"), std::string::npos) << row.name;
    }
    start_.reset();
    window_.reset();
  }
}

// The program as cron starts it, from a working folder with content of its own, with a
// folder variable left unset; with and without an off-screen platform chosen by the caller.
TEST(CronLine, AnEmptyFolderOrExclusionParameterChangesNothingAndExitsWithTwo) {
  struct Row {
    std::vector<QString> words;
    const char* reason;
  };
  // An empty exclusion text would be found in every path and skip every subfolder.
  const std::vector<Row> rows = {{{"MASTER", "", "RQS"}, "folder parameter is empty"},
                                 {{"", "MIRROR", "RQS"}, "folder parameter is empty"},
                                 {{"MASTER", "MIRROR", "RQS", "0", ""}, "exclusion text may not be empty"},
                                 {{"MASTER", "MIRROR", "RQS", "0", "tmp", ""}, "exclusion text may not be empty"}};
  for (const bool offscreenChosen : {false, true}) {
    for (const Row& row : rows) {
      ScopedFolder program, home, work, master, mirror;
      // A copy of its own keeps its settings beside it, away from the build folder.
      std::filesystem::copy_file(VARDELL_BUILD_DIR "/vardell", program / "vardell");
      work.writeFile("keep.txt", "working folder");
      work.writeFile("sub/inner.txt", "inner");
      master.writeFile("a.txt", "alpha");
      mirror.writeFile("stale.txt", "old");
      const auto before = std::vector{work.snapshot(), master.snapshot(), mirror.snapshot()};
      QStringList arguments;
      for (const QString& word : row.words) {
        arguments << (word == "MASTER" ? QString::fromStdString(master.path())
                      : word == "MIRROR" ? QString::fromStdString(mirror.path())
                                         : word);
      }
      QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
      for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) env.remove(name);
      if (offscreenChosen) env.insert("QT_QPA_PLATFORM", "offscreen");
      env.insert("HOME", QString::fromStdString(home.path()));
      env.insert("XDG_CONFIG_HOME", QString::fromStdString(home / "config"));
      env.insert("XDG_RUNTIME_DIR", QString::fromStdString(home.path()));
      QProcess run;
      run.setProcessEnvironment(env);
      run.setWorkingDirectory(QString::fromStdString(work.path()));
      run.start(QString::fromStdString(program / "vardell"), arguments);
      ASSERT_TRUE(run.waitForFinished(30000)) << "the program waited (for a box nobody can see?)";
      const std::string errors = run.readAllStandardError().toStdString();
      EXPECT_EQ(run.exitCode(), 2) << errors;
      EXPECT_NE(errors.find(row.reason), std::string::npos) << errors;
      EXPECT_EQ((std::vector{work.snapshot(), master.snapshot(), mirror.snapshot()}), before)
          << arguments.join(' ').toStdString();
    }
  }
}

// The environment of a cron job: no display, no session runtime folder.
QProcessEnvironment cronEnvironment(const ScopedFolder& home) {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XDG_RUNTIME_DIR"}) env.remove(name);
  env.insert("HOME", QString::fromStdString(home.path()));
  env.insert("XDG_STATE_HOME", QString::fromStdString(home / "state"));
  return env;
}

TEST(CronLine, WithoutADisplayEveryBatchEndsWithTheStatusOfItsRun) {
  struct Row {
    std::vector<QString> words;  // after MASTER MIRROR
    int status;
  };
  const std::vector<Row> rows = {{{"P"}, 2},  {{"NQ"}, 2},      {{"XYZ"}, 2}, {{"rqs"}, 2},
                                 {{"PQS"}, 1}, {{"RS", "0"}, 0}, {{"RQS"}, 0}};
  for (const Row& row : rows) {
    ScopedFolder home, master, mirror;
    master.writeFile("a.txt", "alpha");
    const QProcessEnvironment env = cronEnvironment(home);
    QStringList arguments{QString::fromStdString(master.path()), QString::fromStdString(mirror.path())};
    for (const QString& word : row.words) arguments << word;
    QProcess run;
    run.setProcessEnvironment(env);
    run.start(VARDELL_BUILD_DIR "/vardell", arguments);
    const bool ended = run.waitForFinished(20000);
    if (!ended) run.kill();
    run.waitForFinished();
    EXPECT_TRUE(ended) << arguments.join(' ').toStdString() << ": the program did not end";
    EXPECT_EQ(run.exitCode(), row.status) << arguments.join(' ').toStdString() << ": "
                                          << run.readAllStandardError().toStdString();
  }
}

TEST(CronLine, SyncThenCompareRunsTheCompareToItsEndThenEnds) {
  ScopedFolder home, master, mirror;
  master.writeFile("a.txt", "alpha");
  master.writeFile("sub/b.txt", "beta");
  QProcess run;
  run.setProcessEnvironment(cronEnvironment(home));
  run.start(VARDELL_BUILD_DIR "/vardell", {QString::fromStdString(master.path()), QString::fromStdString(mirror.path()), "RPQS"});
  ASSERT_TRUE(run.waitForFinished(30000));
  EXPECT_EQ(run.exitCode(), 0);
  // Cron mails what the run printed: how each run ended, and nothing from the window system.
  EXPECT_EQ(run.readAllStandardError().toStdString(), "");
  EXPECT_EQ(run.readAllStandardOutput().toStdString(),
            "Modified " + mirror.path() + "\nFiles Copied: 2\nReplication completed\nFolders match\n");
  EXPECT_EQ(mirror.read("sub/b.txt"), "beta");
  // The run log holds the last run of the tick: the Compare, to its verdict.
  std::string log;
  for (const auto& entry : std::filesystem::directory_iterator(VARDELL_BUILD_DIR)) {
    const std::string name = entry.path().filename();
    if (name.starts_with("log-") && name.ends_with("-" + std::filesystem::path(mirror.path()).filename().string() + ".txt")) {
      log = readWhole(entry.path());
      std::filesystem::remove(entry.path());
    }
  }
  EXPECT_NE(log.find("Folders match"), std::string::npos) << log;
  EXPECT_EQ(log.find("Compare aborted"), std::string::npos) << log;
}

TEST_F(StartupTest, F1OpensTheHelpPageAtTheMainWindowSection) {
  root_.writeFile("program/vardell-help.html", "<html></html>");
  EXPECT_EQ(findHelpPage(folders_.program), root_ / "program/vardell-help.html");
  create();
  window_->setHelpPage(findHelpPage(folders_.program));
  window_->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
  QTest::keyClick(window_.get(), Qt::Key_F1);
  ASSERT_EQ(prompts_.openedPages.size(), 1);
  EXPECT_EQ(prompts_.openedPages[0].toStdString(), "file://" + (root_ / "program/vardell-help.html") + "#main-window");
}

TEST_F(StartupTest, HelpPageIsFoundWhereInstallingPutsIt) {
  root_.makeFolder("prefix/bin");
  root_.writeFile("prefix/share/doc/vardell/vardell-help.html", "<html></html>");
  EXPECT_EQ(findHelpPage(root_ / "prefix/bin/"), root_ / "prefix/share/doc/vardell/vardell-help.html");
  EXPECT_EQ(findHelpPage(root_ / "master/"), "");
}

}  // namespace
}  // namespace vardell::test
