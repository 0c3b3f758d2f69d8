// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// The file comparison: the size, time and kind tests of one paired file, and the
// content test when the compare type asks for it.
#include "engine/paths.h"
#include "engine/sync_engine.h"
#include "engine/time_test.h"


namespace vardell {
namespace {

void appendMismatch(std::string& text, bool& ok, const char* finding) {
  if (!ok) text += ", ";
  ok = false;
  text += finding;
}

}  // namespace

bool SyncEngine::CompareFiles(const std::string& listedFolder, const std::string& counterpartFolder,
                              const DirEntry& listed, const DirEntry& counterpart) {
  const std::string listedPath = joinPath(listedFolder, listed.Name);
  state_.CurrentPath = listedPath;
  if (state_.ReversePass || state_.RemovalPass) return true;  // these passes look only for unpaired entries

  const CompareType type = window_.compareType();
  bool ok = true;
  std::string mismatch;
  if (type == CompareType::SizeAndTime || type == CompareType::AllOfTheAbove) {
    if (listed.Size != counterpart.Size) appendMismatch(mismatch, ok, "Size mismatch");
    if (!TimesCountEqual(listed.Time, counterpart.Time, listed.MtimeNs, counterpart.MtimeNs)) {
      appendMismatch(mismatch, ok, "Time mismatch");
    }
  }
  if (type == CompareType::Binary || type == CompareType::AllOfTheAbove) {
    // FIFOs, sockets and devices are never opened.
    bool openFailed = listed.Kind == EntryKind::Special || counterpart.Kind == EntryKind::Special;
    const bool same = !openFailed && content_.contentsMatch(listedPath, joinPath(counterpartFolder, counterpart.Name), listed, counterpart, openFailed);
    if (openFailed) {
      ok = false;
      mismatch = "Can't open ";
    } else if (!same) {
      appendMismatch(mismatch, ok, "Binary mismatch");
    }
  }
  // A link, a folder and a file are never equal, whatever their sizes and times.
  if (ok && (listed.Kind != counterpart.Kind)) appendMismatch(mismatch, ok, "Type mismatch");
  if (ok) return true;
  LogStatus(mismatch + " ", Colour::Maroon, false);
  LogStatus(listedPath, Colour::Black, true);
  return false;
}

}  // namespace vardell
