// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// The floor a content compare is measured against: every file of the given trees read
// once, by one thread through a 1 MiB buffer (one open, reads to the end, one close).
//   read_floor FOLDER...
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::vector<char> buffer(1 << 20);
long long files = 0, bytes = 0;

void readTree(const std::string& folder) {
  DIR* dir = opendir(folder.c_str());
  if (!dir) return;
  while (const dirent* e = readdir(dir)) {
    const std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    const std::string path = folder + "/" + name;
    if (e->d_type == DT_DIR) {
      readTree(path);
    } else if (e->d_type == DT_REG) {
      const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW);
      if (fd < 0) continue;
      for (ssize_t n; (n = read(fd, buffer.data(), buffer.size())) > 0;) bytes += n;
      close(fd);
      ++files;
    }
  }
  closedir(dir);
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) readTree(argv[i]);
  std::fprintf(stderr, "%lld files, %lld bytes\n", files, bytes);
}
