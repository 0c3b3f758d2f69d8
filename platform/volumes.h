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
};

// Volumes a user cares about: "/", /home, /media/..., /run/media/..., /mnt/...
std::vector<Volume> listVolumes();

// The volume a path lives on: the longest mount point containing the path's real
// location (the nearest existing ancestor when the path itself is missing).
Volume volumeOf(const std::string& path);

// The volume mounted at "/".
Volume systemVolume();

// True when path is the mount point of a volume (or "/").
bool isVolumeRoot(const std::string& path);

// The tag of a mount point: its last component, anything outside [A-Za-z0-9._-]
// replaced by '_'; "root" for "/".
std::string volumeTag(const std::string& mountPoint);

}  // namespace vardell
