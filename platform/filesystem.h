// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// The file-system service the engine uses: listing, attributes, reading, copying and
// the trash. This is the one virtual seam; tests wrap it to inject faults.
#pragma once

#include "platform/dir_entry.h"
#include "platform/volumes.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace vardell {

// A file opened for reading: a regular file's bytes, or a symbolic link's target text.
class ReadableFile {
 public:
  virtual ~ReadableFile() = default;
  // Reads up to `size` bytes, fewer only at the end of the file; `count` gets how many
  // (0 at the end). Fails with the read's error (io_error...), `count` then holding what
  // was read before it.
  virtual std::error_code read(char* buffer, std::size_t size, std::size_t& count) = 0;
};

// A file of the program's own (the run log) opened for writing, emptied first.
class WritableFile {
 public:
  virtual ~WritableFile() = default;  // closes the file, a failure unseen: call close()
  // Appends data; the bytes may wait in a buffer until close().
  virtual std::error_code write(std::string_view data) = 0;
  // Writes what waits and closes the file; the first error met (a full disk).
  virtual std::error_code close() = 0;
};

// Identity of a file system object: device and inode.
struct FileIdentity {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  bool folder = false;
  bool operator==(const FileIdentity&) const = default;
};

// What a copy carries over from its source, as the source was when the copy started.
struct CopySource {
  bool isLink = false;
  std::int64_t size = 0;     // bytes; a link's size is the length of its target text
  std::int64_t mtimeNs = 0;  // the last-write time, which the copy carries
};

// How an entry goes into the trash.
enum class TrashAction {
  Move,  // the entry leaves its folder for the trash
  Link,  // the trash gets a hard link and the entry stays, to be replaced in one step
};

// How many bytes a copy writes between two looks at the window (progress, Abort).
inline constexpr std::int64_t kCopyPieceSize = 4 << 20;

// A copy being written as a temporary file in the target folder. Destroying it removes
// the temporary file unless the copy was committed, so an abandoned copy leaves nothing.
class FileCopy {
 public:
  virtual ~FileCopy() = default;
  virtual const CopySource& source() const = 0;
  virtual const std::string& targetPath() const = 0;  // the name it gets on commit
  virtual std::int64_t bytesCopied() const = 0;
  // Copies the next piece (at most kCopyPieceSize bytes). `finished` becomes true once
  // every byte is there and the copy carries the source's mode and last-write time.
  // Fails with no_space_on_device, io_error... and the temporary file is then removed.
  virtual std::error_code copyPiece(bool& finished) = 0;
  // Puts the entry that has the copy's name into the trash, reached through the folder the
  // copy is written in (so a folder renamed meanwhile cannot part the two): as a hard link
  // that leaves it in place to be replaced by commit (TrashAction::Link), or moved away
  // (TrashAction::Move) where the file system has neither hard links nor
  // exchangeWithExisting, so the name is free for commit. A link the volume refuses fails
  // with operation_not_supported whatever error the volume gave (EPERM, EIO, ENOSYS...), and
  // is not tried on that volume again during the run; a file at its link limit fails with
  // too_many_links; a vanished entry with no_such_file_or_directory.
  virtual std::error_code trashExisting(TrashAction action) = 0;
  // Where the trash cannot get a hard link (operation_not_permitted, operation_not_supported,
  // too_many_links: FAT, or another user's file under fs.protected_hardlinks): the finished
  // copy and the entry that has its name trade names in one step, so the name holds the old
  // entry or the complete copy at every instant and nothing is overwritten. The old entry
  // then has the copy's hidden temporary name (an unnamed copy gets one first) until
  // trashDisplaced moves it on. This is the copy's commit, with commit's refusal of a
  // folder moved meanwhile (TreeError::FolderMoved) and its read-back (committed()); where
  // nothing has the name any more, the copy simply takes it. Fails with
  // operation_not_supported where the file system cannot trade names (exFAT, FAT before
  // Linux 6.0, some network file systems), the copy then uncommitted and the old entry
  // untouched; with is_a_directory when a folder took the name meanwhile (it is put back).
  virtual std::error_code exchangeWithExisting() = 0;
  // After exchangeWithExisting: moves the old entry from the temporary name into the trash,
  // recorded under the copy's name. Where the trash refuses it (its error is returned), the
  // old entry takes its name back from the copy, which is removed; where even that cannot
  // be done, the old entry stays under its temporary name and keptPath() gives it. A copy
  // destroyed before this puts the old entry back the same way. Succeeds at once when
  // nothing was displaced.
  virtual std::error_code trashDisplaced() = 0;
  // The full path an old entry was left under because it could go neither to the trash
  // nor back to its name; empty otherwise.
  virtual std::string keptPath() const = 0;
  // True when something other than a folder has the copy's name in the folder the copy
  // is written in.
  virtual bool targetExists() const = 0;
  // Gives the finished copy its name in one step. Without replaceExisting it fails with
  // file_exists when something has that name, and the copy may be committed again;
  // replacing after a hard link into the trash, the name holds the old entry or the
  // complete copy at every instant (after a move into the trash it was free for a moment),
  // and an entry that took the name after trashExisting goes to the trash as well; nothing is
  // ever replaced that trashExisting did not put into the trash first (file_exists). On
  // any other failure the temporary file is removed.
  virtual std::error_code commit(bool replaceExisting) = 0;
  // After a commit: what now has the copy's name, read from the copy itself (its size
  // and last-write time as the file system keeps them), or nullptr before a commit.
  virtual const CopySource* committed() const = 0;
};

