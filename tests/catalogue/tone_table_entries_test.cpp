// Single entries of the filled table where a generator or layout slip would show first.
#include <gtest/gtest.h>

#include <climits>
#include <cstddef>
#include <string_view>

#include "catalogue/tone_names.h"

namespace kalvora {
namespace {

class ToneTableEntries : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { FillToneNames(); }
};

struct Expected {
  int program;
  int bank;
  int map;
  std::string_view name;
};

TEST_F(ToneTableEntries, ListedEntries) {
  constexpr Expected kCases[] = {
      // The one program without a GM name.
      {31, 0, 0, ""},
      {31, 0, 1, "Dist. Gt."},
      {31, 0, 2, "Distortion Gt."},
      {31, 0, 4, "Distortion Gt."},
      // Named in maps 2 and 4, not in between.
      {22, 9, 2, "Distortion Accordion"},
      {22, 9, 3, ""},
      {22, 9, 4, "Distortion Accordion"},
      {56, 11, 2, "Perc. Hit"},
      {56, 11, 3, ""},
      {56, 11, 4, "Perc. Hit"},
      // A pair named in one map only.
      {1, 1, 0, ""},
      {1, 1, 3, ""},
      {1, 1, 4, "UprightPiano"},
      // One pair, different names by map.
      {1, 16, 1, "Piano 1d"},
      {1, 16, 2, "Piano 1d"},
      {1, 16, 3, "Europian Pf"},
      {25, 0, 0, "Nylon-str.Gt."},
      {25, 0, 1, "Nylon Gt."},
      {25, 0, 2, "Nylonstr.Gt."},
      // Apostrophes and ampersands are ordinary characters.
      {5, 24, 1, "60's E.Piano"},
      {5, 24, 3, "Wurly"},
      {99, 7, 2, "X'mas Bells"},
      {99, 7, 3, "Christmas Bell"},
      {88, 0, 0, "Bass& Lead"},
      {88, 0, 4, "Bass& Lead"},
      {102, 25, 4, "Noise&SawHit"},
      // A trailing colon makes a different name.
      {31, 1, 2, "Dist. Gt.2"},
      {31, 1, 3, "Dist. Gt.2:"},
      // Two spaces kept as listed.
      {39, 32, 4, "Hit and Saw  Bass"},
      // The map-1 banks at the top of the range.
      {1, 126, 1, "Piano 2"},
      {64, 126, 1, "Orchest.Hit"},
      {65, 126, 1, ""},
      {1, 127, 1, "Acou Piano 1"},
      {128, 127, 1, "Jugle Tune"},
      {128, 127, 4, ""},
      {128, 0, 4, "Gun Shot"},
  };
  for (const Expected& c : kCases) {
    EXPECT_EQ(ToneName(c.program, c.bank, c.map), c.name)
        << "program " << c.program << " bank " << c.bank << " map " << c.map;
  }
}

TEST_F(ToneTableEntries, BlockLayoutPutsTheMapFastest) {
  EXPECT_EQ(ToneNames[0], "Piano 1");              // 1, 0, 0
  EXPECT_EQ(ToneNames[9], "UprightPiano");         // 1, 1, 4
  EXPECT_EQ(ToneNames[640], "Piano 2");            // 2, 0, 0
  EXPECT_EQ(ToneNames[81916], "Jugle Tune");       // 128, 127, 1
  EXPECT_EQ(ToneNames[kToneNameEntries - 1], "");  // 128, 127, 4
  EXPECT_EQ(ToneNameIndex(128, 127, 4), static_cast<std::size_t>(kToneNameEntries - 1));
}

TEST_F(ToneTableEntries, WhichBanksAreNamedForEveryProgram) {
  for (int p = 1; p <= kProgramCount; ++p) {
    SCOPED_TRACE(p);
    for (int m = 1; m < kToneMapCount; ++m) EXPECT_FALSE(ToneName(p, 0, m).empty()) << m;
    EXPECT_EQ(ToneName(p, 0, 0).empty(), p == 31);
    EXPECT_FALSE(ToneName(p, 127, 1).empty());
    EXPECT_EQ(ToneName(p, 126, 1).empty(), p > 64);
    for (int b = 1; b < kBankCount; ++b) EXPECT_EQ(ToneName(p, b, 0), "") << b;
    for (int b : {126, 127}) {
      for (int m : {0, 2, 3, 4}) EXPECT_EQ(ToneName(p, b, m), "") << b << "/" << m;
    }
  }
}

TEST_F(ToneTableEntries, LookupsOutsideTheTableAreEmpty) {
  constexpr int kOutside[][3] = {
      {0, 0, 0},  {129, 0, 0},     {-1, 0, 0},      {INT_MIN, 0, 0}, {INT_MAX, 0, 0},
      {1, -1, 0}, {1, 128, 0},     {1, INT_MIN, 0}, {1, INT_MAX, 0}, {1, 0, -1},
      {1, 0, 5},  {1, 0, INT_MIN}, {1, 0, INT_MAX},
  };
  for (const auto& [p, b, m] : kOutside) {
    EXPECT_EQ(ToneName(p, b, m), "") << p << "/" << b << "/" << m;
  }
}

}  // namespace
}  // namespace kalvora
