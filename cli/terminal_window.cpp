// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// The terminal window.
#include "cli/terminal_window.h"

#include "cli/name_text.h"
#include "cli/standard_output.h"
#include "engine/summary_lines.h"
#include "platform/terminal.h"

#include <cstdio>

namespace vardell::cli {
namespace {

const char* ansiFor(Colour colour) {
  switch (colour) {
    case Colour::Black: return nullptr;
    case Colour::Maroon: return "\x1b[93m";  // findings, not failures: red is for those alone
    case Colour::Green: return "\x1b[32m";
    case Colour::Olive: return "\x1b[33m";
    case Colour::Navy: return "\x1b[34m";
    case Colour::Purple: return "\x1b[35m";
    case Colour::Grey: return "\x1b[90m";
    case Colour::Red: return "\x1b[91m";
    case Colour::Blue: return "\x1b[94m";
  }
  return nullptr;
}

// Keeps the end of a path, which says most, within `width` columns.
std::string shortenToWidth(const std::string& text, std::size_t width) {
  if (text.size() <= width) return text;
  if (width <= 3) return text.substr(text.size() - width);
  return "..." + text.substr(text.size() - (width - 3));
}

}  // namespace

TerminalWindow::TerminalWindow(const CliOptions& options, bool colour, bool progress, FileSystem& fs)
    : options_(options), colour_(colour), progress_(progress), mirror_(options.mirror),
      compareType_(CompareType(options.compareType)), json_(fs) {}

void TerminalWindow::insertStatusText(std::string_view text, Colour colour) {
  const char* code = colour_ ? ansiFor(colour) : nullptr;
  if (code) line_ += code;
  line_.append(escapeForTerminal(text));
  if (code) line_ += "\x1b[0m";
  plain_.append(text);
  fragments_.push_back({std::string(text), colour});
}

bool TerminalWindow::lineIsShown() const {
  return !options_.quiet || isVerdictOrSummaryLine(plain_);
}

void TerminalWindow::endStatusLine() {
  if (lineIsShown()) {
    clearProgress();
    if (options_.format == OutputFormat::JsonLines) {
      line_ = json_.objectFor(readStatusLine(fragments_), {options_.master, mirror_, run_ ? run_->currentPath() : ""});
    }
    line_ += '\n';
    writeOutput(line_);
  }
  clearStatus();
}

void TerminalWindow::clearProgress() {
  if (!progressShown_) return;
  std::fputs("\r\x1b[K", stderr);
  progressShown_ = false;
}

void TerminalWindow::processEvents() {
  if (run_ && pendingSignal() != 0) run_->requestAbort();
  if (!progress_ || !run_) return;
  const auto now = std::chrono::steady_clock::now();
  if (now - lastPaint_ < std::chrono::milliseconds(100)) return;
  lastPaint_ = now;
  flushOutput();
  std::string text = overall_ >= 0 ? "[" + std::to_string(overall_) + "%] " : std::string();
  const std::size_t width = std::size_t(terminalWidth()) - 1;
  text += shortenToWidth(escapeForTerminal(run_->currentPath()), width > text.size() ? width - text.size() : 1);
  std::fprintf(stderr, "\r\x1b[K%s", text.c_str());
  std::fflush(stderr);
  progressShown_ = true;
}

void TerminalWindow::showMessage(MessageKind, const std::string& caption, const std::string& text) {
  clearProgress();
  std::fprintf(stderr, "%s: %s\n", caption.c_str(), escapeForTerminal(text).c_str());
}

void TerminalWindow::reportFailure(const std::string& text) {
  clearProgress();
  std::fprintf(stderr, "vardell-cli: %s\n", escapeForTerminal(text).c_str());
}

NameAnswer TerminalWindow::askFolderNames(const std::string& mirrorFolder) {
  if (options_.namesDiffer == NamesDiffer::Continue) return NameAnswer::ContinueWithDifferentNames;
  if (options_.namesDiffer == NamesDiffer::Create) return NameAnswer::CreateFolderThenContinue;
  if (!isTerminal(Stream::Input)) {
    unanswered_ = "the master and mirror folder names differ; say --names-differ continue or create";
    return NameAnswer::Cancel;
  }
  clearProgress();
  flushOutput();
  std::fprintf(stderr,
               "The folder names of %s and %s differ.\n"
               "[c] continue with different names, [f] create a folder named like the master inside "
               "the mirror, then continue, [q] cancel: ",
               escapeForTerminal(options_.master).c_str(), escapeForTerminal(mirrorFolder).c_str());
  std::string answer;
  if (readInputLine(answer) && !answer.empty()) {
    if (answer[0] == 'c' || answer[0] == 'C') return NameAnswer::ContinueWithDifferentNames;
    if (answer[0] == 'f' || answer[0] == 'F') return NameAnswer::CreateFolderThenContinue;
  }
  unanswered_ = "cancelled: the master and mirror folder names differ";
  return NameAnswer::Cancel;
}

bool TerminalWindow::confirmEmptyMasterRemoval(const std::string&, long long entriesToTrash) {
  if (options_.allowEmptyMaster) return true;
  clearProgress();
  std::fprintf(stderr, "vardell-cli: the master folder is empty; %lld mirror entries would go to the trash "
               "(say --allow-empty-master to allow it)\n", entriesToTrash);
  return false;
}

}  // namespace vardell::cli
