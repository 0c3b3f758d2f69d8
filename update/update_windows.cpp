// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// The wait window and the Read Me window, built in code.
#include "update/update_windows.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>

namespace vardell {

namespace {

void centreOnScreen(QWidget& window) {
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    window.move(area.center() - QPoint(window.width() / 2, window.height() / 2));
  }
}

}  // namespace

Qt::WindowFlags dialogWithoutTitleButtons() {
  return Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
}

TWaitWindow::TWaitWindow(const QString& text, const QFont& font, QWidget* parent)
    : QDialog(parent, dialogWithoutTitleButtons()) {
  setWindowTitle(QStringLiteral("Please Wait"));
  setModal(true);
  setFont(font);
  setFixedSize(240, 100);
  setCursor(Qt::WaitCursor);
  Label = new QLabel(text, this);
  Label->setObjectName(QStringLiteral("Label1"));
  Label->setAlignment(Qt::AlignCenter);
  Label->setFont(font);
  Label->setGeometry(0, 27, 232, 23);
  centreOnScreen(*this);
}

void TWaitWindow::Finish(int result) {
  finishing_ = true;
  done(result);
  finishing_ = false;
}

QString TWaitWindow::Text() const { return Label->text(); }

void TWaitWindow::reject() {
  if (finishing_) QDialog::reject();
}

void TWaitWindow::closeEvent(QCloseEvent* event) { event->ignore(); }

TReadMeWindow::TReadMeWindow(const QStringList& lines, const QFont& font, QWidget* parent)
    : QDialog(parent, dialogWithoutTitleButtons()) {
  setWindowTitle(QStringLiteral("Read Me"));
  setModal(true);
  setFont(font);
  QSize size(800, 600);
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    size = QSize(screen->geometry().width() * 4 / 5, screen->geometry().height() * 4 / 5);
  setFixedSize(size);
  Memo = new QPlainTextEdit(this);
  Memo->setObjectName(QStringLiteral("Memo1"));
  Memo->setFont(font);
  Memo->setReadOnly(true);
  Memo->setLineWrapMode(QPlainTextEdit::NoWrap);
  Memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo->setGeometry(10, 10, size.width() - 25, size.height() - 80);
  Memo->setPlainText(lines.join(QLatin1Char('\n')));
  OkBtn = new QPushButton(QStringLiteral("&Ok"), this);
  OkBtn->setObjectName(QStringLiteral("OkBtn"));
  OkBtn->setGeometry(size.width() / 2 - 34, size.height() - 56, 68, 22);
  OkBtn->setDefault(true);
  connect(OkBtn, &QPushButton::clicked, this, &QDialog::accept);
  centreOnScreen(*this);
}

}  // namespace vardell
