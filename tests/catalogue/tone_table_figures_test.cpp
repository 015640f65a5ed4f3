// Whole-table figures of the filled ToneNames: they catch a lost, duplicated or misplaced name
// anywhere in the list, which spot checks would miss.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "catalogue/tone_names.h"

namespace kalvora {
namespace {

using Entry = std::array<int, 3>;  // program, bank, map

class ToneTableFigures : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { FillToneNames(); }

  // Visits every entry of the block through its raw position, so the figures also check the layout.
  template <typename Visit>
  static void forEachEntry(Visit visit) {
    for (int p = 1; p <= kProgramCount; ++p)
      for (int b = 0; b < kBankCount; ++b)
        for (int m = 0; m < kToneMapCount; ++m)
          visit(p, b, m, ToneNames[static_cast<std::size_t>(((p - 1) * 128 + b) * 5 + m)]);
  }
};

TEST_F(ToneTableFigures, NamedEmptyAndDistinctCounts) {
  int named = 0;
  int empty = 0;
  std::array<int, kToneMapCount> perMap{};
  std::set<std::string_view> distinct;
  std::map<std::string_view, int> uses;
  forEachEntry([&](int, int, int m, std::string_view name) {
    if (name.empty()) {
      ++empty;
      return;
    }
    ++named;
    ++perMap[static_cast<std::size_t>(m)];
    distinct.insert(name);
    ++uses[name];
  });
  EXPECT_EQ(named, 2989);
  EXPECT_EQ(empty, 78931);
  EXPECT_EQ(distinct.size(), 1451u);
  EXPECT_EQ(perMap, (std::array<int, kToneMapCount>{127, 416, 417, 767, 1262}));
  EXPECT_EQ(uses["Trombone"], 11);
  EXPECT_EQ(uses["Piano 2"], 10);
}

TEST_F(ToneTableFigures, BanksWithNamesPerMap) {
  std::array<std::set<int>, kToneMapCount> banks;
  forEachEntry([&](int, int b, int m, std::string_view name) {
    if (!name.empty()) banks[static_cast<std::size_t>(m)].insert(b);
  });
  auto span = [](std::initializer_list<std::pair<int, int>> ranges) {
    std::set<int> out;
    for (auto [first, last] : ranges)
      for (int b = first; b <= last; ++b) out.insert(b);
    return out;
  };
  EXPECT_EQ(banks[0], span({{0, 0}}));
  EXPECT_EQ(banks[1], span({{0, 9}, {16, 16}, {24, 24}, {32, 32}, {126, 127}}));
  EXPECT_EQ(banks[2], span({{0, 11}, {16, 19}, {24, 26}, {32, 33}, {40, 40}}));
  EXPECT_EQ(banks[3], span({{0, 35}, {40, 45}, {48, 48}}));
  EXPECT_EQ(banks[4], span({{0, 48}}));
}

TEST_F(ToneTableFigures, PairsByTheSetOfMapsThatNameThem) {
  std::map<std::pair<int, int>, unsigned> mapsOfPair;
  forEachEntry([&](int p, int b, int m, std::string_view name) {
    if (!name.empty()) mapsOfPair[{p, b}] |= 1u << m;
  });
  std::map<unsigned, int> pairsPerSet;
  std::vector<std::pair<int, int>> map2NotMap3;
  for (const auto& [pair, maps] : mapsOfPair) {
    ++pairsPerSet[maps];
    if (maps == 0b10100u) map2NotMap3.push_back(pair);
  }
  EXPECT_EQ(mapsOfPair.size(), 1454u);
  const std::map<unsigned, int> expected = {
      {0b10000u, 493}, {0b11000u, 352}, {0b11100u, 191}, {0b11110u, 97},
      {0b11111u, 127}, {0b00010u, 192}, {0b10100u, 2},
  };
  EXPECT_EQ(pairsPerSet, expected);
  EXPECT_EQ(map2NotMap3, (std::vector<std::pair<int, int>>{{22, 9}, {56, 11}}));
}

TEST_F(ToneTableFigures, DifferentNamesWithinAPair) {
  std::map<std::pair<int, int>, std::set<std::string_view>> namesOfPair;
  forEachEntry([&](int p, int b, int, std::string_view name) {
    if (!name.empty()) namesOfPair[{p, b}].insert(name);
  });
  std::map<std::size_t, int> pairsByNameCount;
  for (const auto& [pair, names] : namesOfPair) ++pairsByNameCount[names.size()];
  EXPECT_EQ(pairsByNameCount, (std::map<std::size_t, int>{{1, 1377}, {2, 68}, {3, 9}}));
}

TEST_F(ToneTableFigures, GmNamesThatDifferFromSc55) {
  std::vector<int> programs;
  for (int p = 1; p <= kProgramCount; ++p) {
    const std::string_view gm = ToneName(p, 0, 0);
    if (!gm.empty() && gm != ToneName(p, 0, 1)) programs.push_back(p);
  }
  EXPECT_EQ(programs, (std::vector<int>{25, 32, 46, 56, 60, 61, 64}));
}

TEST_F(ToneTableFigures, LongestNames) {
  std::size_t longest = 0;
  std::vector<Entry> at;
  forEachEntry([&](int p, int b, int m, std::string_view name) {
    if (name.size() > longest) {
      longest = name.size();
      at.clear();
    }
    if (name.size() == longest) at.push_back({p, b, m});
  });
  EXPECT_EQ(longest, 28u);
  EXPECT_EQ(at, (std::vector<Entry>{{39, 41, 4}, {39, 42, 4}}));
}

TEST_F(ToneTableFigures, NamesArePlainTextWithSingleSpaces) {
  constexpr std::string_view kSigns = " .-:+'&/!";
  std::vector<Entry> doubleSpaces;
  forEachEntry([&](int p, int b, int m, std::string_view name) {
    if (name.empty()) return;
    for (char c : name) {
      const bool alnum = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
      EXPECT_TRUE(alnum || kSigns.find(c) != std::string_view::npos)
          << "'" << name << "' at " << p << "/" << b << "/" << m;
    }
    EXPECT_NE(name.front(), ' ') << name;
    EXPECT_NE(name.back(), ' ') << name;
    if (name.find("  ") != std::string_view::npos) doubleSpaces.push_back({p, b, m});
  });
  EXPECT_EQ(doubleSpaces, (std::vector<Entry>{{39, 32, 4}}));
}

}  // namespace
}  // namespace kalvora
