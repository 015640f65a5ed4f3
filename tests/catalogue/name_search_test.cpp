// The search over every name of the maps: what a query finds, and in which order.
#include "catalogue/name_search.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <tuple>
#include <vector>

#include "catalogue/tone_names.h"

namespace kalvora {
namespace {

constexpr int kSc8850 = 4;
constexpr int kSc88 = 2;

std::vector<FoundName> Find(std::string_view query, int map = kSc8850) {
  FillToneNames();
  std::vector<FoundName> found;
  FindNames(query, map, found);
  return found;
}

FoundName Tone(int map, int program, int bank, std::string_view name) {
  return {FoundKind::kTone,
          static_cast<std::uint8_t>(map),
          static_cast<std::uint8_t>(program),
          static_cast<std::uint8_t>(bank),
          0,
          name};
}

struct Case {
  const char* rule;
  std::string query;
  FoundName expected;  // among what the query finds
};

TEST(NameSearch, EachRuleFindsItsEntry) {
  const FoundName piano = Tone(kSc8850, 1, 0, "Piano 1");
  const Case cases[] = {
      {"several words", "piano 1", piano},
      {"case", "PIANO 1", piano},
      {"full width and an ideographic space", "ＰＩＡＮＯ\u3000１", piano},
      {"punctuation", "(piano-1)", piano},
      {"a word begun", "upright", Tone(kSc8850, 1, 1, "UprightPiano")},
      {"guitar finds Gt.", "nylon guitar", Tone(kSc8850, 25, 0, "Nylon-str.Gt.")},
      {"bass finds Bs.", "bass trombone", Tone(kSc8850, 58, 8, "Bs.Trombone")},
      {"strings finds Str.", "strings choir", Tone(kSc8850, 50, 12, "S.Str+Choir")},
      {"electric finds E.", "electric piano", Tone(kSc8850, 5, 0, "E.Piano 1")},
      {"an abbreviation finds the word", "gt. nylon", Tone(kSc8850, 25, 0, "Nylon-str.Gt.")},
      {"a drum set", "tr-808", {FoundKind::kDrumSet, kSc8850, 26, 0, 0, "TR-808"}},
      {"a drum key", "808 cowbell", {FoundKind::kDrumKey, kSc8850, 26, 0, 56, "TR-808 Cowbell"}},
  };
  for (const Case& c : cases) {
    const auto found = Find(c.query);
    EXPECT_NE(std::find(found.begin(), found.end(), c.expected), found.end())
        << c.rule << ": " << c.query;
  }
}

TEST(NameSearch, WhatFindsNothing) {
  const std::string cases[] = {"",
                               "  \t ",
                               "-+/",
                               "pianissimo",
                               "ピアノ",
                               "piano \xF0\x9F\x8E\xB9",  // an emoji beside a word
                               "\xED\xA0\x80 \xC3",       // a lone surrogate, a cut-off letter
                               std::string(10000, 'x')};
  for (const std::string& query : cases) EXPECT_TRUE(Find(query).empty()) << query.size();
  // "E." stands for electric, an e inside a word does not.
  for (const FoundName& found : Find("electric")) {
    std::string lower(found.name);
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const bool written = lower.find("electric") != std::string::npos ||
                         found.name.find("E.") != std::string_view::npos ||
                         found.name.find("EP") != std::string_view::npos;
    EXPECT_TRUE(written) << found.name;
  }
}

// The current map first, then the others in the map buttons' order; within a map tones by
// program and bank, then sets, then keys.
TEST(NameSearch, ResultsComeInMapThenPlaceOrder) {
  const auto found = Find("piano", kSc88);
  ASSERT_GT(found.size(), 20u);
  EXPECT_EQ(found.front(), Tone(kSc88, 1, 0, "Piano 1"));
  auto rank = [](const FoundName& f) {
    constexpr int kMapRank[] = {4, 3, 0, 2, 1};  // SC-88 first, then SC-8850, SC-88Pro, ...
    return std::tuple(kMapRank[f.map], f.kind, f.program, f.bank, f.note);
  };
  for (std::size_t i = 1; i < found.size(); ++i) {
    EXPECT_LT(rank(found[i - 1]), rank(found[i])) << found[i].name;
  }
  EXPECT_EQ(found.back().map, 0);  // GM last
}

}  // namespace
}  // namespace kalvora
