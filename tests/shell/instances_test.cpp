// Instance numbers and settings sections, with the other instances as real processes
// holding real locks.
#include "platform/profile_file.h"
#include "shell/instance_settings.h"
#include "tests/shell/shell_fixture.h"

#include <QCoreApplication>
#include <QProcess>

#include <csignal>
#include <fstream>

namespace vardell::test {
namespace {

// Another running instance: the test program in its helper role.
class OtherInstance {
 public:
  OtherInstance(const std::string& file, const std::string& runtime, const std::string& program) {
    process_.start(QCoreApplication::applicationFilePath(),
                   {"--instance", QString::fromStdString(file), QString::fromStdString(runtime),
                    QString::fromStdString(program)});
    started_ = readLine();
  }
  ~OtherInstance() {
    process_.closeWriteChannel();
    if (!process_.waitForFinished(5000)) process_.kill();
    process_.waitForFinished(5000);
  }
  // "started <number> <section> <vacant>"
  const std::string& started() const { return started_; }
  // Saves with these folders; gives "saved <number> ok".
  std::string save(const std::string& dir1, const std::string& dir2) {
    process_.write(QByteArray::fromStdString("save " + dir1 + " " + dir2 + "\n"));
    return readLine();
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
  std::string readLine() {
    while (!process_.canReadLine()) {
      if (!process_.waitForReadyRead(10000)) return "no answer: " + process_.readAllStandardError().toStdString();
    }
    return process_.readLine().trimmed().toStdString();
  }
  QProcess process_;
  std::string started_;
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
  TInstanceSettings own(*fs, InstanceLocks(*fs, runtime()), file(), program());
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

}  // namespace
}  // namespace vardell::test
