// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// Parsing the terminal front end's arguments.
#include "cli/cli_options.h"

#include <getopt.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>

namespace vardell::cli {
namespace {

// Values of the options that have no short form.
enum LongOnly : int {
  kNoSubfolders = 256,
  kExcludeFrom,
  kAllowSystemVolume,
  kNamesDiffer,
  kAllowEmptyMaster,
  kColour,
  kFormat,
};

// The option names are an interface (scripts, the manual, shell completions): keep them.
const option kLongOptions[] = {
    {"type", required_argument, nullptr, 't'},
    {"case-sensitive", no_argument, nullptr, 'c'},
    {"no-subfolders", no_argument, nullptr, kNoSubfolders},
    {"keep-extra", no_argument, nullptr, 'k'},
    {"exclude", required_argument, nullptr, 'x'},
    {"exclude-from", required_argument, nullptr, kExcludeFrom},
    {"allow-system-volume", no_argument, nullptr, kAllowSystemVolume},
    {"names-differ", required_argument, nullptr, kNamesDiffer},
    {"allow-empty-master", no_argument, nullptr, kAllowEmptyMaster},
    {"every", required_argument, nullptr, 'e'},
    {"quiet", no_argument, nullptr, 'q'},
    {"color", required_argument, nullptr, kColour},
    {"colour", required_argument, nullptr, kColour},
    {"format", required_argument, nullptr, kFormat},
    {"dry-run", no_argument, nullptr, 'n'},
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, 'V'},
    {nullptr, 0, nullptr, 0},
};
// "-": operands come back in order (code 1), whatever POSIXLY_CORRECT says, so options
// may follow the command and the folders; ":": a missing value is told apart.
constexpr char kShortOptions[] = "-:t:ckx:e:qnhV";

bool parseChoice(const std::string& option, const std::string& value, std::initializer_list<const char*> choices,
                 int& index, std::string& error) {
  int i = 0;
  for (const char* choice : choices) {
    if (value == choice) {
      index = i;
      return true;
    }
    ++i;
  }
  error = "invalid value '" + value + "' for " + option;
  return false;
}

bool addExclusion(const std::string& text, std::vector<std::string>& exclusions, std::string& error) {
  if (text.empty()) {
    error = "an exclusion text may not be empty";
    return false;
  }
  exclusions.push_back(text);
  return true;
}

// One exclusion text a line; empty lines are skipped.
bool readExclusionFile(const std::string& file, std::vector<std::string>& exclusions, std::string& error) {
  errno = 0;
  std::ifstream in(file, std::ios::binary);
  std::string line;
  while (in && std::getline(in, line)) {
    if (!line.empty()) exclusions.push_back(line);
  }
  if (!in.eof() || in.bad()) {
    error = "cannot read the exclusion file " + file + ": " + std::strerror(errno ? errno : EIO);
    return false;
  }
  return true;
}

bool parseMinutes(const std::string& value, long long& minutes, std::string& error) {
  char* end = nullptr;
  errno = 0;
  minutes = std::strtoll(value.c_str(), &end, 10);
  if (value.empty() || *end != '\0' || errno == ERANGE || minutes < 1 || minutes > kMaxEveryMinutes) {
    error = "invalid number of minutes '" + value + "' (1 to " + std::to_string(kMaxEveryMinutes) + ")";
    return false;
  }
  return true;
}

// The option an error of getopt_long concerns, as it was written: "--name" of a long one
// (without "=value"), "-c" of a short one.
std::string offendingOption(const std::vector<char*>& argv, int shortOption) {
  const std::string arg = optind >= 1 && optind <= int(argv.size()) ? argv[std::size_t(optind - 1)] : "";
  if (arg.rfind("--", 0) == 0) return arg.substr(0, arg.find('='));
  return std::string("-") + char(shortOption);
}

// The reason getopt_long returned '?' or ':'.
std::string optionError(int code, const std::vector<char*>& argv) {
  const std::string option = offendingOption(argv, optopt);
  if (code == ':') return "option " + option + " needs a value";
  // A known long option with optopt set was given a value it does not take: "=no" would
  // otherwise be read as on.
  if (option.rfind("--", 0) == 0 && optopt != 0) return "option '" + option + "' does not take a value";
  if (option.rfind("--", 0) == 0) return "unknown or ambiguous option " + option;
  return "unknown option " + option;
}

// Applies one option getopt_long found; false with `error` set when its value is bad.
bool applyOption(int code, const std::string& value, CliOptions& options, std::string& error) {
  int index = 0;
  switch (code) {
    case 't': return parseChoice("--type", value, {"size-time", "binary", "all"}, options.compareType, error);
    case 'c': options.caseSensitive = true; return true;
    case kNoSubfolders: options.subfolders = false; return true;
    case 'k': options.keepExtra = true; return true;
    case 'x': return addExclusion(value, options.exclusions, error);
    case kExcludeFrom: return readExclusionFile(value, options.exclusions, error);
    case kAllowSystemVolume: options.allowSystemVolume = true; return true;
    case kNamesDiffer:
      if (!parseChoice("--names-differ", value, {"continue", "create"}, index, error)) return false;
      options.namesDiffer = index == 0 ? NamesDiffer::Continue : NamesDiffer::Create;
      return true;
    case kAllowEmptyMaster: options.allowEmptyMaster = true; return true;
    case 'e': return parseMinutes(value, options.everyMinutes, error);
    case 'q': options.quiet = true; return true;
    case kColour:
      if (!parseChoice("--color", value, {"auto", "always", "never"}, index, error)) return false;
      options.colour = ColourMode(index);
      return true;
    case kFormat:
      if (!parseChoice("--format", value, {"text", "jsonl"}, index, error)) return false;
      options.format = OutputFormat(index);
      return true;
    case 'n': options.dryRun = true; return true;
    case 'h': options.help = true; return true;
    case 'V': options.version = true; return true;
  }
  error = "unknown option";
  return false;
}

}  // namespace

