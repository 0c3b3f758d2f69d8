// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// Instance lock files in the runtime folder: what probes and claims leave there, what they
// make of things planted in the lock files' places, and which process holds a number when
// several race for it. Other processes are forks of this test program.
#include "platform/instances.h"
#include "shell/instance_settings.h"
#include "tests/shell/shell_fixture.h"

#include <algorithm>
#include <atomic>
#include <csignal>
#include <filesystem>
#include <functional>
#include <system_error>

#include <fcntl.h>
#include <sched.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vardell::test {
namespace {

// A forked copy of this process that runs `body` and ends with its result as exit status;
// killed when it is still running as the test ends.
class ForkedProcess {
 public:
  explicit ForkedProcess(const std::function<int()>& body) {
    pid_ = ::fork();
    if (pid_ == 0) ::_exit(body());
  }
  ~ForkedProcess() { kill(); }
  ForkedProcess(const ForkedProcess&) = delete;
  ForkedProcess& operator=(const ForkedProcess&) = delete;

  bool started() const { return pid_ > 0; }
  // The exit status, or -1 when it did not exit by itself.
  int wait() {
    int status = 0;
    if (pid_ <= 0 || ::waitpid(pid_, &status, 0) != pid_) return -1;
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  void kill() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

 private:
  pid_t pid_ = -1;
};

// A pipe between this process and forked ones: a one-byte message, or a start signal that
// lets every reader go on once every process has closed its write end.
class Pipe {
 public:
  Pipe() {
    if (::pipe2(fds_, O_CLOEXEC) != 0) fds_[0] = fds_[1] = -1;
  }
  ~Pipe() {
    closeReadEnd();
    closeWriteEnd();
  }
  Pipe(const Pipe&) = delete;
  Pipe& operator=(const Pipe&) = delete;

  bool open() const { return fds_[0] >= 0; }
  void send(char c) const { (void)!::write(fds_[1], &c, 1); }
  // The next byte, or 0 at the end of input.
  char receive() const {
    char c = 0;
    return ::read(fds_[0], &c, 1) == 1 ? c : 0;
  }
  void closeReadEnd() {
    if (fds_[0] >= 0) ::close(fds_[0]);
    fds_[0] = -1;
  }
  void closeWriteEnd() {
    if (fds_[1] >= 0) ::close(fds_[1]);
    fds_[1] = -1;
  }

 private:
  int fds_[2] = {-1, -1};
};

// Counters every forked process sees and changes.
struct SharedCounters {
  std::atomic<int> holders{0};   // processes holding number 0 right now
  std::atomic<int> overlaps{0};  // claims that succeeded while another process held 0
  std::atomic<int> unheld{0};    // claims that succeeded although a probe found the number free
  std::atomic<int> claims{0};    // claims that succeeded
};
static_assert(std::atomic<int>::is_always_lock_free, "the counters live in memory shared by processes");

class SharedMemory {
 public:
  SharedMemory() {
    void* memory = ::mmap(nullptr, sizeof(SharedCounters), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (memory != MAP_FAILED) counters_ = new (memory) SharedCounters;
  }
  ~SharedMemory() {
    if (counters_) ::munmap(counters_, sizeof(SharedCounters));
  }
  SharedMemory(const SharedMemory&) = delete;
  SharedMemory& operator=(const SharedMemory&) = delete;

  SharedCounters* operator->() const { return counters_; }
  explicit operator bool() const { return counters_ != nullptr; }

 private:
  SharedCounters* counters_ = nullptr;
};

class InstanceLocksTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_.makeFolder("run");
    root_.makeFolder("outside/folder");
    root_.writeFile("outside/file", "not a lock file");
    outsideBefore_ = root_.snapshot("outside");
  }

  std::string runtime() const { return root_ / "run/"; }
  std::string inRuntime(const std::string& name) const { return root_ / ("run/" + name); }

  // The names in the runtime folder, sorted.
  std::vector<std::string> runtimeNames() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(root_ / "run")) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  // Nothing outside the runtime folder was made, changed or removed.
  void expectOutsideUntouched() const { EXPECT_EQ(root_.snapshot("outside"), outsideBefore_); }

  // True when this process can take an exclusive lock on the file at path right now.
  static bool lockableHere(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    const bool locked = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    ::close(fd);
    return locked;
  }

