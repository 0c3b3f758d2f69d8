// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// The status window.
#include "shell/status_memo.h"

#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>

namespace vardell {

const QString TStatusMemo::kInitialText = QStringLiteral("\n\n\n\n [F1] displays the helpfile\n");

QColor qColorOf(Colour colour) {
  const auto value = std::uint32_t(colour);
  return QColor(int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF));
}

TStatusMemo::TStatusMemo(QWidget* parent) : QPlainTextEdit(parent) {
  setReadOnly(true);
  setUndoRedoEnabled(false);
  setLineWrapMode(QPlainTextEdit::NoWrap);
  setWordWrapMode(QTextOption::NoWrap);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setPlainText(kInitialText);
  // The line colours were chosen for white paper: the status window keeps it in any theme.
  QPalette paper = palette();
  for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
    paper.setColor(group, QPalette::Base, Qt::white);
    paper.setColor(group, QPalette::Text, Qt::black);
  }
  setPalette(paper);
  flushTimer_.setSingleShot(true);
  flushTimer_.setInterval(kFlushIntervalMs);
  connect(&flushTimer_, &QTimer::timeout, this, &TStatusMemo::flushPending);
  sinceFlush_.start();
}

const QTextCharFormat& TStatusMemo::formatOf(Colour colour) {
  for (const auto& [known, format] : formats_) {
    if (known == colour) return format;
  }
  QTextCharFormat format;
  format.setForeground(qColorOf(colour));
  formats_.emplace_back(colour, format);
  return formats_.back().second;
}

void TStatusMemo::insertFragment(std::string_view text, Colour colour) {
  pending_.push_back({QString::fromUtf8(text.data(), qsizetype(text.size())), colour, false});
  if (!flushTimer_.isActive()) flushTimer_.start();
}

void TStatusMemo::endLine() {
  pending_.push_back({QString(), Colour::Black, true});
  if (!flushTimer_.isActive()) flushTimer_.start();
}

void TStatusMemo::addPlainLine(const QString& text) {
  flushPending();
  QTextCursor cursor(document());
  cursor.movePosition(QTextCursor::End);
  if (!cursor.block().text().isEmpty()) cursor.insertBlock();
  cursor.insertText(text, formatOf(Colour::Black));
  cursor.insertBlock();
}

void TStatusMemo::clearAll() {
  pending_.clear();
  flushTimer_.stop();
  clear();
}

void TStatusMemo::flushIfDue() {
  if (!pending_.empty() && sinceFlush_.elapsed() >= kFlushIntervalMs) flushPending();
}

void TStatusMemo::flushPending() {
  sinceFlush_.restart();
  flushTimer_.stop();
  if (pending_.empty()) return;
  QScrollBar* bar = verticalScrollBar();
  const bool following = bar->value() >= bar->maximum() - 2;
  QTextCursor cursor(document());
  cursor.beginEditBlock();
  cursor.movePosition(QTextCursor::End);
  // Runs of one colour become one insertion.
  QString run;
  Colour runColour = Colour::Black;
  auto insertRun = [&] {
    if (!run.isEmpty()) cursor.insertText(run, formatOf(runColour));
    run.clear();
  };
  for (const Piece& piece : pending_) {
    if (piece.lineEnd) {
      insertRun();
      cursor.insertBlock();
      continue;
    }
    if (piece.colour != runColour) insertRun();
    runColour = piece.colour;
    run += piece.text;
  }
  insertRun();
  cursor.endEditBlock();
  pending_.clear();
  if (following) bar->setValue(bar->maximum());
}

QStringList TStatusMemo::lines() {
  flushPending();
  QStringList result;
  for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) result << block.text();
  return result;
}

std::vector<std::pair<QString, QColor>> TStatusMemo::fragmentsOf(int index) {
  flushPending();
  std::vector<std::pair<QString, QColor>> result;
  const QTextBlock block = document()->findBlockByNumber(index);
  for (const QTextLayout::FormatRange& range : block.textFormats()) {
    result.emplace_back(block.text().mid(range.start, range.length), range.format.foreground().color());
  }
  return result;
}

}  // namespace vardell
