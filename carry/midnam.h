// A map as a MIDNAM document, the MIDI Manufacturers Association's XML format for patch and note
// names: every tone a patch in the bank its bank select chooses, on every channel but the rhythm
// channel; the drum sets the patches of the rhythm channel, each naming its keys.
#pragma once

#include <string>

#include "carry/map_patches.h"

namespace kalvora {

std::string MidnamDocument(const MapPatches& map);

// The model name the document gives the map ("Kalvora SC-8850"), as sequencers list it.
std::string MidnamModel(int map);

}  // namespace kalvora
