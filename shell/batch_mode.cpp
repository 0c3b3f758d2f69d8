// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// The batch timer and the option letters.
#include "shell/batch_mode.h"

#include "engine/version.h"
#include "shell/instance_settings.h"
#include "shell/main_form.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCoreApplication>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace vardell {

CommandLineOptions commandLineOptionsOf(const std::vector<std::string>& parameters) {
  CommandLineOptions options;
  options.present = parameters.size() >= 3;
  if (options.present) options.letters = parameters[2];
  for (std::size_t i = 4; i < parameters.size(); ++i) options.exclusions.push_back(parameters[i]);
  return options;
}

int batchExitStatus(const RunReport& report) {
  switch (report.outcome) {
    case RunOutcome::FoldersMatch: return 0;
    case RunOutcome::SyncCompleted: return report.failedActions == 0 && !report.masterVanished ? 0 : 1;
    case RunOutcome::FoldersDiffer:
    case RunOutcome::CompareAborted:
    case RunOutcome::SyncAborted: return 1;
    case RunOutcome::Refused:
    case RunOutcome::Cancelled:
    case RunOutcome::None: break;
  }
  return 2;
}

TBatchMode::TBatchMode(TMainForm& window, std::vector<std::string> parameters, QObject* parent)
    : QObject(parent), window_(window), parameters_(std::move(parameters)), options_(commandLineOptionsOf(parameters_)) {
  Timer1 = new QTimer(this);
  Timer1->setObjectName(QStringLiteral("Timer1"));
  Timer1->setInterval(kFirstIntervalMs);
  connect(Timer1, &QTimer::timeout, this, &TBatchMode::Timer1Timer);
}

bool TBatchMode::has(char letter) const { return options_.has(letter); }

void TBatchMode::FormShow() {
  if (!options_.present) return;
  if (options_.armsBatchTimer()) {
    Timer1->setInterval(kFirstIntervalMs);
    Timer1->start();
  }
  const int type = has('T') ? 0 : has('B') ? 1 : has('A') ? 2 : 0;
  if (window_.CompareTypeButtons->checkedId() != type) {
    window_.CompareTypeButtons->button(type)->setChecked(true);
    window_.CompareTypeClick();
  }
  window_.CaseChkBox->setChecked(has('C'));
  window_.SubDirectoryCheckBox->setChecked(has('S'));
  if (window_.ProtectCBtn->isChecked() != has('D')) {
    window_.ProtectCBtn->setChecked(has('D'));
    window_.DriveComboBox2Change();
  }
  if (has('M')) window_.AddTrayIcon();
}

void TBatchMode::Timer1Timer() {
  if (parameters_.size() >= 4) {
    const std::optional<int> minutes = parseProfileInteger(parameters_[3]);
    if (!minutes || *minutes > kLargestMinutes) {
      Timer1->setInterval(kFirstIntervalMs);
      endRequested_ = true;
    } else if (*minutes == 0) {
      Timer1->stop();  // a zero interval never fires: this tick is the last
    } else if (*minutes > 0) {
      Timer1->setInterval(*minutes * 60000);
    }
  } else {
    Timer1->setInterval(kFirstIntervalMs);
  }

  tickStatus_.reset();
  const auto idle = [this] {
    const RunState& state = window_.engine().state();
    return state.RunIdle && !state.AbortRequested;
  };
  if (has('R') && !has('Q') && idle()) runSync();
  if (has('R') && has('Q')) {
    Timer1->stop();
    runSync();
  }
  if (has('P') && !has('Q') && idle()) runCompare();
  if (has('P') && has('Q')) {
    Timer1->stop();
    runCompare();
  }

  // A Sync with Q ends the program, also when it was refused and so never reached its
  // own end; an unparsable interval ends it after this tick's run.
  if (endRequested_) {
    // Said after this tick's run, which clears the status window first.
    const QString why = QStringLiteral("The minutes between runs \"%1\" are not a number from 0 to %2: "
                                       "the program ends after this run")
                            .arg(QString::fromStdString(parameters_[3]))
                            .arg(kLargestMinutes);
    window_.addPlainStatusLine(why);
    std::fprintf(stderr, "%s: %s\n", kApplicationTitle, why.toUtf8().constData());
    Timer1->stop();
    lastStatus_ = kExitBadParameter;  // whatever the run found, the command line was wrong
    emit finished(kExitBadParameter);
  } else if ((syncRan_ && has('Q')) || (endsWhenIdle_ && !Timer1->isActive())) {
    Timer1->stop();
    emit finished(lastStatus_.value_or(0));
  }
}

void TBatchMode::runSync() {
  window_.ReplicateBtnClick();
  syncRan_ = true;
  noteRun(window_.engine().lastRun());
}

void TBatchMode::runCompare() {
  window_.CompareBtnClick();
  noteRun(window_.engine().lastRun());
}

void TBatchMode::noteRun(const RunReport& report) {
  // Whoever started the run unattended reads why it did not run where the status goes.
  if (report.outcome == RunOutcome::Refused) std::fprintf(stderr, "%s: %s\n", kApplicationTitle, report.refusal.c_str());
  noteStatus(batchExitStatus(report));
}

void TBatchMode::noteStatus(int status) {
  // With R and P in one tick the worse of the two runs is what the program returns.
  tickStatus_ = std::max(tickStatus_.value_or(0), status);
  lastStatus_ = tickStatus_;
}

}  // namespace vardell