  ScopedFolder root_;
  std::unique_ptr<FileSystem> fs_ = makePosixFileSystem();
  std::vector<std::string> outsideBefore_;
};

TEST_F(InstanceLocksTest, LinksPlantedAsLockFilesCreateNothingWhereTheyPointAndCountAsHeld) {
  const std::vector<std::pair<std::string, std::string>> links = {
      {"Vardell0", root_ / "outside/made-through-link"},         // a file that does not exist yet
      {"Vardell1", root_ / "outside/file"},                      // a file that does
      {"Vardell2", root_ / "outside/folder"},                    // a folder
      {"Vardell3", "../outside/folder/made-through-relative"},  // missing, relative to the runtime folder
  };
  for (const auto& [name, target] : links) ASSERT_EQ(::symlink(target.c_str(), inRuntime(name).c_str()), 0);
  outsideBefore_ = root_.snapshot("outside");
  InstanceLocks locks(runtime());

  for (int n = 0; n < 4; ++n) {
    EXPECT_TRUE(locks.isHeld(n)) << n;
    std::error_code ec;
    EXPECT_EQ(locks.claim(n, ec), nullptr) << n;
    EXPECT_EQ(ec, std::errc::resource_unavailable_try_again) << n << ": " << ec.message();
  }
  EXPECT_TRUE(lockableHere(root_ / "outside/file")) << "no handle of the program holds the file a link leads to";
  expectOutsideUntouched();
  EXPECT_EQ(runtimeNames(), (std::vector<std::string>{"Vardell0", "Vardell1", "Vardell2", "Vardell3"}));
  for (const auto& [name, target] : links) {
    std::error_code ec;
    EXPECT_EQ(std::filesystem::read_symlink(inRuntime(name), ec).string(), target) << "the link is left as it was";
  }

  std::error_code ec;
  EXPECT_NE(locks.claim(4, ec), nullptr) << "the next number is free: " << ec.message();
}

TEST_F(InstanceLocksTest, ProbingEveryNumberLeavesTheRuntimeFolderEmpty) {
  // A file made and removed again would leave the folder's time changed.
  const struct timespec past[2] = {{1600000000, 0}, {1600000000, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, (root_ / "run").c_str(), past, 0), 0);
  InstanceLocks locks(runtime());
  for (int n = 0; n < TInstanceSettings::kHighestInstance; ++n) EXPECT_FALSE(locks.isHeld(n)) << n;
  EXPECT_EQ(runtimeNames(), std::vector<std::string>{});
  struct stat st {};
  ASSERT_EQ(::stat((root_ / "run").c_str(), &st), 0);
  EXPECT_EQ(st.st_mtim.tv_sec, past[1].tv_sec) << "probes made no file at all";

  // A start claims a number and counts the others; only the claimed number's file is there.
  TInstanceSettings settings(*fs_, InstanceLocks(runtime()), root_ / "KELPO.ini", root_ / "program/");
  EXPECT_EQ(settings.ClaimLowestFreeInstance(0), 0);
  EXPECT_EQ(settings.CountInstancesTaken(), 1);
  EXPECT_EQ(runtimeNames(), std::vector<std::string>{"Vardell0"});
}

TEST_F(InstanceLocksTest, AClaimedNumbersFileIsThereWhileHeldAndGoneAfterRelease) {
  InstanceLocks locks(runtime());
  std::error_code ec;
  auto lock = locks.claim(5, ec);
  ASSERT_NE(lock, nullptr) << ec.message();
  EXPECT_EQ(runtimeNames(), std::vector<std::string>{"Vardell5"});
  struct stat st {};
  ASSERT_EQ(::lstat(inRuntime("Vardell5").c_str(), &st), 0);
  EXPECT_TRUE(S_ISREG(st.st_mode));
  EXPECT_EQ(st.st_mode & 07777, 0600u) << "nobody else may open the lock file";
  EXPECT_TRUE(locks.isHeld(5)) << "a claim in this process holds it against other handles";
  EXPECT_EQ(locks.claim(5, ec), nullptr);
  EXPECT_EQ(ec, std::errc::resource_unavailable_try_again);
  EXPECT_EQ(runtimeNames(), std::vector<std::string>{"Vardell5"}) << "probing a held number removes nothing";

  lock.reset();
  EXPECT_EQ(runtimeNames(), std::vector<std::string>{});
  EXPECT_FALSE(locks.isHeld(5));
}

