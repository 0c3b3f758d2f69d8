// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// Pairs the entries of a listed folder with the entries of its counterpart folder, once
// per folder pair, without rescanning the counterpart listing for every entry.
#pragma once

#include "platform/dir_entry.h"

#include <cstddef>
#include <vector>

namespace vardell {

class CounterpartIndex {
 public:
  // Pairs `listed` with `counterpart`, both sorted as the file-system service sorts them
  // ("." and ".." first). An entry pairs with the entry of exactly its name. With letter
  // case not counting, the entries left over then pair by their folded names: the master's
  // entries, in listing order, each take the first free match of their own kind (a folder
  // with a folder, a file or link with a file or link), else the first free match of any
  // kind. No entry has two partners, so what pairs is the same from either side. On a
  // mirror volume that folds letter case (`mirrorFoldsCase`) a mirror entry is the entry
  // of every master name that folds like it, and pairs with the first of them.
  void pair(const std::vector<DirEntry>& listed, std::vector<DirEntry> counterpart, bool listedIsMaster,
            bool caseSensitive, bool mirrorFoldsCase = false);
  // The counterpart folder is new and empty: nothing pairs.
  void clear();

  // The counterpart entry paired with listed[i], or nullptr.
  const DirEntry* partnerOf(std::size_t i) const { return i < partners_.size() ? partners_[i] : nullptr; }

 private:
  // Pairs the entries of one run of folded-equal names: listed[l0, l1) with
  // counterpart_[c0, c1).
  void pairGroup(const std::vector<DirEntry>& listed, std::size_t l0, std::size_t l1, std::size_t c0, std::size_t c1,
                 bool listedIsMaster, bool caseSensitive);

  std::vector<DirEntry> counterpart_;
  std::vector<const DirEntry*> partners_;  // by listed index
};

}  // namespace vardell
