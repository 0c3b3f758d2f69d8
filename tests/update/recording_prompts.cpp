// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// Preset answers for the update check's questions.
#include "tests/update/recording_prompts.h"

#include "update/update_windows.h"

#include <QPlainTextEdit>

namespace vardell::test {

QString boxLine(TMsgIcon icon, TMsgButtons buttons, const QString& caption, const QString& text) {
  static const char* const kIcons[] = {"None", "Exclamation", "Information", "Question", "Error"};
  return QStringLiteral("%1|%2|%3|%4")
      .arg(QLatin1String(kIcons[static_cast<int>(icon)]),
           buttons == TMsgButtons::Ok ? QStringLiteral("Ok") : QStringLiteral("YesNo"), caption, text);
}

TMsgAnswer RecordingPrompts::showMessageBox(const TMessageBoxRequest& request) {
  boxes << boxLine(request.Icon, request.Buttons, request.Caption, request.Text);
  if (onBox) onBox(request);
  if (request.Buttons == TMsgButtons::Ok) return TMsgAnswer::Ok;
  if (answers.empty()) {
    ++unanswered;
    return TMsgAnswer::No;
  }
  const TMsgAnswer answer = answers.front();
  answers.pop_front();
  return answer;
}

std::optional<TSaveDialogAnswer> RecordingPrompts::askSaveFileName(const TSaveDialogRequest& request) {
  saveRequests << request;
  return saveAnswer;
}

int RecordingPrompts::runModalWindow(QDialog& window) {
  const auto* readMe = qobject_cast<TReadMeWindow*>(&window);
  modalWindowTexts << (readMe != nullptr ? readMe->Memo->toPlainText() : window.windowTitle());
  return QDialog::Accepted;
}

bool RecordingPrompts::openWithAssociatedProgram(const QString& path) {
  opened << path;
  return openSucceeds;
}

}  // namespace vardell::test