// An exclusive lock held until the handle is destroyed (or the process ends).
class HeldLock {
 public:
  virtual ~HeldLock() = default;
};

// The folder trees a run works in (see FileSystem::enterTrees).
struct FolderTrees {
  std::vector<std::string> roots;  // full paths without trailing "/"; a root may not exist yet
  // The root the run creates inside a folder the user named (a mirror folder named after
  // the master): an entry of that name that is a link is never followed.
  std::string createdRoot;
};

// Failures that come from keeping operations inside the folder trees.
enum class TreeError {
  LinkInPath = 1,        // a symbolic link stands in a path below a root: it is never followed
  OtherTree,             // a folder below a root is a root itself, reached another way
  NoTrashOutsideTrees,   // every trash folder for the entry lies inside the trees
  FolderMoved,           // the folder a copy was written in was moved away meanwhile
  RootIsLink,            // a link stands where the run would create its folder
  OwnFolderInsideTrees,  // a folder for the program's own files lies inside the master or mirror
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
  // nothing. Fails when a root exists but cannot be opened as a folder, is not a full
  // path (invalid_argument), or is the created root and a link (TreeError::RootIsLink).
  // From then on each root is the folder opened now: stat, identity, real path, volume
  // and lock of a root path read its handle, never the path again (a root still to be
  // made: the folder it will be made in, opened now).
  virtual std::error_code enterTrees(const FolderTrees& trees) = 0;
  virtual void leaveTrees() = 0;
  // With trees entered: true when the root `inner` is the root `outer` or lies below it,
  // told from the folders opened by enterTrees (walking up from inner, and by their
  // places within the file system, so links, renames and bind mounts cannot hide it).
  virtual bool treeLiesWithin(const std::string& inner, const std::string& outer) = 0;
  // With trees entered: the folders below the root that are mount points now (another
  // volume mounted inside the tree), as paths below the root's path.
  virtual std::vector<std::string> mountPointsBelow(const std::string& root) = 0;

  // Lists a folder into `entries`, sorted by listingOrderLess, "." and ".." first.
  // Links are not followed. At a volume root the volume's housekeeping folders
  // (.Trash, .Trash-<uid>, lost+found) are left out. With NamesAndKinds only Name, Kind
  // and the folder bit are filled in; so is an entry that cannot be looked at (its folder
  // has no search permission), a special file when even its kind is unknown. Entries that
  // vanish while the folder is listed are left out. Fails when the folder is missing
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
  // Takes an exclusive lock on the folder at path itself, or on the nearest folder above
  // it that exists, without waiting; every process meets it, whatever path or mount it
  // uses. For an entered root: on the folder opened by enterTrees, or on the folder it
  // will be made in (the root is then locked from the moment the run makes it). Fails
  // with resource_unavailable_try_again when another process holds it.
  virtual std::unique_ptr<HeldLock> tryLockFolder(const std::string& path, std::error_code& ec) = 0;

