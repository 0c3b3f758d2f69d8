// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// The desktop program's start-up: the steps of window creation after the window's own
// controls exist (the legacy folder file, the settings section of this instance, the
// folders given on the command line) and the save that ends them.
#pragma once

#include "platform/filesystem.h"
#include "platform/folders.h"
#include "shell/instance_settings.h"

#include <string>
#include <vector>

namespace vardell {

class TMainForm;
class WindowPrompts;

// The window's eight settings as they are now, and the settings applied to it: position,
// compare type (-1 selects no choice) and the three boxes, each change running the
// control's click handler.
WindowSettings readWindowSettings(const TMainForm& window);
void applyWindowSettings(TMainForm& window, const WindowSettings& values);

class TProgramStart {
 public:
  // `parameters` are the command-line parameters without the program's name.
  TProgramStart(TMainForm& window, WindowPrompts& prompts, FileSystem& fs, OwnFolders folders,
                std::vector<std::string> parameters);

  // Window creation from the program folders on: the legacy folder file (without
  // parameters), the instance's section, removal of dirs.txt, the command-line folders,
  // and the first save. Installs SaveSettings as the window's settings saver. A start
  // whose folder parameter is refused claims no number and writes nothing at all; one
  // whose folder pair holds the settings folder reads the settings but writes none.
  void FormCreate();

  // Writes the window's settings; a refused write is reported (a box, or in batch runs a
  // red line and a line on stderr) and stops the save; false then.
  bool SaveSettings();

  // Whether a message box can be seen. Without a display the window lives off screen,
  // where a box would wait for ever for a click; true unless set.
  void setMessageBoxesSeen(bool seen) { messageBoxesSeen_ = seen; }

  // A folder parameter is empty or names no folder: the program ends once its message
  // loop starts, before anything runs.
  bool endRequested() const { return !endReason_.empty(); }
  const std::string& endReason() const { return endReason_; }
  // Start-up stopped at a malformed legacy folder file.
  bool stoppedAtLegacyFile() const { return stoppedAtLegacyFile_; }
  TInstanceSettings& settings() { return settings_; }
  const OwnFolders& folders() const { return folders_; }

 private:
  // Reads dirs.txt (only its third and fourth lines matter past the section search);
  // false, after the error box, when one of them is neither empty nor an integer.
  bool readLegacyFolderFile();
  void applyCommandLineFolders(const WindowSettings& section);
  // The folder a parameter names, as a full path; empty for an empty parameter.
  std::string folderOfParameter(const std::string& parameter);
  // Why a folder parameter cannot be used; `side` is "master" or "mirror", `folder` what
  // the parameter names.
  std::string refusalOfFolderParameter(const std::string& parameter, const char* side, const std::string& folder);
  // True when a folder parameter is empty or names no folder.
  bool folderParameterRefused();
  // What keeps the settings file from being written for a start or save with this folder
  // pair: the settings folder lies inside one of its folders (TreeError::OwnFolderInsideTrees,
  // `tree` naming it) or cannot be used (a link, a file, another user's folder). The
  // settings folder is made ready when it may be used.
  std::error_code settingsFolderProblem(const WindowSettings& pair, std::string& tree);
  // The same as a plain line for the window, or empty when the settings may be written.
  std::string whySettingsStayUnwritten(const WindowSettings& pair);
  // The folder for instance lock files: the runtime folder, else the private temporary one,
  // whichever is usable and outside the folders on the command line; empty when neither.
  std::string chooseRuntimeFolder() const;
  // Makes the folder for the instance lock files; a plain line says when it cannot be.
  void prepareRuntimeFolder();
  // Removes the old folder file when it is one: a small regular file.
  void removeLegacyFolderFile();
  // True when the letters start runs nobody attends: problems become lines, not boxes.
  bool unattended() const;
  // "Unable to write to <settings file>", with the reason beside the message.
  void reportUnwritableSettings(const std::string& reason);
  void addNotes(const std::vector<std::string>& notes);

  TMainForm& window_;
  WindowPrompts& prompts_;
  FileSystem& fs_;
  OwnFolders folders_;
  std::vector<std::string> parameters_;
  std::string runtime_;  // where this start's instance lock files go; empty when nowhere
  TInstanceSettings settings_;
  std::string endReason_;
  bool stoppedAtLegacyFile_ = false;
  bool legacyFileKept_ = false;  // an old folder file that could not be read stays for the user
  bool startingUp_ = false;  // while the section search runs, the pair is the command line's
  bool messageBoxesSeen_ = true;
};

}  // namespace vardell
