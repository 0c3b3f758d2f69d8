// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Vardell authors
// The pairing of two listings: equal names first, then folded names of the same kind, then
// of any kind, chosen in the master's listing order; the same pairs from either side.
#include "engine/counterpart_index.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <utility>

using namespace vardell;

namespace {

using Pairs = std::set<std::pair<std::string, std::string>>;  // master name, mirror name

// Names ending in "/" are folders.
std::vector<DirEntry> sortedListing(std::vector<std::string> names) {
  std::vector<DirEntry> listing{{".", kAttrFolder}, {"..", kAttrFolder}};
  const auto bare = [](const std::string& n) { return n.back() == '/' ? n.substr(0, n.size() - 1) : n; };
  std::sort(names.begin(), names.end(), [&](const std::string& a, const std::string& b) { return listingOrderLess(bare(a), bare(b)); });
  names.erase(std::unique(names.begin(), names.end(), [&](const std::string& a, const std::string& b) { return bare(a) == bare(b); }),
              names.end());
  for (const auto& n : names) listing.push_back(DirEntry{bare(n), n.back() == '/' ? kAttrFolder : 0u});
  return listing;
}

// The rule written out plainly, in quadratic time.
Pairs pairsByTheRule(const std::vector<DirEntry>& master, const std::vector<DirEntry>& mirror, bool caseSensitive) {
  Pairs pairs;
  std::vector<bool> masterPaired(master.size()), mirrorPaired(mirror.size());
  for (std::size_t m = 2; m < master.size(); ++m) {
    for (std::size_t r = 2; r < mirror.size(); ++r) {
      if (master[m].Name != mirror[r].Name) continue;
      pairs.insert({master[m].Name, mirror[r].Name});
      masterPaired[m] = mirrorPaired[r] = true;
    }
  }
  if (caseSensitive) return pairs;
  for (std::size_t m = 2; m < master.size(); ++m) {
    if (masterPaired[m]) continue;
    std::size_t chosen = 0;
    for (bool sameKindOnly : {true, false}) {
      for (std::size_t r = 2; r < mirror.size() && !chosen; ++r) {
        if (mirrorPaired[r] || compareFolded(master[m].Name, mirror[r].Name) != 0) continue;
        if (!sameKindOnly || master[m].isFolder() == mirror[r].isFolder()) chosen = r;
      }
    }
    if (!chosen) continue;
    pairs.insert({master[m].Name, mirror[chosen].Name});
    mirrorPaired[chosen] = true;
  }
  return pairs;
}

Pairs pairsOf(const std::vector<DirEntry>& listed, const std::vector<DirEntry>& counterpart, bool listedIsMaster,
              bool caseSensitive) {
  CounterpartIndex index;
  index.pair(listed, counterpart, listedIsMaster, caseSensitive);
  Pairs pairs;
  std::set<const DirEntry*> partners;
  for (std::size_t i = 0; i < listed.size(); ++i) {
    const DirEntry* partner = index.partnerOf(i);
    if (!partner) continue;
    EXPECT_TRUE(partners.insert(partner).second) << "two entries pair with " << partner->Name;
    pairs.insert(listedIsMaster ? std::pair{listed[i].Name, partner->Name} : std::pair{partner->Name, listed[i].Name});
  }
  return pairs;
}

TEST(CounterpartIndex, PairsAsTheRuleSaysFromEitherSideOnRandomListings) {
  std::mt19937 random(7);
  const std::string letters = "aAbB_.Zz0";
  auto randomNames = [&] {
    std::vector<std::string> names;
    for (int i = 0; i < 300; ++i) {
      std::string n;
      for (int k = 1 + int(random() % 2); k > 0; --k) n += letters[random() % letters.size()];
      if (n == "." || n == "..") n += "x";
      if (random() % 4 == 0) n += "/";
      names.push_back(n);
    }
    return sortedListing(names);
  };
  for (int round = 0; round < 20; ++round) {
    const auto master = randomNames();
    const auto mirror = randomNames();
    for (bool caseSensitive : {false, true}) {
      const Pairs expected = pairsByTheRule(master, mirror, caseSensitive);
      EXPECT_EQ(pairsOf(master, mirror, true, caseSensitive), expected) << "round " << round;
      EXPECT_EQ(pairsOf(mirror, master, false, caseSensitive), expected) << "round " << round << ", mirror listed";
    }
  }
}

struct PairingCase {
  const char* name;
  std::vector<std::string> master;
  std::vector<std::string> mirror;
  Pairs expected;  // without letter case counting
};

class PairingTable : public ::testing::TestWithParam<PairingCase> {};

TEST_P(PairingTable, PairsAsExpected) {
  const PairingCase& c = GetParam();
  const auto master = sortedListing(c.master);
  const auto mirror = sortedListing(c.mirror);
  EXPECT_EQ(pairsOf(master, mirror, true, false), c.expected) << c.name;
  EXPECT_EQ(pairsOf(mirror, master, false, false), c.expected) << c.name << ", mirror listed";
}

INSTANTIATE_TEST_SUITE_P(
    Names, PairingTable,
    ::testing::Values(
        PairingCase{"an equal name wins over a first folded match", {"a.txt"}, {"A.txt", "a.txt"}, {{"a.txt", "a.txt"}}},
        PairingCase{"folded names pair", {"README.txt"}, {"readme.TXT"}, {{"README.txt", "readme.TXT"}}},
        PairingCase{"folders pair across letter case", {"Docs/"}, {"docs/"}, {{"Docs", "docs"}}},
        PairingCase{"a folder takes the folder of another case", {"X/", "x"}, {"X/"}, {{"X", "X"}}},
        PairingCase{"a file takes a file before a folder", {"x"}, {"X/", "X"}, {{"x", "X"}}},
        PairingCase{"a kind of its own before the first match", {"ab/"}, {"AB", "Ab/"}, {{"ab", "Ab"}}},
        PairingCase{"any kind when no other is left", {"x"}, {"X/"}, {{"x", "X"}}},
        PairingCase{"a mirror entry pairs once", {"A", "a"}, {"b", "A"}, {{"A", "A"}}},
        PairingCase{"the master's order chooses", {"AB", "aB"}, {"ab"}, {{"AB", "ab"}}}),
    [](const auto& info) {
      std::string n = info.param.name;
      for (char& c : n) {
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
      }
      return n;
    });

}  // namespace
