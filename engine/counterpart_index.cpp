// The counterpart index: binary search over the sorted listing, plus a small map of
// entries the walk added, so a folder of n entries pairs in O(n log n).
#include "engine/counterpart_index.h"

#include <algorithm>

namespace vardell {

CounterpartIndex::Key CounterpartIndex::keyOf(const std::string& name) {
  std::string folded = name;
  for (char& c : folded) c = foldAsciiLetter(c);
  return {std::move(folded), name};
}

void CounterpartIndex::reset(std::vector<DirEntry> listing) {
  listing_ = std::move(listing);
  firstName_ = 0;
  while (firstName_ < listing_.size() && listing_[firstName_].isDotEntry()) ++firstName_;
  gone_.assign(listing_.size(), false);
  added_.clear();
}

const DirEntry* CounterpartIndex::find(const std::string& name, bool caseSensitive) const {
  const auto begin = listing_.begin() + std::ptrdiff_t(firstName_);
  auto it = std::lower_bound(begin, listing_.end(), name,
                             [](const DirEntry& e, const std::string& n) { return compareFolded(e.Name, n) < 0; });
  const DirEntry* best = nullptr;
  for (; it != listing_.end() && compareFolded(it->Name, name) == 0; ++it) {
    if (gone_[std::size_t(it - listing_.begin())] || (caseSensitive && it->Name != name)) continue;
    best = &*it;
    break;
  }
  const Key key = keyOf(name);
  for (auto a = added_.lower_bound({key.first, std::string()}); a != added_.end() && a->first.first == key.first; ++a) {
    if (caseSensitive && a->second.Name != name) continue;
    if (!best || listingOrderLess(a->second.Name, best->Name)) best = &a->second;
    break;
  }
  return best;
}

void CounterpartIndex::learn(DirEntry entry) {
  forget(entry.Name);
  Key key = keyOf(entry.Name);
  added_.insert_or_assign(std::move(key), std::move(entry));
}

void CounterpartIndex::forget(const std::string& name) {
  const DirEntry* found = find(name, true);
  if (!found) return;
  if (found >= listing_.data() && found < listing_.data() + listing_.size()) {
    gone_[std::size_t(found - listing_.data())] = true;
  } else {
    added_.erase(keyOf(name));
  }
}

}  // namespace vardell
