// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// Runs of the vardell-cli program from a test, to their end.
#include "tests/support/cli_run.h"

#include "tests/support/spawn_program.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <fstream>
#include <sstream>

namespace vardell::test {
namespace {

std::string readText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

CliRun runVardellCli(const std::vector<std::string>& args, const std::string& stem) {
  std::vector<std::string> all{VARDELL_CLI_PATH};
  all.insert(all.end(), args.begin(), args.end());
  const pid_t pid = spawnProgram(all, stem + ".stdout", stem + ".stderr");
  CliRun run;
  EXPECT_GT(pid, 0) << "vardell-cli could not be started";
  int status = 0;
  if (pid > 0) ::waitpid(pid, &status, 0);
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  run.out = readText(stem + ".stdout");
  run.err = readText(stem + ".stderr");
  return run;
}

}  // namespace vardell::test
