// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// The status log and the run log file.
#include "engine/status_log.h"

#include "engine/run_texts.h"

#include <algorithm>

namespace vardell {
namespace {

bool isControl(char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; }

// Control characters in names (a newline, a tab) would break the line apart in the log
// and the terminal; they are shown escaped, as \n, \t or \xHH.
std::string escapeControls(std::string_view text) {
  static const char digits[] = "0123456789ABCDEF";
  std::string out;
  for (const char c : text) {
    if (!isControl(c)) {
      out += c;
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else {
      out += "\\x";
      out += digits[static_cast<unsigned char>(c) >> 4];
      out += digits[static_cast<unsigned char>(c) & 15];
    }
  }
  return out;
}

}  // namespace

StatusLog::~StatusLog() {
  if (log_) log_->close();
}

void StatusLog::LogStatus(std::string_view text, Colour colour, bool lineEnd) {
  const bool opensLine = atLineStart_;
  atLineStart_ = lineEnd;
  if (opensLine && actionsNotDone_) {
    if (const auto notDone = notDoneOpening(text)) {
      leavingOutLine_ = notDone->empty();
      text = *notDone;
    }
  }
  if (leavingOutLine_) {
    leavingOutLine_ = !lineEnd;
    return;
  }
  const std::string_view raw = text;
  std::string escaped;
  if (std::any_of(text.begin(), text.end(), isControl)) {
    escaped = escapeControls(text);
    text = escaped;
  }
  window_.insertStatusText(window_.showsRawStatusText() ? raw : text, colour);
  line_.append(text);
  if (!lineEnd) return;
  if (log_) {
    line_ += "\r\n";
    if (const auto ec = log_->write(line_); ec && !writeError_) writeError_ = ec;
  }
  line_.clear();
  window_.endStatusLine();
}

void StatusLog::clear() {
  line_.clear();
  atLineStart_ = true;
  leavingOutLine_ = false;
  window_.clearStatus();
}

std::error_code StatusLog::openRunLog(const std::vector<std::string>& folders, const std::string& name,
                                      std::string& path) {
  if (log_) closeRunLog();
  writeError_.clear();
  std::error_code ec;
  log_ = fs_.openOwnFile(folders, name, path, ec);
  return ec;
}

std::error_code StatusLog::closeRunLog() {
  if (!log_) return {};
  const auto ec = log_->close();
  log_.reset();
  if (ec && !writeError_) writeError_ = ec;
  return writeError_;
}

std::string RunLogName(const std::string& volumeTag, const std::string& mirrorFolderName) {
  return "log-" + volumeTag + "-" + mirrorFolderName + ".txt";
}

}  // namespace vardell
