// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// The settings file's reader and writer on POSIX: atomic replacement by rename under an
// flock on a sidecar lock file.
#include "platform/profile_file.h"

#include "platform/regular_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

namespace vardell {
namespace {

constexpr std::size_t kLongLine = 64 * 1024;
// How long a taker of the lock waits for another holder (one write, or a whole start's
// search and exchange of sections) before it gives up.
constexpr auto kLockPatience = std::chrono::seconds(5);

std::error_code lastError() { return {errno, std::generic_category()}; }

char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

bool sameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
  }
  return true;
}

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string trimmed(const std::string& text) {
  std::size_t first = 0, last = text.size();
  while (first < last && isBlank(text[first])) ++first;
  while (last > first && isBlank(text[last - 1])) --last;
  return text.substr(first, last - first);
}

// The section name of a header line "[name]", or nullopt for other lines.
std::optional<std::string> headerName(const std::string& line) {
  const std::string t = trimmed(line);
  if (t.empty() || t[0] != '[') return std::nullopt;
  const auto close = t.find(']');
  return trimmed(t.substr(1, close == std::string::npos ? std::string::npos : close - 1));
}

bool isComment(const std::string& line) {
  const std::string t = trimmed(line);
  return !t.empty() && (t[0] == ';' || t[0] == '#');
}

// The key of a "key=value" line, or nullopt.
std::optional<std::string> keyName(const std::string& line) {
  if (isComment(line)) return std::nullopt;
  const auto eq = line.find('=');
  if (eq == std::string::npos) return std::nullopt;
  return trimmed(line.substr(0, eq));
}

bool unsafeText(const std::string& text) {
  return text.find_first_of(std::string("\r\n\0", 3)) != std::string::npos;
}

// False when the line "key=value" under "[section]" would not read back as written.
bool fileCanKeep(const std::string& section, const std::string& key, const std::string& value) {
  return !unsafeText(section) && !unsafeText(key) && !unsafeText(value) && section.find(']') == std::string::npos &&
         key.find('=') == std::string::npos;
}

std::error_code writeAll(int fd, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return lastError();
    done += std::size_t(n);
  }
  return {};
}

// Succeeds for a regular file, giving its permission bits in `mode`, or for nothing at path
// (`mode` then unchanged). A rename would put the new file in place of a link or a pipe,
// which is not ours to replace: they fail with the errors a read of them gives.
std::error_code checkReplaceable(const std::string& path, mode_t& mode) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) return errno == ENOENT ? std::error_code() : lastError();
  if (S_ISLNK(st.st_mode)) return std::make_error_code(std::errc::too_many_symbolic_link_levels);
  if (S_ISDIR(st.st_mode)) return std::make_error_code(std::errc::is_a_directory);
  if (!S_ISREG(st.st_mode)) return std::make_error_code(std::errc::operation_not_supported);
  mode = st.st_mode & 07777;
  return {};
}

}  // namespace

ProfileText::ProfileText(std::string bytes) {
  bool binary = false, longLine = false, anySection = false, anyText = false;
  std::size_t start = 0;
  while (start < bytes.size()) {
    const auto nl = bytes.find('\n', start);
    Line line;
    if (nl == std::string::npos) {
      line.text = bytes.substr(start);
      start = bytes.size();
    } else {
      std::size_t textEnd = nl;
      if (textEnd > start && bytes[textEnd - 1] == '\r') --textEnd;
      line.text = bytes.substr(start, textEnd - start);
      line.end = bytes.substr(textEnd, nl + 1 - textEnd);
      start = nl + 1;
    }
    for (unsigned char c : line.text) {
      if (c < 0x20 && c != '\t' && c != '\r') binary = true;
    }
    longLine = longLine || line.text.size() > kLongLine;
    anySection = anySection || headerName(line.text).has_value();
    anyText = anyText || !trimmed(line.text).empty();
    lines_.push_back(std::move(line));
  }
  if (binary) {
    problem_ = "it holds bytes that are not text";
  } else if (longLine) {
    problem_ = "it has a line longer than " + std::to_string(kLongLine) + " bytes";
  } else if (anyText && !anySection) {
    problem_ = "it has no section header";
  }
}

std::size_t ProfileText::findSection(const std::string& section, std::size_t& end) const {
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    const auto name = headerName(lines_[i].text);
    if (!name || !sameName(*name, section)) continue;
    end = i + 1;
    while (end < lines_.size() && !headerName(lines_[end].text)) ++end;
    return i;
  }
  return std::string::npos;
}

bool ProfileText::hasSection(const std::string& section) const {
  std::size_t end = 0;
  return findSection(section, end) != std::string::npos;
}

std::optional<std::string> ProfileText::value(const std::string& section, const std::string& key) const {
  std::size_t end = 0;
  const std::size_t header = findSection(section, end);
  if (header == std::string::npos) return std::nullopt;
  for (std::size_t i = header + 1; i < end; ++i) {
    const auto name = keyName(lines_[i].text);
    if (!name || !sameName(*name, key)) continue;
    const std::string& text = lines_[i].text;
    std::string v = trimmed(text.substr(text.find('=') + 1));
    if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
    if (v.size() > kProfileValueLimit) v.resize(kProfileValueLimit);
    return v;
  }
  return std::nullopt;
}

std::string ProfileText::newLineEnd() const {
  for (const Line& line : lines_) {
    if (!line.end.empty()) return line.end;
  }
  return "\n";
}

