// Which part a press plays: the tone on channel 1, or, while the drum page is shown, the chosen
// drum set on the rhythm channel. The press path reads the channel; nothing else differs in how
// a note is played.
#pragma once

#include <cstdint>

#include "catalogue/drum_sets.h"

namespace kalvora {

// The drum sets' bank select MSB; the map goes out as the LSB, as for the tones.
inline constexpr std::int32_t kDrumSetBank = 0;
inline constexpr std::int32_t kStartDrumSet = 1;

// kChannel1 or kRhythmChannel; kChannel1 at start.
std::uint8_t PlayChannel();
void SetPlayChannel(std::uint8_t channel);

// The drum set chosen last (its program, 1..128); kStartDrumSet until one is chosen. It lasts
// until the program closes.
std::int32_t ChosenDrumSet();
void ChooseDrumSet(std::int32_t program);
// The set a press plays in MapIndex's map: the chosen one, or the map's first (its standard set)
// when the map has none at that program.
const DrumSet& PlayedDrumSet();

}  // namespace kalvora