TEST_F(InstanceLocksTest, WhatWasPutInAHeldNumbersPlaceIsLeftThereOnRelease) {
  InstanceLocks locks(runtime());
  std::error_code ec;
  auto lock = locks.claim(0, ec);
  ASSERT_NE(lock, nullptr) << ec.message();
  root_.writeFile("run/planted", "someone else's");
  ASSERT_EQ(::rename(inRuntime("planted").c_str(), inRuntime("Vardell0").c_str()), 0);
  ASSERT_EQ(::symlink((root_ / "outside/file").c_str(), inRuntime("Vardell1").c_str()), 0);
  auto second = locks.claim(2, ec);
  ASSERT_NE(second, nullptr) << ec.message();
  ASSERT_EQ(::rename(inRuntime("Vardell1").c_str(), inRuntime("Vardell2").c_str()), 0);
  const auto before = root_.snapshot("run");

  lock.reset();
  second.reset();
  EXPECT_EQ(root_.snapshot("run"), before);
  expectOutsideUntouched();
}

TEST_F(InstanceLocksTest, MovingToAnotherNumberRemovesTheOldNumbersFile) {
  TInstanceSettings settings(*fs_, InstanceLocks(runtime()), root_ / "KELPO.ini", root_ / "program/");
  ASSERT_EQ(settings.ClaimLowestFreeInstance(0), 0);
  ASSERT_TRUE(settings.ReassignInstance(7));
  EXPECT_EQ(runtimeNames(), std::vector<std::string>{"Vardell7"});
}

TEST_F(InstanceLocksTest, ALeftoverOfAKilledHolderIsRemovedByTheNextProbeAndItsNumberClaimed) {
  InstanceLocks locks(runtime());
  Pipe ready;
  Pipe never;  // nothing is ever written here: the holder waits on it until it is killed
  ASSERT_TRUE(ready.open() && never.open());
  ForkedProcess holder([&] {
    std::error_code ec;
    const auto lock = locks.claim(3, ec);
    ready.send(lock ? 'y' : 'n');
    never.receive();
    return 0;
  });
  ASSERT_TRUE(holder.started());
  ASSERT_EQ(ready.receive(), 'y');
  EXPECT_TRUE(locks.isHeld(3));
  EXPECT_EQ(runtimeNames(), std::vector<std::string>{"Vardell3"}) << "a held number's file is not taken as a leftover";

  holder.kill();
  EXPECT_EQ(runtimeNames(), std::vector<std::string>{"Vardell3"}) << "a killed holder cannot remove its file";
  EXPECT_FALSE(locks.isHeld(3));
  EXPECT_EQ(runtimeNames(), std::vector<std::string>{});
  std::error_code ec;
  EXPECT_NE(locks.claim(3, ec), nullptr) << ec.message();
}

TEST_F(InstanceLocksTest, ProcessesClaimingAndProbingTheSameNumberNeverHoldItTogether) {
  SharedMemory shared;
  ASSERT_TRUE(shared);
  Pipe start;
  ASSERT_TRUE(start.open());
  InstanceLocks locks(runtime());
  constexpr int kRounds = 5000;
  // Each process gives the number up at once and then probes it, so the file is removed and
  // made again all the time, a claim often opens a file whose holder is just removing it,
  // and a probe often locks a file that has just lost its name.
  const auto claimer = [&] {
    start.closeWriteEnd();
    if (start.receive() != 0) return 2;
    for (int i = 0; i < kRounds; ++i) {
      std::error_code ec;
      if (auto lock = locks.claim(0, ec)) {
        shared->claims.fetch_add(1);
        if (shared->holders.fetch_add(1) != 0) shared->overlaps.fetch_add(1);
        // A lock on a file that has lost its name holds nothing: a probe then finds 0 free.
        if (!locks.isHeld(0)) shared->unheld.fetch_add(1);
        shared->holders.fetch_sub(1);
      } else if (ec != std::errc::resource_unavailable_try_again) {
        return 3;
      }
      (void)locks.isHeld(0);
    }
    return 0;
  };
  ForkedProcess first(claimer);
  ForkedProcess second(claimer);
  ForkedProcess third(claimer);
  ASSERT_TRUE(first.started() && second.started() && third.started());
  start.closeWriteEnd();
  EXPECT_EQ(first.wait(), 0);
  EXPECT_EQ(second.wait(), 0);
  EXPECT_EQ(third.wait(), 0);

  EXPECT_EQ(shared->overlaps.load(), 0) << "claims that succeeded while another process held the number";
  EXPECT_EQ(shared->unheld.load(), 0) << "claims that succeeded on a file no longer named as the number's";
  EXPECT_GT(shared->claims.load(), 0);
  EXPECT_EQ(runtimeNames(), std::vector<std::string>{}) << "every claimer removed its file when it gave it up";
}