std::error_code ProfileText::setValue(const std::string& section, const std::string& key, const std::string& value) {
  if (!fileCanKeep(section, key, value)) return std::make_error_code(std::errc::invalid_argument);
  const std::string eol = newLineEnd();
  const std::string text = key + "=" + value;
  std::size_t end = 0;
  const std::size_t header = findSection(section, end);
  if (header == std::string::npos) {
    if (!lines_.empty() && lines_.back().end.empty()) lines_.back().end = eol;
    lines_.push_back({"[" + section + "]", eol});
    lines_.push_back({text, eol});
    return {};
  }
  std::size_t lastFilled = header;
  for (std::size_t i = header + 1; i < end; ++i) {
    if (!trimmed(lines_[i].text).empty()) lastFilled = i;
    const auto name = keyName(lines_[i].text);
    if (name && sameName(*name, key)) {
      lines_[i].text = text;
      return {};
    }
  }
  if (lines_[lastFilled].end.empty()) lines_[lastFilled].end = eol;
  lines_.insert(lines_.begin() + std::ptrdiff_t(lastFilled + 1), Line{text, eol});
  return {};
}

std::string ProfileText::bytes() const {
  std::string out;
  for (const Line& line : lines_) out += line.text + line.end;
  return out;
}

struct ProfileLock::LockFile {
  std::string settingsFile;
  int fd = -1;
  ~LockFile() {
    if (fd >= 0) ::close(fd);  // closing lets the lock go
  }
};

ProfileLock::ProfileLock() = default;
ProfileLock::ProfileLock(ProfileLock&&) noexcept = default;
ProfileLock& ProfileLock::operator=(ProfileLock&&) noexcept = default;
ProfileLock::~ProfileLock() = default;

bool ProfileLock::holds(const std::string& path) const { return lock_ && lock_->settingsFile == path; }

ProfileLock lockProfileFile(const std::string& path, std::error_code& ec, LockFileCreation creation) {
  ec.clear();
  auto lock = std::make_unique<ProfileLock::LockFile>();
  lock->settingsFile = path;
  // Read and write access because flock over NFS is a byte-range lock, which wants it for
  // an exclusive hold; no byte of the lock file is ever written.
  int flags = O_RDWR | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK;
  if (creation == LockFileCreation::CreateWhenMissing) flags |= O_CREAT;
  lock->fd = ::open((path + ".lock").c_str(), flags, 0600);
  if (lock->fd < 0) {
    ec = lastError();
    return {};
  }
  struct stat st {};
  if (::fstat(lock->fd, &st) != 0) {
    ec = lastError();
    return {};
  }
  if (!S_ISREG(st.st_mode)) {
    ec = std::make_error_code(std::errc::operation_not_supported);
    return {};
  }
  // A holder that never lets go (a stopped process) must not hang every start: the lock is
  // asked for again and again until the patience runs out.
  const auto deadline = std::chrono::steady_clock::now() + kLockPatience;
  while (::flock(lock->fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno != EWOULDBLOCK && errno != EINTR) {
      ec = lastError();
      return {};
    }
    if (std::chrono::steady_clock::now() > deadline) {
      ec = std::make_error_code(std::errc::resource_unavailable_try_again);
      return {};
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  ProfileLock held;
  held.lock_ = std::move(lock);
  return held;
}

std::error_code readProfileText(const std::string& path, ProfileText& text) {
  text = ProfileText();
  std::string bytes;
  const auto ec = readRegularFile(path, kProfileFileLimit, bytes);
  if (ec == std::errc::no_such_file_or_directory) return {};
  if (ec) return ec;
  text = ProfileText(std::move(bytes));
  return {};
}

std::error_code writeProfileText(const std::string& path, const ProfileText& text, const ProfileLock& held) {
  if (!held.holds(path)) return std::make_error_code(std::errc::invalid_argument);
  mode_t mode = 0600;
  if (const auto ec = checkReplaceable(path, mode)) return ec;

  std::string temporary = path + ".XXXXXX";
  const int fd = ::mkstemp(temporary.data());
  if (fd < 0) return lastError();
  std::error_code ec;
  if (::fchmod(fd, mode) != 0) ec = lastError();
  if (!ec) ec = writeAll(fd, text.bytes());
  if (!ec && ::fsync(fd) != 0) ec = lastError();
  if (::close(fd) != 0 && !ec) ec = lastError();
  if (!ec && ::rename(temporary.c_str(), path.c_str()) != 0) ec = lastError();
  if (ec) ::unlink(temporary.c_str());
  return ec;
}

std::optional<std::string> readProfileString(const std::string& path, const std::string& section,
                                             const std::string& key, std::error_code& ec, std::string* problem) {
  ProfileText text;
  ec = readProfileText(path, text);
  if (ec) {
    if (problem) *problem = ec == std::errc::file_too_large ? "it is too large to be a settings file" : "";
    return std::nullopt;
  }
  if (problem) *problem = text.problem();
  return text.value(section, key);
}

std::error_code writeProfileString(const std::string& path, const std::string& section, const std::string& key,
                                   const std::string& value) {
  // Refused before the lock file is made: a value the file cannot keep, or a file that is
  // not ours to replace.
  if (!fileCanKeep(section, key, value)) return std::make_error_code(std::errc::invalid_argument);
  mode_t mode = 0;
  std::error_code ec = checkReplaceable(path, mode);
  if (ec) return ec;
  const ProfileLock lock = lockProfileFile(path, ec);
  if (ec) return ec;
  ProfileText text;
  if ((ec = readProfileText(path, text))) return ec;
  if ((ec = text.setValue(section, key, value))) return ec;
  return writeProfileText(path, text, lock);
}

}  // namespace vardell
