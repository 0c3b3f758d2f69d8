// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// Status lines as JSON objects.
#include "cli/json_lines.h"

#include "cli/name_text.h"
#include "platform/path_text.h"

#include <cstdio>
#include <ctime>

namespace vardell::cli {
namespace {

// Builds one JSON object, members in the order added.
class JsonObject {
 public:
  JsonObject& add(std::string_view key, std::string_view text) { return member(key, jsonString(text)); }
  JsonObject& addNumber(std::string_view key, long long number) { return member(key, std::to_string(number)); }
  JsonObject& addBool(std::string_view key, bool value) { return member(key, value ? "true" : "false"); }
  JsonObject& addList(std::string_view key, const std::vector<std::string>& texts) {
    std::string list = "[";
    for (const std::string& text : texts) list += (list.size() > 1 ? "," : "") + jsonString(text);
    return member(key, list + "]");
  }
  std::string text() const { return body_ + "}"; }

 private:
  JsonObject& member(std::string_view key, const std::string& value) {
    body_ += body_.size() > 1 ? "," : "";
    body_ += jsonString(key) + ":" + value;
    return *this;
  }
  std::string body_ = "{";
};

// RFC 3339 in UTC, with the nanoseconds when there are any: "2024-05-01T12:00:00Z".
std::string utcTimeText(std::int64_t ns) {
  std::int64_t seconds = ns / 1000000000, fraction = ns % 1000000000;
  if (fraction < 0) {
    fraction += 1000000000;
    --seconds;
  }
  const std::time_t t = std::time_t(seconds);
  std::tm utc{};
  gmtime_r(&t, &utc);
  char text[64];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
  std::string result = text;
  if (fraction != 0) {
    std::snprintf(text, sizeof text, ".%09lld", static_cast<long long>(fraction));
    result += text;
  }
  return result + "Z";
}

const char* outcomeName(RunOutcome outcome) {
  switch (outcome) {
    case RunOutcome::FoldersMatch: return "match";
    case RunOutcome::FoldersDiffer: return "differ";
    case RunOutcome::CompareAborted:
    case RunOutcome::SyncAborted: return "aborted";
    case RunOutcome::SyncCompleted: return "completed";
    case RunOutcome::Refused: return "refused";
    case RunOutcome::Cancelled: return "cancelled";
    case RunOutcome::None: break;
  }
  return "not_started";
}

}  // namespace

std::string JsonLines::objectFor(const LineFacts& facts, const RunPlace& place) {
  JsonObject object;
  object.add("kind", facts.kind);
  // The size and time of the file at path, when it is one and is there.
  const auto addFileFacts = [&](const std::string& path, const char* sizeKey, const char* timeKey) {
    DirEntry entry;
    if (path.empty() || fs_.statEntry(path, entry) || entry.isFolder()) return;
    object.addNumber(sizeKey, entry.Size).add(timeKey, utcTimeText(entry.MtimeNs));
  };
  if (facts.kind == "copying" || facts.kind == "would_copy") lastCopyTarget_ = facts.path;
  const std::string& path = facts.kind == "copied" ? lastCopyTarget_ : facts.path;
  if (!path.empty()) object.add("path", path);
  if (!facts.master.empty()) object.add("master", facts.master).add("mirror", facts.mirror);
  if (!facts.reasons.empty()) object.addList("reasons", facts.reasons);
  if (!facts.reason.empty()) object.add("reason", facts.reason);
  if (facts.count) object.addNumber("count", *facts.count);
  if (!facts.text.empty()) object.add("text", facts.text);
  if (namesAFile(facts.kind)) addFileFacts(facts.path, "size", "mtime");
  // A copy's line names the mirror file; the master file it comes from is the entry the
  // walk is at.
  if ((facts.kind == "copying" || facts.kind == "would_copy") &&
      lastComponent(place.currentPath) == lastComponent(facts.path)) {
    object.add("source", place.currentPath);
    addFileFacts(place.currentPath, "source_size", "source_mtime");
  }
  // A mismatch names the master file; its mirror partner lies at the same place below the
  // mirror (when it was paired by its own name).
  if (facts.kind == "mismatch" && isBelow(facts.path, place.master)) {
    addFileFacts(joinPath(place.mirror, facts.path.substr(place.master.size() + 1)), "mirror_size", "mirror_mtime");
  }
  return object.text();
}

std::string JsonLines::summaryObject(const RunSummary& summary) {
  JsonObject object;
  object.add("kind", "summary")
      .add("command", summary.command)
      .addBool("dry_run", summary.dryRun)
      .add("outcome", outcomeName(summary.outcome));
  if (std::string_view(summary.command) == "sync") object.addNumber("copied", summary.copied).addNumber("removed", summary.removed);
  return object.addNumber("failed", summary.failed).addNumber("exit_status", summary.exitStatus).text();
}

}  // namespace vardell::cli
