// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// The download dialog, built in code each time a file is downloaded.
#include "update/web_dl_progress.h"

#include "update/update_windows.h"

#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>

namespace vardell {

QString GroupDigits(qint64 n) {
  QString digits = QString::number(n);
  if (n < 0) digits.remove(0, 1);
  QString grouped;
  for (qsizetype i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) grouped += QLatin1Char(',');
    grouped += digits[i];
  }
  return n < 0 ? QLatin1Char('-') + grouped : grouped;
}

TWebDlProgress::TWebDlProgress(const QFont& font, std::function<void()> onCancel, QWidget* parent)
    : QDialog(parent, dialogWithoutTitleButtons()), onCancel_(std::move(onCancel)) {
  setWindowTitle(QStringLiteral("Download Progress"));
  setModal(true);
  setFont(font);
  setFixedSize(272, 123);
  setCursor(Qt::WaitCursor);

  pbarProgress = new QProgressBar(this);
  pbarProgress->setObjectName(QStringLiteral("pbarProgress"));
  pbarProgress->setGeometry(36, 40, 200, 14);
  pbarProgress->setRange(0, 100);
  pbarProgress->setValue(0);
  pbarProgress->setTextVisible(false);
  pbarProgress->setCursor(Qt::WaitCursor);

  lblDownloading = new QLabel(this);
  lblDownloading->setObjectName(QStringLiteral("lblDownloading"));
  lblDownloading->setGeometry(2, 10, 268, 18);
  lblDownloading->setAlignment(Qt::AlignCenter);

  lblProgress = new QLabel(this);
  lblProgress->setObjectName(QStringLiteral("lblProgress"));
  lblProgress->setGeometry(2, 60, 268, 22);
  lblProgress->setAlignment(Qt::AlignCenter);

  btnCancel = new QPushButton(QStringLiteral("&Cancel"), this);
  btnCancel->setObjectName(QStringLiteral("btnCancel"));
  btnCancel->setGeometry(102, 94, 68, 22);
  connect(btnCancel, &QPushButton::clicked, this, &TWebDlProgress::btnCancelClick);
  setTabOrder(pbarProgress, btnCancel);

  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - QPoint(width() / 2, height() / 2));
}

void TWebDlProgress::ShowProgress(qint64 bytesReceived, qint64 fileSize) {
  if (Cancelled) return;
  lblProgress->setText(QStringLiteral("%1 of %2 bytes received.").arg(GroupDigits(bytesReceived), GroupDigits(fileSize)));
  if (fileSize <= 0) return;
  const qint64 percent = bytesReceived * 100 / fileSize;  // 64-bit: no overflow for large files
  if (percent > pbarProgress->value()) pbarProgress->setValue(static_cast<int>(qMin<qint64>(percent, 100)));
}

void TWebDlProgress::btnCancelClick() {
  if (Cancelled) return;
  Cancelled = true;
  if (onCancel_) onCancel_();
}

void TWebDlProgress::reject() { btnCancelClick(); }

}  // namespace vardell
