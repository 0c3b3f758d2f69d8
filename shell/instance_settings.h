// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// The instance number this copy of the program holds and its section of KELPO.ini: the
// start-up search for a section, the exchange of sections, and the save that moves the
// instance to the lowest free number and its settings with it.
#pragma once

#include "platform/instances.h"

#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace vardell {

// The settings of a section, as the window shows them: the eight the program always had,
// and the window's size, which older files lack.
struct WindowSettings {
  std::string dir1;         // master folder
  std::string dir2;         // mirror folder
  int top = 0;              // window top, screen pixels
  int left = 0;             // window left, screen pixels
  int compareType = 0;      // -1 (no choice), 0 "Size and Time", 1 "Binary", 2 "All of the above"
  bool subFolders = true;   // "Include Subfolders"
  bool protectC = true;     // "Don't modify Drive /"
  bool caseSense = false;   // "Case sensitive names"
  int width = 0;            // window width, pixels; 0 or less: the standard size
  int height = 0;           // window height rolled down, pixels; 0 or less: the standard size
};

// An integer as the settings file and the command line give it: "0x"/"0X" (when longer
// than two characters) or "$" begin hexadecimal, anything else is signed decimal; the
// whole text must be a number that fits 32 bits (hexadecimal wraps as a 32-bit value).
std::optional<int> parseProfileInteger(const std::string& text);

class ProfileText;

// LoadSettings and SaveSettings are each one step under the settings file's lock: the
// number claims, the search and every read and write of sections, so that copies of the
// program starting or ending together see each other's numbers and sections whole.
class TInstanceSettings {
 public:
  static constexpr int kHighestInstance = 128;  // reached only when 0..127 are all held

  // `settingsFile` is the full path of KELPO.ini; `programFolder` ends in "/".
  TInstanceSettings(FileSystem& fs, InstanceLocks locks, std::string settingsFile, std::string programFolder);

  // True for this instance's own number, or when another process holds n.
  bool IsInstanceTaken(int n) const;
  // How many of 0..127 are taken, this instance's own number included.
  int CountInstancesTaken() const;
  // Claims the first free number from start up to 128; gives the new InstanceNumber (128
  // with the lock left as it was when none could be claimed).
  int ClaimLowestFreeInstance(int start);
  // Moves this instance to number n when n is free (or already its own).
  bool ReassignInstance(int n);

  // Asked before anything is written to the settings file, with the folders of this start
  // (the section found by LoadSettings, the window's values given to SaveSettings). A
  // non-empty answer says why the file may not be written: nothing is then made or changed
  // beside it (no lock file either), the call still succeeds, and the answer becomes a
  // note, once per text for this instance.
  void setWriteGuard(std::function<std::string(const WindowSettings& pair)> guard);

  // Claims a number, searches the section to start from and exchanges sections when the
  // one found lies above the instance's own. Gives the values to apply to the window.
  // Plain status lines ("Mutex could not be reassigned to: ...", notes on a malformed
  // file, the write guard's refusal) go to `notes`; a refused write sets `writeError` to
  // the reason the write failed (the caller says "Unable to write to <file>").
  WindowSettings LoadSettings(std::vector<std::string>& notes, std::string& writeError);

  // Writes `now` into this instance's section after moving to the lowest free number from
  // (running instances - 1) upward, the section found there moving to the old number.
  // Nothing is done when both folders are the program folder. Returns false with
  // `writeError` set when the write is refused (the file is then left as it was); the
  // numbers have moved either way.
  bool SaveSettings(const WindowSettings& now, std::vector<std::string>& notes, std::string& writeError);

  int InstanceNumber() const { return instanceNumber_; }
  int StartSection() const { return startSection_; }
  bool StartSectionVacant() const { return startSectionVacant_; }
  bool holdsLock() const { return InstanceMutex_ != nullptr; }
  const std::string& settingsFile() const { return file_; }
  static std::string sectionName(int n) { return "Instance" + std::to_string(n); }

 private:
  // What one search for the section to start from found.
  struct StartSearch;
  // Claims the lowest free number afresh, reads the file once and searches from that number.
  StartSearch searchStartSection();
  // The guard's answer for these folders ("" when writing is allowed or there is no guard).
  std::string writeRefusal(const WindowSettings& pair) const;
  void noteRefusal(const std::string& refusal, std::vector<std::string>& notes);
  // Sets the keys of section in text; false with writeError set when a value cannot
  // be kept by the file.
  bool writeSection(ProfileText& text, const std::string& section, const WindowSettings& values,
                    std::string& writeError) const;
  bool bothFoldersExist(const WindowSettings& values) const;

  FileSystem& fs_;
  InstanceLocks locks_;
  std::string file_;
  std::string programFolder_;
  int instanceNumber_ = 0;
  std::unique_ptr<HeldLock> InstanceMutex_;
  int startSection_ = 0;
  bool startSectionVacant_ = false;
  std::function<std::string(const WindowSettings&)> writeGuard_;
  std::set<std::string> refusalsNoted_;  // the guard's answers already given as notes
};

}  // namespace vardell
