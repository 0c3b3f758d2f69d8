// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// The engine's window, in a terminal: status lines to stdout (coloured with ANSI
// colours when wanted, names escaped, or as JSON objects), messages and a progress line
// to stderr, Ctrl-C as Abort.
#pragma once

#include "cli/cli_options.h"
#include "cli/json_lines.h"
#include "engine/run_window.h"

#include <chrono>
#include <string>

namespace vardell::cli {

class TerminalWindow : public RunWindow {
 public:
  // `fs` is asked the sizes and times that jsonl lines carry.
  TerminalWindow(const CliOptions& options, bool colour, bool progress, FileSystem& fs);
  void attachRun(RunControl& run) override { run_ = &run; }
  // Why the folder-name question could not be answered, when it could not.
  const std::string& unansweredQuestion() const { return unanswered_; }
  // Clears the progress line, if one is shown.
  void clearProgress();

  void insertStatusText(std::string_view text, Colour colour) override;
  void endStatusLine() override;
  void clearStatus() override {
    line_.clear();
    plain_.clear();
    fragments_.clear();
  }
  bool showsRawStatusText() const override { return true; }
  void setFileProgress(int) override {}
  void setOverallProgress(int percent) override { overall_ = percent; }
  CompareType compareType() const override { return compareType_; }
  void setCompareType(CompareType index) override { compareType_ = index; }
  bool includeSubfolders() const override { return options_.subfolders; }
  bool caseSensitiveNames() const override { return options_.caseSensitive; }
  bool protectSystemVolume() const override { return !options_.allowSystemVolume; }
  std::string masterFolder() const override { return options_.master; }
  std::string mirrorFolder() const override { return mirror_; }
  bool setMirrorFolder(const std::string& folder) override {
    mirror_ = folder;
    return true;
  }
  void refreshMirrorFolder() override {}
  void disableForm() override {}
  void enableForm() override {}
  void setCaptionTimer(bool) override {}
  void resetCaptions() override { clearProgress(); }
  void processEvents() override;
  void requestQuit() override {}
  void removeTrayIcon() override {}
  void showMessage(MessageKind kind, const std::string& caption, const std::string& text) override;
  void reportFailure(const std::string& text) override;
  NameAnswer askFolderNames(const std::string& mirrorFolder) override;
  bool confirmEmptyMasterRemoval(const std::string& master, long long entriesToTrash) override;

 private:
  bool lineIsShown() const;

  const CliOptions& options_;
  bool colour_;
  bool progress_;
  RunControl* run_ = nullptr;
  std::string mirror_;
  CompareType compareType_;
  int overall_ = -1;
  std::string line_;   // the line being built, with colour codes
  std::string plain_;  // the same without them, names unescaped
  std::vector<LineFragment> fragments_;  // the line's fragments as the run wrote them
  JsonLines json_;
  std::string unanswered_;
  bool progressShown_ = false;
  std::chrono::steady_clock::time_point lastPaint_{};
};

}  // namespace vardell::cli
