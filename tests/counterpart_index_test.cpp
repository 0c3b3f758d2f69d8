// The counterpart index gives exactly the partner a scan of the listing would give.
#include "engine/counterpart_index.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

using namespace vardell;

namespace {

const DirEntry* scanForPartner(const std::vector<DirEntry>& listing, const std::string& name, bool caseSensitive) {
  for (const auto& e : listing) {
    if (e.isDotEntry()) continue;
    if (caseSensitive ? e.Name == name : compareFolded(e.Name, name) == 0) return &e;
  }
  return nullptr;
}

std::vector<DirEntry> sortedListing(std::vector<std::string> names) {
  std::vector<DirEntry> listing{{".", kAttrFolder}, {"..", kAttrFolder}};
  std::sort(names.begin(), names.end(), listingOrderLess);
  names.erase(std::unique(names.begin(), names.end()), names.end());
  for (auto& n : names) listing.push_back(DirEntry{n});
  return listing;
}

TEST(CounterpartIndex, AgreesWithALinearScanOnRandomNames) {
  std::mt19937 random(7);
  const std::string letters = "aAbB_-.\xc3\xa9Zz0";
  auto randomName = [&] {
    std::string n;
    for (int i = 1 + int(random() % 3); i > 0; --i) n += letters[random() % letters.size()];
    return n == "." || n == ".." ? n + "x" : n;
  };
  std::vector<std::string> names;
  for (int i = 0; i < 400; ++i) names.push_back(randomName());
  const auto listing = sortedListing(names);
  CounterpartIndex index;
  index.reset(listing);
  for (int i = 0; i < 2000; ++i) {
    const std::string probe = randomName();
    for (bool caseSensitive : {false, true}) {
      const DirEntry* expected = scanForPartner(listing, probe, caseSensitive);
      const DirEntry* actual = index.find(probe, caseSensitive);
      ASSERT_EQ(expected == nullptr, actual == nullptr) << probe;
      if (expected) {
        ASSERT_EQ(expected->Name, actual->Name) << probe;
      }
    }
  }
}

TEST(CounterpartIndex, LearnsAddedEntriesAndForgetsRemovedOnes) {
  CounterpartIndex index;
  index.reset(sortedListing({"b.txt", "README"}));
  EXPECT_EQ(index.find("readme", false)->Name, "README");
  index.learn(DirEntry{"Readme"});
  EXPECT_EQ(index.find("readme", false)->Name, "README");  // "README" still lists first
  EXPECT_EQ(index.find("Readme", true)->Name, "Readme");
  index.forget("README");
  EXPECT_EQ(index.find("readme", false)->Name, "Readme");
  EXPECT_EQ(index.find("a", false), nullptr);
  index.learn(DirEntry{"A"});
  EXPECT_EQ(index.find("a", false)->Name, "A");
  EXPECT_EQ(index.find(".", false), nullptr);
}

}  // namespace
