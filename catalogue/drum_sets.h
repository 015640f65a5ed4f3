// The drum sets of the five maps (the rhythm part's programs) and the instrument on each key of
// each set, generated from catalogue/drum_sets.tsv and catalogue/drum_keys.tsv.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace kalvora {

struct DrumKey {
  std::uint8_t note = 0;
  std::string_view name;
};

struct DrumSet {
  std::uint8_t map = 0;
  std::uint8_t program = 0;  // 1..128, as the user sees it; the program change sends it less one
  std::string_view name;
  std::uint16_t firstKey = 0;  // where its keys begin in AllDrumKeys(), in note order
  std::uint16_t keyCount = 0;
};

// Every set, by map and then by program; every key that sounds, set after set.
std::span<const DrumSet> AllDrumSets();
std::span<const DrumKey> AllDrumKeys();

// The sets of map (0..4) in program order; none for any other map.
std::span<const DrumSet> DrumSetsOf(int map);
// The set at program in map, or null when the map has none there.
const DrumSet* FindDrumSet(int map, int program);
// The keys that sound in set, in note order.
std::span<const DrumKey> KeysOf(const DrumSet& set);
// The instrument on note in the set at program of map; empty when that key is silent or there is
// no such set.
std::string_view DrumKeyName(int map, int program, int note);

}  // namespace kalvora
