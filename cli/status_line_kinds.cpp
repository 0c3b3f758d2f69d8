// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// Reading status lines back into kinds and facts.
#include "cli/status_line_kinds.h"

#include "engine/run_texts.h"
#include "engine/summary_lines.h"

#include <algorithm>
#include <cstdlib>

namespace vardell::cli {
namespace {

// Lines made of an opening text and the path after it, in one fragment or more.
struct PathLine {
  std::string_view opening;
  const char* kind;
};
// Longer openings first where one begins another ("Removing files in ", "Removing ").
constexpr PathLine kPathLines[] = {
    {"Unpaired master file ", "unpaired_master_file"},
    {"Unpaired mirror file ", "unpaired_mirror_file"},
    {"Unpaired master folder ", "unpaired_master_folder"},
    {"Unpaired mirror folder ", "unpaired_mirror_folder"},
    {"Names differ only in letter case ", "name_clash"},
    {"Copying to ", "copying"},
    {"Would copy to ", "would_copy"},
    {"Removed ", "removed"},
    {"Removing ", "removed"},
    {"Would remove folder ", "would_remove_folder"},
    {"Would remove ", "would_remove"},
    {"Remove folder ", "removed_folder"},
    {"Create folder ", "created_folder"},
    {"Would create folder ", "would_create_folder"},
    {"Time set ", "time_set"},
    {"Would set the time of ", "would_set_time"},
    {"Failed to remove file ", "remove_failed"},
    {"Master folder vanished, removal stopped: ", "master_vanished"},
    {"Folder not entered, it is the master or mirror folder itself: ", "other_tree"},
    {"Not copied, the mirror folder in its place was not removed: ", "not_copied"},
    {"Modified ", "modified"},
};

// The opening lines of a run and its passes: opening, first folder, text, second folder.
struct FolderPairLine {
  std::string_view opening;
  const char* kind;
  bool masterFirst;
};
constexpr FolderPairLine kFolderPairLines[] = {
    {"Comparing ", "comparing", true},
    {"Removing files in ", "removal_pass", false},
    {"Sync folder ", "copy_pass", true},
};

constexpr std::pair<std::string_view, const char*> kCountLines[] = {
    {"Files Copied: ", "files_copied"}, {"Files Removed: ", "files_removed"}, {"Failed actions: ", "failed_actions"}};

constexpr std::pair<std::string_view, const char*> kMismatchReasons[] = {
    {"Size mismatch", "size"}, {"Time mismatch", "time"}, {"Binary mismatch", "binary"},
    {"Type mismatch", "type"}, {"Can't open", "cannot_open"}};

bool startsWith(std::string_view text, std::string_view start) { return text.substr(0, start.size()) == start; }

// A mismatch line opens with its findings, ", "-separated, then a blank: "Size mismatch,
// Time mismatch ".
bool readMismatch(std::string_view opening, std::vector<std::string>& reasons) {
  if (opening.empty() || opening.back() != ' ') return false;
  opening.remove_suffix(1);
  std::vector<std::string> found;
  while (!opening.empty()) {
    const auto comma = opening.find(", ");
    const std::string_view finding = opening.substr(0, comma);
    const auto known = std::find_if(std::begin(kMismatchReasons), std::end(kMismatchReasons),
                                    [&](const auto& reason) { return reason.first == finding; });
    if (known == std::end(kMismatchReasons)) return false;
    found.emplace_back(known->second);
    opening = comma == std::string_view::npos ? std::string_view() : opening.substr(comma + 2);
  }
  reasons = std::move(found);
  return !reasons.empty();
}

}  // namespace

LineFacts readStatusLine(const std::vector<LineFragment>& fragments) {
  LineFacts facts;
  std::string whole;
  for (const LineFragment& fragment : fragments) whole += fragment.text;
  const std::string_view first = fragments.empty() ? std::string_view() : std::string_view(fragments[0].text);
  for (const FolderPairLine& line : kFolderPairLines) {
    if (fragments.size() == 4 && first == line.opening) {
      facts.kind = line.kind;
      facts.master = line.masterFirst ? fragments[1].text : fragments[3].text;
      facts.mirror = line.masterFirst ? fragments[3].text : fragments[1].text;
      return facts;
    }
  }
  if (fragments.size() == 2 && readMismatch(first, facts.reasons)) {
    facts.kind = "mismatch";
    facts.path = fragments[1].text;
    return facts;
  }
  if (fragments.size() == 2 && startsWith(first, "File copy failed: ")) {
    facts.kind = "copy_failed";
    std::string_view reason = first.substr(std::string_view("File copy failed: ").size());
    if (startsWith(reason.substr(reason.size() >= 2 ? reason.size() - 2 : 0), ": ")) reason.remove_suffix(2);
    facts.reason = reason;
    facts.path = fragments[1].text;
    return facts;
  }
  for (const auto& [opening, kind] : kCountLines) {
    if (startsWith(whole, opening)) {
      facts.kind = kind;
      facts.count = std::strtoll(whole.c_str() + opening.size(), nullptr, 10);
      return facts;
    }
  }
  for (const PathLine& line : kPathLines) {
    if (startsWith(whole, line.opening)) {
      facts.kind = line.kind;
      facts.path = whole.substr(line.opening.size());
      // Folder lines end their path with "/", which no name holds.
      if (facts.path.size() > 1 && facts.path.back() == '/') facts.path.pop_back();
      return facts;
    }
  }
  facts.text = whole;
  if (std::find(std::begin(kVerdictLines), std::end(kVerdictLines), whole) != std::end(kVerdictLines)) {
    facts.kind = "verdict";
  } else if (whole == "Copy completed") {
    facts.kind = "copied";
  } else if (whole == "Disk full") {
    facts.kind = "disk_full";
  } else if (startsWith(whole, "Elapsed Time:  ")) {
    facts.kind = "elapsed_time";
  } else if (startsWith(whole, "Calculating folder size: ")) {
    facts.kind = "folder_size";
  } else if (!fragments.empty() && fragments[0].colour == Colour::Purple) {
    facts.kind = "header";
  } else {
    const bool red = std::any_of(fragments.begin(), fragments.end(), [](const auto& f) { return f.colour == Colour::Red; });
    facts.kind = red ? "failure" : "note";
  }
  return facts;
}

bool namesAFile(std::string_view kind) {
  static constexpr std::string_view kinds[] = {"unpaired_master_file", "unpaired_mirror_file", "name_clash",
                                               "mismatch",             "copying",              "would_copy",
                                               "copy_failed",          "time_set",             "would_set_time"};
  return std::find(std::begin(kinds), std::end(kinds), kind) != std::end(kinds);
}

}  // namespace vardell::cli
