// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// What the main window's tests share: temporary folder trees, prompts answered with
// preset replies and counted, and a shown main window whose run logs go to a temporary
// folder.
#pragma once

#include "shell/main_form.h"
#include "shell/window_prompts.h"
#include "update/update_prompts.h"

#include <QStringList>
#include <QUrl>

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vardell::test {

// A temporary folder below `base`, removed with everything in it at the end; a removal
// that fails fails the test.
class ScopedFolder {
 public:
  explicit ScopedFolder(const std::string& base = "/tmp");
  ~ScopedFolder();
  ScopedFolder(const ScopedFolder&) = delete;
  ScopedFolder& operator=(const ScopedFolder&) = delete;

  const std::string& path() const { return path_; }
  std::string operator/(const std::string& relative) const { return path_ + "/" + relative; }
  // Writes a file (parents created) with a last-write time `ageSeconds` in the past,
  // in whole seconds.
  void writeFile(const std::string& relative, const std::string& content, long ageSeconds = 3600) const;
  void makeFolder(const std::string& relative) const;
  bool exists(const std::string& relative) const;
  std::string read(const std::string& relative) const;
  // Every entry below `relative`, sorted, with its kind, mode, inode, link count, last-write
  // time and a file's content: what must stay byte for byte as it was where no run may
  // write. With the folder itself, whose time changes with every name made in it.
  std::vector<std::string> snapshot(const std::string& relative = "", bool withFolderItself = false) const;

 private:
  std::string path_;
};

// The window's questions answered from presets, every one recorded.
class RecordingPrompts : public WindowPrompts {
 public:
  QStringList messages;                  // "caption|text" of every message box
  QStringList questions;                 // text of every Yes/No question
  std::deque<bool> yesNoAnswers;         // answers in order; none left answers No
  std::deque<NameAnswer> folderAnswers;  // answers in order; none left cancels
  QStringList folderHeadings;            // the dialog's heading at each showing
  int folderQuestions = 0;
  std::function<void()> onMessage;       // called with each message box

  void showMessage(MessageKind kind, const QString& caption, const QString& text) override;
  bool askYesNo(const QString& caption, const QString& text) override;
  NameAnswer askFolderNames(TContinueForm& form) override;
  QStringList openedPages;  // every page asked to open
  bool openUrl(const QUrl& page) override;
  std::deque<QString> folderChoices;  // the folder dialog's answers in order; none left cancels
  QStringList folderDialogStarts;     // the folder each folder dialog started at
  QString chooseFolder(const QString& caption, const QString& start) override;
};

// The update check's questions, recorded; every box answers Ok or No.
class RecordingUpdatePrompts : public UpdatePrompts {
 public:
  QStringList boxes;  // "caption|text"
  int terminations = 0;
  TMsgAnswer showMessageBox(const TMessageBoxRequest& request) override;
  std::optional<TSaveDialogAnswer> askSaveFileName(const TSaveDialogRequest&) override { return std::nullopt; }
  int runModalWindow(QDialog&) override { return 0; }
  bool openWithAssociatedProgram(const QString&) override { return false; }
  void terminateApplication() override { ++terminations; }
};

class MainFormTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  // Lets a test change the window's configuration before the window is made.
  virtual void configure(ShellConfig&) {}

  // Points both folder lists at folders; false when one cannot be shown.
  void showFolders(const std::string& master, const std::string& mirror);
  // Clicks a button through the event loop.
  void click(QWidget* button);
  // The status window's lines without the empty last line.
  QStringList statusLines();
  // Fills a folder with `count` small files in a few subfolders.
  static void fillTree(const ScopedFolder& root, const std::string& under, int count);

  ScopedFolder logs_;
  RecordingPrompts prompts_;
  RecordingUpdatePrompts updatePrompts_;
  std::unique_ptr<TMainForm> window_;
};

}  // namespace vardell::test
