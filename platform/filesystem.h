// The file-system service the engine uses: listing, attributes, reading, copying and
// the trash. This is the one virtual seam; tests wrap it to inject faults.
#pragma once

#include "platform/dir_entry.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

namespace vardell {

// A file opened for reading: a regular file's bytes, or a symbolic link's target text.
class ReadableFile {
 public:
  virtual ~ReadableFile() = default;
  // Reads up to `size` bytes, fewer only at the end of the file. Returns the count read
  // (0 at the end) or -1 on a read error.
  virtual std::int64_t read(char* buffer, std::size_t size) = 0;
};

// Identity of a file system object: device and inode.
struct FileIdentity {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  bool folder = false;
  bool operator==(const FileIdentity&) const = default;
};

// A copy made under a temporary name in the target folder, not yet given its name. The
// handles stay open until the copy is committed or discarded.
struct PreparedCopy {
  std::string temporaryName;  // the copy's hidden name in the target folder; empty for an unnamed file
  int unnamedHandle = -1;     // the open unnamed temporary file, or -1
  int folderHandle = -1;      // the target folder, reached without following links, or -1
  std::string targetPath;     // the name it gets on commit, as a full path
  bool isLink = false;
  std::int64_t size = 0;      // the source's size as copied
  std::int64_t mtimeNs = 0;   // the source's last-write time, which the copy carries
};

// An exclusive lock held until the handle is destroyed (or the process ends).
class HeldLock {
 public:
  virtual ~HeldLock() = default;
};

// The folder trees a run works in (see FileSystem::enterTrees).
struct FolderTrees {
  std::vector<std::string> roots;  // full paths without trailing "/"; a root may not exist yet
  std::string hiddenFile;          // a file (full path) no listing shows, such as the run log
};

// Failures that come from keeping operations inside the folder trees.
enum class TreeError {
  LinkInPath = 1,        // a symbolic link stands in a path below a root: it is never followed
  OtherTree,             // a folder below a root is a root itself, reached another way
  NoTrashOutsideTrees,   // every trash folder for the entry lies inside the trees
};
std::error_code make_error_code(TreeError error);

// How much a listing fills in. Names and kinds come from the folder itself and need no
// stat per entry; sizes, times and attributes do.
enum class ListingDetail { NamesAndKinds, Full };

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // Sets the folder trees of a run. Until leaveTrees, every operation on a path at or
  // below a root is resolved beneath that root, which is opened now (a root given through
  // a link is followed, once); no symbolic link is followed in any component below it,
  // also when a folder is swapped for a link meanwhile (TreeError::LinkInPath). A folder
  // below a root whose identity is a root's is never listed (TreeError::OtherTree), no
  // trash folder inside a tree is used, and attribute changes inside a tree change
  // nothing. Fails when a root exists but cannot be opened as a folder.
  virtual std::error_code enterTrees(const FolderTrees& trees) = 0;
  virtual void leaveTrees() = 0;

  // Lists a folder into `entries`, sorted by listingOrderLess, "." and ".." first.
  // Links are not followed. At a volume root the volume's housekeeping folders
  // (.Trash, .Trash-<uid>, lost+found) are left out. With NamesAndKinds only Name, Kind
  // and the folder bit are filled in. Fails when the folder is missing
  // (no_such_file_or_directory / not_a_directory) or cannot be read.
  virtual std::error_code listFolder(const std::string& folder, std::vector<DirEntry>& entries,
                                     ListingDetail detail = ListingDetail::Full) = 0;

  // Reads one entry's metadata without following a link; fails when it is missing.
  virtual std::error_code statEntry(const std::string& path, DirEntry& entry) = 0;

  // True when something that is not a folder (a file, link or special file) is at path.
  virtual bool fileExists(const std::string& path) = 0;
  // True when a real folder (not a link to one) is at path.
  virtual bool folderExists(const std::string& path) = 0;
  // Device and inode of the object at path (links followed); fails when missing.
  virtual std::error_code identify(const std::string& path, FileIdentity& id) = 0;

  // Device and inode of the entry at path itself (a link is not followed).
  virtual std::error_code identifyEntry(const std::string& path, FileIdentity& id) = 0;

  // The canonical absolute path (links resolved); fails when the path is missing.
  virtual std::error_code realPath(const std::string& path, std::string& resolved) = 0;
  // Takes an exclusive lock on the lock file at path (created if needed) without
  // waiting. Fails with resource_unavailable_try_again when another process holds it.
  virtual std::unique_ptr<HeldLock> tryLock(const std::string& path, std::error_code& ec) = 0;

  // Takes an exclusive lock on the folder at path itself, or on the nearest folder above
  // it that exists, without waiting; every process meets it, whatever path or mount it
  // uses. Fails with resource_unavailable_try_again when another process holds it.
  virtual std::unique_ptr<HeldLock> tryLockFolder(const std::string& path, std::error_code& ec) = 0;

  // An absolute, lexically normalised form of path ("." and ".." resolved, no trailing "/").
  virtual std::string fullPath(const std::string& path) = 0;

  // Creates one folder (mode 0777 less umask). Fails if it exists or its parent is missing.
  virtual std::error_code createFolder(const std::string& path) = 0;
  // Removes an empty folder.
  virtual std::error_code removeFolder(const std::string& path) = 0;
  // Gives the owner write permission so the file can be replaced or removed. Inside the
  // folder trees nothing is changed (a rename into the trash or over the name needs no
  // write bit, and a mode change would reach every hard link of the file); it fails only
  // when nothing is at path. A link is left as it is. Fails when the change is refused.
  virtual std::error_code resetAttributes(const std::string& path) = 0;

  // Opens a file for reading without locking it. A link yields its target text;
  // folders, FIFOs, sockets and devices are refused without being opened for data.
  virtual std::unique_ptr<ReadableFile> openForReading(const std::string& path, std::error_code& ec) = 0;

  // Copies source into targetFolder under `name`, as a temporary file in that folder
  // carrying the source's mode and last-write time. A link is copied as a link. On
  // failure (no_space_on_device, io_error, the source vanished...) nothing is left behind.
  virtual std::error_code prepareCopy(const std::string& source, const std::string& targetFolder,
                                      const std::string& name, PreparedCopy& copy) = 0;
  // Gives a prepared copy its target name. Without replaceExisting it fails with
  // file_exists when something has that name, and the prepared copy is kept; on any
  // other failure the temporary file is removed.
  virtual std::error_code commitCopy(const PreparedCopy& copy, bool replaceExisting) = 0;
  // Removes a prepared copy that will not be used.
  virtual void discardCopy(const PreparedCopy& copy) = 0;

  // Moves a file or link to the user's trash (freedesktop.org layout), restorable from
  // a file manager. Never copies across volumes and never deletes instead.
  virtual std::error_code moveToTrash(const std::string& path) = 0;
  // Puts a restorable hard link of the file at path into the trash and leaves the file
  // in place, so that a replacement can then take its name in one step. Fails with
  // TreeError-free system errors; operation_not_permitted, operation_not_supported or
  // too_many_links where the file system refuses hard links.
  virtual std::error_code linkToTrash(const std::string& path) = 0;
};

// The real file system.
std::unique_ptr<FileSystem> makePosixFileSystem();

// Message text for an error code, as the system words it.
std::string describeError(const std::error_code& ec);

}  // namespace vardell

template <>
struct std::is_error_code_enum<vardell::TreeError> : std::true_type {};