std::string usageText() {
  return "Usage: vardell-cli compare|sync [OPTIONS] MASTER MIRROR\n"
         "Compare reports what differs between MASTER and MIRROR; sync makes MIRROR equal to\n"
         "MASTER, moving removed and replaced mirror files to the trash. MASTER is never written.\n"
         "\n"
         "  -t, --type size-time|binary|all  how paired files are compared (default size-time)\n"
         "  -c, --case-sensitive             pair names with letter case counting\n"
         "      --no-subfolders              only the top folders\n"
         "  -k, --keep-extra                 sync: keep mirror-only entries (no removal pass)\n"
         "  -x, --exclude TEXT               skip subfolders of folders whose path contains TEXT, and\n"
         "                                   spare mirror folders whose path occurs in TEXT (repeatable)\n"
         "      --exclude-from FILE          the exclusion texts in FILE, one a line\n"
         "      --allow-system-volume        sync: allow a mirror on the volume mounted at /\n"
         "      --names-differ continue|create\n"
         "                                   sync: what to do when the folder names differ\n"
         "      --allow-empty-master         sync: let an empty master empty the mirror\n"
         "  -n, --dry-run                    change nothing: print what a sync would do\n"
         "  -e, --every MINUTES              repeat every MINUTES until interrupted\n"
         "  -q, --quiet                      print only the verdict and summary lines\n"
         "      --color auto|always|never    colour the status lines (NO_COLOR, TERM=dumb respected)\n"
         "      --format text|jsonl          status lines as text, or one JSON object a line\n"
         "  -h, --help                       show this help\n"
         "  -V, --version                    show the version\n"
         "\n"
         "Names are printed with \\ as \\\\ and control characters as \\n, \\t or \\xHH.\n"
         "Exit status: compare 0 when the folders match, 1 when not; sync 0 when every action was\n"
         "done (or would be), 1 when something could not be copied or removed; 2 for bad usage, a\n"
         "refused run or output that could not be written. See vardell-cli(1).\n";
}

std::optional<CliOptions> parseCliOptions(const std::vector<std::string>& args, std::string& error) {
  CliOptions options;
  std::vector<std::string> positional;
  std::vector<std::string> storage{"vardell-cli"};
  storage.insert(storage.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& arg : storage) argv.push_back(arg.data());
  argv.push_back(nullptr);
  const int argc = int(storage.size());
  optind = 0;  // getopt_long starts afresh on every call
  opterr = 0;
  for (int code; (code = getopt_long(argc, argv.data(), kShortOptions, kLongOptions, nullptr)) != -1;) {
    if (code == 1) {
      positional.emplace_back(optarg);
    } else if (code == '?' || code == ':') {
      error = optionError(code, argv);
      return {};
    } else if (!applyOption(code, optarg ? optarg : "", options, error)) {
      return {};
    }
  }
  for (int i = optind; i < argc; ++i) positional.emplace_back(argv[std::size_t(i)]);
  if (options.help || options.version) return options;
  if (positional.empty()) {
    error = "missing command: compare or sync";
    return {};
  }
  if (positional[0] == "compare") {
    options.command = Command::Compare;
  } else if (positional[0] == "sync") {
    options.command = Command::Sync;
  } else {
    error = "unknown command '" + positional[0] + "' (use compare or sync)";
    return {};
  }
  if (positional.size() != 3) {
    error = "expected MASTER and MIRROR folders after '" + positional[0] + "'";
    return {};
  }
  options.master = positional[1];
  options.mirror = positional[2];
  if (options.master.empty() || options.mirror.empty()) {
    error = "folder names may not be empty";
    return {};
  }
  return options;
}

}  // namespace vardell::cli
