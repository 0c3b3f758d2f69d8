// Parsing the terminal front end's arguments.
#include "cli/cli_options.h"

#include <cstdlib>

namespace vardell::cli {
namespace {

// Splits "--name=value" into name and value.
bool splitInlineValue(std::string& arg, std::optional<std::string>& value) {
  const auto eq = arg.find('=');
  if (arg.rfind("--", 0) != 0 || eq == std::string::npos) return false;
  value = arg.substr(eq + 1);
  arg = arg.substr(0, eq);
  return true;
}

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
         "      --allow-system-volume        sync: allow a mirror on the volume mounted at /\n"
         "      --names-differ continue|create\n"
         "                                   sync: what to do when the folder names differ\n"
         "      --allow-empty-master         sync: let an empty master empty the mirror\n"
         "  -e, --every MINUTES              repeat every MINUTES until interrupted\n"
         "  -q, --quiet                      print only the verdict and summary lines\n"
         "      --color auto|always|never    colour the status lines (NO_COLOR is respected)\n"
         "  -h, --help                       show this help\n"
         "      --version                    show the version\n"
         "\n"
         "Exit status: compare 0 when the folders match, 1 when not; sync 0 when every action was\n"
         "done, 1 when something could not be copied or removed; 2 for bad usage or a refused run.\n";
}

std::optional<CliOptions> parseCliOptions(const std::vector<std::string>& args, std::string& error) {
  CliOptions options;
  std::vector<std::string> positional;
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string arg = args[i];
    std::optional<std::string> inlineValue;
    splitInlineValue(arg, inlineValue);
    const auto value = [&](std::string& out) {
      if (inlineValue) {
        out = *inlineValue;
        return true;
      }
      if (i + 1 >= args.size()) {
        error = "option " + arg + " needs a value";
        return false;
      }
      out = args[++i];
      return true;
    };
    // A switch given a value ("--allow-empty-master=no") would be read as on: refused.
    const auto flag = [&](bool& out, bool on = true) {
      if (inlineValue) {
        error = "option '" + arg + "' does not take a value";
        return false;
      }
      out = on;
      return true;
    };
    std::string v;
    int index = 0;
    if (arg == "-h" || arg == "--help") {
      if (!flag(options.help)) return {};
    } else if (arg == "--version") {
      if (!flag(options.version)) return {};
    } else if (arg == "-t" || arg == "--type") {
      if (!value(v) || !parseChoice(arg, v, {"size-time", "binary", "all"}, options.compareType, error)) return {};
    } else if (arg == "-c" || arg == "--case-sensitive") {
      if (!flag(options.caseSensitive)) return {};
    } else if (arg == "--no-subfolders") {
      if (!flag(options.subfolders, false)) return {};
    } else if (arg == "-k" || arg == "--keep-extra") {
      if (!flag(options.keepExtra)) return {};
    } else if (arg == "-x" || arg == "--exclude") {
      if (!value(v)) return {};
      if (v.empty()) {
        error = "an exclusion text may not be empty";
        return {};
      }
      options.exclusions.push_back(v);
    } else if (arg == "--allow-system-volume") {
      if (!flag(options.allowSystemVolume)) return {};
    } else if (arg == "--names-differ") {
      if (!value(v) || !parseChoice(arg, v, {"continue", "create"}, index, error)) return {};
      options.namesDiffer = index == 0 ? NamesDiffer::Continue : NamesDiffer::Create;
    } else if (arg == "--allow-empty-master") {
      if (!flag(options.allowEmptyMaster)) return {};
    } else if (arg == "-e" || arg == "--every") {
      if (!value(v)) return {};
      char* end = nullptr;
      options.everyMinutes = std::strtoll(v.c_str(), &end, 10);
      if (v.empty() || *end != '\0' || options.everyMinutes < 1 || options.everyMinutes > kMaxEveryMinutes) {
        error = "invalid number of minutes '" + v + "' (1 to " + std::to_string(kMaxEveryMinutes) + ")";
        return {};
      }
    } else if (arg == "-q" || arg == "--quiet") {
      if (!flag(options.quiet)) return {};
    } else if (arg == "--color" || arg == "--colour") {
      if (!value(v) || !parseChoice(arg, v, {"auto", "always", "never"}, index, error)) return {};
      options.colour = ColourMode(index);
    } else if (arg == "--") {
      positional.insert(positional.end(), args.begin() + std::ptrdiff_t(i) + 1, args.end());
      break;
    } else if (arg.size() > 1 && arg[0] == '-') {
      error = "unknown option " + arg;
      return {};
    } else {
      positional.push_back(arg);
    }
  }
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
