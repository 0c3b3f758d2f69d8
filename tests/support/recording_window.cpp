// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// The recording test window.
#include "tests/support/recording_window.h"

#include <sys/stat.h>

namespace vardell::test {

std::string StatusLine::text() const {
  std::string joined;
  for (const auto& f : fragments) joined += f.text;
  return joined;
}

std::vector<std::string> RecordingWindow::texts() const {
  std::vector<std::string> result;
  for (std::size_t i = 0; i + 1 < lines.size(); ++i) result.push_back(lines[i].text());
  return result;
}

void RecordingWindow::insertStatusText(std::string_view text, Colour colour) {
  if (lines.empty()) lines.emplace_back();
  lines.back().fragments.push_back(Fragment{std::string(text), colour});
}

bool RecordingWindow::setMirrorFolder(const std::string& folder) {
  struct stat st {};
  if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
  mirror = folder;
  return true;
}

void RecordingWindow::processEvents() {
  ++processEventsCalls;
  if (onProcessEvents) onProcessEvents();
}

}  // namespace vardell::test
