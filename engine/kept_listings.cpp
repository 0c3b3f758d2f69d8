// Listings kept from one walk of the master for the walks after it.
#include "engine/kept_listings.h"

#include "platform/path_text.h"

namespace vardell {

void KeptListings::startTree(const std::string& root) {
  clear();
  root_ = root;
  keeping_ = true;
}

void KeptListings::keep(const std::string& folder, std::vector<DirEntry>&& entries) {
  if (!keeping_) return;
  entries_ += entries.size();
  if (entries_ > budget_) {
    clear();  // a tree this large is listed again, as it always was
    return;
  }
  listings_.insert_or_assign(folder, std::move(entries));
}

void KeptListings::finishTree(bool wholeTree) {
  const bool kept = keeping_ && wholeTree;
  keeping_ = false;
  if (!kept) clear();
  whole_ = kept;
}

void KeptListings::clear() {
  listings_.clear();
  entries_ = 0;
  keeping_ = whole_ = false;
}

bool KeptListings::holds(const std::string& folder) const {
  return whole_ && (folder == root_ || isBelow(folder, root_));
}

KeptListings::Listings::iterator KeptListings::served(const std::string& folder) {
  return whole_ ? listings_.find(folder) : listings_.end();
}

bool KeptListings::copyTo(const std::string& folder, std::vector<DirEntry>& entries) {
  const auto kept = served(folder);
  if (kept == listings_.end()) return false;
  entries = kept->second;
  return true;
}

bool KeptListings::moveTo(const std::string& folder, std::vector<DirEntry>& entries) {
  const auto kept = served(folder);
  if (kept == listings_.end()) return false;
  entries = std::move(kept->second);
  listings_.erase(kept);
  return true;
}

}  // namespace vardell
