// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// A window for tests: records every status line with its coloured fragments, holds the
// options a test sets, and answers questions with preset replies.
#pragma once

#include "engine/run_window.h"

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace vardell::test {

struct Fragment {
  std::string text;
  Colour colour;
  bool operator==(const Fragment&) const = default;
};

struct StatusLine {
  std::vector<Fragment> fragments;
  std::string text() const;
};

class RecordingWindow : public RunWindow {
 public:
  // Options and folders the engine reads.
  CompareType type = CompareType::SizeAndTime;
  bool subfolders = true;
  bool caseSensitive = false;
  bool protect = false;
  std::string master, mirror;
  NameAnswer folderAnswer = NameAnswer::ContinueWithDifferentNames;
  bool emptyMasterAnswer = false;

  // What the engine did.
  std::vector<StatusLine> lines;       // completed lines, then the current one (maybe empty)
  std::vector<int> fileProgress, overallProgress;
  std::vector<CompareType> compareTypesSeen;   // every setCompareType
  std::vector<std::pair<std::string, std::string>> messages;  // caption, text
  std::vector<std::string> failures;
  int folderQuestions = 0, emptyMasterQuestions = 0;
  int processEventsCalls = 0;
  int quitRequests = 0, trayRemovals = 0;
  bool formEnabled = true, captionTimer = false;
  RunControl* run = nullptr;  // the engine serving this window
  // Called on every processEvents, so a test can act in the middle of a run.
  std::function<void()> onProcessEvents;

  // Texts of the completed lines.
  std::vector<std::string> texts() const;

  void attachRun(RunControl& control) override { run = &control; }
  void insertStatusText(std::string_view text, Colour colour) override;
  void endStatusLine() override { lines.emplace_back(); }
  void clearStatus() override { lines.assign(1, StatusLine{}); }
  void setFileProgress(int percent) override { fileProgress.push_back(percent); }
  void setOverallProgress(int percent) override { overallProgress.push_back(percent); }
  CompareType compareType() const override { return type; }
  void setCompareType(CompareType index) override {
    type = index;
    compareTypesSeen.push_back(index);
  }
  bool includeSubfolders() const override { return subfolders; }
  bool caseSensitiveNames() const override { return caseSensitive; }
  bool protectSystemVolume() const override { return protect; }
  std::string masterFolder() const override { return master; }
  std::string mirrorFolder() const override { return mirror; }
  bool setMirrorFolder(const std::string& folder) override;
  void refreshMirrorFolder() override {}
  void disableForm() override { formEnabled = false; }
  void enableForm() override { formEnabled = true; }
  void setCaptionTimer(bool on) override { captionTimer = on; }
  void resetCaptions() override {}
  void processEvents() override;
  void requestQuit() override { ++quitRequests; }
  void removeTrayIcon() override { ++trayRemovals; }
  void showMessage(MessageKind, const std::string& caption, const std::string& text) override {
    messages.emplace_back(caption, text);
  }
  void reportFailure(const std::string& text) override { failures.push_back(text); }
  NameAnswer askFolderNames(const std::string&) override {
    ++folderQuestions;
    return folderAnswer;
  }
  bool confirmEmptyMasterRemoval(const std::string&, long long) override {
    ++emptyMasterQuestions;
    return emptyMasterAnswer;
  }
};

}  // namespace vardell::test
