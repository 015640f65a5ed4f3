#include "carry/map_patches.h"

#include "carry/set_up_numbers.h"
#include "catalogue/tone_names.h"
#include "midi/midi_bytes.h"

namespace kalvora {

namespace {
// Adds the patch to the last bank when the set-up selects that bank, else to a new one.
void AddPatch(std::vector<PatchBank>& banks, const SetUpNumbers& numbers, Patch patch) {
  const bool sameBank = !banks.empty() && banks.back().bankMsb == numbers.bankMsb &&
                        banks.back().bankLsb == numbers.bankLsb &&
                        banks.back().channel == numbers.channel;
  if (!sameBank) banks.push_back({numbers.channel, numbers.bankMsb, numbers.bankLsb, {}});
  banks.back().patches.push_back(patch);
}
}  // namespace

MapPatches PatchesOf(int map, const SetUpSource& setUpOf) {
  MapPatches patches{map, {}, {}};
  for (int bank = 0; bank < kBankCount; ++bank) {
    for (int program = 1; program <= kProgramCount; ++program) {
      if (ToneName(program, bank, map).empty()) continue;
      const SetUpNumbers numbers = ReadSetUpNumbers(setUpOf(kChannel1, program, bank, map));
      AddPatch(patches.toneBanks, numbers, {numbers.program, NameOf(numbers), nullptr});
    }
  }
  std::vector<PatchBank> drumBanks;
  for (const DrumSet& set : DrumSetsOf(map)) {
    const SetUpNumbers numbers = ReadSetUpNumbers(setUpOf(kRhythmChannel, set.program, 0, map));
    AddPatch(drumBanks, numbers,
             {numbers.program, NameOf(numbers), FindDrumSet(map, numbers.program)});
  }
  if (!drumBanks.empty()) patches.drumSets = std::move(drumBanks.front());
  return patches;
}

}  // namespace kalvora
