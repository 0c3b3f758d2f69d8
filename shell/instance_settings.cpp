// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// Instance numbers and this instance's section of the settings file.
#include "shell/instance_settings.h"

#include "platform/profile_file.h"

#include <algorithm>
#include <charconv>
#include <cstdint>

namespace vardell {
namespace {

const char* const kDir1 = "dir1";
const char* const kDir2 = "dir2";
const char* const kTop = "Top";
const char* const kLeft = "Left";
const char* const kCompareType = "CompareType";
const char* const kSubFolders = "SubFolders";
const char* const kProtectC = "ProtectC";
const char* const kCaseSense = "CaseSense";
const char* const kWidth = "Width";
const char* const kHeight = "Height";

int readInteger(const ProfileText& text, const std::string& section, const std::string& key, int fallback) {
  const auto value = text.value(section, key);
  if (!value) return fallback;
  return parseProfileInteger(*value).value_or(fallback);
}

// A whole section with the defaults used when sections are copied.
WindowSettings readForCopy(const ProfileText& text, const std::string& section) {
  WindowSettings values;
  values.dir1 = text.value(section, kDir1).value_or("");
  values.dir2 = text.value(section, kDir2).value_or("");
  values.top = readInteger(text, section, kTop, 0);
  values.left = readInteger(text, section, kLeft, 0);
  values.compareType = readInteger(text, section, kCompareType, 0);
  values.subFolders = readInteger(text, section, kSubFolders, 1) != 0;
  values.protectC = readInteger(text, section, kProtectC, 1) != 0;
  values.caseSense = readInteger(text, section, kCaseSense, 0) != 0;
  values.width = readInteger(text, section, kWidth, 0);
  values.height = readInteger(text, section, kHeight, 0);
  return values;
}

std::optional<int> parseHex(const std::string& digits) {
  if (digits.empty() || digits.size() > 8) return std::nullopt;
  std::uint32_t value = 0;
  const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value, 16);
  if (ec != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
  return static_cast<int>(value);
}

}  // namespace

std::optional<int> parseProfileInteger(const std::string& text) {
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) return parseHex(text.substr(2));
  if (!text.empty() && text[0] == '$') return parseHex(text.substr(1));
  const char* first = text.data();
  const char* last = text.data() + text.size();
  if (first != last && *first == '+') ++first;  // from_chars takes no plus sign
  int value = 0;
  const auto [end, ec] = std::from_chars(first, last, value, 10);
  if (first == last || ec != std::errc() || end != last) return std::nullopt;
  return value;
}

TInstanceSettings::TInstanceSettings(FileSystem& fs, InstanceLocks locks, std::string settingsFile,
                                     std::string programFolder)
    : fs_(fs), locks_(std::move(locks)), file_(std::move(settingsFile)), programFolder_(std::move(programFolder)) {}

bool TInstanceSettings::IsInstanceTaken(int n) const { return n == instanceNumber_ || locks_.isHeld(n); }

int TInstanceSettings::CountInstancesTaken() const {
  int count = 0;
  for (int n = 0; n < kHighestInstance; ++n) count += IsInstanceTaken(n) ? 1 : 0;
  return count;
}

int TInstanceSettings::ClaimLowestFreeInstance(int start) {
  for (int n = start; n <= kHighestInstance; ++n) {
    instanceNumber_ = n;
    if (locks_.isHeld(n)) continue;
    std::error_code ec;
    if (auto lock = locks_.claim(n, ec)) {
      InstanceMutex_ = std::move(lock);
      break;
    }
  }
  return instanceNumber_;
}

bool TInstanceSettings::ReassignInstance(int n) {
  if (n == instanceNumber_ && InstanceMutex_) return true;
  if (n != instanceNumber_ && locks_.isHeld(n)) return false;
  std::error_code ec;
  auto lock = locks_.claim(n, ec);
  if (!lock) return false;
  InstanceMutex_ = std::move(lock);  // the old number is released here
  instanceNumber_ = n;
  return true;
}

