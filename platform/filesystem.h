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

// A copy made under a temporary name in the target folder, not yet given its name.
struct PreparedCopy {
  std::string temporaryPath;  // the copy's temporary name; empty for an unnamed file
  int unnamedHandle = -1;     // the open unnamed temporary file, or -1
  std::string targetPath;     // the name it gets on commit
  bool isLink = false;
  std::int64_t size = 0;      // the source's size as copied
  std::int64_t mtimeNs = 0;   // the source's last-write time, which the copy carries
};

// An exclusive lock held until the handle is destroyed (or the process ends).
class HeldLock {
 public:
  virtual ~HeldLock() = default;
};

// How much a listing fills in. Names and kinds come from the folder itself and need no
// stat per entry; sizes, times and attributes do.
enum class ListingDetail { NamesAndKinds, Full };

class FileSystem {
 public:
  virtual ~FileSystem() = default;

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

  // The canonical absolute path (links resolved); fails when the path is missing.
  virtual std::error_code realPath(const std::string& path, std::string& resolved) = 0;
  // Takes an exclusive lock on the lock file at path (created if needed) without
  // waiting. Fails with resource_unavailable_try_again when another process holds it.
  virtual std::unique_ptr<HeldLock> tryLock(const std::string& path, std::error_code& ec) = 0;

  // An absolute, lexically normalised form of path ("." and ".." resolved, no trailing "/").
  virtual std::string fullPath(const std::string& path) = 0;

  // Creates one folder (mode 0777 less umask). Fails if it exists or its parent is missing.
  virtual std::error_code createFolder(const std::string& path) = 0;
  // Removes an empty folder.
  virtual std::error_code removeFolder(const std::string& path) = 0;
  // Gives the owner write permission so the file can be replaced or removed. A link is
  // left as it is (its own mode means nothing). Fails when the change is refused.
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
};

// The real file system.
std::unique_ptr<FileSystem> makePosixFileSystem();

// Message text for an error code, as the system words it.
std::string describeError(const std::error_code& ec);

}  // namespace vardell
