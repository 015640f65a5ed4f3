// What the ALSA sequencer itself says about clients and ports, beyond what RtMidi tells.
// Nothing is printed, with or without a sequencer.
#pragma once

#include <set>

namespace kalvora {

// The numbers of the sequencer clients this process has open (the program's own MIDI input,
// say). Empty without a sequencer.
std::set<int> OwnSequencerClients();

// Whether another program holds the port for itself (an exclusive connection to it), so that
// nobody else can connect.
bool SequencerPortHeldExclusively(int client, int port);

}  // namespace kalvora
