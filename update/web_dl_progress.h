// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// The download dialog: what is fetched, how many bytes have arrived, a percentage bar and
// Cancel.
#pragma once

#include <QDialog>
#include <QFont>
#include <QString>

#include <functional>

class QLabel;
class QProgressBar;
class QPushButton;

namespace vardell {

class TWebDlProgress : public QDialog {
  Q_OBJECT

 public:
  // `onCancel` is what Cancel does besides setting Cancelled: abort the request.
  TWebDlProgress(const QFont& font, std::function<void()> onCancel, QWidget* parent = nullptr);

  // Shows "R of T bytes received." and moves the bar forward to R * 100 / T; with no
  // positive T the bar stays. Nothing changes once Cancelled is set.
  void ShowProgress(qint64 bytesReceived, qint64 fileSize);

  QProgressBar* pbarProgress = nullptr;
  QLabel* lblDownloading = nullptr;
  QLabel* lblProgress = nullptr;
  QPushButton* btnCancel = nullptr;
  bool Cancelled = false;

  void btnCancelClick();

 protected:
  void reject() override;  // Escape and the window's close are Cancel

 private:
  std::function<void()> onCancel_;
};

// N in decimal with "," before every complete group of three digits from the right:
// 1000 gives "1,000", -1 gives "-1".
QString GroupDigits(qint64 n);

}  // namespace vardell
