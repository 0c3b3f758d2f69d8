// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// Window creation's start-up steps: settings, instances and the command-line folders.
#include "shell/program_start.h"

#include "engine/version.h"
#include "platform/folders.h"
#include "platform/regular_file.h"
#include "shell/batch_mode.h"
#include "shell/folder_list.h"
#include "shell/main_form.h"
#include "shell/window_prompts.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <sstream>

namespace vardell {
namespace {

std::string withSlash(std::string folder) {
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

// The old folder file holds four short lines; anything much longer is not that file.
constexpr std::size_t kLegacyFileLimit = 4096;

QString qs(const std::string& text) { return QString::fromUtf8(text.data(), qsizetype(text.size())); }

// True when path names a folder. A link to a folder counts, followed once here: a folder
// parameter may be a link, and the list then shows the folder it leads to.
bool namesFolder(FileSystem& fs, const std::string& path) {
  FileIdentity id;
  return !path.empty() && !fs.identify(path, id) && id.folder;
}

// Sets a check box and runs its click handler when its state changes.
void setBox(QCheckBox* box, bool on, const std::function<void()>& clicked) {
  if (box->isChecked() == on) return;
  box->setChecked(on);
  if (clicked) clicked();
}

}  // namespace

WindowSettings readWindowSettings(const TMainForm& window) {
  WindowSettings now;
  now.dir1 = window.DirectoryListBox1->Directory();
  now.dir2 = window.DirectoryListBox2->Directory();
  now.top = window.y();
  now.left = window.x();
  now.compareType = window.CompareTypeButtons->checkedId();
  now.subFolders = window.SubDirectoryCheckBox->isChecked();
  now.protectC = window.ProtectCBtn->isChecked();
  now.caseSense = window.CaseChkBox->isChecked();
  now.width = window.fullSize().width();
  now.height = window.fullSize().height();
  return now;
}

void applyWindowSettings(TMainForm& window, const WindowSettings& values) {
  window.move(values.left, values.top);
  window.restoreSize(values.width, values.height);
  const int type = std::clamp(values.compareType, -1, 2);
  if (window.CompareTypeButtons->checkedId() != type) {
    if (type < 0) {
      // No choice selected: an exclusive group never lets its last choice go by itself.
      window.CompareTypeButtons->setExclusive(false);
      if (QAbstractButton* checked = window.CompareTypeButtons->checkedButton()) checked->setChecked(false);
      window.CompareTypeButtons->setExclusive(true);
    } else {
      window.CompareTypeButtons->button(type)->setChecked(true);
    }
    window.CompareTypeClick();
  }
  setBox(window.SubDirectoryCheckBox, values.subFolders, nullptr);
  setBox(window.ProtectCBtn, values.protectC, [&window] { window.DriveComboBox2Change(); });
  setBox(window.CaseChkBox, values.caseSense, nullptr);
}

TProgramStart::TProgramStart(TMainForm& window, WindowPrompts& prompts, FileSystem& fs, OwnFolders folders,
                             std::vector<std::string> parameters)
    : window_(window), prompts_(prompts), fs_(fs), folders_(std::move(folders)), parameters_(std::move(parameters)),
      runtime_(chooseRuntimeFolder()),
      settings_(fs, InstanceLocks(runtime_), folders_.settings + "KELPO.ini", folders_.program) {}

std::string TProgramStart::chooseRuntimeFolder() const {
  // Lock files live as long as the instance: a folder given on the command line must not
  // hold them, where the run would list, copy or trash them.
  std::vector<std::string> given;
  for (std::size_t i = 0; i < std::min<std::size_t>(parameters_.size(), 2); ++i) {
    if (!parameters_[i].empty()) given.push_back(fs_.fullPath(parameters_[i]));
  }
  for (const std::string& folder : {folders_.runtime, folders_.fallback}) {
    std::string tree;
    if (!folder.empty() && !checkOwnFolder(folder, given, tree)) return folder;
  }
  return {};
}

bool TProgramStart::unattended() const { return commandLineOptionsOf(parameters_).armsBatchTimer(); }

void TProgramStart::reportUnwritableSettings(const std::string& reason) {
  // The message keeps the words users know; the system's reason goes to a status line and
  // to standard error, where it can be read and copied after the box is gone.
  const std::string message = "Unable to write to " + settings_.settingsFile();
  window_.addPlainStatusLine(qs(message + ": " + reason));
  std::fprintf(stderr, "%s: %s: %s\n", kApplicationTitle, message.c_str(), reason.c_str());
  if (!unattended()) prompts_.showMessage(MessageKind::Error, QString::fromUtf8(kApplicationTitle), qs(message));
}

void TProgramStart::addNotes(const std::vector<std::string>& notes) {
  for (const std::string& note : notes) window_.addPlainStatusLine(qs(note));
}

bool TProgramStart::readLegacyFolderFile() {
  const std::string path = folders_.settings + "dirs.txt";
  std::string bytes;
  if (const auto ec = readRegularFile(path, kLegacyFileLimit, bytes)) {
    if (ec == std::errc::no_such_file_or_directory) return true;
    // Four short lines never look like this; the file is left as it is for the user to see.
    legacyFileKept_ = true;
    window_.addPlainStatusLine(qs("The old folder file " + path + " is not read and left as it is: " +
                                  (ec == std::errc::file_too_large ? std::string("it is too large") : describeError(ec))));
    return true;
  }
  std::istringstream in(bytes);
  std::string line;
  for (int number = 1; number <= 4 && std::getline(in, line); ++number) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (number < 3 || line.empty() || parseProfileInteger(line)) continue;
    prompts_.showMessage(MessageKind::Error, QString::fromUtf8(kApplicationTitle),
                         qs("'" + line + "' is not a valid integer value"));
    return false;
  }
  return true;  // the section search below replaces what the file held
}

void TProgramStart::FormCreate() {
  window_.setSettingsSaver([this] { return SaveSettings(); });
  if (folderParameterRefused()) {
    // The program ends at once: it claims no number, and the saved pair stays as it was.
    applyCommandLineFolders(WindowSettings{});
    return;
  }
  if (parameters_.empty() && !readLegacyFolderFile()) {
    stoppedAtLegacyFile_ = true;
    return;
  }
  prepareRuntimeFolder();
  settings_.setWriteGuard([this](const WindowSettings& pair) { return whySettingsStayUnwritten(pair); });
  std::vector<std::string> notes;
  std::string writeError;
  startingUp_ = true;
  const WindowSettings section = settings_.LoadSettings(notes, writeError);
  startingUp_ = false;
  addNotes(notes);
  applyWindowSettings(window_, section);
  if (!writeError.empty()) reportUnwritableSettings(writeError);

  applyCommandLineFolders(section);
  std::string tree;
  if (!settingsFolderProblem(readWindowSettings(window_), tree)) removeLegacyFolderFile();
  SaveSettings();
}

void TProgramStart::removeLegacyFolderFile() {
  const std::string legacy = folders_.settings + "dirs.txt";
  struct stat st {};
  if (legacyFileKept_ || ::lstat(legacy.c_str(), &st) != 0) return;
  if (!S_ISREG(st.st_mode) || std::size_t(st.st_size) > kLegacyFileLimit) {
    // Whatever stands there is not the old four-line file: it is the user's to look at.
    window_.addPlainStatusLine(qs("The old folder file " + legacy + " is not a small file and is left as it is"));
    return;
  }
  if (::unlink(legacy.c_str()) != 0) {
    window_.addPlainStatusLine(qs("The old folder file " + legacy + " could not be removed"));
  }
}

bool TProgramStart::folderParameterRefused() {
  for (std::size_t i = 0; i < std::min<std::size_t>(parameters_.size(), 2); ++i) {
    if (!namesFolder(fs_, folderOfParameter(parameters_[i]))) return true;
  }
  return false;
}

std::error_code TProgramStart::settingsFolderProblem(const WindowSettings& pair, std::string& tree) {
  // While the section is searched, the folders this start will use are the command line's.
  const bool fromCommandLine = startingUp_;
  const std::string master = fromCommandLine && parameters_.size() >= 1 ? folderOfParameter(parameters_[0]) : pair.dir1;
  const std::string mirror = fromCommandLine && parameters_.size() >= 2 ? folderOfParameter(parameters_[1]) : pair.dir2;
  // The program folder on both sides is no pair at all (every run refuses it): the state of
  // a first start, which writes nothing.
  if (withSlash(master) == folders_.program && withSlash(mirror) == folders_.program) return {};
  return prepareOwnFolder(folders_.settings, {master, mirror}, tree);
}

std::string TProgramStart::whySettingsStayUnwritten(const WindowSettings& pair) {
  std::string tree;
  const std::error_code ec = settingsFolderProblem(pair, tree);
  if (!ec) return {};
  if (ec == TreeError::OwnFolderInsideTrees) {
    return "The settings are not saved: the settings folder " + folders_.settings + " lies inside " + tree;
  }
  return "The settings are not saved: the settings folder " + folders_.settings + " cannot be used (" +
         describeError(ec) + ")";
}

void TProgramStart::prepareRuntimeFolder() {
  std::string tree;
  const std::error_code ec = runtime_.empty() ? std::make_error_code(std::errc::permission_denied)
                                              : prepareOwnFolder(runtime_, {}, tree);
  if (ec) {
    const std::string folder = runtime_.empty() ? folders_.runtime : runtime_;
    window_.addPlainStatusLine(qs("The runtime folder " + folder + " cannot be used (" + describeError(ec) +
                                  "): instance numbers are not shared with other copies"));
  }
}

std::string TProgramStart::folderOfParameter(const std::string& parameter) {
  // An empty parameter (a variable a cron line left unset) names no folder; its full path
  // would be the working folder, which nobody named.
  return parameter.empty() ? std::string() : fs_.fullPath(parameter);
}

void TProgramStart::applyCommandLineFolders(const WindowSettings& section) {
  const bool masterGiven = parameters_.size() >= 1;
  const bool mirrorGiven = parameters_.size() >= 2;
  const std::string dir1 = masterGiven ? folderOfParameter(parameters_[0]) : section.dir1;
  const std::string dir2 = mirrorGiven ? folderOfParameter(parameters_[1]) : section.dir2;
  const bool masterShown = namesFolder(fs_, dir1) && window_.setMasterFolder(dir1);
  if (!masterShown) window_.setMasterFolder(folders_.program);
  // There is no second fixed drive to fall back on: a missing mirror shows the program
  // folder, as the master does.
  const bool mirrorShown = namesFolder(fs_, dir2) && window_.setMirrorFolder(dir2);
  if (!mirrorShown) window_.setMirrorFolder(folders_.program);
  window_.DriveComboBox2Change();
  if (masterGiven && !masterShown) {
    endReason_ = refusalOfFolderParameter(parameters_[0], "master", dir1);
  } else if (mirrorGiven && !mirrorShown) {
    endReason_ = refusalOfFolderParameter(parameters_[1], "mirror", dir2);
  }
  // An empty parameter is a mistake in the command line, not a folder that went away:
  // whoever is at the screen is told at once, also in a batch run.
  const bool emptyParameter = (masterGiven && parameters_[0].empty()) || (mirrorGiven && parameters_[1].empty());
  if (emptyParameter && messageBoxesSeen_) {
    prompts_.showMessage(MessageKind::Error, QString::fromUtf8(kApplicationTitle), qs(endReason_ + ". Nothing was run."));
  }
}

std::string TProgramStart::refusalOfFolderParameter(const std::string& parameter, const char* side,
                                                    const std::string& folder) {
  const std::string named = std::string("The ") + side + " folder ";
  if (parameter.empty()) return named + "parameter is empty (it never stands for the working folder)";
  if (!namesFolder(fs_, folder)) return named + folder + " does not exist";
  return named + folder + " cannot be shown";  // a folder the list cannot read: its line says why
}

bool TProgramStart::SaveSettings() {
  const WindowSettings now = readWindowSettings(window_);
  std::string tree;
  // A settings folder that cannot be used (a link, a file in its place) refuses the write
  // as the file itself would; one inside the pair is the guard's, a note and no refusal.
  if (const auto ec = settingsFolderProblem(now, tree); ec && ec != TreeError::OwnFolderInsideTrees) {
    reportUnwritableSettings(describeError(ec));
    return false;
  }
  std::vector<std::string> notes;
  std::string writeError;
  const bool saved = settings_.SaveSettings(now, notes, writeError);
  addNotes(notes);
  if (!saved) reportUnwritableSettings(writeError);
  return saved;
}

}  // namespace vardell
