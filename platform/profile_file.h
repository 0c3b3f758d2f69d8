// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// The settings file's reader and writer: an initialisation file of "[section]" headers and
// "key=value" lines, read and written one value at a time with no cache. Section and key
// names match without regard to letter case; every other line (comments, blank lines, other
// sections and keys) is kept byte for byte. Each write replaces the whole file atomically
// (a temporary file in the same folder, renamed over it, the file's mode kept) under an
// advisory lock, so two processes writing at once never lose each other's lines and a
// crash mid-write leaves the old file. A caller whose change spans several values (reads
// that decide what to write) holds the lock for all of it: lockProfileFile, then
// readProfileText and writeProfileText. Only a regular file is read or replaced.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

namespace vardell {

// The longest value a read returns; longer values are cut to this many bytes.
inline constexpr std::size_t kProfileValueLimit = 2047;
// Files larger than this are not read at all: their values are all missing.
inline constexpr std::size_t kProfileFileLimit = 16 * 1024 * 1024;

// The parsed lines of one settings file. Line ends are kept with their lines.
class ProfileText {
 public:
  ProfileText() = default;
  explicit ProfileText(std::string bytes);

  // The value of key in section: surrounding blanks removed and one pair of enclosing
  // double quotes taken off, cut to kProfileValueLimit bytes; nullopt when missing.
  std::optional<std::string> value(const std::string& section, const std::string& key) const;
  // True when the section has a header line.
  bool hasSection(const std::string& section) const;
  // Sets key in section to value: the key's first line is rewritten in place, a missing key
  // is added after the section's last non-blank line, a missing section is added at the end.
  // Fails with invalid_argument, the text unchanged, when section, key or value holds a line
  // break or a NUL byte, a section name holds "]" or a key "=" (the file could not keep it).
  std::error_code setValue(const std::string& section, const std::string& key, const std::string& value);
  // The whole text as it would be written.
  std::string bytes() const;
  // What looked wrong while reading ("" when nothing): binary bytes, an overlong line, no
  // section header. Values are still read as far as the lines allow.
  const std::string& problem() const { return problem_; }

 private:
  struct Line {
    std::string text;  // without its line end
    std::string end;   // "\r\n", "\n" or "" on the last line
  };
  // The index range [first, last) of the lines that belong to section, or npos.
  std::size_t findSection(const std::string& section, std::size_t& end) const;
  std::string newLineEnd() const;

  std::vector<Line> lines_;
  std::string problem_;
};

// How lockProfileFile treats a missing lock file.
enum class LockFileCreation {
  CreateWhenMissing,  // the lock file is made (mode 0600): the first writer's case
  OnlyWhenPresent,    // nothing is made; without a lock file the lock is not taken
};

class ProfileLock;

// Takes the lock of the settings file at path, waiting a few seconds at most for another
// holder. Fails, holding nothing, with resource_unavailable_try_again when the lock stays
// held, no_such_file_or_directory when there is no lock file and `creation` is
// OnlyWhenPresent, too_many_symbolic_link_levels or operation_not_supported when a link or
// something other than a regular file stands at the lock file's name, or the error of the
// open that failed (the settings folder missing or not writable).
ProfileLock lockProfileFile(const std::string& path, std::error_code& ec,
                            LockFileCreation creation = LockFileCreation::CreateWhenMissing);

// An exclusive hold on a settings file's advisory lock: an flock on the sidecar file
// path + ".lock", which every writer of the file takes. While it is held nobody else
// writes the file, so what the holder reads stays true until it writes or lets go.
// Released when the object goes. An flock taken twice by one process waits for itself:
// code that holds the lock passes it down instead of taking it again.
class ProfileLock {
 public:
  ProfileLock();  // holds nothing
  ProfileLock(ProfileLock&&) noexcept;
  ProfileLock& operator=(ProfileLock&&) noexcept;
  ~ProfileLock();

  bool held() const { return lock_ != nullptr; }
  // True when this is the held lock of the settings file at path.
  bool holds(const std::string& path) const;

 private:
  friend ProfileLock lockProfileFile(const std::string& path, std::error_code& ec, LockFileCreation creation);
  struct LockFile;
  std::unique_ptr<LockFile> lock_;
};

// Reads the whole settings file at path into `text`. A missing file is an empty text without
// an error. Fails, `text` then empty, as readRegularFile does: file_too_large for a file
// larger than kProfileFileLimit; too_many_symbolic_link_levels, is_a_directory or
// operation_not_supported for a link, folder, pipe, socket or device in its place.
std::error_code readProfileText(const std::string& path, ProfileText& text);

// Replaces the settings file at path with `text` at once (a temporary file renamed over
// it, the old file's mode kept, 0600 for a new file). `held` must be the held lock of that
// file (invalid_argument otherwise). Something other than a regular file at path is left as
// it is and the call fails as readProfileText would; otherwise the error of the step that
// failed, the old file then left as it was and no temporary file left behind.
std::error_code writeProfileText(const std::string& path, const ProfileText& text, const ProfileLock& held);

// Reads one value from the file at path. A missing file or key gives nullopt without an
// error; a file that exists but cannot be read gives nullopt and ec set. `problem`, when
// given, receives what looked wrong with the file's content (see ProfileText::problem).
std::optional<std::string> readProfileString(const std::string& path, const std::string& section,
                                             const std::string& key, std::error_code& ec,
                                             std::string* problem = nullptr);

// Writes one value into the file at path (created with mode 0600 when missing) under the
// file's lock, taken and let go within the call. Fails with invalid_argument when section,
// key or value holds a line break or a NUL byte (it would break the file), with the error
// of readProfileText for a file it cannot read (a file too large, a link, a pipe: left as
// it is), or with the error of the step that failed (the old file is then left as it was).
std::error_code writeProfileString(const std::string& path, const std::string& section, const std::string& key,
                                   const std::string& value);

}  // namespace vardell
