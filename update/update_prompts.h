// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// The questions and notices of the update check, behind one interface: the program answers
// them with real Qt dialogs, tests with preset replies that they count.
#pragma once

#include <QString>

#include <optional>

class QDialog;

namespace vardell {

enum class TMsgIcon { None, Exclamation, Information, Question, Error };
enum class TMsgButtons { Ok, YesNo };
enum class TMsgAnswer { Ok, Yes, No };

// One modal message box. In Text, "\r" is a line break.
struct TMessageBoxRequest {
  TMsgIcon Icon = TMsgIcon::None;
  TMsgButtons Buttons = TMsgButtons::Ok;
  QString Caption;
  QString Text;
};

// The save dialog. Filter holds description|pattern pairs separated by "|".
struct TSaveDialogRequest {
  QString Filter;
  QString FileName;           // the name proposed
  bool OverwritePrompt = true;  // ask before replacing an existing file
  bool PathMustExist = true;    // only an existing folder can be chosen
};

struct TSaveDialogAnswer {
  QString FileName;     // the full path chosen
  int FilterIndex = 1;  // 1-based index of the filter selected when the dialog closed
};

class UpdatePrompts {
 public:
  virtual ~UpdatePrompts() = default;

  // Shows a modal message box and returns the button pressed (Ok for an Ok box; a Yes/No
  // box closed otherwise answers No).
  virtual TMsgAnswer showMessageBox(const TMessageBoxRequest& request) = 0;

  // Runs the save dialog; nullopt when it was cancelled.
  virtual std::optional<TSaveDialogAnswer> askSaveFileName(const TSaveDialogRequest& request) = 0;

  // Runs a window that waits for the user (the Read Me window) modally and returns its
  // result (QDialog::Accepted or Rejected).
  virtual int runModalWindow(QDialog& window) = 0;

  // Opens a file with the program associated with its type; false when nothing could be
  // started. The file itself is never run.
  virtual bool openWithAssociatedProgram(const QString& path) = 0;

  // Asks the application to end once the running handler has returned to the main loop.
  virtual void terminateApplication() = 0;
};

// The real dialogs: QMessageBox, QFileDialog, QDesktopServices and a queued quit.
class QtUpdatePrompts final : public UpdatePrompts {
 public:
  TMsgAnswer showMessageBox(const TMessageBoxRequest& request) override;
  std::optional<TSaveDialogAnswer> askSaveFileName(const TSaveDialogRequest& request) override;
  int runModalWindow(QDialog& window) override;
  bool openWithAssociatedProgram(const QString& path) override;
  void terminateApplication() override;
};

// The Qt name filters for a description|pattern filter text: "Zipped File|*.ZIP" becomes
// "Zipped File (*.ZIP)"; a description that already names its pattern is kept as it is.
QStringList qtNameFilters(const QString& filter);

}  // namespace vardell
