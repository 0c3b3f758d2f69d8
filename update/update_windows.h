// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// The two small windows of the update check: the wait window shown while a page is
// fetched, and the Read Me window that shows a fetched text.
#pragma once

#include <QDialog>
#include <QFont>
#include <QStringList>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace vardell {

// "Please Wait": one centred label on a 240 x 100 window with an hourglass cursor. The user
// cannot close it; Finish (the end of the request) does.
class TWaitWindow : public QDialog {
  Q_OBJECT

 public:
  TWaitWindow(const QString& text, const QFont& font, QWidget* parent = nullptr);

  // Ends the modal loop with `result` (QDialog::Accepted or Rejected).
  void Finish(int result);
  QString Text() const;

  QLabel* Label = nullptr;

 protected:
  void reject() override;  // Escape does nothing
  void closeEvent(QCloseEvent* event) override;

 private:
  bool finishing_ = false;
};

// "Read Me": four fifths of the screen each way, the text in a box with both scroll bars
// and an "&Ok" button that closes the window.
class TReadMeWindow : public QDialog {
  Q_OBJECT

 public:
  TReadMeWindow(const QStringList& lines, const QFont& font, QWidget* parent = nullptr);

  QPlainTextEdit* Memo = nullptr;
  QPushButton* OkBtn = nullptr;
};

// The window flags of the component's windows: dialog borders, a title, no buttons.
Qt::WindowFlags dialogWithoutTitleButtons();

}  // namespace vardell
