// The POSIX file-system service: listings, reading, copies and the trash.
#include "platform/filesystem.h"
#include "platform/trash_posix.h"
#include "platform/volumes.h"
#include "tests/support/temp_tree.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
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
