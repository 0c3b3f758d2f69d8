// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// A small volume of a foreign file system (exFAT, FAT32, NTFS), made in an image file and
// mounted through its FUSE driver for the time of a test, as a USB drive a user backs up to;
// or a local folder served as cloud storage by `rclone mount`.
#pragma once

#include <string>
#include <sys/types.h>

namespace vardell::test {

enum class VolumeKind {
  ExFat,
  Fat32,
  Ntfs,
  Rclone,  // a folder standing for the cloud, mounted by rclone with the cache users need for writes
};

// "exFAT", "FAT32", "NTFS" or "rclone".
const char* volumeKindName(VolumeKind kind);

class FuseVolume {
 public:
  // What this machine lacks to make and mount a volume of `kind` ("/dev/fuse", "the program
  // mkfs.exfat", ...); empty when nothing is missing.
  static std::string missingRequirement(VolumeKind kind);

  // Makes a 64 MiB image file `image` holding an empty volume of `kind` and mounts it at
  // `where` (made if missing); for rclone `image` is the folder standing for the cloud
  // (made empty), with rclone's cache and configuration beside it. mounted() tells whether
  // it worked and failure() why not.
  FuseVolume(VolumeKind kind, std::string image, std::string where);
  // Unmounts, waits for the driver to end and frees the loop device; a cleanup that fails
  // fails the test.
  ~FuseVolume();
  FuseVolume(const FuseVolume&) = delete;
  FuseVolume& operator=(const FuseVolume&) = delete;

  bool mounted() const { return driver_ > 0; }
  // The last failure of making, mounting or unmounting, with the tool's own message.
  const std::string& failure() const { return failure_; }
  const std::string& root() const { return where_; }

  // Unmounts and waits until the driver has ended, so that everything written is in the
  // image and the mount point is an empty local folder again. False (see failure()) when the
  // volume stays mounted.
  bool unmount();
  // Mounts the image again at the same place. False (see failure()) when it fails.
  bool mount();

 private:
  bool fail(std::string why);
  bool detachLoopDevice();

  VolumeKind kind_;
  std::string image_;
  std::string where_;
  std::string loopDevice_;  // the exFAT driver wants a block device; empty when none is attached
  pid_t driver_ = -1;       // the driver running in the foreground; -1 when not mounted
  std::string failure_;
};

}  // namespace vardell::test