TEST_F(InstanceLocksTest, AFifoAFolderOrASocketNamedAsALockFileCountsAsHeldAndIsLeftAlone) {
  ASSERT_EQ(::mkfifo(inRuntime("Vardell0").c_str(), 0600), 0);
  root_.makeFolder("run/Vardell1");
  root_.writeFile("run/Vardell1/inside", "kept");
  const int server = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  ASSERT_GE(server, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string socketPath = inRuntime("Vardell2");
  ASSERT_LT(socketPath.size(), sizeof(address.sun_path));
  socketPath.copy(address.sun_path, socketPath.size());
  ASSERT_EQ(::bind(server, reinterpret_cast<const sockaddr*>(&address), sizeof(address)), 0);
  const auto before = root_.snapshot("run");
  InstanceLocks locks(runtime());

  for (int n = 0; n < 3; ++n) {
    EXPECT_TRUE(locks.isHeld(n)) << n;
    std::error_code ec;
    EXPECT_EQ(locks.claim(n, ec), nullptr) << n;
    EXPECT_EQ(ec, std::errc::resource_unavailable_try_again) << n << ": " << ec.message();
  }
  EXPECT_EQ(root_.snapshot("run"), before);
  // A writer finds no reader: the program kept no handle on the FIFO.
  const int writer = ::open(inRuntime("Vardell0").c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
  EXPECT_EQ(writer, -1);
  EXPECT_EQ(errno, ENXIO);
  if (writer >= 0) ::close(writer);
  ::close(server);
}

TEST_F(InstanceLocksTest, ALockFileUnderALeaseCountsAsHeldWithoutWaitingForTheLease) {
  root_.writeFile("run/Vardell0", "");
  Pipe ready;
  Pipe never;
  ASSERT_TRUE(ready.open() && never.open());
  // The lease holder lets its lease go as soon as an open asks for it to be broken, so only
  // an open that does not wait for that sees the lease.
  ForkedProcess leaseHolder([&] {
    sigset_t breakSignal;
    sigemptyset(&breakSignal);
    sigaddset(&breakSignal, SIGIO);
    ::sigprocmask(SIG_BLOCK, &breakSignal, nullptr);
    const int fd = ::open(inRuntime("Vardell0").c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || ::fcntl(fd, F_SETLEASE, F_RDLCK) != 0) {
      ready.send('n');
      return 1;
    }
    ready.send('y');
    ::sigwaitinfo(&breakSignal, nullptr);
    ::fcntl(fd, F_SETLEASE, F_UNLCK);
    never.receive();
    return 0;
  });
  ASSERT_TRUE(leaseHolder.started());
  ASSERT_EQ(ready.receive(), 'y') << "the file system takes no leases";
  InstanceLocks locks(runtime());
  EXPECT_TRUE(locks.isHeld(0));
  EXPECT_EQ(runtimeNames(), std::vector<std::string>{"Vardell0"});
}

TEST_F(InstanceLocksTest, AFileWithAnotherNameOutsideIsNeitherLockedNorRemoved) {
  ASSERT_EQ(::link((root_ / "outside/file").c_str(), inRuntime("Vardell0").c_str()), 0);
  outsideBefore_ = root_.snapshot("outside");
  InstanceLocks locks(runtime());
  EXPECT_TRUE(locks.isHeld(0));
  std::error_code ec;
  EXPECT_EQ(locks.claim(0, ec), nullptr);
  EXPECT_EQ(ec, std::errc::resource_unavailable_try_again) << ec.message();
  EXPECT_EQ(runtimeNames(), std::vector<std::string>{"Vardell0"});
  expectOutsideUntouched();
}

TEST_F(InstanceLocksTest, ALockFileOfAnotherUserIsNeitherClaimedNorRemoved) {
  root_.writeFile("run/Vardell0", "");
  ASSERT_EQ(::chown(inRuntime("Vardell0").c_str(), ::geteuid() + 1, ::getegid()), 0);
  const auto before = root_.snapshot("run");
  InstanceLocks locks(runtime());
  EXPECT_TRUE(locks.isHeld(0));
  std::error_code ec;
  EXPECT_EQ(locks.claim(0, ec), nullptr);
  EXPECT_EQ(ec, std::errc::resource_unavailable_try_again) << ec.message();
  EXPECT_EQ(root_.snapshot("run"), before);
}

TEST_F(InstanceLocksTest, ARuntimeFolderThatIsALinkIsRefused) {
  ASSERT_EQ(::symlink((root_ / "outside/folder").c_str(), (root_ / "linked-run").c_str()), 0);
  for (const std::string& spelling : {root_ / "linked-run/", root_ / "linked-run"}) {
    InstanceLocks locks(spelling);
    EXPECT_EQ(locks.folder(), spelling);
    EXPECT_TRUE(locks.isHeld(0)) << spelling;
    std::error_code ec;
    EXPECT_EQ(locks.claim(0, ec), nullptr) << spelling;
    EXPECT_TRUE(ec) << spelling;
  }
  expectOutsideUntouched();
}

TEST_F(InstanceLocksTest, ARuntimeFolderMadeAfterTheLocksWereSetUpIsUsed) {
  InstanceLocks locks(root_ / "later/");
  EXPECT_TRUE(locks.isHeld(0)) << "no folder yet: nothing can be known free";
  root_.makeFolder("later");
  EXPECT_FALSE(locks.isHeld(0));
  std::error_code ec;
  auto lock = locks.claim(0, ec);
  ASSERT_NE(lock, nullptr) << ec.message();
  EXPECT_TRUE(root_.exists("later/Vardell0"));
}

TEST_F(InstanceLocksTest, TheRuntimeFolderReplacedByALinkAfterFirstUseKeepsTheLocksInTheFolderOpened) {
  InstanceLocks locks(runtime());
  ASSERT_FALSE(locks.isHeld(1));
  ASSERT_EQ(::rename((root_ / "run").c_str(), (root_ / "run-moved").c_str()), 0);
  ASSERT_EQ(::symlink((root_ / "outside/folder").c_str(), (root_ / "run").c_str()), 0);

  std::error_code ec;
  auto lock = locks.claim(1, ec);
  ASSERT_NE(lock, nullptr) << ec.message();
  EXPECT_TRUE(root_.exists("run-moved/Vardell1"));
  expectOutsideUntouched();
  lock.reset();
  EXPECT_FALSE(root_.exists("run-moved/Vardell1"));
}

TEST_F(InstanceLocksTest, LinksSwappedInWhileClaimingAndProbingCreateNothingOutside) {
  InstanceLocks locks(runtime());
  Pipe started;
  ASSERT_TRUE(started.open());
  // Someone who may write the runtime folder keeps putting, by rename, a link to a file
  // outside, a link to a folder outside and a plain file in the place of number 0's file,
  // and removes it now and then.
  ForkedProcess hostile([&]() -> int {
    const int run = ::open((root_ / "run").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const std::string toFile = root_ / "outside/made-through-swapped-link";
    const std::string toFolder = root_ / "outside/folder";
    started.send('y');
    for (unsigned i = 0;; ++i) {
      switch (i % 4) {
        case 0:
          (void)::symlinkat(toFile.c_str(), run, "swap");
          break;
        case 1:
          (void)::symlinkat(toFolder.c_str(), run, "swap");
          break;
        case 2:
          ::close(::openat(run, "swap", O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
          break;
        case 3:
          (void)::unlinkat(run, "Vardell0", 0);
          continue;
      }
      (void)::renameat(run, "swap", run, "Vardell0");
    }
    return 0;
  });
  ASSERT_TRUE(hostile.started());
  ASSERT_EQ(started.receive(), 'y');

  for (int i = 0; i < 3000; ++i) {
    std::error_code ec;
    (void)locks.claim(0, ec);  // won or lost by timing; either way through no link
    (void)locks.isHeld(0);
  }
  hostile.kill();
  expectOutsideUntouched();
  EXPECT_FALSE(root_.exists("outside/made-through-swapped-link"));
}

}  // namespace
}  // namespace vardell::test
