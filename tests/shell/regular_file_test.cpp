// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// Reading a small file of the program's own: only a regular file is read, a link or a pipe
// in its place is refused without waiting, and no more than the limit is ever read.
#include "platform/regular_file.h"
#include "tests/shell/shell_fixture.h"

#include <sys/socket.h>
#include <sys/sysmacros.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <functional>

namespace vardell::test {
namespace {

struct StandInRow {
  const char* name;
  std::function<void(const std::string& path, const ScopedFolder& folder)> plant;
  std::errc expected;
};

TEST(RegularFile, WhatStandsAtTheNameIsRefusedUnlessItIsARegularFile) {
  const StandInRow rows[] = {
      {"nothing", [](const std::string&, const ScopedFolder&) {}, std::errc::no_such_file_or_directory},
      {"a pipe without a writer",
       [](const std::string& path, const ScopedFolder&) { ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0); },
       std::errc::operation_not_supported},
      {"a folder", [](const std::string& path, const ScopedFolder&) { ASSERT_EQ(::mkdir(path.c_str(), 0700), 0); },
       std::errc::is_a_directory},
      {"a link to a regular file",
       [](const std::string& path, const ScopedFolder& folder) {
         folder.writeFile("target", "[Instance0]\ndir1=/elsewhere\n");
         ASSERT_EQ(::symlink((folder / "target").c_str(), path.c_str()), 0);
       },
       std::errc::too_many_symbolic_link_levels},
      {"a link to nothing",
       [](const std::string& path, const ScopedFolder& folder) {
         ASSERT_EQ(::symlink((folder / "missing").c_str(), path.c_str()), 0);
       },
       std::errc::too_many_symbolic_link_levels},
      {"a character device",
       [](const std::string& path, const ScopedFolder&) {
         ASSERT_EQ(::mknod(path.c_str(), S_IFCHR | 0600, makedev(1, 3)), 0) << std::strerror(errno);
       },
       std::errc::operation_not_supported},
      {"a socket",
       [](const std::string& path, const ScopedFolder&) {
         const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
         ASSERT_GE(fd, 0);
         sockaddr_un address{};
         address.sun_family = AF_UNIX;
         std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
         ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0) << std::strerror(errno);
         ::close(fd);  // the socket file stays
       },
       std::errc::operation_not_supported},
  };
  for (const StandInRow& row : rows) {
    ScopedFolder folder;
    const std::string path = folder / "KELPO.ini";
    row.plant(path, folder);
    if (::testing::Test::HasFatalFailure()) return;
    std::string bytes = "left from before";
    EXPECT_EQ(readRegularFile(path, 4096, bytes), std::make_error_code(row.expected)) << row.name;
    EXPECT_EQ(bytes, "") << row.name;
  }
}

TEST(RegularFile, AFileUpToTheLimitIsReadWholeAndALongerOneNotAtAll) {
  ScopedFolder folder;
  const std::string path = folder / "dirs.txt";
  for (const std::size_t size : {std::size_t(0), std::size_t(1), std::size_t(4095), std::size_t(4096)}) {
    const std::string content(size, 'x');
    folder.writeFile("dirs.txt", content);
    std::string bytes;
    EXPECT_FALSE(readRegularFile(path, 4096, bytes)) << size;
    EXPECT_EQ(bytes, content) << size;
  }
  folder.writeFile("dirs.txt", std::string(4097, 'x'));
  std::string bytes;
  EXPECT_EQ(readRegularFile(path, 4096, bytes), std::errc::file_too_large);
  EXPECT_EQ(bytes, "");
}

// A file far larger than any memory is refused from its size: reading it would never end.
TEST(RegularFile, AHugeFileIsRefusedWithoutBeingRead) {
  ScopedFolder folder;
  folder.writeFile("KELPO.ini", "");
  ASSERT_EQ(::truncate((folder / "KELPO.ini").c_str(), off_t(1) << 40), 0) << std::strerror(errno);
  std::string bytes;
  EXPECT_EQ(readRegularFile(folder / "KELPO.ini", 16 * 1024 * 1024, bytes), std::errc::file_too_large);
}

// Files of /proc give their size as 0 and hold more: the read itself stops past the limit.
TEST(RegularFile, AFileLongerThanItsSizeSaysIsCutAtTheLimit) {
  struct stat st {};
  ASSERT_EQ(::stat("/proc/self/status", &st), 0);
  ASSERT_TRUE(S_ISREG(st.st_mode));
  ASSERT_EQ(st.st_size, 0);
  std::string bytes;
  EXPECT_EQ(readRegularFile("/proc/self/status", 16, bytes), std::errc::file_too_large);
  EXPECT_FALSE(readRegularFile("/proc/self/status", 1 << 20, bytes));
  EXPECT_TRUE(bytes.starts_with("Name:")) << bytes;
}

}  // namespace
}  // namespace vardell::test
