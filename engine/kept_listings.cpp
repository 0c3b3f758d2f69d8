// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// Listings kept from one walk of the master for the walks after it.
#include "engine/kept_listings.h"

#include "platform/path_text.h"

namespace vardell {

void KeptListings::startTree(const std::string& root) {
  clear();
  root_ = root;
  keeping_ = true;
}

std::size_t KeptListings::bytesOf(const std::string& folder, const std::vector<DirEntry>& entries) {
  // A folder's own share: its path and the table's node for it.
  std::size_t bytes = folder.size() + sizeof(Listings::value_type) + 2 * sizeof(void*);
  for (const DirEntry& entry : entries) bytes += sizeof(Record) + entry.Name.size();
  return bytes;
}

void KeptListings::keep(const std::string& folder, std::vector<DirEntry>&& entries) {
  if (!keeping_) return;
  bytes_ += bytesOf(folder, entries);
  if (bytes_ > budget_) {
    clear();  // a tree this large is listed again, as it always was
    return;
  }
  listings_.insert_or_assign(folder, Span{records_.size(), entries.size()});  // a folder listed again: the latest
  for (const DirEntry& entry : entries) {
    records_.push_back({entry.Size, entry.MtimeNs, std::uint32_t(names_.size()), entry.Time,
                        std::uint16_t(entry.Name.size()), std::uint16_t(entry.Attr), std::uint16_t(entry.Mode),
                        entry.Kind});
    names_ += entry.Name;
  }
}

void KeptListings::finishTree(bool wholeTree) {
  const bool kept = keeping_ && wholeTree;
  keeping_ = false;
  if (!kept) clear();
  whole_ = kept;
}

void KeptListings::clear() {
  listings_ = {};
  records_ = {};  // the memory itself goes, not only the entries
  names_ = {};
  bytes_ = 0;
  keeping_ = whole_ = false;
}

bool KeptListings::holds(const std::string& folder) const {
  return whole_ && (folder == root_ || isBelow(folder, root_));
}

KeptListings::Listings::iterator KeptListings::served(const std::string& folder) {
  return whole_ ? listings_.find(folder) : listings_.end();
}

void KeptListings::expand(const Span& span, std::vector<DirEntry>& entries) const {
  entries.clear();
  entries.reserve(span.count);
  for (std::size_t i = span.first; i < span.first + span.count; ++i) {
    const Record& r = records_[i];
    entries.push_back({.Name = names_.substr(r.nameAt, r.nameLength),
                       .Attr = r.attr,
                       .Size = r.size,
                       .Time = r.time,
                       .MtimeNs = r.mtimeNs,
                       .Kind = r.kind,
                       .Mode = r.mode});
  }
}

bool KeptListings::copyTo(const std::string& folder, std::vector<DirEntry>& entries) {
  const auto kept = served(folder);
  if (kept == listings_.end()) return false;
  expand(kept->second, entries);
  return true;
}

bool KeptListings::moveTo(const std::string& folder, std::vector<DirEntry>& entries) {
  const auto kept = served(folder);
  if (kept == listings_.end()) return false;
  expand(kept->second, entries);
  listings_.erase(kept);
  return true;
}

}  // namespace vardell
