// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// The POSIX file-system service: listings, reading, copies and the trash.
#include "platform/filesystem.h"
#include "platform/locale_format.h"
#include "platform/volumes.h"
#include "tests/support/temp_tree.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

using namespace vardell;
using namespace vardell::test;

namespace {

std::vector<std::string> names(const std::vector<DirEntry>& entries) {
  std::vector<std::string> result;
  for (const auto& e : entries) result.push_back(e.Name);
  return result;
}

TEST(Listing, IsSortedFoldedThenBytewiseWithDotEntriesFirst) {
  TempTree tree;
  for (const char* name : {"b", "B", "a.txt", "A.txt", "_x", "Zed", "\xff\xfe", "-dash"}) tree.writeFile(name, "");
  tree.makeFolder("Folder");
  auto fs = makePosixFileSystem();
  std::vector<DirEntry> entries;
  ASSERT_FALSE(fs->listFolder(tree.root(), entries));
  const std::vector<std::string> expected{".", "..", "-dash", "_x", "A.txt", "a.txt", "B", "b", "Folder", "Zed", "\xff\xfe"};
  EXPECT_EQ(names(entries), expected);
  EXPECT_TRUE(entries[8].isFolder());
  EXPECT_EQ(entries[8].Kind, EntryKind::Folder);
}

TEST(Listing, ReportsSizesLinksAndSpecialFilesWithoutFollowingLinks) {
  TempTree tree;
  tree.writeFile("f", "12345");
  tree.makeFolder("d");
  ASSERT_EQ(::symlink("d", tree.path("link").c_str()), 0);
  ASSERT_EQ(::mkfifo(tree.path("pipe").c_str(), 0600), 0);
  ASSERT_EQ(::chmod(tree.path("f").c_str(), 0444), 0);
  auto fs = makePosixFileSystem();
  std::vector<DirEntry> entries;
  ASSERT_FALSE(fs->listFolder(tree.root(), entries));
  ASSERT_EQ(names(entries), (std::vector<std::string>{".", "..", "d", "f", "link", "pipe"}));
  EXPECT_EQ(entries[3].Size, 5);
  EXPECT_EQ(entries[3].Attr & kAttrReadOnly, kAttrReadOnly);
  EXPECT_EQ(entries[4].Kind, EntryKind::Symlink);
  EXPECT_FALSE(entries[4].isFolder());
  EXPECT_EQ(entries[5].Kind, EntryKind::Special);
  EXPECT_TRUE(fs->fileExists(tree.path("link")));
  EXPECT_FALSE(fs->folderExists(tree.path("link")));
}

TEST(Listing, FailsForMissingFoldersAndFiles) {
  TempTree tree;
  tree.writeFile("f", "");
  auto fs = makePosixFileSystem();
  std::vector<DirEntry> entries;
  EXPECT_EQ(fs->listFolder(tree.path("missing"), entries), std::errc::no_such_file_or_directory);
  EXPECT_EQ(fs->listFolder(tree.path("f"), entries), std::errc::not_a_directory);
}

TEST(Listing, LeavesOutTheHousekeepingFoldersOfAVolumeRootOnly) {
  TempTree tree;
  tree.makeFolder("vol");
  if (::mount("vardell-test", tree.path("vol").c_str(), "tmpfs", 0, "size=1m") != 0) GTEST_SKIP() << "cannot mount";
  for (const char* name : {"vol/lost+found", "vol/.Trash", "vol/.Trash-1000", "vol/.Trash-x", "vol/data/lost+found"}) {
    tree.makeFolder(name);
  }
  auto fs = makePosixFileSystem();
  std::vector<DirEntry> root, inner;
  const auto rootError = fs->listFolder(tree.path("vol"), root);
  const auto innerError = fs->listFolder(tree.path("vol/data"), inner);
  ::umount2(tree.path("vol").c_str(), MNT_DETACH);
  ASSERT_FALSE(rootError);
  ASSERT_FALSE(innerError);
  EXPECT_EQ(names(root), (std::vector<std::string>{".", "..", ".Trash-x", "data"}));
  EXPECT_EQ(names(inner), (std::vector<std::string>{".", "..", "lost+found"}));
}

TEST(Listing, NamesEntriesItMayNotLookAt) {
  // A folder others may read but not search: its entries have names and kinds, no stat.
  TempTree tree;
  tree.writeFile("closed/f", "12345");
  tree.makeFolder("closed/sub");
  ASSERT_EQ(::chmod(tree.root().c_str(), 0755), 0);
  ASSERT_EQ(::chmod(tree.path("closed").c_str(), 0744), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(3);
    auto fs = makePosixFileSystem();
    int failures = 0;
    for (const ListingDetail detail : {ListingDetail::Full, ListingDetail::NamesAndKinds}) {
      std::vector<DirEntry> entries;
      const bool listed = !fs->listFolder(tree.path("closed"), entries, detail);
      failures += !listed || names(entries) != std::vector<std::string>{".", "..", "f", "sub"} ||
                  entries[2].Kind != EntryKind::File || !entries[3].isFolder();
    }
    ::_exit(failures);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  if (WEXITSTATUS(status) == 3) GTEST_SKIP() << "cannot take another user's rights";
  EXPECT_EQ(WEXITSTATUS(status), 0) << "listings with a wrong set of entries";
}

TEST(Listing, NamesAndKindsNeedNoStat) {
  TempTree tree;
  tree.writeFile("f", "12345");
  tree.makeFolder("d");
  ASSERT_EQ(::symlink("f", tree.path("l").c_str()), 0);
  auto fs = makePosixFileSystem();
  std::vector<DirEntry> entries;
  ASSERT_FALSE(fs->listFolder(tree.root(), entries, ListingDetail::NamesAndKinds));
  ASSERT_EQ(names(entries), (std::vector<std::string>{".", "..", "d", "f", "l"}));
  EXPECT_TRUE(entries[2].isFolder());
  EXPECT_EQ(entries[3].Kind, EntryKind::File);
  EXPECT_EQ(entries[4].Kind, EntryKind::Symlink);
}

// Everything a reader gives, `piece` bytes asked at a time; the error ends it.
std::string readAll(ReadableFile& file, std::size_t piece, std::error_code& ec) {
  std::string all, buffer(piece, '\0');
  for (;;) {
    std::size_t count = 0;
    ec = file.read(buffer.data(), piece, count);
    all.append(buffer, 0, count);
    if (ec || count < piece) return all;
  }
}

TEST(ReadingAListedFile, GivesTheFileAsItIsNowWhateverTheListingSaid) {
  TempTree tree;
  tree.writeFile("same", "12345");
  tree.writeFile("grown", "1234567890");
  tree.writeFile("shrunk", "12");
  tree.writeFile("empty", "");
  auto fs = makePosixFileSystem();
  const auto readListed = [&](const char* name, std::int64_t listedSize, std::size_t piece) {
    std::error_code ec;
    auto file = fs->openListedFile(tree.path(name), listedSize, ec);
    EXPECT_TRUE(file) << name << ": " << ec.message();
    if (!file) return std::string("(not opened)");
    const std::string all = readAll(*file, piece, ec);
    EXPECT_FALSE(ec) << name << ": " << ec.message();
    return all;
  };
  for (const std::size_t piece : {std::size_t(1) << 16, std::size_t(3)}) {
    EXPECT_EQ(readListed("same", 5, piece), "12345");
    EXPECT_EQ(readListed("grown", 5, piece), "1234567890");
    EXPECT_EQ(readListed("shrunk", 5, piece), "12");
    EXPECT_EQ(readListed("empty", 0, piece), "");
    EXPECT_EQ(readListed("empty", 4, piece), "");
  }
}

TEST(ReadingAListedFile, RefusesWhatTookTheNameWithoutTakingItsData) {
  TempTree tree;
  tree.makeFolder("folder");
  ASSERT_EQ(::mkfifo(tree.path("pipe").c_str(), 0600), 0);
  // The other end holds the pipe open with exactly as many bytes as the listing showed.
  const int otherEnd = ::open(tree.path("pipe").c_str(), O_RDWR | O_NONBLOCK);
  ASSERT_GE(otherEnd, 0);
  ASSERT_EQ(::write(otherEnd, "12345", 5), 5);
  auto fs = makePosixFileSystem();
  for (const char* name : {"folder", "pipe"}) {
    std::error_code ec;
    auto file = fs->openListedFile(tree.path(name), 5, ec);
    std::string read;
    if (file) read = readAll(*file, 1 << 16, ec);
    EXPECT_TRUE(ec) << name;
    EXPECT_EQ(read, "") << name;
  }
  char left[8] = {};
  EXPECT_EQ(::read(otherEnd, left, sizeof left), 5);
  EXPECT_STREQ(left, "12345");
  ::close(otherEnd);
}

TEST(FullPath, ResolvesDotsWithoutTouchingTheDisk) {
  auto fs = makePosixFileSystem();
  EXPECT_EQ(fs->fullPath("/a/./b/../c/"), "/a/c");
  EXPECT_EQ(fs->fullPath("/.."), "/");
}

TEST(ResetAttributes, GivesTheOwnerWritePermission) {
  TempTree tree;
  tree.writeFile("ro", "x");
  ASSERT_EQ(::chmod(tree.path("ro").c_str(), 0444), 0);
  auto fs = makePosixFileSystem();
  EXPECT_FALSE(fs->resetAttributes(tree.path("ro")));
  struct stat st {};
  ASSERT_EQ(::stat(tree.path("ro").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0644u);
  EXPECT_TRUE(fs->resetAttributes(tree.path("missing")));
}

TEST(Volumes, TagsAndTheSystemVolume) {
  EXPECT_EQ(volumeTag("/"), "root");
  EXPECT_EQ(volumeTag("/media/My Disk"), "My_Disk");
  EXPECT_EQ(volumeTag("/run/media/u/KEY-1.2"), "KEY-1.2");
  EXPECT_EQ(systemVolume().mountPoint, "/");
  EXPECT_TRUE(isVolumeRoot("/"));
  EXPECT_FALSE(isVolumeRoot("/usr/bin"));
  bool rootListed = false;
  for (const auto& v : listVolumes()) rootListed = rootListed || (v.mountPoint == "/" && v.ready);
  EXPECT_TRUE(rootListed);
}

}  // namespace

namespace {

TEST(LocaleFormat, NamesAndSeparatorsFollowTheLocale) {
  const vardell::LocaleFormat plain = vardell::localeFormat("C");
  EXPECT_EQ(plain.shortDayNames[0], "Sun");
  EXPECT_EQ(plain.shortMonthNames[11], "Dec");
  EXPECT_EQ(plain.decimalSeparator, ".");
  // Sunday first, as the header counts days; December last; German separators.
  const vardell::LocaleFormat german = vardell::localeFormat("de_DE");
  EXPECT_EQ(german.shortDayNames[0].substr(0, 2), "So");
  EXPECT_EQ(german.shortDayNames[1].substr(0, 2), "Mo");
  EXPECT_EQ(german.shortMonthNames[11].substr(0, 3), "Dez");
  EXPECT_EQ(german.decimalSeparator, ",");
  EXPECT_EQ(german.thousandsSeparator, ".");
}

}  // namespace
