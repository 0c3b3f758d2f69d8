// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// Terminal and signal services for the terminal front end.
#pragma once

#include <string>

namespace vardell {

enum class Stream { Input, Output, Error };

// True when the stream is a terminal.
bool isTerminal(Stream stream);
// Columns of the terminal on standard error; 80 when unknown.
int terminalWidth();

// Makes SIGINT and SIGTERM set a pending-signal flag instead of ending the process; a
// second SIGINT while one is pending ends the process at once.
void installInterruptHandlers();
// The signal received since installInterruptHandlers, or 0.
int pendingSignal();
// Ends the process by `signal` with its default action, as if it had never been caught.
[[noreturn]] void endBySignal(int signal);
// Sleeps for `seconds` unless a signal arrives first; false when one did.
bool sleepUnlessSignalled(long long seconds);

// Reads one line from standard input; false at end of input.
bool readInputLine(std::string& line);

}  // namespace vardell
