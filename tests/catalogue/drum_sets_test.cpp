// The compiled drum-set table against the data files it is generated from, row for row, and the
// figures the data's own notes give.
#include "catalogue/drum_sets.h"

#include <gtest/gtest.h>

#include <array>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "catalogue/tone_names.h"

namespace kalvora {
namespace {

using Row = std::vector<std::string>;

std::vector<Row> ReadTsv(const std::string& name) {
  std::ifstream file(std::string(KALVORA_CATALOGUE_DIR) + "/" + name);
  std::vector<Row> rows;
  std::string line;
  std::getline(file, line);  // the header
  while (std::getline(file, line)) {
    Row row;
    std::stringstream cells(line);
    for (std::string cell; std::getline(cells, cell, '\t');) row.push_back(cell);
    rows.push_back(row);
  }
  return rows;
}

TEST(DrumSets, TheTableHoldsEveryRowOfTheDataFilesInOrder) {
  const auto setRows = ReadTsv("drum_sets.tsv");
  const auto keyRows = ReadTsv("drum_keys.tsv");
  ASSERT_EQ(setRows.size(), 87u);
  ASSERT_EQ(keyRows.size(), 7713u);
  std::vector<Row> sets, keys;
  for (const DrumSet& set : AllDrumSets()) {
    sets.push_back({std::to_string(set.map), std::to_string(set.program), std::string(set.name)});
    EXPECT_GT(set.keyCount, 0) << set.name;  // no set without keys
    for (const DrumKey& key : KeysOf(set)) {
      keys.push_back({std::to_string(set.map), std::to_string(set.program),
                      std::to_string(key.note), std::string(key.name)});
    }
  }
  EXPECT_EQ(sets, setRows);
  EXPECT_EQ(keys, keyRows);
}

TEST(DrumSets, SetsPerMapInProgramOrder) {
  const std::array<std::size_t, kToneMapCount> counts{1, 10, 14, 25, 37};
  for (int map = 0; map < kToneMapCount; ++map) {
    const auto sets = DrumSetsOf(map);
    EXPECT_EQ(sets.size(), counts[static_cast<std::size_t>(map)]) << map;
    for (std::size_t i = 1; i < sets.size(); ++i) EXPECT_LT(sets[i - 1].program, sets[i].program);
  }
  EXPECT_TRUE(DrumSetsOf(kToneMapCount).empty());
}

TEST(DrumSets, NamesOfKeysAndSets) {
  struct Case {
    int map, program, note;
    std::string_view name;
  };
  const Case cases[] = {
      {0, 1, 35, "Acoustic Bass Drum"},
      {0, 1, 81, "Open Triangle"},
      {0, 1, 34, ""},  // GM's kit is keys 35..81
      {0, 1, 82, ""},
      {1, 128, 36, "CM Kick Bass Drum"},
      {1, 49, 42, "Timpani F#"},
      {2, 51, 36, ""},  // KICK & SNARE leaves it silent
      {3, 2, 60, "High Bongo"},
      {4, 26, 36, "TR-808 Kick 1"},
      {4, 55, 60, "Penyacah"},
      {4, 63, 32, "Reverse Standard Closed Hi-Hat"},
      {4, 1, 200, ""},
      {7, 1, 36, ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DrumKeyName(c.map, c.program, c.note), c.name)
        << c.map << " " << c.program << " " << c.note;
  }
  ASSERT_NE(FindDrumSet(2, 51), nullptr);
  EXPECT_EQ(FindDrumSet(2, 51)->name, "KICK & SNARE");
  EXPECT_EQ(FindDrumSet(0, 2), nullptr);
}

}  // namespace
}  // namespace kalvora