  // An absolute, lexically normalised form of path ("." and ".." resolved, no trailing "/").
  virtual std::string fullPath(const std::string& path) = 0;

  // Creates one folder (mode 0777 less umask); a folder already there counts as created.
  // Fails when something else has the name (file_exists) or the parent is missing. A
  // root missing when the trees were entered is made in the folder opened then, never
  // exists unlocked, and a link in its place is never followed.
  virtual std::error_code createFolder(const std::string& path) = 0;
  // Gives the folder at path this last-write time and these permission bits (07777), as
  // far as its file system keeps them; a link is never followed.
  virtual std::error_code setFolderTimeAndMode(const std::string& path, std::int64_t mtimeNs, std::uint32_t mode) = 0;
  // Gives the regular file or link at path this last-write time in place; `keptNs` gets the
  // time its file system kept. Refused (operation_not_permitted) for an entry with another
  // name, which would get the time too; a link is never followed.
  virtual std::error_code setFileTime(const std::string& path, std::int64_t mtimeNs, std::int64_t& keptNs) = 0;
  // With trees entered: flushes to its device the file system of the root at `root`, and
  // of each trash the run used when it lies on another one: one flush per file system.
  virtual std::error_code flushWrites(const std::string& root) = 0;
  // With trees entered: true when the file system of the root at `root` folds letter case
  // (a name made there is found under another case), told by making and removing one
  // hidden file; false when it cannot be told.
  virtual bool foldsLetterCase(const std::string& root) = 0;
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
  // Opens, as openForReading does, a file that a listing has just shown as a regular file
  // of listedSize bytes; the file system may then spare asking the file's size again. The
  // bytes read are the file's as it is, whatever the listing said.
  virtual std::unique_ptr<ReadableFile> openListedFile(const std::string& path, std::int64_t listedSize,
                                                       std::error_code& ec) {
    (void)listedSize;
    return openForReading(path, ec);
  }
  // True when listFolder and openForReading, and reading the files it opens, may run on a
  // second thread while this thread goes on with other calls (never with enterTrees or
  // leaveTrees).
  virtual bool readsFromAnotherThread() const { return false; }

  // Opens the program's own file `name` for writing, emptied, in the first of `folders`
  // that can hold it: each folder is made when missing (mode 0700; its last component is
  // never a link and must be the user's) and used only when it lies outside every entered
  // tree, told by identity, never by its path. A link or a file sharing its content with
  // another name in the file's place is replaced, never written through; a read-only file
  // of ours is made writable. `path` receives the file's full path. Fails with
  // TreeError::OwnFolderInsideTrees when every folder lies inside the trees, else with the
  // error of the first folder that failed otherwise, `path` then naming the file there.
  virtual std::unique_ptr<WritableFile> openOwnFile(const std::vector<std::string>& folders, const std::string& name,
                                                    std::string& path, std::error_code& ec) = 0;

  // Starts a copy of source into targetFolder under `name`, as a temporary file in that
  // folder; a link is copied as a link, whole. Fails when the source is missing, is a
  // folder (is_a_directory) or a special file (operation_not_supported), or the temporary
  // file cannot be made; nothing is left behind then.
  virtual std::unique_ptr<FileCopy> startCopy(const std::string& source, const std::string& targetFolder,
                                              const std::string& name, std::error_code& ec) = 0;

  // Moves a file or link to the user's trash (freedesktop.org layout), restorable from
  // a file manager. Never copies across volumes and never deletes instead.
  virtual std::error_code moveToTrash(const std::string& path) = 0;


  // The volumes the paths lie on (see volumes.h), asked here so tests can say otherwise.
  virtual Volume volumeOf(const std::string& path) = 0;
  virtual bool isVolumeRoot(const std::string& path) = 0;
  virtual bool isOnSystemVolume(const std::string& path) = 0;
};

struct PosixOptions {
  // Copies are written as unnamed temporary files where the file system allows; false
  // writes them under hidden names, as on file systems without unnamed files.
  bool unnamedTemporaryFiles = true;
};

// The real file system.
std::unique_ptr<FileSystem> makePosixFileSystem(const PosixOptions& options = {});

// Message text for an error code, as the system words it.
std::string describeError(const std::error_code& ec);

}  // namespace vardell

template <>
struct std::is_error_code_enum<vardell::TreeError> : std::true_type {};
