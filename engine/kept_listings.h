// The master's listings that Compare's folder-size walk made (and the mirror root's, made
// meanwhile), kept for the two passes after it, which list the same folders again: the
// reverse pass reads them, and the forward pass, their last user, takes them. A tree of
// one large folder is then listed, with a stat per entry, once a side instead of three
// times in all. Only a whole tree is kept, and only up to a budget of entries; a listing
// that is not kept is made again as always.
#pragma once

#include "platform/dir_entry.h"

#include <cstddef>
#include <string>
#include <unordered_map>
#include <vector>

namespace vardell {

// About 80 bytes an entry: some 16 MB for a tree of this many entries.
inline constexpr std::size_t kKeptEntriesBudget = 200'000;

class KeptListings {
 public:
  explicit KeptListings(std::size_t entryBudget = kKeptEntriesBudget) : budget_(entryBudget) {}

  // Starts keeping the listings of the tree at `root`, forgetting any kept before.
  void startTree(const std::string& root);
  // Keeps a folder's listing (of the tree, or another folder the passes will list), unless
  // the listings outgrow the budget: then nothing is kept.
  void keep(const std::string& folder, std::vector<DirEntry>&& entries);
  // Ends keeping; what was kept stays only when every folder of the tree was listed.
  void finishTree(bool wholeTree);
  // Forgets everything kept.
  void clear();

  // True when the tree's listings are kept and `folder` lies in it: the walk will find
  // every listing of it here that the folder-size walk could make.
  bool holds(const std::string& folder) const;
  // A copy of a kept listing into `entries`; false when the folder's is not kept.
  bool copyTo(const std::string& folder, std::vector<DirEntry>& entries);
  // Moves a kept listing into `entries`, which is then kept no more.
  bool moveTo(const std::string& folder, std::vector<DirEntry>& entries);

 private:
  using Listings = std::unordered_map<std::string, std::vector<DirEntry>>;
  // The folder's kept listing when the whole tree is kept; end() otherwise.
  Listings::iterator served(const std::string& folder);

  std::string root_;
  bool keeping_ = false;  // the folder-size walk is on, within the budget
  bool whole_ = false;    // every folder of the tree was listed and kept
  std::size_t budget_;
  std::size_t entries_ = 0;
  Listings listings_;
};

}  // namespace vardell
