// The settings file's reader and writer: an initialisation file of "[section]" headers and
// "key=value" lines, read and written one value at a time with no cache. Section and key
// names match without regard to letter case; every other line (comments, blank lines, other
// sections and keys) is kept byte for byte. Each write replaces the whole file atomically
// (a temporary file in the same folder, renamed over it, the file's mode kept) under an
// advisory lock, so two processes writing at once never lose each other's lines and a
// crash mid-write leaves the old file.
#pragma once

#include <cstddef>
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
  void setValue(const std::string& section, const std::string& key, const std::string& value);
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

// Reads one value from the file at path. A missing file or key gives nullopt without an
// error; a file that exists but cannot be read gives nullopt and ec set. `problem`, when
// given, receives what looked wrong with the file's content (see ProfileText::problem).
std::optional<std::string> readProfileString(const std::string& path, const std::string& section,
                                             const std::string& key, std::error_code& ec,
                                             std::string* problem = nullptr);

// Writes one value into the file at path (created with mode 0600 when missing) under an
// exclusive advisory lock on the sidecar file path + ".lock". Fails with invalid_argument
// when section, key or value holds a line break or a NUL byte (it would break the file),
// with file_too_large for a file too large to read, or with the error of the step that
// failed (the old file is then left as it was).
std::error_code writeProfileString(const std::string& path, const std::string& section, const std::string& key,
                                   const std::string& value);

}  // namespace vardell
