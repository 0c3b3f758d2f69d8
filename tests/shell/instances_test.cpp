// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// Instance numbers and settings sections, with the other instances as real processes
// holding real locks: starts at the same time, and the guard that may forbid writing.
#include "platform/profile_file.h"
#include "shell/instance_settings.h"
#include "tests/shell/shell_fixture.h"

#include <QCoreApplication>
#include <QProcess>

#include <sys/stat.h>

#include <csignal>
#include <fstream>
#include <set>

namespace vardell::test {
namespace {

std::string readWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// The test program in one of its helper roles, spoken to line by line.
class HelperProcess {
 public:
  explicit HelperProcess(const QStringList& arguments) {
    process_.start(QCoreApplication::applicationFilePath(), arguments);
  }
  ~HelperProcess() {
    process_.closeWriteChannel();
    if (!process_.waitForFinished(5000)) process_.kill();
    process_.waitForFinished(5000);
  }
  HelperProcess(const HelperProcess&) = delete;
  HelperProcess& operator=(const HelperProcess&) = delete;

  // Delivered at once: QProcess would otherwise hold the line until this process waits on it.
  void writeLine(const std::string& line) {
    process_.write(QByteArray::fromStdString(line + "\n"));
    process_.waitForBytesWritten(5000);
  }
  std::string readLine() {
    while (!process_.canReadLine()) {
      if (!process_.waitForReadyRead(10000)) return "no answer: " + process_.readAllStandardError().toStdString();
    }
    return process_.readLine().trimmed().toStdString();
  }
  void exit() {
    process_.closeWriteChannel();
    process_.waitForFinished(5000);
  }
  void kill() {
    ::kill(pid_t(process_.processId()), SIGKILL);
    process_.waitForFinished(5000);
  }

 private:
  QProcess process_;
};

// Another running instance.
class OtherInstance : public HelperProcess {
 public:
  OtherInstance(const std::string& file, const std::string& runtime, const std::string& program)
      : HelperProcess({"--instance", QString::fromStdString(file), QString::fromStdString(runtime),
                       QString::fromStdString(program)}) {
    started_ = readLine();
  }
  // "started <number> <section> <vacant>"
  const std::string& started() const { return started_; }
  // Saves with these folders; gives "saved <number> ok".
  std::string save(const std::string& dir1, const std::string& dir2) {
    writeLine("save " + dir1 + " " + dir2);
    return readLine();
  }

 private:
  std::string started_;
};

// An instance that starts, as the program does, by loading and saving at once; it waits
// for go() so that many can be let go together.
class RacingInstance : public HelperProcess {
 public:
  RacingInstance(const std::string& file, const std::string& runtime, const std::string& program,
                 const std::string& dir1, const std::string& dir2)
      : HelperProcess({"--racing-instance", QString::fromStdString(file), QString::fromStdString(runtime),
                       QString::fromStdString(program), QString::fromStdString(dir1),
                       QString::fromStdString(dir2)}) {
    ready_ = readLine();
  }
  bool ready() const { return ready_ == "ready"; }
  void go() { writeLine("go"); }

 private:
  std::string ready_;
};

class InstancesTest : public ::testing::Test {
 protected:
  std::string file() const { return root_ / "KELPO.ini"; }
  std::string runtime() const { return root_.path() + "/run/"; }
  std::string program() const { return root_.path() + "/program/"; }
  void SetUp() override {
    root_.makeFolder("run");
    root_.makeFolder("program");
    for (const char* f : {"A", "B", "C", "D", "E", "F"}) root_.makeFolder(f);
  }
  std::string folder(const char* name) const { return root_ / name; }
  std::unique_ptr<OtherInstance> start() { return std::make_unique<OtherInstance>(file(), runtime(), program()); }
  void writeSection(int n, const std::string& dir1, const std::string& dir2) {
    ASSERT_FALSE(writeProfileString(file(), TInstanceSettings::sectionName(n), "dir1", dir1));
    ASSERT_FALSE(writeProfileString(file(), TInstanceSettings::sectionName(n), "dir2", dir2));
  }
  std::string dir1Of(int n) {
    std::error_code ec;
    return readProfileString(file(), TInstanceSettings::sectionName(n), "dir1", ec).value_or("(missing)");
  }

