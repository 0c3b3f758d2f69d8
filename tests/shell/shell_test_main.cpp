// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// The main window's tests run inside a QApplication on the offscreen platform. The same
// program, started with a helper word, is the other process some tests need: another
// instance of the program holding its number, or another writer of the settings file.
#include "platform/profile_file.h"
#include "shell/instance_settings.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <sstream>
#include <string>

namespace {

// --instance SETTINGSFILE RUNTIMEFOLDER PROGRAMFOLDER: starts like an instance (claims a
// number, searches its section), prints "started <number> <section> <vacant>", then
// obeys lines on stdin: "save DIR1 DIR2" saves and prints "saved <number>"; end of input
// ends it.
int runInstance(char** argv) {
  auto fs = vardell::makePosixFileSystem();
  vardell::TInstanceSettings settings(*fs, vardell::InstanceLocks(argv[3]), argv[2], argv[4]);
  std::vector<std::string> notes;
  std::string error;
  vardell::WindowSettings now = settings.LoadSettings(notes, error);
  std::printf("started %d %d %d\n", settings.InstanceNumber(), settings.StartSection(),
              settings.StartSectionVacant() ? 1 : 0);
  std::fflush(stdout);
  std::string line;
  while (std::getline(std::cin, line)) {
    std::istringstream words(line);
    std::string command;
    words >> command;
    if (command != "save") continue;
    words >> now.dir1 >> now.dir2;
    const bool saved = settings.SaveSettings(now, notes, error);
    std::printf("saved %d %s\n", settings.InstanceNumber(), saved ? "ok" : error.c_str());
    std::fflush(stdout);
  }
  return 0;
}

// --racing-instance SETTINGSFILE RUNTIMEFOLDER PROGRAMFOLDER DIR1 DIR2: prints "ready" and
// waits for a line on stdin, so that many of them can be let go at once; then starts as the
// program does (loads, and saves DIR1 and DIR2 at once), prints "saved <number> ok" and
// stays running, holding its number, until end of input.
int runRacingInstance(char** argv) {
  auto fs = vardell::makePosixFileSystem();
  vardell::TInstanceSettings settings(*fs, vardell::InstanceLocks(argv[3]), argv[2], argv[4]);
  std::printf("ready\n");
  std::fflush(stdout);
  std::string line;
  if (!std::getline(std::cin, line)) return 1;
  std::vector<std::string> notes;
  std::string error;
  vardell::WindowSettings now = settings.LoadSettings(notes, error);
  now.dir1 = argv[5];
  now.dir2 = argv[6];
  const bool saved = settings.SaveSettings(now, notes, error);
  std::replace(error.begin(), error.end(), '\n', ' ');
  std::printf("saved %d %s\n", settings.InstanceNumber(), saved && error.empty() ? "ok" : error.c_str());
  std::fflush(stdout);
  while (std::getline(std::cin, line)) {
  }
  return 0;
}

// --write-profile FILE SECTION COUNT: writes the eight keys of SECTION COUNT times.
int writeProfile(char** argv) {
  const int count = std::atoi(argv[4]);
  const char* const keys[] = {"dir1", "dir2", "Top", "Left", "CompareType", "SubFolders", "ProtectC", "CaseSense"};
  for (int i = 0; i < count; ++i) {
    for (const char* key : keys) {
      if (const auto ec = vardell::writeProfileString(argv[2], argv[3], key, std::string(argv[3]) + "-" +
                                                                                std::to_string(i))) {
        std::fprintf(stderr, "write failed: %s\n", ec.message().c_str());
        return 1;
      }
    }
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 5 && std::strcmp(argv[1], "--instance") == 0) return runInstance(argv);
  if (argc == 7 && std::strcmp(argv[1], "--racing-instance") == 0) return runRacingInstance(argv);
  if (argc == 5 && std::strcmp(argv[1], "--write-profile") == 0) return writeProfile(argv);
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
