// The settings file's reader and writer on real files: values, kept lines, malformed
// files, atomic writes and two writers at once.
#include "platform/profile_file.h"
#include "shell/instance_settings.h"
#include "tests/shell/shell_fixture.h"

#include <QCoreApplication>
#include <QProcess>

#include <sys/stat.h>

#include <fstream>

namespace vardell::test {
namespace {

std::string readWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeWhole(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

struct ValueRow {
  const char* name;
  std::string file;
  const char* section;
  const char* key;
  std::optional<std::string> expected;
};

TEST(ProfileText, ReadsValuesAsTheFileHoldsThem) {
  const std::string longValue(3000, 'v');
  const ValueRow rows[] = {
      {"plain", "[Instance0]\ndir1=/data\n", "Instance0", "dir1", "/data"},
      {"section and key ignore case", "[instance0]\nDIR1=/data\n", "Instance0", "dir1", "/data"},
      {"blanks around key and value", "[Instance0]\n  dir1 =  /data  \n", "Instance0", "dir1", "/data"},
      {"quotes taken off", "[Instance0]\ndir1=\"/my data\"\n", "Instance0", "dir1", "/my data"},
      {"empty value is present", "[Instance0]\ndir1=\n", "Instance0", "dir1", ""},
      {"missing key", "[Instance0]\ndir2=/x\n", "Instance0", "dir1", std::nullopt},
      {"key of another section", "[Instance1]\ndir1=/x\n[Instance0]\n", "Instance0", "dir1", std::nullopt},
      {"first of two keys", "[Instance0]\ndir1=/a\ndir1=/b\n", "Instance0", "dir1", "/a"},
      {"comment is no key", "[Instance0]\n;dir1=/a\n", "Instance0", "dir1", std::nullopt},
      {"CR LF endings", "[Instance0]\r\ndir1=/data\r\n", "Instance0", "dir1", "/data"},
      {"no end of last line", "[Instance0]\ndir1=/data", "Instance0", "dir1", "/data"},
      {"cut to 2047 bytes", "[Instance0]\ndir1=" + longValue + "\n", "Instance0", "dir1", longValue.substr(0, 2047)},
  };
  for (const ValueRow& row : rows) {
    EXPECT_EQ(ProfileText(row.file).value(row.section, row.key), row.expected) << row.name;
  }
}

struct SetRow {
  const char* name;
  std::string before;
  const char* section;
  const char* key;
  const char* value;
  std::string after;
};

TEST(ProfileText, WritingKeepsEveryOtherLineByteForByte) {
  const SetRow rows[] = {
      {"new file", "", "Instance0", "dir1", "/a", "[Instance0]\ndir1=/a\n"},
      {"value replaced in place", "; mine\n[Instance0]\ndir1=/old\nTop=5\n", "Instance0", "dir1", "/new",
       "; mine\n[Instance0]\ndir1=/new\nTop=5\n"},
      {"key added after the section's last line", "[Instance0]\ndir1=/a\n\n[Other]\nx=1\n", "Instance0", "dir2",
       "/b", "[Instance0]\ndir1=/a\ndir2=/b\n\n[Other]\nx=1\n"},
      {"section added at the end", "[Other]\r\n  x = 1 ; spaced\r\n", "Instance3", "Top", "7",
       "[Other]\r\n  x = 1 ; spaced\r\n[Instance3]\r\nTop=7\r\n"},
      {"last line without end", "[Instance0]\ndir1=/a", "Instance0", "Top", "1", "[Instance0]\ndir1=/a\nTop=1\n"},
      {"key spelled in another case", "[INSTANCE0]\nDir1=/a\n", "Instance0", "dir1", "/b", "[INSTANCE0]\ndir1=/b\n"},
  };
  for (const SetRow& row : rows) {
    ProfileText text(row.before);
    text.setValue(row.section, row.key, row.value);
    EXPECT_EQ(text.bytes(), row.after) << row.name;
  }
}

struct MalformedRow {
  const char* name;
  std::string bytes;
  bool problem;
};

TEST(ProfileFile, MalformedFilesGiveMissingValuesAndANoteNeverACrash) {
  std::string garbage;
  for (int i = 0; i < 5000; ++i) garbage += char((i * 7919) % 256);
  const MalformedRow rows[] = {
      {"binary garbage", garbage, true},
      {"a 10 MB line", "[Instance0]\ndir1=" + std::string(10 * 1024 * 1024, 'x') + "\n", true},
      {"no sections", "dir1=/a\nTop=3\n", true},
      {"only CR LF lines", "[Instance0]\r\nTop=3\r\n", false},
      {"only LF lines", "[Instance0]\nTop=3\n", false},
      {"too large to read", std::string(kProfileFileLimit + 1, '['), true},
  };
  ScopedFolder folder;
  for (const MalformedRow& row : rows) {
    const std::string file = folder / "KELPO.ini";
    writeWhole(file, row.bytes);
    std::error_code ec;
    std::string problem;
    const auto value = readProfileString(file, "Instance0", "Top", ec, &problem);
    EXPECT_EQ(!problem.empty(), row.problem) << row.name << ": " << problem;
    if (!row.problem) {
      EXPECT_EQ(value, "3") << row.name;
    }
    // A write after it still leaves a file that reads back what was written.
    const auto written = writeProfileString(file, "Instance5", "Top", "9");
    if (row.bytes.size() > kProfileFileLimit) {
      EXPECT_EQ(written, std::errc::file_too_large) << row.name << ": a file it cannot read is never replaced";
      continue;
    }
    EXPECT_FALSE(written) << row.name << ": " << written.message();
    EXPECT_EQ(readProfileString(file, "Instance5", "Top", ec), "9") << row.name;
  }
}

TEST(ProfileFile, WriteReplacesTheFileAndKeepsItsMode) {
  ScopedFolder folder;
  const std::string file = folder / "KELPO.ini";
  writeWhole(file, "; keep me\n[Instance0]\ndir1=/a\n");
  ASSERT_EQ(::chmod(file.c_str(), 0640), 0);
  struct stat before {};
  ASSERT_EQ(::stat(file.c_str(), &before), 0);
  ASSERT_FALSE(writeProfileString(file, "Instance0", "dir1", "/b"));
  struct stat after {};
  ASSERT_EQ(::stat(file.c_str(), &after), 0);
  EXPECT_EQ(after.st_mode & 07777, 0640u);
  EXPECT_NE(after.st_ino, before.st_ino) << "the file was rewritten in place, not replaced";
  EXPECT_EQ(readWhole(file), "; keep me\n[Instance0]\ndir1=/b\n");
  // Nothing but the file and its lock file are left in the folder.
  std::vector<DirEntry> entries;
  auto fs = makePosixFileSystem();
  ASSERT_FALSE(fs->listFolder(folder.path(), entries, ListingDetail::NamesAndKinds));
  std::vector<std::string> names;
  for (const DirEntry& e : entries) names.push_back(e.Name);
  EXPECT_EQ(names, (std::vector<std::string>{".", "..", "KELPO.ini", "KELPO.ini.lock"}));
}

TEST(ProfileFile, WriteIntoAFolderThatCannotHoldFilesFailsAndSaysWhy) {
  ScopedFolder folder;
  folder.writeFile("plain-file", "x");
  EXPECT_TRUE(writeProfileString(folder / "plain-file/KELPO.ini", "Instance0", "dir1", "/a"));
}

TEST(ProfileFile, ValuesWithLineBreaksAreRefusedSoTheFileStaysWhole) {
  ScopedFolder folder;
  const std::string file = folder / "KELPO.ini";
  EXPECT_EQ(writeProfileString(file, "Instance0", "dir1", "/a\n[Instance1]"), std::errc::invalid_argument);
  EXPECT_FALSE(folder.exists("KELPO.ini"));
}

TEST(ProfileFile, TwoProcessesWritingAHundredTimesLoseNoSection) {
  ScopedFolder folder;
  const std::string file = folder / "KELPO.ini";
  writeWhole(file, "; shared\n[Instance9]\ndir1=/kept\n");
  QProcess first, second;
  const QString self = QCoreApplication::applicationFilePath();
  first.start(self, {"--write-profile", QString::fromStdString(file), "Instance0", "100"});
  second.start(self, {"--write-profile", QString::fromStdString(file), "Instance1", "100"});
  // While they write, every read sees a whole file.
  int reads = 0;
  while (first.state() != QProcess::NotRunning || second.state() != QProcess::NotRunning) {
    const ProfileText text(readWhole(file));
    ASSERT_EQ(text.problem(), "");
    ASSERT_EQ(text.value("Instance9", "dir1"), "/kept");
    ++reads;
    first.waitForFinished(1);
    second.waitForFinished(1);
  }
  EXPECT_EQ(first.exitCode(), 0) << first.readAllStandardError().toStdString();
  EXPECT_EQ(second.exitCode(), 0) << second.readAllStandardError().toStdString();
  const ProfileText text(readWhole(file));
  for (const char* key : {"dir1", "dir2", "Top", "Left", "CompareType", "SubFolders", "ProtectC", "CaseSense"}) {
    EXPECT_EQ(text.value("Instance0", key), "Instance0-99") << key;
    EXPECT_EQ(text.value("Instance1", key), "Instance1-99") << key;
  }
  EXPECT_EQ(text.value("Instance9", "dir1"), "/kept");
  EXPECT_GT(reads, 0);
}

struct IntegerRow {
  const char* text;
  std::optional<int> expected;
};

TEST(ProfileInteger, DecimalAndHexadecimalAsTheFileGivesThem) {
  const IntegerRow rows[] = {
      {"12", 12},          {"-5", -5},         {"+7", 7},           {"0x1F", 31},     {"0X10", 16},
      {"$FF", 255},        {"0x", std::nullopt}, {"$", std::nullopt}, {"0xFFFFFFFF", -1}, {"12abc", std::nullopt},
      {"", std::nullopt},  {"x", std::nullopt}, {"99999999999", std::nullopt}, {"0x123456789", std::nullopt},
      {"07", 7},
  };
  for (const IntegerRow& row : rows) EXPECT_EQ(parseProfileInteger(row.text), row.expected) << row.text;
}

}  // namespace
}  // namespace vardell::test
