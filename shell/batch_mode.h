// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// The command-line batch mode: the option letters applied at the first showing of the
// window, and the batch timer Timer1 whose ticks run Sync (R) or Compare (P), once (Q)
// or at an interval of parameter 4 minutes.
#pragma once

#include "engine/engine_setup.h"
#include "engine/run_report.h"

#include <QObject>

#include <optional>
#include <string>
#include <vector>

class QTimer;

namespace vardell {

class TMainForm;

// What parameters 3 and later say (the parameters without the program's name).
CommandLineOptions commandLineOptionsOf(const std::vector<std::string>& parameters);

// The exit status of an unattended run, with the meaning vardell-cli gives it: 0 the run
// completed with every action done (or the folders match), 1 something could not be
// copied or removed, a safety stop ended it, it was aborted or the folders differ,
// 2 it refused to start.
int batchExitStatus(const RunReport& report);

class TBatchMode : public QObject {
  Q_OBJECT

 public:
  static constexpr int kFirstIntervalMs = 1000;
  static constexpr int kLargestMinutes = 35791;  // the largest m with m * 60000 in 32 bits
  static constexpr int kExitBadParameter = 2;    // as vardell-cli ends on bad usage

  // `parameters` are the command-line parameters without the program's name.
  TBatchMode(TMainForm& window, std::vector<std::string> parameters, QObject* parent = nullptr);

  QTimer* Timer1;

  // The first showing: with three or more parameters, arms Timer1 for N, R or Q, sets the
  // compare type and the three boxes from the letters, and hides the window in the tray
  // for M.
  void FormShow();
  // One tick: the interval from parameter 4, then Sync and/or Compare as the letters say.
  void Timer1Timer();

  // Off screen nobody can end the program: it ends once a tick leaves no run to come (a
  // Compare with Q, a zero interval).
  void setEndsWhenNothingIsLeftToRun(bool ends) { endsWhenIdle_ = ends; }

  // The status of the last batch run, or nullopt when none ran.
  std::optional<int> lastRunStatus() const { return lastStatus_; }
  // What the program returns when its message loop ended with `loopStatus`.
  int exitStatus(int loopStatus) const { return lastStatus_.value_or(loopStatus); }
  // Parameter 4 was unparsable or too large: the program ends after this tick's run.
  bool endRequested() const { return endRequested_; }

 signals:
  // The program is to end with this status (a Sync with Q, or a bad parameter 4).
  void finished(int status);

 private:
  bool has(char letter) const;
  void runSync();
  void runCompare();
  // A refused run says why on stderr; every run's status counts for the exit status.
  void noteRun(const RunReport& report);
  void noteStatus(int status);

  TMainForm& window_;
  std::vector<std::string> parameters_;
  CommandLineOptions options_;  // what parameters 3 and later say
  std::optional<int> lastStatus_;  // of the last tick that ran something
  std::optional<int> tickStatus_;  // the worst status of the runs of the current tick
  bool endRequested_ = false;
  bool syncRan_ = false;
  bool endsWhenIdle_ = false;
};

}  // namespace vardell
