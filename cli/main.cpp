// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// vardell-cli: Compare and Sync from a terminal, a script or cron.
#include "cli/cli_options.h"
#include "cli/name_text.h"
#include "cli/standard_output.h"
#include "cli/terminal_window.h"
#include "engine/sync_engine.h"
#include "engine/version.h"
#include "platform/filesystem.h"
#include "platform/folders.h"
#include "platform/terminal.h"

#include <cstdio>
#include <cstdlib>
#include <string_view>

using namespace vardell;
using namespace vardell::cli;

namespace {

constexpr int kExitTrouble = 2;

int refuse(const std::string& reason) {
  flushOutput();
  std::fprintf(stderr, "vardell-cli: %s\n", escapeForTerminal(reason).c_str());
  return kExitTrouble;
}

// A terminal that says it cannot show escape sequences gets none; so does one that does
// not say what it is (no TERM, as under env -i).
bool terminalIsDumb() {
  const char* term = std::getenv("TERM");
  return !term || !term[0] || std::string_view(term) == "dumb";
}

bool wantColour(ColourMode mode) {
  if (mode == ColourMode::Always) return true;
  if (mode == ColourMode::Never) return false;
  const char* noColour = std::getenv("NO_COLOR");
  return isTerminal(Stream::Output) && !(noColour && noColour[0]) && !terminalIsDumb();
}

// Refusals the engine leaves to its callers: folders that are not there to compare.
std::string checkFolders(const CliOptions& options, FileSystem& fs) {
  FileIdentity id;
  if (fs.identify(options.master, id) || !id.folder) return "the master folder " + options.master + " does not exist";
  if (options.command == Command::Compare && (fs.identify(options.mirror, id) || !id.folder)) {
    return "the mirror folder " + options.mirror + " does not exist";
  }
  return {};
}

// After a run whose removal stopped because the master vanished, repeating waits until
// the master is there again on the volume it was on, with every volume that was mounted
// inside it.
bool masterIsBack(const CliOptions& options, FileSystem& fs, const RunReport& last) {
  if (!last.masterVanished) return true;
  FileIdentity id;
  if (fs.identify(options.master, id) || !id.folder || (last.masterDevice && id.device != *last.masterDevice)) return false;
  for (const auto& [folder, device] : last.masterMounts) {
    if (fs.identify(folder, id) || !id.folder || id.device != device) return false;
  }
  return true;
}

// Runs the command once; returns its exit status.
int runCommand(const CliOptions& options, FileSystem& fs, TerminalWindow& window, SyncEngine& engine) {
  if (const std::string problem = checkFolders(options, fs); !problem.empty()) return refuse(problem);
  if (options.command == Command::Compare) {
    engine.CompareBtnClick();
  } else {
    engine.ReplicateBtnClick();
  }
  window.clearProgress();
  flushOutput();
  const RunReport& run = engine.lastRun();
  switch (run.outcome) {
    case RunOutcome::FoldersMatch: return 0;
    case RunOutcome::FoldersDiffer:
    case RunOutcome::CompareAborted:
    case RunOutcome::SyncAborted: return 1;
    case RunOutcome::SyncCompleted: return run.failedActions == 0 ? 0 : 1;
    case RunOutcome::Refused: return refuse(run.refusal);
    case RunOutcome::Cancelled: return refuse(window.unansweredQuestion().empty() ? "cancelled" : window.unansweredQuestion());
    case RunOutcome::None: break;
  }
  return refuse("the run did not start");
}

// Runs the command once, ending its jsonl lines with the summary; returns its exit status.
int runOnce(const CliOptions& options, FileSystem& fs, TerminalWindow& window, SyncEngine& engine) {
  const int status = runCommand(options, fs, window, engine);
  if (options.format == OutputFormat::JsonLines) {
    const RunReport& run = engine.lastRun();
    RunSummary summary{options.command == Command::Sync ? "sync" : "compare", options.dryRun};
    // A run refused before the engine started leaves the previous run's report.
    summary.outcome = status == kExitTrouble && run.outcome != RunOutcome::Cancelled ? RunOutcome::Refused : run.outcome;
    summary.copied = engine.state().FilesCopied;
    summary.removed = engine.state().FilesRemoved;
    summary.failed = run.failedActions;
    // An interrupted run ends by its signal, which the shell reports as 128 + its number.
    summary.exitStatus = pendingSignal() != 0 ? 128 + pendingSignal() : status;
    writeOutput(JsonLines::summaryObject(summary) + "\n");
  }
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  std::string error;
  const auto parsed = parseCliOptions(std::vector<std::string>(argv + 1, argv + argc), error);
  if (!parsed) {
    // The reason may quote an argument, control characters and all.
    std::fprintf(stderr, "vardell-cli: %s\nTry 'vardell-cli --help'.\n", escapeForTerminal(error).c_str());
    return kExitTrouble;
  }
  CliOptions options = *parsed;
  if (options.help) {
    writeOutput(usageText());
    return outputWritten() ? 0 : kExitTrouble;
  }
  if (options.version) {
    std::fputs(versionText("vardell-cli").c_str(), stdout);
    return outputWritten() ? 0 : kExitTrouble;
  }
  installInterruptHandlers();
  auto fs = makePosixFileSystem();
  // Status lines name full paths, whatever folder the command was started in.
  options.master = fs->fullPath(options.master);
  options.mirror = fs->fullPath(options.mirror);
  TerminalWindow window(options, wantColour(options.colour), isTerminal(Stream::Error) && !terminalIsDumb(), *fs);
  CommandLineOptions commandLine;
  commandLine.present = options.keepExtra;
  commandLine.letters = options.keepExtra ? "N" : "";
  commandLine.exclusions = options.exclusions;
  EngineSetup setup{ownFolders().runLogs, commandLine, systemLocaleFormat()};
  setup.dryRun = options.dryRun;
  SyncEngine engine(*fs, window, std::move(setup));

  int status = runOnce(options, *fs, window, engine);
  bool written = outputWritten();
  bool waitNoted = false;
  while (written && options.everyMinutes > 0 && pendingSignal() == 0 && sleepUnlessSignalled(options.everyMinutes * 60)) {
    if (!masterIsBack(options, *fs, engine.lastRun())) {
      if (!waitNoted) std::fprintf(stderr, "vardell-cli: no further run until the master folder %s is back\n",
                                  escapeForTerminal(options.master).c_str());
      waitNoted = true;
      continue;
    }
    waitNoted = false;
    status = runOnce(options, *fs, window, engine);
    written = outputWritten();
  }
  if (!written) status = kExitTrouble;
  if (const int signal = pendingSignal()) endBySignal(signal);
  return status;
}
