// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// The main window's real dialogs.
#include "shell/window_prompts.h"

#include "shell/continue_form.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QUrl>

namespace vardell {

void QtWindowPrompts::showMessage(MessageKind kind, const QString& caption, const QString& text) {
  QMessageBox::Icon icon = QMessageBox::Information;
  if (kind == MessageKind::Warning) icon = QMessageBox::Warning;
  if (kind == MessageKind::Error) icon = QMessageBox::Critical;
  QMessageBox box(icon, caption, text, QMessageBox::Ok, parent_);
  box.exec();
}

bool QtWindowPrompts::askYesNo(const QString& caption, const QString& text) {
  QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::Yes | QMessageBox::No, parent_);
  box.setDefaultButton(QMessageBox::No);
  box.setEscapeButton(QMessageBox::No);
  return box.exec() == QMessageBox::Yes;
}

NameAnswer QtWindowPrompts::askFolderNames(TContinueForm& form) { return form.ask(); }

}  // namespace vardell

bool vardell::QtWindowPrompts::openUrl(const QUrl& page) { return QDesktopServices::openUrl(page); }

QString vardell::QtWindowPrompts::chooseFolder(const QString& caption, const QString& start) {
  return QFileDialog::getExistingDirectory(parent_, caption, start, QFileDialog::ShowDirsOnly);
}
