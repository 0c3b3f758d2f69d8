// The status log and the run log file.
#include "engine/status_log.h"

#include <algorithm>
#include <cerrno>

namespace vardell {
namespace {

bool isControl(char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; }

// Control characters in names (a newline, a tab) would break the line apart in the log
// and the terminal; they are shown escaped, as \n, \t or \xHH.
std::string escapeControls(std::string_view text) {
  static const char digits[] = "0123456789ABCDEF";
  std::string out;
  for (const char c : text) {
    if (!isControl(c)) {
      out += c;
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else {
      out += "\\x";
      out += digits[static_cast<unsigned char>(c) >> 4];
      out += digits[static_cast<unsigned char>(c) & 15];
    }
  }
  return out;
}

}  // namespace

StatusLog::~StatusLog() {
  if (log_) std::fclose(log_);
}

void StatusLog::LogStatus(std::string_view text, Colour colour, bool lineEnd) {
  std::string escaped;
  if (std::any_of(text.begin(), text.end(), isControl)) {
    escaped = escapeControls(text);
    text = escaped;
  }
  window_.insertStatusText(text, colour);
  line_.append(text);
  if (!lineEnd) return;
  if (log_) {
    line_ += "\r\n";
    if (std::fwrite(line_.data(), 1, line_.size(), log_) != line_.size() && !writeError_) {
      writeError_ = std::error_code(errno ? errno : EIO, std::generic_category());
    }
  }
  line_.clear();
  window_.endStatusLine();
}

void StatusLog::clear() {
  line_.clear();
  window_.clearStatus();
}

std::error_code StatusLog::openRunLog(const std::string& path) {
  if (log_) closeRunLog();
  writeError_.clear();
  log_ = std::fopen(path.c_str(), "wb");
  if (!log_) return std::error_code(errno, std::generic_category());
  std::setvbuf(log_, nullptr, _IOFBF, 1 << 16);
  return {};
}

std::error_code StatusLog::closeRunLog() {
  if (!log_) return {};
  const bool closed = std::fclose(log_) == 0;
  log_ = nullptr;
  if (!closed && !writeError_) writeError_ = std::error_code(errno ? errno : EIO, std::generic_category());
  return writeError_;
}

std::string RunLogName(const std::string& settingsFolder, const std::string& volumeTag,
                       const std::string& mirrorFolderName) {
  return settingsFolder + "log-" + volumeTag + "-" + mirrorFolderName + ".txt";
}

}  // namespace vardell
