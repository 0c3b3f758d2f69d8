// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// The main window's test support.
#include "tests/shell/shell_fixture.h"

#include "shell/continue_form.h"
#include "shell/folder_list.h"
#include "shell/status_memo.h"

#include <QLabel>
#include <QTest>

#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

namespace vardell::test {

ScopedFolder::ScopedFolder(const std::string& base) {
  std::string pattern = base + "/vardell-shell-XXXXXX";
  if (!::mkdtemp(pattern.data())) throw std::runtime_error("cannot make a temporary folder in " + base);
  path_ = pattern;
}

ScopedFolder::~ScopedFolder() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
  EXPECT_FALSE(ec) << "cleanup of " << path_ << " failed: " << ec.message();
}

void ScopedFolder::makeFolder(const std::string& relative) const {
  std::filesystem::create_directories(*this / relative);
}

void ScopedFolder::writeFile(const std::string& relative, const std::string& content, long ageSeconds) const {
  const std::filesystem::path file(*this / relative);
  std::filesystem::create_directories(file.parent_path());
  {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << content;
    ASSERT_TRUE(out.good()) << "cannot write " << file;
  }
  const time_t when = ::time(nullptr) - ageSeconds;
  const struct timeval times[2] = {{when, 0}, {when, 0}};
  ASSERT_EQ(::utimes(file.c_str(), times), 0);
}

bool ScopedFolder::exists(const std::string& relative) const {
  struct stat st {};
  return ::lstat((*this / relative).c_str(), &st) == 0;
}

std::string ScopedFolder::read(const std::string& relative) const {
  std::ifstream in(*this / relative, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<std::string> ScopedFolder::snapshot(const std::string& relative, bool withFolderItself) const {
  std::vector<std::string> entries;
  const auto describe = [&](const std::filesystem::path& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) {
      entries.push_back(path.string() + " vanished while listed");
      return;
    }
    std::ostringstream line;
    line << path.string() << " mode " << std::oct << st.st_mode << std::dec << " inode " << st.st_ino << " links "
         << st.st_nlink << " mtime " << st.st_mtim.tv_sec << "." << st.st_mtim.tv_nsec;
    if (S_ISREG(st.st_mode)) {
      const std::string content = read(path.string().substr(path_.size() + 1));
      // A large file (a program) is told by its digest, so a difference stays readable.
      if (content.size() <= 4096) {
        line << " = " << content;
      } else {
        line << " size " << content.size() << " digest " << std::hash<std::string>{}(content);
      }
    }
    entries.push_back(line.str());
  };
  if (withFolderItself) describe(*this / relative);
  for (const auto& entry : std::filesystem::recursive_directory_iterator(*this / relative)) describe(entry.path());
  std::sort(entries.begin(), entries.end());
  return entries;
}

void RecordingPrompts::showMessage(MessageKind, const QString& caption, const QString& text) {
  messages << caption + QLatin1Char('|') + text;
  if (onMessage) onMessage();
}

bool RecordingPrompts::askYesNo(const QString&, const QString& text) {
  questions << text;
  if (yesNoAnswers.empty()) return false;
  const bool answer = yesNoAnswers.front();
  yesNoAnswers.pop_front();
  return answer;
}

bool RecordingPrompts::openUrl(const QUrl& page) {
  openedPages << page.toString();
  return true;
}

QString RecordingPrompts::chooseFolder(const QString&, const QString& start) {
  folderDialogStarts << start;
  if (folderChoices.empty()) return {};
  const QString answer = folderChoices.front();
  folderChoices.pop_front();
  return answer;
}

NameAnswer RecordingPrompts::askFolderNames(TContinueForm& form) {
  ++folderQuestions;
  folderHeadings << form.ContinueForm->text();
  if (folderAnswers.empty()) return NameAnswer::Cancel;
  const NameAnswer answer = folderAnswers.front();
  folderAnswers.pop_front();
  return answer;
}

TMsgAnswer RecordingUpdatePrompts::showMessageBox(const TMessageBoxRequest& request) {
  boxes << request.Caption + QLatin1Char('|') + request.Text;
  return request.Buttons == TMsgButtons::Ok ? TMsgAnswer::Ok : TMsgAnswer::No;
}

void MainFormTest::SetUp() {
  ShellConfig config;
  config.runLogFolders = {logs_.path() + "/"};
  configure(config);
  window_ = std::make_unique<TMainForm>(config, prompts_, &updatePrompts_);
  window_->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
}

void MainFormTest::TearDown() { window_.reset(); }

void MainFormTest::showFolders(const std::string& master, const std::string& mirror) {
  ASSERT_TRUE(window_->setMasterFolder(master));
  ASSERT_TRUE(window_->setMirrorFolder(mirror));
  window_->DriveComboBox2Change();
}

void MainFormTest::click(QWidget* button) {
  ASSERT_TRUE(button->isEnabled()) << button->objectName().toStdString() << " is disabled";
  QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier, QPoint(button->width() / 2, button->height() / 2));
}

QStringList MainFormTest::statusLines() {
  QStringList lines = window_->Memo1->lines();
  if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
  return lines;
}

void MainFormTest::fillTree(const ScopedFolder& root, const std::string& under, int count) {
  for (int i = 0; i < count; ++i) {
    root.writeFile(under + "/d" + std::to_string(i % 10) + "/f" + std::to_string(i) + ".txt", "content " + std::to_string(i));
  }
}

}  // namespace vardell::test