void TInstanceSettings::setWriteGuard(std::function<std::string(const WindowSettings& pair)> guard) {
  writeGuard_ = std::move(guard);
}

std::string TInstanceSettings::writeRefusal(const WindowSettings& pair) const {
  return writeGuard_ ? writeGuard_(pair) : std::string();
}

void TInstanceSettings::noteRefusal(const std::string& refusal, std::vector<std::string>& notes) {
  // A start loads and saves at once: one line says why neither wrote.
  if (refusalsNoted_.insert(refusal).second) notes.push_back(refusal);
}

bool TInstanceSettings::writeSection(ProfileText& text, const std::string& section, const WindowSettings& values,
                                     std::string& writeError) const {
  const std::pair<const char*, std::string> keys[] = {
      {kDir1, values.dir1},
      {kDir2, values.dir2},
      {kTop, std::to_string(values.top)},
      {kLeft, std::to_string(values.left)},
      {kCompareType, std::to_string(values.compareType)},
      {kSubFolders, values.subFolders ? "1" : "0"},
      {kProtectC, values.protectC ? "1" : "0"},
      {kCaseSense, values.caseSense ? "1" : "0"},
      {kWidth, std::to_string(values.width)},
      {kHeight, std::to_string(values.height)},
  };
  for (const auto& [key, value] : keys) {
    if (text.setValue(section, key, value)) {
      writeError = "the value of " + std::string(key) + " holds a line break, which the file cannot keep";
      return false;
    }
  }
  return true;
}

bool TInstanceSettings::bothFoldersExist(const WindowSettings& values) const {
  return fs_.folderExists(values.dir1) && fs_.folderExists(values.dir2);
}

struct TInstanceSettings::StartSearch {
  ProfileText text;        // the file as the search read it (empty when it could not be read)
  WindowSettings found;    // the values to start from
  bool exchange = false;   // the section found trades places with the instance's own
  std::vector<std::string> notes;
};

TInstanceSettings::StartSearch TInstanceSettings::searchStartSection() {
  StartSearch search;
  const std::error_code readError = readProfileText(file_, search.text);
  const ProfileText& text = search.text;
  std::string readProblem;
  if (readError) {
    readProblem = "The settings file " + file_ + " cannot be read (" + readError.message() + ")";
  } else if (!text.problem().empty()) {
    readProblem = "The settings file " + file_ + " looks damaged: " + text.problem();
  }

  // A search run again holds no number from the first run: it claims as a fresh start does.
  InstanceMutex_.reset();
  int s = ClaimLowestFreeInstance(0);
  startSectionVacant_ = false;
  WindowSettings& found = search.found;
  found.dir1 = found.dir2 = programFolder_;
  bool bothExist = false, heldByOther = false, first = true;
  while ((first || heldByOther || !bothExist) && !startSectionVacant_ && s < kHighestInstance) {
    first = false;
    const std::string section = sectionName(s);
    found.dir1 = text.value(section, kDir1).value_or(programFolder_);
    found.dir2 = text.value(section, kDir2).value_or(programFolder_);
    startSectionVacant_ = found.dir1 == programFolder_ || found.dir2 == programFolder_;
    bothExist = bothFoldersExist(found);
    heldByOther = IsInstanceTaken(s) && s != instanceNumber_;
    ++s;
  }
  startSection_ = s - 1;
  if (startSectionVacant_ && !ReassignInstance(startSection_)) {
    search.notes.push_back("Mutex could not be reassigned to: " + sectionName(startSection_));
  }

  const std::string start = sectionName(startSection_);
  found.top = readInteger(text, start, kTop, 0);
  found.left = readInteger(text, start, kLeft, 0);
  found.compareType = std::clamp(readInteger(text, start, kCompareType, 0), -1, 2);
  found.subFolders = readInteger(text, start, kSubFolders, 1) != 0;
  found.protectC = readInteger(text, start, kProtectC, 1) != 0;
  found.caseSense = readInteger(text, start, kCaseSense, 0) != 0;
  found.width = readInteger(text, start, kWidth, 0);
  found.height = readInteger(text, start, kHeight, 0);
  if (!readProblem.empty()) {
    search.notes.push_back(readProblem + "; missing or unreadable values take their defaults");
  }
  // The instance keeps its number; its own section takes what it starts from.
  search.exchange = instanceNumber_ < startSection_ && !startSectionVacant_ && bothExist;
  return search;
}

