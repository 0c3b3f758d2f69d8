// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// vardell-cli as a script sees it: exit codes, refusals, an interrupted run, a dry run,
// its output as text and as JSON lines, colours and write errors.
#include "tests/support/spawn_program.h"
#include "tests/support/temp_tree.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <sstream>
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
      {{"compare", "--exclude-from", tree.path("no-list"), m, r}, "cannot read the exclusion file"},
      // A quoted argument reaches the terminal escaped, never as a control sequence.
      {{"compare", "--type", "\x1b[2Jfast", m, r}, "invalid value '\\x1B[2Jfast' for --type"},
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

// The bytes a jsonl string stands for: UTF-8, with U+DC80 to U+DCFF standing for the bytes
// 0x80 to 0xFF that were not UTF-8.
std::string nameBytes(const QString& text) {
  std::string bytes;
  QString run;
  const auto flush = [&] {
    bytes += run.toUtf8().toStdString();
    run.clear();
  };
  for (const QChar c : text) {
    if (c.unicode() >= 0xDC80 && c.unicode() <= 0xDCFF) {
      flush();
      bytes += char(c.unicode() - 0xDC00);
    } else {
      run += c;
    }
  }
  flush();
  return bytes;
}

std::vector<QJsonObject> jsonLines(const std::string& output) {
  std::vector<QJsonObject> objects;
  std::istringstream lines(output);
  for (std::string line; std::getline(lines, line);) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(line), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << line;
    EXPECT_TRUE(document.isObject()) << line;
    objects.push_back(document.object());
  }
  return objects;
}

