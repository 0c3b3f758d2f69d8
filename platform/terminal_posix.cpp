// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// Terminal and signal services on POSIX.
#include "platform/terminal.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <ctime>
#include <iostream>

namespace vardell {
namespace {

volatile std::sig_atomic_t g_pendingSignal = 0;

void onSignal(int signal) {
  if (g_pendingSignal != 0 && signal == SIGINT) {
    std::signal(SIGINT, SIG_DFL);
    std::raise(SIGINT);
    return;
  }
  g_pendingSignal = signal;
}

}  // namespace

bool isTerminal(Stream stream) {
  const int fd = stream == Stream::Input ? STDIN_FILENO : stream == Stream::Output ? STDOUT_FILENO : STDERR_FILENO;
  return ::isatty(fd) == 1;
}

int terminalWidth() {
  winsize size{};
  if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  return 80;
}

void installInterruptHandlers() {
  struct sigaction action {};
  action.sa_handler = onSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  ::sigaction(SIGINT, &action, nullptr);
  ::sigaction(SIGTERM, &action, nullptr);
}

int pendingSignal() { return g_pendingSignal; }

void endBySignal(int signal) {
  std::signal(signal, SIG_DFL);
  std::raise(signal);
  std::_Exit(128 + signal);
}

bool sleepUnlessSignalled(long long seconds) {
  for (long long waited = 0; waited < seconds * 10; ++waited) {
    if (g_pendingSignal) return false;
    timespec tenth{0, 100000000};
    ::nanosleep(&tenth, nullptr);
  }
  return g_pendingSignal == 0;
}

bool readInputLine(std::string& line) { return bool(std::getline(std::cin, line)); }

}  // namespace vardell
