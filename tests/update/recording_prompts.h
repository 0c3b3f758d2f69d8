// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// The update check's questions answered with preset replies and recorded, so tests can
// compare every box that was shown, in order, and never wait on a real dialog.
#pragma once

#include "update/update_prompts.h"

#include <QStringList>

#include <deque>
#include <functional>
#include <optional>

namespace vardell::test {

class RecordingPrompts : public UpdatePrompts {
 public:
  // Every box as "Icon|Buttons|Caption|Text" (Text keeps its "\r").
  QStringList boxes;
  // Answers to Yes/No boxes in order; a Yes/No box with none left answers No and is
  // recorded in `unanswered`.
  std::deque<TMsgAnswer> answers;
  int unanswered = 0;

  std::optional<TSaveDialogAnswer> saveAnswer;  // nullopt: the dialog is cancelled
  QList<TSaveDialogRequest> saveRequests;

  QStringList modalWindowTexts;  // the Read Me window's text, one entry per showing
  QStringList opened;            // files handed to their associated program
  bool openSucceeds = true;
  int terminations = 0;

  // Called with each box as it is shown (for instance to look at a window meanwhile).
  std::function<void(const TMessageBoxRequest&)> onBox;

  TMsgAnswer showMessageBox(const TMessageBoxRequest& request) override;
  std::optional<TSaveDialogAnswer> askSaveFileName(const TSaveDialogRequest& request) override;
  int runModalWindow(QDialog& window) override;
  bool openWithAssociatedProgram(const QString& path) override;
  void terminateApplication() override { ++terminations; }
};

// "Icon|Buttons|Caption|Text", the form RecordingPrompts records.
QString boxLine(TMsgIcon icon, TMsgButtons buttons, const QString& caption, const QString& text);

}  // namespace vardell::test