WindowSettings TInstanceSettings::LoadSettings(std::vector<std::string>& notes, std::string& writeError) {
  std::error_code lockError;
  ProfileLock lock = lockProfileFile(file_, lockError, LockFileCreation::OnlyWhenPresent);
  StartSearch search = searchStartSection();
  // Taking the lock for the first time makes its lock file, which the guard may forbid: the
  // search then ran unlocked. Sections to search make the lock file once the guard allows
  // the folders found, and the search is run again under the lock. A missing or empty file
  // has nothing to exchange and makes nothing.
  if (!lock.held() && lockError == std::errc::no_such_file_or_directory && !search.text.bytes().empty() &&
      writeRefusal(search.found).empty()) {
    lock = lockProfileFile(file_, lockError);
    if (lock.held()) search = searchStartSection();
  }
  notes.insert(notes.end(), search.notes.begin(), search.notes.end());
  if (!search.exchange) return search.found;
  if (const std::string refusal = writeRefusal(search.found); !refusal.empty()) {
    noteRefusal(refusal, notes);
    return search.found;
  }

  ProfileText& text = search.text;
  const std::string own = sectionName(instanceNumber_);
  const WindowSettings ownValues = readForCopy(text, own);
  if (!lock.held()) {
    writeError = lockError.message();
  } else if (writeSection(text, sectionName(startSection_), ownValues, writeError) &&
             writeSection(text, own, search.found, writeError)) {
    if (const auto ec = writeProfileText(file_, text, lock)) writeError = ec.message();
  }
  return search.found;
}

bool TInstanceSettings::SaveSettings(const WindowSettings& now, std::vector<std::string>& notes,
                                     std::string& writeError) {
  if (now.dir1 + "/" == programFolder_ && now.dir2 + "/" == programFolder_) return true;
  // Asked first: a refused save makes no lock file. It still takes the lock when the lock
  // file is there, as the numbers move as in any save.
  const std::string refusal = writeRefusal(now);
  std::error_code lockError;
  const ProfileLock lock = lockProfileFile(
      file_, lockError, refusal.empty() ? LockFileCreation::CreateWhenMissing : LockFileCreation::OnlyWhenPresent);
  ProfileText text;
  const std::error_code readError = readProfileText(file_, text);

  const int old = instanceNumber_;
  const int count = CountInstancesTaken();
  int next = old;
  if (!startSectionVacant_) {
    InstanceMutex_.reset();
    next = ClaimLowestFreeInstance(count - 1);
  }
  const std::string source = sectionName(startSectionVacant_ ? startSection_ : old);
  std::string target = source;
  const bool moves = !startSectionVacant_ && (old > next || count >= next);
  if (moves) {
    target = sectionName(next);
  } else if (!ReassignInstance(old)) {
    notes.push_back("Mutex could not be reassigned to: " + source);
  }

  if (!refusal.empty()) {
    noteRefusal(refusal, notes);
    return true;
  }
  if (!lock.held()) {
    writeError = lockError.message();
    return false;
  }
  if (readError) {
    writeError = readError.message();  // a file it cannot read is never replaced
    return false;
  }
  if (moves && !writeSection(text, source, readForCopy(text, target), writeError)) return false;
  if (!writeSection(text, target, now, writeError)) return false;
  if (const auto ec = writeProfileText(file_, text, lock)) {
    writeError = ec.message();
    return false;
  }
  return true;
}

}  // namespace vardell
