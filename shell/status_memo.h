// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// The status window: coloured status lines, read-only, no wrap. Fragments are collected
// and put into the document in batches, so a run of 100,000 lines stays responsive.
#pragma once

#include "engine/run_state.h"

#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTextCharFormat>
#include <QTimer>

#include <string_view>
#include <vector>

namespace vardell {

// The colour a 0x00BBGGRR status colour stands for.
QColor qColorOf(Colour colour);

class TStatusMemo : public QPlainTextEdit {
  Q_OBJECT

 public:
  // The text the status window starts with: four empty lines, the F1 hint, an empty line.
  static const QString kInitialText;
  // Pending fragments are put into the document at the latest this long after they came.
  static constexpr int kFlushIntervalMs = 100;

  explicit TStatusMemo(QWidget* parent = nullptr);

  // A fragment at the end of the last line.
  void insertFragment(std::string_view text, Colour colour);
  // Ends the last line.
  void endLine();
  // A line of the window's own (not a run's): in black, on a line of its own.
  void addPlainLine(const QString& text);
  // Empties the status window, pending fragments included.
  void clearAll();
  // Puts the pending fragments into the document now.
  void flushPending();
  // Flushes when the last flush is kFlushIntervalMs old.
  void flushIfDue();

  // The document's lines, pending fragments flushed first (tests and the window's checks).
  QStringList lines();
  // The colour of each fragment of line `index`, as (text, colour) runs.
  std::vector<std::pair<QString, QColor>> fragmentsOf(int index);

 private:
  struct Piece {
    QString text;         // empty for a line end
    Colour colour = Colour::Black;
    bool lineEnd = false;
  };
  const QTextCharFormat& formatOf(Colour colour);

  std::vector<Piece> pending_;
  std::vector<std::pair<Colour, QTextCharFormat>> formats_;
  QElapsedTimer sinceFlush_;
  QTimer flushTimer_;
};

}  // namespace vardell
