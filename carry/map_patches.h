// A map's tones and drum sets as sequencers list them: patches grouped by bank select, with the
// numbers read from the set-up a press would send for each.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "catalogue/drum_sets.h"

namespace kalvora {

// The set-up a press would send for program and bank of map on channel (0-based; the rhythm
// channel plays the drum set at program), as packed short messages.
using SetUpSource =
    std::function<std::vector<std::uint32_t>(std::uint8_t channel, int program, int bank, int map)>;

struct Patch {
  int program = 1;  // 1..128, as read from the set-up's program change
  std::string_view name;
  const DrumSet* drumSet = nullptr;  // for a drum set: its keys
};

struct PatchBank {
  int channel = 1;  // 1..16
  int bankMsb = 0;
  int bankLsb = 0;
  std::vector<Patch> patches;  // in program order
};

struct MapPatches {
  int map = 0;
  std::vector<PatchBank> toneBanks;  // every bank that names a tone, in bank order
  PatchBank drumSets;
};

// Reads the tone names, which must have been filled.
MapPatches PatchesOf(int map, const SetUpSource& setUpOf);

}  // namespace kalvora
