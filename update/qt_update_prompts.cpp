// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// The update check's questions answered by the user through real Qt dialogs.
#include "update/update_prompts.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QUrl>

namespace vardell {

TMsgAnswer QtUpdatePrompts::showMessageBox(const TMessageBoxRequest& request) {
  QMessageBox box(QApplication::activeWindow());
  box.setWindowModality(Qt::ApplicationModal);
  box.setWindowTitle(request.Caption);
  box.setText(QString(request.Text).replace(QLatin1Char('\r'), QLatin1Char('\n')));
  switch (request.Icon) {
    case TMsgIcon::None: box.setIcon(QMessageBox::NoIcon); break;
    case TMsgIcon::Exclamation: box.setIcon(QMessageBox::Warning); break;
    case TMsgIcon::Information: box.setIcon(QMessageBox::Information); break;
    case TMsgIcon::Question: box.setIcon(QMessageBox::Question); break;
    case TMsgIcon::Error: box.setIcon(QMessageBox::Critical); break;
  }
  if (request.Buttons == TMsgButtons::YesNo) {
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes ? TMsgAnswer::Yes : TMsgAnswer::No;
  }
  box.setStandardButtons(QMessageBox::Ok);
  box.exec();
  return TMsgAnswer::Ok;
}

QStringList qtNameFilters(const QString& filter) {
  const QStringList parts = filter.split(QLatin1Char('|'));
  QStringList result;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    const QString& description = parts[i];
    const QString& pattern = parts[i + 1];
    result << (description.contains(QLatin1Char('(') + pattern + QLatin1Char(')'))
                   ? description
                   : description + QStringLiteral(" (") + pattern + QLatin1Char(')'));
  }
  return result;
}

std::optional<TSaveDialogAnswer> QtUpdatePrompts::askSaveFileName(const TSaveDialogRequest& request) {
  QFileDialog dialog(QApplication::activeWindow());
  dialog.setWindowModality(Qt::ApplicationModal);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);  // the folder of the chosen name must exist
  dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.OverwritePrompt);
  const QStringList filters = qtNameFilters(request.Filter);
  dialog.setNameFilters(filters);
  dialog.selectFile(request.FileName);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  TSaveDialogAnswer answer;
  answer.FileName = dialog.selectedFiles().constFirst();
  if (request.PathMustExist && !QFileInfo(answer.FileName).absoluteDir().exists()) return std::nullopt;
  answer.FilterIndex = static_cast<int>(filters.indexOf(dialog.selectedNameFilter())) + 1;
  if (answer.FilterIndex < 1) answer.FilterIndex = 1;
  return answer;
}

int QtUpdatePrompts::runModalWindow(QDialog& window) { return window.exec(); }

bool QtUpdatePrompts::openWithAssociatedProgram(const QString& path) {
  return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void QtUpdatePrompts::terminateApplication() {
  QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
}

}  // namespace vardell
