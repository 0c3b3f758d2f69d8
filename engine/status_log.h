// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// The status log: coloured fragments to the status window, completed lines to the
// run log file of the mirror folder.
#pragma once

#include "engine/run_state.h"
#include "engine/run_window.h"
#include "platform/filesystem.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>
#include <system_error>

namespace vardell {

class StatusLog {
 public:
  StatusLog(RunWindow& window, FileSystem& fs) : window_(window), fs_(fs) {}
  ~StatusLog();
  StatusLog(const StatusLog&) = delete;
  StatusLog& operator=(const StatusLog&) = delete;

  // Inserts text in colour at the end of the status window's last line. With lineEnd
  // the line is complete: its whole text goes to the run log (CR LF ended) and the
  // window starts a new line. Never fails: a line the log cannot take is missing there.
  // Control characters are shown as \n, \t or \xHH, except to a window that shows
  // status text in an escaping of its own (RunWindow::showsRawStatusText).
  void LogStatus(std::string_view text, Colour colour, bool lineEnd);

  // Empties the status window and forgets an unfinished line.
  void clear();
  // From now on each line that names an action says it was not done (see notDoneOpening),
  // in the window and the run log alike: the log of a dry run.
  void markActionsNotDone() { actionsNotDone_ = true; }

  // Opens the run log `name` for writing, replacing what it held, in the first of
  // `folders` that lies outside the trees (see FileSystem::openOwnFile); `path` gets its
  // full path.
  std::error_code openRunLog(const std::vector<std::string>& folders, const std::string& name, std::string& path);
  // Closes the run log; returns the first write error met since it was opened.
  std::error_code closeRunLog();

 private:
  RunWindow& window_;
  FileSystem& fs_;
  std::string line_;  // fragments written since the last line end
  bool atLineStart_ = true;     // the next fragment opens a line
  bool actionsNotDone_ = false;
  bool leavingOutLine_ = false;  // the current line is one a dry run leaves out
  std::unique_ptr<WritableFile> log_;
  std::error_code writeError_;
};

// The run log's file name: "log-" + volume tag + "-" + folder name + ".txt".
std::string RunLogName(const std::string& volumeTag, const std::string& mirrorFolderName);

}  // namespace vardell
