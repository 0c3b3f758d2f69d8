// vardell-cli as a script sees it: exit codes, refusals and an interrupted run.
#include "tests/support/spawn_program.h"
#include "tests/support/temp_tree.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <thread>

extern char** environ;

using namespace vardell::test;

namespace {

using Lines = std::vector<std::string>;

bool waitFor(const std::function<bool()>& condition) {
  for (int i = 0; i < 2000 && !condition(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  return condition();
}

struct Cli : ::testing::Test {
  TempTree tree;
  Cli() {
    tree.makeFolder("m");
    tree.makeFolder("r");
    tree.makeFolder("data");
    tree.makeFolder("run");
    ::setenv("XDG_DATA_HOME", tree.path("data").c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", tree.path("run").c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", tree.path("cfg").c_str(), 1);
    ::unsetenv("NO_COLOR");
  }

  // Starts vardell-cli with args; its output goes to files in the tree.
  pid_t start(const Lines& args, const std::string& tag = "out") {
    std::vector<std::string> all{VARDELL_CLI_PATH};
    all.insert(all.end(), args.begin(), args.end());
    const pid_t pid = spawnProgram(all, tree.path(tag + ".stdout"), tree.path(tag + ".stderr"));
    EXPECT_GT(pid, 0);
    return pid;
  }
  static int wait(pid_t pid) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    return status;
  }
  // Runs to the end; returns the exit code (or 128 + signal).
  int run(const Lines& args, const std::string& tag = "out") {
    const int status = wait(start(args, tag));
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  std::string out(const std::string& tag = "out") const { return tree.readFile(tag + ".stdout"); }
  std::string err(const std::string& tag = "out") const { return tree.readFile(tag + ".stderr"); }
  Lines syncArgs() const {
    return {"sync", "--allow-system-volume", "--names-differ", "continue", tree.path("m"), tree.path("r")};
  }
};

TEST_F(Cli, ExitCodesFollowTheVerdict) {
  tree.writeFile("m/a", "1");
  EXPECT_EQ(run({"compare", tree.path("m"), tree.path("r")}), 1);
  EXPECT_NE(out().find("Folders do not match"), std::string::npos);
  EXPECT_EQ(run(syncArgs()), 0) << err();
  EXPECT_NE(out().find("Replication completed"), std::string::npos);
  EXPECT_EQ(run({"compare", "--color", "always", tree.path("m"), tree.path("r")}), 0);
  EXPECT_NE(out().find("\x1b[32mFolders match\x1b[0m"), std::string::npos) << out();
  EXPECT_EQ(run({"compare", "-q", tree.path("m"), tree.path("r")}), 0);
  EXPECT_EQ(out(), "Folders match\n");
}

TEST_F(Cli, ASyncThatCouldNotCopyEverythingExitsWithOne) {
  tree.writeFile("m/a", "1");
  ASSERT_EQ(::mkfifo(tree.path("m/pipe").c_str(), 0600), 0);
  EXPECT_EQ(run(syncArgs()), 1);
  EXPECT_NE(out().find("File copy failed"), std::string::npos);
  EXPECT_EQ(tree.readFile("r/a"), "1");
}

TEST_F(Cli, RefusalsExitWithTwoAndOneLineOnStderr) {
  tree.writeFile("m/a", "1");
  tree.writeFile("r/keep", "k");
  struct Refusal {
    Lines args;
    const char* reason;
  };
  const std::string m = tree.path("m"), r = tree.path("r");
  const std::vector<Refusal> refusals{
      {{"sync"}, "expected MASTER and MIRROR"},
      {{"copy", m, r}, "unknown command"},
      {{"compare", "--type", "fast", m, r}, "invalid value"},
      {{"compare", tree.path("missing"), r}, "does not exist"},
      {{"compare", "-e", "99999999999999999999", m, r}, "invalid number of minutes"},
      {{"compare", "-e", "35792", m, r}, "1 to 35791"},
      {{"sync", m, r}, "protected system volume"},
      {{"sync", "--allow-system-volume", m, tree.path("r")}, "names differ"},
      {{"sync", "--allow-system-volume", "--names-differ", "continue", m, m + "/sub"}, "inside the master"},
      {{"sync", "--allow-system-volume", "--names-differ", "continue", m, m}, "same folder"},
      {{"sync", "--allow-system-volume", "--names-differ", "continue", tree.path("empty"), r}, "does not exist"},
      // A switch never takes a value: "=no" would otherwise be read as on.
      {{"sync", "--allow-system-volume=no", "--names-differ", "continue", m, r}, "option '--allow-system-volume' does not take a value"},
      {{"sync", "--allow-empty-master=no", m, r}, "option '--allow-empty-master' does not take a value"},
      {{"compare", "--quiet=1", m, r}, "option '--quiet' does not take a value"},
      {{"--help=no"}, "option '--help' does not take a value"},
  };
  for (const auto& refusal : refusals) {
    EXPECT_EQ(run(refusal.args), 2) << refusal.reason;
    EXPECT_NE(err().find(refusal.reason), std::string::npos) << err();
  }
  EXPECT_EQ(tree.listing("r"), Lines{"keep=k"});
  EXPECT_FALSE(tree.exists("m/sub"));
}

TEST_F(Cli, RepeatingRunsWaitBetweenRunsAndEndOnTheSignal) {
  tree.writeFile("m/a", "1");
  const pid_t repeating = start({"compare", "-e", "1", tree.path("m"), tree.path("r")});
  ASSERT_TRUE(waitFor([&] { return out().find("Elapsed Time:  ") != std::string::npos; })) << err();
  ASSERT_EQ(::kill(repeating, SIGTERM), 0);
  const int status = wait(repeating);
  ASSERT_TRUE(WIFSIGNALED(status));
  EXPECT_EQ(WTERMSIG(status), SIGTERM);
  const std::string lines = out();
  EXPECT_EQ(lines.find("Folders do not match"), lines.rfind("Folders do not match"));  // one run so far
}

TEST_F(Cli, AnEmptyMasterEmptiesTheMirrorOnlyWhenAllowed) {
  tree.writeFile("r/keep", "k");
  const Lines base{"sync", "--allow-system-volume", "--names-differ", "continue", tree.path("m"), tree.path("r")};
  EXPECT_EQ(run(base), 2);
  EXPECT_NE(err().find("is empty"), std::string::npos) << err();
  EXPECT_TRUE(tree.exists("r/keep"));
  Lines allowed = base;
  allowed.insert(allowed.begin() + 1, "--allow-empty-master");
  EXPECT_EQ(run(allowed), 0) << err();
  EXPECT_FALSE(tree.exists("r/keep"));
}

TEST_F(Cli, SigintAbortsCleanlyThenEndsByTheSignalAndFreesTheMirror) {
  for (int i = 0; i < 4000; ++i) tree.writeFile("m/d" + std::to_string(i % 40) + "/f" + std::to_string(i), "data");
  const Lines args{"sync", "--allow-system-volume", "--names-differ", "continue", tree.path("m"), tree.path("r")};
  const pid_t first = start(args, "first");
  ASSERT_TRUE(waitFor([&] { return out("first").find("Copy completed") != std::string::npos; })) << err("first");
  ASSERT_EQ(::kill(first, SIGSTOP), 0);  // held mid-run, however fast the machine

  // A second run on the same mirror is refused while the first holds it.
  EXPECT_EQ(run(args, "second"), 2);
  EXPECT_NE(err("second").find("Another run is busy"), std::string::npos) << err("second");

  ASSERT_EQ(::kill(first, SIGINT), 0);
  ASSERT_EQ(::kill(first, SIGCONT), 0);
  const int status = wait(first);
  ASSERT_TRUE(WIFSIGNALED(status)) << out("first");
  EXPECT_EQ(WTERMSIG(status), SIGINT);
  const std::string lines = out("first");
  EXPECT_NE(lines.find("Replication aborted\n"), std::string::npos);
  EXPECT_NE(lines.find("Elapsed Time:  "), std::string::npos);
  for (const auto& entry : tree.listing("r")) EXPECT_EQ(entry.find(".vardell-"), std::string::npos) << entry;
  EXPECT_LT(tree.listing("r").size(), 4040u);
}

}  // namespace
