// Finding tones, drum sets and drum keys by name: one index over every name of the five maps,
// built at first use, and the matcher a query runs through it.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace kalvora {

enum class FoundKind : std::uint8_t { kTone, kDrumSet, kDrumKey };

// One entry of the index: a tone (map, program, bank, name), a drum set (map, program, name) or a
// drum key (map, its set's program, note, instrument name).
struct FoundName {
  FoundKind kind = FoundKind::kTone;
  std::uint8_t map = 0;
  std::uint8_t program = 0;  // 1..128: the tone's, or the drum set's
  std::uint8_t bank = 0;     // tones only
  std::uint8_t note = 0;     // drum keys only
  std::string_view name;
  bool operator==(const FoundName&) const = default;
};

// Every entry whose name holds each word of query (UTF-8), in found. Case, full and half width
// and punctuation make no difference; a word also finds the abbreviations the maps write for it
// ("guitar" finds "Gt."), and an abbreviation finds the word written out. The entries of
// currentMap come first, then those of the other maps in the map buttons' order (SC-8850 to
// GM); within a map tones by program and bank, then drum sets by program, then drum keys by set
// and note. A query without a word finds nothing. Reads ToneNames, so FillToneNames must have run.
void FindNames(std::string_view query, int currentMap, std::vector<FoundName>& found);

}  // namespace kalvora
