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

std::optional<std::string> TInstanceSettings::readText(const std::string& section, const std::string& key) {
  std::error_code ec;
  std::string problem;
  auto value = readProfileString(file_, section, key, ec, &problem);
  if (readProblem_.empty()) {
    if (ec) {
      readProblem_ = "The settings file " + file_ + " cannot be read (" + ec.message() + ")";
    } else if (!problem.empty()) {
      readProblem_ = "The settings file " + file_ + " looks damaged: " + problem;
    }
  }
  return value;
}

int TInstanceSettings::readInteger(const std::string& section, const std::string& key, int fallback) {
  const auto text = readText(section, key);
  if (!text) return fallback;
  return parseProfileInteger(*text).value_or(fallback);
}

WindowSettings TInstanceSettings::readForCopy(const std::string& section) {
  WindowSettings values;
  values.dir1 = readText(section, kDir1).value_or("");
  values.dir2 = readText(section, kDir2).value_or("");
  values.top = readInteger(section, kTop, 0);
  values.left = readInteger(section, kLeft, 0);
  values.compareType = readInteger(section, kCompareType, 0);
  values.subFolders = readInteger(section, kSubFolders, 1) != 0;
  values.protectC = readInteger(section, kProtectC, 1) != 0;
  values.caseSense = readInteger(section, kCaseSense, 0) != 0;
  return values;
}

bool TInstanceSettings::writeSection(const std::string& section, const WindowSettings& values,
                                     std::string& writeError) {
  const std::pair<const char*, std::string> keys[] = {
      {kDir1, values.dir1},
      {kDir2, values.dir2},
      {kTop, std::to_string(values.top)},
      {kLeft, std::to_string(values.left)},
      {kCompareType, std::to_string(values.compareType)},
      {kSubFolders, values.subFolders ? "1" : "0"},
      {kProtectC, values.protectC ? "1" : "0"},
      {kCaseSense, values.caseSense ? "1" : "0"},
  };
  for (const auto& [key, value] : keys) {
    if (const auto ec = writeProfileString(file_, section, key, value)) {
      writeError = "Unable to write to " + file_;
      if (ec == std::errc::invalid_argument) {
        writeError += "\nThe value of " + std::string(key) + " holds a line break, which the file cannot keep.";
      } else {
        writeError += "\n" + ec.message();
      }
      return false;
    }
  }
  return true;
}

bool TInstanceSettings::bothFoldersExist(const WindowSettings& values) const {
  return fs_.folderExists(values.dir1) && fs_.folderExists(values.dir2);
}

WindowSettings TInstanceSettings::LoadSettings(std::vector<std::string>& notes, std::string& writeError) {
  readProblem_.clear();
  int s = ClaimLowestFreeInstance(0);
  startSectionVacant_ = false;
  WindowSettings found;
  found.dir1 = found.dir2 = programFolder_;
  bool bothExist = false, heldByOther = false, first = true;
  while ((first || heldByOther || !bothExist) && !startSectionVacant_ && s < kHighestInstance) {
    first = false;
    const std::string section = sectionName(s);
    found.dir1 = readText(section, kDir1).value_or(programFolder_);
    found.dir2 = readText(section, kDir2).value_or(programFolder_);
    startSectionVacant_ = found.dir1 == programFolder_ || found.dir2 == programFolder_;
    bothExist = bothFoldersExist(found);
    heldByOther = IsInstanceTaken(s) && s != instanceNumber_;
    ++s;
  }
  startSection_ = s - 1;
  if (startSectionVacant_ && !ReassignInstance(startSection_)) {
    notes.push_back("Mutex could not be reassigned to: " + sectionName(startSection_));
  }

  const std::string start = sectionName(startSection_);
  found.top = readInteger(start, kTop, 0);
  found.left = readInteger(start, kLeft, 0);
  found.compareType = std::clamp(readInteger(start, kCompareType, 0), -1, 2);
  found.subFolders = readInteger(start, kSubFolders, 1) != 0;
  found.protectC = readInteger(start, kProtectC, 1) != 0;
  found.caseSense = readInteger(start, kCaseSense, 0) != 0;
  if (!readProblem_.empty()) {
    notes.push_back(readProblem_ + "; missing or unreadable values take their defaults");
  }

  if (instanceNumber_ < startSection_ && !startSectionVacant_ && bothExist) {
    // The instance keeps its number; its own section takes what it starts from.
    const WindowSettings own = readForCopy(sectionName(instanceNumber_));
    if (writeSection(start, own, writeError)) writeSection(sectionName(instanceNumber_), found, writeError);
  }
  return found;
}

bool TInstanceSettings::SaveSettings(const WindowSettings& now, std::vector<std::string>& notes,
                                     std::string& writeError) {
  if (now.dir1 + "/" == programFolder_ && now.dir2 + "/" == programFolder_) return true;
  const int old = instanceNumber_;
  const int count = CountInstancesTaken();
  int next = old;
  if (!startSectionVacant_) {
    InstanceMutex_.reset();
    next = ClaimLowestFreeInstance(count - 1);
  }
  const std::string source = sectionName(startSectionVacant_ ? startSection_ : old);
  std::string target = source;
  if (!startSectionVacant_ && (old > next || count >= next)) {
    target = sectionName(next);
    if (!writeSection(source, readForCopy(target), writeError)) return false;
  } else if (!ReassignInstance(old)) {
    notes.push_back("Mutex could not be reassigned to: " + source);
  }
  return writeSection(target, now, writeError);
}

}  // namespace vardell
