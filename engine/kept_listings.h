// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// The master's listings that Compare's folder-size walk made (and the mirror root's, made
// meanwhile), kept for the two passes after it, which list the same folders again: the
// reverse pass reads them, and the forward pass, their last user, takes them. A tree is
// then listed, with a stat per entry, once a side instead of three times in all. Only a
// whole tree is kept, in a compact form (a fixed-size record per entry, every name in one
// buffer) within a budget of bytes; a listing that is not kept is made again as always.
#pragma once

#include "platform/dir_entry.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <unordered_map>
#include <vector>

namespace vardell {

// 64 MB: some 1,000,000 entries of 32 bytes and a name of about 30 bytes each.
inline constexpr std::size_t kKeptBytesBudget = std::size_t(64) << 20;

class KeptListings {
 public:
  // A budget of at most 4 GiB: names are found by 32-bit offsets.
  explicit KeptListings(std::size_t byteBudget = kKeptBytesBudget)
      : budget_(std::min<std::size_t>(byteBudget, std::numeric_limits<std::uint32_t>::max())) {}

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
  // One entry, its name in names_.
  struct Record {
    std::int64_t size;
    std::int64_t mtimeNs;
    std::uint32_t nameAt;
    std::uint32_t time;
    std::uint16_t nameLength;
    std::uint16_t attr;
    std::uint16_t mode;
    EntryKind kind;
  };
  // A folder's listing: its records, in listing order.
  struct Span {
    std::size_t first;
    std::size_t count;
  };
  using Listings = std::unordered_map<std::string, Span>;
  // The folder's kept listing when the whole tree is kept; end() otherwise.
  Listings::iterator served(const std::string& folder);
  // The bytes a listing takes here: its records, its names and its folder's own share.
  static std::size_t bytesOf(const std::string& folder, const std::vector<DirEntry>& entries);
  void expand(const Span& span, std::vector<DirEntry>& entries) const;

  std::string root_;
  bool keeping_ = false;  // the folder-size walk is on, within the budget
  bool whole_ = false;    // every folder of the tree was listed and kept
  std::size_t budget_;
  std::size_t bytes_ = 0;
  std::vector<Record> records_;
  std::string names_;
  Listings listings_;
};

}  // namespace vardell
