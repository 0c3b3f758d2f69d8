// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// The main window's questions and notices behind one interface: the program answers them
// with real dialogs, tests with preset replies that they count.
#pragma once

#include "engine/run_window.h"

#include <QString>

class QUrl;
class QWidget;

namespace vardell {

class TContinueForm;

class WindowPrompts {
 public:
  virtual ~WindowPrompts() = default;
  // A modal message box with an OK button.
  virtual void showMessage(MessageKind kind, const QString& caption, const QString& text) = 0;
  // A modal Yes/No question whose default button is No; true for Yes.
  virtual bool askYesNo(const QString& caption, const QString& text) = 0;
  // Shows the folder-name dialog modally and returns the answer of the button pressed.
  virtual NameAnswer askFolderNames(TContinueForm& form) = 0;
  // Opens a page (the help page) in the user's browser, a file (the run log) in the
  // desktop's viewer for it; false when nothing opened it.
  virtual bool openUrl(const QUrl& page) = 0;
  // The folder dialog, starting at `start`; the folder chosen, or empty when cancelled.
  virtual QString chooseFolder(const QString& caption, const QString& start) = 0;
};

// The real dialogs, parented to `parent`.
class QtWindowPrompts final : public WindowPrompts {
 public:
  explicit QtWindowPrompts(QWidget* parent = nullptr) : parent_(parent) {}
  void setParent(QWidget* parent) { parent_ = parent; }
  void showMessage(MessageKind kind, const QString& caption, const QString& text) override;
  bool askYesNo(const QString& caption, const QString& text) override;
  NameAnswer askFolderNames(TContinueForm& form) override;
  bool openUrl(const QUrl& page) override;
  QString chooseFolder(const QString& caption, const QString& start) override;

 private:
  QWidget* parent_;
};

}  // namespace vardell
