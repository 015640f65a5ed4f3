// The ALSA sequencer clients of this very process.
#pragma once

#include <set>

namespace kalvora {

// The numbers of the sequencer clients this process has open (the program's own MIDI input,
// say). Empty without a sequencer; nothing is printed either way.
std::set<int> OwnSequencerClients();

}  // namespace kalvora
