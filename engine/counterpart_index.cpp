// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// The pairing of two sorted listings: one merge over their runs of folded-equal names, so
// a folder pair of n entries pairs in O(n) (names that differ only in letter case are few).
#include "engine/counterpart_index.h"

namespace vardell {
namespace {

std::size_t firstName(const std::vector<DirEntry>& listing) {
  std::size_t i = 0;
  while (i < listing.size() && listing[i].isDotEntry()) ++i;
  return i;
}

// The end of the run of names folded-equal to listing[from].
std::size_t runEnd(const std::vector<DirEntry>& listing, std::size_t from, const std::string& name) {
  while (from < listing.size() && compareFolded(listing[from].Name, name) == 0) ++from;
  return from;
}

}  // namespace

void CounterpartIndex::clear() {
  counterpart_.clear();
  partners_.assign(partners_.size(), nullptr);
}

void CounterpartIndex::pair(const std::vector<DirEntry>& listed, std::vector<DirEntry> counterpart,
                            bool listedIsMaster, bool caseSensitive, bool mirrorFoldsCase) {
  counterpart_ = std::move(counterpart);
  partners_.assign(listed.size(), nullptr);
  std::size_t c = firstName(counterpart_);
  for (std::size_t l = firstName(listed); l < listed.size();) {
    const std::string& name = listed[l].Name;
    const std::size_t l1 = runEnd(listed, l, name);
    while (c < counterpart_.size() && compareFolded(counterpart_[c].Name, name) < 0) ++c;
    const std::size_t c1 = runEnd(counterpart_, c, name);
    const std::size_t mirrorEntries = listedIsMaster ? c1 - c : l1 - l;
    if (mirrorFoldsCase && mirrorEntries == 1 && c < c1) {
      // The run's one mirror entry and its first master entry: listed[l] and counterpart_[c]
      // are the first of their runs whichever side is the master.
      partners_[l] = &counterpart_[c];
    } else if (l1 - l == 1 && c1 - c == 1) {
      // The common case, one name on each side: they pair when equal, or folded-equal.
      if (!caseSensitive || name == counterpart_[c].Name) partners_[l] = &counterpart_[c];
    } else if (c < c1) {
      pairGroup(listed, l, l1, c, c1, listedIsMaster, caseSensitive);
    }
    l = l1;
    c = c1;
  }
}

void CounterpartIndex::pairGroup(const std::vector<DirEntry>& listed, std::size_t l0, std::size_t l1, std::size_t c0,
                                 std::size_t c1, bool listedIsMaster, bool caseSensitive) {
  std::vector<bool> taken(c1 - c0, false);
  // Equal names first: within a run both listings are in byte order.
  for (std::size_t l = l0, c = c0; l < l1 && c < c1;) {
    const int order = listed[l].Name.compare(counterpart_[c].Name);
    if (order == 0) {
      partners_[l] = &counterpart_[c];
      taken[c - c0] = true;
    }
    l += order <= 0 ? 1 : 0;
    c += order >= 0 ? 1 : 0;
  }
  if (caseSensitive) return;
  // The master's entries left over choose, in its listing order.
  const auto choose = [](const DirEntry& chooser, std::size_t count, auto&& isFree, auto&& entryAt) -> std::size_t {
    std::size_t anyKind = count;
    for (std::size_t k = 0; k < count; ++k) {
      if (!isFree(k)) continue;
      if (entryAt(k).isFolder() == chooser.isFolder()) return k;
      if (anyKind == count) anyKind = k;
    }
    return anyKind;
  };
  if (listedIsMaster) {
    for (std::size_t l = l0; l < l1; ++l) {
      if (partners_[l]) continue;
      const std::size_t k = choose(
          listed[l], c1 - c0, [&](std::size_t i) { return !taken[i]; },
          [&](std::size_t i) -> const DirEntry& { return counterpart_[c0 + i]; });
      if (k == c1 - c0) break;
      partners_[l] = &counterpart_[c0 + k];
      taken[k] = true;
    }
    return;
  }
  for (std::size_t c = c0; c < c1; ++c) {
    if (taken[c - c0]) continue;
    const std::size_t k = choose(
        counterpart_[c], l1 - l0, [&](std::size_t i) { return !partners_[l0 + i]; },
        [&](std::size_t i) -> const DirEntry& { return listed[l0 + i]; });
    if (k == l1 - l0) break;
    partners_[l0 + k] = &counterpart_[c];
    taken[c - c0] = true;
  }
}

}  // namespace vardell
