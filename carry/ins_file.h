// The maps in the instrument-definition (.ins) text format many sequencers read: per map, one
// instrument for its tones and one for its drum sets, each bank numbered as MSB x 128 + LSB, and
// each drum set's key names.
#pragma once

#include <span>
#include <string>

#include "carry/map_patches.h"

namespace kalvora {

std::string InstrumentDefinitions(std::span<const MapPatches> maps);

}  // namespace kalvora
