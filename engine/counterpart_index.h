// Pairs entries of a listed folder with the counterpart folder's entries without
// rescanning the counterpart listing for every entry.
#pragma once

#include "platform/dir_entry.h"

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace vardell {

class CounterpartIndex {
 public:
  // Takes a listing sorted as the file-system service sorts it ("." and ".." first).
  void reset(std::vector<DirEntry> listing);

  // The partner of `name`: the first entry in listing order whose name equals it, with
  // A-Z folded unless caseSensitive. nullptr when there is none.
  const DirEntry* find(const std::string& name, bool caseSensitive) const;

  // Records an entry the walk itself added to the counterpart folder.
  void learn(DirEntry entry);
  // Records that the entry called `name` is gone from the counterpart folder.
  void forget(const std::string& name);

 private:
  using Key = std::pair<std::string, std::string>;  // folded name, name: listing order
  static Key keyOf(const std::string& name);

  std::vector<DirEntry> listing_;
  std::size_t firstName_ = 0;   // index of the first entry after "." and ".."
  std::vector<bool> gone_;      // entries of listing_ that were removed since
  std::map<Key, DirEntry> added_;
};

}  // namespace vardell
