#include "play/rhythm_part.h"

#include "midi/midi_bytes.h"
#include "play/voice_state.h"

namespace kalvora {

namespace {
struct RhythmPart {
  std::uint8_t channel = kChannel1;
  std::int32_t chosenSet = kStartDrumSet;
};

RhythmPart& ThePart() {
  static RhythmPart part;
  return part;
}
}  // namespace

std::uint8_t PlayChannel() { return ThePart().channel; }
void SetPlayChannel(std::uint8_t channel) { ThePart().channel = channel; }

std::int32_t ChosenDrumSet() { return ThePart().chosenSet; }
void ChooseDrumSet(std::int32_t program) { ThePart().chosenSet = program; }

const DrumSet& PlayedDrumSet() {
  if (const DrumSet* chosen = FindDrumSet(MapIndex, ThePart().chosenSet)) return *chosen;
  const auto sets = DrumSetsOf(MapIndex);
  return sets.empty() ? AllDrumSets().front() : sets.front();
}

}  // namespace kalvora
