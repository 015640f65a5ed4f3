#include "catalogue/drum_sets.h"

#include <algorithm>

namespace kalvora {

std::span<const DrumSet> DrumSetsOf(int map) {
  const auto sets = AllDrumSets();
  const auto first =
      std::find_if(sets.begin(), sets.end(), [map](const auto& s) { return s.map == map; });
  const auto last = std::find_if(first, sets.end(), [map](const auto& s) { return s.map != map; });
  return {first, last};
}

const DrumSet* FindDrumSet(int map, int program) {
  for (const DrumSet& set : DrumSetsOf(map)) {
    if (set.program == program) return &set;
  }
  return nullptr;
}

std::span<const DrumKey> KeysOf(const DrumSet& set) {
  return AllDrumKeys().subspan(set.firstKey, set.keyCount);
}

std::string_view DrumKeyName(int map, int program, int note) {
  const DrumSet* set = FindDrumSet(map, program);
  if (set == nullptr) return {};
  const auto keys = KeysOf(*set);
  const auto found = std::lower_bound(keys.begin(), keys.end(), note,
                                      [](const DrumKey& key, int n) { return key.note < n; });
  return found != keys.end() && found->note == note ? found->name : std::string_view();
}

}  // namespace kalvora
