// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// The dialog asked before a Sync whose master and mirror folder names differ: continue,
// create a folder named like the master inside the mirror first, or cancel.
#pragma once

#include "engine/run_window.h"

#include <QDialog>

class QGroupBox;
class QLabel;
class QPushButton;

namespace vardell {

class TTitleBar;

class TContinueForm : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kClientWidth = 298;
  static constexpr int kClientHeight = 175;

  explicit TContinueForm(QWidget* mainWindow = nullptr);

  // The heading names the mirror folder the run is about to use, shortened to `width`
  // pixels (the mirror folder list's width); volumeRoot is the mount point of its volume.
  void setHeadingFolder(const QString& folder, const QString& volumeRoot, int width);

  // Sets the caption, centres the dialog on the main window, and shows it modally.
  // The answer of the button pressed; Escape (and a close by the window system) cancels.
  NameAnswer ask();

  // The answer the dialog's result code stands for.
  static NameAnswer answerOf(int resultCode);

  TTitleBar* TitleBar;  // the caption, without buttons
  QWidget* Client;      // everything below the title bar
  QLabel* ContinueForm;
  QGroupBox* GroupBox1;
  QPushButton* BitBtn1;
  QPushButton* BitBtn2;
  QPushButton* BitBtn3;

  // Prepares a showing (caption, place); ask() calls it, tests that show the dialog
  // without waiting call it too.
  void prepareShowing();

 public slots:
  void reject() override;  // Escape: the Cancel button's answer

 private:
  QPoint dragOffset_;
  bool manualDrag_ = false;
};

}  // namespace vardell
