// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// The settings file's reader and writer on real files: values, kept lines, malformed
// files, atomic writes, two writers at once, a held lock, and things that are no regular
// file in the file's place.
#include "platform/profile_file.h"
#include "shell/instance_settings.h"
#include "tests/shell/shell_fixture.h"

#include <QCoreApplication>
#include <QProcess>

#include <sys/stat.h>

#include <filesystem>
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

// True when process pid has the file at path open.
bool holdsOpen(qint64 pid, const std::string& path) {
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ec)) {
    std::error_code gone;  // a descriptor closed while listed
    if (std::filesystem::read_symlink(entry.path(), gone) == path) return true;
  }
  return false;
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
  ProfileText text("[Instance0]\ndir1=/a\n");
  EXPECT_EQ(text.setValue("Instance0", "dir2", std::string("/b\0c", 4)), std::errc::invalid_argument);
  EXPECT_EQ(text.setValue("Instance0]", "dir2", "/b"), std::errc::invalid_argument);
  EXPECT_EQ(text.setValue("Instance0", "dir=2", "/b"), std::errc::invalid_argument);
  EXPECT_EQ(text.bytes(), "[Instance0]\ndir1=/a\n") << "a refused value changes nothing";
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

struct NotAFileRow {
  const char* name;
  const char* planted;  // "KELPO.ini" or "KELPO.ini.lock"
  const char* kind;     // "pipe", "link" or "folder"
  std::errc read;       // what a read gives (a planted lock file leaves reads alone)
  std::errc write;
};

// Something other than a regular file where the settings file or its lock file belongs is
// neither read, followed nor replaced: a pipe would hang a start that opened it, a link
// would lead writes elsewhere.
TEST(ProfileFile, APipeLinkOrFolderInPlaceOfTheFileIsNeitherReadNorReplaced) {
  const NotAFileRow rows[] = {
      {"pipe as settings file", "KELPO.ini", "pipe", std::errc::operation_not_supported,
       std::errc::operation_not_supported},
      {"link as settings file", "KELPO.ini", "link", std::errc::too_many_symbolic_link_levels,
       std::errc::too_many_symbolic_link_levels},
      {"folder as settings file", "KELPO.ini", "folder", std::errc::is_a_directory, std::errc::is_a_directory},
      {"pipe as lock file", "KELPO.ini.lock", "pipe", std::errc(), std::errc::operation_not_supported},
      {"link as lock file", "KELPO.ini.lock", "link", std::errc(), std::errc::too_many_symbolic_link_levels},
  };
  for (const NotAFileRow& row : rows) {
    ScopedFolder folder;
    folder.writeFile("elsewhere/target", "[Instance0]\ndir1=/elsewhere\n");
    const std::string planted = folder / row.planted;
    if (std::string(row.kind) == "pipe") {
      ASSERT_EQ(::mkfifo(planted.c_str(), 0600), 0);
    } else if (std::string(row.kind) == "link") {
      ASSERT_EQ(::symlink((folder / "elsewhere/target").c_str(), planted.c_str()), 0);
    } else {
      folder.makeFolder(row.planted);
    }
    const std::vector<std::string> before = folder.snapshot();
    const std::string file = folder / "KELPO.ini";
    std::error_code ec;
    std::string problem;
    EXPECT_EQ(readProfileString(file, "Instance0", "dir1", ec, &problem), std::nullopt) << row.name;
    EXPECT_EQ(ec, row.read) << row.name << ": " << ec.message();
    const std::error_code written = writeProfileString(file, "Instance0", "dir1", "/new");
    EXPECT_EQ(written, row.write) << row.name << ": " << written.message();
    EXPECT_EQ(folder.snapshot(), before) << row.name << ": something was made, replaced or written";
  }
}

TEST(ProfileFile, AWriteWithoutTheFilesLockIsRefused) {
  ScopedFolder folder;
  const std::string file = folder / "KELPO.ini";
  ProfileText text("[Instance0]\ndir1=/a\n");
  EXPECT_EQ(writeProfileText(file, text, ProfileLock()), std::errc::invalid_argument);
  std::error_code ec;
  const ProfileLock other = lockProfileFile(folder / "other.ini", ec);
  ASSERT_FALSE(ec) << ec.message();
  EXPECT_EQ(writeProfileText(file, text, other), std::errc::invalid_argument);
  EXPECT_FALSE(folder.exists("KELPO.ini"));
}

// The lock of a change that spans reads and writes shuts out every other writer until it
// is let go: a writer in another process waits for it, and then finds the change whole.
TEST(ProfileFile, AHeldLockKeepsOtherWritersOutUntilItIsLetGo) {
  ScopedFolder folder;
  const std::string file = folder / "KELPO.ini";
  std::error_code ec;
  ProfileLock lock = lockProfileFile(file, ec, LockFileCreation::OnlyWhenPresent);
  EXPECT_EQ(ec, std::errc::no_such_file_or_directory);
  EXPECT_FALSE(lock.held());
  EXPECT_FALSE(folder.exists("KELPO.ini.lock")) << "a lock that may make nothing made its file";

  lock = lockProfileFile(file, ec);
  ASSERT_TRUE(lock.held()) << ec.message();
  QProcess writer;
  writer.start(QCoreApplication::applicationFilePath(),
               {"--write-profile", QString::fromStdString(file), "Instance1", "1"});
  ASSERT_TRUE(writer.waitForStarted());
  // Once the writer has the lock file open it is asking for the lock.
  while (!holdsOpen(writer.processId(), file + ".lock")) {
    ASSERT_FALSE(writer.waitForFinished(1)) << "the writer ended without waiting for the lock";
  }
  ProfileText text;
  ASSERT_FALSE(readProfileText(file, text));
  ASSERT_FALSE(text.setValue("Instance0", "dir1", "/held"));
  ASSERT_FALSE(writeProfileText(file, text, lock));
  // The writer cannot have written while the lock was held: the file is this change alone.
  EXPECT_EQ(readWhole(file), "[Instance0]\ndir1=/held\n");
  lock = ProfileLock();
  ASSERT_TRUE(writer.waitForFinished(10000));
  EXPECT_EQ(writer.exitCode(), 0) << writer.readAllStandardError().toStdString();
  const ProfileText after(readWhole(file));
  EXPECT_EQ(after.value("Instance0", "dir1"), "/held");
  EXPECT_EQ(after.value("Instance1", "dir1"), "Instance1-0");
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
