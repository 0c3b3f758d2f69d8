// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// Mounted volumes: the list a drive chooser shows, the volume a path lives on, its tag.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vardell {

struct Volume {
  std::string mountPoint;  // "/", "/home", "/media/usb" ...
  std::string tag;         // used where a drive letter would be: log names, root names
  std::string fsType;
  std::uint64_t device = 0;
  bool ready = false;      // mounted and readable
  std::string fileSystem;  // the mounted file system's device number ("8:1"), whatever mount shows it
  std::string source;      // the folder of that file system mounted here ("/" unless a bind mount)
  std::uint64_t mountId = 0;  // the system's number for this mount
};

// Where a path lies within its file system, whatever mount reaches it.
struct FileSystemLocation {
  std::string fileSystem;  // the file system's device number, as in Volume::fileSystem
  std::string path;        // the path below the file system's own root
};

// Volumes a user cares about: "/", /home, /media/..., /run/media/..., /mnt/...
std::vector<Volume> listVolumes();

// The volume a path lives on: the longest mount point containing the path's real
// location (the nearest existing ancestor when the path itself is missing).
Volume volumeOf(const std::string& path);

// The volume mounted at "/".
Volume systemVolume();

// True when the folder at path (or the nearest existing folder above it) lies on the
// file system mounted at "/", whatever path, link or bind mount reaches it.
bool isOnSystemVolume(const std::string& path);

// The location of `realPath` (links already resolved; its tail may not exist yet) in its
// file system. Two paths on the same file system nest exactly when one location's path
// holds the other's, also when a bind mount shows a folder in a second place.
FileSystemLocation locationInFileSystem(const std::string& realPath);

// Every mount, unfiltered, in the order the system lists them (`ready` and `device` are
// not filled in).
std::vector<Volume> mountTable();

// The location of `realPath` when it lies below `mount` (a mount table entry).
FileSystemLocation locationBelowMount(const Volume& mount, const std::string& realPath);

// True when `inner` is `outer` or lies below it within the same file system.
bool locationWithin(const FileSystemLocation& inner, const FileSystemLocation& outer);

// True when path is the mount point of a volume (or "/").
bool isVolumeRoot(const std::string& path);

// The tag of a mount point: its last component, anything outside [A-Za-z0-9._-]
// replaced by '_'; "root" for "/".
std::string volumeTag(const std::string& mountPoint);

}  // namespace vardell