  // The settings folder as it stands: every entry but the instances' lock files.
  std::vector<std::string> settingsEntries() const {
    std::vector<std::string> entries = root_.snapshot();
    std::erase_if(entries, [this](const std::string& e) { return e.starts_with(root_ / "run"); });
    return entries;
  }
  void writeEarlierSession();
  void expectTenStartsTogetherKeepEveryFolderPair();

  ScopedFolder root_;
};

TEST_F(InstancesTest, TwoAndThreeInstancesClaimTheLowestFreeNumbers) {
  auto first = start();
  auto second = start();
  auto third = start();
  // No settings file: every section is vacant and each instance keeps the number it claimed.
  EXPECT_EQ(first->started(), "started 0 0 1");
  EXPECT_EQ(second->started(), "started 1 1 1");
  EXPECT_EQ(third->started(), "started 2 2 1");
  second->exit();
  auto fourth = start();
  EXPECT_EQ(fourth->started(), "started 1 1 1") << "the number the second left is taken again";
}

TEST_F(InstancesTest, AKilledInstanceReleasesItsNumber) {
  auto first = start();
  ASSERT_EQ(first->started(), "started 0 0 1");
  first->kill();
  auto second = start();
  EXPECT_EQ(second->started(), "started 0 0 1");
}

TEST_F(InstancesTest, ProbingAndReassigningSeeLocksOfOtherProcesses) {
  auto other = start();
  ASSERT_EQ(other->started(), "started 0 0 1");
  auto fs = makePosixFileSystem();
  TInstanceSettings own(*fs, InstanceLocks(runtime()), file(), program());
  EXPECT_EQ(own.ClaimLowestFreeInstance(0), 1);
  EXPECT_TRUE(own.IsInstanceTaken(0));
  EXPECT_TRUE(own.IsInstanceTaken(1));
  EXPECT_FALSE(own.IsInstanceTaken(2));
  EXPECT_EQ(own.CountInstancesTaken(), 2);
  EXPECT_FALSE(own.ReassignInstance(0)) << "number 0 is held by the other process";
  EXPECT_EQ(own.InstanceNumber(), 1);
  EXPECT_TRUE(own.ReassignInstance(5));
  EXPECT_EQ(own.InstanceNumber(), 5);
  EXPECT_FALSE(own.IsInstanceTaken(1)) << "moving gave the old number up";
  other->exit();
  EXPECT_TRUE(own.ReassignInstance(0));
  EXPECT_EQ(own.CountInstancesTaken(), 1);
}

TEST_F(InstancesTest, WindowSizeIsKeptAndASectionWrittenBeforeItGivesNone) {
  writeSection(0, folder("A"), folder("B"));  // as an older program wrote it: no Width, no Height
  auto fs = makePosixFileSystem();
  std::vector<std::string> notes;
  std::string error;
  {
    TInstanceSettings settings(*fs, InstanceLocks(runtime()), file(), program());
    WindowSettings loaded = settings.LoadSettings(notes, error);
    EXPECT_EQ(loaded.dir2, folder("B"));
    EXPECT_EQ(loaded.width, 0);
    EXPECT_EQ(loaded.height, 0);
    loaded.width = 800;
    loaded.height = 500;
    ASSERT_TRUE(settings.SaveSettings(loaded, notes, error)) << error;
  }
  TInstanceSettings again(*fs, InstanceLocks(runtime()), file(), program());
  const WindowSettings reloaded = again.LoadSettings(notes, error);
  EXPECT_EQ(reloaded.width, 800);
  EXPECT_EQ(reloaded.height, 500);
  EXPECT_TRUE(error.empty()) << error;
}

TEST_F(InstancesTest, SecondInstanceSkipsASectionWhoseFoldersAreGoneAndStopsAtAVacantOne) {
  writeSection(0, folder("A"), folder("B"));
  writeSection(1, "/gone/one", "/gone/two");
  ASSERT_FALSE(writeProfileString(file(), "Instance2", "dir1", folder("C")));  // no dir2: vacant
  auto first = start();
  ASSERT_EQ(first->started(), "started 0 0 0");
  auto second = start();
  EXPECT_EQ(second->started(), "started 2 2 1") << "it moved its number to the vacant section";
}

TEST_F(InstancesTest, SecondInstanceExchangesAFreeSectionWithBothFoldersIntoItsOwn) {
  writeSection(0, folder("A"), folder("B"));
  writeSection(1, "/gone/one", "/gone/two");
  writeSection(2, folder("C"), folder("D"));
  auto first = start();
  auto second = start();
  EXPECT_EQ(second->started(), "started 1 2 0");
  EXPECT_EQ(dir1Of(1), folder("C")) << "its own section now holds what it starts from";
  EXPECT_EQ(dir1Of(2), "/gone/one") << "the former own section moved up";
}

TEST_F(InstancesTest, ExitOfInstanceZeroThenOneMovesTheSections) {
  writeSection(0, folder("A"), folder("B"));
  writeSection(1, folder("C"), folder("D"));
  writeSection(2, folder("E"), folder("F"));
  auto zero = start();
  auto one = start();
  ASSERT_EQ(zero->started(), "started 0 0 0");
  ASSERT_EQ(one->started(), "started 1 1 0");

  // Instance 0 exits: two are running, 1 is held, so it takes 2, writes Instance2 and the
  // former Instance2 moves to Instance0.
  EXPECT_EQ(zero->save(folder("A"), folder("B")), "saved 2 ok");
  zero->exit();
  EXPECT_EQ(dir1Of(2), folder("A"));
  EXPECT_EQ(dir1Of(0), folder("E"));
  EXPECT_EQ(dir1Of(1), folder("C"));

  // Instance 1 exits alone: it takes 0, writes Instance0, and the former Instance0 moves
  // to Instance1.
  EXPECT_EQ(one->save(folder("C"), folder("D")), "saved 0 ok");
  EXPECT_EQ(dir1Of(0), folder("C"));
  EXPECT_EQ(dir1Of(1), folder("E"));
  EXPECT_EQ(dir1Of(2), folder("A"));
}

// Every start reads sections, claims numbers and moves sections; when those steps of two
// starts interleave, one start copies a section the other is about to fill and a running
// instance's folders are lost. Sessions of ten starting together, each on the file the
// previous session left.
void InstancesTest::expectTenStartsTogetherKeepEveryFolderPair() {
  constexpr int kInstances = 10;
  for (int session = 0; session < 4; ++session) {
    std::vector<std::pair<std::string, std::string>> pairs;
    std::vector<std::unique_ptr<RacingInstance>> instances;
    for (int i = 0; i < kInstances; ++i) {
      const std::string name = "s" + std::to_string(session) + "i" + std::to_string(i);
      root_.makeFolder(name + "/master");
      root_.makeFolder(name + "/mirror");
      pairs.emplace_back(root_ / (name + "/master"), root_ / (name + "/mirror"));
      instances.push_back(std::make_unique<RacingInstance>(file(), runtime(), program(), pairs.back().first,
                                                           pairs.back().second));
      ASSERT_TRUE(instances.back()->ready());
    }
    for (auto& instance : instances) instance->go();
    std::set<std::string> numbers;
    for (auto& instance : instances) {
      const std::string saved = instance->readLine();
      ASSERT_TRUE(saved.starts_with("saved ") && saved.ends_with(" ok")) << saved;
      numbers.insert(saved.substr(6, saved.size() - 9));
    }
    EXPECT_EQ(numbers.size(), std::size_t(kInstances)) << "two running instances hold one number";

    // All ten still run: each one's folders are in some section.
    const ProfileText text(readWhole(file()));
    for (const auto& [dir1, dir2] : pairs) {
      bool found = false;
      for (int n = 0; n <= TInstanceSettings::kHighestInstance && !found; ++n) {
        const std::string section = TInstanceSettings::sectionName(n);
        found = text.value(section, "dir1") == dir1 && text.value(section, "dir2") == dir2;
      }
      EXPECT_TRUE(found) << "session " << session << ": " << dir1 << " lost from\n" << text.bytes();
    }
    if (HasFailure()) return;
  }
}

// Sections of an earlier session: most with both folders, some whose folders are gone.
void InstancesTest::writeEarlierSession() {
  for (int n = 0; n < 12; ++n) {
    if (n % 4 == 1) {
      writeSection(n, "/gone/" + std::to_string(n), "/gone/too");
    } else {
      const std::string name = "earlier" + std::to_string(n);
      root_.makeFolder(name);
      writeSection(n, root_ / name, folder("A"));
    }
  }
}

TEST_F(InstancesTest, TenInstancesStartingTogetherKeepEveryFolderPair) {
  writeEarlierSession();
  expectTenStartsTogetherKeepEveryFolderPair();
}

TEST_F(InstancesTest, TenInstancesStartingTogetherKeepEveryFolderPairWhereNoLockFileWasMadeYet) {
  writeEarlierSession();
  ASSERT_EQ(::unlink((file() + ".lock").c_str()), 0);
  expectTenStartsTogetherKeepEveryFolderPair();
}

// An instance of the program in this process, its writes asked of a guard that records
// each question.
class GuardedSettings {
 public:
  GuardedSettings(const std::string& file, const std::string& runtime, const std::string& program,
                  std::string refusal)
      : settings_(*fs_, InstanceLocks(runtime), file, program), refusal_(std::move(refusal)) {
    settings_.setWriteGuard([this](const WindowSettings& pair) {
      asked.push_back(pair.dir1 + " " + pair.dir2);
      return refusal_;
    });
  }
  TInstanceSettings& operator*() { return settings_; }
  TInstanceSettings* operator->() { return &settings_; }

