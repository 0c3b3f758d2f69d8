// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// Command-line options of the terminal front end.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vardell::cli {

enum class Command { Compare, Sync };
enum class ColourMode { Auto, Always, Never };
enum class NamesDiffer { Ask, Continue, Create };
enum class OutputFormat { Text, JsonLines };

// The longest repeat interval: the most whole minutes a signed 32-bit millisecond timer
// holds, as the desktop program's batch timer does.
inline constexpr long long kMaxEveryMinutes = 35791;

struct CliOptions {
  Command command = Command::Compare;
  std::string master, mirror;
  int compareType = 0;  // 0 size and time, 1 binary, 2 all
  bool caseSensitive = false;
  bool subfolders = true;
  bool keepExtra = false;
  std::vector<std::string> exclusions;
  bool allowSystemVolume = false;
  NamesDiffer namesDiffer = NamesDiffer::Ask;
  bool allowEmptyMaster = false;
  long long everyMinutes = 0;  // 0: run once
  bool quiet = false;
  ColourMode colour = ColourMode::Auto;
  OutputFormat format = OutputFormat::Text;
  bool dryRun = false;  // read everything, change nothing, say what a Sync would do
  bool help = false;
  bool version = false;
};

// Parses the arguments after the program name as getopt_long does (grouped switches,
// attached values, --name=value, "--" ending the options, long names shortened while
// they stay unambiguous), reading the files --exclude-from names. Returns the options, or
// nothing with `error` set to a one-line reason.
std::optional<CliOptions> parseCliOptions(const std::vector<std::string>& args, std::string& error);

// The text --help prints.
std::string usageText();

}  // namespace vardell::cli