TEST_F(Cli, JsonLinesCarryOddNamesExactlyAndEndWithTheSummary) {
  const Lines odd{"new\nline", "tab\there", "quote\"d", "back\\slash", "a\\nb", "bad\xff\xfe" "byte", "caf\xc3\xa9"};
  for (const auto& name : odd) tree.writeFile("m/" + name, "1");
  tree.writeFile("m/differs", "12");
  tree.writeFile("r/differs", "1");
  EXPECT_EQ(run({"compare", "--format", "jsonl", tree.path("m"), tree.path("r")}), 1) << err();
  const auto objects = jsonLines(out());
  Lines unpaired;
  std::map<std::string, int> kinds;
  for (const QJsonObject& object : objects) {
    const std::string kind = object["kind"].toString().toStdString();
    ++kinds[kind];
    if (kind == "unpaired_master_file") {
      unpaired.push_back(nameBytes(object["path"].toString()));
      EXPECT_EQ(object["size"].toInt(), 1);
      EXPECT_TRUE(object["mtime"].toString().endsWith("Z"));
    }
    if (kind == "mismatch") {
      EXPECT_EQ(object["reasons"].toArray(), QJsonArray({"size"}));
      EXPECT_EQ(object["size"].toInt(), 2);
      EXPECT_EQ(object["mirror_size"].toInt(), 1);
    }
  }
  Lines expected;
  for (const auto& name : odd) expected.push_back(tree.path("m/" + name));
  std::sort(unpaired.begin(), unpaired.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(unpaired, expected);
  EXPECT_EQ(kinds["mismatch"], 1);
  EXPECT_EQ(kinds["comparing"], 1);
  ASSERT_FALSE(objects.empty());
  const QJsonObject summary = objects.back();
  EXPECT_EQ(summary["kind"].toString(), "summary");
  EXPECT_EQ(summary["outcome"].toString(), "differ");
  EXPECT_EQ(summary["exit_status"].toInt(), 1);
}

TEST_F(Cli, AnInterruptedRunsSummaryHasTheStatusTheShellSees) {
  for (int i = 0; i < 400; ++i) tree.writeFile("m/d" + std::to_string(i % 20) + "/f" + std::to_string(i), "data");
  Lines args = syncArgs();
  args.insert(args.begin() + 1, "--format=jsonl");
  const pid_t syncing = start(args);
  ASSERT_TRUE(waitFor([&] { return out().find("\"kind\":\"copied\"") != std::string::npos; })) << err();
  ASSERT_EQ(::kill(syncing, SIGSTOP), 0);  // held mid-run, however fast the machine
  ASSERT_EQ(::kill(syncing, SIGINT), 0);
  ASSERT_EQ(::kill(syncing, SIGCONT), 0);
  const int status = wait(syncing);
  ASSERT_TRUE(WIFSIGNALED(status));
  EXPECT_EQ(WTERMSIG(status), SIGINT);
  const auto objects = jsonLines(out());
  ASSERT_FALSE(objects.empty());
  EXPECT_EQ(objects.back()["outcome"].toString(), "aborted");
  EXPECT_EQ(objects.back()["exit_status"].toInt(), 128 + SIGINT);
}

TEST_F(Cli, PrintedNamesAreEscapedSoEachMapsBackToOneName) {
  tree.writeFile("m/a\nb", "1");
  tree.writeFile("m/a\\nb", "1");
  tree.writeFile("m/bell\a\xff", "1");
  EXPECT_EQ(run({"compare", tree.path("m"), tree.path("r")}), 1);
  const std::string lines = out();
  EXPECT_NE(lines.find("Unpaired master file " + tree.path("m/a\\nb") + "\n"), std::string::npos) << lines;
  EXPECT_NE(lines.find("Unpaired master file " + tree.path("m/a\\\\nb") + "\n"), std::string::npos) << lines;
  EXPECT_NE(lines.find("Unpaired master file " + tree.path("m/bell\\x07\\xFF") + "\n"), std::string::npos) << lines;
}

TEST_F(Cli, ADryRunChangesNothingAndSaysWhatASyncWould) {
  tree.writeFile("m/a", "1");
  tree.writeFile("m/Same", "1");
  tree.writeFile("m/same", "2");
  tree.writeFile("r/extra/old", "o");
  const Lines before = tree.snapshot("m"), mirrorBefore = tree.snapshot("r"), dataBefore = tree.snapshot("data"),
              runBefore = tree.snapshot("run");
  Lines args = syncArgs();
  args.insert(args.begin() + 1, "-n");
  // The name clash cannot be mirrored: exit 1, as the Sync would end.
  EXPECT_EQ(run(args), 1) << err();
  EXPECT_EQ(tree.snapshot("m"), before);
  EXPECT_EQ(tree.snapshot("r"), mirrorBefore);
  EXPECT_EQ(tree.snapshot("data"), dataBefore);
  EXPECT_EQ(tree.snapshot("run"), runBefore);
  const std::string lines = out();
  EXPECT_NE(lines.find("Would copy to " + tree.path("r/a") + "\n"), std::string::npos) << lines;
  EXPECT_NE(lines.find("Would remove " + tree.path("r/extra/old") + "\n"), std::string::npos) << lines;
  EXPECT_NE(lines.find("Would remove folder " + tree.path("r/extra") + "\n"), std::string::npos) << lines;
  EXPECT_NE(lines.find("Files Copied: 2\nFiles Removed: 1\nFailed actions: 1\nDry run: nothing was changed\n"),
            std::string::npos) << lines;
  EXPECT_EQ(lines.find("Copy completed"), std::string::npos);

  args.insert(args.begin() + 1, "--format=jsonl");
  EXPECT_EQ(run(args), 1);
  const auto objects = jsonLines(out());
  ASSERT_FALSE(objects.empty());
  EXPECT_EQ(objects.back()["dry_run"].toBool(), true);
  EXPECT_EQ(objects.back()["copied"].toInt(), 2);
  EXPECT_EQ(objects.back()["removed"].toInt(), 1);
  EXPECT_EQ(objects.back()["exit_status"].toInt(), 1);
}

TEST_F(Cli, AnOutputThatCannotBeWrittenEndsWithTwoAndSaysWhy) {
  tree.writeFile("m/a", "1");
  // A full disk, and an output closed before the program started (through the shell, which
  // runs the program with its stdout closed).
  const std::string closedOutput = "exec \"$0\" \"$@\" >&-";
  const std::string full = std::strerror(ENOSPC), closed = std::strerror(EBADF);
  for (const Lines& args : {Lines{"--help"}, Lines{"-V"}, Lines{"compare", tree.path("m"), tree.path("r")}}) {
    for (const bool closedStdout : {false, true}) {
      Lines all = closedStdout ? Lines{"/bin/sh", "-c", closedOutput} : Lines{};
      all.push_back(VARDELL_CLI_PATH);
      all.insert(all.end(), args.begin(), args.end());
      const int status = wait(spawnProgram(all, closedStdout ? "/dev/null" : "/dev/full", tree.path("full.stderr")));
      ASSERT_TRUE(WIFEXITED(status));
      EXPECT_EQ(WEXITSTATUS(status), 2) << args[0];
      EXPECT_EQ(tree.readFile("full.stderr"),
                "vardell-cli: cannot write to standard output: " + (closedStdout ? closed : full) + "\n")
          << args[0];
    }
  }
}

// Runs vardell-cli with its output on a terminal (a pseudo-terminal) under TERM=term (no
// TERM when null).
std::string onTerminal(const Lines& args, const char* term) {
  const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
  EXPECT_GE(master, 0);
  EXPECT_EQ(::grantpt(master), 0);
  EXPECT_EQ(::unlockpt(master), 0);
  const std::string terminal = ::ptsname(master);
  // Held open until the program has ended, so its output waits to be read.
  const int held = ::open(terminal.c_str(), O_RDWR | O_NOCTTY);
  const char* oldTerm = std::getenv("TERM");
  const std::string savedTerm = oldTerm ? oldTerm : "";
  term ? ::setenv("TERM", term, 1) : ::unsetenv("TERM");
  Lines all{VARDELL_CLI_PATH};
  all.insert(all.end(), args.begin(), args.end());
  const pid_t pid = spawnProgram(all, terminal);
  oldTerm ? ::setenv("TERM", savedTerm.c_str(), 1) : ::unsetenv("TERM");
  ::waitpid(pid, nullptr, 0);
  ::close(held);
  std::string output;
  char buffer[4096];
  for (ssize_t n; (n = ::read(master, buffer, sizeof buffer)) > 0;) output.append(buffer, std::size_t(n));
  ::close(master);
  return output;
}

TEST_F(Cli, ColoursOnlyForTerminalsThatShowThemAndRedOnlyForFailures) {
  tree.writeFile("m/a", "12");
  tree.writeFile("r/a", "1");
  const Lines compare{"compare", tree.path("m"), tree.path("r")};
  EXPECT_NE(onTerminal(compare, "xterm").find("\x1b[91mFolders do not match"), std::string::npos);
  EXPECT_EQ(onTerminal(compare, "dumb").find('\x1b'), std::string::npos);
  EXPECT_EQ(onTerminal(compare, nullptr).find('\x1b'), std::string::npos);

  Lines coloured = compare;
  coloured.insert(coloured.begin() + 1, "--color=always");
  EXPECT_EQ(run(coloured), 1);
  // A mismatch is a finding, not a failure.
  EXPECT_NE(out().find("\x1b[93mSize mismatch"), std::string::npos) << out();
}

}  // namespace
