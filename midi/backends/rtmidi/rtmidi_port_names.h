// The names the ALSA sequencer's ports are shown by.
#pragma once

#include <string>
#include <vector>

namespace kalvora {

// RtMidi names a sequencer port "client:port C:P", with the numeric address last. Users know the
// port as "client:port", so the address is dropped, except where two ports would then share a
// name (two units of one model): those keep it, so the list never shows two equal entries.
std::vector<std::string> SequencerDisplayNames(const std::vector<std::string>& rtmidiNames);
// "client:port" without the address: "Midi Through:Midi Through Port-0 14:0" gives
// "Midi Through:Midi Through Port-0"; a name without an address is kept whole.
std::string WithoutAddress(const std::string& rtmidiName);

}  // namespace kalvora
