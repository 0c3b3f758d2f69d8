// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// Everything a run needs from the window that started it. The main window, the
// terminal front end and the tests implement it; the engine never sees a widget.
#pragma once

#include "engine/run_state.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace vardell {

// Answers to the question asked when master and mirror folder names differ.
// Answers to the question asked when master and mirror folder names differ, with the
// codes of the buttons that give them.
enum class NameAnswer {
  ContinueWithDifferentNames = 1,
  CreateFolderThenContinue = 6,
  Cancel = 2,
  NoAnswerContinue = 7,  // unattended runs: treated like ContinueWithDifferentNames
};

// What a window may ask of the run it shows: stop it, and read where it is. The engine
// implements it and hands it to its window.
class RunControl {
 public:
  virtual ~RunControl() = default;
  // Asks the running command to stop after the current entry (or the current piece of a copy).
  virtual void requestAbort() = 0;
  // The entry being walked, measured, compared or copied.
  virtual const std::string& currentPath() const = 0;
  // "Comparing " or "Copying " + name while a file is read or copied, else empty.
  virtual const std::string& fileProgressText() const = 0;
  // True when no Compare or Sync is running.
  virtual bool runIdle() const = 0;
};

enum class MessageKind { Information, Warning, Error };

class RunWindow {
 public:
  virtual ~RunWindow() = default;

  // Called once by the engine that serves this window: the window's way to abort the
  // run and to read its progress.
  virtual void attachRun(RunControl& run) = 0;

  // The status window: insert a fragment in a colour at the end of the last line; begin
  // a new line; clear everything.
  virtual void insertStatusText(std::string_view text, Colour colour) = 0;
  virtual void endStatusLine() = 0;
  virtual void clearStatus() = 0;
  // True when the window is given status text as the run has it, control characters in
  // names included, to show in an escaping of its own (the terminal front end); false
  // when it is given the run log's text, control characters escaped.
  virtual bool showsRawStatusText() const { return false; }

  // Progress bars, 0 to 100: the current file's content compare and the whole run.
  virtual void setFileProgress(int percent) = 0;
  virtual void setOverallProgress(int percent) = 0;

  // Options, read afresh at every use.
  virtual CompareType compareType() const = 0;
  virtual void setCompareType(CompareType type) = 0;
  virtual bool includeSubfolders() const = 0;
  virtual bool caseSensitiveNames() const = 0;
  virtual bool protectSystemVolume() const = 0;

  // The folder lists' current folders, as they show them.
  virtual std::string masterFolder() const = 0;
  virtual std::string mirrorFolder() const = 0;
  // Makes `folder` the mirror list's folder; false when the list cannot show it.
  virtual bool setMirrorFolder(const std::string& folder) = 0;
  virtual void refreshMirrorFolder() = 0;

  // Locks the window's controls for a run (Abort stays usable) and unlocks them.
  virtual void disableForm() = 0;
  virtual void enableForm() = 0;
  // The caption timer shows RunState::CurrentPath while on; resetCaptions restores
  // "Status" and "Binary Compare Progress".
  virtual void setCaptionTimer(bool on) = 0;
  virtual void resetCaptions() = 0;

  // Lets the window handle pending events (Abort, painting, timers).
  virtual void processEvents() = 0;
  // Asks the program to end once the running command has returned.
  virtual void requestQuit() = 0;
  // Removes the tray icon before an unattended Sync ends the program.
  virtual void removeTrayIcon() = 0;

  // A modal message box; returns when the user has closed it.
  virtual void showMessage(MessageKind kind, const std::string& caption, const std::string& text) = 0;
  // A failure report with the system's reason (what the platform's own error window said).
  virtual void reportFailure(const std::string& text) = 0;
  // The question asked when master and mirror folder names differ.
  virtual NameAnswer askFolderNames(const std::string& mirrorFolder) = 0;
  // The question asked before a Sync would empty a mirror against an empty master.
  virtual bool confirmEmptyMasterRemoval(const std::string& master, long long entriesToTrash) = 0;
};

}  // namespace vardell
