// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// The desktop program: start-up, the main window and the folder-name dialog, the batch
// mode, and the message loop until Exit, the close box or the end of a batch run.
#include "engine/version.h"
#include "platform/display.h"
#include "platform/folders.h"
#include "shell/batch_mode.h"
#include "shell/help_page.h"
#include "shell/main_form.h"
#include "shell/off_screen_messages.h"
#include "shell/pictures.h"
#include "shell/program_help.h"
#include "shell/program_start.h"
#include "shell/window_prompts.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr int kExitTrouble = 2;  // the program refused to start, as vardell-cli returns

// False on the platforms that draw nothing (a batch run without a display, or one the
// caller started off screen): a modal box there would wait for a click that never comes.
bool windowsSeen() {
  const QString platform = QGuiApplication::platformName();
  return platform != QStringLiteral("offscreen") && platform != QStringLiteral("minimal");
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> parameters(argv + 1, argv + argc);
  if (const auto answered = vardell::answerHelpOrVersion(parameters)) return *answered;
  for (std::size_t i = 4; i < parameters.size(); ++i) {
    // An empty text occurs in every path: every subfolder would be skipped without a word.
    if (!parameters[i].empty()) continue;
    std::fprintf(stderr, "%s: an exclusion text may not be empty (parameter %zu); nothing was run.\n",
                 vardell::kApplicationTitle, i + 1);
    return kExitTrouble;
  }
  const bool offScreen = !vardell::displayAvailable();
  if (offScreen) {
    if (parameters.size() < 3) {
      std::fprintf(stderr,
                   "%s: there is no display to show the window on.\n"
                   "For unattended runs give the folders and option letters (vardell MASTER MIRROR RQS), "
                   "or use vardell-cli.\n",
                   vardell::kApplicationTitle);
      return kExitTrouble;
    }
    // Nobody can close a window that lives off screen: letters that run nothing, or
    // never start a run, would keep the program for ever.
    const vardell::CommandLineOptions options = vardell::commandLineOptionsOf(parameters);
    const std::string& letters = options.letters;
    if (!(options.has('R') || options.has('P')) || !options.armsBatchTimer()) {
      std::string understood;
      for (const char letter : letters) {
        if (std::string("NRQPTBACSDM").find(letter) != std::string::npos) understood += letter;
      }
      std::fprintf(stderr,
                   "%s: the letters \"%s\" run nothing without a display (understood: \"%s\"); R syncs, P "
                   "compares, and N, R or Q start the runs. Nothing was run.\n",
                   vardell::kApplicationTitle, letters.c_str(), understood.c_str());
      return kExitTrouble;
    }
    // A batch run from cron or a service: the window lives off screen.
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    vardell::dropOffScreenNoise();
  }

  vardell::dropUnusableRuntimeVariable();
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("vardell"));
  QApplication::setApplicationDisplayName(QString::fromUtf8(vardell::kApplicationTitle));
  QApplication::setWindowIcon(vardell::applicationIcon());
  QApplication::setQuitOnLastWindowClosed(true);

  const vardell::OwnFolders folders = vardell::ownFolders();
  vardell::ShellConfig config;
  config.commandLine = vardell::commandLineOptionsOf(parameters);
  config.runLogFolders = folders.runLogs;

  vardell::QtWindowPrompts prompts;
  vardell::TMainForm window(config, prompts);  // creates TContinueForm once, with the window
  prompts.setParent(&window);
  window.setHelpPage(vardell::findHelpPage(folders.program));

  auto fs = vardell::makePosixFileSystem();
  vardell::TProgramStart start(window, prompts, *fs, folders, parameters);
  start.setMessageBoxesSeen(windowsSeen());
  start.FormCreate();

  vardell::TBatchMode batch(window, parameters);
  batch.setEndsWhenNothingIsLeftToRun(offScreen);
  window.setFirstShowHandler([&batch] { batch.FormShow(); });
  QObject::connect(&batch, &vardell::TBatchMode::finished, &app,
                   [](int status) { QTimer::singleShot(0, qApp, [status] { QCoreApplication::exit(status); }); });

  window.show();
  if (start.endRequested()) {
    // A folder given on the command line is not there: nothing runs.
    std::fprintf(stderr, "%s: %s; nothing was run.\n", vardell::kApplicationTitle, start.endReason().c_str());
    QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(kExitTrouble); });
  }
  const int loopStatus = app.exec();
  return start.endRequested() ? kExitTrouble : batch.exitStatus(loopStatus);
}