  std::vector<std::string> asked;  // "dir1 dir2" of every question, in order

 private:
  std::unique_ptr<FileSystem> fs_ = makePosixFileSystem();
  TInstanceSettings settings_;
  std::string refusal_;
};

TEST_F(InstancesTest, RefusedWritesMakeNoSettingsFileAndNoLockFileAndSayWhyOnce) {
  const std::vector<std::string> before = settingsEntries();
  GuardedSettings settings(file(), runtime(), program(), "Settings are not saved inside the mirror");
  std::vector<std::string> notes;
  std::string error;
  settings->LoadSettings(notes, error);
  WindowSettings now;
  now.dir1 = folder("A");
  now.dir2 = folder("B");
  EXPECT_TRUE(settings->SaveSettings(now, notes, error));
  EXPECT_TRUE(settings->SaveSettings(now, notes, error));
  EXPECT_EQ(error, "");
  EXPECT_EQ(notes, std::vector<std::string>{"Settings are not saved inside the mirror"});
  EXPECT_EQ(settings.asked, (std::vector<std::string>{now.dir1 + " " + now.dir2, now.dir1 + " " + now.dir2}));
  EXPECT_EQ(settingsEntries(), before);
  EXPECT_TRUE(settings->holdsLock()) << "the instance holds its number all the same";
  EXPECT_EQ(settings->InstanceNumber(), 0);
}

TEST_F(InstancesTest, RefusedExchangeAndSaveLeaveTheFileByteForByte) {
  writeSection(0, folder("A"), folder("B"));
  writeSection(1, "/gone/one", "/gone/two");
  writeSection(2, folder("C"), folder("D"));
  auto first = start();
  ASSERT_EQ(first->started(), "started 0 0 0");
  const std::vector<std::string> before = settingsEntries();

  GuardedSettings settings(file(), runtime(), program(), "The settings file lies in the master");
  std::vector<std::string> notes;
  std::string error;
  const WindowSettings found = settings->LoadSettings(notes, error);
  EXPECT_EQ(found.dir1, folder("C"));
  EXPECT_EQ(settings->InstanceNumber(), 1);
  EXPECT_EQ(settings->StartSection(), 2) << "the exchange it would have made";
  WindowSettings now = found;
  now.dir1 = folder("E");
  EXPECT_TRUE(settings->SaveSettings(now, notes, error));
  EXPECT_EQ(error, "");
  EXPECT_EQ(settings.asked, (std::vector<std::string>{folder("C") + " " + folder("D"),
                                                       folder("E") + " " + folder("D")}));
  EXPECT_EQ(notes, std::vector<std::string>{"The settings file lies in the master"});
  EXPECT_EQ(settingsEntries(), before);
  EXPECT_EQ(settings->InstanceNumber(), 1) << "the save claimed as any save does: two run, 0 is held";
}

TEST_F(InstancesTest, RefusedStartMakesNoLockFileBesideASettingsFileThatHasNone) {
  writeSection(0, folder("A"), folder("B"));
  writeSection(1, "/gone/one", "/gone/two");
  writeSection(2, folder("C"), folder("D"));
  ASSERT_EQ(::unlink((file() + ".lock").c_str()), 0);
  auto fs = makePosixFileSystem();
  std::error_code ec;
  const auto numberZero = InstanceLocks(runtime()).claim(0, ec);
  ASSERT_NE(numberZero, nullptr) << ec.message();
  const std::vector<std::string> before = settingsEntries();

  GuardedSettings settings(file(), runtime(), program(), "No settings are written here");
  std::vector<std::string> notes;
  std::string error;
  EXPECT_EQ(settings->LoadSettings(notes, error).dir1, folder("C"));
  EXPECT_EQ(error, "");
  EXPECT_EQ(notes, std::vector<std::string>{"No settings are written here"});
  EXPECT_EQ(settingsEntries(), before);
}

TEST_F(InstancesTest, AllowedWritesAskTheGuardWithTheFoldersOfTheStartAndWrite) {
  writeSection(0, folder("A"), folder("B"));
  writeSection(1, "/gone/one", "/gone/two");
  writeSection(2, folder("C"), folder("D"));
  auto first = start();
  GuardedSettings settings(file(), runtime(), program(), "");
  std::vector<std::string> notes;
  std::string error;
  WindowSettings now = settings->LoadSettings(notes, error);
  EXPECT_EQ(dir1Of(1), folder("C")) << "the exchange was written";
  EXPECT_EQ(dir1Of(2), "/gone/one");
  now.dir1 = folder("E");
  EXPECT_TRUE(settings->SaveSettings(now, notes, error)) << error;
  EXPECT_EQ(dir1Of(1), folder("E"));
  EXPECT_EQ(settings.asked, (std::vector<std::string>{folder("C") + " " + folder("D"),
                                                       folder("E") + " " + folder("D")}));
  EXPECT_EQ(notes, std::vector<std::string>{});
}

// A pipe where the settings file belongs would hang a start that opened it for reading.
TEST_F(InstancesTest, APipeInPlaceOfTheSettingsFileGivesDefaultsAndIsNeverReplaced) {
  ASSERT_EQ(::mkfifo(file().c_str(), 0600), 0);
  auto fs = makePosixFileSystem();
  TInstanceSettings settings(*fs, InstanceLocks(runtime()), file(), program());
  std::vector<std::string> notes;
  std::string error;
  const WindowSettings found = settings.LoadSettings(notes, error);
  EXPECT_EQ(found.dir1, program());
  EXPECT_EQ(notes, std::vector<std::string>{"The settings file " + file() +
                                            " cannot be read (Operation not supported); missing or unreadable "
                                            "values take their defaults"});
  WindowSettings now = found;
  now.dir1 = folder("A");
  now.dir2 = folder("B");
  EXPECT_FALSE(settings.SaveSettings(now, notes, error));
  EXPECT_EQ(error, "Operation not supported");
  struct stat st {};
  ASSERT_EQ(::lstat(file().c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode)) << "the pipe was replaced";
}

}  // namespace
}  // namespace vardell::test
